// demo_d3d and demo_glide on a real X server (Xvfb, 1024 x 768), full screen and --window, without
// and with a window manager (openbox). While the title card stands still (frames 100-279) the
// screen is captured with xwd and compared with the frame's own PNG capture, scaled as the card
// scales it into the window the X server says the program has, with black bars around it. Alt+Enter
// goes in through xdotool, both ways. Skips (with the reason) only when no X server can be started.
// TAMBIR_KEEP_SCREENSHOTS=1 keeps each test's directory with its screenshots as PNG files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "x_session.h"
#include "xwd_image.h"

namespace {

using xsession::Rect;

constexpr int kScreenW = 1024, kScreenH = 768;
constexpr int kPicW = 640, kPicH = 480;

std::string TestName() { return testing::UnitTest::GetInstance()->current_test_info()->name(); }

template <bool kWindowManager>
class OnScreen : public testing::Test {
protected:
    xsession::Session x;
    std::string dir;
    pid_t program = -1;
    Window window = 0;

    void SetUp() override {
        dir = testing::TempDir() + "tambir_screen_" + (kWindowManager ? "wm_" : "bare_") +
              TestName() + "_" + std::to_string(getpid());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir + "/frames");
        std::string why = x.Start(kScreenW, kScreenH, kWindowManager, dir);
        if (!why.empty()) {
            x.End();
            GTEST_SKIP() << "no X server for this test: " << why;
        }
        for (const char* tool : {"xwd", "xdotool"})
            ASSERT_TRUE(xsession::OnPath(tool))
                << tool << " is missing (scripts/deps.sh installs it)";
    }
    void TearDown() override {
        xsession::Stop(program);
        x.End();
        if (!HasFailure() && !std::getenv("TAMBIR_KEEP_SCREENSHOTS"))
            std::filesystem::remove_all(dir);
        else
            std::fprintf(stderr, "screenshots and logs kept in %s\n", dir.c_str());
    }

    // Starts the program at 640 x 480, 30 ms a frame, and waits until frame 101 was presented
    // (frame 100 is then complete on disk, and the title card shows).
    void Play(const char* path, bool windowed, int width = kPicW, int height = kPicH) {
        std::vector<std::string> args = {
            path, "--device", "0", "--frames", dir + "/frames", "--frames-at", "100,101"};
        if (windowed) args.push_back("--window");
        for (const char* a : {"--", "", "", "1", "72", "30"}) args.push_back(a);
        args[args.size() - 5] = std::to_string(width);
        args[args.size() - 4] = std::to_string(height);
        // On a real display SDL brings in D-Bus and the OpenGL driver, which keep blocks to the
        // end that the leak checker cannot tell from ours (the headless program tests check the
        // programs for leaks); every other sanitizer finding still ends the program.
        program =
            xsession::Spawn(args,
                            {"DISPLAY=" + x.display, "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy",
                             "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1"},
                            SHOW_DATA_DIR, dir + "/program.log");
        ASSERT_GT(program, 0);
        std::string done = dir + "/frames/frame-000101.png";
        ASSERT_TRUE(xsession::WaitFor(30000,
                                      [&] {
                                          return std::filesystem::exists(done) ||
                                                 xsession::Exited(program);
                                      }) &&
                    std::filesystem::exists(done))
            << "frame 101 never came; see " << dir << "/program.log";
        window = x.Find("Tambir demo");
        ASSERT_NE(window, 0u) << "no window named \"Tambir demo\"";
    }

    // The window's area once it is full screen (or not) and stays put for 300 ms: a window
    // manager takes a few steps to frame or unframe, move and size a window.
    Rect WaitGeometry(bool full, int ms = 4000) {
        Rect g, last;
        int still = 0;
        xsession::WaitFor(ms, [&] {
            g = x.Geometry(window);
            still = g == last ? still + 10 : 0;
            last = g;
            bool isFull = g == Rect{0, 0, kScreenW, kScreenH};
            return still >= 300 && g.w > 0 && isFull == full;
        });
        return g;
    }

    void ExpectFullScreen(const Rect& g) {
        EXPECT_TRUE(g == (Rect{0, 0, kScreenW, kScreenH}))
            << "full screen is " << g.w << "x" << g.h << " at " << g.x << "," << g.y;
    }

    static bool Inside(const Rect& r) {
        return r.x >= 0 && r.y >= 0 && r.x + r.w <= kScreenW && r.y + r.h <= kScreenH;
    }

    // A window of the mode's size, centred, its frame wholly on the screen.
    void ExpectWindow(const Rect& g, int w = kPicW, int h = kPicH) {
        Rect f = x.Geometry(window, true);
        EXPECT_EQ(g.w, w) << "window width";
        EXPECT_EQ(g.h, h) << "window height";
        EXPECT_TRUE(Inside(f)) << "frame " << f.w << "x" << f.h << " at " << f.x << "," << f.y
                               << " leaves the screen";
        EXPECT_LE(std::abs(2 * g.x + g.w - kScreenW), 32) << "not centred: x " << g.x;
        EXPECT_LE(std::abs(2 * g.y + g.h - kScreenH), 48) << "not centred: y " << g.y;
    }

    void AltEnter() { ASSERT_EQ(x.Shell("xdotool key --clearmodifiers alt+Return"), 0); }

    // The screen now against frame 100's capture: scaled into `client` with the aspect kept, black
    // bars in the rest of it. `tag` names the screenshot.
    void ExpectPicture(const Rect& client, const std::string& tag) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));  // a few frames since
        std::string shot = dir + "/" + tag + ".xwd";
        ASSERT_EQ(x.Shell("xwd -root -silent -out '" + shot + "'"), 0);
        xwd::Image screen, frame;
        ASSERT_EQ(xwd::Read(shot, &screen), "");
        xwd::WritePng(dir + "/" + tag + ".png", screen);
        std::filesystem::remove(shot);
        ASSERT_TRUE(xwd::ReadPng(dir + "/frames/frame-000100.png", &frame));
        ASSERT_EQ(frame.width, kPicW);
        ASSERT_EQ(frame.height, kPicH);
        ASSERT_EQ(screen.width, kScreenW);
        ASSERT_EQ(screen.height, kScreenH);
        ASSERT_TRUE(Inside(client) && client.w > 0 && client.h > 0)
            << "client " << client.w << "x" << client.h << " at " << client.x << "," << client.y;
        // Where the picture goes: the largest 4:3 rectangle in the client area, centred.
        Rect fit;
        if (client.w * kPicH <= client.h * kPicW) {
            fit.w = client.w;
            fit.h = client.w * kPicH / kPicW;
        } else {
            fit.h = client.h;
            fit.w = client.h * kPicW / kPicH;
        }
        fit.x = client.x + (client.w - fit.w) / 2;
        fit.y = client.y + (client.h - fit.h) / 2;
        // Each frame pixel against the screen pixel at the centre of its footprint.
        int bright = 0, wrong = 0;
        for (int y = 0; y < kPicH; ++y)
            for (int xx = 0; xx < kPicW; ++xx) {
                const uint8_t* want = frame.At(xx, y);
                const uint8_t* got = screen.At(fit.x + (2 * xx + 1) * fit.w / (2 * kPicW),
                                               fit.y + (2 * y + 1) * fit.h / (2 * kPicH));
                bright += want[0] + want[1] + want[2] > 300;
                for (int c = 0; c < 3; ++c)
                    if (std::abs(want[c] - got[c]) > 12) {
                        ++wrong;
                        break;
                    }
            }
        EXPECT_GT(bright, kPicW * kPicH / 100) << tag << ": the captured frame shows no title card";
        EXPECT_LE(wrong, kPicW * kPicH / 200)
            << tag << ": " << wrong << " of " << kPicW * kPicH << " pixels differ from the frame "
            << "scaled into " << fit.w << "x" << fit.h << " at " << fit.x << "," << fit.y;
        int lit = 0;
        for (int y = client.y; y < client.y + client.h; ++y)
            for (int xx = client.x; xx < client.x + client.w; ++xx) {
                if (xx >= fit.x && xx < fit.x + fit.w && y >= fit.y && y < fit.y + fit.h) continue;
                const uint8_t* p = screen.At(xx, y);
                lit += p[0] > 8 || p[1] > 8 || p[2] > 8;
            }
        EXPECT_EQ(lit, 0) << tag << ": the bars around the picture are not black";
    }

    void EndsCleanly() {
        EXPECT_EQ(xsession::Stop(program), 0) << "SIGTERM should end the show as Escape does";
        program = -1;
    }

    // Started full screen: the picture fills it; Alt+Enter gives a centred window of the mode's
    // size and takes it back; the second time the window comes back where the first one was.
    void FullScreenAndBack(const char* path) {
        Play(path, false);
        Rect full = WaitGeometry(true);
        ExpectFullScreen(full);
        ExpectPicture(full, "1-fullscreen");
        AltEnter();
        Rect win = WaitGeometry(false);
        ExpectWindow(win);
        ExpectPicture(win, "2-window");
        AltEnter();
        ExpectFullScreen(WaitGeometry(true));
        AltEnter();
        Rect again = WaitGeometry(false);
        EXPECT_TRUE(again == win) << "the window came back " << again.w << "x" << again.h << " at "
                                  << again.x << "," << again.y;
        EndsCleanly();
    }

    // Started with --window: a centred window of the mode's size; Alt+Enter fills the screen and
    // goes back to the same place and size.
    void WindowAndBack(const char* path) {
        Play(path, true);
        Rect win = WaitGeometry(false);
        ExpectWindow(win);
        ExpectPicture(win, "1-window");
        AltEnter();
        Rect full = WaitGeometry(true);
        ExpectFullScreen(full);
        ExpectPicture(full, "2-fullscreen");
        AltEnter();
        Rect back = WaitGeometry(false);
        EXPECT_TRUE(back == win) << "the window came back " << back.w << "x" << back.h << " at "
                                 << back.x << "," << back.y;
        ExpectPicture(back, "3-window");
        EndsCleanly();
    }

    // The user makes the window wider: the picture follows, with bars left and right.
    void ResizedWindow() {
        Play(DEMO_D3D, true);
        WaitGeometry(false);
        ASSERT_EQ(x.Shell("xdotool windowsize " + std::to_string(window) + " 800 480"), 0);
        Rect g;
        ASSERT_TRUE(xsession::WaitFor(3000, [&] { return (g = x.Geometry(window)).w == 800; }));
        ExpectPicture(g, "resized");
        EndsCleanly();
    }

    // The Glide program loses the focus to another window (its output goes off and it minimises
    // itself) and gets it back: full screen again, with the right picture.
    void FocusLostAndBack() {
        ASSERT_TRUE(xsession::OnPath("xlogo")) << "xlogo is missing (x11-apps)";
        Play(DEMO_GLIDE, false);
        ExpectFullScreen(WaitGeometry(true));
        pid_t other = xsession::Spawn({"xlogo", "-geometry", "200x200+10+10"},
                                      {"DISPLAY=" + x.display}, "", "");
        Window logo = 0;
        ASSERT_TRUE(xsession::WaitFor(5000, [&] { return (logo = x.Find("xlogo")) != 0; }));
        std::string how = kWindowManager ? "windowactivate --sync " : "windowfocus --sync ";
        EXPECT_EQ(x.Shell("xdotool " + how + std::to_string(logo)), 0);
        if (kWindowManager) {
            EXPECT_TRUE(xsession::WaitFor(2000, [&] { return x.Geometry(window).w == 0; }))
                << "not minimised";
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        EXPECT_EQ(x.Shell("xdotool " + how + std::to_string(window)), 0);
        Rect back = WaitGeometry(true);
        ExpectFullScreen(back);
        ExpectPicture(back, "refocused");
        xsession::Stop(other);
        EndsCleanly();
    }
};

using Bare = OnScreen<false>;
using WithWindowManager = OnScreen<true>;

TEST_F(Bare, D3dFullScreenFillsTheScreenAndAltEnterSwitches) { FullScreenAndBack(DEMO_D3D); }
TEST_F(Bare, GlideFullScreenFillsTheScreenAndAltEnterSwitches) { FullScreenAndBack(DEMO_GLIDE); }
TEST_F(Bare, D3dWindowIsCentredAndAltEnterComesBack) { WindowAndBack(DEMO_D3D); }
TEST_F(Bare, GlideWindowIsCentredAndAltEnterComesBack) { WindowAndBack(DEMO_GLIDE); }
TEST_F(Bare, ResizedWindowKeepsThePictureLetterboxed) { ResizedWindow(); }
TEST_F(Bare, GlideGetsItsPictureBackWithTheFocus) { FocusLostAndBack(); }

TEST_F(WithWindowManager, D3dFullScreenFillsTheScreenAndAltEnterSwitches) {
    FullScreenAndBack(DEMO_D3D);
}
TEST_F(WithWindowManager, GlideFullScreenFillsTheScreenAndAltEnterSwitches) {
    FullScreenAndBack(DEMO_GLIDE);
}
TEST_F(WithWindowManager, D3dWindowIsCentredAndAltEnterComesBack) { WindowAndBack(DEMO_D3D); }
TEST_F(WithWindowManager, GlideWindowIsCentredAndAltEnterComesBack) { WindowAndBack(DEMO_GLIDE); }
TEST_F(WithWindowManager, ResizedWindowKeepsThePictureLetterboxed) { ResizedWindow(); }
TEST_F(WithWindowManager, GlideGetsItsPictureBackWithTheFocus) { FocusLostAndBack(); }

TEST_F(WithWindowManager, D3dMinimisedAndRestoredShowsThePictureAgain) {
    Play(DEMO_D3D, false);
    ExpectFullScreen(WaitGeometry(true));
    EXPECT_EQ(x.Shell("xdotool windowminimize --sync " + std::to_string(window)), 0);
    EXPECT_TRUE(xsession::WaitFor(2000, [&] { return x.Geometry(window).w == 0; }))
        << "not minimised";
    EXPECT_EQ(x.Shell("xdotool windowactivate --sync " + std::to_string(window)), 0);
    Rect back = WaitGeometry(true);
    ExpectFullScreen(back);
    ExpectPicture(back, "restored");
    EndsCleanly();
}

}  // namespace
