// Presentation and capture of the software card.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>

#include "png_size.h"
#include "softcard_support.h"

namespace {

// Without a list, every frame, into directories made on the way (lists: the program tests).
TEST(SoftcardCapture, PresentWritesEveryFrameAsPng) {
    const std::string dir = testing::TempDir() + "softcard-capture-" + std::to_string(getpid());
    std::filesystem::remove_all(dir);
    Win32StandInOptions o;
    o.headless = true;
    o.framesDir = dir + "/made/by/the/card";
    Win32_SetOptions(o);
    ScCard* c = ScCreate(64, 40);
    for (int i = 0; i < 3; ++i) ScPresent(c, nullptr);
    EXPECT_EQ(ScFrameCount(c), 3);
    for (int i = 1; i <= 4; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%06d.png", i);
        EXPECT_EQ(PngSize(o.framesDir + name), i <= 3 ? "64x40" : "none") << name;
    }
    ScDestroy(c);
    Win32_SetOptions(Win32StandInOptions{});
    std::filesystem::remove_all(dir);
}

TEST(SoftcardPresent, LetterboxKeepsTheAspectInTheDrawablesPixels) {
    const struct {
        int pw, ph, ow, oh;
        ScRect want;
    } cases[] = {
        {640, 480, 800, 480, {80, 0, 640, 480}},     // wider: bars left and right
        {640, 480, 640, 800, {0, 160, 640, 480}},    // taller: bars above and below
        {640, 480, 2048, 1536, {0, 0, 2048, 1536}},  // same aspect, HiDPI: pixels, not points
        {640, 480, 1, 1, {0, 0, 1, 1}},              // never narrower than a pixel
        {640, 480, 0, 480, {0, 0, 0, 0}},            // nothing to draw into
        {640, -1, 640, 480, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        ScRect r = ScLetterbox(c.pw, c.ph, c.ow, c.oh);
        EXPECT_EQ(std::tie(r.x, r.y, r.w, r.h), std::tie(c.want.x, c.want.y, c.want.w, c.want.h))
            << c.pw << "x" << c.ph << " into " << c.ow << "x" << c.oh;
    }
}

}  // namespace
