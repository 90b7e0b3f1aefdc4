// win32_timer.cpp: the multimedia timer (timeSetEvent / timeKillEvent / timeGetTime).
//
// Each timer runs on a thread of its own that sleeps to absolute deadlines of the monotonic clock:
// tick n is due at start + n * period, so lateness of one tick never shifts the next ones and the
// ticks do not drift over a long show. When a thread falls behind by more than a period (the
// machine was suspended, say), it delivers the late ticks at once, as the platform's timer does.
// timeKillEvent stops the thread and joins it, so no callback runs once it has returned (a
// callback that kills its own timer is allowed: the thread then ends after that callback).
//
// Periodic ticks also feed a tick serial that PeekMessageA waits on while the program spins.
//
// Under virtual time (capture) a timer has no thread: it keeps its deadline on a virtual clock
// in milliseconds, and W32Timer_VirtualStep, called by the presenting thread, moves the clock to
// the earliest deadline and runs the callbacks due there on that thread.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "win32_internal.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
    UINT id = 0;
    UINT period = 0;
    bool periodic = false;
    bool isVirtual = false;
    uint64_t due = 0;  // virtual timers: the next deadline on the virtual clock
    LPTIMECALLBACK callback = nullptr;
    DWORD_PTR user = 0;
    std::thread thread;
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
};

std::mutex gTimersMutex;
std::vector<std::shared_ptr<Timer>> gTimers;
UINT gNextId = 1;

std::mutex gTickMutex;
std::condition_variable gTickCv;
uint64_t gTickSerial = 0;
std::atomic<int> gPeriodicRunning{0};  // periodic timers with a thread

// The virtual clock (guarded by gTimersMutex).
bool gVirtual = false;
uint64_t gVirtualNow = 0;    // ms since virtual time began
uint64_t gVirtualSteps = 0;  // steps taken

void Run(std::shared_ptr<Timer> t) {
    const auto period = std::chrono::milliseconds(t->period);
    auto due = Clock::now() + period;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(t->mutex);
            if (t->wake.wait_until(lock, due, [&] { return t->stop; })) return;
        }
        t->callback(t->id, 0, t->user, 0, 0);
        if (!t->periodic) {
            // A one-shot timer frees itself, unless timeKillEvent has taken it already and joins.
            std::lock_guard<std::mutex> lock(gTimersMutex);
            for (auto it = gTimers.begin(); it != gTimers.end(); ++it) {
                if (it->get() == t.get()) {
                    gTimers.erase(it);
                    t->thread.detach();
                    break;
                }
            }
            return;
        }
        {
            std::lock_guard<std::mutex> lock(gTickMutex);
            ++gTickSerial;
        }
        gTickCv.notify_all();
        due += period;
    }
}

}  // namespace

MMRESULT WINAPI timeSetEvent(UINT delayMs, UINT, LPTIMECALLBACK callback, DWORD_PTR user,
                             UINT flags) {
    if (flags & (TIME_CALLBACK_EVENT_SET | TIME_CALLBACK_EVENT_PULSE))
        Win32Unsupported("timeSetEvent", "event callbacks");
    if (!callback || delayMs == 0 || delayMs > 1000000) return 0;
    auto t = std::make_shared<Timer>();
    t->period = delayMs;
    t->periodic = (flags & TIME_PERIODIC) != 0;
    t->callback = callback;
    t->user = user;
    // The thread starts under the lock, so a one-shot timer that frees itself finds its
    // std::thread assigned.
    std::lock_guard<std::mutex> lock(gTimersMutex);
    t->id = gNextId++;
    gTimers.push_back(t);
    if (gVirtual) {
        t->isVirtual = true;
        t->due = gVirtualNow + delayMs;
    } else {
        if (t->periodic) ++gPeriodicRunning;
        t->thread = std::thread(Run, t);
    }
    return t->id;
}

MMRESULT WINAPI timeKillEvent(UINT timerId) {
    std::shared_ptr<Timer> t;
    {
        std::lock_guard<std::mutex> lock(gTimersMutex);
        for (auto it = gTimers.begin(); it != gTimers.end(); ++it) {
            if ((*it)->id == timerId) {
                t = *it;
                gTimers.erase(it);
                break;
            }
        }
    }
    if (!t) return MMSYSERR_INVALPARAM;
    if (t->isVirtual) {
        std::lock_guard<std::mutex> lock(t->mutex);
        t->stop = true;  // a step that has already taken it does not run it
        return TIMERR_NOERROR;
    }
    {
        std::lock_guard<std::mutex> lock(t->mutex);
        t->stop = true;
    }
    t->wake.notify_all();
    if (t->thread.get_id() == std::this_thread::get_id())
        t->thread.detach();  // killed from its own callback: the loop sees `stop` and ends
    else
        t->thread.join();
    if (t->periodic) --gPeriodicRunning;
    gTickCv.notify_all();
    return TIMERR_NOERROR;
}

DWORD WINAPI timeGetTime() { return GetTickCount(); }

uint64_t W32Timer_TickSerial() {
    std::lock_guard<std::mutex> lock(gTickMutex);
    return gTickSerial;
}

bool W32Timer_WaitTick(uint64_t seen, int maxMs) {
    if (gPeriodicRunning.load() == 0) return false;
    std::unique_lock<std::mutex> lock(gTickMutex);
    return gTickCv.wait_for(lock, std::chrono::milliseconds(maxMs),
                            [&] { return gTickSerial != seen || gPeriodicRunning.load() == 0; });
}

bool W32Timer_VirtualStep() {
    std::vector<std::shared_ptr<Timer>> due;  // once per frame: a vector of one timer
    {
        std::lock_guard<std::mutex> lock(gTimersMutex);
        if (!gVirtual || gTimers.empty()) return false;
        uint64_t next = UINT64_MAX;
        for (const auto& t : gTimers) next = std::min(next, t->due);
        gVirtualNow = next;
        for (auto it = gTimers.begin(); it != gTimers.end();) {
            if ((*it)->due != next) {
                ++it;
                continue;
            }
            due.push_back(*it);
            if ((*it)->periodic) {
                (*it)->due += (*it)->period;
                ++it;
            } else {
                it = gTimers.erase(it);  // a one-shot timer frees itself
            }
        }
        ++gVirtualSteps;
    }
    // The callbacks run without the lock: they may set or kill timers.
    for (const auto& t : due) {
        bool stopped;
        {
            std::lock_guard<std::mutex> lock(t->mutex);
            stopped = t->stop;
        }
        if (!stopped) t->callback(t->id, 0, t->user, 0, 0);
    }
    return true;
}

bool W32Timer_VirtualFirstStep() {
    {
        std::lock_guard<std::mutex> lock(gTimersMutex);
        if (!gVirtual || gVirtualSteps != 0) return false;
    }
    return W32Timer_VirtualStep();
}

void Win32_SetVirtualTime(bool on) {
    std::lock_guard<std::mutex> lock(gTimersMutex);
    if (on == gVirtual) return;
    if (!gTimers.empty()) {
        std::fprintf(stderr, "win32 stand-in: virtual time can change only while no timer runs\n");
        return;
    }
    gVirtual = on;
    gVirtualNow = 0;
    gVirtualSteps = 0;
}

bool Win32_VirtualTime() {
    std::lock_guard<std::mutex> lock(gTimersMutex);
    return gVirtual;
}

unsigned Win32_TimerPeriod() {
    std::lock_guard<std::mutex> lock(gTimersMutex);
    for (const auto& t : gTimers)
        if (t->periodic) return t->period;
    return 0;
}
