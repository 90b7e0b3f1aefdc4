// fuzz_options.cpp: the stand-in's option parser. The input is the argument list, arguments
// separated by NUL bytes (argv[0] is the program). The result is 0, 1 or 2 with a message for 1
// and 2; accepted options hold values in their ranges.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "win32_standin.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> args = {"demo"};
    std::string arg;
    for (size_t i = 0; i < size; ++i) {
        if (data[i]) {
            arg += static_cast<char>(data[i]);
        } else {
            args.push_back(arg);
            arg.clear();
        }
    }
    if (!arg.empty()) args.push_back(arg);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    Win32StandInOptions options;
    std::string cmdLine, message;
    const int r = Win32_ParseOptions(static_cast<int>(args.size()), argv.data(), &options, &cmdLine,
                                     &message);
    FUZZ_CHECK(r >= 0 && r <= 2);
    FUZZ_CHECK((r == 0) == message.empty());
    if (r != 0) return 0;
    FUZZ_CHECK(options.device >= -1 && options.device <= 1000);
    FUZZ_CHECK(options.cardThreads >= 0 && options.cardThreads <= 64);
    FUZZ_CHECK(options.captureCrf >= -1 && options.captureCrf <= 63);
    FUZZ_CHECK(options.captureFrames >= 0);
    std::vector<std::pair<int, int>> ranges;
    FUZZ_CHECK(Win32_ParseFrameList(options.framesAt, &ranges));
    FUZZ_CHECK(options.framesAt.empty() == ranges.empty());
    return 0;
}
