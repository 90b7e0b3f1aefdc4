// Textures of the software card: texel formats, sampling, perspective, wrap and colour key.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "softcard_support.h"

namespace {

TEST(SoftcardTexels, EveryFormatConvertsAKnownValue) {
    uint32_t pal[256] = {};
    pal[0x12] = 0x00ABCDEF;
    pal[0xFF] = 0x00102030;
    const struct {
        ScFormat format;
        uint32_t raw, want;
        int bytes;
    } cases[] = {
        {SC_FMT_RGB332, 0x2E, 0xFF246DAA, 1},  // 001 011 10: 0x24, 0x6D, 0xAA
        {SC_FMT_A8, 0x7F, 0x7FFFFFFF, 1},
        {SC_FMT_I8, 0x42, 0xFF424242, 1},
        {SC_FMT_AI44, 0xA5, 0xAA555555, 1},
        {SC_FMT_P8, 0x12, 0xFFABCDEF, 1},
        {SC_FMT_ARGB8332, 0x80E0, 0x80FF0000, 2},
        {SC_FMT_RGB565, 0x8410, 0xFF848284, 2},  // 16, 32, 16: 0x84, 0x82, 0x84
        {SC_FMT_ARGB1555, 0x7C00, 0x00FF0000, 2},
        {SC_FMT_ARGB4444, 0x8F0A, 0x88FF00AA, 2},
        {SC_FMT_AI88, 0x40C0, 0x40C0C0C0, 2},
        {SC_FMT_AP88, 0x80FF, 0x80102030, 2},
        {SC_FMT_ARGB8888, 0x12345678, 0x12345678, 4},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(testing::Message() << "format " << k.format << " raw " << Hex(k.raw));
        uint32_t got = 0;
        ASSERT_TRUE(ScConvertTexel(k.format, k.raw, pal, &got));
        EXPECT_EQ(Hex(got), Hex(k.want));
        EXPECT_EQ(ScFormatBytes(k.format), k.bytes);
        ScTexture* t = ScTextureCreate(1, 1);
        ASSERT_TRUE(ScTextureLoad(t, k.format, &k.raw, 0, pal, SC_KEY_NONE, 0));
        EXPECT_EQ(Hex(ScTextureTexel(t, 0, 0)), Hex(k.want == 0 ? 0x100 : k.want));
        ScTextureDestroy(t);
    }
    for (ScFormat f : {SC_FMT_YIQ422, SC_FMT_AYIQ8422, ScFormat(6), ScFormat(99)}) {
        EXPECT_FALSE(ScConvertTexel(f, 0, pal, nullptr)) << "format " << f;
        EXPECT_EQ(ScFormatBytes(f), 0) << "format " << f;
    }
    uint32_t got = 1;
    ASSERT_TRUE(ScConvertTexel(SC_FMT_P8, 5, nullptr, &got));  // no palette: black
    EXPECT_EQ(got, 0xFF000000u);
}

TEST(SoftcardTexels, LoadHonoursPitchAndKeys) {
    // 3x2 texels of 5-6-5 in rows of 8 bytes; 0xF81F is the raw key.
    const uint16_t src[2][4] = {{0xF81F, 0x07E0, 0x0000, 0xDEAD}, {0x001F, 0xF81F, 0xFFFF, 0xBEEF}};
    ScTexture* t = ScTextureCreate(3, 2);
    EXPECT_FALSE(ScTextureLoad(t, SC_FMT_RGB565, src, 4, nullptr, SC_KEY_NONE, 0));  // short pitch
    ASSERT_TRUE(ScTextureLoad(t, SC_FMT_RGB565, src, 8, nullptr, SC_KEY_RAW, 0xF81F));
    const uint32_t want[2][3] = {{0, 0xFF00FF00, 0xFF000000}, {0xFF0000FF, 0, 0xFFFFFFFF}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(Hex(ScTextureTexel(t, x, y)), Hex(want[y][x])) << x << "," << y;
    // Keyed by colour: pure green.
    ASSERT_TRUE(ScTextureLoad(t, SC_FMT_RGB565, src, 8, nullptr, SC_KEY_RGB, 0x0000FF00));
    EXPECT_EQ(ScTextureTexel(t, 1, 0), 0u) << "keyed";
    EXPECT_EQ(ScTextureTexel(t, 0, 0), 0xFFFF00FFu);
    // Transparent black that is not the key stays distinguishable from a keyed texel.
    ScTextureDestroy(t);
    const uint16_t clear[3] = {0x0000, 0x7C00, 0x001F};
    t = ScTextureCreate(3, 1);
    ASSERT_TRUE(ScTextureLoad(t, SC_FMT_ARGB1555, clear, 0, nullptr, SC_KEY_RAW, 0x7C00));
    EXPECT_EQ(ScTextureTexel(t, 0, 0), 0x100u) << "transparent black";
    EXPECT_EQ(ScTextureTexel(t, 1, 0), 0u) << "keyed";
    ScTextureDestroy(t);
}

TEST(SoftcardSampling, NearestMapsEachTexelToItsPixels) {
    ScTexture* t = MakeTexture(4, 4, [](int x, int y) { return uint16_t((y * 4 + x) * 0x0841); });
    ScCard* c = PlainCard(16, 16);
    ScSetTexture(c, t);
    Quad(c, 0, 0, 16, 16);
    for (int i = 0; i < 16 * 16; ++i)
        ASSERT_EQ(Hex(Px(c, i % 16, i / 16)), Hex(uint16_t((i / 64 * 4 + i % 16 / 4) * 0x0841)))
            << i;
    // Vertex colour modulates: half red keeps half of each channel's red, none of the others.
    Quad(c, 0, 0, 16, 16, 0xFF800000);
    uint16_t p = Px(c, 12, 12);  // texel 15 = 15 * 0x0841: red 15 (0x7B), green 30, blue 15
    EXPECT_EQ(Hex(p), Hex(((0x7Bu * 129 >> 8) >> 3) << 11));
    // An alpha 8 texel 0x80 (white, alpha 128) with a red vertex blends red at half over black.
    const std::vector<uint8_t> a(16, 0x80);
    ASSERT_TRUE(ScTextureLoad(t, SC_FMT_A8, a.data(), 0, nullptr, SC_KEY_NONE, 0));
    ScClearColor(c, SC_BACK, 0);
    ScSetBlend(c, true);
    Quad(c, 0, 0, 16, 16, 0xFFFF0000);
    EXPECT_EQ(Hex(Px(c, 1, 1)), Hex(Rgb565(128, 0, 0)));
    ScDestroy(c);
    ScTextureDestroy(t);
}

TEST(SoftcardSampling, BilinearBlendsTheFourNearestTexels) {
    // Black and white over 32 pixels: red rises linearly between centres, wrapping at the ends.
    ScTexture* t = MakeTexture(2, 1, [](int x, int) { return uint16_t(x ? 0xFFFF : 0); });
    ScCard* c = PlainCard(32, 4);
    ScSetTexture(c, t);
    ScSetFilter(c, SC_BILINEAR, SC_BILINEAR);
    Quad(c, 0, 0, 32, 4);
    for (int x = 0; x < 32; ++x) {
        double tx = (x + 0.5) / 32 * 2 - 0.5, f = tx - std::floor(tx);  // texel space
        double white = (int(std::floor(tx)) & 1) ? 1 - f : f;
        EXPECT_NEAR(Px(c, x, 1) >> 11, int(white * 255) >> 3, 1)
            << "column " << x << " weight " << white;
    }
    // 2 texels over 32 pixels take the magnifying filter.
    ScSetFilter(c, SC_NEAREST, SC_BILINEAR);
    Quad(c, 0, 0, 32, 4);
    EXPECT_NE(Px(c, 8, 1), 0xFFFF);
    EXPECT_NE(Px(c, 8, 1), 0);
    ScSetFilter(c, SC_BILINEAR, SC_NEAREST);
    Quad(c, 0, 0, 32, 4);
    EXPECT_EQ(Px(c, 8, 1), 0);
    EXPECT_EQ(Px(c, 24, 1), 0xFFFF);
    ScDestroy(c);
    ScTextureDestroy(t);
}

TEST(SoftcardSampling, WrapRepeatsInBothDirections) {
    // Texel (x, y) holds 1 + x + w y; a width that is not a power of two wraps as well.
    const struct {
        int w;
        float u0, u1, v0, v1;
        int period;  // in columns
    } cases[] = {{4, 0, 2, 0, 1, 24}, {4, -8, -4, 5, 6, 12}, {3, 0, 2, 0, 1, 24}};
    for (const auto& k : cases) {
        ScTexture* t = MakeTexture(k.w, 2, [&](int x, int y) { return uint16_t(1 + x + k.w * y); });
        ScCard* c = PlainCard(48, 8);
        ScSetTexture(c, t);
        Quad(c, 0, 0, 48, 8, ~0u, k.u0, k.v0, k.u1, k.v1);
        for (int x = 0; x < 48; ++x) {
            const int texel = (x % k.period) * k.w / k.period;
            ASSERT_EQ(Px(c, x, 1) * 100 + Px(c, x, 6), (1 + texel) * 100 + 1 + k.w + texel)
                << "case " << &k - cases << " column " << x;
        }
        ScDestroy(c);
        ScTextureDestroy(t);
    }
}

TEST(SoftcardSampling, ColourKeyedTexelsAreNotDrawn) {
    // Checker of the key (magenta) and blue; keyed pixels keep colour and depth.
    auto checker = [](int x, int y) { return uint16_t(((x + y) & 1) ? 0xF81F : 0x001F); };
    ScTexture* t = MakeTexture(2, 2, checker, SC_KEY_RAW, 0xF81F);
    ScTexture* all = MakeTexture(
        2, 2, [](int, int) { return 0xF81F; }, SC_KEY_RAW, 0xF81F);
    for (bool keyOn : {true, false}) {
        ScCard* c = PlainCard(8, 8);
        ScClearColor(c, SC_BACK, 0x07E0);
        ScClearDepth(c, 5000);
        ScSetDepthFunc(c, SC_DEPTH_LESS);
        ScSetTexture(c, t);
        ScSetColorKey(c, keyOn);
        Quad(c, 0, 0, 8, 8, ~0u, 0, 0, 1, 1, 100);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                bool keyed = ((x / 4 + y / 4) & 1) != 0;
                uint16_t want = keyed ? (keyOn ? 0x07E0 : 0) : 0x001F;
                EXPECT_EQ(Hex(Px(c, x, y)) + " z " + std::to_string(ScReadDepth(c, x, y)),
                          Hex(want) + " z " + (keyed && keyOn ? "5000" : "100"))
                    << "key " << keyOn << " at " << x << "," << y;
            }
        // With bilinear filtering a pixel amid keyed texels stays undrawn too.
        ScSetFilter(c, SC_BILINEAR, SC_BILINEAR);
        ScSetTexture(c, all);
        ScClearColor(c, SC_BACK, 0x07E0);
        Quad(c, 0, 0, 8, 8);
        EXPECT_EQ(Px(c, 3, 3), keyOn ? 0x07E0 : 0);
        ScDestroy(c);
    }
    ScTextureDestroy(all);
    ScTextureDestroy(t);
}

TEST(SoftcardSampling, PerspectiveCheckerboardMatchesTheProjection) {
    // A floor X in [-1, 1], Z in [1, 4] at y = -1, focal length 100 around (100, 20), an 8x8
    // checker over it.
    const float f = 100, cx = 100, cy = 20;
    ScTexture* t =
        MakeTexture(8, 8, [](int x, int y) { return uint16_t(((x + y) & 1) ? 0xFFFF : 0); });
    ScCard* c = PlainCard(200, 120);
    ScClearColor(c, SC_BACK, 0x1234);
    ScSetTexture(c, t);
    auto corner = [&](float X, float Z) {
        return V(cx + f * X / Z, cy + f / Z, ~0u, (X + 1) / 2, (Z - 1) / 3, 0, 1 / Z);
    };
    ScVertex q[4] = {corner(-1, 4), corner(-1, 1), corner(1, 1), corner(1, 4)};
    ScDraw(c, SC_FAN, q, 4);
    int wrong = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 200; ++x) {
            double Z = f / (y + 0.5 - cy), X = (x + 0.5 - cx) * Z / f;
            if (!(Z > 1.02 && Z < 3.98 && X > -0.99 && X < 0.99)) continue;
            double tu = (X + 1) / 2 * 8, tv = (Z - 1) / 3 * 8;
            if (std::fabs(tu - std::round(tu)) < 0.08 || std::fabs(tv - std::round(tv)) < 0.08)
                continue;  // too close to a checker edge to tell
            wrong += Px(c, x, y) != (((int(tu) + int(tv)) & 1) ? 0xFFFF : 0);
        }
    EXPECT_EQ(wrong, 0);
    ScDestroy(c);
    ScTextureDestroy(t);
}

}  // namespace
