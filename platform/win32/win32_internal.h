// win32_internal.h: the window records and helpers shared by the files of the Win32 stand-in.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "win32_standin.h"
#include "windows.h"

// One window. Top-level windows have an SDL window behind them; the controls of the device dialog
// are plain records whose parent is the dialog.
struct W32Window {
    bool alive = false;
    bool destroying = false;
    std::string className;
    std::string title;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr;  // owner of a top-level window, parent of a control
    int id = 0;             // control id
    bool visible = false;
    bool enabled = true;
    bool minimized = false;
    // Placement on the real screen (win32_screen.cpp).
    bool covers = false;      // the program made it cover the display mode: its full-screen output
    bool fullscreen = false;  // ... and it shows full screen (not as a window by the user's choice)
    bool asWindow = false;    // ... and it shows as a window, where `home` will be taken from
    bool homeSet = false;     // `home` holds the user's last place and size of it as a window
    SDL_Rect home{};          // real screen pixels: the client area
    RECT rect{};              // in the program's display mode
    SDL_Window* sdl = nullptr;
    // Dialogs.
    DLGPROC dlgProc = nullptr;
    bool dlgEnded = false;
    INT_PTR dlgResult = 0;
    // List boxes.
    std::vector<std::string> items;
    int curSel = -1;
};

// The record of a live window, or null for none, a destroyed window or a foreign value.
W32Window* W32_Get(HWND hwnd);
HWND W32_HandleOf(const W32Window* w);
// The live top-level windows, oldest first (the desktop not included).
std::vector<HWND> W32_TopLevelWindows(void);
// The live controls of a dialog, in creation order.
std::vector<HWND> W32_ChildWindows(HWND parent);
// The window whose SDL window has this id, or null.
HWND W32_FromSdlId(Uint32 windowId);

// Starts SDL video on first use. False (with a message on stderr) when no display can be opened.
bool W32_EnsureVideo(void);
// True when message boxes and dialogs can be shown to a user (not headless, a real video driver).
bool W32_HasDisplay(void);

// Turns one SDL event into the messages of the window it belongs to (posted, or sent as the
// platform sends them). Returns false when the event belongs to no window of ours.
bool W32_TranslateEvent(const SDL_Event& e);
// Forgets key states.
void W32_ResetInput(void);

// win32_window.cpp: the display mode the program sees: DirectDraw's exclusive mode, else the one
// ChangeDisplaySettingsA set, else the real desktop's size.
void W32_ModeSize(int* width, int* height);

// win32_screen.cpp: placement of top-level windows on the real screen, and the cursor.
struct W32Borders {
    int left = 0, top = 0, right = 0, bottom = 0;
};
// The client area of a window of width x height (shrunk with its aspect kept when it does not
// fit) centred with its frame in `area`. Never smaller than 1 x 1.
SDL_Rect W32_FitWindow(const SDL_Rect& area, int width, int height, const W32Borders& borders);
// True when the window system really shows the window: SDL has it neither hidden nor minimised,
// and the X server has it mapped. SDL's events alone can say "restored" for a moment while a
// window manager iconifies a window.
bool W32_Showing(SDL_Window* sdl);
// Shows a top-level window's SDL window as its state says: full screen, as a window, or left.
// Called whenever `covers`, the user's choice or the window's visibility changes.
void W32_Place(W32Window* w);
// Alt+Enter on a window: flips the user's choice between full screen and a window when the
// window covers the display mode (otherwise nothing happens).
void W32_ToggleWindowed(HWND hwnd);
// The user's choice at start (--window).
void W32_SetWindowedChoice(bool windowed);
// DirectDraw's exclusive mode, false when none is set.
bool W32_ExclusiveMode(int* width, int* height);
// Shows or hides the cursor by ShowCursor's count and by what shows full screen.
void W32_UpdateCursor(void);
// Forgets the exclusive mode and the cursor count.
void W32_ResetScreen(void);

// Multimedia timer: a counter of periodic ticks delivered so far, and a wait for the next one.
uint64_t W32Timer_TickSerial(void);
// Waits until the tick serial differs from `seen` or `maxMs` passes. Returns at once (false) when
// no periodic timer runs.
bool W32Timer_WaitTick(uint64_t seen, int maxMs);

// Virtual time: moves the clock to the next deadline of the running timers and runs the
// callbacks due there on the calling thread. False (nothing done) when virtual time is off or no
// timer runs.
bool W32Timer_VirtualStep(void);
// The same, but only when no step has been taken yet: the program's first wait for a tick.
bool W32Timer_VirtualFirstStep(void);

// Internal class names.
#define W32_DIALOG_CLASS "#32770"
#define W32_LISTBOX_CLASS "ListBox"
#define W32_BUTTON_CLASS "Button"
