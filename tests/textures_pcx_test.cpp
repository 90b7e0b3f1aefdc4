// PCX pictures: scan-line decoding, bad files, conversion into every texture format.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "pcx.h"
#include "textures_support.h"

namespace {

TEST(Pcx, DecodeLine) {
    struct Case {
        const char* name;
        Bytes in;
        int count;
        Bytes out;
        int consumed;
    };
    const Case cases[] = {
        {"literals", {1, 2, 0xBF}, 3, {1, 2, 0xBF}, 3},
        {"run C3 07", {0xC3, 7}, 3, {7, 7, 7}, 2},
        {"run of 63", {0xFF, 2}, 63, Bytes(63, 2), 2},
        {"run of 0 writes nothing", {0xC0, 9, 5}, 1, {5}, 3},
        {"values from C0 as runs of 1", {0xC1, 0xC0, 0xC1, 0xFF}, 2, {0xC0, 0xFF}, 4},
        {"run crossing the line end stops there", {0xC5, 4, 8}, 3, {4, 4, 4}, 2},
        {"stops at count, rest unread", {1, 2, 3, 4}, 2, {1, 2}, 2},
        {"data ends early", {1, 0xC9, 3}, 20, {1, 3, 3, 3, 3, 3, 3, 3, 3, 3}, 3},
        {"run byte without value", {1, 0xC9}, 5, {1}, 2},
    };
    for (const Case& c : cases) {
        Bytes out(static_cast<size_t>(c.count) + 4, 0xEE);
        int used = -1;
        const int n =
            DecodePcxLine(c.in.data(), static_cast<int>(c.in.size()), out.data(), c.count, &used);
        EXPECT_EQ(Bytes(out.begin(), out.begin() + n), c.out) << c.name;
        EXPECT_EQ(used, c.consumed) << c.name;
        EXPECT_EQ(out[static_cast<size_t>(c.count)], 0xEE) << c.name << ": wrote past the line";
    }
}

TEST(Pcx, Decode) {
    Bytes pal(768);
    for (int i = 0; i < 768; ++i) pal[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 7);
    struct Case {
        const char* name;
        Bytes file;
        int count, width, height;
        Bytes pixels;
    };
    // 3 wide, 4 bytes per line: the filler byte (9) of each line is dropped.
    const Bytes odd = MakePcx(3, 2, 4, {1, 2, 3, 9, 0xC3, 5, 9}, pal);
    // A run crossing the end of line 1 is cut there; line 2 starts at the next byte.
    const Bytes crossing = MakePcx(2, 2, 2, {0xC5, 6, 7, 8}, pal);
    Bytes shortPalette = odd;
    shortPalette.resize(128 + 700);
    const Case cases[] = {
        {"odd width filler dropped", odd, 6, 3, 2, {1, 2, 3, 5, 5, 5}},
        {"line-crossing run dropped", crossing, 4, 2, 2, {6, 6, 7, 8}},
        {"scan data ends early", MakePcx(4, 300, 4, {0xC4, 1}, Bytes{}), -1, 0, 0, {}},
        {"bytes per line below width", MakePcx(4, 1, 3, {1, 2, 3, 4}, pal), -1, 0, 0, {}},
        {"shorter than header and palette", shortPalette, -1, 0, 0, {}},
        {"header only", Bytes(100, 0), -1, 0, 0, {}},
        {"huge size, small file", MakePcx(65535, 65535, 65535, {0xC1, 1}, pal), -1, 0, 0, {}},
        {"max minus min negative", MakePcx(0, 1, 4, {1}, pal), -1, 0, 0, {}},
    };
    for (const Case& c : cases) {
        uint8_t* px = nullptr;
        uint8_t gotPal[768] = {};
        int w = 0, h = 0;
        const int n =
            DecodePcx(c.file.data(), static_cast<int>(c.file.size()), &px, gotPal, &w, &h);
        EXPECT_EQ((std::vector<int>{n, w, h}), (std::vector<int>{c.count, c.width, c.height}))
            << c.name;
        if (n > 0 && n == c.count) {
            EXPECT_EQ(Bytes(px, px + n), c.pixels) << c.name;
            EXPECT_EQ(0, std::memcmp(gotPal, pal.data(), 768)) << c.name;
        }
        std::free(px);
    }
}

TEST(Pcx, ConvertEveryFormat) {
    // Index 0x9B is (R, G, B) = (0xC8, 0x64, 0x32); the alpha value is 0xA5.
    Bytes pal(768, 0);
    pal[3 * 0x9B] = 0xC8, pal[3 * 0x9B + 1] = 0x64, pal[3 * 0x9B + 2] = 0x32;
    const uint8_t image[1] = {0x9B};
    const uint8_t alpha[1] = {0xA5};
    struct Case {
        int format;
        unsigned texel;
        int flags, code;   // code: the refusal when the image or the alpha picture is left out
        int image, alpha;  // given or not
    };
    const Case cases[] = {
        {0, 0xCC, 0, 0, 1, 1},    {2, 0xA5, 0, 0, 1, 1},    {3, 0x9B, 0, 0, 1, 1},
        {4, 0xA9, 0, 0, 1, 1},    {5, 0x9B, 1, 0, 1, 1},    {8, 0xA5CC, 2, 0, 1, 1},
        {10, 0xCB26, 2, 0, 1, 1}, {11, 0xE586, 2, 0, 1, 1}, {12, 0xAC63, 2, 0, 1, 1},
        {13, 0xA59B, 2, 0, 1, 1}, {14, 0xA59B, 3, 0, 1, 1}, {1, 0, 0, 4, 1, 1},
        {15, 0, 0, 4, 1, 1},      {4, 0, 0, 7, 0, 0},       {2, 0, 0, 8, 1, 0},
        {10, 0, 0, 7, 0, 1},      {12, 0, 0, 8, 1, 0},
    };
    for (const Case& c : cases) {
        uint8_t* t = nullptr;
        int flags = -1;
        ASSERT_EQ(ConvertTexels(c.image ? image : nullptr, c.alpha ? alpha : nullptr, pal.data(), 1,
                                c.format, &t, &flags),
                  c.code)
            << "format " << c.format;
        if (c.code) {
            EXPECT_EQ(t, nullptr) << "format " << c.format;
            continue;
        }
        const unsigned got = (flags & 2) ? static_cast<unsigned>(t[0] | (t[1] << 8)) : t[0];
        EXPECT_EQ(got, c.texel) << "format " << c.format << std::hex << ": got 0x" << got;
        EXPECT_EQ(flags, c.flags) << "format " << c.format;
        std::free(t);
    }
}

TEST(Pcx, LoadTexture) {
    Bytes pal(768, 0);
    pal[3] = 0x10, pal[4] = 0x20, pal[5] = 0x30;  // index 1
    const Bytes pixels = {0, 1, 1, 0, 1, 0};
    const std::string image = TempPath("image.pcx"), alpha = TempPath("alpha.pcx"),
                      other = TempPath("other.pcx");
    WriteFile(image, MakePcx(3, 2, 4, EncodeRows(pixels, 3, 2, 4), pal));
    WriteFile(alpha,
              MakePcx(3, 2, 4, EncodeRows({0, 0xFF, 0x80, 0, 0xFF, 0x80}, 3, 2, 4), Bytes{}));
    WriteFile(other, MakePcx(2, 3, 2, EncodeRows(pixels, 2, 3, 2), pal));
    const std::string missing = TempPath("missing.pcx");

    struct Case {
        const char* name;
        const std::string* image;
        const std::string* alpha;
        int format, transparent, code;
        uint32_t size;
        bool palette;
        int32_t colorkey;
    };
    const Case cases[] = {
        {"format 10, key 0 black", &image, nullptr, 10, 0, 0, 12, false, 0},
        {"format 5 has a palette", &image, nullptr, 5, -1, 0, 6, true, -1},
        {"key 1 is its colour", &image, nullptr, 3, 1, 0, 6, false, 0x102030},
        {"format 2 alpha only", nullptr, &alpha, 2, -1, 0, 6, false, -1},
        {"format 14 both", &image, &alpha, 14, -1, 0, 12, true, -1},
        {"format 2 without alpha", &image, nullptr, 2, -1, 8, 0, false, 0},
        {"format 10 without image", nullptr, &alpha, 10, -1, 7, 0, false, 0},
        {"bad format", &image, nullptr, 7, -1, 4, 0, false, 0},
        {"sizes differ", &image, &other, 4, -1, 6, 0, false, 0},
        {"missing image", &missing, nullptr, 10, -1, 1, 0, false, 0},
    };
    for (const Case& c : cases) {
        TexEntry e{};
        e.frames = 4, e.line_height = 9;
        const int r =
            LoadPcxTexture(c.image ? c.image->c_str() : nullptr,
                           c.alpha ? c.alpha->c_str() : nullptr, &e, c.format, c.transparent);
        // result, frames and line height kept, format, sides, advance, size, palette, key
        const int64_t ok = c.code == 0;
        EXPECT_EQ(
            (std::vector<int64_t>{c.code, 4, 9, ok * c.format, ok * 3, ok * 2, ok * 3, c.size,
                                  c.palette ? 0x102030 : 0, c.colorkey}),
            (std::vector<int64_t>{r, e.frames, e.line_height, e.format, e.width, e.height,
                                  e.advance, e.size, e.palette ? e.palette[1] : 0, e.colorkey}))
            << c.name;
        EXPECT_EQ(r != 0, e.pixels == nullptr) << c.name;
        std::free(e.pixels);
        std::free(e.palette);
    }
}

}  // namespace
