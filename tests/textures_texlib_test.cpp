// Texture libraries: save and load, the loader's checks, upload and release, animation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <tuple>

#include "dev_null.h"
#include "texlib.h"
#include "textures_support.h"

namespace {

// An entry with malloc'ed pixels (and palette), as PutTexture takes them.
TexEntry MakeEntry(int format, int w, int h, uint32_t seed, bool palette, bool noisy = false) {
    TexEntry e{};
    e.format = static_cast<int16_t>(format);
    e.width = static_cast<int16_t>(w);
    e.height = static_cast<int16_t>(h);
    e.advance = static_cast<int16_t>(w + 1);
    e.line_height = static_cast<int16_t>(h + 2);
    e.reserved1[0] = 0x11, e.reserved1[1] = 0x22;
    e.reserved2[0] = 0x33, e.reserved2[5] = 0x44;
    e.frames = static_cast<int16_t>(seed % 4);
    e.colorkey = seed % 2 ? -1 : 0x00123456;
    e.size = static_cast<uint32_t>(w * h * TexFormatBytes(format));
    e.pixels = static_cast<uint8_t*>(std::malloc(e.size));
    std::mt19937 rng(seed);
    for (uint32_t i = 0; i < e.size; ++i)
        e.pixels[i] = static_cast<uint8_t>(noisy ? rng() : (i / 7 + seed) % 5);
    if (palette) {
        e.palette = static_cast<uint32_t*>(std::malloc(1024));
        for (uint32_t j = 0; j < 256; ++j) e.palette[j] = 0xAB000000u | (j * 0x010203u + seed);
    }
    return e;
}

// The fields of an entry that load and save carry, palette and pixels aside.
auto Fields(const TexEntry& e) {
    return std::make_tuple(e.format, e.width, e.height, e.advance, e.line_height, e.reserved1[0],
                           e.reserved1[1], e.size, e.frames, e.reserved2[0], e.reserved2[5],
                           e.colorkey, e.palette != nullptr);
}

uint32_t U32(const Bytes& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

class TexLibTest : public testing::Test {
protected:
    void SetUp() override {
        NullDevice_Reset();
        DevInitTextures();
    }
};

TEST_F(TexLibTest, SaveAndLoad) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, TexEntry>> entries;
        const char* description;
        int raw;  // expected stored-raw flag
    } cases[] = {{"empty library", {}, "empty", 0},
                 {"palettes and formats",
                  {{0, MakeEntry(TEX_P8, 16, 16, 1, true)},
                   {7, MakeEntry(TEX_RGB565, 8, 4, 2, false)},
                   {200, MakeEntry(TEX_AP88, 4, 4, 3, true)},
                   {255, MakeEntry(TEX_ALPHA8, 1, 1, 4, false)}},
                  nullptr,
                  0},
                 {"noise stored raw",
                  {{3, MakeEntry(TEX_RGB565, 256, 256, 5, true, true)}},
                  "0123456789012345678901234567890123456789ABCDEFGH",
                  1}};
    for (Case& c : cases) {
        TexLib* lib = NewTexLib();
        ASSERT_NE(lib, nullptr);
        for (auto& [i, e] : c.entries) ASSERT_EQ(PutTexture(i, lib, &e), 0) << c.name;
        const std::string path = TempPath("lib.tex");
        ASSERT_EQ(SaveTexLib(path.c_str(), lib, c.description), 0) << c.name;

        const Bytes file = ReadFile(path);
        ASSERT_GE(file.size(), 64u) << c.name;
        uint32_t body = 9216;
        for (auto& [i, e] : c.entries) body += e.size + (e.palette ? 768 : 0);
        EXPECT_EQ(0, std::memcmp(file.data() + 48, "TEXLIB", 7)) << c.name;
        EXPECT_EQ((std::vector<uint32_t>{file[55], U32(file, 56), U32(file, 60)}),
                  (std::vector<uint32_t>{uint32_t(c.raw), body, uint32_t(file.size() - 64)}))
            << c.name << ": raw flag, unpacked and stored lengths";
        EXPECT_TRUE(!c.raw || U32(file, 60) == body) << c.name;
        std::string want =
            c.description ? c.description : "Default texture library builded for TRXTEX";
        want.resize(48);
        TexLib* back = nullptr;
        char desc[48];
        ASSERT_EQ(LoadTexLib(path.c_str(), &back, desc), 0) << c.name;
        EXPECT_EQ(std::string(file.begin(), file.begin() + 48), want) << c.name << ": written";
        EXPECT_EQ(std::string(desc, 48), want) << c.name << ": read back";
        for (int i = 0; i < 256; ++i) {
            const TexEntry &x = lib->entry[i], &y = back->entry[i];
            EXPECT_EQ(Fields(x), Fields(y)) << c.name << " entry " << i;
            bool same = !x.pixels || !y.pixels || std::memcmp(x.pixels, y.pixels, x.size) == 0;
            for (int j = 0; x.palette && y.palette && j < 256; ++j)
                same &= (x.palette[j] & 0xFFFFFF) == y.palette[j];
            EXPECT_TRUE(same) << c.name << " entry " << i << ": pixels or palette differ";
        }
        int used = 0;
        for (const TexEntry& e : back->entry) {
            used += e.format != TEX_EMPTY;
            EXPECT_TRUE(!e.palette || e.palette[0] >> 24 == 0) << c.name << ": byte 3 is zero";
        }
        EXPECT_EQ(used, static_cast<int>(c.entries.size())) << c.name;
        FreeTexLib(lib);
        FreeTexLib(back);
    }
}

TEST_F(TexLibTest, PutAndFreeTexture) {
    TexLib* lib = NewTexLib();
    TexEntry e = MakeEntry(TEX_RGB565, 2, 2, 1, true);
    TexEntry f = MakeEntry(TEX_RGB565, 2, 2, 2, false);
    // Put, put in use, put outside, free empty, free outside, free, free again, put the freed.
    const std::vector<int> got = {PutTexture(4, lib, &e),   PutTexture(4, lib, &f),
                                  PutTexture(256, lib, &f), FreeTexture(5, lib),
                                  FreeTexture(-1, lib),     FreeTexture(4, lib),
                                  FreeTexture(4, lib),      PutTexture(4, lib, &f)};
    EXPECT_EQ(got, (std::vector<int>{0, 2, 2, 3, 3, 0, 3, 0}));
    EXPECT_EQ(FreeTexLib(lib), 0);
    EXPECT_EQ(FreeTexLib(nullptr), 0);
}

void Put(Bytes& b, size_t at, uint32_t v, int bytes) {
    for (int k = 0; k < bytes; ++k)
        b[at + static_cast<size_t>(k)] = static_cast<uint8_t>(v >> (8 * k));
}

// A raw library, `extra` body bytes; records: format, size, palette, pixels[, width, height].
Bytes RawFile(const std::vector<std::pair<int, std::vector<uint32_t>>>& records, size_t extra) {
    Bytes file(64 + 9216 + extra, 0);  // sized once: GCC 12 misjudges a vector grown by inserts
    std::fill(file.begin(), file.begin() + 48, 'd');
    for (int i = 0; i < 256; ++i) Put(file, 64 + 36 * static_cast<size_t>(i), 0xFFFF, 2);
    for (auto& [i, f] : records) {
        const size_t at = 64 + 36 * static_cast<size_t>(i);
        Put(file, at, f[0], 2);
        Put(file, at + 2, f.size() > 4 ? f[4] : 10, 2);
        Put(file, at + 4, f.size() > 5 ? f[5] : 10, 2);
        for (int k = 0; k < 3; ++k) Put(file, at + 12 + 4 * static_cast<size_t>(k), f[1 + k], 4);
    }
    std::memcpy(file.data() + 48, "TEXLIB", 7);
    file[55] = 1;
    Put(file, 56, static_cast<uint32_t>(file.size() - 64), 4);
    Put(file, 60, static_cast<uint32_t>(file.size() - 64), 4);
    return file;
}

TEST_F(TexLibTest, LoaderRejectsBadFiles) {
    TexLib* lib = NewTexLib();
    TexEntry e = MakeEntry(TEX_P8, 32, 32, 1, true);
    PutTexture(9, lib, &e);
    const std::string goodPath = TempPath("good.tex");
    ASSERT_EQ(SaveTexLib(goodPath.c_str(), lib, "good"), 0);
    FreeTexLib(lib);
    const Bytes good = ReadFile(goodPath);
    ASSERT_EQ(good[55], 0) << "the good file is packed";

    auto cut = [&](size_t n) { return Bytes(good.begin(), good.begin() + static_cast<long>(n)); };
    auto patched = [&](size_t at, uint32_t v, int bytes) {  // a byte, or a 32-bit length
        Bytes b = good;
        Put(b, at, v, bytes);
        return b;
    };
    std::vector<std::pair<int, std::vector<uint32_t>>> shared;
    for (int i = 0; i < 256; ++i) shared.push_back({i, {5, 65536, 0, 9216}});
    const Bytes everyEntryOnOneBlock = RawFile(shared, 65536);
    // More than a library may hold, within the coder's ratio: refused before allocating.
    Bytes overLimit = patched(60, 16400, 4);
    overLimit.resize(64 + 16400, 0);
    Put(overLimit, 56, kTexLibMaxBody + 1, 4);
    const struct {
        const char* name;
        Bytes file;
        int expect;
    } cases[] = {
        {"good", good, 0},
        {"raw by hand, blocks in the body", RawFile({{1, {5, 100, 9216, 9216 + 768}}}, 868), 0},
        {"empty file", Bytes{}, 1},
        {"header cut", cut(60), 1},
        {"magic without NUL", patched(54, 'X', 1), 1},
        {"stored length beyond the file", patched(60, static_cast<uint32_t>(good.size()), 4), 1},
        {"unpacked length too small", patched(56, 9215, 4), 1},
        {"unpacked length larger than the stream", patched(56, U32(good, 56) + 1, 4), 1},
        {"corrupt stream", patched(64 + 40, 0xFF, 1), 1},
        {"palette outside the body", RawFile({{1, {5, 0, 9216 + 100, 0}}}, 867), 1},
        {"pixels outside the body", RawFile({{1, {5, 100, 0, 9216}}}, 99), 1},
        {"pixel offset huge", RawFile({{1, {5, 16, 0, 0xFFFFFFF8u}}}, 100), 1},
        {"size without pixels", RawFile({{1, {5, 100, 0, 0}}}, 100), 1},
        {"raw flag, lengths differ", patched(55, 1, 1), 1},
        {"back to back", RawFile({{1, {5, 100, 0, 9216}}, {2, {5, 100, 0, 9316}}}, 200), 0},
        {"one pixel block", RawFile({{1, {5, 100, 0, 9216}}, {2, {5, 100, 0, 9216}}}, 100), 1},
        {"overlap by one", RawFile({{1, {5, 100, 0, 9216}}, {2, {5, 100, 0, 9315}}}, 199), 1},
        {"one palette", RawFile({{1, {5, 0, 9216, 0}}, {2, {5, 0, 9216, 0}}}, 768), 1},
        {"every entry on one block", everyEntryOnOneBlock, 1},
        {"body over the library bound", overLimit, 1},
        {"largest side the devices take", RawFile({{1, {5, 4096, 0, 9216, 4096, 1}}}, 4096), 0},
        {"wider than the devices take", RawFile({{1, {5, 4097, 0, 9216, 4097, 1}}}, 4097), 1},
        {"negative width", RawFile({{1, {5, 10, 0, 9216, 0xFFFF, 10}}}, 10), 1},
    };
    for (const auto& c : cases) {
        const std::string path = TempPath("bad.tex");
        WriteFile(path, c.file);
        TexLib* out = reinterpret_cast<TexLib*>(0x1);
        EXPECT_EQ(LoadTexLib(path.c_str(), &out), c.expect) << c.name;
        EXPECT_EQ(out != reinterpret_cast<TexLib*>(0x1), c.expect == 0) << c.name << ": handed out";
        if (c.expect == 0) FreeTexLib(out);
    }
    // The writer refuses what the loader would.
    TexLib* wide = NewTexLib();
    TexEntry w = MakeEntry(TEX_P8, 4097, 1, 1, false);
    PutTexture(0, wide, &w);
    EXPECT_EQ(SaveTexLib(TempPath("wide.tex").c_str(), wide), 1);
    FreeTexLib(wide);
    TexLib* out = nullptr;
    EXPECT_EQ(LoadTexLib(TempPath("missing.tex").c_str(), &out), 1);
}

TEST_F(TexLibTest, UploadAndRelease) {
    TexLib* lib = NewTexLib();
    TexEntry a = MakeEntry(TEX_P8, 4, 4, 1, true);
    TexEntry b = MakeEntry(TEX_RGB565, 2, 8, 2, false);
    const Bytes pixelsA(a.pixels, a.pixels + a.size);
    PutTexture(1, lib, &a);
    PutTexture(200, lib, &b);
    ASSERT_EQ(UploadTexLib(2, lib), 0);
    EXPECT_EQ(NullDevice_Count(NULL_UPLOAD), 256);
    FreeTexLib(lib);  // the device keeps its own copies

    const TexEntry *got = DevGetTexture(0x0201), *second = DevGetTexture(0x02C8);
    ASSERT_NE(got, nullptr) << "texture 0x0201";
    ASSERT_NE(second, nullptr) << "texture 0x02C8";
    EXPECT_EQ((std::vector<int>{got->format, second->width}), (std::vector<int>{TEX_P8, 2}));
    EXPECT_EQ(Bytes(got->pixels, got->pixels + got->size), pixelsA);
    EXPECT_EQ(got->palette[3], 0xAB000000u | (3 * 0x010203u + 1));
    EXPECT_EQ(DevGetTexture(0x0202), nullptr) << "empty entries create nothing";

    // A second upload under the same number stops at the first used handle with the device's 2.
    TexLib* again = NewTexLib();
    TexEntry c = MakeEntry(TEX_RGB565, 2, 2, 3, false);
    PutTexture(1, again, &c);
    nullDevice.calls.clear();
    EXPECT_EQ(UploadTexLib(2, again), 2);
    EXPECT_EQ(NullDevice_Count(NULL_UPLOAD), 2) << "entries after the failure are not uploaded";
    FreeTexLib(again);

    nullDevice.calls.clear();
    EXPECT_EQ(ReleaseTexLib(2), 0);
    EXPECT_EQ(NullDevice_Count(NULL_FREE_TEXTURE), 256);
    EXPECT_EQ(DevGetTexture(0x0201), nullptr);
}

TEST(TexAnim, TickAndResolve) {
    // n = 2: the phase advances on every third call.
    const int start = TexAnimPhase();
    std::vector<int> seen;
    for (int i = 0; i < 7; ++i) seen.push_back(TexAnimTick(i < 6 ? 2 : 0) - start);
    EXPECT_EQ((std::vector<int>{0, 0, 1, 1, 1, 2, 3}), seen) << "n = 0 advances every call";
    while (TexAnimPhase() % 3 != 1) TexAnimTick(0);  // as with the phase at 7
    for (auto [frames, expect] : {std::pair{3, 0x0206}, {0, 0x0205}, {1, 0x0205}, {-2, 0x0205}})
        EXPECT_EQ(TexAnimResolve(0x0205, frames), expect) << "frames " << frames;
}

}  // namespace
