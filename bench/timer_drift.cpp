// timer_drift: measures the multimedia timer stand-in over a whole show (2,875 ticks of 80 ms by
// default) against SDL_AddTimer running alongside. Prints, for each, how far the last tick is from
// where it is due, and the worst lateness of a single tick. Takes as long as the show: run it by
// hand (timer_drift [ticks] [period_ms]).
#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "windows.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Series {
    std::vector<Clock::time_point> at;
    std::atomic<int> count{0};
    void Tick() {
        int n = count.load();
        if (n < static_cast<int>(at.size())) {
            at[static_cast<size_t>(n)] = Clock::now();
            count.store(n + 1);
        }
    }
};

Series gStandIn, gSdl;

void CALLBACK StandInTick(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) { gStandIn.Tick(); }

Uint32 SdlTick(Uint32 interval, void*) {
    gSdl.Tick();
    return interval;
}

void Report(const char* name, const Series& s, Clock::time_point start, int period) {
    int n = s.count.load();
    double worst = 0;
    for (int i = 0; i < n; ++i) {
        double due = (i + 1) * static_cast<double>(period);
        double got =
            std::chrono::duration<double, std::milli>(s.at[static_cast<size_t>(i)] - start).count();
        if (got - due > worst) worst = got - due;
    }
    double last =
        std::chrono::duration<double, std::milli>(s.at[static_cast<size_t>(n - 1)] - start).count();
    double drift = last - n * static_cast<double>(period);
    std::printf(
        "%-14s %d ticks: last tick %+.2f ms from due (%+.4f ms per tick), worst lateness %.2f ms\n",
        name, n, drift, drift / n, worst);
}

}  // namespace

int main(int argc, char** argv) {
    int ticks = argc > 1 ? std::atoi(argv[1]) : 2875;
    int period = argc > 2 ? std::atoi(argv[2]) : 80;
    if (ticks < 2 || period < 1) return 2;
    gStandIn.at.resize(static_cast<size_t>(ticks));
    gSdl.at.resize(static_cast<size_t>(ticks));
    if (SDL_Init(SDL_INIT_TIMER) != 0) return 1;
    Clock::time_point start = Clock::now();
    MMRESULT id = timeSetEvent(static_cast<UINT>(period), 0, StandInTick, 0, TIME_PERIODIC);
    SDL_TimerID sdl = SDL_AddTimer(static_cast<Uint32>(period), SdlTick, nullptr);
    while (gStandIn.count < ticks || gSdl.count < ticks)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    timeKillEvent(id);
    SDL_RemoveTimer(sdl);
    Report("timeSetEvent", gStandIn, start, period);
    Report("SDL_AddTimer", gSdl, start, period);
    SDL_Quit();
    return 0;
}
