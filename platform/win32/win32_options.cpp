// win32_options.cpp: the stand-in options that main() takes before the program's command line.
#include <cerrno>
#include <cstdlib>
#include <string>

#include "win32_standin.h"

namespace {

const char kUsage[] =
    "usage: PROGRAM [--window] [--headless] [--device N] [--frames DIR] [--frames-at LIST]\n"
    "               [--capture FILE] [--capture-fps RATE] [--capture-crf N]\n"
    "               [--capture-wav FILE] [--capture-frames N] [--card-threads N]\n"
    "               [--] [ten integers]\n"
    "  --window      play in a window instead of full screen (Alt+Enter toggles)\n"
    "  --headless    no display and no sound: offscreen video, silent audio\n"
    "  --device N    choose entry N of the device dialog and run it without asking\n"
    "  --frames DIR  save presented frames as DIR/frame-NNNNNN.png (N counts from 1)\n"
    "  --frames-at LIST  only the frames of LIST, e.g. 1,50,300-310 (all when absent)\n"
    "  --capture FILE    write the show with its sound to a video file, without a window and\n"
    "                    faster than real time (show.mp4: H.264 + AAC; .mkv, .webm, ...)\n"
    "  --capture-fps RATE   frame rate of the video, frames repeated (default: the show's, 12.5)\n"
    "  --capture-crf N   constant quality, lower is better (default: H.264 23, VP9 32)\n"
    "  --capture-wav FILE   write the sound as a 16-bit PCM WAV file (with or without --capture)\n"
    "  --capture-frames N   end the capture after N frames\n"
    "  --card-threads N  the 3D card draws on N threads, 1 to 64 (default: the environment\n"
    "                variable TAMBIR_CARD_THREADS, else one per core); same pictures either way\n"
    "  --help        this text\n"
    "The integers, in order (defaults in brackets): screen width [640], screen height [480],\n"
    "sync to timer [1], refresh rate [72], timer period in ms [80], spare [1], lag tolerance [0],\n"
    "debug info [0], any key switches on the free camera [0], retrace waits [0].\n";

std::string Usage(const char* program) {
    std::string text = kUsage;
    std::string name = program ? program : "demo";
    size_t slash = name.rfind('/');
    if (slash != std::string::npos) name = name.substr(slash + 1);
    text.replace(text.find("PROGRAM"), 7, name);
    return text;
}

}  // namespace

bool Win32_ParseFrameList(const std::string& list, std::vector<std::pair<int, int>>* ranges) {
    ranges->clear();
    if (list.empty()) return true;
    const char* p = list.c_str();
    for (;;) {
        if (*p < '0' || *p > '9') return false;
        char* end = nullptr;
        long a = std::strtol(p, &end, 10), b = a;
        p = end;
        if (*p == '-') {
            ++p;
            if (*p < '0' || *p > '9') return false;
            b = std::strtol(p, &end, 10);
            p = end;
        }
        if (a < 1 || b < a || b > 999999) return false;
        ranges->emplace_back(static_cast<int>(a), static_cast<int>(b));
        if (*p == '\0') return true;
        if (*p++ != ',') return false;
    }
}

int Win32_ParseOptions(int argc, char** argv, Win32StandInOptions* options, std::string* cmdLine,
                       std::string* message) {
    *options = Win32StandInOptions{};
    cmdLine->clear();
    message->clear();
    std::vector<std::pair<int, int>> ranges;
    // A whole number in lo..hi, all of the argument.
    auto number = [&](int at, long lo, long hi, long* n) {
        if (at >= argc) return false;
        char* end = nullptr;
        errno = 0;
        *n = std::strtol(argv[at], &end, 10);
        return end != argv[at] && *end == '\0' && errno == 0 && *n >= lo && *n <= hi;
    };
    int i = 1;
    for (; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--") {
            ++i;
            break;
        }
        if (a.rfind("--", 0) != 0) break;
        if (a == "--window") {
            options->window = true;
        } else if (a == "--headless") {
            options->headless = true;
        } else if (a == "--device") {
            char* end = nullptr;
            long n = (i + 1 < argc) ? std::strtol(argv[i + 1], &end, 10) : -1;
            if (i + 1 >= argc || end == argv[i + 1] || *end != '\0' || n < 0 || n > 1000) {
                *message = "--device needs an entry number (0, 1, ...)\n" + Usage(argv[0]);
                return 2;
            }
            options->device = static_cast<int>(n);
            ++i;
        } else if (a == "--card-threads") {
            char* end = nullptr;
            long n = (i + 1 < argc) ? std::strtol(argv[i + 1], &end, 10) : -1;
            if (i + 1 >= argc || end == argv[i + 1] || *end != '\0' || n < 1 || n > 64) {
                *message =
                    "--card-threads needs a number of threads from 1 to 64\n" + Usage(argv[0]);
                return 2;
            }
            options->cardThreads = static_cast<int>(n);
            ++i;
        } else if (a == "--frames") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                *message = "--frames needs a directory\n" + Usage(argv[0]);
                return 2;
            }
            options->framesDir = argv[++i];
        } else if (a == "--frames-at") {
            if (i + 1 >= argc || !Win32_ParseFrameList(argv[i + 1], &ranges) || ranges.empty()) {
                *message = "--frames-at needs a list such as 1,50,300-310\n" + Usage(argv[0]);
                return 2;
            }
            options->framesAt = argv[++i];
        } else if (a == "--capture" || a == "--capture-wav") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                *message = a + " needs a file name\n" + Usage(argv[0]);
                return 2;
            }
            (a == "--capture" ? options->captureFile : options->captureWav) = argv[++i];
        } else if (a == "--capture-fps") {
            // The value itself is checked where the video is made (25, 29.97, 30000/1001, ...).
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                *message =
                    "--capture-fps needs a frame rate such as 25 or 30000/1001\n" + Usage(argv[0]);
                return 2;
            }
            options->captureFps = argv[++i];
        } else if (a == "--capture-crf") {
            long n = 0;
            if (!number(i + 1, 0, 63, &n)) {
                *message = "--capture-crf needs a quality value from 0 to 63\n" + Usage(argv[0]);
                return 2;
            }
            options->captureCrf = static_cast<int>(n);
            ++i;
        } else if (a == "--capture-frames") {
            long n = 0;
            if (!number(i + 1, 1, 100000000, &n)) {
                *message = "--capture-frames needs a frame count of 1 or more\n" + Usage(argv[0]);
                return 2;
            }
            options->captureFrames = static_cast<int>(n);
            ++i;
        } else if (a == "--help") {
            *message = Usage(argv[0]);
            return 1;
        } else {
            *message = "unknown option " + a + "\n" + Usage(argv[0]);
            return 2;
        }
    }
    if (options->captureFile.empty() &&
        (!options->captureFps.empty() || options->captureCrf >= 0)) {
        *message = std::string(options->captureFps.empty() ? "--capture-crf" : "--capture-fps") +
                   " needs --capture FILE\n" + Usage(argv[0]);
        return 2;
    }
    if (!Win32_Capturing(*options) && options->captureFrames > 0) {
        *message = "--capture-frames needs --capture FILE or --capture-wav FILE\n" + Usage(argv[0]);
        return 2;
    }
    if (!options->captureFile.empty() && options->captureFile == options->captureWav) {
        *message = "--capture and --capture-wav need two different files\n" + Usage(argv[0]);
        return 2;
    }
    for (; i < argc; ++i) {
        if (!cmdLine->empty()) *cmdLine += ' ';
        *cmdLine += argv[i];
    }
    return 0;
}
