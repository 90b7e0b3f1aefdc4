// demo_glide run as a user runs it, headless, on the show's data set.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "run_program.h"

namespace {

std::string DataSet() { return runprog::ShowDir("glide_program_"); }

int RunDemo(const std::string& env, const std::string& args, std::string* out, std::string* err) {
    return runprog::Run(DataSet(), env, DEMO_GLIDE, args, out, err);
}

// A 640 x 480 frame of raw 5-6-5 pixels and the float after it; empty when the file is short.
std::vector<uint16_t> Frame(const std::string& path, float* after = nullptr) {
    std::ifstream f(path, std::ios::binary);
    std::vector<uint16_t> px(640 * 480);
    f.read(reinterpret_cast<char*>(px.data()), 640 * 480 * 2);
    if (after) f.read(reinterpret_cast<char*>(after), 4);
    return f.good() ? px : std::vector<uint16_t>();
}

TEST(ProgramGlide, PlaysTheShowHeadlessAndCapturesFrames) {
    std::string frames = DataSet() + "/frames";
    std::string out, err;
    int status = RunDemo(
        "", "--headless --frames '" + frames + "' --frames-at 1,2874 -- 640 480 0 72 80 1 0 1",
        &out, &err);
    EXPECT_EQ(status, 0) << err;
    // The last frame captured: the whole show ran, with the debug text (glyph textures) on.
    for (const char* f : {"/frame-000001.png", "/frame-002874.png"})
        EXPECT_TRUE(std::filesystem::exists(frames + f)) << f;
}

TEST(ProgramGlide, WithoutABoardTheDialogCannotRun) {
    std::string out, err;
    int status = RunDemo("TAMBIR_GLIDE_BOARDS=0", "--headless -- 640 480 0", &out, &err);
    EXPECT_EQ(status, 0) << err;
    EXPECT_NE(err.find("no render device to choose"), std::string::npos) << "Run disabled: " << err;
}

// The devices differ only in magnified textures (bilinear, nearest) and the depth read's rounding.
TEST(ProgramGlide, SameSceneSamePictureAsTheDirect3DDevice) {
    const std::string dir = DataSet();
    const char* programs[2] = {SCENE_GLIDE, SCENE_D3D};
    std::vector<uint16_t> pixels[2], box[2];
    float depth[2] = {-1, -1};
    for (int i = 0; i < 2; ++i) {
        const std::string raw = dir + "/scene" + std::to_string(i) + ".raw";
        const std::string boxRaw = dir + "/box" + std::to_string(i) + ".raw";
        const std::string cmd = std::string("'") + programs[i] + "' '" + raw + "' '" + boxRaw + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        pixels[i] = Frame(raw, &depth[i]);
        box[i] = Frame(boxRaw);
        ASSERT_FALSE(pixels[i].empty()) << cmd << ": the scene";
        ASSERT_FALSE(box[i].empty()) << cmd << ": the box";
    }
    // The camera in a box whose side walls are cut at the near plane (w 1.01) on both devices
    // alike: walls fill the frame x = 320 + 450 X / 1.01, y = 240 + 450 Y / 1.01, nothing outside.
    EXPECT_TRUE(box[0] == box[1]) << "the box differs between the devices";
    const float left = 320 - 450 * 0.45f / 1.01f, right = 320 + 450 * 0.35f / 1.01f;
    const float top = 240 - 450 * 0.3f / 1.01f, bottom = 240 + 450 * 0.4f / 1.01f;
    int wrong = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const float cx = x + 0.5f, cy = y + 0.5f;
            const bool in = cx > left + 2 && cx < right - 2 && cy > top + 2 && cy < bottom - 2;
            const bool out = cx < left - 2 || cx > right + 2 || cy < top - 2 || cy > bottom + 2;
            const bool clear = box[0][y * 640 + x] == 0x3333;
            wrong += (in && clear) || (out && !clear);
        }
    EXPECT_EQ(wrong, 0) << "box pixels not drawn inside the frame or drawn beyond it";
    const uint16_t mid = box[0][240 * 640 + 300];
    // The far wall, yellow, in the middle.
    EXPECT_GT(mid >> 11, 12) << "red of " << mid;
    EXPECT_GT((mid >> 5) & 63, 24) << "green of " << mid;
    EXPECT_LT(mid & 31, 8) << "blue of " << mid;
    struct Box {
        int x0, y0, x1, y1;
    } magnified[] = {{340, 20, 468, 276},
                     {496, 84, 624, 116},
                     {340, 300, 404, 364},
                     {120, 340, 136, 468},
                     {160, 340, 288, 356}};
    int outside = 0, inside = 0;
    for (int i = 0; i < 640 * 480; ++i) {
        const int x = i % 640, y = i / 640;
        bool in = false;
        for (Box b : magnified) in |= x >= b.x0 && x < b.x1 && y >= b.y0 && y < b.y1;
        (in ? inside : outside) += pixels[0][i] != pixels[1][i];
    }
    EXPECT_EQ(outside, 0);
    EXPECT_LT(inside, (128 * 256 + 2 * 16 * 128) / 2) << "at most half the magnified pixels";
    // Texel centres of magnified textures; keyed texels show the clear colour.
    struct {
        int x, y;
        uint16_t want;
    } probes[] = {{370, 80, 0xF800},  {440, 80, 0x07E0},  {370, 220, 0x001F}, {440, 220, 0xF81F},
                  {360, 320, 0xF800}, {390, 350, 0x3333}, {530, 95, 0xF800},  {600, 110, 0xF81F},
                  {124, 372, 0xF800}, {132, 372, 0x07E0}, {124, 436, 0x001F}, {132, 436, 0xF81F},
                  {192, 344, 0xF800}, {256, 344, 0x07E0}, {192, 352, 0x001F}, {256, 352, 0xF81F}};
    for (int i = 0; i < 2; ++i) {
        for (auto p : probes)
            EXPECT_EQ(pixels[i][p.y * 640 + p.x], p.want)
                << programs[i] << " at " << p.x << "," << p.y;
        EXPECT_NEAR(depth[i], 0.3f, 1.0f / 65535) << programs[i];
    }
}

}  // namespace
