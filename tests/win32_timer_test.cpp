// The multimedia timer: periodic ticks at the period on average, none after a kill.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "windows.h"

namespace {

std::atomic<int> gTicks;
std::atomic<UINT> gSelfKill;

void CALLBACK Count(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    gTicks += static_cast<int>(user);
}

void CALLBACK KillSelf(UINT id, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
    ++gTicks;
    gSelfKill = timeKillEvent(id) == TIMERR_NOERROR ? 1 : 2;
}

TEST(Timer, PeriodicTicksArriveAtThePeriodAndStopAtKill) {
    gTicks = 0;
    auto start = std::chrono::steady_clock::now();
    MMRESULT id = timeSetEvent(5, 0, Count, 1, TIME_PERIODIC);
    ASSERT_NE(id, 0u);
    while (gTicks < 40) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(timeKillEvent(id), static_cast<MMRESULT>(TIMERR_NOERROR));
    int atKill = gTicks;
    // 40 ticks of 5 ms are due at 200 ms: never earlier.
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 200);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(gTicks, atKill);
    EXPECT_EQ(timeKillEvent(id), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
}

TEST(Timer, OneShotFiresOnceAndFreesItself) {
    gTicks = 0;
    MMRESULT id = timeSetEvent(2, 0, Count, 1, TIME_ONESHOT);
    ASSERT_NE(id, 0u);
    while (gTicks < 1) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(gTicks, 1);
    EXPECT_EQ(timeKillEvent(id), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
}

TEST(Timer, ACallbackMayKillItsOwnTimer) {
    gTicks = 0;
    gSelfKill = 0;
    ASSERT_NE(timeSetEvent(2, 0, KillSelf, 0, TIME_PERIODIC), 0u);
    while (gSelfKill == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(gSelfKill, 1u);
    EXPECT_EQ(gTicks, 1);
}

TEST(Timer, BadArgumentsAreRefused) {
    EXPECT_EQ(timeSetEvent(0, 0, Count, 0, TIME_PERIODIC), 0u);
    EXPECT_EQ(timeSetEvent(10, 0, nullptr, 0, TIME_PERIODIC), 0u);
    EXPECT_EQ(timeKillEvent(0), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
}

}  // namespace
