// The show's loading and scene helpers: remap files, the scripted camera, the temple set.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "Navek.h"
#include "assets.h"
#include "dev_null.h"
#include "scene.h"

namespace {

std::string WriteFile(const std::string& name, const std::string& text) {
    std::string path = testing::TempDir() + "/scene_" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fputs(text.c_str(), f);
    std::fclose(f);
    return path;
}

TEST(Remap, FilesAndTheirResults) {
    const struct {
        const char* name;
        const char* text;
        int result, count;
        std::vector<std::pair<int, int>> entries;  // id -> id after loading
    } cases[] = {
        {"plain", "0->300\r\n", 0, 1, {{0, 300}}},
        {"shift", "5->2\r\n", 0, 6, {{5, 2}, {0, 1}, {4, 5}}},
        {"last_wins", "# ids\r\n3->7\r\n3->9\r\n", 0, 4, {{3, 9}, {2, 3}}},
        {"empty", "", 0, 1, {{0, 1}}},
        {"comment_counted", "# a\r\n# b\r\n1->x\r\n", 3, 0, {}},
        {"out_of_range", "1->2\r\n70000->1\r\n", 2, 0, {}},
        {"negative", "-1->2\r\n", 1, 0, {}},
        {"empty_first_line", "\r\n1->2\r\n", 1, 0, {}},
    };
    for (const auto& c : cases) {
        Object o;
        ObjectInit(&o);
        EXPECT_EQ(LoadRemap(&o, WriteFile(c.name, c.text).c_str()), c.result) << c.name;
        EXPECT_EQ(o.remap_count, c.count) << c.name;
        for (const auto& [id, to] : c.entries) EXPECT_EQ(o.remap[id], to) << c.name << " id " << id;
        FreeObject(&o);
    }
    Object o;
    ObjectInit(&o);
    EXPECT_EQ(LoadRemap(&o, "no such file.txi"), 1);
    EXPECT_EQ(o.remap, nullptr);
}

TEST(Camera, MovesWithoutClampingAndNotUnderTheFreeCamera) {
    ResetNavek();
    const struct { float elapsed, expect; } cases[] = {{0, 10}, {100, 30}, {150, 40}};
    for (const auto& c : cases) {
        CameraMove(10, 0, 0, 0, 0, 0, 1, 30, 0, 0, 0, 0, 0, 2, 100, c.elapsed);
        EXPECT_FLOAT_EQ(camTx, c.expect) << "elapsed " << c.elapsed;
        EXPECT_FLOAT_EQ(viewMatrix.m[12], c.expect * camZoom)
            << "elapsed " << c.elapsed;  // T, then zoom
        EXPECT_FLOAT_EQ(camZoom, 1 + c.elapsed / 100) << "elapsed " << c.elapsed;
    }
    freeCamera = 1;  // the free camera holds the scripted one still
    CameraMove(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 1, 1);
    EXPECT_FLOAT_EQ(camTx, 40);
    freeCamera = 0;
}

TEST(Temple, CycleStepByFrameAndTheDoorsHold) {
    NullDevice_Reset();
    // An animation of empty meshes at the given keyframes, selected.
    auto anim = [](Object* o, int id, std::initializer_list<int> keys) {
        Mesh m{};
        AddAnim(o, id);
        for (int k : keys) AddKeyframe(o, &m, k, nullptr);
        SelectAnim(o, id, 1);
    };
    for (Object* o : {&temple, &door, &ruvo}) ObjectInit(o);
    anim(&temple, 0, {0});
    anim(&temple, 1, {0, 1, 2, 3, 4});
    SetAnimSpan(&temple, 5);
    anim(&door, 0, {0, 2000});
    SetAnimSpan(&door, 2010);
    SetAnimLength(&door, 2010);
    anim(&ruvo, 0, {0});

    DrawTemple(1234, 0);
    EXPECT_EQ(temple.key->frame, 4);
    DrawTemple(1235, 0);
    EXPECT_EQ(temple.key->frame, 0);

    ASSERT_EQ(SetFrame(&door, 2000), 0);
    for (int i = 0; i < 21; ++i) DrawTemple(0, 1);
    EXPECT_EQ(door.frame, 2000) << "held for 21 calls";
    DrawTemple(0, 1);
    EXPECT_EQ(door.frame, 2001);
    for (int i = 0; i < 2009; ++i) DrawTemple(0, 1);  // round to 2000 again: no second hold
    EXPECT_EQ(door.frame, 2000);
    DrawTemple(0, 1);
    EXPECT_EQ(door.frame, 2001);
    for (Object* o : {&temple, &door, &ruvo}) FreeObject(o);
}

}  // namespace
