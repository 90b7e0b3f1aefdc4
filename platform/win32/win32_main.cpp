// win32_main.cpp: the program's main(). Takes the stand-in options, prepares headless output when
// asked, and runs WinMain with the rest of the command line; its result is the exit status.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "win32_standin.h"

int main(int argc, char** argv) {
    Win32StandInOptions options;
    std::string cmdLine, message;
    int parsed = Win32_ParseOptions(argc, argv, &options, &cmdLine, &message);
    if (parsed != 0) {
        std::fputs(message.c_str(), parsed == 1 ? stdout : stderr);
        return parsed == 1 ? 0 : 2;
    }
    if (options.headless) {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    Win32_SetOptions(options);
    SDL_SetMainReady();
    int status = WinMain(GetModuleHandleA(nullptr), nullptr, cmdLine.data(), SW_SHOWDEFAULT);
    Win32_Reset();
    SDL_Quit();
    return status;
}
