// Rasterisation of the software card, pixel by pixel, and bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "softcard_support.h"

namespace {

// 1 inside a clockwise convex polygon by margin, -1 outside by margin, 0 on the edge.
int Side(const std::vector<ScVertex>& poly, float px, float py, float margin) {
    bool inside = true, outside = false;
    for (size_t i = 0; i < poly.size(); ++i) {
        const ScVertex& a = poly[i];
        const ScVertex& b = poly[(i + 1) % poly.size()];
        float ex = b.x - a.x, ey = b.y - a.y;
        float d = ((px - a.x) * ey - (py - a.y) * ex) / -std::sqrt(ex * ex + ey * ey);
        inside = inside && d >= margin;
        outside = outside || d < -margin;
    }
    return inside ? 1 : (outside ? -1 : 0);
}

TEST(SoftcardFill, FanOfThinTrianglesCoversEveryPixelOnce) {
    // White at alpha 128 over black: one coverage gives 128, two give 192, none gives 0.
    const uint16_t once = Rgb565(128, 128, 128);
    std::mt19937 rng(1234);
    std::uniform_real_distribution<float> jitter(-0.45f, 0.45f);
    for (int round = 0; round < 4; ++round) {
        ScCard* c = PlainCard();
        ScSetBlend(c, true);
        const float cx = 100.3f + jitter(rng), cy = 60.2f + jitter(rng);
        const int spokes = 97 + round * 40;
        std::vector<ScVertex> fan{V(cx, cy, 0x80FFFFFF)}, rim;
        for (int i = 0; i <= spokes; ++i) {
            float a = (float(i % spokes) + (i % spokes ? jitter(rng) : 0)) * 6.2831853f / spokes;
            rim.push_back(V(cx + 55.0f * std::cos(a), cy + 55.0f * std::sin(a), 0x80FFFFFF));
        }
        rim.back() = rim.front();
        fan.insert(fan.end(), rim.begin(), rim.end());
        ScDraw(c, SC_FAN, fan.data(), int(fan.size()));
        rim.pop_back();
        int wrong = 0, first = -1;
        for (int i = 0; i < 200 * 120; ++i) {
            const uint16_t got = ScPixels(c, SC_BACK)[i];
            const int side = Side(rim, i % 200 + 0.5f, i / 200 + 0.5f, 0.05f);  // snap: 1/16
            if ((got != 0 && got != once) || (side > 0 && got != once) || (side < 0 && got != 0))
                first = wrong++ ? first : i;
        }
        EXPECT_EQ(wrong, 0) << "round " << round << ", first at " << first % 200 << ","
                            << first / 200;
        ScDestroy(c);
    }
}

TEST(SoftcardFill, TopLeftRuleSpriteCoverageAndClipWindow) {
    const struct {
        ScPrim prim;
        float x0, y0, x1, y1;
        int cols0, cols1, rows0, rows1;  // covered columns and rows, end exclusive
        int clip[4];                     // clip window set before drawing, if any
    } cases[] = {
        // Edges through centres: the left and top ones are in.
        {SC_FAN, 10.5f, 10.5f, 20.5f, 20.5f, 10, 20, 10, 20, {}},
        {SC_FAN, 10.4f, 10.4f, 20.4f, 20.4f, 10, 20, 10, 20, {}},
        {SC_FAN, 10.6f, 10.6f, 20.6f, 20.6f, 11, 21, 11, 21, {}},
        {SC_FAN, 10.0f, 10.0f, 10.5f, 10.5f, 10, 10, 10, 10, {}},    // no centre inside: nothing
        {SC_FAN, 10.0f, 10.0f, 10.56f, 10.56f, 10, 11, 10, 11, {}},  // one centre
        {SC_FAN, -5.0f, -5.0f, 3.0f, 2.0f, 0, 3, 0, 2, {}},          // off the top-left corner
        // The devices' sprite u = 10 (height), v = 20 (width) at (100, 50): x 90-110, y 45-55.
        {SC_FAN, 90, 45, 110, 55, 90, 110, 45, 55, {}},
        // Clip windows exclude their end and are clamped to the buffer; x0 > x1 is empty.
        {SC_FAN, -99, -99, 999, 999, 10, 30, 20, 40, {10, 20, 30, 40}},
        {SC_FAN, -99, -99, 999, 999, 0, 200, 0, 120, {-5, -5, 900, 900}},
        {SC_FAN, -99, -99, 999, 999, 0, 0, 0, 0, {30, 30, 10, 10}},
    };
    for (const auto& k : cases) {
        ScCard* c = PlainCard();
        if (k.clip[2] || k.clip[3]) ScSetClip(c, k.clip[0], k.clip[1], k.clip[2], k.clip[3]);
        ScVertex q[4] = {V(k.x0, k.y0), V(k.x0, k.y1), V(k.x1, k.y1), V(k.x1, k.y0)};
        ScDraw(c, k.prim, q, 4);
        int wrong = 0;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 200; ++x)
                wrong += (Px(c, x, y) != 0) !=
                         (x >= k.cols0 && x < k.cols1 && y >= k.rows0 && y < k.rows1);
        EXPECT_EQ(wrong, 0) << "case " << &k - cases;
        ScDestroy(c);
    }
}

TEST(SoftcardDepth, LessAndAlwaysWithAndWithoutWrites) {
    const struct {
        ScDepthFunc func;
        bool write;
        uint16_t stored;
        float z;
        bool drawn;
        uint16_t after;
    } cases[] = {
        {SC_DEPTH_LESS, true, 1000, 999, true, 999},
        {SC_DEPTH_LESS, true, 1000, 1000, false, 1000},  // equal is not less
        {SC_DEPTH_LESS, false, 1000, 10, true, 1000},
        {SC_DEPTH_ALWAYS, true, 1000, 5000, true, 5000},
        {SC_DEPTH_ALWAYS, false, 1000, 5000, true, 1000},
        {SC_DEPTH_LESS, true, 0xFFFF, 70000, false, 0xFFFF},  // clamped to 65535
        {SC_DEPTH_ALWAYS, true, 7, -20, false, 7},            // before the near plane: cut away
    };
    for (const auto& k : cases) {
        ScCard* c = PlainCard(16, 16);
        ScClearDepth(c, k.stored);
        ScSetDepthFunc(c, k.func);
        ScSetDepthWrite(c, k.write);
        Quad(c, 2, 2, 10, 10, 0xFFFF0000, 0, 0, 1, 1, k.z);
        SCOPED_TRACE(testing::Message() << "func " << k.func << " z " << k.z);
        EXPECT_EQ(Px(c, 5, 5) == 0xF800, k.drawn);
        EXPECT_EQ(ScReadDepth(c, 5, 5), k.after);
        EXPECT_EQ(ScReadDepth(c, 12, 12), k.stored);
        ScDestroy(c);
    }
}

TEST(SoftcardBlend, SourceAlphaArithmetic) {
    const struct {
        uint32_t src;
        uint16_t dst, want;
    } cases[] = {
        {0x80FFFFFF, 0x0000, Rgb565(128, 128, 128)},
        {0xFFFF0000, 0x07E0, 0xF800},                 // opaque replaces
        {0x00FF0000, 0x07E0, 0x07E0},                 // transparent keeps
        {0x40C86432, 0x07E0, 0x36C1},                 // (200,100,50) a 64 over green: 50,216,13
        {0x80000000, 0xFFFF, Rgb565(127, 127, 127)},  // black half over white
    };
    for (const auto& k : cases) {
        ScCard* c = PlainCard(8, 8);
        ScSetBlend(c, true);
        ScClearColor(c, SC_BACK, k.dst);
        Quad(c, 0, 0, 8, 8, k.src);
        EXPECT_EQ(Hex(Px(c, 3, 3)), Hex(k.want)) << "src " << Hex(k.src) << " over " << Hex(k.dst);
        ScDestroy(c);
    }
}

TEST(SoftcardColour, GouraudAndDepthFollowThePlaneAtPixelCentres) {
    ScCard* c = PlainCard(64, 4);
    ScSetDepthScale(c, 65535.0f);
    ScVertex q[4] = {V(0, 0, 0xFF000000), V(0, 4, 0xFF000000), V(64, 4, 0xFFFF00FF, 0, 0, 1),
                     V(64, 0, 0xFFFF00FF, 0, 0, 1)};
    ScDraw(c, SC_FAN, q, 4);
    for (int x = 0; x < 64; x += 7) {
        int want = int(255.0 * (x + 0.5) / 64) >> 3;
        uint16_t p = Px(c, x, 2);
        EXPECT_NEAR(p >> 11, want, 1) << "red of column " << x << ": " << Hex(p);
        EXPECT_NEAR(p & 31, want, 1) << "blue of column " << x << ": " << Hex(p);
        EXPECT_EQ((p >> 5) & 63, 0) << "green of column " << x << ": " << Hex(p);
        EXPECT_NEAR(ScReadDepth(c, x, 2), 65535.0 * (x + 0.5) / 64, 1.5) << "column " << x;
    }
    for (auto [x, y] : {std::pair{-1, 0}, {64, 0}, {0, 4}}) EXPECT_EQ(ScReadDepth(c, x, y), -1);
    ScDestroy(c);
}

TEST(SoftcardLines, StripsDrawEachPixelOnceWithoutTheLastOne) {
    ScCard* c = PlainCard(40, 40);
    ScSetBlend(c, true);
    ScVertex s[3] = {V(5.5f, 5.5f, 0x80FFFFFF), V(15.5f, 5.5f, 0x80FFFFFF),
                     V(15.5f, 25.5f, 0x80FFFFFF)};
    EXPECT_EQ(ScDraw(c, SC_LINE_STRIP, s, 3), 2);
    const uint16_t once = Rgb565(128, 128, 128);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            uint16_t p = Px(c, x, y);
            bool want = (y == 5 && x >= 5 && x <= 15) || (x == 15 && y >= 5 && y < 25);
            EXPECT_EQ(Hex(p), Hex(want ? once : 0)) << x << "," << y;
        }
    ScDestroy(c);
}

TEST(SoftcardRobust, BadInputNeverCrashesNorWritesOutside) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = INFINITY;
    for (auto [w, h] : {std::pair{0, 10}, {10, -1}, {100000, 10}})
        EXPECT_EQ(ScCreate(w, h), nullptr);
    EXPECT_EQ(ScDraw(nullptr, SC_FAN, nullptr, 3), -1);
    ScCard* c = PlainCard(32, 32);
    EXPECT_EQ(ScDraw(c, SC_FAN, nullptr, 3), -1);
    EXPECT_EQ(ScDraw(c, ScPrim(5), nullptr, 3), -1);
    ScVertex one = V(1, 1);
    EXPECT_EQ(ScDraw(c, SC_TRIANGLES, &one, 1), 0);
    EXPECT_EQ(ScDraw(c, SC_TRIANGLES, &one, -7), 0);
    for (ScVertex first : {V(nan, 0), V(inf, 0), V(0, -inf), V(2e6f, 0)}) {
        const ScVertex bad[3] = {first, V(10, 0), V(0, 10)};
        ScDraw(c, SC_TRIANGLES, bad, 3);
    }
    // A vertex without a usable 1/w refuses its triangle and line, in front or not.
    for (float rhw : {nan, inf, -inf, 0.0f, -0.0f}) {
        const ScVertex bad[3] = {V(-100, -100, ~0u, 0, 0, 0, rhw), V(100, -100), V(0, 100)};
        EXPECT_EQ(ScDraw(c, SC_TRIANGLES, bad, 3), 0) << rhw;
        EXPECT_EQ(ScDraw(c, SC_LINE_STRIP, bad, 3), 1) << rhw;  // the second line only
    }
    for (int i = 0; i < 32 * 32; ++i) ASSERT_EQ(ScPixels(c, SC_BACK)[i], 0) << i;
    // Far away vertices within range, NaN attributes: drawn, clipped to the buffer.
    ScVertex far[3] = {V(-9e5f, -9e5f, ~0u, nan, inf, nan, 1), V(9e5f, -10, ~0u, 0, 0, inf, 1),
                       V(0, 9e5f, ~0u, 0, 0, 0, 1e-30f)};
    ScTexture* t = ScTextureCreate(4, 4);
    ScSetTexture(c, t);
    ScSetFilter(c, SC_NEAREST, SC_BILINEAR);
    ScDraw(c, SC_TRIANGLES, far, 3);
    ScDraw(c, SC_LINE_STRIP, far, 3);
    ScSetTexture(c, nullptr);
    ScDraw(c, SC_TRIANGLES, far, 3);
    for (int i = 0; i < 32 * 32; ++i) ASSERT_EQ(ScPixels(c, SC_BACK)[i], 0xFFFF) << i;
    ScTextureDestroy(t);
    // Null card and texture are ignored everywhere.
    ScSetBlend(nullptr, true), ScClearColor(nullptr, SC_BACK, 0), ScPresent(nullptr, nullptr);
    ScSwap(nullptr);
    EXPECT_EQ(ScReadDepth(nullptr, 0, 0), -1);
    EXPECT_EQ(ScTextureCreate(0, 4), nullptr);
    EXPECT_FALSE(ScTextureLoad(nullptr, SC_FMT_RGB565, &one, 0, nullptr, SC_KEY_NONE, 0));
    ScDestroy(nullptr);
    ScDestroy(c);
}

TEST(SoftcardPixels, RectanglesAreClippedToTheBuffer) {
    const struct {
        int x, y, w, h, written, firstX, firstY, srcCol, srcRow;
    } cases[] = {{600, 10, 100, 4, 40 * 4, 600, 10, 0, 0},
                 {-10, 0, 100, 2, 90 * 2, 0, 0, 10, 0},
                 {5, -3, 4, 4, 4 * 1, 5, 0, 0, 3},
                 {640, 0, 10, 10, 0, 0, 0, 0, 0},
                 {0, 0, 0, 5, 0, 0, 0, 0, 0}};
    std::vector<uint16_t> img(100 * 4);  // row r, column i: r * 1000 + i + 1
    for (int i = 0; i < 400; ++i) img[i] = uint16_t(i / 100 * 1000 + i % 100 + 1);
    for (const auto& k : cases) {
        SCOPED_TRACE(testing::Message() << "at " << k.x << "," << k.y);
        ScCard* c = ScCreate(640, 48);
        const int n = ScWriteRect(c, SC_FRONT, k.x, k.y, k.w, k.h, img.data(), 200);
        EXPECT_EQ(n, k.written);
        const uint16_t want = img[k.srcRow * 100 + k.srcCol];
        std::vector<uint16_t> back(100 * 4, 0);
        if (n > 0) {
            EXPECT_EQ(Px(c, k.firstX, k.firstY, SC_FRONT), want);
            EXPECT_EQ(ScReadRect(c, SC_FRONT, k.x, k.y, k.w, k.h, back.data(), 200), n);
            EXPECT_EQ(back[k.srcRow * 100 + k.srcCol], want) << "read back";
        }
        EXPECT_EQ(Px(c, 1, 1, SC_BACK), 0);
        ScDestroy(c);
    }
}

}  // namespace
