// win32_standin.h: what the Win32 stand-in offers beyond the Win32 calls, for the other stand-ins,
// the program's main() and tests. The system's own code never includes it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "windows.h"

struct SDL_Window;

// Options that main() takes before the program's own command line (see win32_main.cpp).
struct Win32StandInOptions {
    bool window = false;    // --window: a window instead of full screen
    bool headless = false;  // --headless: offscreen video, silent audio, no message boxes
    int device = -1;        // --device N: the device dialog picks entry N and presses "Run"
    std::string framesDir;  // --frames DIR: presented frames are saved there as PNG files
    std::string framesAt;   // --frames-at LIST: only these frames ("1,50,300-310"); all when empty
    // Capture of the whole show (platform/capture): any of the two files turns it on.
    std::string captureFile;  // --capture FILE: video with sound, container from the extension
    std::string captureWav;   // --capture-wav FILE: the sound alone, 16-bit PCM WAV
    std::string captureFps;   // --capture-fps RATE: frame rate of the video; empty: the show's own
    int captureCrf = -1;      // --capture-crf N: constant-quality value; -1: the encoder's default
    int captureFrames = 0;    // --capture-frames N: end after N frames; 0: at the show's end
    int cardThreads = 0;  // --card-threads N: the 3D card draws on N threads (0: the environment
                          // variable TAMBIR_CARD_THREADS, else one per core)
};

// True when the options ask for a capture (video or sound file).
inline bool Win32_Capturing(const Win32StandInOptions& o) {
    return !o.captureFile.empty() || !o.captureWav.empty();
}

// Parses argv[1..]: stand-in options first, then the program's command line, which is returned
// joined by single blanks. Returns 0 on success, 1 when --help was asked for (usage in *message),
// 2 on a bad option (the reason and the usage in *message).
int Win32_ParseOptions(int argc, char** argv, Win32StandInOptions* options, std::string* cmdLine,
                       std::string* message);
// Reads a --frames-at list ("1,50,300-310": numbers and ranges from 1, separated by commas)
// into ranges; an empty list gives none. False for anything else.
bool Win32_ParseFrameList(const std::string& list, std::vector<std::pair<int, int>>* ranges);
void Win32_SetOptions(const Win32StandInOptions& options);
const Win32StandInOptions& Win32_GetOptions(void);

// A display device tells the stand-in that it presented a frame. PeekMessageA uses this to tell a
// program that spins between timer ticks (it may then sleep until the next tick) from one that
// presents every pass (it only polls).
void Win32_NotifyPresent(void);

// Virtual time, for capture. Once on (before any timer starts), the multimedia timer stops
// following the clock: every presented frame moves it on by one tick (the next deadline of the
// running timers, whose callbacks then run on the presenting thread), and so does the program's
// first wait for a tick (a PeekMessageA that finds nothing while nothing has been presented since
// the previous one) before any tick was delivered. A program paced by a periodic timer thus
// renders each of its frames exactly once, however fast or slow the machine. timeGetTime keeps
// the real clock. Off again: only when no timer runs.
void Win32_SetVirtualTime(bool on);
bool Win32_VirtualTime(void);
// The period in ms of the oldest running periodic timer, 0 when none runs.
unsigned Win32_TimerPeriod(void);

// Asks every top-level window to close, as the user closing it would (WM_SYSCOMMAND SC_CLOSE is
// posted): the program ends in its own order. Capture calls it at its frame limit.
void Win32_RequestClose(void);

// A function run once before the stand-ins end the program at once (assertion report, unsupported
// call), so that a capture can still finish its file. Null: none.
void Win32_SetFatalHook(void (*hook)(void));
// Runs the fatal hook once (later calls do nothing).
void Win32_RunFatalHook(void);

// The SDL window behind a top-level window, or null.
SDL_Window* Win32_SdlWindow(HWND hwnd);
// True when the window currently shows full screen.
bool Win32_IsFullscreen(HWND hwnd);
// The display mode that ChangeDisplaySettingsA last set (or the desktop's when none is set).
void Win32_CurrentMode(int* width, int* height, int* bitsPerPixel);
// DirectDraw's exclusive mode: the size its SetDisplayMode set, until the display object goes
// (0 x 0). While set, it is the display mode windows are maximised to and GetWindowRect of the
// desktop answers; the real screen keeps its own mode.
void Win32_SetExclusiveMode(int width, int height);
// True when SDL shows the mouse cursor (hidden only while a window shows full screen and the
// program hid it).
bool Win32_CursorShown(void);

// Ends the program with a clear message for a call or value the stand-ins do not support.
[[noreturn]] void Win32Unsupported(const char* call, const char* what);

// Destroys every window silently (no WM_DESTROY: the program is ending or a test starts afresh),
// forgets classes, queued messages, the quit flag and key states, and releases SDL video.
void Win32_Reset(void);
