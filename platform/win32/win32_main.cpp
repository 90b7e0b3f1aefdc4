// win32_main.cpp: the program's main(). Takes the stand-in options, prepares headless output when
// asked, and runs WinMain with the rest of the command line; its result is the exit status.
// A capture (--capture, --capture-wav) opens its files before the show starts, so a file that
// cannot be written ends the program at once (status 2), and is finished after WinMain returns.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "capture.h"
#include "win32_standin.h"

int main(int argc, char** argv) {
    Win32StandInOptions options;
    std::string cmdLine, message;
    int parsed = Win32_ParseOptions(argc, argv, &options, &cmdLine, &message);
    if (parsed != 0) {
        std::fputs(message.c_str(), parsed == 1 ? stdout : stderr);
        return parsed == 1 ? 0 : 2;
    }
    const bool capturing = Win32_Capturing(options);
    if (capturing) {
        // Without a window unless one is asked for; never a sound output (it is rendered).
        if (!options.window) options.headless = true;
        CapSettings settings;
        settings.videoPath = options.captureFile;
        settings.wavPath = options.captureWav;
        settings.fps = options.captureFps;
        settings.crf = options.captureCrf;
        settings.maxFrames = options.captureFrames;
        std::string error;
        if (!CapBegin(settings, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 2;
        }
    }
    if (options.headless) {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    Win32_SetOptions(options);
    SDL_SetMainReady();
    int status = WinMain(GetModuleHandleA(nullptr), nullptr, cmdLine.data(), SW_SHOWDEFAULT);
    if (capturing && CapEnd() != 0 && status == 0) status = 1;
    Win32_Reset();
    SDL_Quit();
    return status;
}
