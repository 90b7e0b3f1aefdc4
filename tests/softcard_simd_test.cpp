// The AVX2 and AVX-512 copies of the rasteriser draw exactly the pixels of the plain copy (each
// one the processor has).
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "softcard_support.h"

namespace {

TEST(SoftcardSimd, SameDepthAndPixelsAsThePlainCopyInEveryMode) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> pos(-20.0f, 150.0f), uv(-2.0f, 3.0f), w(0.2f, 2.0f);
    std::uniform_real_distribution<float> small(0.0f, 15.9f);
    std::uniform_int_distribution<uint32_t> colour(0, 0xFFFFFFFFu);
    std::vector<uint16_t> texels(32 * 16);
    for (auto& t : texels) t = uint16_t(colour(rng));
    texels[5] = texels[77] = 0xF81F;
    const struct { int w, h; } sizes[] = {{32, 16}, {3, 5}};
    for (const auto& size : sizes) {
        ScTexture* tex = ScTextureCreate(size.w, size.h);
        ScTextureLoad(tex, SC_FMT_RGB565, texels.data(), 0, nullptr, SC_KEY_RAW, 0xF81F);
        for (int mode = 0; mode < 64; ++mode) {
            // Large triangles, then small ones (no larger than 16 pixels each way).
            std::vector<ScVertex> tris;
            for (int i = 0; i < 60 * 3; ++i)
                tris.push_back(ScVertex{pos(rng), pos(rng), float(colour(rng) & 0xFFFF), w(rng),
                                        colour(rng), uv(rng), uv(rng)});
            for (int i = 0; i < 60; ++i) {
                float x = pos(rng), y = pos(rng);
                for (int k = 0; k < 3; ++k)
                    tris.push_back(ScVertex{x + small(rng), y + small(rng),
                                            float(colour(rng) & 0xFFFF), w(rng), colour(rng),
                                            uv(rng) * 0.1f, uv(rng) * 0.1f});
            }
            static uint16_t result[3][2][128 * 128];
            const int widest = ScSimdAvailable();
            for (int simd = 0; simd <= widest; ++simd) {
                ScCard* c = ScCreate(128, 128);
                ScSetSimdLimit(c, ScSimd(simd));
                ScSetTexture(c, (mode & 1) ? tex : nullptr);
                ScSetFilter(c, (mode & 2) ? SC_BILINEAR : SC_NEAREST,
                            (mode & 2) ? SC_BILINEAR : SC_NEAREST);
                ScSetBlend(c, (mode & 4) != 0);
                ScSetColorKey(c, (mode & 8) != 0);
                ScSetDepthFunc(c, (mode & 16) ? SC_DEPTH_LESS : SC_DEPTH_ALWAYS);
                ScSetDither(c, (mode & 32) != 0);
                ScClearColor(c, SC_BACK, 0x5555);
                ScDraw(c, SC_TRIANGLES, tris.data(), int(tris.size()));
                ScDraw(c, SC_LINE_STRIP, tris.data(), 40);
                ScReadRect(c, SC_BACK, 0, 0, 128, 128, result[simd][0], 256);
                ScReadRect(c, SC_DEPTH, 0, 0, 128, 128, result[simd][1], 256);
                ScDestroy(c);
            }
            for (int simd = 1; simd <= widest; ++simd) {
                int diff = 0;
                for (int i = 0; i < 128 * 128; ++i)
                    for (int b = 0; b < 2; ++b)
                        if (result[0][b][i] != result[simd][b][i] && diff++ < 3)
                            ADD_FAILURE()
                                << "texture " << size.w << "x" << size.h << " mode " << mode
                                << (b ? " depth" : " colour") << " at " << i % 128 << "," << i / 128
                                << ": plain " << Hex(result[0][b][i])
                                << (simd == 1 ? " AVX2 " : " AVX-512 ") << Hex(result[simd][b][i]);
                EXPECT_EQ(diff, 0) << "mode " << mode << " copy " << simd;
            }
        }
        ScTextureDestroy(tex);
    }
}

}  // namespace
