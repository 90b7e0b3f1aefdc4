// The multimedia timer: periodic ticks at the period on average, none after a kill.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "win32_standin.h"
#include "windows.h"

namespace {

std::atomic<int> gTicks;

void CALLBACK Count(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    gTicks += static_cast<int>(user);
}

// Whether done() came to hold within five seconds.
template <class Done>
bool WaitFor(Done done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(Timer, PeriodicTicksArriveAtThePeriodAndStopAtKill) {
    gTicks = 0;
    auto start = std::chrono::steady_clock::now();
    MMRESULT id = timeSetEvent(5, 0, Count, 1, TIME_PERIODIC);
    ASSERT_NE(id, 0u);
    EXPECT_TRUE(WaitFor([] { return gTicks >= 40; })) << gTicks << " ticks in 5 s";
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(timeKillEvent(id), static_cast<MMRESULT>(TIMERR_NOERROR));
    int atKill = gTicks;
    // 40 ticks of 5 ms are due at 200 ms: never earlier.
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 200);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(gTicks, atKill);
    EXPECT_EQ(timeKillEvent(id), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
    EXPECT_EQ(timeKillEvent(0), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
    EXPECT_EQ(timeSetEvent(0, 0, Count, 0, TIME_PERIODIC), 0u) << "a zero period";
    EXPECT_EQ(timeSetEvent(10, 0, nullptr, 0, TIME_PERIODIC), 0u) << "no callback";
}

// Under virtual time ticks come from presented frames (each to the next deadline) and from the
// program's first wait, never twice for one wait; timers keep their order.
TEST(Timer, VirtualTimeTicksOncePerPresentedFrame) {
    Win32_SetVirtualTime(true);
    ASSERT_TRUE(Win32_VirtualTime());
    gTicks = 0;
    MMRESULT periodic = timeSetEvent(2, 0, Count, 1, TIME_PERIODIC);
    MMRESULT oneShot = timeSetEvent(5, 0, Count, 100, TIME_ONESHOT);
    ASSERT_NE(periodic, 0u);
    ASSERT_NE(oneShot, 0u);
    EXPECT_EQ(Win32_TimerPeriod(), 2u);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(gTicks, 0) << "a virtual timer followed the clock";

    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);  // the first wait (or, after another test's
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);  // present, the second): one tick, not two
    EXPECT_EQ(gTicks, 1);
    Win32_NotifyPresent();  // deadline 4
    EXPECT_EQ(gTicks, 2);
    Win32_NotifyPresent();  // deadline 5: the one-shot timer alone
    EXPECT_EQ(gTicks, 102);
    Win32_NotifyPresent();  // deadline 6
    EXPECT_EQ(gTicks, 103);
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    EXPECT_EQ(gTicks, 103) << "a wait after the first ticked";
    EXPECT_EQ(timeKillEvent(oneShot), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
    EXPECT_EQ(timeKillEvent(periodic), static_cast<MMRESULT>(TIMERR_NOERROR));
    Win32_NotifyPresent();
    EXPECT_EQ(gTicks, 103);
    EXPECT_EQ(Win32_TimerPeriod(), 0u);
    Win32_SetVirtualTime(false);
    EXPECT_FALSE(Win32_VirtualTime());
}

}  // namespace
