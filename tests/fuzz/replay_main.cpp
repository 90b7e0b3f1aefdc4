// replay_main.cpp: runs a harness's entry point over every file of the given files and
// directories, as libFuzzer would run one input: the replay test of the sanitizer build. A fault
// or a broken invariant aborts (the test fails). A directory that does not exist is skipped (a
// harness without findings has no regressions directory), but a replay of nothing fails.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "files.h"
#include "fuzz_support.h"

// Harnesses without one-time set-up do not define it.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    std::vector<std::string> files;
    std::error_code error;
    for (int i = 1; i < argc; ++i) {
        if (!std::filesystem::is_directory(argv[i], error)) {
            if (std::filesystem::exists(argv[i], error)) files.push_back(argv[i]);
            continue;
        }
        for (const auto& e : std::filesystem::directory_iterator(argv[i]))
            if (e.path().filename().string()[0] != '.') files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    std::vector<uint8_t> data;
    for (const std::string& f : files) {
        if (!ReadBytes(f, &data)) {
            std::fprintf(stderr, "replay: cannot read %s\n", f.c_str());
            return 1;
        }
        std::fprintf(stderr, "replay: %s (%zu bytes)\n", f.c_str(), data.size());
        // A copy of exactly the input's size, so that a read past its end is caught.
        uint8_t* copy = static_cast<uint8_t*>(std::malloc(data.size() ? data.size() : 1));
        std::copy(data.begin(), data.end(), copy);
        LLVMFuzzerTestOneInput(copy, data.size());
        std::free(copy);
    }
    std::printf("replay: %zu inputs, no fault\n", files.size());
    return files.empty() ? 1 : 0;
}
