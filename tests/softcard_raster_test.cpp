// Rasterisation of the software card, pixel by pixel: fill rule, depth, blending, cull, clip,
// Gouraud colour, lines and bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "softcard_support.h"

namespace {

// Pixel centres strictly inside (by margin) or strictly outside a convex polygon.
int Side(const std::vector<ScVertex>& poly, float px, float py, float margin) {
    bool inside = true, outside = false;
    float area = 0;
    for (size_t i = 0; i < poly.size(); ++i) {
        const ScVertex& a = poly[i];
        const ScVertex& b = poly[(i + 1) % poly.size()];
        area += a.x * b.y - b.x * a.y;
    }
    for (size_t i = 0; i < poly.size(); ++i) {
        const ScVertex& a = poly[i];
        const ScVertex& b = poly[(i + 1) % poly.size()];
        float ex = b.x - a.x, ey = b.y - a.y, len = std::sqrt(ex * ex + ey * ey);
        float d = ((px - a.x) * ey - (py - a.y) * ex) / len * (area > 0 ? -1.0f : 1.0f);
        if (d < margin) inside = false;
        if (d < -margin) outside = true;
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
        // Rim points on a circle at jittered angles: convex, at arbitrary sub-pixel positions.
        for (int i = 0; i <= spokes; ++i) {
            float a = (float(i % spokes) + (i % spokes ? jitter(rng) : 0)) * 6.2831853f / spokes;
            rim.push_back(V(cx + 55.0f * std::cos(a), cy + 55.0f * std::sin(a), 0x80FFFFFF));
        }
        rim.back() = rim.front();
        fan.insert(fan.end(), rim.begin(), rim.end());
        ScDraw(c, SC_FAN, fan.data(), int(fan.size()));
        rim.pop_back();
        int wrong = 0, checked = 0;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 200; ++x) {
                uint16_t got = Px(c, x, y);
                int side = Side(rim, x + 0.5f, y + 0.5f, 0.05f);  // vertices snap to 1/16
                if (got != 0 && got != once) {
                    ++wrong;
                    ADD_FAILURE() << "round " << round << " pixel " << x << "," << y
                                  << " covered more than once: got " << Hex(got);
                } else if (side > 0 && got != once) {
                    ++wrong;
                    ADD_FAILURE() << "round " << round << " gap at " << x << "," << y;
                } else if (side < 0 && got != 0) {
                    ++wrong;
                    ADD_FAILURE() << "round " << round << " outside pixel " << x << "," << y;
                }
                checked += side != 0;
                if (wrong > 5) break;
            }
        EXPECT_GT(checked, 9000);
        ScDestroy(c);
    }
}

TEST(SoftcardFill, SpriteQuadCoversItsRectangleExactly) {
    // The devices' sprite u = 10 (height), v = 20 (width) at (100, 50): x 90 to 110, y 45 to 55,
    // as a fan and as a polygon: columns 90..109, rows 45..54.
    for (ScPrim prim : {SC_FAN, SC_POLYGON}) {
        ScCard* c = PlainCard();
        ScVertex q[4] = {V(90, 45), V(90, 55), V(110, 55), V(110, 45)};
        EXPECT_EQ(ScDraw(c, prim, q, 4), 2);
        int wrong = 0;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 200; ++x) {
                bool want = x >= 90 && x < 110 && y >= 45 && y < 55;
                if ((Px(c, x, y) == 0xFFFF) != want && wrong++ < 4)
                    ADD_FAILURE() << "prim " << prim << " pixel " << x << "," << y << " want "
                                  << want;
            }
        ScDestroy(c);
    }
}

TEST(SoftcardFill, TopLeftRuleOnPixelCentres) {
    const struct {
        float x0, y0, x1, y1;
        int cols0, cols1, rows0, rows1;  // covered columns and rows, end exclusive
    } cases[] = {
        {10.5f, 10.5f, 20.5f, 20.5f, 10, 20, 10, 20},   // edges through centres: left/top in
        {10.4f, 10.4f, 20.4f, 20.4f, 10, 20, 10, 20},
        {10.6f, 10.6f, 20.6f, 20.6f, 11, 21, 11, 21},
        {10.0f, 10.0f, 10.5f, 10.5f, 10, 10, 10, 10},   // no centre inside: nothing
        {10.0f, 10.0f, 10.56f, 10.56f, 10, 11, 10, 11}, // one centre
        {-5.0f, -5.0f, 3.0f, 2.0f, 0, 3, 0, 2},         // off the top-left corner
    };
    for (const auto& k : cases) {
        ScCard* c = PlainCard(40, 40);
        Quad(c, k.x0, k.y0, k.x1, k.y1);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) {
                bool want = x >= k.cols0 && x < k.cols1 && y >= k.rows0 && y < k.rows1;
                bool got = Px(c, x, y) != 0;
                if (got != want) {
                    ADD_FAILURE() << "rect " << k.x0 << "," << k.y0 << "-" << k.x1 << "," << k.y1
                                  << " pixel " << x << "," << y << ": expected " << want
                                  << " got " << got;
                    y = 40;
                    break;
                }
            }
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
        uint16_t depthAfter;
    } cases[] = {
        {SC_DEPTH_LESS, true, 1000, 999, true, 999},
        {SC_DEPTH_LESS, true, 1000, 1000, false, 1000},  // equal is not less
        {SC_DEPTH_LESS, true, 1000, 1001, false, 1000},
        {SC_DEPTH_LESS, false, 1000, 10, true, 1000},
        {SC_DEPTH_ALWAYS, true, 1000, 5000, true, 5000},
        {SC_DEPTH_ALWAYS, false, 1000, 5000, true, 1000},
        {SC_DEPTH_LESS, true, 0xFFFF, 70000, false, 0xFFFF},  // clamped to 65535
        {SC_DEPTH_ALWAYS, true, 7, -20, true, 0},             // clamped to 0
    };
    for (const auto& k : cases) {
        ScCard* c = PlainCard(16, 16);
        ScClearDepth(c, k.stored);
        ScSetDepthFunc(c, k.func);
        ScSetDepthWrite(c, k.write);
        Quad(c, 2, 2, 10, 10, 0xFFFF0000, 0, 0, 1, 1, k.z);
        EXPECT_EQ(Px(c, 5, 5) == 0xF800, k.drawn) << "func " << k.func << " z " << k.z;
        EXPECT_EQ(ScReadDepth(c, 5, 5), k.depthAfter) << "func " << k.func << " z " << k.z;
        EXPECT_EQ(ScReadDepth(c, 12, 12), k.stored);
        ScDestroy(c);
    }
}

TEST(SoftcardDepth, ScaleAndInterpolationAcrossATriangle) {
    ScCard* c = PlainCard(64, 8);
    ScSetDepthScale(c, 65535.0f);
    ScVertex q[4] = {V(0, 0, ~0u, 0, 0, 0.0f), V(0, 8, ~0u, 0, 0, 0.0f),
                     V(64, 8, ~0u, 0, 0, 1.0f), V(64, 0, ~0u, 0, 0, 1.0f)};
    ScDraw(c, SC_FAN, q, 4);
    for (int x : {0, 1, 31, 32, 63}) {
        double want = 65535.0 * (x + 0.5) / 64;
        EXPECT_NEAR(ScReadDepth(c, x, 4), want, 1.5) << "column " << x;
    }
    EXPECT_EQ(ScReadDepth(c, -1, 0), -1);
    EXPECT_EQ(ScReadDepth(c, 64, 0), -1);
    EXPECT_EQ(ScReadDepth(c, 0, 8), -1);
    ScDestroy(c);
}

TEST(SoftcardBlend, SourceAlphaArithmetic) {
    const struct {
        uint32_t src;
        uint16_t dst, want;
    } cases[] = {
        {0x80FFFFFF, 0x0000, Rgb565(128, 128, 128)},
        {0xFFFF0000, 0x07E0, 0xF800},                // opaque replaces
        {0x00FF0000, 0x07E0, 0x07E0},                // transparent keeps
        {0x40C86432, 0x07E0, 0x36C1},                // (200,100,50) a 64 over green: 50,216,13
        {0x80000000, 0xFFFF, Rgb565(127, 127, 127)}, // black half over white
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

TEST(SoftcardState, CullModesBySreenWinding) {
    // (10,10) (30,10) (10,30) runs clockwise on screen (y grows downwards).
    const ScVertex cw[3] = {V(10, 10), V(30, 10), V(10, 30)};
    const ScVertex ccw[3] = {V(10, 10), V(10, 30), V(30, 10)};
    const struct {
        ScCull cull;
        bool cwDrawn, ccwDrawn;
    } cases[] = {{SC_CULL_NONE, true, true}, {SC_CULL_CW, false, true}, {SC_CULL_CCW, true, false}};
    for (const auto& k : cases) {
        for (int which = 0; which < 2; ++which) {
            ScCard* c = PlainCard(40, 40);
            ScSetCull(c, k.cull);
            ScDraw(c, SC_TRIANGLES, which ? ccw : cw, 3);
            bool want = which ? k.ccwDrawn : k.cwDrawn;
            EXPECT_EQ(Px(c, 14, 14) != 0, want) << "cull " << k.cull << (which ? " ccw" : " cw");
            ScDestroy(c);
        }
    }
    // A strip keeps one facing: its second triangle is turned back before culling.
    ScCard* c = PlainCard(40, 40);
    ScSetCull(c, SC_CULL_CCW);
    ScVertex strip[4] = {V(0, 0), V(20, 0), V(0, 20), V(20, 20)};
    ScDraw(c, SC_STRIP, strip, 4);
    EXPECT_NE(Px(c, 2, 2), 0);
    EXPECT_NE(Px(c, 18, 18), 0);
    ScDestroy(c);
}

TEST(SoftcardState, ClipWindowLimitsDrawingExclusiveOfItsEnd) {
    const struct {
        int x0, y0, x1, y1;
        int wx0, wy0, wx1, wy1;  // the window after clamping
    } cases[] = {
        {10, 20, 30, 40, 10, 20, 30, 40},
        {0, 0, 64, 48, 0, 0, 64, 48},
        {-5, -5, 900, 900, 0, 0, 64, 48},
        {30, 30, 10, 10, 30, 30, 30, 30},  // empty
    };
    for (const auto& k : cases) {
        ScCard* c = PlainCard(64, 48);
        ScSetClip(c, k.x0, k.y0, k.x1, k.y1);
        Quad(c, -100, -100, 200, 200);
        int bad = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                bool want = x >= k.wx0 && x < k.wx1 && y >= k.wy0 && y < k.wy1;
                if ((Px(c, x, y) != 0) != want) ++bad;
            }
        EXPECT_EQ(bad, 0) << "clip " << k.x0 << "," << k.y0 << "," << k.x1 << "," << k.y1;
        ScDestroy(c);
    }
}

TEST(SoftcardColour, GouraudFollowsThePlaneAtPixelCentres) {
    ScCard* c = PlainCard(64, 4);
    ScVertex q[4] = {V(0, 0, 0xFF000000), V(0, 4, 0xFF000000), V(64, 4, 0xFFFF00FF),
                     V(64, 0, 0xFFFF00FF)};
    ScDraw(c, SC_FAN, q, 4);
    for (int x = 0; x < 64; x += 7) {
        int want = int(255.0 * (x + 0.5) / 64);
        uint16_t p = Px(c, x, 2);
        EXPECT_NEAR(p >> 11, want >> 3, 1) << "column " << x;
        EXPECT_NEAR(p & 31, want >> 3, 1) << "column " << x;
        EXPECT_EQ((p >> 5) & 63, 0) << "column " << x;
    }
    ScDestroy(c);
}

TEST(SoftcardColour, DitherMixesNeighbourLevelsAndCanBeTurnedOff) {
    for (bool on : {false, true}) {
        ScCard* c = PlainCard(8, 8);
        ScSetDither(c, on);
        Quad(c, 0, 0, 8, 8, 0xFF848484);  // 132: between 5-bit levels 16 (128) and 17 (136)
        int high = 0;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) high += (Px(c, x, y) >> 11) == 17;
        EXPECT_EQ(high, on ? 8 : 0) << "dither " << on;
        ScDestroy(c);
    }
}

TEST(SoftcardLines, StripsDrawEachPixelOnceWithoutTheLastOne) {
    ScCard* c = PlainCard(40, 40);
    ScSetBlend(c, true);
    ScVertex s[3] = {V(5.5f, 5.5f, 0x80FFFFFF), V(15.5f, 5.5f, 0x80FFFFFF),
                     V(15.5f, 25.5f, 0x80FFFFFF)};
    EXPECT_EQ(ScDraw(c, SC_LINE_STRIP, s, 3), 2);
    const uint16_t once = Rgb565(128, 128, 128);
    int count = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            uint16_t p = Px(c, x, y);
            EXPECT_TRUE(p == 0 || p == once) << x << "," << y << " got " << Hex(p);
            count += p != 0;
        }
    EXPECT_EQ(count, 30);
    EXPECT_EQ(Px(c, 5, 5), once);
    EXPECT_EQ(Px(c, 15, 5), once);
    EXPECT_EQ(Px(c, 15, 24), once);
    EXPECT_EQ(Px(c, 15, 25), 0);
    ScDestroy(c);
}

TEST(SoftcardRobust, BadInputNeverCrashesNorWritesOutside) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(ScCreate(0, 10), nullptr);
    EXPECT_EQ(ScCreate(10, -1), nullptr);
    EXPECT_EQ(ScCreate(100000, 10), nullptr);
    EXPECT_EQ(ScDraw(nullptr, SC_FAN, nullptr, 3), -1);
    ScCard* c = PlainCard(32, 32);
    EXPECT_EQ(ScDraw(c, SC_FAN, nullptr, 3), -1);
    EXPECT_EQ(ScDraw(c, ScPrim(5), nullptr, 3), -1);
    ScVertex one = V(1, 1);
    EXPECT_EQ(ScDraw(c, SC_TRIANGLES, &one, 1), 0);
    EXPECT_EQ(ScDraw(c, SC_TRIANGLES, &one, -7), 0);
    const ScVertex bad[][3] = {
        {V(nan, 0), V(10, 0), V(0, 10)},
        {V(inf, 0), V(10, 0), V(0, 10)},
        {V(0, -inf), V(10, 0), V(0, 10)},
        {V(2e6f, 0), V(10, 0), V(0, 10)},
    };
    for (const auto& t : bad) ScDraw(c, SC_TRIANGLES, t, 3);
    for (int i = 0; i < 32 * 32; ++i) ASSERT_EQ(ScPixels(c, SC_BACK)[i], 0) << i;
    // Far away vertices within range, NaN attributes: drawn, clipped to the buffer.
    ScVertex far[3] = {V(-9e5f, -9e5f, ~0u, nan, inf, nan, nan), V(9e5f, -10, ~0u, 0, 0, inf, 0),
                       V(0, 9e5f, ~0u, 0, 0, 0, -1)};
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
    ScSetBlend(nullptr, true);
    ScClearColor(nullptr, SC_BACK, 0);
    ScPresent(nullptr, nullptr);
    ScSwap(nullptr);
    EXPECT_EQ(ScReadDepth(nullptr, 0, 0), -1);
    EXPECT_EQ(ScTextureCreate(0, 4), nullptr);
    EXPECT_FALSE(ScTextureLoad(nullptr, SC_FMT_RGB565, &one, 0, nullptr, SC_KEY_NONE, 0));
    ScDestroy(nullptr);
    ScDestroy(c);
}

TEST(SoftcardRobust, ExtremeTrianglesOnTinyBuffersStayInside) {
    // Seeded garbage: coordinates from tiny to beyond the limit, NaN and infinite attributes,
    // every mode, buffers of a few pixels (the sanitizers catch any access outside).
    std::mt19937 rng(42);
    const float specials[] = {0.0f, -0.0f, 1e-30f, -1e6f, 1e6f, 3e6f, 0.5f, 7.49f,
                              std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity()};
    auto value = [&](float scale) {
        return (rng() % 4 == 0) ? specials[rng() % 10]
                                : (float(rng() % 20001) / 10000.0f - 0.5f) * scale;
    };
    const struct {
        int w, h, tw, th;
    } sizes[] = {{1, 1, 1, 1}, {3, 7, 4, 2}, {17, 9, 3, 5}, {9, 2, 64, 1}};
    for (const auto& k : sizes) {
        ScCard* c = ScCreate(k.w, k.h);
        ScTexture* t = ScTextureCreate(k.tw, k.th);
        for (int mode = 0; mode < 64; ++mode) {
            ScSetTexture(c, (mode & 1) ? t : nullptr);
            ScSetFilter(c, (mode & 2) ? SC_BILINEAR : SC_NEAREST, SC_BILINEAR);
            ScSetBlend(c, (mode & 4) != 0);
            ScSetDepthFunc(c, (mode & 8) ? SC_DEPTH_LESS : SC_DEPTH_ALWAYS);
            ScSetSimd(c, (mode & 16) != 0);
            ScSetClip(c, int(rng() % 3) - 1, int(rng() % 3) - 1, k.w + int(rng() % 3) - 1, k.h);
            ScVertex v[12];
            for (ScVertex& p : v)
                p = ScVertex{value(4.0f * k.w), value(4.0f * k.h), value(70000.0f), value(3.0f),
                             uint32_t(rng()), value(100.0f), value(100.0f)};
            ScDraw(c, ScPrim(1 + (mode >> 4) % 4), v, 12);
            ScDraw(c, SC_LINE_STRIP, v, 12);
        }
        ScTextureDestroy(t);
        ScDestroy(c);
    }
}

TEST(SoftcardPixels, RectanglesAreClippedToTheBuffer) {
    const struct {
        int x, y, w, h;
        int written;
        int firstX, firstY, srcCol, srcRow;  // first written pixel and where it came from
    } cases[] = {
        {600, 10, 100, 4, 40 * 4, 600, 10, 0, 0},
        {-10, 0, 100, 2, 90 * 2, 0, 0, 10, 0},
        {5, -3, 4, 4, 4 * 1, 5, 0, 0, 3},
        {640, 0, 10, 10, 0, 0, 0, 0, 0},
        {0, 0, 0, 5, 0, 0, 0, 0, 0},
    };
    std::vector<uint16_t> img(100 * 4);
    for (int r = 0; r < 4; ++r)
        for (int i = 0; i < 100; ++i) img[r * 100 + i] = uint16_t(r * 1000 + i + 1);
    for (const auto& k : cases) {
        ScCard* c = ScCreate(640, 48);
        int n = ScWriteRect(c, SC_FRONT, k.x, k.y, k.w, k.h, img.data(), 200);
        EXPECT_EQ(n, k.written) << "at " << k.x << "," << k.y;
        if (n > 0) {
            EXPECT_EQ(Px(c, k.firstX, k.firstY, SC_FRONT), img[k.srcRow * 100 + k.srcCol])
                << "at " << k.x << "," << k.y;
            std::vector<uint16_t> back(100 * 4, 0);
            EXPECT_EQ(ScReadRect(c, SC_FRONT, k.x, k.y, k.w, k.h, back.data(), 200), n);
            EXPECT_EQ(back[k.srcRow * 100 + k.srcCol], img[k.srcRow * 100 + k.srcCol]);
        }
        EXPECT_EQ(Px(c, 1, 1, SC_BACK), 0);
        ScDestroy(c);
    }
}

TEST(SoftcardPixels, ClearsAndBufferSwap) {
    ScCard* c = PlainCard(8, 8);
    ScClearColor(c, SC_BACK, 0x1234);
    ScClearColor(c, SC_FRONT, 0x4321);
    ScClearDepth(c, 77);
    EXPECT_EQ(Px(c, 7, 7), 0x1234);
    EXPECT_EQ(ScReadDepth(c, 3, 3), 77);
    ScSwap(c);
    EXPECT_EQ(Px(c, 0, 0, SC_FRONT), 0x1234);
    EXPECT_EQ(Px(c, 0, 0, SC_BACK), 0x4321);
    ScSetRenderBuffer(c, SC_FRONT);
    Quad(c, 0, 0, 4, 4, 0xFF0000FF);
    EXPECT_EQ(Px(c, 1, 1, SC_FRONT), 0x001F);
    EXPECT_EQ(Px(c, 1, 1, SC_BACK), 0x4321);
    ScDestroy(c);
}

}  // namespace
