// The Win32 stand-in's windows, messages, display settings and options.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win32_internal.h"
#include "win32_standin.h"
#include "windows.h"

namespace {

std::string Str(SDL_Rect r) {
    return std::to_string(r.w) + "x" + std::to_string(r.h) + "+" + std::to_string(r.x) + "+" +
           std::to_string(r.y);
}
std::string Size(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }

std::vector<UINT> gMessages;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    gMessages.push_back(msg);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class Win32 : public ::testing::Test {
protected:
    void SetUp() override {
        gMessages.clear();
        Win32StandInOptions o;
        o.headless = true;
        Win32_SetOptions(o);
    }
    void TearDown() override {
        Win32_Reset();
        Win32_SetOptions(Win32StandInOptions{});
    }
    static HWND MakeWindow(const char* name = "test") {
        WNDCLASSA wc{};
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = name;
        RegisterClassA(&wc);
        return CreateWindowExA(0, name, name, WS_THICKFRAME, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
};

TEST_F(Win32, WindowsAreCreatedHiddenAndDestroyedWithWmDestroy) {
    HWND w = MakeWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(IsWindowVisible(w));
    EXPECT_NE(Win32_SdlWindow(w), nullptr);
    EXPECT_EQ(gMessages, std::vector<UINT>{WM_CREATE});
    EXPECT_EQ(GetActiveWindow(), w);
    EXPECT_TRUE(DestroyWindow(w));
    EXPECT_EQ(gMessages.back(), static_cast<UINT>(WM_DESTROY));
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(DestroyWindow(w));  // a stale handle is refused
    EXPECT_EQ(SendMessageA(w, WM_USER, 0, 0), 0);
    EXPECT_FALSE(PostMessageA(w, WM_USER, 0, 0));
    EXPECT_EQ(GetActiveWindow(), nullptr);
    // Foreign values are no windows either.
    EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(static_cast<uintptr_t>(0xdeadbeef))));
    EXPECT_FALSE(IsWindow(HWND_TOPMOST));
    // A class is registered once, and only with a procedure; a window needs a registered class.
    WNDCLASSA wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "test";
    EXPECT_EQ(RegisterClassA(&wc), 0);  // exists already
    wc.lpfnWndProc = nullptr;
    wc.lpszClassName = "two";
    EXPECT_EQ(RegisterClassA(&wc), 0);  // no procedure
    EXPECT_EQ(
        CreateWindowExA(0, "missing", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
        nullptr);
}

TEST_F(Win32, QueueOrderQuitLast) {
    HWND a = MakeWindow("a");
    HWND b = MakeWindow("b");
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    PostQuitMessage(7);
    PostMessageA(a, WM_USER + 1, 1, 2);
    PostMessageA(b, WM_USER + 2, 3, 4);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.hwnd, a);
    EXPECT_EQ(m.lParam, 2);
    gMessages.clear();
    EXPECT_EQ(DispatchMessageA(&m), 0);
    EXPECT_EQ(gMessages, std::vector<UINT>{WM_USER + 1});
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.wParam, 3u);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));  // quit comes after the rest
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(m.wParam, 7u);
    // Destroying a window drops its queued messages.
    PostMessageA(a, WM_USER, 0, 0);
    DestroyWindow(a);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Win32, FullScreenRequestsAndDisplayModes) {
    HWND w = MakeWindow();
    RECT desk, r;
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmBitsPerPel = 16;
    mode.dmPelsWidth = 640;
    mode.dmPelsHeight = 480;
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, 0), DISP_CHANGE_SUCCESSFUL);
    ASSERT_TRUE(GetWindowRect(GetDesktopWindow(), &desk));
    EXPECT_EQ(desk.right, 640);
    EXPECT_EQ(desk.bottom, 480);
    // Top-most over the whole mode: full screen.
    SetWindowPos(w, HWND_TOPMOST, 0, 0, desk.right, desk.bottom, 0);
    ShowWindow(w, SW_SHOW);
    EXPECT_TRUE(Win32_IsFullscreen(w));
    SetWindowPos(w, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_FALSE(Win32_IsFullscreen(w));
    GetWindowRect(w, &r);
    EXPECT_EQ(r.right - r.left, 640);
    // --window keeps a maximised window a window.
    Win32StandInOptions o;
    o.window = true;
    Win32_SetOptions(o);
    ShowWindow(w, SW_SHOWMAXIMIZED);
    EXPECT_FALSE(Win32_IsFullscreen(w));
    // Bad modes are refused and change nothing; null restores the desktop's.
    mode.dmBitsPerPel = 12;
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, 0), DISP_CHANGE_BADMODE);
    int mw, mh, bits;
    Win32_CurrentMode(&mw, &mh, &bits);
    EXPECT_EQ(bits, 16);
    EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
    Win32_CurrentMode(&mw, &mh, &bits);
    EXPECT_NE(bits, 16);
}

TEST(Win32Place, WindowsFitTheUsableAreaCentredWithTheirFrame) {
    const struct {
        SDL_Rect area;
        int w, h;
        W32Borders b;
        SDL_Rect want;
    } cases[] = {
        {{0, 0, 1024, 768}, 640, 480, {}, {192, 144, 640, 480}},
        {{0, 0, 1024, 768}, 640, 480, {1, 20, 1, 5}, {192, 151, 640, 480}},  // frame centred
        {{1024, 0, 800, 600}, 640, 480, {}, {1104, 60, 640, 480}},           // second display
        {{0, 0, 1024, 768}, 1600, 900, {}, {0, 96, 1024, 576}},              // shrunk, aspect kept
        {{0, 0, 1024, 768}, 1024, 768, {1, 20, 1, 5}, {17, 20, 990, 743}},   // frame included
        {{0, 0, 1024, 768}, 0, -5, {}, {511, 383, 1, 1}},                    // never below 1 x 1
        {{0, 0, 10, 10}, 640, 480, {-4, 50, 50, -4}, {0, 50, 1, 1}},         // no room at all
    };
    for (const auto& c : cases) {
        SDL_Rect got = W32_FitWindow(c.area, c.w, c.h, c.b);
        EXPECT_EQ(Str(got), Str(c.want)) << c.w << "x" << c.h << " in " << Str(c.area);
    }
}

TEST_F(Win32, FullScreenOutputWindowPlacesAndTheCursor) {
    HWND w = MakeWindow();
    SDL_Window* sdl = Win32_SdlWindow(w);
    SDL_Rect bounds, usable, r;
    ASSERT_EQ(SDL_GetDisplayBounds(0, &bounds) | SDL_GetDisplayUsableBounds(0, &usable), 0);
    auto place = [&] {
        SDL_GetWindowPosition(sdl, &r.x, &r.y);
        SDL_GetWindowSize(sdl, &r.w, &r.h);
        return Str(r);
    };
    // DirectDraw's exclusive mode is the mode windows cover, without a desktop mode change.
    int mw, mh, bits, w2, h2;
    Win32_CurrentMode(&mw, &mh, &bits);
    Win32_SetExclusiveMode(640, 480);
    RECT desk;
    GetWindowRect(GetDesktopWindow(), &desk);
    EXPECT_EQ(Size(desk.right, desk.bottom), "640x480");
    Win32_CurrentMode(&w2, &h2, &bits);
    EXPECT_EQ(Size(w2, h2), Size(mw, mh));
    ShowCursor(FALSE);
    // Full screen: the whole real display, no cursor; a window: the mode's size, centred.
    ShowWindow(w, SW_SHOWMAXIMIZED);
    EXPECT_EQ(place(), Str(bounds));
    EXPECT_FALSE(Win32_CursorShown());
    W32_ToggleWindowed(w);
    EXPECT_EQ(place(), Str(W32_FitWindow(usable, 640, 480, W32Borders{})));
    EXPECT_TRUE(Win32_CursorShown());
    // The user moves and sizes it; full screen and back returns it there.
    SDL_SetWindowPosition(sdl, usable.x + 10, usable.y + 20);
    SDL_SetWindowSize(sdl, 300, 200);
    W32_ToggleWindowed(w);
    EXPECT_EQ(place(), Str(bounds));
    W32_ToggleWindowed(w);
    EXPECT_EQ(place(), Str(SDL_Rect{usable.x + 10, usable.y + 20, 300, 200}));
    // The exclusive mode ends: the desktop is the real one again; nonsense sizes set none.
    for (int size : {0, -640}) {
        Win32_SetExclusiveMode(size, 1 << 30);
        GetWindowRect(GetDesktopWindow(), &desk);
        EXPECT_EQ(Size(desk.right, desk.bottom), Size(mw, mh));
    }
}

TEST_F(Win32, FocusFollowsSetFocusAndLeavesWithTheWindow) {
    HWND a = MakeWindow("a");
    HWND b = MakeWindow("b");
    EXPECT_EQ(SetFocus(b), nullptr);
    EXPECT_EQ(GetActiveWindow(), b);
    EXPECT_EQ(GetForegroundWindow(), b);
    EXPECT_EQ(SetFocus(a), b);
    DestroyWindow(a);
    EXPECT_EQ(GetFocus(), nullptr);
}

// Win32_ParseOptions over "demo" and the arguments; its result, with the options, the command
// line and the message.
int Parse(std::vector<const char*> args, Win32StandInOptions* o, std::string* cmdLine,
          std::string* message) {
    args.insert(args.begin(), "demo");
    std::vector<char*> argv;
    for (const char* a : args) argv.push_back(const_cast<char*>(a));
    return Win32_ParseOptions(static_cast<int>(argv.size()), argv.data(), o, cmdLine, message);
}

TEST(Win32Options, StandInOptionsComeFirstAndTheRestIsTheCommandLine) {
    // clang-format off
    const struct {
        std::vector<const char*> args;
        int result;
        bool window, headless;
        int device;
        const char* cmdLine;
        const char* framesDir = "";
        const char* framesAt = "";
        int cardThreads = 0;
    } cases[] = {
        {{}, 0, false, false, -1, ""},
        {{"800", "600"}, 0, false, false, -1, "800 600"},
        {{"--window", "--device", "1", "640"}, 0, true, false, 1, "640"},
        {{"--headless", "--", "--window", "7"}, 0, false, true, -1, "--window 7"},
        {{"5", "--window"}, 0, false, false, -1, "5 --window"},
        {{"--help"}, 1, false, false, -1, ""},
        {{"--frames", "o", "--frames-at", "1,50,300-310"}, 0, false, false, -1, "", "o",
         "1,50,300-310"},
        {{"--card-threads", "3", "--headless", "9"}, 0, false, true, -1, "9", "", "", 3},
        {{"--card-threads", "64"}, 0, false, false, -1, "", "", "", 64},
    };
    // clang-format on
    for (const auto& c : cases) {
        Win32StandInOptions o;
        std::string cmdLine, message;
        const int r = Parse(c.args, &o, &cmdLine, &message);
        std::string label = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(r, c.result) << label;
        if (r != 0) {
            EXPECT_NE(message.find("usage: demo"), std::string::npos) << label;
            continue;
        }
        EXPECT_EQ(o.window, c.window) << label;
        EXPECT_EQ(o.headless, c.headless) << label;
        EXPECT_EQ(o.device, c.device) << label;
        EXPECT_EQ(cmdLine, c.cmdLine) << label;
        EXPECT_EQ(o.framesDir, c.framesDir) << label;
        EXPECT_EQ(o.framesAt, c.framesAt) << label;
        EXPECT_EQ(o.cardThreads, c.cardThreads) << label;
    }
}

TEST(Win32Options, CaptureOptionsAreReadTogether) {
    Win32StandInOptions o, wav;
    std::string cmdLine, message;
    ASSERT_EQ(Parse({"--capture", "s.mkv", "--capture-fps", "30000/1001", "--capture-crf", "0",
                     "--capture-frames", "25", "7"},
                    &o, &cmdLine, &message),
              0)
        << message;
    EXPECT_EQ(o.captureFile + " " + o.captureFps + " " + cmdLine, "s.mkv 30000/1001 7");
    EXPECT_EQ(std::pair(o.captureCrf, o.captureFrames), std::pair(0, 25));
    ASSERT_EQ(Parse({"--capture-wav", "s.wav", "--capture-frames", "3"}, &wav, &cmdLine, &message),
              0);
    EXPECT_EQ(wav.captureWav + "," + wav.captureFile, "s.wav,");
    EXPECT_EQ(std::pair(wav.captureCrf, wav.captureFrames), std::pair(-1, 3));
    EXPECT_TRUE(Win32_Capturing(o));
    EXPECT_TRUE(Win32_Capturing(wav));
}

TEST(Win32Options, BadOptionsAreRefusedWithTheUsage) {
    const std::vector<const char*> cases[] = {
        {"--frobnicate"},
        {"--device"},
        {"--device", "-1"},
        {"--frames"},
        {"--frames-at", "1,,2"},
        {"--frames-at", "5-3"},
        {"--frames-at", "0"},
        {"--frames-at", "4-"},
        {"--card-threads", "0"},
        {"--card-threads", "65"},
        {"--card-threads", "2x"},
        {"--card-threads"},
        {"--capture"},
        {"--capture", ""},
        {"--capture", "a.mp4", "--capture-crf", "64"},
        {"--capture", "a.mp4", "--capture-crf", "2x"},
        {"--capture", "a.mp4", "--capture-frames", "0"},
        {"--capture", "a.mp4", "--capture-frames", "99999999999999999999"},
        {"--capture", "a.mp4", "--capture-fps"},
        // Settings of a video without the video, or two outputs in one file.
        {"--capture-fps", "25"},
        {"--capture-wav", "a.wav", "--capture-crf", "20"},
        {"--capture-frames", "10"},
        {"--capture", "x", "--capture-wav", "x"},
    };
    for (const auto& args : cases) {
        Win32StandInOptions o;
        std::string cmdLine, message, label;
        for (const char* a : args) label += std::string(a) + " ";
        EXPECT_EQ(Parse(args, &o, &cmdLine, &message), 2) << label;
        EXPECT_NE(message.find("usage: demo"), std::string::npos) << label;
    }
}

TEST(Win32Report, UnsupportedCallsEndTheProgramWithAMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(102), nullptr, nullptr, 0),
                testing::ExitedWithCode(4), "DialogBoxParamA: a dialog resource other than 101");
}

}  // namespace
