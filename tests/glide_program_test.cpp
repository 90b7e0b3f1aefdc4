// demo_glide run as a user runs it, headless, on the show's data set.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "run_program.h"

namespace {

using runprog::Slurp;

std::string DataSet() { return runprog::ShowDir("glide_program_"); }

int RunDemo(const std::string& env, const std::string& args, std::string* out, std::string* err) {
    return runprog::Run(DataSet(), env, DEMO_GLIDE, args, out, err);
}

TEST(ProgramGlide, PlaysTheShowHeadlessAndCapturesFrames) {
    std::string frames = DataSet() + "/frames";
    std::string out, err;
    int status = RunDemo(
        "", "--headless --frames '" + frames + "' --frames-at 1,2874 -- 640 480 0 72 80 1 0 1",
        &out, &err);
    EXPECT_EQ(status, 0) << err;
    // The last frame of the script was presented (and captured): the whole show ran, with the
    // debug text (glyph textures) on.
    struct stat st;
    int pngs = 0;
    for (const char* f : {"/frame-000001.png", "/frame-002874.png"})
        pngs += stat((frames + f).c_str(), &st) == 0;
    EXPECT_EQ(pngs, 2) << "frames captured into " << frames;
}

TEST(ProgramGlide, WithoutABoardTheDialogCannotRun) {
    std::string out, err;
    int status = RunDemo("TAMBIR_GLIDE_BOARDS=0", "--headless -- 640 480 0", &out, &err);
    EXPECT_EQ(status, 0) << err;
    EXPECT_NE(err.find("no render device to choose"), std::string::npos) << "Run disabled: " << err;
}

// The same scenes through the Direct3D device and the Glide device. They differ only where a
// texture is magnified: the Glide device magnifies bilinearly (wrapping at the texture's edges),
// the Direct3D software device takes the nearest texel. Depth reads differ by the rounding of
// 0..1 against 0..65535 into the same 16-bit buffer.
TEST(ProgramGlide, SameSceneSamePictureAsTheDirect3DDevice) {
    std::string dir = DataSet();
    std::vector<uint16_t> pixels[2];
    float depth[2] = {-1, -1};
    const char* programs[2] = {SCENE_GLIDE, SCENE_D3D};
    std::vector<uint16_t> box[2];
    for (int i = 0; i < 2; ++i) {
        std::string raw = dir + "/scene" + std::to_string(i) + ".raw";
        std::string boxRaw = dir + "/box" + std::to_string(i) + ".raw";
        std::string cmd = std::string("'") + programs[i] + "' '" + raw + "' '" + boxRaw + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        std::ifstream f(raw, std::ios::binary);
        pixels[i].resize(640 * 480);
        f.read(reinterpret_cast<char*>(pixels[i].data()), 640 * 480 * 2);
        f.read(reinterpret_cast<char*>(&depth[i]), 4);
        ASSERT_TRUE(f.good()) << raw;
        std::ifstream b(boxRaw, std::ios::binary);
        box[i].resize(640 * 480);
        b.read(reinterpret_cast<char*>(box[i].data()), 640 * 480 * 2);
        ASSERT_TRUE(b.good()) << boxRaw;
    }
    // The camera inside a box (glide_scene_main.cpp): four walls run from behind the eye through
    // the near plane. Both devices draw the same picture: the walls cut where they cross the near
    // plane (z 0.01, w 1.01), which frames the view: pixel x = 320 + 450 X / 1.01 for X = -0.45
    // and 0.35, y = 240 + 450 Y / 1.01 for Y = -0.3 and 0.4. Inside every pixel is a wall, the far
    // one (yellow) in the middle; outside nothing is drawn.
    int boxDiffer = 0;
    for (int i = 0; i < 640 * 480; ++i) boxDiffer += box[0][i] != box[1][i];
    EXPECT_EQ(boxDiffer, 0) << "pixels of the box differing between the devices";
    const float left = 320 - 450 * 0.45f / 1.01f, right = 320 + 450 * 0.35f / 1.01f;
    const float top = 240 - 450 * 0.3f / 1.01f, bottom = 240 + 450 * 0.4f / 1.01f;
    for (int i = 0; i < 2; ++i) {
        int wrong = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) {
                const float cx = x + 0.5f, cy = y + 0.5f;
                const bool in = cx > left + 2 && cx < right - 2 && cy > top + 2 && cy < bottom - 2;
                const bool out = cx < left - 2 || cx > right + 2 || cy < top - 2 || cy > bottom + 2;
                const bool clear = box[i][y * 640 + x] == 0x3333;
                if ((in && clear) || (out && !clear)) {
                    if (wrong++ < 5)
                        ADD_FAILURE() << (i ? "d3d" : "glide") << " box at " << x << "," << y
                                      << (in ? " not drawn" : " drawn beyond the near plane");
                }
            }
        EXPECT_EQ(wrong, 0);
        const uint16_t mid = box[i][240 * 640 + 300];
        const char* dev = i ? "d3d" : "glide";
        EXPECT_GT(mid >> 11, 12) << dev << " far wall yellow in the middle: red of " << mid;
        EXPECT_GT((mid >> 5) & 63, 24) << dev << " far wall yellow in the middle: green of " << mid;
        EXPECT_LT(mid & 31, 8) << dev << " far wall yellow in the middle: blue of " << mid;
    }
    struct Box {
        int x0, y0, x1, y1;
    } magnified[] = {{340, 20, 468, 276}, {496, 84, 624, 116}, {340, 300, 404, 364}};
    int outside = 0, inside = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            if (pixels[0][y * 640 + x] == pixels[1][y * 640 + x]) continue;
            bool in = false;
            for (Box b : magnified) in |= x >= b.x0 && x < b.x1 && y >= b.y0 && y < b.y1;
            (in ? inside : outside) += 1;
            if (!in && outside <= 5)
                ADD_FAILURE() << "at " << x << "," << y << " glide " << pixels[0][y * 640 + x]
                              << " d3d " << pixels[1][y * 640 + x];
        }
    EXPECT_EQ(outside, 0);
    EXPECT_LT(inside, 128 * 256 / 2) << "magnified texels differ only near their edges";
    // Texel centres of magnified textures (quadrant colours, keyed texels show the clear colour).
    struct {
        int x, y;
        uint16_t want;
    } probes[] = {{370, 80, 0xF800},  {440, 80, 0x07E0},  {370, 220, 0x001F}, {440, 220, 0xF81F},
                  {360, 320, 0xF800}, {390, 350, 0x3333}, {530, 95, 0xF800},  {600, 110, 0xF81F}};
    for (auto p : probes)
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(pixels[i][p.y * 640 + p.x], p.want)
                << (i ? "d3d" : "glide") << " at " << p.x << "," << p.y;
    EXPECT_NEAR(depth[0], 0.3f, 1.0f / 65535);
    EXPECT_NEAR(depth[1], 0.3f, 1.0f / 65535);
}

}  // namespace
