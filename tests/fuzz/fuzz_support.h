// fuzz_support.h: what the reader harnesses (fuzz_<reader>.cpp, libFuzzer targets or replayed by
// replay_main.cpp) share. The readers take file names, so an input is handed over as a file held
// in memory (memfd). FUZZ_CHECK states an invariant: when it breaks the harness names it and
// aborts, which both libFuzzer and the replay test report as a finding.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

#define FUZZ_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "fuzz: invariant broken: %s (%s:%d)\n", #cond, __FILE__, \
                         __LINE__);                                                       \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

// A file in memory that readers open by name ("/proc/self/fd/N"). Slot 0 and 1 are two separate
// files (an input and what a harness writes back).
struct MemFile {
    int fd = -1;
    char path[40] = {};
};

inline MemFile& MemFileSlot(int slot) {
    static MemFile files[2];
    MemFile& f = files[slot];
    if (f.fd < 0) {
        f.fd = memfd_create(slot ? "fuzz-out" : "fuzz-in", 0);
        if (f.fd < 0) {
            std::perror("fuzz: memfd_create");
            std::abort();
        }
        std::snprintf(f.path, sizeof f.path, "/proc/self/fd/%d", f.fd);
    }
    return f;
}

// Replaces the contents of memory file `slot` by the bytes and returns its name.
inline const char* MemFileWith(const uint8_t* data, size_t size, int slot = 0) {
    MemFile& f = MemFileSlot(slot);
    if (ftruncate(f.fd, 0) != 0) std::abort();
    size_t done = 0;
    while (done < size) {
        const ssize_t n = pwrite(f.fd, data + done, size - done, static_cast<off_t>(done));
        if (n <= 0) std::abort();
        done += static_cast<size_t>(n);
    }
    return f.path;
}

// Reads every byte of a block the reader handed out, so that the sanitizer sees a block shorter
// than its stated length; the sum keeps the reads.
inline unsigned TouchBytes(const void* p, size_t n) {
    const volatile uint8_t* b = static_cast<const uint8_t*>(p);
    unsigned sum = 0;
    for (size_t i = 0; i < n; ++i) sum += b[i];
    return sum;
}
