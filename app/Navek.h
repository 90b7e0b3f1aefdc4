// Navek.h: the demo application's entry, frame loop and their state.
//
// WinMain runs the whole program: settings from the command line, the main window, the device
// dialog, the display device, the data, the audio, the periodic timer, the main loop and the
// shutdown. DemoFrame paces the show against the timer's tick counter: every tick is one frame of
// the script, and a slow machine runs the missed frames' timeline without drawing them.
#pragma once

#include <atomic>
#include <cstdint>

#include "device.h"
#include "windows.h"

// The ten settings, in command-line order.
struct DemoSettings {
    int32_t screenWidth;  // display width; its half is the viewport centre
    int32_t screenHeight;
    int32_t syncToTimer;    // 1: one frame per timer tick; else as fast as possible
    int32_t refreshRate;    // Hz, for DevOpen
    int32_t timerPeriod;    // ms per tick (per frame of the show)
    int32_t spareSetting;   // read and never used
    int32_t lagTolerance;   // ticks the frames may lag before catch-up steps run
    int32_t showDebugInfo;  // 1 shows frame rate, camera and help texts
    int32_t anyKeyCamera;   // 1 lets any key switch the free camera on
    int32_t retraceWaits;   // passed to DevFlip
};
constexpr DemoSettings kDefaultSettings = {640, 480, 1, 72, 80, 1, 0, 0, 0, 0};

// Pacing. tickCount is written by the timer thread only and read afresh by every comparison.
// The initialisers are the start values.
struct DemoPacing {
    std::atomic<int32_t> tickCount{0};
    int32_t framesDone = 0;    // frame steps run, catch-up steps included
    float frameNumber = 0.0f;  // the frame the timeline works on; the first one is 1.0
    int32_t fpsTickLast = 1;   // frame-rate sample: tick of the latest fifth rendered frame
    int32_t fpsTickPrev = 1;   // ... and of the one before
    int32_t fpsCountdown = 5;
};

// Input: set by MainWndProc, cleared by the free-camera keys. The free camera's own switch lives
// with the camera (scene.h).
struct DemoInput {
    int32_t keyDown[256];
};

// The program's windows and timer.
struct DemoHandles {
    HWND mainWindow;
    MMRESULT timerId;
    byte audioState;  // 1 playing, 2 paused by deactivation, 0 neither (see MainWndProc)
};

extern DemoSettings settings;
extern DemoPacing pacing;
extern DemoInput input;
extern DemoHandles handles;

const float endFrame = 2874.0f;

// Reads up to ten integers into the settings; scanning stops at the first text that is no number.
void ScanSettings(const char* cmdLine);

// Bounds of the settings: sides of 1 to kMaxScreenSide pixels; with sync to timer 1, a timer
// period of 1 to kMaxTimerPeriod ms; retrace waits are held to 0 to kMaxRetraceWaits.
constexpr int32_t kMaxScreenSide = 4096;
constexpr int32_t kMaxTimerPeriod = 1000000;
constexpr int32_t kMaxRetraceWaits = 8;

// Checks the scanned settings: the text of the refusal naming the first setting out of range, or
// null when the show can run (retrace waits are clamped here).
const char* CheckSettings(void);
// Registers the window class named `title` and creates the hidden main window; null on failure.
HWND CreateMainWindow(HINSTANCE instance, WNDPROC proc, const char* title);
// Dialog procedure of dialog 101 "Select Render Device".
INT_PTR CALLBACK DeviceDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
// Window procedure of the main window.
LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The periodic timer's callback: counts a tick.
void CALLBACK TimerTick(UINT id, UINT msg, DWORD_PTR user, DWORD_PTR dw1, DWORD_PTR dw2);
// One pass of the frame step; called by the main loop whenever no message waits.
void DemoFrame(void);
// The frame rate the debug overlay shows.
int FrameRateValue(void);
// Puts settings, pacing, input and handles back to their start values (for a second run in tests).
void ResetNavek(void);
