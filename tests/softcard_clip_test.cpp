// The software card's cut at the near plane: what reaches behind the camera draws its front.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "softcard_support.h"

namespace {

// A camera down +z, w = z, near plane z = 1, 40 pixels per unit around (100, 50), y up; depth
// 1000 (z - 1) / z times depthUnit (1/65535 for depths of 0..1).
struct Eye {
    float depthUnit = 1.0f;
    ScVertex See(float x, float y, float z, uint32_t color = ~0u, float u = 0, float v = 0) const {
        return ScVertex{
            100 + 40 * x / z, 50 - 40 * y / z, 1000 * (z - 1) / z * depthUnit, 1 / z, color, u, v};
    }
};

struct P {
    float x, y, z;
    uint32_t color;
    float u, v;
};
// The point at s from a to b, colour per channel.
P Mix(const P& a, const P& b, float s) {
    uint32_t c = 0;
    for (int sh = 0; sh < 32; sh += 8) {
        float ca = float((a.color >> sh) & 0xFF), cb = float((b.color >> sh) & 0xFF);
        c |= uint32_t(ca + (cb - ca) * s + 0.5f) << sh;
    }
    return P{a.x + (b.x - a.x) * s, a.y + (b.y - a.y) * s, a.z + (b.z - a.z) * s, c,
             a.u + (b.u - a.u) * s, a.v + (b.v - a.v) * s};
}
// Where the edge a-b meets the near plane z = 1.
P Near(const P& a, const P& b) { return Mix(a, b, (1 - a.z) / (b.z - a.z)); }

// A card as the devices use it: depth less, cleared to 0x1234, textured.
ScCard* Card(float depthScale, ScTexture* t) {
    ScCard* c = PlainCard(200, 160);
    ScSetDepthScale(c, depthScale);
    ScSetDepthFunc(c, SC_DEPTH_LESS);
    ScClearColor(c, SC_BACK, 0x1234);
    ScClearDepth(c, 0xFFFF);
    ScSetTexture(c, t);
    return c;
}

// Pixels of buffer b differing between two cards (or from `value` when the second is null).
int Differ(ScCard* x, ScCard* y, ScBuffer b, uint16_t value = 0x1234) {
    int n = 0;
    for (int i = 0; i < 200 * 160; ++i) n += ScPixels(x, b)[i] != (y ? ScPixels(y, b)[i] : value);
    return n;
}

// Floor triangles reaching behind the camera against their part cut by hand, at both depth scales.
TEST(SoftcardNearPlane, TrianglesDrawExactlyTheirPartInFront) {
    const P a{-2, -2, 2, 0xFFFF0000, 0, 0}, b{2, -2, 2, 0xFF00FF00, 1, 0},
        behind{0, -2, -2, 0xFF0000FF, 0.5f, 1}, behind2{2, -2, -2, 0xFF4080C0, 1, 1},
        between{1, -2, 0.5f, 0xFF3030F0, 1, 1};
    ScTexture* tex = MakeTexture(8, 8, [](int x, int y) { return (x + y) & 1 ? 0xFFFF : 0x4208; });
    for (float unit : {1.0f, 1.0f / 65535}) {
        Eye e{unit};
        auto see = [&](const P& p) { return e.See(p.x, p.y, p.z, p.color, p.u, p.v); };
        const struct {
            const char* name;
            P tri[3];
            std::vector<P> cut;  // the part in front, in the order the card fans it
            int pixels;          // at least this many drawn
            int differ;          // at most this many pixels differ
        } cases[] = {
            {"one behind", {a, b, behind}, {Near(a, behind), a, b, Near(b, behind)}, 3000, 0},
            {"two behind", {a, behind, behind2}, {Near(a, behind2), a, Near(a, behind)}, 300, 0},
            {"one between", {a, b, between}, {Near(a, between), a, b, Near(b, between)}, 2000, 4},
            {"three behind", {behind, between, P{-1, -2, -4, ~0u, 0, 0}}, {}, 0, 0},
        };
        for (const auto& k : cases) {
            SCOPED_TRACE(std::string(k.name) +
                         (unit == 1.0f ? ", depth 0..65535" : ", depth 0..1"));
            const float scale = unit == 1.0f ? 1.0f : 65535.0f;
            ScCard* clipped = Card(scale, tex);
            const ScVertex tri[3] = {see(k.tri[0]), see(k.tri[1]), see(k.tri[2])};
            EXPECT_EQ(ScDraw(clipped, SC_TRIANGLES, tri, 3), k.cut.empty() ? 0 : 1);
            ScCard* byHand = Card(scale, tex);
            std::vector<ScVertex> poly;
            for (const P& p : k.cut) poly.push_back(see(p));
            if (!poly.empty()) ScDraw(byHand, SC_POLYGON, poly.data(), int(poly.size()));
            EXPECT_LE(Differ(clipped, byHand, SC_BACK), k.differ);
            EXPECT_LE(Differ(clipped, byHand, SC_DEPTH), k.differ);
            EXPECT_GE(Differ(clipped, nullptr, SC_BACK), k.pixels);
            // Nothing below the near plane's horizon (y = 50 + 80 at z = 1).
            for (int y = 130; y < 160; ++y)
                for (int x = 0; x < 200; ++x) ASSERT_EQ(Px(clipped, x, y), 0x1234) << x << "," << y;
            ScDestroy(clipped);
            ScDestroy(byHand);
        }
    }
    ScTextureDestroy(tex);
}

// A floor strip and fan from z = 8 to behind the camera keep their winding through the cut.
TEST(SoftcardNearPlane, StripsAndFansKeepTheirWindingThroughTheCut) {
    Eye e;
    const float zs[] = {8, 4, 2, -2, -6};
    std::vector<ScVertex> strip;
    for (float z : zs) {
        strip.push_back(e.See(-2, -2, z));
        strip.push_back(e.See(2, -2, z));
    }
    std::vector<ScVertex> fan = {e.See(0, -2, 3),  e.See(-2, -2, 8),  e.See(2, -2, 8),
                                 e.See(2, -2, -6), e.See(-2, -2, -6), e.See(-2, -2, 8)};
    // By hand: the square cut at z = 1, corners in screen order.
    const ScVertex cut[4] = {e.See(-2, -2, 8), e.See(2, -2, 8), e.See(2, -2, 1), e.See(-2, -2, 1)};
    ScCard* ref = PlainCard(200, 160);
    ScSetDepthScale(ref, 1.0f);
    ScDraw(ref, SC_POLYGON, cut, 4);
    for (bool isStrip : {true, false}) {
        const std::vector<ScVertex>& vs = isStrip ? strip : fan;
        for (ScCull cull : {SC_CULL_NONE, SC_CULL_CW, SC_CULL_CCW}) {
            ScCard* c = PlainCard(200, 160);
            ScSetDepthScale(c, 1.0f);
            ScSetCull(c, cull);
            const int n = ScDraw(c, isStrip ? SC_STRIP : SC_FAN, vs.data(), int(vs.size()));
            // Strip: 8 triangles, the last two wholly behind; fan: 4, all reaching the front.
            EXPECT_EQ(n, isStrip ? 6 : 4);
            if (cull == SC_CULL_CW)
                EXPECT_EQ(Differ(c, nullptr, SC_BACK, 0), 0)
                    << (isStrip ? "strip" : "fan") << " culled";
            else
                EXPECT_EQ(Differ(c, ref, SC_BACK), 0)
                    << (isStrip ? "strip" : "fan") << " cull " << cull;
            ScDestroy(c);
        }
    }
    ScDestroy(ref);
}

}  // namespace
