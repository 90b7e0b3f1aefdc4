// win32_screen.cpp: where the program's top-level windows show on the real screen, and the cursor.
//
// The program works in the display mode it asked for (DirectDraw's exclusive mode, else the one
// ChangeDisplaySettingsA set); the real screen keeps its own mode. A window the program makes
// cover that mode (maximised, or top-most over all of it) is its full-screen output, and shows as
// one of two things, by the user's choice (--window at start, Alt+Enter afterwards):
//  - full screen: a borderless window placed and sized over the whole real display. It is placed
//    by hand rather than through the window manager's full-screen state, which nothing honours on
//    a bare X server (no window manager): the window would keep its old size there.
//  - a window: the place and size the user last gave it, else the mode's size (shrunk with its
//    aspect kept when it does not fit) centred in the display's usable area, frame included.
//    It stays resizable; the 3D card letterboxes its picture into whatever the window really has.
// Other windows (the device dialog, a window the program never covered the mode with) are left
// where they are.
//
// The mouse cursor is hidden while a window shows full screen and the program has hidden it
// (ShowCursor's count below 0); in a window, or with nothing full screen, it shows.
#include <SDL.h>
#include <SDL_syswm.h>
#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xatom.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "win32_internal.h"

namespace {

struct W32Screen {
    bool windowed = false;   // the user's choice for covering windows: a window
    int exclusiveWidth = 0;  // DirectDraw's exclusive mode, 0 x 0 when none
    int exclusiveHeight = 0;
    int cursorCount = 0;  // ShowCursor's display count
};

W32Screen gs;

int DisplayOf(SDL_Window* sdl) {
    int d = SDL_GetWindowDisplayIndex(sdl);
    return d < 0 ? 0 : d;
}

// The client area's place on the screen and its size as the X server has them (SDL's own idea
// of them lags behind a window manager's work, or misses it); SDL's idea off X11.
SDL_Rect RealPlace(SDL_Window* sdl) {
    SDL_Rect r;
    SDL_GetWindowPosition(sdl, &r.x, &r.y);
    SDL_GetWindowSize(sdl, &r.w, &r.h);
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(sdl, &info) && info.subsystem == SDL_SYSWM_X11) {
        Display* display = info.info.x11.display;
        XWindowAttributes a;
        Window child;
        int x, y;
        if (XGetWindowAttributes(display, info.info.x11.window, &a) &&
            XTranslateCoordinates(display, info.info.x11.window, a.root, 0, 0, &x, &y, &child))
            r = SDL_Rect{x, y, a.width, a.height};
    }
#endif
    return r;
}

// After a change of decoration: waits (a moment at most) until the window manager framed or
// unframed the window as asked, by the frame extents it publishes on the window. Moving the
// window before that would place the old frame; without a window manager there is nothing to
// wait for.
void AwaitFrame(SDL_Window* sdl, bool framed) {
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(sdl, &info) || info.subsystem != SDL_SYSWM_X11) return;
    Display* display = info.info.x11.display;
    const Atom extents = XInternAtom(display, "_NET_FRAME_EXTENTS", True);
    if (extents == None) return;
    for (int waited = 0; waited < 300; waited += 10) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        bool known =
            XGetWindowProperty(display, info.info.x11.window, extents, 0, 4, False, XA_CARDINAL,
                               &type, &format, &count, &after, &data) == Success &&
            data && format == 32 && count == 4;
        bool hasFrame = false;
        if (known) {
            const long* v = reinterpret_cast<const long*>(data);
            hasFrame = v[0] || v[1] || v[2] || v[3];
        }
        if (data) XFree(data);
        if (!known || hasFrame == framed) return;
        SDL_Delay(10);
    }
#else
    (void)sdl;
    (void)framed;
#endif
}

bool SamePlace(const SDL_Rect& a, const SDL_Rect& b) { return a.x == b.x && a.y == b.y; }

// Moves and sizes only what differs: SDL's X11 backend waits for every request to take effect.
// Window managers differ in what a move of a framed window means (where the frame goes or where
// the client goes), SDL versions differ in whether they allow for the frame, and the frame SDL
// knows of lags behind a change of decoration. So a visible window is watched for a moment after
// a move, and moved again by the difference when the window manager put it elsewhere.
void SetGeometry(SDL_Window* sdl, const SDL_Rect& r) {
    SDL_Rect now = RealPlace(sdl);
    if (now.w != r.w || now.h != r.h) SDL_SetWindowSize(sdl, r.w, r.h);

    if (SamePlace(now, r)) return;
    const bool watch = (SDL_GetWindowFlags(sdl) & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED)) == 0;
    int askX = r.x, askY = r.y;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const SDL_Rect before = RealPlace(sdl);
        SDL_SetWindowPosition(sdl, askX, askY);
        if (!watch) return;
        // Until it lands, or comes to rest elsewhere (a window manager may take more than one
        // step), or the window manager had its chance.
        SDL_Rect got = RealPlace(sdl), last = got;
        int still = 0;
        for (int waited = 0; waited < 250 && !SamePlace(got, r); waited += 10) {
            if (!SamePlace(got, before) && still >= 40) break;
            SDL_Delay(10);
            got = RealPlace(sdl);
            still = SamePlace(got, last) ? still + 10 : 0;
            last = got;
        }
        if (SamePlace(got, r) || SamePlace(got, before)) break;
        askX += r.x - got.x;
        askY += r.y - got.y;
        if (std::abs(askX - r.x) > 512 || std::abs(askY - r.y) > 512) break;
    }
    SDL_PumpEvents();  // SDL hears where the window went
}

SDL_Rect WindowedPlace(const W32Window* w) {
    int mw, mh;
    if (w->covers) {
        W32_ModeSize(&mw, &mh);
    } else {
        mw = w->rect.right - w->rect.left;
        mh = w->rect.bottom - w->rect.top;
    }
    const int display = DisplayOf(w->sdl);
    SDL_Rect area;
    if (SDL_GetDisplayUsableBounds(display, &area) != 0 || area.w <= 0 || area.h <= 0)
        if (SDL_GetDisplayBounds(display, &area) != 0) area = SDL_Rect{0, 0, mw, mh};
    W32Borders b;
    // Known only once a window manager framed the window; 0 before (or without one).
    if (SDL_GetWindowBordersSize(w->sdl, &b.top, &b.left, &b.bottom, &b.right) != 0)
        b = W32Borders{};
    return W32_FitWindow(area, mw, mh, b);
}

}  // namespace

bool W32_Showing(SDL_Window* sdl) {
    if (!sdl || (SDL_GetWindowFlags(sdl) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)))
        return false;
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(sdl, &info) && info.subsystem == SDL_SYSWM_X11) {
        XWindowAttributes a;
        return XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &a) &&
               a.map_state == IsViewable;
    }
#endif
    return true;
}

SDL_Rect W32_FitWindow(const SDL_Rect& area, int width, int height, const W32Borders& borders) {
    auto clampBorder = [](int v) { return std::clamp(v, 0, 4096); };
    const int l = clampBorder(borders.left), t = clampBorder(borders.top);
    const int r = clampBorder(borders.right), b = clampBorder(borders.bottom);
    const int roomW = std::max(1, area.w - l - r), roomH = std::max(1, area.h - t - b);
    int w = std::max(1, width), h = std::max(1, height);
    if (w > roomW || h > roomH) {
        // Shrink to the largest size with the same aspect that fits.
        if (int64_t(w) * roomH > int64_t(h) * roomW) {
            h = std::max<int>(1, int(int64_t(h) * roomW / w));
            w = roomW;
        } else {
            w = std::max<int>(1, int(int64_t(w) * roomH / h));
            h = roomH;
        }
    }
    return SDL_Rect{area.x + l + (roomW - w) / 2, area.y + t + (roomH - h) / 2, w, h};
}

void W32_Place(W32Window* w) {
    if (!w || (w->style & WS_CHILD)) return;
    const bool full = w->covers && !gs.windowed;
    SDL_Window* sdl = w->sdl;
    // Let SDL hear what the window system did so far (where the window really is, the frame a
    // window manager gave it); the events stay queued for the message loop.
    if (sdl) SDL_PumpEvents();
    if (sdl && w->asWindow && w->visible && !w->minimized) {
        // Leaving (or re-placing) the window the user has: keep its place and size for the way back.
        w->home = RealPlace(sdl);
        w->homeSet = w->home.w > 0 && w->home.h > 0;
    }
    w->fullscreen = full;
    w->asWindow = !full && w->covers;
    if (sdl) {
        if (full) {
            SDL_Rect bounds;
            if (SDL_GetDisplayBounds(DisplayOf(sdl), &bounds) == 0) {
                SDL_SetWindowBordered(sdl, SDL_FALSE);
                AwaitFrame(sdl, false);
                SDL_PumpEvents();  // SDL hears of the frame the window manager took away
                SetGeometry(sdl, bounds);
                // Top-most: over any window that came up in the meantime.
                if (w->visible && !w->minimized) SDL_RaiseWindow(sdl);
            }
        } else {
            SDL_SetWindowBordered(sdl, SDL_TRUE);
            if (w->visible && !w->minimized) AwaitFrame(sdl, true);
            SDL_PumpEvents();
            SetGeometry(sdl, w->homeSet ? w->home : WindowedPlace(w));
        }
    }
    W32_UpdateCursor();
}

void W32_ToggleWindowed(HWND hwnd) {
    W32Window* w = W32_Get(hwnd);
    if (!w || !w->covers || !w->visible || w->minimized) return;
    gs.windowed = !gs.windowed;
    for (HWND other : W32_TopLevelWindows()) {
        W32Window* o = W32_Get(other);
        if (o && o->covers) W32_Place(o);
    }
}

void W32_SetWindowedChoice(bool windowed) { gs.windowed = windowed; }

bool W32_ExclusiveMode(int* width, int* height) {
    if (gs.exclusiveWidth <= 0 || gs.exclusiveHeight <= 0) return false;
    *width = gs.exclusiveWidth;
    *height = gs.exclusiveHeight;
    return true;
}

void W32_UpdateCursor() {
    bool full = false;
    for (HWND hwnd : W32_TopLevelWindows()) {
        const W32Window* w = W32_Get(hwnd);
        if (w && w->fullscreen && w->visible && !w->minimized) full = true;
    }
    if (SDL_WasInit(SDL_INIT_VIDEO))
        SDL_ShowCursor(full && gs.cursorCount < 0 ? SDL_DISABLE : SDL_ENABLE);
}

void W32_ResetScreen() {
    gs.exclusiveWidth = gs.exclusiveHeight = 0;
    gs.cursorCount = 0;
}

void Win32_SetExclusiveMode(int width, int height) {
    bool valid = width > 0 && height > 0 && width <= 16384 && height <= 16384;
    gs.exclusiveWidth = valid ? width : 0;
    gs.exclusiveHeight = valid ? height : 0;
}

bool Win32_CursorShown() {
    return SDL_WasInit(SDL_INIT_VIDEO) && SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE;
}

int WINAPI ShowCursor(BOOL show) {
    gs.cursorCount += show ? 1 : -1;
    W32_UpdateCursor();
    return gs.cursorCount;
}
