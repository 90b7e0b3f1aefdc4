// trxtool end to end: build a small library from PCX pictures, inspect, extract, LZW files, model
// files, misuse.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "dev_null.h"
#include "objects_support.h"
#include "texlib.h"

namespace {

using testing::HasSubstr;

// Runs trxtool with the arguments; its exit status, with stdout and stderr in *out.
int RunTool(const std::string& args, std::string* out = nullptr) {
    FILE* p = popen((std::string(TRXTOOL) + " " + args + " 2>&1").c_str(), "r");
    if (!p) return -1;
    std::string text;
    char buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
    const int status = pclose(p);
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The size ("WxH") of a PNG file and the RGBA of its pixel (x, y); "" when it cannot be read.
std::string PngPixel(const std::string& path, int x, int y, std::vector<int>* rgba) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) return "";
    img.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> px(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, px.data(), 0, nullptr)) return "";
    const auto at = px.begin() + (y * long(img.width) + x) * 4;
    rgba->assign(at, at + 4);
    return std::to_string(img.width) + "x" + std::to_string(img.height);
}

class TrxTool : public testing::Test {
protected:
    std::string dir;
    void SetUp() override {
        NullDevice_Reset();
        dir = TempPath("dir");
        mkdir(dir.c_str(), 0755);
        Bytes pal(768, 0);
        pal[3] = 0xFF, pal[4] = 0x80, pal[5] = 0x00;  // index 1 orange
        const Bytes pixels = {0, 1, 1, 0, 1, 0, 1, 1};
        WriteFile(dir + "/pic.pcx", MakePcx(4, 2, 4, EncodeRows(pixels, 4, 2, 4), pal));
        WriteFile(dir + "/mask.pcx",
                  MakePcx(4, 2, 4, EncodeRows({0, 255, 255, 0, 128, 0, 255, 255}, 4, 2, 4), {}));
    }
    void Manifest(const std::string& text) {
        WriteFile(dir + "/lib.txt", Bytes(text.begin(), text.end()));
    }
};

TEST_F(TrxTool, BuildInfoExtract) {
    Manifest(
        "# a small library\n"
        "description Tool test library\n"
        "0 image=pic.pcx format=5 key=0 frames=2\n"
        "\n"
        "1 image=pic.pcx format=10\n"
        "2 image=pic.pcx alpha=mask.pcx format=12\n"
        "65 image=pic.pcx format=3 advance=5 line_height=9\n");
    const std::string lib = dir + "/out.tex";
    std::string out;
    ASSERT_EQ(RunTool("tex build " + lib + " " + dir + "/lib.txt", &out), 0) << out;

    TexLib* loaded = nullptr;
    char desc[48];
    ASSERT_EQ(LoadTexLib(lib.c_str(), &loaded, desc), 0);
    EXPECT_EQ(std::string(desc, strnlen(desc, 48)), "Tool test library");
    // index: format, width, height, advance, line height, frames, colour key, size, palette
    std::map<int, std::vector<int>> want = {{0, {5, 4, 2, 4, 0, 2, 0, 8, 1}},
                                            {1, {10, 4, 2, 4, 0, 0, -1, 16, 0}},
                                            {2, {12, 4, 2, 4, 0, 0, -1, 16, 0}},
                                            {65, {3, 4, 2, 5, 9, 0, -1, 8, 0}}},
                                    got;
    for (int i = 0; i < 256; ++i) {
        const TexEntry& e = loaded->entry[i];
        if (e.format != TEX_EMPTY)
            got[i] = {e.format, e.width,    e.height,    e.advance,           e.line_height,
                      e.frames, e.colorkey, int(e.size), e.palette != nullptr};
    }
    EXPECT_EQ(want, got);
    FreeTexLib(loaded);

    ASSERT_EQ(RunTool("tex info " + lib, &out), 0) << out;
    for (const char* want :
         {"description: Tool test library", "4 entries used", "    0 5 P8", "   65 3 I8"})
        EXPECT_THAT(out, HasSubstr(want));

    ASSERT_EQ(RunTool("tex extract " + lib + " " + dir, &out), 0) << out;
    const struct {
        const char* file;
        int x, y;
        std::vector<int> rgba;
    } pixels[] = {
        {"entry_000.png", 1, 0, {0xFF, 0x80, 0x00, 0xFF}},  // palette colour
        {"entry_001.png", 1, 0, {0xFF, 0x81, 0x00, 0xFF}},  // 5-6-5 widened back
        {"entry_002.png", 1, 0, {0xFF, 0x88, 0x00, 0xFF}},  // 4-4-4-4, alpha 255
        {"entry_002.png", 0, 0, {0x00, 0x00, 0x00, 0x00}},  // alpha 0
        {"entry_065.png", 1, 0, {0x01, 0x01, 0x01, 0xFF}},  // intensity = index
    };
    for (const auto& p : pixels) {
        std::vector<int> got;
        EXPECT_EQ(PngPixel(dir + "/" + p.file, p.x, p.y, &got), "4x2") << p.file;
        EXPECT_EQ(got, p.rgba) << p.file << " at " << p.x;
    }

    ASSERT_EQ(RunTool("pcx info " + dir + "/pic.pcx", &out), 0) << out;
    EXPECT_THAT(out, HasSubstr("4x2, 4 bytes per line, 8 pixels, 2 palette indexes used"));
}

TEST_F(TrxTool, LzwFiles) {
    std::string text;
    for (int i = 0; i < 500; ++i) text += "line " + std::to_string(i % 17) + " of some text\n";
    WriteFile(dir + "/text", Bytes(text.begin(), text.end()));
    std::string out;
    ASSERT_EQ(RunTool("lzw pack " + dir + "/text " + dir + "/text.lzw", &out), 0) << out;
    const std::string len = std::to_string(text.size());
    ASSERT_EQ(RunTool("lzw unpack " + dir + "/text.lzw " + dir + "/text.out " + len, &out), 0)
        << out;
    EXPECT_EQ(ReadFile(dir + "/text.out"), Bytes(text.begin(), text.end()));
    WriteFile(dir + "/one", Bytes{7});
    WriteFile(dir + "/empty", Bytes{});
    const std::pair<std::string, const char*> bad[] = {
        {"lzw unpack " + dir + "/text.lzw " + dir + "/x " + std::to_string(text.size() + 1),
         "unpacks to"},
        {"lzw pack " + dir + "/one " + dir + "/one.lzw", "does not shrink"},
        {"lzw pack " + dir + "/empty " + dir + "/x", "is empty"},
        {"lzw pack " + dir + "/none " + dir + "/x", "cannot read"},
        {"lzw unpack " + dir + "/empty " + dir + "/x 10", "not a valid LZW stream"},
        {"lzw unpack " + dir + "/text.lzw " + dir + "/x 0", "not a valid LZW stream"},
        // Refused before the output is allocated: 1 byte holds no code at all.
        {"lzw unpack " + dir + "/one " + dir + "/x 2147483647",
         "(1 bytes) cannot unpack to 2147483647 bytes: at most 0"}};
    for (const auto& [args, message] : bad) {
        EXPECT_EQ(RunTool(args, &out), 1) << args;
        EXPECT_THAT(out, HasSubstr(message)) << args;
    }
}

// The tool starts fast because it names libpng and none of the display or audio stack's libraries.
TEST(TrxToolLinks, NoDisplayOrAudioLibraries) {
    const Bytes exe = ReadFile(TRXTOOL);
    ASSERT_GT(exe.size(), 1000u);
    const std::string image(exe.begin(), exe.end());
    EXPECT_NE(image.find("libpng"), std::string::npos);
    for (const char* lib : {"libSDL2", "libopenmpt", "libasound", "libpulse", "libX11"})
        EXPECT_EQ(image.find(lib), std::string::npos) << lib;
}

TEST_F(TrxTool, Misuse) {
    const std::string build = "tex build " + dir + "/o.tex " + dir + "/lib.txt";
    const struct {
        std::string manifest;  // written first when not empty
        std::string args;
        int status;
        const char* message;
    } cases[] = {
        {"", "--help", 0, "usage: trxtool"},
        {"", "", 1, "bad usage"},
        {"", "tex info " + dir + "/none.tex", 1, "not a readable texture library"},
        {"", "pcx info " + dir + "/none.pcx", 1, "cannot read"},
        {"", "lzw unpack a b 12x", 1, "LENGTH"},
        {"300 image=pic.pcx\n", build, 1, "lib.txt:1:"},
        {"1 image=pic.pcx colour=3\n", build, 1, "bad item 'colour=3'"},
        {"# x\n1 image=none.pcx\n", build, 1, "lib.txt:2: entry 1: a picture"},
        {"1 image=pic.pcx format=12\n", build, 1, "needs alpha="},
        {"1 image=pic.pcx\n1 image=pic.pcx\n", build, 1, "given twice"},
        {"description " + std::string(49, 'x') + "\n", build, 1, "more than 48"},
    };
    for (const auto& c : cases) {
        if (!c.manifest.empty()) Manifest(c.manifest);
        std::string out;
        EXPECT_EQ(RunTool(c.args, &out), c.status) << c.args << ": " << out;
        EXPECT_THAT(out, HasSubstr(c.message)) << c.args;
    }
}

// Model files written by the object module, through model info and model check.
TEST_F(ObjectTest, TrxtoolModelInfoAndCheck) {
    AddKeys(&obj, 4, {0, 6}, 3, KEY_TRANSLATE);
    Mesh none = {};
    KeyInfo s = Info(KEY_SHARED, 0, 6);
    AddKeyframe(&obj, &none, 9, &s);
    SetAnimFlags(&obj, ANIM_ONCE, 0);
    const std::string path = TempPath("m.mdl"), v1 = TempPath("v1.mdl");
    ASSERT_EQ(SaveModel(&obj, path.c_str(), "door"), 0);
    ASSERT_EQ(SaveModelV1(&obj, v1.c_str(), "door v1"), 0);
    std::string out, v1out, check;
    EXPECT_EQ(RunTool("model info " + path, &out), 0) << out;
    EXPECT_EQ(RunTool("model info " + v1, &v1out), 0) << v1out;
    EXPECT_EQ(RunTool("model check " + path, &check), 0) << check;
    for (const char* want :
         {"keyframe model file (TRXMODEL) version 1.1, record bytes 52/12\nbanner: door\n",
          "anim 4: span 9, flags 0x2, 3 keyframes",
          "frame 6: flags 0x01, move 60 0 0, mesh 1 materials, 3 normals, 3 vertices, 3 links, 4 "
          "commands",
          "frame 9: flags 0x20, mesh of frame 6, mesh 0 materials"})
        EXPECT_THAT(out, HasSubstr(want));
    EXPECT_THAT(v1out,
                HasSubstr("indexed model file (TRXMODEL1.0)\nbanner: door v1\nanim 4: span 3"));
    EXPECT_THAT(check, HasSubstr("ok, 1 animations, 3 keyframes"));

    Bytes b = ReadFile(path);
    const struct {
        size_t keep;
        int at;
        uint8_t value;
        const char* reason;
    } cases[] = {
        {b.size() - 1, 0, 0, "truncated or corrupt (-43): file ends before its end record"},
        {b.size(), 75, 0xFF, "unsupported version (-48)"},  // 255, not -1
        {b.size(), 105 + 12 + 52 + 4, 0xFF, "does not unpack to its"},
        {0, 0, 0, "cannot open"}};
    for (const auto& c : cases) {
        Bytes broken(b.begin(), b.begin() + static_cast<long>(c.keep));
        if (c.at) broken[c.at] = c.value;
        WriteFile(path, broken);
        EXPECT_EQ(RunTool("model check " + path + (c.keep ? "" : ".none"), &out), 1) << out;
        EXPECT_THAT(out, HasSubstr(c.reason));
    }
}

}  // namespace
