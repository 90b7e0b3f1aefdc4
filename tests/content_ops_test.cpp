// The content toolkit: operators, texture conversion, and file writers read back by the engine.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numeric>

#include "files.h"
#include "image.h"
#include "pcx.h"
#include "texconv.h"

namespace {

double Sum(const Field& f) { return std::accumulate(f.v.begin(), f.v.end(), 0.0); }

TEST(ContentOps, NoisesAndPatternsTileAcrossTheirEdges) {
    const struct {
        const char* name;
        Field f;
    } cases[] = {
        {"value", ValueNoise(64, 64, 4, 4, 0.5f, 1)},
        {"gradient", GradientNoise(64, 64, 4, 4, 0.5f, 2)},
        {"ridged", Ridged(64, 64, 4, 3, 0.5f, 3)},
        {"cell", CellNoise(64, 64, 5, CELL_F1, 4)},
        {"bricks", Bricks(64, 64, 4, 2, 0.5f, 2, 3, 5)},
    };
    for (const auto& c : cases) {
        // A seam shows as a mean step across the wrap (column w-1 to 0) several times the mean
        // step between neighbours inside.
        double across = 0, inside = 0;
        for (int y = 0; y < c.f.h; ++y) {
            across += std::fabs(At(c.f, c.f.w - 1, y) - At(c.f, 0, y)) / c.f.h;
            for (int x = 0; x + 1 < c.f.w; ++x)
                inside += std::fabs(At(c.f, x, y) - At(c.f, x + 1, y)) / (c.f.h * (c.f.w - 1.0));
        }
        EXPECT_LT(across, inside * 3 + 1e-3) << c.name << ": " << across << ", inside " << inside;
        for (float v : c.f.v) ASSERT_TRUE(std::isfinite(v)) << c.name;
    }
}

TEST(ContentOps, BlurKeepsEnergyAndWrapsAround) {
    Field f = MakeField(32, 16);
    At(f, 0, 0) = 100;  // a spike in the corner spreads to all four corners
    const Field b = Blur(f, 3);
    EXPECT_NEAR(Sum(b), 100.0, 1e-3);
    EXPECT_GT(At(b, 31, 15), 0.1f);
    EXPECT_NEAR(At(b, 1, 0), At(b, 31, 0), 1e-4);
    Img im = MakeImg(16, 16, 0x804020);
    const Img bi = BlurImg(im, 2);
    for (size_t i = 0; i < im.px.size(); ++i)
        ASSERT_NEAR(bi.px[i], im.px[i], 1e-5) << "a flat image stays flat";
}

TEST(ContentOps, LightingFacesTheLightOnFlatGroundAndShadesSlopes) {
    Field flat = MakeField(8, 8, 0.5f);
    EXPECT_NEAR(At(Lighting(flat, 4, 0, 0, 1), 3, 3), 1.0f, 1e-5);
    Field ramp = LinearGradient(16, 16, 1, 0);
    const Field lit = Lighting(ramp, 8, -1, 0, 1), away = Lighting(ramp, 8, 1, 0, 1);
    EXPECT_GT(At(lit, 8, 8), At(away, 8, 8))
        << "a slope rising to the right faces a light on the left";
}

TEST(ContentOps, FireAnimatesAndLoops) {
    const std::vector<Field> frames = FireFrames(32, 64, 8, 0.012f, 3);
    ASSERT_EQ(frames.size(), 8u);
    double energy = 0;
    for (size_t k = 0; k < frames.size(); ++k) {
        energy += Sum(frames[k]);
        EXPECT_NE(frames[k].v, frames[(k + 1) % frames.size()].v) << "frame " << k;
    }
    EXPECT_GT(energy, 8 * 32 * 64 * 0.05) << "the flames reach into the picture";
}

// Every format: a gradient image converted and read back stays within the format's precision.
TEST(ContentOps, ConversionRoundTripsEveryFormat) {
    Img im = MakeImg(16, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            float* p = Px(im, x, y);
            p[0] = x / 15.0f, p[1] = y / 7.0f, p[2] = 1 - x / 15.0f, p[3] = (x + y) / 22.0f;
        }
    const struct {
        int format;
        int colourStep, alphaStep;  // largest error in 0..255 units; -1 when not held
        bool grey;
    } cases[] = {
        {TEX_RGB332, 80, -1, false}, {TEX_ALPHA8, -1, 1, false},    {TEX_INTENSITY8, -1, -1, true},
        {TEX_AI44, -1, 17, true},    {TEX_P8, 40, -1, false},       {TEX_ARGB8332, 80, 1, false},
        {TEX_RGB565, 8, -1, false},  {TEX_ARGB1555, 8, 128, false}, {TEX_ARGB4444, 17, 17, false},
        {TEX_AI88, -1, 1, true},     {TEX_AP88, 40, 1, false},
    };
    auto off = [](uint32_t v, float want) { return std::fabs(float(v & 255) - want * 255); };
    for (const auto& c : cases) {
        TexEntry e;
        ASSERT_TRUE(ImageToTexture(im, TexConvert{c.format, false, false}, &e)) << c.format;
        EXPECT_EQ(e.size, static_cast<uint32_t>(16 * 8 * TexFormatBytes(c.format)));
        EXPECT_EQ(e.palette != nullptr, c.format == TEX_P8 || c.format == TEX_AP88);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 16; ++x) {
                const uint32_t t = TexelArgb(e, x, y);
                const float* p = Px(im, x, y);
                const float colour = std::max(off(t >> 16, p[0]), off(t, p[2])),
                            alpha = off(t >> 24, p[3]);
                SCOPED_TRACE(testing::Message() << "format " << c.format << " at " << x << "," << y
                                                << std::hex << ": 0x" << t);
                EXPECT_TRUE(c.colourStep < 0 || colour <= c.colourStep) << "colour off " << colour;
                EXPECT_TRUE(c.alphaStep < 0 || alpha <= c.alphaStep) << "alpha off " << alpha;
                EXPECT_TRUE(!c.grey || (t >> 16 & 255) == (t & 255)) << "not grey";
            }
        std::free(e.pixels);
        std::free(e.palette);
    }
}

// Exactly the holes carry the key, in every keyed format, even in a picture of the key's magenta.
TEST(ContentOps, KeyedTexturesHoleExactlyWhereAlphaIsLow) {
    Img im = MakeImg(8, 8, 0xFF00FF);  // all magenta: every solid texel must be moved off the key
    for (int i = 0; i < 8; ++i) Px(im, i, i)[3] = 0;
    Px(im, 2, 5)[0] = 0.2f;  // other colours in the picture too
    for (int format : {TEX_RGB565, TEX_ARGB1555, TEX_ARGB4444, TEX_P8, TEX_AP88, TEX_RGB332}) {
        TexEntry e;
        ASSERT_TRUE(ImageToTexture(im, TexConvert{format, true}, &e));
        EXPECT_EQ(e.colorkey, kColorKey);
        EXPECT_TRUE(!e.palette || e.palette[0] == uint32_t(kColorKey)) << "the key keeps index 0";
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                EXPECT_EQ(TexelArgb(e, x, y) == 0, x == y)
                    << "format " << format << " at " << x << "," << y;
        std::free(e.pixels);
        std::free(e.palette);
    }
}

TEST(ContentOps, OrderedDitherKeepsTheMeanAndTiles) {
    TexEntry e;
    ASSERT_TRUE(ImageToTexture(MakeImg(8, 8, 0x818181), TexConvert{}, &e));  // between 5-bit levels
    double mean = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            mean += TexelArgb(e, x, y) >> 16 & 255;
            EXPECT_EQ(TexelArgb(e, x, y), TexelArgb(e, x % 4, y % 4)) << "repeats every 4 texels";
        }
    EXPECT_NE(mean / 64, TexelArgb(e, 0, 0) >> 16 & 255) << "one level all over: not dithered";
    EXPECT_NEAR(mean / 64, 0x81, 2.0);
    std::free(e.pixels);
}

TEST(ContentOps, IndexedPicturesReserveIndexZeroAndLoadThroughThePcxReader) {
    Img im = MakeImg(67, 9);  // odd width: the scan lines get a pad byte
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 67; ++x) {
            float* p = Px(im, x, y);
            p[0] = x < 64 ? 0.9f : 0.0f;  // a run of 64 equal texels (longer than one PCX run)
            p[1] = y / 8.0f, p[2] = 0, p[3] = x % 10 == 0 ? 0.0f : 1.0f;
        }
    float* black = Px(im, 65, 1);  // real black must not turn transparent
    black[0] = black[1] = black[2] = 0;
    std::vector<uint8_t> indexes;
    std::vector<uint32_t> palette;
    ImageToIndexed(im, 0x000000, &indexes, &palette);
    ASSERT_EQ(palette.size(), 256u);
    EXPECT_EQ(palette[0], 0u);
    const Bytes file = EncodePcx(67, 9, indexes, palette);
    uint8_t* read = nullptr;
    uint8_t pal[768];
    int w = 0, h = 0;
    ASSERT_EQ(DecodePcx(file.data(), static_cast<int>(file.size()), &read, pal, &w, &h), 67 * 9);
    EXPECT_EQ(std::pair(w, h), std::pair(67, 9));
    for (int i = 0; i < 67 * 9; ++i) {
        ASSERT_EQ(read[i], indexes[static_cast<size_t>(i)]) << i;
        EXPECT_EQ(read[i] == 0, i % 67 % 10 == 0)
            << "index 0 exactly where the picture is transparent, at " << i;
    }
    std::free(read);
}

TEST(ContentOps, RemapFilesMapZeroAndEachIdOnce) {
    const Bytes b = EncodeRemap("m", {7, 3, 7});
    EXPECT_EQ(std::string(b.begin(), b.end()),
              "# m: texture ids of demo.tex, each to itself\r\n0->0\r\n3->3\r\n7->7\r\n");
}

}  // namespace
