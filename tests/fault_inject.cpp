// fault_inject.cpp: faults for demo_null_faults (demo_null with -Wl,--wrap for malloc, calloc,
// realloc, fopen, open, DevOpen, DevFlip and timeSetEvent, and its own operator new and delete).
// The start-up runs from the device opened to the show's timer started. Environment:
//   TAMBIR_FAIL_ALLOC=N          the Nth allocation of the start-up on the main thread fails
//   TAMBIR_END_AFTER_STARTUP=1   the show is ended as by Escape once the start-up is done
//   TAMBIR_SIGNAL_AT=F:S         signal S is raised in the process after frame F is presented
//                                (F = 0: when the start-up is done)
//   TAMBIR_REMOVE_DATA=1         every file the start-up opened is removed when it is done
//   TAMBIR_FAIL_TRACE=1          the failing allocation prints its stack (sanitizer build)
// At exit: "faults: K allocations in the start-up, M files opened after it" on stderr; without
// TAMBIR_FAIL_ALLOC also "faults: opened NAME after allocation K" for each file the start-up opens.
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <set>
#include <string>

#include "Navek.h"

extern "C" {
void* __real_malloc(size_t);
void* __real_calloc(size_t, size_t);
void* __real_realloc(void*, size_t);
FILE* __real_fopen(const char*, const char*);
int __real_open(const char*, int, ...);
byte __real__Z7DevOpenP6HWND__iii(HWND, int, int, int);
byte __real__Z7DevFlipi(int);
MMRESULT __real__Z12timeSetEventjjPFvjjmmmEmj(UINT, UINT, LPTIMECALLBACK, DWORD_PTR, UINT);
void __sanitizer_print_stack_trace() __attribute__((weak));
}

namespace {

enum Phase { kBefore, kStartUp, kShow };

struct Faults {
    std::atomic<int> phase{kBefore};
    pthread_t main{};
    long failAt = 0;       // 1-based allocation to fail; 0: none
    long allocations = 0;  // in the start-up, on the main thread
    long opensAfter = 0;   // files opened once the show runs
    int signalFrame = -1, signal = 0;
    long frames = 0;
    bool endAfterStartUp = false, removeData = false, trace = false;
    bool recording = false;                   // guards the set of names against its own allocations
    std::set<std::string>* opened = nullptr;  // files the start-up opened (kept to the exit)
} gFaults;

long EnvNumber(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::strtol(v, nullptr, 10) : 0;
}

// Whether this allocation is the one to fail; counts the start-up's allocations.
bool FailNow() {
    if (gFaults.phase.load(std::memory_order_relaxed) != kStartUp || gFaults.recording ||
        !pthread_equal(pthread_self(), gFaults.main))
        return false;
    if (++gFaults.allocations != gFaults.failAt) return false;
    if (gFaults.trace && __sanitizer_print_stack_trace) __sanitizer_print_stack_trace();
    return true;
}

void Opened(const char* path) {
    const int phase = gFaults.phase.load(std::memory_order_relaxed);
    if (phase == kShow && pthread_equal(pthread_self(), gFaults.main)) ++gFaults.opensAfter;
    if (phase != kStartUp || !path || gFaults.recording) return;
    gFaults.recording = true;
    gFaults.opened->insert(path);
    gFaults.recording = false;
    if (!gFaults.failAt)
        std::fprintf(stderr, "faults: opened %s after allocation %ld\n", path, gFaults.allocations);
}

void Report() {
    std::fprintf(stderr, "faults: %ld allocations in the start-up, %ld files opened after it\n",
                 gFaults.allocations, gFaults.opensAfter);
}

void* New(size_t n) {
    if (FailNow()) throw std::bad_alloc();
    void* p = __real_malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    return p;
}

// Callers of the nothrow forms check for null by contract: they are not made to fail.
void* NewNothrow(size_t n) noexcept { return __real_malloc(n ? n : 1); }

}  // namespace

extern "C" {

void* __wrap_malloc(size_t n) { return FailNow() ? nullptr : __real_malloc(n); }
void* __wrap_calloc(size_t n, size_t size) { return FailNow() ? nullptr : __real_calloc(n, size); }
void* __wrap_realloc(void* p, size_t n) { return FailNow() ? nullptr : __real_realloc(p, n); }

FILE* __wrap_fopen(const char* path, const char* mode) {
    Opened(path);
    return __real_fopen(path, mode);
}

int __wrap_open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if (flags & O_CREAT) {
        va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, int));
        va_end(args);
    }
    Opened(path);
    return __real_open(path, flags, mode);
}

byte __wrap__Z7DevOpenP6HWND__iii(HWND window, int width, int height, int refresh) {
    const byte r = __real__Z7DevOpenP6HWND__iii(window, width, height, refresh);
    if (r == 0 && gFaults.phase == kBefore) {
        gFaults.main = pthread_self();
        gFaults.failAt = EnvNumber("TAMBIR_FAIL_ALLOC");
        gFaults.endAfterStartUp = EnvNumber("TAMBIR_END_AFTER_STARTUP") != 0;
        gFaults.removeData = EnvNumber("TAMBIR_REMOVE_DATA") != 0;
        gFaults.trace = EnvNumber("TAMBIR_FAIL_TRACE") != 0;
        if (const char* v = std::getenv("TAMBIR_SIGNAL_AT"))
            std::sscanf(v, "%d:%d", &gFaults.signalFrame, &gFaults.signal);
        gFaults.opened = new std::set<std::string>;
        std::atexit(Report);
        gFaults.phase = kStartUp;
    }
    return r;
}

MMRESULT __wrap__Z12timeSetEventjjPFvjjmmmEmj(UINT delay, UINT resolution, LPTIMECALLBACK proc,
                                              DWORD_PTR user, UINT flags) {
    if (gFaults.phase == kStartUp) {
        gFaults.phase = kShow;
        if (gFaults.removeData)
            for (const std::string& path : *gFaults.opened) unlink(path.c_str());
        if (gFaults.endAfterStartUp) PostMessageA(handles.mainWindow, WM_KEYDOWN, VK_ESCAPE, 0);
        if (gFaults.signalFrame == 0) std::raise(gFaults.signal);
    }
    return __real__Z12timeSetEventjjPFvjjmmmEmj(delay, resolution, proc, user, flags);
}

byte __wrap__Z7DevFlipi(int retraces) {
    const byte r = __real__Z7DevFlipi(retraces);
    if (++gFaults.frames == gFaults.signalFrame) std::raise(gFaults.signal);
    return r;
}

}  // extern "C"

void* operator new(size_t n) { return New(n); }
void* operator new[](size_t n) { return New(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept { return NewNothrow(n); }
void* operator new[](size_t n, const std::nothrow_t&) noexcept { return NewNothrow(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
