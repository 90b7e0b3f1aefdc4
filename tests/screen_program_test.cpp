// demo_d3d and demo_glide on Xvfb (1024 x 768), bare and under openbox: the screen against the
// title card's own PNG capture, scaled into the window X reports, black bars around it. Alt+Enter
// goes in through xdotool. TAMBIR_KEEP_SCREENSHOTS=1 keeps the screenshots.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "x_session.h"

namespace {

using xsession::Rect;

constexpr int kScreenW = 1024, kScreenH = 768;
constexpr int kPicW = 640, kPicH = 480;
constexpr Rect kFull{0, 0, kScreenW, kScreenH};

// The parameter: whether a window manager runs.
class OnScreen : public testing::TestWithParam<bool> {
protected:
    xsession::Session x;
    std::string dir;
    pid_t program = -1;
    Window window = 0;

    void SetUp() override {
        const std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
        dir = testing::TempDir() + "tambir_screen_" + (GetParam() ? "wm_" : "bare_") +
              test.substr(0, test.find('/')) + "_" + std::to_string(getpid());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir + "/frames");
        std::string why = x.Start(kScreenW, kScreenH, GetParam(), dir);
        if (!why.empty()) {
            x.End();
            GTEST_SKIP() << "no X server for this test: " << why;
        }
        ASSERT_TRUE(xsession::OnPath("xdotool")) << "xdotool is missing (scripts/deps.sh)";
    }
    void TearDown() override {
        xsession::Stop(program);
        x.End();
        if (!HasFailure() && !std::getenv("TAMBIR_KEEP_SCREENSHOTS"))
            std::filesystem::remove_all(dir);
        else
            std::fprintf(stderr, "screenshots and logs kept in %s\n", dir.c_str());
    }

    // Plays at 640 x 480, 30 ms a frame, until frame 101 was presented (frame 100 is on disk).
    void Play(const char* path, bool windowed) {
        std::vector<std::string> args = {
            path, "--device", "0", "--frames", dir + "/frames", "--frames-at", "100,101"};
        if (windowed) args.push_back("--window");
        for (const char* a : {"--", "640", "480", "1", "72", "30"}) args.push_back(a);
        // D-Bus and the GL driver keep blocks to the end: leaks are the headless tests' business.
        program =
            xsession::Spawn(args,
                            {"DISPLAY=" + x.display, "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy",
                             "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1"},
                            SHOW_DATA_DIR, dir + "/program.log");
        ASSERT_GT(program, 0);
        const std::string done = dir + "/frames/frame-000101.png";
        auto up = [&] { return std::filesystem::exists(done) || xsession::Exited(program); };
        xsession::WaitFor(30000, up);
        ASSERT_TRUE(std::filesystem::exists(done))
            << "frame 101 never came; see " << dir << "/program.log";
        window = x.Find("Tambir demo");
        ASSERT_NE(window, 0u) << "no window named \"Tambir demo\"";
    }

    // The window's area once it is full screen (or not) and has stood still for 300 ms.
    Rect WaitGeometry(bool full) {
        Rect g, last;
        int still = 0;
        xsession::WaitFor(4000, [&] {
            g = x.Geometry(window);
            still = g == last ? still + 10 : 0;
            last = g;
            return still >= 300 && g.w > 0 && (g == kFull) == full;
        });
        return g;
    }

    static bool Inside(const Rect& r) {
        return r.x >= 0 && r.y >= 0 && r.x + r.w <= kScreenW && r.y + r.h <= kScreenH;
    }

    // A window of the mode's size, centred, its frame wholly on the screen.
    void ExpectWindow(const Rect& g) {
        const Rect f = x.Geometry(window, true);
        EXPECT_EQ(g.w, kPicW) << "window width";
        EXPECT_EQ(g.h, kPicH) << "window height";
        EXPECT_TRUE(Inside(f)) << "frame " << f << " leaves the screen";
        EXPECT_LE(std::abs(2 * g.x + g.w - kScreenW), 32) << "not centred: x " << g.x;
        EXPECT_LE(std::abs(2 * g.y + g.h - kScreenH), 48) << "not centred: y " << g.y;
    }

    void AltEnter() { ASSERT_EQ(x.Shell("xdotool key --clearmodifiers alt+Return"), 0); }

    // The screen against frame 100's capture scaled into `client`, aspect kept, black bars around.
    void ExpectPicture(const Rect& client, const std::string& tag) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));  // a few frames since
        xsession::Image screen, frame;
        ASSERT_TRUE(x.Screenshot(&screen));
        xsession::WritePng(dir + "/" + tag + ".png", screen);
        ASSERT_TRUE(xsession::ReadPng(dir + "/frames/frame-000100.png", &frame));
        ASSERT_EQ(Rect(0, 0, frame.width, frame.height), Rect(0, 0, kPicW, kPicH));
        ASSERT_EQ(Rect(0, 0, screen.width, screen.height), kFull);
        ASSERT_TRUE(Inside(client) && client.w > 0 && client.h > 0) << "client " << client;
        // Where the picture goes: the largest 4:3 rectangle in the client area, centred.
        const bool wide = client.w * kPicH > client.h * kPicW;
        Rect fit{0, 0, wide ? client.h * kPicW / kPicH : client.w,
                 wide ? client.h : client.w * kPicH / kPicW};
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
                wrong += std::abs(want[0] - got[0]) > 12 || std::abs(want[1] - got[1]) > 12 ||
                         std::abs(want[2] - got[2]) > 12;
            }
        EXPECT_GT(bright, kPicW * kPicH / 100) << tag << ": the captured frame shows no title card";
        EXPECT_LE(wrong, kPicW * kPicH / 200)
            << tag << ": " << wrong << " pixels differ from the frame scaled into " << fit;
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

    // Alt+Enter three times: full screen fills the screen, the window is centred, of the mode's
    // size and comes back where it was. The first two states (and a third window) are shot.
    void SwitchAndBack(const char* path, bool windowed) {
        Play(path, windowed);
        Rect win;
        for (int step = 0; step < 4; ++step) {
            if (step) AltEnter();
            const bool full = (step % 2 == 0) != windowed;
            const Rect g = WaitGeometry(full);
            if (full)
                EXPECT_EQ(g, kFull) << "step " << step;
            else if (win.w == 0)
                ExpectWindow(win = g);
            else
                EXPECT_EQ(g, win) << "the window came back elsewhere";
            if (step < 2 || (step == 2 && windowed))
                ExpectPicture(g, std::to_string(step) + (full ? "-fullscreen" : "-window"));
        }
        EndsCleanly();
    }
};

TEST_P(OnScreen, D3dFullScreenAndAltEnter) { SwitchAndBack(DEMO_D3D, false); }
TEST_P(OnScreen, GlideFullScreenAndAltEnter) { SwitchAndBack(DEMO_GLIDE, false); }
TEST_P(OnScreen, D3dWindowAndAltEnter) { SwitchAndBack(DEMO_D3D, true); }
TEST_P(OnScreen, GlideWindowAndAltEnter) { SwitchAndBack(DEMO_GLIDE, true); }

// The user makes the window wider: the picture follows, with bars left and right.
TEST_P(OnScreen, ResizedWindowKeepsThePictureLetterboxed) {
    Play(DEMO_D3D, true);
    WaitGeometry(false);
    ASSERT_EQ(x.Shell("xdotool windowsize " + std::to_string(window) + " 800 480"), 0);
    Rect g;
    ASSERT_TRUE(xsession::WaitFor(3000, [&] { return (g = x.Geometry(window)).w == 800; }));
    ExpectPicture(g, "resized");
    EndsCleanly();
}

INSTANTIATE_TEST_SUITE_P(Bare, OnScreen, testing::Values(false));
INSTANTIATE_TEST_SUITE_P(WithWindowManager, OnScreen, testing::Values(true));

}  // namespace
