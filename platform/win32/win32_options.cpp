// win32_options.cpp: the stand-in options that main() takes before the program's command line.
#include <cstdlib>
#include <string>

#include "win32_standin.h"

namespace {

const char kUsage[] =
    "usage: PROGRAM [--window] [--headless] [--device N] [--frames DIR] [--frames-at LIST]\n"
    "               [--card-threads N] [--] [ten integers]\n"
    "  --window      play in a window instead of full screen (Alt+Enter toggles)\n"
    "  --headless    no display and no sound: offscreen video, silent audio\n"
    "  --device N    choose entry N of the device dialog and run it without asking\n"
    "  --frames DIR  save presented frames as DIR/frame-NNNNNN.png (N counts from 1)\n"
    "  --frames-at LIST  only the frames of LIST, e.g. 1,50,300-310 (all when absent)\n"
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
                *message = "--card-threads needs a number of threads from 1 to 64\n" + Usage(argv[0]);
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
        } else if (a == "--help") {
            *message = Usage(argv[0]);
            return 1;
        } else {
            *message = "unknown option " + a + "\n" + Usage(argv[0]);
            return 2;
        }
    }
    for (; i < argc; ++i) {
        if (!cmdLine->empty()) *cmdLine += ' ';
        *cmdLine += argv[i];
    }
    return 0;
}
