// The Glide device on the Glide stand-in: the calls that reach Glide and what the card draws.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>
#include <utility>
#include <vector>

#include "dev_glide.h"
#include "device.h"
#include "device_support.h"
#include "glide_standin.h"

namespace {

std::vector<UINT> appMessages;  // WM_SYSCOMMAND wParams that reached the application's procedure

LRESULT CALLBACK AppProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SYSCOMMAND) {
        appMessages.push_back(static_cast<UINT>(wParam));
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class GlideDevice : public testing::Test {
protected:
    HWND window = nullptr;
    std::vector<int> handles;

    void SetUp() override {
        Win32_Reset();
        GlideStandIn_Reset();
        window = TestWindow("GlideTest", AppProc);
        appMessages.clear();
    }
    void TearDown() override {
        DevClose();
        for (int h : handles) DevFreeTexture(h);
        DevInitTextures();
        Win32_Reset();
        GlideStandIn_Reset();
    }
    void Open() {
        ASSERT_EQ(DevOpen(window, 640, 480, 72), 0);
        ScSetDither(GlideStandIn_Card(), false);
        GlideStandIn_Record(true);
    }
    void Upload(TexRecord& t, int handle) {
        ASSERT_EQ(DevUploadTexture(t.entry(), handle), 0);
        handles.push_back(handle);
    }
    uint16_t Px(int x, int y) { return ScPixels(GlideStandIn_Card(), SC_BACK)[y * 640 + x]; }
    const GlideCall* Last(const char* name) {
        const GlideCall* found = nullptr;
        for (const GlideCall& c : GlideStandIn_Calls())
            if (std::strcmp(c.name, name) == 0) found = &c;
        return found;
    }
};

// LOD of the longer side, aspect positive when wider; s, t span the whole texture.
TEST(GlideTables, UnknownSizesAndTextureShapes) {
    EXPECT_EQ(GlideResolution(641, 480), -1);
    const struct {
        int w, h;
        const char* want;  // lod aspect s t
    } shapes[] = {{64, 64, "6 0 256 256"}, {16, 64, "6 -2 64 256"},   {64, 8, "6 3 256 32"},
                  {1, 8, "3 -3 32 256"},   {256, 256, "8 0 256 256"}, {48, 48, "refused"},
                  {64, 4, "refused"},      {512, 512, "refused"},     {0, 8, "refused"}};
    for (auto c : shapes) {
        GrLOD_t lod = -9;
        GrAspectRatio_t aspect = -9;
        float s = 0, t = 0;
        char got[64] = "refused";
        if (GlideTexShape(c.w, c.h, &lod, &aspect, &s, &t))
            std::snprintf(got, sizeof got, "%d %d %g %g", int(lod), int(aspect), s, t);
        EXPECT_STREQ(got, c.want) << c.w << "x" << c.h;
    }
}

TEST_F(GlideDevice, OpensOnABoardWithTheModeCodesAndRefusesUnknownRatesBeforeInit) {
    DeviceEntry* list = nullptr;
    GlideStandIn_SetBoards(0);
    EXPECT_EQ(DevEnumDevices(&list), 0);
    EXPECT_EQ(DevOpen(window, 640, 480, 72), 1) << "no board";
    GlideStandIn_SetBoards(1);
    EXPECT_EQ(DevEnumDevices(&list), 1);
    GlideStandIn_Record(true);
    EXPECT_EQ(DevOpen(window, 640, 480, 65), 1);
    EXPECT_EQ(GlideStandIn_Count("grGlideInit"), 0);
    EXPECT_EQ(DevOpen(window, 640, 480, 72), 0);
    EXPECT_EQ(Last("grSstWinOpen")->a[0], 7) << "resolution";
    EXPECT_EQ(Last("grSstWinOpen")->a[1], 2) << "refresh";
    EXPECT_EQ(DevOpen(window, 640, 480, 72), 255) << "a second open while open";
    EXPECT_EQ(DevGetScreenInfo(10), 65535);
    EXPECT_EQ(DevSetRenderBuffer(2), 247);
    for (auto [mode, glide] : {std::pair{1, 1}, {-1, 2}, {0, 0}, {-5, 2}}) {
        DevSetCullMode(mode);
        EXPECT_EQ(Last("grCullMode")->a[0], glide) << "cull " << mode;
    }
    DevClear(1.0f, 0.5f, 0.0f);
    EXPECT_EQ(Last("grBufferClear")->a[0], 0xFFFF7F00) << "colour";
    EXPECT_EQ(Last("grBufferClear")->a[2], 0xFFFF) << "depth";
}

TEST_F(GlideDevice, FixesVerticesUpInPlaceAndDrawsSpritesAsFourCorners) {
    Open();
    DeviceVertex tri[3] = {{5000, -5000, 0, 0.25f, 0xFFFFFFFF, 0.5f, 1.0f},
                           {10, 10, 0, 1, 0xFFFFFFFF, 0, 0},
                           {20, 10, 0, 1, 0xFFFFFFFF, 0, 0}};
    EXPECT_EQ(DevDrawPrimitive(DEV_TRIANGLES, 3, tri), 0);
    const float fixed[4] = {tri[0].x, tri[0].y, tri[0].u, tri[0].v};
    EXPECT_EQ(std::vector<float>(fixed, fixed + 4), std::vector<float>({5000, -5000, 32, 64}));

    DevSetTexture(0, 0);
    DevSetDepthTest(0);
    DeviceVertex sprite = {100, 50, 0, 1, 0xFFFFFFFF, 10, 20};
    EXPECT_EQ(DevDrawPrimitive(DEV_SPRITE, 10, &sprite), 0);
    EXPECT_EQ(GlideStandIn_Count("grDrawVertexArrayContiguous"), 2);
    const GlideCall* draw = Last("grDrawVertexArrayContiguous");
    EXPECT_EQ(draw->a[0] * 10 + draw->a[1], 34) << "one GR_POLYGON (3) of 4 corners";
    // Columns 90..109, rows 45..54.
    EXPECT_EQ(Hex(Px(90, 45)) + Hex(Px(109, 54)) + Hex(Px(89, 50)) + Hex(Px(110, 50)) +
                  Hex(Px(100, 44)) + Hex(Px(100, 55)),
              "0xFFFF0xFFFF0x00000x00000x00000x0000");
    EXPECT_EQ(DevDrawPrimitive(7, 3, tri), 247);
}

// A floor behind the camera and a triangle 2800 pixels wide draw as straight into the card.
TEST_F(GlideDevice, VerticesFarOffScreenAndBehindTheCameraDrawAsGiven) {
    Open();
    TexRecord checker =
        Rgb565Texture(16, 16, [](int x, int y) { return (x ^ y) & 1 ? 0xFFFF : 0xF800; });
    Upload(checker, 0x30);
    ASSERT_EQ(DevSetTexture(0, 0x30), 0);
    auto see = [](float x, float y, float z, float u, float v) {
        return DeviceVertex{
            320 + 200 * x / z, 240 - 200 * y / z, 60000 * (z - 1) / z, 1 / z, 0xFFFFFFFF, u, v};
    };
    const DeviceVertex given[6] = {see(-3, -1, 4, 0, 0),    see(3, -1, 4, 3, 0),
                                   see(0, -1, -2, 1.5f, 6), see(-3, -1, 4, 0, 0),
                                   see(100, 1, 8, 9, 1),    see(3, -1, 4, 3, 0)};
    DeviceVertex batch[6];
    std::memcpy(batch, given, sizeof batch);
    DevSetCullMode(0);
    DevClear(0, 0, 0);
    EXPECT_EQ(DevDrawPrimitive(DEV_TRIANGLES, 6, batch), 0);
    ScCard* card = GlideStandIn_Card();
    std::vector<uint16_t> viaGlide(ScPixels(card, SC_BACK), ScPixels(card, SC_BACK) + 640 * 480);
    ScClearColor(card, SC_BACK, 0);
    ScClearDepth(card, 0xFFFF);
    ScVertex straight[6];
    std::memcpy(straight, given, sizeof straight);
    EXPECT_EQ(ScDraw(card, SC_TRIANGLES, straight, 6), 2);
    const int drawn = 640 * 480 - int(std::count(viaGlide.begin(), viaGlide.end(), 0));
    EXPECT_LE(Compare(viaGlide.data(), ScPixels(card, SC_BACK), 640 * 480).count, drawn / 1000)
        << "texels rounded differently at most";
    for (int x = 0; x < 640; x += 7)
        EXPECT_EQ(Px(x, 442), 0) << "nothing below the near plane, " << x;
}

TEST_F(GlideDevice, ImagesAndDepthReadsClipToTheScreen) {
    Open();
    TexRecord pic = Rgb565Texture(100, 4, [](int x, int) { return x + 1; });
    DeviceImage img;
    ASSERT_EQ(DevCreateImage(&img, pic.entry()), 0);
    struct {
        int x, y;
        long cols, rows, firstScreen, firstValue;
    } cases[] = {{600, 10, 40, 4, 600, 1},
                 {-10, 10, 90, 4, 0, 11},
                 {0, -2, 100, 2, 0, 1},
                 {0, 478, 100, 2, 0, 1}};
    for (auto c : cases) {
        EXPECT_EQ(DevDrawImage(&img, DEV_IMG_POS, c.x, c.y, 0), 0);
        const GlideCall* w = Last("grLfbWriteRegion");
        EXPECT_EQ(std::tie(w->a[4], w->a[5]), std::tie(c.cols, c.rows)) << c.x << "," << c.y;
        EXPECT_EQ(Px(int(c.firstScreen), c.y < 0 ? 0 : c.y), c.firstValue) << c.x << "," << c.y;
    }
    int writes = GlideStandIn_Count("grLfbWriteRegion");
    EXPECT_EQ(DevDrawImage(&img, DEV_IMG_POS, 700, 0, 0), 0);
    EXPECT_EQ(DevDrawImage(&img, 6, 0), 247);
    EXPECT_EQ(GlideStandIn_Count("grLfbWriteRegion"), writes)
        << "off screen and bad tag draw nothing";
    DevFreeImage(&img);
    EXPECT_EQ(DevDrawImage(&img, 0), 0) << "a freed image is a zeroed record";
    // Depth reads inside the screen only.
    DevClear(0, 0, 0);
    DeviceRect(10, 10, 20, 20);  // z 10
    EXPECT_EQ(DevReadDepth(15, 15, 1), 10.0f) << "z 10";
    EXPECT_EQ(DevReadDepth(30, 30, 0), 65535.0f) << "clear";
    int reads = GlideStandIn_Count("grLfbReadRegion");
    for (auto [x, y] : {std::pair{0, 480}, {-1, 0}, {640, 0}, {0, -1}})
        EXPECT_EQ(DevReadDepth(x, y, 0), 0.0f) << x << "," << y;
    EXPECT_EQ(GlideStandIn_Count("grLfbReadRegion"), reads);
}

TEST_F(GlideDevice, RefusesUsedHandlesAndDownloadsOnFirstBindOnly) {
    DevInitTextures();
    TexRecord t = SolidTexture(8, 8);
    Upload(t, 0x0201);
    EXPECT_NE(DevGetTexture(0x0201), nullptr);
    TexRecord other = SolidTexture(16, 16);
    EXPECT_EQ(DevUploadTexture(other.entry(), 0x0201), 2) << "used";
    EXPECT_EQ(DevGetTexture(0x0201)->width, 8);
    for (int h : {-1, 0x10000}) EXPECT_EQ(DevUploadTexture(t.entry(), h), 255) << h;
    // Download on first bind only; bad shapes are refused.
    Open();
    TexRecord square = SolidTexture(64, 64), odd = SolidTexture(48, 48);
    Upload(square, 0x0010);
    Upload(odd, 0x0011);
    EXPECT_EQ(DevSetTexture(0, 0x0010), 0);
    EXPECT_EQ(Last("grTexDownloadMipMap")->a[4], 6) << "LOD";
    EXPECT_EQ(Last("grTexDownloadMipMap")->a[5], 0) << "aspect";
    int calls = int(GlideStandIn_Calls().size());
    EXPECT_EQ(DevSetTexture(0, 0x0010), 0);
    EXPECT_EQ(int(GlideStandIn_Calls().size()), calls) << "a second bind issues nothing";
    EXPECT_EQ(DevSetTexture(0, 0x0011), 4) << "48x48";
    EXPECT_EQ(DevSetTexture(0, 0x7FFF), 3) << "a free handle";
    EXPECT_EQ(GlideStandIn_Count("grTexSource"), 1) << "failed binds leave the binding";
    EXPECT_EQ(GlideStandIn_Downloads(), 1u) << "failed binds leave the binding";
}

TEST_F(GlideDevice, AnimatedTexturesBindTheirFrameAndReuploadsShowTheirOwnTexels) {
    Open();
    DevSetDepthTest(0);
    TexRecord frames[4] = {SolidTexture(8, 8, 0x0001), SolidTexture(8, 8, 0x0002),
                           SolidTexture(8, 8, 0xF800), SolidTexture(8, 8, 0x0004)};
    frames[0].e.frames = 4;
    for (int i = 0; i < 4; ++i) Upload(frames[i], 0x50 + i);
    while (TexAnimPhase() % 4 != 2) TexAnimTick(0);
    ASSERT_EQ(DevSetTexture(0, 0x50), 0);
    DeviceRect(0, 0, 8, 8);
    EXPECT_EQ(Px(4, 4), 0xF800) << "frame 2 of handle 0x50 is handle 0x52";
    DevFreeTexture(0x52);
    TexRecord again = SolidTexture(8, 8, 0x07E0);
    Upload(again, 0x52);
    ASSERT_EQ(DevSetTexture(0, 0x52), 0);
    DeviceRect(0, 0, 8, 8);
    EXPECT_EQ(Px(4, 4), 0x07E0) << "a texture uploaded again under a handle is downloaded again";
}

TEST_F(GlideDevice, PlacesTexturesAroundTheTwoMegabyteBoundaryAndWrapsTheRing) {
    Open();
    TexRecord big = SolidTexture(256, 256, 0xF800);  // 0x20000 bytes
    Upload(big, 0x30);
    GlideSetNextFree(0, 0x1F0000);
    ASSERT_EQ(DevSetTexture(0, 0x30), 0);
    int unit;
    uint32_t address, size;
    ASSERT_TRUE(GlideResident(0x30, &unit, &address, &size));
    EXPECT_EQ(std::tie(address, size), std::make_tuple(0x200000u, 0x20000u));

    // Three small residents (8 KB) at the bottom, then one (64 KB) that no longer fits at the top.
    TexRecord a = SolidTexture(64, 64, 0x001F), b = SolidTexture(64, 64), c = SolidTexture(64, 64),
              d = SolidTexture(128, 256, 0x07E0);
    for (auto [t, h] : {std::pair{&a, 0x31}, {&b, 0x32}, {&c, 0x33}, {&d, 0x34}}) Upload(*t, h);
    DevFreeTexture(0x30);
    GlideSetNextFree(0, 0);
    for (int h : {0x31, 0x32, 0x33}) ASSERT_EQ(DevSetTexture(0, h), 0);
    GlideSetNextFree(0, 0x3F8000);
    ASSERT_EQ(DevSetTexture(0, 0x34), 0);
    ASSERT_TRUE(GlideResident(0x34, &unit, &address, &size));
    EXPECT_EQ(address, 0u) << "wrapped to the bottom";
    for (int h : {0x31, 0x32, 0x33}) EXPECT_FALSE(GlideResident(h, &unit, &address, &size)) << h;
    EXPECT_EQ(GlideNextFree(0), 0x10000u);

    // The evicted texture comes back from a fresh download, with its own texels.
    uint64_t downloads = GlideStandIn_Downloads();
    DevSetDepthTest(0);
    ASSERT_EQ(DevSetTexture(0, 0x31), 0);
    EXPECT_EQ(GlideStandIn_Downloads(), downloads + 1);  // drawn below with its own blue
    DeviceRect(0, 0, 32, 32);
    EXPECT_EQ(Px(16, 16), 0x001F);
}

TEST_F(GlideDevice, WindowProcedureSwitchesOutputOffAndBackOn) {
    Open();
    SendMessageA(window, WM_ACTIVATEAPP, 0, 0);
    EXPECT_EQ(GlideStandIn_Count("grDisable"), 1);
    EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0), 1);
    EXPECT_EQ(GlideStandIn_Count("grEnable"), 1);
    EXPECT_EQ(appMessages, std::vector<UINT>{UINT(SC_MAXIMIZE)})
        << "the restore reaches the application as a maximise";
    DevClose();
    SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_EQ(GlideStandIn_Count("grEnable"), 1) << "closed: the application's procedure is back";
}

}  // namespace
