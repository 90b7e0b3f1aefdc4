// win32_input.cpp: SDL events turned into window messages, and the asynchronous key state.
//
// Keys become WM_KEYDOWN / WM_KEYUP (WM_SYSKEYDOWN / WM_SYSKEYUP while Alt is held) with Windows
// virtual-key codes, posted to the window with the keyboard focus (else the SDL window's own).
// Alt+Enter switches the program's full-screen output between full screen and a window and never
// reaches the program; key repeat does not switch twice. Focus changes become WM_ACTIVATEAPP, sent
// at once as the platform does; closing a window posts WM_SYSCOMMAND SC_CLOSE (DefWindowProcA
// turns it into WM_CLOSE), and so does an interrupt of the process (SDL_QUIT); restoring a
// minimised window, or focusing it again, posts WM_SYSCOMMAND SC_RESTORE.
#include <SDL.h>

#include <cstring>

#include "win32_internal.h"

namespace {

uint8_t gDownNow[256];               // key is down
uint8_t gPressedSince[256];          // key went down since the last GetAsyncKeyState of it
bool gSwallowed[SDL_NUM_SCANCODES];  // key-downs kept from the program; their key-ups too
bool gAppActive = false;

int VirtualKey(const SDL_Keysym& k) {
    if (k.sym >= 'a' && k.sym <= 'z') return 'A' + (k.sym - 'a');
    if (k.sym >= '0' && k.sym <= '9') return k.sym;
    switch (k.scancode) {
    case SDL_SCANCODE_ESCAPE: return VK_ESCAPE;
    case SDL_SCANCODE_RETURN: return VK_RETURN;
    case SDL_SCANCODE_KP_ENTER: return VK_RETURN;
    case SDL_SCANCODE_SPACE: return VK_SPACE;
    case SDL_SCANCODE_BACKSPACE: return VK_BACK;
    case SDL_SCANCODE_TAB: return VK_TAB;
    case SDL_SCANCODE_PAUSE: return VK_PAUSE;
    case SDL_SCANCODE_LEFT: return VK_LEFT;
    case SDL_SCANCODE_RIGHT: return VK_RIGHT;
    case SDL_SCANCODE_UP: return VK_UP;
    case SDL_SCANCODE_DOWN: return VK_DOWN;
    case SDL_SCANCODE_INSERT: return VK_INSERT;
    case SDL_SCANCODE_DELETE: return VK_DELETE;
    case SDL_SCANCODE_HOME: return VK_HOME;
    case SDL_SCANCODE_END: return VK_END;
    case SDL_SCANCODE_PAGEUP: return VK_PRIOR;
    case SDL_SCANCODE_PAGEDOWN: return VK_NEXT;
    case SDL_SCANCODE_KP_PLUS: return VK_ADD;
    case SDL_SCANCODE_KP_MINUS: return VK_SUBTRACT;
    case SDL_SCANCODE_KP_MULTIPLY: return VK_MULTIPLY;
    case SDL_SCANCODE_KP_DIVIDE: return VK_DIVIDE;
    case SDL_SCANCODE_KP_PERIOD: return VK_DECIMAL;
    case SDL_SCANCODE_KP_0: return VK_NUMPAD0;
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT: return VK_SHIFT;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL: return VK_CONTROL;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT: return VK_MENU;
    case SDL_SCANCODE_SEMICOLON: return 0xBA;
    case SDL_SCANCODE_EQUALS: return 0xBB;
    case SDL_SCANCODE_COMMA: return 0xBC;
    case SDL_SCANCODE_MINUS: return 0xBD;
    case SDL_SCANCODE_PERIOD: return 0xBE;
    case SDL_SCANCODE_SLASH: return 0xBF;
    case SDL_SCANCODE_GRAVE: return 0xC0;
    case SDL_SCANCODE_LEFTBRACKET: return 0xDB;
    case SDL_SCANCODE_BACKSLASH: return 0xDC;
    case SDL_SCANCODE_RIGHTBRACKET: return 0xDD;
    case SDL_SCANCODE_APOSTROPHE: return 0xDE;
    default: break;
    }
    if (k.scancode >= SDL_SCANCODE_KP_1 && k.scancode <= SDL_SCANCODE_KP_9)
        return VK_NUMPAD0 + 1 + (k.scancode - SDL_SCANCODE_KP_1);
    if (k.scancode >= SDL_SCANCODE_F1 && k.scancode <= SDL_SCANCODE_F12)
        return VK_F1 + (k.scancode - SDL_SCANCODE_F1);
    return 0;
}

// The window that gets keyboard messages for an event of SDL window `id`.
HWND KeyTarget(Uint32 id) {
    HWND focus = GetFocus();
    if (focus) return focus;
    return W32_FromSdlId(id);
}

void SendActivateApp(bool active) {
    if (active == gAppActive) return;
    gAppActive = active;
    // Every top-level window of the program hears of it.
    for (HWND hwnd : W32_TopLevelWindows())
        SendMessageA(hwnd, WM_ACTIVATEAPP, active ? TRUE : FALSE, 0);
}

}  // namespace

void W32_ResetInput() {
    std::memset(gDownNow, 0, sizeof gDownNow);
    std::memset(gPressedSince, 0, sizeof gPressedSince);
    std::memset(gSwallowed, 0, sizeof gSwallowed);
    gAppActive = false;
}

bool W32_TranslateEvent(const SDL_Event& e) {
    switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        bool down = e.type == SDL_KEYDOWN;
        const SDL_Keysym& k = e.key.keysym;
        bool alt = (k.mod & KMOD_ALT) != 0;
        if (down && alt &&
            (k.scancode == SDL_SCANCODE_RETURN || k.scancode == SDL_SCANCODE_KP_ENTER)) {
            if (!e.key.repeat) W32_ToggleWindowed(W32_FromSdlId(e.key.windowID));
            gSwallowed[k.scancode] = true;
            return true;
        }
        if (!down && gSwallowed[k.scancode]) {
            gSwallowed[k.scancode] = false;
            return true;
        }
        int vk = VirtualKey(k);
        if (!vk) return false;
        HWND target = KeyTarget(e.key.windowID);
        if (down) {
            gDownNow[vk] = 1;
            if (!e.key.repeat) gPressedSince[vk] = 1;
        } else {
            gDownNow[vk] = 0;
        }
        if (!target) return false;
        LPARAM lp = 1 | (static_cast<LPARAM>(k.scancode & 0xFF) << 16);
        if (e.key.repeat) lp |= 1L << 30;
        if (!down) lp |= (1L << 30) | (1L << 31);
        UINT msg = down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
        PostMessageA(target, msg, static_cast<WPARAM>(vk), lp);
        return true;
    }
    case SDL_WINDOWEVENT: {
        HWND hwnd = W32_FromSdlId(e.window.windowID);
        W32Window* w = W32_Get(hwnd);
        if (!w) return false;
        switch (e.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            SendActivateApp(true);
            // A window the program minimised but that still shows (no window manager iconified
            // it) is restored when the user returns to it. Focus news about a window the window
            // system really minimised is not a return.
            if (w->minimized && W32_Get(hwnd) == w && W32_Showing(w->sdl)) {
                w->minimized = false;
                PostMessageA(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
            }
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST: SendActivateApp(false); break;
        case SDL_WINDOWEVENT_CLOSE: PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0); break;
        case SDL_WINDOWEVENT_MINIMIZED: w->minimized = true; break;
        case SDL_WINDOWEVENT_RESTORED:
            if (w->minimized && W32_Showing(w->sdl)) {
                w->minimized = false;
                PostMessageA(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
            }
            break;
        default: break;
        }
        return true;
    }
    case SDL_QUIT:
        // An interrupt (Ctrl+C) or the session ending: every window is asked to close, as if the
        // user had closed it, so the program shuts down in its own order.
        Win32_RequestClose();
        return true;
    default: return false;
    }
}

short WINAPI GetAsyncKeyState(int vkey) {
    if (vkey < 0 || vkey > 255) return 0;
    short result = 0;
    if (gDownNow[vkey]) result = static_cast<short>(0x8000);
    if (gPressedSince[vkey]) result |= 1;
    gPressedSince[vkey] = 0;
    return result;
}
