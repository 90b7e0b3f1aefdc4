// Any thread count and SIMD copy draws the same buffers; the thread setting.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <vector>

#include "softcard_support.h"

namespace {

struct Outcome {
    std::vector<uint16_t> buffers[3];  // front, back, depth
    std::vector<int> results;          // ScDraw's and ScReadDepth's, in call order
};

// A random scene of every primitive, state and kind of vertex (cut, refused, NaN, infinite, far
// out), with calls that must wait for the queued draws (reads, writes, clears, swaps, reloads).
Outcome Scene(int threads, int simd, uint32_t seed, int cw, int ch) {
    const float junk[] = {
        std::numeric_limits<float>::quiet_NaN(), INFINITY, -INFINITY, 3e6f, -1e6f, 1e-30f, -0.0f};
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> pos(-30.0f, 190.0f), uv(-2.0f, 3.0f), w(0.2f, 2.0f);
    std::uniform_real_distribution<float> small(0.0f, 12.0f);
    std::uniform_int_distribution<uint32_t> any(0, 0xFFFFFFFFu);
    std::vector<uint16_t> texels(32 * 32);
    for (auto& t : texels) t = uint16_t(any(rng));
    ScTexture* textures[2] = {ScTextureCreate(32, 32), ScTextureCreate(5, 3)};
    for (ScTexture* t : textures)
        ScTextureLoad(t, SC_FMT_RGB565, texels.data(), 0, nullptr, SC_KEY_RAW, texels[3]);

    ScCard* c = ScCreate(cw, ch);
    ScSetThreads(c, threads);
    ScSetSimdLimit(c, ScSimd(simd));
    EXPECT_EQ(ScThreads(c), std::min(threads, ch));  // at most one per row
    Outcome out;
    auto vertex = [&](bool tiny, float x0, float y0) {
        const uint32_t r = any(rng);
        float z = float(any(rng) & 0xFFFF), rhw = w(rng);
        if (r % 13 == 0) z = -z;   // behind the near plane: cut
        if (r % 97 == 1) rhw = 0;  // refused
        const float x = tiny ? x0 + small(rng) : pos(rng) * cw / 160,
                    y = tiny ? y0 + small(rng) : pos(rng) * ch / 97;
        ScVertex v{x, y, z, rhw, any(rng), uv(rng), uv(rng)};
        float* fields[] = {&v.x, &v.y, &v.z, &v.rhw, &v.u, &v.v};
        if (r % 19 == 3) *fields[r / 19 % 6] = junk[r / 114 % 7];
        return v;
    };
    for (int step = 0; step < 120; ++step) {
        const uint32_t r = any(rng);
        ScSetTexture(c, r & 1 ? textures[(r >> 1) & 1] : nullptr);
        ScSetFilter(c, r & 4 ? SC_BILINEAR : SC_NEAREST, r & 8 ? SC_BILINEAR : SC_NEAREST);
        ScSetBlend(c, (r & 16) != 0);
        ScSetColorKey(c, (r & 32) != 0);
        ScSetDepthFunc(c, r & 64 ? SC_DEPTH_LESS : SC_DEPTH_ALWAYS);
        ScSetDepthWrite(c, (r & 128) != 0);
        ScSetDither(c, (r & 256) != 0);
        ScSetCull(c, ScCull((r >> 9) % 3));
        if (r % 7 == 0)
            ScSetClip(c, int(any(rng) % (cw / 2 + 1)), int(any(rng) % (ch / 2 + 1)),
                      cw / 2 + int(any(rng) % (cw / 2 + 2)), ch / 2 + int(any(rng) % (ch / 2 + 2)));
        if (r % 11 == 0) ScSetClip(c, 0, 0, cw, ch);
        ScSetRenderBuffer(c, r % 17 == 0 ? SC_FRONT : SC_BACK);
        const ScPrim prims[] = {SC_TRIANGLES, SC_STRIP, SC_FAN, SC_POLYGON, SC_LINE_STRIP};
        const ScPrim prim = prims[(r >> 12) % 5];
        const bool tiny = (r >> 16) & 1;
        std::vector<ScVertex> v;
        const float x0 = pos(rng) * cw / 160, y0 = pos(rng) * ch / 97;
        const int n = 3 + int(any(rng) % 12);
        for (int i = 0; i < n; ++i) v.push_back(vertex(tiny, x0, y0));
        out.results.push_back(ScDraw(c, prim, v.data(), n));
        // Now and then something that needs the pixels as drawn so far.
        switch ((r >> 20) % 16) {
        case 0:
            out.results.push_back(ScReadDepth(c, int(any(rng) % cw), int(any(rng) % ch)));
            break;
        case 1: {
            uint16_t px[8 * 6] = {};
            ScReadRect(c, SC_BACK, int(any(rng) % cw) - 4, int(any(rng) % ch) - 3, 8, 6, px, 16);
            for (uint16_t p : px) out.results.push_back(p);
            break;
        }
        case 2: {
            const uint16_t patch[4 * 4] = {0x1234, 0x4321, 0xFFFF, 0, 1, 2,  3,  4,
                                           5,      6,      7,      8, 9, 10, 11, 12};
            ScWriteRect(c, r & 1 ? SC_DEPTH : SC_BACK, int(any(rng) % cw) - 2,
                        int(any(rng) % ch) - 2, 4, 4, patch, 8);
            break;
        }
        case 3: ScPixels(c, SC_BACK)[any(rng) % uint32_t(cw * ch)] ^= 0x0F0F; break;
        case 4: ScClearDepth(c, uint16_t(0x8000 + any(rng) % 0x8000)); break;
        case 5: ScSwap(c); break;
        case 6:
            texels[any(rng) % texels.size()] = uint16_t(any(rng));
            ScTextureLoad(textures[0], SC_FMT_RGB565, texels.data(), 0, nullptr, SC_KEY_NONE, 0);
            break;
        case 7: ScClearColor(c, SC_BACK, uint16_t(any(rng))); break;
        default: break;
        }
    }
    ScFinish(c);
    const ScBuffer kinds[3] = {SC_FRONT, SC_BACK, SC_DEPTH};
    for (int k = 0; k < 3; ++k)
        out.buffers[k].assign(ScPixels(c, kinds[k]), ScPixels(c, kinds[k]) + cw * ch);
    ScDestroy(c);
    for (ScTexture* t : textures) ScTextureDestroy(t);
    return out;
}

// Every other seed on a tiny card, mostly span ends; rows not a multiple of the thread counts.
TEST(SoftcardThreads, RandomScenesGiveTheSameBuffersOnAnyThreadsAndRasteriserCopy) {
    const int tiny[][2] = {{1, 1}, {17, 9}, {9, 2}, {3, 7}, {33, 5}};
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        const int cw = seed % 2 ? tiny[seed / 2 % 5][0] : 160,
                  ch = seed % 2 ? tiny[seed / 2 % 5][1] : 97;
        const Outcome one = Scene(1, 0, seed, cw, ch);
        for (int run = 1; run < 3 * (ScSimdAvailable() + 1); ++run) {
            const int threads = run % 3 == 0 ? 1 : run % 3 == 1 ? 2 : 5, simd = run / 3;
            const Outcome many = Scene(threads, simd, seed, cw, ch);
            SCOPED_TRACE(testing::Message()
                         << "seed " << seed << ", " << threads << " threads, copy " << simd << ", "
                         << cw << "x" << ch);
            EXPECT_EQ(one.results, many.results);
            for (int k = 0; k < 3; ++k) {
                const Diff d = Compare(one.buffers[k].data(), many.buffers[k].data(), cw * ch);
                EXPECT_EQ(d.count, 0) << "buffer " << k << " (front, back, depth), first at "
                                      << d.first % cw << "," << d.first / cw;
            }
        }
    }
}

// A scene big enough that the queue is drawn part way (it holds at most 100,000 vertices).
TEST(SoftcardThreads, LongQueuesAndManyThreads) {
    std::vector<ScVertex> v;
    for (int i = 0; i < 40000 * 3; ++i) {
        const float x = float((i / 3 * 37) % 600), y = float((i / 3 * 11) % 440);
        v.push_back(V(x + (i % 3 == 1 ? 30.0f : 0.0f), y + (i % 3 == 2 ? 30.0f : 0.0f),
                      0xFF000000u | uint32_t(i * 2654435761u)));
    }
    std::vector<uint16_t> want;
    for (int threads : {1, 3, 64}) {
        ScCard* c = PlainCard(640, 480);
        ScSetThreads(c, threads);
        EXPECT_EQ(ScDraw(c, SC_TRIANGLES, v.data(), int(v.size())), 40000);
        ScDraw(c, SC_TRIANGLES, v.data(), int(v.size()));
        const uint16_t* p = ScPixels(c, SC_BACK);
        if (want.empty())
            want.assign(p, p + 640 * 480);
        else
            EXPECT_TRUE(std::equal(want.begin(), want.end(), p)) << threads << " threads";
        ScDestroy(c);
    }
}

TEST(SoftcardThreads, ThreadSetting) {
    ScCard* c = ScCreate(8, 3);
    for (auto [asked, got] : {std::pair{0, 1}, {-5, 1}, {2, 2}, {3, 3}, {9, 3}, {1, 1}}) {
        ScSetThreads(c, asked);
        EXPECT_EQ(ScThreads(c), got) << "asked " << asked << " (at most one per row)";
    }
    ScDestroy(c);
    EXPECT_EQ(ScThreads(nullptr), 0);
    ScSetThreads(nullptr, 2);
    ScFinish(nullptr);
    // Without --card-threads, TAMBIR_CARD_THREADS decides; unset, one thread per core.
    setenv("TAMBIR_CARD_THREADS", "3", 1);
    c = ScCreate(64, 64);
    EXPECT_EQ(ScThreads(c), 3);
    ScDestroy(c);
    unsetenv("TAMBIR_CARD_THREADS");
    c = ScCreate(64, 64);
    EXPECT_GE(ScThreads(c), 1);
    ScDestroy(c);
}

}  // namespace
