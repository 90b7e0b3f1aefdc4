// replay_main.cpp: runs a harness's entry point over every file of the given files and
// directories, as libFuzzer would run one input: the replay test of the sanitizer build. A fault
// or a broken invariant aborts (the test fails). A directory that does not exist is skipped (a
// harness without findings has no regressions directory), but a replay of nothing fails.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "files.h"
#include "fuzz_support.h"

// Harnesses without one-time set-up do not define it.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        struct stat st;
        if (stat(argv[i], &st) != 0) continue;
        if (!S_ISDIR(st.st_mode)) {
            files.push_back(argv[i]);
            continue;
        }
        DIR* d = opendir(argv[i]);
        if (!d) return 1;
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') files.push_back(std::string(argv[i]) + "/" + e->d_name);
        closedir(d);
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
