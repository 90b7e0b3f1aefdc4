// Presentation and capture of the software card.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "softcard_support.h"
#include "win32_standin.h"

namespace {

std::string TempDir(const char* name) {
    std::string dir =
        std::string(::testing::TempDir()) + "softcard-" + name + "-" + std::to_string(getpid());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// Width and height from a PNG file's IHDR chunk, or -1 when it is not a PNG.
std::pair<int, int> PngSize(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return {-1, -1};
    unsigned char h[24] = {};
    size_t n = std::fread(h, 1, sizeof h, f);
    std::fclose(f);
    const unsigned char sig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (n != 24 || std::memcmp(h, sig, 8) != 0 || std::memcmp(h + 12, "IHDR", 4) != 0)
        return {-1, -1};
    auto be = [&](int o) { return (h[o] << 24) | (h[o + 1] << 16) | (h[o + 2] << 8) | h[o + 3]; };
    return {be(16), be(20)};
}

TEST(SoftcardCapture, PresentWritesTheListedFramesAsPng) {
    Win32StandInOptions o;
    o.headless = true;
    Win32_SetOptions(o);
    const std::string dir = TempDir("list") + "/made/by/the/card";
    ScCard* c = ScCreate(64, 40);
    EXPECT_FALSE(ScSetCapture(c, dir, "3-2"))
        << "the list is Win32_ParseFrameList's (tested there)";
    ASSERT_TRUE(ScSetCapture(c, dir, "2,4-5"));
    for (int i = 1; i <= 6; ++i) {
        ScClearColor(c, SC_BACK, uint16_t(i));
        ScSwap(c);
        ScPresent(c, nullptr);
    }
    EXPECT_EQ(ScFrameCount(c), 6);
    for (int i = 1; i <= 6; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%06d.png", i);
        bool want = i == 2 || i == 4 || i == 5;
        auto size = PngSize(dir + name);
        EXPECT_EQ(std::filesystem::exists(dir + name), want) << name;
        if (want) {
            EXPECT_EQ(size.first, 64) << name;
            EXPECT_EQ(size.second, 40) << name;
        }
    }
    ScDestroy(c);
    std::filesystem::remove_all(TempDir("list"));
}

TEST(SoftcardCapture, OptionsOfTheStandInTurnCaptureOnForEveryFrame) {
    const std::string dir = TempDir("all");
    Win32StandInOptions o;
    o.headless = true;
    o.framesDir = dir;
    Win32_SetOptions(o);
    ScCard* c = ScCreate(8, 8);
    ScPresent(c, nullptr);
    ScPresent(c, nullptr);
    EXPECT_EQ(PngSize(dir + "/frame-000001.png"), std::make_pair(8, 8));
    EXPECT_EQ(PngSize(dir + "/frame-000002.png"), std::make_pair(8, 8));
    ScDestroy(c);
    Win32_SetOptions(Win32StandInOptions{});
    std::filesystem::remove_all(dir);
}

TEST(SoftcardPresent, LetterboxKeepsTheAspectInTheDrawablesPixels) {
    const struct {
        int pw, ph, ow, oh;
        ScRect want;
    } cases[] = {
        {640, 480, 1024, 768, {0, 0, 1024, 768}},  // same aspect: no bars
        {640, 480, 800, 480, {80, 0, 640, 480}},   // wider: bars left and right
        {640, 480, 640, 800, {0, 160, 640, 480}},  // taller: bars above and below
        {856, 480, 1024, 768, {0, 97, 1024, 574}},
        {640, 480, 2048, 1536, {0, 0, 2048, 1536}},  // a HiDPI drawable: its pixels, not points
        {640, 480, 3, 1000, {0, 499, 3, 2}},
        {640, 480, 1, 1, {0, 0, 1, 1}},    // never narrower than a pixel
        {640, 480, 0, 480, {0, 0, 0, 0}},  // nothing to draw into
        {0, 480, 640, 480, {0, 0, 0, 0}},
        {640, -1, 640, 480, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        ScRect r = ScLetterbox(c.pw, c.ph, c.ow, c.oh);
        auto str = [](ScRect q) {
            return std::to_string(q.w) + "x" + std::to_string(q.h) + "+" + std::to_string(q.x) +
                   "+" + std::to_string(q.y);
        };
        EXPECT_EQ(str(r), str(c.want)) << c.pw << "x" << c.ph << " into " << c.ow << "x" << c.oh;
    }
}

TEST(SoftcardPresent, ShowsTheFrontBufferInAWindow) {
    // SDL's offscreen driver: the picture is not visible, but the whole path runs.
    Win32_SetOptions(Win32StandInOptions{});
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "softcard-test";
    RegisterClassA(&wc);
    HWND w = CreateWindowExA(0, "softcard-test", "card", WS_THICKFRAME, 0, 0, 320, 200, nullptr,
                             nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    ScCard* c = ScCreate(64, 48);
    Quad(c, 0, 0, 32, 48, 0xFFFF0000);
    ScSwap(c);
    ScPresent(c, w);
    ScPresent(c, w);
    EXPECT_EQ(ScFrameCount(c), 2);
    // A second card on the same window (a device opened again) takes over the window.
    ScCard* again = ScCreate(32, 32);
    ScPresent(again, w);
    ScPresent(c, w);
    EXPECT_EQ(ScFrameCount(again), 1);
    EXPECT_EQ(ScFrameCount(c), 3);
    ScDestroy(again);
    ScDestroy(c);
    DestroyWindow(w);
    Win32_Reset();
}

}  // namespace
