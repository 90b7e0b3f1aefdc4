// SDL keyboard and window events as the Win32 stand-in turns them into messages.
#include <SDL.h>
#include <gtest/gtest.h>

#include <vector>

#include "win32_standin.h"
#include "windows.h"

namespace {

struct Seen {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Seen> gSeen;

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    gSeen.push_back(Seen{msg, wParam, lParam});
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class Input : public ::testing::Test {
protected:
    HWND w = nullptr;
    void SetUp() override {
        Win32StandInOptions o;
        o.headless = true;
        Win32_SetOptions(o);
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "input";
        RegisterClassA(&wc);
        w = CreateWindowExA(0, "input", "input", 0, 0, 0, 320, 200, nullptr, nullptr, nullptr,
                            nullptr);
        ASSERT_NE(w, nullptr);
        SetFocus(w);
        Drain();
        gSeen.clear();
    }
    void TearDown() override { Win32_Reset(); }

    void Key(SDL_Scancode sc, bool down, Uint16 mod = KMOD_NONE, bool repeat = false) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = SDL_GetWindowID(Win32_SdlWindow(w));
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = repeat;
        e.key.keysym.scancode = sc;
        e.key.keysym.sym = SDL_GetKeyFromScancode(sc);
        e.key.keysym.mod = mod;
        SDL_PushEvent(&e);
    }
    void WindowEvent(Uint8 event) {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = SDL_GetWindowID(Win32_SdlWindow(w));
        e.window.event = event;
        SDL_PushEvent(&e);
    }
    static void Drain() {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
    static std::vector<WPARAM> KeyDowns() {
        std::vector<WPARAM> keys;
        for (const Seen& s : gSeen)
            if (s.msg == WM_KEYDOWN) keys.push_back(s.wParam);
        return keys;
    }
};

TEST_F(Input, KeysBecomeVirtualKeyCodes) {
    const struct {
        SDL_Scancode sc;
        WPARAM vk;
    } keys[] = {
        {SDL_SCANCODE_ESCAPE, VK_ESCAPE},
        {SDL_SCANCODE_UP, VK_UP},
        {SDL_SCANCODE_RIGHT, VK_RIGHT},
        {SDL_SCANCODE_F1, VK_F1},
        {SDL_SCANCODE_F12, VK_F12},
        {SDL_SCANCODE_KP_PLUS, VK_ADD},
        {SDL_SCANCODE_INSERT, VK_INSERT},
        {SDL_SCANCODE_PAGEDOWN, VK_NEXT},
        {SDL_SCANCODE_A, 'A'},
        {SDL_SCANCODE_Z, 'Z'},
        {SDL_SCANCODE_0, '0'},
        {SDL_SCANCODE_9, '9'},
        {SDL_SCANCODE_RETURN, VK_RETURN},
        {SDL_SCANCODE_KP_5, VK_NUMPAD0 + 5},
    };
    for (const auto& k : keys) {
        Key(k.sc, true);
        Key(k.sc, false);
    }
    Drain();
    std::vector<WPARAM> expect;
    for (const auto& k : keys) expect.push_back(k.vk);
    EXPECT_EQ(KeyDowns(), expect);
}

// Alt keys are system keys: the program's key handling never sees them.
TEST_F(Input, AltKeysAreSystemKeys) {
    Key(SDL_SCANCODE_X, true, KMOD_LALT);
    Drain();
    ASSERT_EQ(gSeen.size(), 1u);
    EXPECT_EQ(gSeen[0].msg, static_cast<UINT>(WM_SYSKEYDOWN));
    EXPECT_EQ(gSeen[0].wParam, static_cast<WPARAM>('X'));
}

TEST_F(Input, AltEnterSwitchesTheFullScreenOutputOnceAndNeverReachesTheProgram) {
    // An ordinary window stays a window.
    ShowWindow(w, SW_SHOW);
    Key(SDL_SCANCODE_RETURN, true, KMOD_LALT);
    Key(SDL_SCANCODE_RETURN, false, KMOD_LALT);
    Drain();
    EXPECT_FALSE(Win32_IsFullscreen(w));
    // The program's full-screen output goes to a window and back.
    ShowWindow(w, SW_SHOWMAXIMIZED);
    EXPECT_TRUE(Win32_IsFullscreen(w));
    Key(SDL_SCANCODE_RETURN, true, KMOD_LALT);
    Key(SDL_SCANCODE_RETURN, true, KMOD_LALT, true);  // held: repeats do not switch back
    Key(SDL_SCANCODE_RETURN, true, KMOD_LALT, true);
    Key(SDL_SCANCODE_RETURN, false, KMOD_LALT);
    Drain();
    EXPECT_FALSE(Win32_IsFullscreen(w));
    EXPECT_TRUE(gSeen.empty());
    EXPECT_EQ(GetAsyncKeyState(VK_RETURN), 0);
    Key(SDL_SCANCODE_KP_ENTER, true, KMOD_RALT);
    Drain();
    EXPECT_TRUE(Win32_IsFullscreen(w));
    // The choice holds when the program takes the screen again.
    Key(SDL_SCANCODE_RETURN, true, KMOD_LALT);
    Drain();
    ShowWindow(w, SW_SHOWMAXIMIZED);
    EXPECT_FALSE(Win32_IsFullscreen(w));
}

TEST_F(Input, AsyncStateIsDownNowOrPressedSinceTheLastQuery) {
    EXPECT_EQ(GetAsyncKeyState(VK_UP), 0);
    Key(SDL_SCANCODE_UP, true);
    Drain();
    EXPECT_EQ(static_cast<unsigned short>(GetAsyncKeyState(VK_UP)), 0x8001u);
    EXPECT_EQ(static_cast<unsigned short>(GetAsyncKeyState(VK_UP)), 0x8000u);
    Key(SDL_SCANCODE_UP, false);
    Drain();
    EXPECT_EQ(GetAsyncKeyState(VK_UP), 0);
    // A tap between two queries still shows.
    Key(SDL_SCANCODE_UP, true);
    Key(SDL_SCANCODE_UP, false);
    Drain();
    EXPECT_EQ(GetAsyncKeyState(VK_UP), 1);
    EXPECT_EQ(GetAsyncKeyState(VK_UP), 0);
    EXPECT_EQ(GetAsyncKeyState(-1), 0);
    EXPECT_EQ(GetAsyncKeyState(300), 0);
}

TEST_F(Input, FocusCloseAndRestoreBecomeMessages) {
    ShowWindow(w, SW_SHOW);  // a hidden window is never restored
    WindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    WindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);  // told once
    WindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    WindowEvent(SDL_WINDOWEVENT_MINIMIZED);
    WindowEvent(SDL_WINDOWEVENT_RESTORED);
    WindowEvent(SDL_WINDOWEVENT_CLOSE);
    Drain();
    std::vector<std::pair<UINT, WPARAM>> got;
    for (const Seen& s : gSeen) got.emplace_back(s.msg, s.wParam);
    std::vector<std::pair<UINT, WPARAM>> expect = {
        {WM_ACTIVATEAPP, TRUE},    {WM_ACTIVATEAPP, FALSE}, {WM_SYSCOMMAND, SC_RESTORE},
        {WM_SYSCOMMAND, SC_CLOSE}, {WM_CLOSE, 0},           {WM_DESTROY, 0}};
    EXPECT_EQ(got, expect);
    EXPECT_FALSE(IsWindow(w));
}

TEST_F(Input, AWindowTheProgramMinimisedIsRestoredWhenTheFocusComesBack) {
    ShowWindow(w, SW_SHOWMAXIMIZED);
    CloseWindow(w);
    WindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    WindowEvent(SDL_WINDOWEVENT_RESTORED);  // from a window manager as well: restored once
    WindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    WindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);  // it was never minimised this time
    Drain();
    int restores = 0;
    for (const Seen& s : gSeen) restores += s.msg == WM_SYSCOMMAND && s.wParam == SC_RESTORE;
    EXPECT_EQ(restores, 1);
    // DefWindowProcA restored it: full screen again.
    EXPECT_TRUE(Win32_IsFullscreen(w));
}

}  // namespace
