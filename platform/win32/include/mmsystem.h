// mmsystem.h: the multimedia timer subset, as a stand-in (platform/win32/win32_timer.cpp).
//
// Implemented: timeSetEvent with TIME_PERIODIC or TIME_ONESHOT and a callback function, on a
// thread of its own that sleeps to absolute deadlines of a monotonic clock (periodic ticks do not
// drift); timeKillEvent, which returns only when no callback of that timer can run any more;
// timeGetTime. Not implemented: TIME_CALLBACK_EVENT_SET/PULSE (rejected with a message).
#pragma once

#include "windows.h"

typedef UINT MMRESULT;
typedef void(CALLBACK* LPTIMECALLBACK)(UINT timerId, UINT msg, DWORD_PTR user, DWORD_PTR dw1,
                                       DWORD_PTR dw2);

#define TIME_ONESHOT 0x0000
#define TIME_PERIODIC 0x0001
#define TIME_CALLBACK_FUNCTION 0x0000
#define TIME_CALLBACK_EVENT_SET 0x0010
#define TIME_CALLBACK_EVENT_PULSE 0x0020

#define TIMERR_NOERROR 0
#define MMSYSERR_INVALPARAM 11

MMRESULT WINAPI timeSetEvent(UINT delayMs, UINT resolutionMs, LPTIMECALLBACK callback,
                             DWORD_PTR user, UINT flags);
MMRESULT WINAPI timeKillEvent(UINT timerId);
DWORD WINAPI timeGetTime(void);
