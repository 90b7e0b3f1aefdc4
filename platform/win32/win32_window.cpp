// win32_window.cpp: windows, classes, the message queue and display settings of the Win32 stand-in.
//
// A window handle is the index of its record plus one; records are never reused, so a handle of
// a destroyed window stays invalid. Handle 1 is the desktop. Each top-level window owns a hidden
// SDL window from creation on; showing it maximised or making it top-most over the whole display
// mode makes it the program's full-screen output, which win32_screen.cpp shows full screen or as
// a window by the user's choice.
#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <thread>

#include "win32_internal.h"

namespace {

struct W32Class {
    std::string name;
    WNDCLASSA wc{};
};

struct W32State {
    std::vector<std::unique_ptr<W32Window>> windows;  // handle = index + 1
    std::vector<W32Class> classes;
    std::deque<MSG> queue;
    bool quitPosted = false;
    int quitCode = 0;
    HWND focus = nullptr;
    HWND active = nullptr;
    bool videoStarted = false;
    bool videoFailed = false;
    bool modeSet = false;  // ChangeDisplaySettingsA set a mode
    int modeWidth = 0, modeHeight = 0, modeBits = 16;
    uint64_t presents = 0;        // frames presented so far
    uint64_t presentsAtPeek = 0;  // ... as seen by the previous PeekMessageA
    uint64_t tickAtPeek = 0;      // timer tick serial as seen by the previous PeekMessageA
};

W32State g;
Win32StandInOptions gOptions;

const HINSTANCE kModuleHandle = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000));
const HCURSOR kArrowCursor = reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x10003));
const int kDefaultX = 64, kDefaultY = 64, kDefaultWidth = 640, kDefaultHeight = 480;

HWND HandleFromIndex(size_t index) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(index + 1));
}

void EnsureDesktop() {
    if (!g.windows.empty()) return;
    auto desk = std::make_unique<W32Window>();
    desk->alive = true;
    desk->className = "#desktop";
    desk->visible = true;
    g.windows.push_back(std::move(desk));
}

W32Class* FindClass(const char* name) {
    if (!name) return nullptr;
    for (auto& c : g.classes)
        if (SDL_strcasecmp(c.name.c_str(), name) == 0) return &c;
    return nullptr;
}

// The mode ChangeDisplaySettingsA set, else the real desktop's.
void SettingsSize(int* w, int* h) {
    if (g.modeSet) {
        *w = g.modeWidth;
        *h = g.modeHeight;
        return;
    }
    SDL_DisplayMode dm;
    if (g.videoStarted && SDL_GetDesktopDisplayMode(0, &dm) == 0 && dm.w > 0 && dm.h > 0) {
        *w = dm.w;
        *h = dm.h;
    } else {
        *w = kDefaultWidth;
        *h = kDefaultHeight;
    }
}

void DesktopSize(int* w, int* h) {
    if (!W32_ExclusiveMode(w, h)) SettingsSize(w, h);
}

// The program made the window cover the display mode, or stop covering it.
void SetCovers(W32Window* w, bool covers) {
    if (covers == w->covers && !covers) return;
    w->covers = covers;
    W32_Place(w);
}

bool InFilter(const MSG& m, HWND hwnd, UINT lo, UINT hi) {
    if (hwnd == reinterpret_cast<HWND>(static_cast<intptr_t>(-1))) {
        if (m.hwnd != nullptr) return false;
    } else if (hwnd != nullptr && m.hwnd != hwnd) {
        W32Window* w = W32_Get(m.hwnd);
        if (!w || w->parent != hwnd) return false;  // a window's filter takes its children too
    }
    if (lo == 0 && hi == 0) return true;
    return m.message >= lo && m.message <= hi;
}

void PumpEvents() {
    if (!g.videoStarted) return;
    SDL_Event e;
    while (SDL_PollEvent(&e)) W32_TranslateEvent(e);
}

}  // namespace

// ---- records ---------------------------------------------------------------------------------

W32Window* W32_Get(HWND hwnd) {
    uintptr_t v = reinterpret_cast<uintptr_t>(hwnd);
    if (v == 0 || v > g.windows.size()) return nullptr;
    W32Window* w = g.windows[v - 1].get();
    return w->alive ? w : nullptr;
}

HWND W32_HandleOf(const W32Window* w) {
    for (size_t i = 0; i < g.windows.size(); ++i)
        if (g.windows[i].get() == w) return HandleFromIndex(i);
    return nullptr;
}

std::vector<HWND> W32_TopLevelWindows() {
    std::vector<HWND> list;
    for (size_t i = 1; i < g.windows.size(); ++i)
        if (g.windows[i]->alive && !(g.windows[i]->style & WS_CHILD))
            list.push_back(HandleFromIndex(i));
    return list;
}

std::vector<HWND> W32_ChildWindows(HWND parent) {
    std::vector<HWND> list;
    for (size_t i = 1; i < g.windows.size(); ++i) {
        const W32Window* w = g.windows[i].get();
        if (w->alive && (w->style & WS_CHILD) && w->parent == parent)
            list.push_back(HandleFromIndex(i));
    }
    return list;
}

HWND W32_FromSdlId(Uint32 windowId) {
    for (size_t i = 0; i < g.windows.size(); ++i) {
        W32Window* w = g.windows[i].get();
        if (w->alive && w->sdl && SDL_GetWindowID(w->sdl) == windowId) return HandleFromIndex(i);
    }
    return nullptr;
}

bool W32_EnsureVideo() {
    if (g.videoStarted) return true;
    if (g.videoFailed) return false;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        std::fprintf(stderr,
                     "win32: cannot open a display (%s); run with --headless to play "
                     "without one\n",
                     SDL_GetError());
        g.videoFailed = true;
        return false;
    }
    g.videoStarted = true;
    return true;
}

bool W32_HasDisplay() {
    if (gOptions.headless || !W32_EnsureVideo()) return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
}

// ---- stand-in extras -------------------------------------------------------------------------

void Win32_SetOptions(const Win32StandInOptions& options) {
    gOptions = options;
    W32_SetWindowedChoice(options.window);
}
const Win32StandInOptions& Win32_GetOptions() { return gOptions; }
void Win32_NotifyPresent() {
    ++g.presents;
    W32Timer_VirtualStep();  // under virtual time a frame lasts one tick
}

BOOL WINAPI GdiFlush(void) {
    Win32_NotifyPresent();
    return TRUE;
}

void Win32_RequestClose() {
    for (HWND hwnd : W32_TopLevelWindows()) PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
}

namespace {
void (*gFatalHook)(void) = nullptr;
}

void Win32_SetFatalHook(void (*hook)(void)) { gFatalHook = hook; }

void Win32_RunFatalHook() {
    void (*hook)(void) = gFatalHook;
    gFatalHook = nullptr;  // once, even when the hook itself ends in a fatal report
    if (hook) hook();
}

SDL_Window* Win32_SdlWindow(HWND hwnd) {
    W32Window* w = W32_Get(hwnd);
    return w ? w->sdl : nullptr;
}

bool Win32_IsFullscreen(HWND hwnd) {
    W32Window* w = W32_Get(hwnd);
    return w && w->fullscreen;
}

void W32_ModeSize(int* width, int* height) { DesktopSize(width, height); }

void Win32_CurrentMode(int* width, int* height, int* bitsPerPixel) {
    SettingsSize(width, height);
    *bitsPerPixel = g.modeSet ? g.modeBits : 32;
}

void Win32Unsupported(const char* call, const char* what) {
    std::fprintf(stderr, "win32 stand-in: %s: %s is not supported\n", call, what);
    std::fflush(stderr);
    Win32_RunFatalHook();
    std::_Exit(4);
}

void Win32_Reset() {
    for (auto& w : g.windows)
        if (w->sdl) SDL_DestroyWindow(w->sdl);
    g.windows.clear();
    g.classes.clear();
    g.queue.clear();
    g.quitPosted = false;
    g.quitCode = 0;
    g.focus = g.active = nullptr;
    g.modeSet = false;
    W32_ResetScreen();
    W32_ResetInput();
    if (g.videoStarted) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    g.videoStarted = g.videoFailed = false;
}

// ---- classes ---------------------------------------------------------------------------------

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) {
    if (!wc || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName) || !wc->lpfnWndProc)
        return 0;
    if (FindClass(wc->lpszClassName)) return 0;  // the class exists already
    if (wc->cbClsExtra != 0 || wc->cbWndExtra != 0)
        Win32Unsupported("RegisterClassA", "extra class or window bytes");
    W32Class c;
    c.name = wc->lpszClassName;
    c.wc = *wc;
    c.wc.lpszClassName = nullptr;  // the caller's strings need not outlive the call
    c.wc.lpszMenuName = nullptr;
    g.classes.push_back(c);
    return static_cast<ATOM>(0xC000 + g.classes.size() - 1);
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE) {
    for (size_t i = 0; i < g.classes.size(); ++i) {
        if (className && SDL_strcasecmp(g.classes[i].name.c_str(), className) == 0) {
            g.classes.erase(g.classes.begin() + static_cast<long>(i));
            return TRUE;
        }
    }
    return FALSE;
}

BOOL WINAPI GetClassInfoA(HINSTANCE, LPCSTR className, WNDCLASSA* wc) {
    W32Class* c = FindClass(className);
    if (!c || !wc) return FALSE;
    *wc = c->wc;
    wc->lpszClassName = className;
    return TRUE;
}

// ---- windows ---------------------------------------------------------------------------------

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu, HINSTANCE,
                            LPVOID param) {
    EnsureDesktop();
    if (!className || IS_INTRESOURCE(className)) return nullptr;
    bool control = (style & WS_CHILD) != 0;
    WNDPROC proc = nullptr;
    if (W32Class* c = FindClass(className)) proc = c->wc.lpfnWndProc;
    if (!proc) return nullptr;  // no such class
    if (control && !W32_Get(parent)) return nullptr;
    if (!control && menu) Win32Unsupported("CreateWindowExA", "a menu");

    auto rec = std::make_unique<W32Window>();
    W32Window* w = rec.get();
    w->alive = true;
    w->className = className;
    w->title = windowName ? windowName : "";
    w->proc = proc;
    w->style = style & ~static_cast<DWORD>(WS_VISIBLE);
    w->exStyle = exStyle;
    w->parent = parent;
    w->id = control ? static_cast<int>(reinterpret_cast<uintptr_t>(menu)) : 0;
    w->enabled = (style & WS_DISABLED) == 0;
    if (x == CW_USEDEFAULT) x = kDefaultX, y = kDefaultY;
    if (width == CW_USEDEFAULT) width = kDefaultWidth, height = kDefaultHeight;
    w->rect = RECT{x, y, x + width, y + height};

    if (!control) {
        if (!W32_EnsureVideo()) return nullptr;
        int sw = width > 0 ? width : kDefaultWidth, sh = height > 0 ? height : kDefaultHeight;
        // Made for OpenGL from the start where a display exists: the 3D card's renderer would
        // otherwise make SDL create the window anew, which a window manager then places afresh.
        const Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
        if (W32_HasDisplay())
            w->sdl = SDL_CreateWindow(w->title.c_str(), SDL_WINDOWPOS_CENTERED,
                                      SDL_WINDOWPOS_CENTERED, sw, sh, flags | SDL_WINDOW_OPENGL);
        if (!w->sdl)
            w->sdl = SDL_CreateWindow(w->title.c_str(), SDL_WINDOWPOS_CENTERED,
                                      SDL_WINDOWPOS_CENTERED, sw, sh, flags);
        if (!w->sdl) {
            std::fprintf(stderr, "win32: cannot create a window: %s\n", SDL_GetError());
            return nullptr;
        }
    }
    g.windows.push_back(std::move(rec));
    HWND hwnd = HandleFromIndex(g.windows.size() - 1);

    if (SendMessageA(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(param)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!control && !g.active) g.active = hwnd;
    if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
    W32Window* w = W32_Get(hwnd);
    if (!w || w->destroying || hwnd == HandleFromIndex(0)) return FALSE;
    w->destroying = true;
    SendMessageA(hwnd, WM_DESTROY, 0, 0);
    // Children go with their parent, after it was told.
    for (size_t i = 0; i < g.windows.size(); ++i) {
        W32Window* c = g.windows[i].get();
        if (c->alive && c->parent == hwnd && (c->style & WS_CHILD))
            DestroyWindow(HandleFromIndex(i));
    }
    w = W32_Get(hwnd);  // the window procedure may have grown the table
    if (w->sdl) SDL_DestroyWindow(w->sdl);
    w->sdl = nullptr;
    w->alive = false;
    w->items.clear();
    for (auto it = g.queue.begin(); it != g.queue.end();)
        it = (it->hwnd == hwnd) ? g.queue.erase(it) : it + 1;
    if (g.focus == hwnd) g.focus = nullptr;
    if (g.active == hwnd) g.active = nullptr;
    W32_UpdateCursor();
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND hwnd, int cmdShow) {
    W32Window* w = W32_Get(hwnd);
    if (!w) return FALSE;
    BOOL was = w->visible ? TRUE : FALSE;
    switch (cmdShow) {
    case SW_HIDE:
        w->visible = false;
        if (w->sdl) SDL_HideWindow(w->sdl);
        W32_UpdateCursor();
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
        w->visible = true;
        w->minimized = true;
        if (w->sdl) {
            SDL_ShowWindow(w->sdl);
            SDL_MinimizeWindow(w->sdl);
        }
        W32_UpdateCursor();
        break;
    case SW_SHOWMAXIMIZED: {
        // A maximised window covers the current display mode: the program's full-screen output.
        int dw, dh;
        DesktopSize(&dw, &dh);
        w->rect = RECT{0, 0, dw, dh};
        w->visible = true;
        bool wasMinimized = w->minimized;
        w->minimized = false;
        if (w->sdl) {
            SDL_ShowWindow(w->sdl);
            if (wasMinimized) SDL_RestoreWindow(w->sdl);
        }
        SetCovers(w, true);
        if (!(w->style & WS_CHILD)) g.active = hwnd;
        break;
    }
    case SW_SHOWNORMAL:
    case SW_SHOW:
    case SW_RESTORE:
    case SW_SHOWDEFAULT: {
        w->visible = true;
        bool wasMinimized = w->minimized;
        w->minimized = false;
        if (w->sdl) {
            SDL_ShowWindow(w->sdl);
            if (wasMinimized) SDL_RestoreWindow(w->sdl);
        }
        if (w->covers)
            W32_Place(w);  // back where it shows after a minimise
        else
            W32_UpdateCursor();
        break;
    }
    default: Win32Unsupported("ShowWindow", "this show command");
    }
    return was;
}

BOOL WINAPI CloseWindow(HWND hwnd) {
    W32Window* w = W32_Get(hwnd);
    if (!w) return FALSE;
    w->minimized = true;
    if (w->sdl) SDL_MinimizeWindow(w->sdl);
    W32_UpdateCursor();
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd) { return W32_Get(hwnd) ? TRUE : FALSE; }

BOOL WINAPI IsWindowVisible(HWND hwnd) {
    W32Window* w = W32_Get(hwnd);
    return w && w->visible ? TRUE : FALSE;
}

BOOL WINAPI IsIconic(HWND hwnd) {
    W32Window* w = W32_Get(hwnd);
    return w && w->minimized ? TRUE : FALSE;
}

BOOL WINAPI IsWindowEnabled(HWND hwnd) {
    W32Window* w = W32_Get(hwnd);
    return w && w->enabled ? TRUE : FALSE;
}

BOOL WINAPI EnableWindow(HWND hwnd, BOOL enable) {
    W32Window* w = W32_Get(hwnd);
    if (!w) return FALSE;
    BOOL wasDisabled = w->enabled ? FALSE : TRUE;
    w->enabled = enable != FALSE;
    return wasDisabled;
}

BOOL WINAPI SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    W32Window* w = W32_Get(hwnd);
    if (!w) return FALSE;
    if (!(flags & SWP_NOMOVE)) {
        LONG width = w->rect.right - w->rect.left, height = w->rect.bottom - w->rect.top;
        w->rect = RECT{x, y, x + width, y + height};
    }
    if (!(flags & SWP_NOSIZE)) {
        w->rect.right = w->rect.left + cx;
        w->rect.bottom = w->rect.top + cy;
    }
    if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, SW_SHOW);
    if (!(flags & SWP_NOZORDER) && !(w->style & WS_CHILD)) {
        if (insertAfter == HWND_TOPMOST) {
            // Top-most over the whole display mode is how full-screen output takes the screen.
            int dw, dh;
            DesktopSize(&dw, &dh);
            bool covers = w->rect.left <= 0 && w->rect.top <= 0 && w->rect.right >= dw &&
                          w->rect.bottom >= dh;
            SetCovers(w, covers);
        } else if (insertAfter == HWND_NOTOPMOST) {
            SetCovers(w, false);
        }
    } else if (!(flags & SWP_NOSIZE) && w->sdl && !w->covers && cx > 0 && cy > 0) {
        SDL_SetWindowSize(w->sdl, cx, cy);
    }
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect) {
    if (!rect) return FALSE;
    EnsureDesktop();
    if (hwnd == HandleFromIndex(0)) {
        int dw, dh;
        DesktopSize(&dw, &dh);
        *rect = RECT{0, 0, dw, dh};
        return TRUE;
    }
    W32Window* w = W32_Get(hwnd);
    if (!w) return FALSE;
    *rect = w->rect;
    return TRUE;
}

HWND WINAPI GetDesktopWindow() {
    EnsureDesktop();
    return HandleFromIndex(0);
}

HWND WINAPI SetFocus(HWND hwnd) {
    HWND previous = g.focus;
    if (hwnd && !W32_Get(hwnd)) return nullptr;
    g.focus = hwnd;
    if (W32Window* w = W32_Get(hwnd)) {
        if (!(w->style & WS_CHILD)) g.active = hwnd;
        if (w->sdl && w->visible) SDL_RaiseWindow(w->sdl);
    }
    return previous;
}

HWND WINAPI GetFocus() { return W32_Get(g.focus) ? g.focus : nullptr; }
HWND WINAPI GetActiveWindow() { return W32_Get(g.active) ? g.active : nullptr; }
HWND WINAPI GetForegroundWindow() { return GetActiveWindow(); }

LONG_PTR WINAPI SetWindowLongA(HWND hwnd, int index, LONG_PTR newLong) {
    W32Window* w = W32_Get(hwnd);
    if (!w) return 0;
    if (index == GWL_WNDPROC) {
        if (!newLong) return 0;
        LONG_PTR previous = reinterpret_cast<LONG_PTR>(w->proc);
        w->proc = reinterpret_cast<WNDPROC>(newLong);
        return previous;
    }
    if (index == GWL_STYLE) {
        LONG_PTR previous = static_cast<LONG_PTR>(w->style);
        w->style = static_cast<DWORD>(newLong);
        return previous;
    }
    Win32Unsupported("SetWindowLongA", "this index");
}

LONG_PTR WINAPI GetWindowLongA(HWND hwnd, int index) {
    W32Window* w = W32_Get(hwnd);
    if (!w) return 0;
    if (index == GWL_WNDPROC) return reinterpret_cast<LONG_PTR>(w->proc);
    if (index == GWL_STYLE) return static_cast<LONG_PTR>(w->style | (w->visible ? WS_VISIBLE : 0));
    Win32Unsupported("GetWindowLongA", "this index");
}

LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    W32Window* w = W32_Get(hwnd);
    if (!w) return 0;
    switch (msg) {
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE: SendMessageA(hwnd, WM_CLOSE, 0, 0); break;
        case SC_MINIMIZE: CloseWindow(hwnd); break;
        case SC_MAXIMIZE: ShowWindow(hwnd, SW_SHOWMAXIMIZED); break;
        case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); break;
        default: break;
        }
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == VK_F4) PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);  // Alt+F4
        return 0;
    default: (void)lParam; return 0;
    }
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    if (moduleName) Win32Unsupported("GetModuleHandleA", "a module other than the program");
    return kModuleHandle;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR cursorName) {
    if (instance || cursorName != IDC_ARROW)
        Win32Unsupported("LoadCursorA", "a cursor other than the system arrow");
    return kArrowCursor;
}

// ---- messages --------------------------------------------------------------------------------

BOOL WINAPI PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (hwnd && !W32_Get(hwnd)) return FALSE;
    MSG m{};
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = GetTickCount();
    g.queue.push_back(m);
    return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
    g.quitPosted = true;
    g.quitCode = exitCode;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
    if (!msg) return FALSE;
    if (removeMsg & ~static_cast<UINT>(PM_REMOVE))
        Win32Unsupported("PeekMessageA", "flags other than PM_NOREMOVE and PM_REMOVE");
    auto take = [&]() -> bool {
        for (auto it = g.queue.begin(); it != g.queue.end(); ++it) {
            if (!InFilter(*it, hwnd, filterMin, filterMax)) continue;
            *msg = *it;
            if (removeMsg & PM_REMOVE) g.queue.erase(it);
            return true;
        }
        if (g.quitPosted &&
            InFilter(MSG{nullptr, WM_QUIT, 0, 0, 0, {}}, hwnd, filterMin, filterMax)) {
            *msg = MSG{};
            msg->message = WM_QUIT;
            msg->wParam = static_cast<WPARAM>(g.quitCode);
            if (removeMsg & PM_REMOVE) g.quitPosted = false;
            return true;
        }
        return false;
    };

    PumpEvents();
    bool found = take();
    if (!found && g.presents == g.presentsAtPeek) {
        // Nothing presented since the previous peek: the program spins between timer ticks.
        // Sleep until the next tick arrives (or an event could be waiting), then look again.
        if (W32Timer_VirtualFirstStep() || W32Timer_WaitTick(g.tickAtPeek, 100)) {
            PumpEvents();
            found = take();
        }
    }
    g.presentsAtPeek = g.presents;
    g.tickAtPeek = W32Timer_TickSerial();
    return found ? TRUE : FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    // Character messages are not generated; the program reads virtual keys only.
    return msg && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) ? TRUE : FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (!msg) return 0;
    W32Window* w = W32_Get(msg->hwnd);
    if (!w || !w->proc) return 0;
    return w->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    W32Window* w = W32_Get(hwnd);
    if (!w || !w->proc) return 0;
    return w->proc(hwnd, msg, wParam, lParam);
}

// ---- display settings, time ------------------------------------------------------------------

LONG WINAPI ChangeDisplaySettingsA(LPDEVMODEA mode, DWORD flags) {
    if (flags & ~static_cast<DWORD>(CDS_FULLSCREEN))
        Win32Unsupported("ChangeDisplaySettingsA", "flags other than 0 and CDS_FULLSCREEN");
    if (!mode) {  // back to the desktop's own mode
        g.modeSet = false;
        return DISP_CHANGE_SUCCESSFUL;
    }
    const DWORD known = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    if (mode->dmSize < offsetof(DEVMODEA, dmICMMethod) || (mode->dmFields & ~known))
        return DISP_CHANGE_BADMODE;
    int w, h, bits;
    Win32_CurrentMode(&w, &h, &bits);
    if (mode->dmFields & DM_PELSWIDTH) w = static_cast<int>(mode->dmPelsWidth);
    if (mode->dmFields & DM_PELSHEIGHT) h = static_cast<int>(mode->dmPelsHeight);
    if (mode->dmFields & DM_BITSPERPEL) bits = static_cast<int>(mode->dmBitsPerPel);
    if (w < 320 || h < 200 || w > 4096 || h > 4096 || (bits != 16 && bits != 24 && bits != 32))
        return DISP_CHANGE_BADMODE;
    // The real desktop keeps its mode: a full-screen window is scaled onto it instead.
    g.modeSet = true;
    g.modeWidth = w;
    g.modeHeight = h;
    g.modeBits = bits;
    return DISP_CHANGE_SUCCESSFUL;
}

void WINAPI Sleep(DWORD milliseconds) {
    if (milliseconds == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

DWORD WINAPI GetTickCount() {
    using namespace std::chrono;
    static const steady_clock::time_point start = steady_clock::now();
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now() - start).count());
}
