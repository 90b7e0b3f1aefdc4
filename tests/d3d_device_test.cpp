// The Direct3D device over the DirectDraw/Direct3D stand-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "ddraw_standin.h"
#include "device.h"
#include "device_support.h"
#include "trx_dx_internal.h"

namespace {

DDPIXELFORMAT Pf(DWORD flags, DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a) {
    DDPIXELFORMAT f = {};
    f.dwSize = sizeof f, f.dwFlags = flags, f.dwRGBBitCount = bits;
    f.dwRBitMask = r, f.dwGBitMask = g, f.dwBBitMask = b, f.dwRGBAlphaBitMask = a;
    return f;
}
const DDPIXELFORMAT k565 = Pf(DDPF_RGB, 16, 0xF800, 0x7E0, 0x1F, 0);
const DDPIXELFORMAT k4444 = Pf(DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0xF00, 0xF0, 0xF, 0xF000);
const DDPIXELFORMAT k1555 = Pf(DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0x7C00, 0x3E0, 0x1F, 0x8000);
const DDPIXELFORMAT kP8 = Pf(DDPF_PALETTEINDEXED8 | DDPF_RGB, 8, 0, 0, 0, 0);
const DDPIXELFORMAT k8888 =
    Pf(DDPF_RGB | DDPF_ALPHAPIXELS, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
const DDPIXELFORMAT kZ16 = Pf(DDPF_ZBUFFER, 16, 0, 0xFFFF, 0, 0);
const DDPIXELFORMAT kZ24 = Pf(DDPF_ZBUFFER, 24, 0, 0xFFFFFF, 0, 0);
const DDPIXELFORMAT kZ32 = Pf(DDPF_ZBUFFER, 32, 0, 0xFFFFFFFFu, 0, 0);

std::string Joined(int w, int h, int bpp = 0) {
    return std::to_string(w) + "x" + std::to_string(h) + (bpp ? "x" + std::to_string(bpp) : "");
}

class D3dDevice : public testing::Test {
protected:
    void SetUp() override {
        window = TestWindow("d3d-test");
        ASSERT_NE(window, nullptr);
        DDrawStandIn_Stats() = DDrawStandInStats{};
    }
    void TearDown() override {
        DevClose();
        for (int h : handles) DevFreeTexture(h);
        DDrawStandIn_SetTextureFormats(nullptr, -1);
        DDrawStandIn_SetZBufferFormats(nullptr, -1);
        Win32_Reset();
        Win32_SetOptions(Win32StandInOptions{});
    }
    // Opens 640 x 480 on entry `n` of the list (0 software emulation, 2 primary, 3 second driver).
    void Open(int n = 0) {
        DeviceEntry* list = nullptr;
        ASSERT_GE(DevEnumDevices(&list), 4);
        DevSelectDevice(&list[n]);
        ASSERT_EQ(DevOpen(window, 640, 480, 60), 0);
        card = DDrawStandIn_Card();
        ASSERT_NE(card, nullptr);
        ScSetDither(card, false);
    }
    uint16_t Px(int x, int y, ScBuffer b = SC_BACK) { return ScPixels(card, b)[y * 640 + x]; }
    byte Upload(TexRecord& t, int handle) {
        handles.push_back(handle);
        return DevUploadTexture(t.entry(), handle);
    }
    std::vector<uint8_t> SurfaceBytes(int handle, int n, DDPIXELFORMAT* format) {
        DxTexture* t = DxTextureRecord(handle);
        if (!t) return {};
        DDSURFACEDESC2 d = {};
        d.dwSize = sizeof d;
        if (t->surface->Lock(nullptr, &d, DDLOCK_READONLY, nullptr) != DD_OK) return {};
        std::vector<uint8_t> out(static_cast<uint8_t*>(d.lpSurface),
                                 static_cast<uint8_t*>(d.lpSurface) + n);
        t->surface->Unlock(nullptr);
        *format = d.ddpfPixelFormat;
        return out;
    }
    HWND window = nullptr;
    ScCard* card = nullptr;
    std::vector<int> handles;
};

TEST_F(D3dDevice, ListsTwoSoftwareDevicesAndTheDriversAndOpensEach) {
    DeviceEntry* list = nullptr;
    ASSERT_EQ(DevEnumDevices(&list), 4);
    EXPECT_STREQ(list[0].name, "Software emulation");
    EXPECT_STREQ(list[1].name, "Software MMX driver");
    EXPECT_EQ(list[2].id, nullptr);  // the primary display driver
    EXPECT_NE(list[3].id, nullptr);  // a driver with a GUID
    // Each entry with depth formats on offer: the least depth is picked, read in 0..1 units.
    struct Case {
        int entry, deviceClass;
        DWORD zMemory, magFilter;
        bool modeChange;  // to 640 x 480 x 16 while open
        std::vector<DDPIXELFORMAT> z;
        DWORD zBits;
    } cases[] = {{0, 0, DDSCAPS_SYSTEMMEMORY, D3DTFG_POINT, false, {kZ32, kZ24, kZ16}, 16},
                 {1, 1, DDSCAPS_SYSTEMMEMORY, D3DTFG_POINT, false, {kZ16, kZ24}, 16},
                 {2, 2, DDSCAPS_VIDEOMEMORY, D3DTFG_LINEAR, false, {kZ32, kZ24}, 24},
                 {3, 2, DDSCAPS_VIDEOMEMORY, D3DTFG_LINEAR, true, {kZ32}, 32}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "entry " << c.entry);
        int w0, h0, b0, w, h, bpp;
        Win32_CurrentMode(&w0, &h0, &b0);
        DDrawStandIn_SetZBufferFormats(c.z.data(), int(c.z.size()));
        Open(c.entry);
        EXPECT_EQ(DxDepthFormat().dwZBufferBitDepth, c.zBits);
        EXPECT_EQ(DevReadDepth(0, 0, 0), 1.0f);
        const DDrawStandInStats& s = DDrawStandIn_Stats();
        Win32_CurrentMode(&w, &h, &bpp);
        EXPECT_EQ(s.deviceClass, c.deviceClass);
        EXPECT_EQ(s.magFilter, c.magFilter);
        EXPECT_EQ(s.minFilter, DWORD(D3DTFN_POINT));
        EXPECT_EQ(s.zCaps & (DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY), c.zMemory);
        EXPECT_EQ(Joined(w, h, bpp), c.modeChange ? "640x480x16" : Joined(w0, h0, b0));
        DevClose();  // restores the mode; the next entry opens after a close
        Win32_CurrentMode(&w, &h, &bpp);
        EXPECT_EQ(Joined(w, h, bpp), Joined(w0, h0, b0)) << "after close";
    }
    DevSelectDevice(&list[0]);
    EXPECT_EQ(DevOpen(nullptr, 640, 480, 0), 0);  // takes the active or foreground window
}

TEST_F(D3dDevice, InitialStateScreenQueriesAndDepthCalibration) {
    Open();
    struct {
        unsigned what;
        int want;
    } info[] = {{0, 0},   {1, 639}, {2, 479}, {3, 640}, {4, 480}, {5, 0},
                {6, 640}, {7, 0},   {8, 480}, {9, 0},   {10, 1},  {11, 0}};
    for (auto& i : info) EXPECT_EQ(DevGetScreenInfo(i.what), i.want) << "selector " << i.what;
    EXPECT_EQ(DevReadDepth(0, 0, 0), 1.0f);  // the calibration square, before any clear
    EXPECT_EQ(Joined(DevSetCullMode(0), DevSetDepthTest(0)), "-1x1") << "the states before";
    DevSetClipWindow(0, 0, 5000, 5000);  // clamped to the screen
    EXPECT_EQ(Joined(DevGetScreenInfo(6), DevGetScreenInfo(8)), "640x480");
    DevSetClipWindow(10, 20, 5, 30);  // x0 > x1: ignored
    EXPECT_EQ(DevGetScreenInfo(5), 0);
    DevClear(0, 0, 0);
    DevSetClipWindow(100, 100, 110, 120);
    DeviceVertex s[1] = {{105, 110, 0.5f, 1, 0xFFFFFFFF, 100, 100}};
    DevDrawPrimitive(DEV_SPRITE, 1, s);
    EXPECT_EQ(
        640 * 480 - std::count(ScPixels(card, SC_BACK), ScPixels(card, SC_BACK) + 640 * 480, 0),
        10 * 20);
    EXPECT_EQ(Hex(Px(100, 100)) + Hex(Px(109, 119)), "0xFFFF0xFFFF");
    DevClear(0, 0, 0);
    EXPECT_NEAR(DevReadDepth(100, 100, 1), 1.0f, 1e-4);
}

// Each library format on the surface format picked from those offered, its texels converted.
TEST_F(D3dDevice, UploadsPickASurfaceFormatAndConvertTheTexels) {
    struct Case {
        std::vector<DDPIXELFORMAT> offered;
        int format;
        std::vector<uint8_t> texel, want;  // one texel, and what the surface holds
        DDPIXELFORMAT picked;
    } cases[] = {
        {{kP8, k565, k4444}, TEX_RGB565, {0x34, 0x12}, {0x34, 0x12}, k565},  // offered exactly
        {{kP8, k565}, TEX_P8, {3}, {3}, kP8},
        {{k8888, k565, k4444}, TEX_P8, {3}, {0x00, 0xFC}, k565},  // no palettes: first 16-bit RGB
        {{k4444, k1555, k565}, TEX_ALPHA8, {0x80}, {0xFF, 0x8F}, k4444},  // white with alpha
        {{k4444, kP8, k565}, TEX_AP88, {0x05, 0xF0}, {0x35, 0xF1}, k4444},
        {{k1555, k565, k4444}, TEX_ARGB8332, {0xE3, 0xFF}, {0x18, 0xF0}, k1555},  // last such
        {{k8888, k565, k1555}, TEX_AI88, {0xC0, 0x40}, {0xC0, 0xC0, 0xC0, 0x40}, k8888},
        {{k8888}, TEX_AP88, {0x05, 0x80}, {0x56, 0x34, 0x12, 0x80}, k8888},
        {{k565}, TEX_RGB332, {0xE0}, {0x00, 0xE0}, k565},
        {{k565}, TEX_INTENSITY8, {0xFF}, {0xFF, 0xFF}, k565},
        {{k4444}, TEX_AI44, {0x5A}, {0xAA, 0x5A}, k4444},
        {{k565}, TEX_ARGB1555, {0x00, 0xFC}, {0x00, 0xF8}, k565},
    };
    auto fields = [](const DDPIXELFORMAT& f) {
        return std::make_tuple(f.dwFlags, f.dwRGBBitCount, f.dwRBitMask, f.dwRGBAlphaBitMask);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        DDrawStandIn_SetTextureFormats(c.offered.data(), int(c.offered.size()));
        Open();
        TexRecord t(c.format, 1, 1, c.texel);
        t.palette[3] = 0x00FF8000, t.palette[5] = 0x00123456;
        ASSERT_EQ(DevUploadTexture(t.entry(), 0x0100), 0);
        DDPIXELFORMAT f;
        EXPECT_EQ(SurfaceBytes(0x0100, int(c.want.size()), &f), c.want);
        EXPECT_EQ(fields(f), fields(c.picked));
        DevClose();
        DevFreeTexture(0x0100);
    }
}

TEST_F(D3dDevice, UploadsKeepRowsAndKeysAndRefuseBadRecords) {
    Open();
    TexRecord rgb(TEX_RGB565, 2, 1, {0x34, 0x12, 0x1F, 0xF8}, 0x00FF00FF);
    ASSERT_EQ(Upload(rgb, 0x0101), 0);
    DDPIXELFORMAT f;
    EXPECT_EQ(SurfaceBytes(0x0101, 4, &f), std::vector<uint8_t>({0x34, 0x12, 0x1F, 0xF8}));
    auto key = [](int handle) {
        DDCOLORKEY k = {1, 1};
        EXPECT_EQ(DxTextureRecord(handle)->surface->GetColorKey(DDCKEY_SRCBLT, &k), DD_OK);
        return k.dwColorSpaceLowValue;
    };
    EXPECT_EQ(key(0x0101), 0xF81Fu);
    TexRecord pal(TEX_P8, 2, 1, {3, 7}, 0x00FF00FF);
    ASSERT_EQ(Upload(pal, 0x0102), 0);
    EXPECT_EQ(key(0x0102), 0u) << "no key on palettised surfaces";
    TexRecord ap(TEX_AP88, 1, 2, {0x05, 0xF0, 0x03, 0x80});  // two 16-bit texels, one per row
    ap.palette[5] = 0x00123456;
    ASSERT_EQ(Upload(ap, 0x0104), 0);
    EXPECT_EQ(SurfaceBytes(0x0104, 2, &f), std::vector<uint8_t>({0x35, 0xF1}));  // row 0 = 0xF135

    EXPECT_EQ(Upload(pal, 0x0101), 2);  // used: the first texture stays
    EXPECT_EQ(DevGetTexture(0x0101)->format, TEX_RGB565);
    TexRecord empty(TEX_EMPTY, 0, 0, {});
    EXPECT_EQ(Upload(empty, 0x0105), 0);
    EXPECT_EQ(DevGetTexture(0x0105), nullptr);
    TexRecord shortPixels(TEX_RGB565, 4, 4, {1, 2, 3});
    EXPECT_EQ(Upload(shortPixels, 0x0106), 3);
    EXPECT_EQ(DevGetTexture(0x0101)->pixels, nullptr);
}

TEST_F(D3dDevice, BindingSkipsRepeatsAndFollowsAnimation) {
    Open();
    TexRecord t(TEX_RGB565, 1, 1, {0, 0});
    TexRecord anim(TEX_RGB565, 1, 1, {0, 0});
    anim.e.frames = 4;
    for (int h : {0x0010, 0x0011, 0x0012, 0x0013}) ASSERT_EQ(Upload(h == 0x0010 ? anim : t, h), 0);
    ASSERT_EQ(Upload(t, 0x0020), 0);
    DDrawStandInStats& s = DDrawStandIn_Stats();
    while (TexAnimPhase() % 4 != 2) TexAnimTick(0);  // phase 6, or any phase with the same frame
    EXPECT_EQ(DevSetTexture(0, 0x0010), 0);
    EXPECT_EQ(DxBoundHandle(), 0x0012);
    EXPECT_EQ(DevSetTexture(0, 0x7FFF), 0);  // free handle: untextured
    EXPECT_EQ(DxBoundHandle(), 0);
    int before = s.setTexture;
    for (int h : {0, 70000, -5}) EXPECT_EQ(DevSetTexture(0, h), 0) << h;
    EXPECT_EQ(s.setTexture, before);  // still untextured: no further bind
    // Freeing the bound handle unbinds it, so a new texture there is bound again.
    DevSetTexture(0, 0x0020);
    DevFreeTexture(0x0020);
    ASSERT_EQ(Upload(t, 0x0020), 0);
    before = s.setTexture;
    DevSetTexture(0, 0x0020);
    EXPECT_EQ(s.setTexture, before + 1);
}

TEST_F(D3dDevice, ClearsDrawsSpritesCullsTestsDepthAndFlips) {
    Open();
    DevClear(1, 0.5f, 0);
    EXPECT_EQ(Px(5, 5), 0xFBE0);  // 255, 127, 0
    EXPECT_EQ(ScReadDepth(card, 5, 5), 0xFFFF);
    DevClear(0, 0, 0);
    DevSetTexture(0, 0);
    DeviceVertex sprite[1] = {{100, 50, 0.5f, 1, 0xFFFFFFFF, 10, 20}};
    EXPECT_EQ(DevDrawPrimitive(DEV_SPRITE, 10, sprite), 0);
    EXPECT_EQ(Hex(Px(90, 45)) + Hex(Px(109, 54)) + Hex(Px(110, 55)), "0xFFFF0xFFFF0x0000");
    EXPECT_NEAR(DevReadDepth(100, 50, 1), 0.5f, 1e-4);

    // Cull mode -1 (set at open) drops clockwise screen triangles.
    DeviceVertex cw[3] = {{200, 200, 0.5f, 1, 0xFFFF0000, 0, 0},
                          {240, 200, 0.5f, 1, 0xFFFF0000, 0, 0},
                          {200, 240, 0.5f, 1, 0xFFFF0000, 0, 0}};
    DeviceVertex ccw[3] = {cw[0], cw[2], cw[1]};
    DeviceVertex far[3] = {ccw[0], ccw[1], ccw[2]};
    for (DeviceVertex& v : far) v.z = 0.9f, v.color = 0xFF0000FF;
    // Then depth less: a farther triangle stays behind; with the test off it covers.
    struct {
        DeviceVertex* tri;
        int depthTest;
        uint16_t want;
    } steps[] = {{cw, 1, 0}, {ccw, 1, 0xF800}, {far, 1, 0xF800}, {far, 0, 0x001F}};
    for (auto& st : steps) {
        DevSetDepthTest(st.depthTest);
        DevDrawPrimitive(DEV_TRIANGLES, 3, st.tri);
        EXPECT_EQ(Hex(Px(205, 205)), Hex(st.want)) << "step " << &st - steps;
    }
    DevFlip(2);
    DevEndScene();
    EXPECT_EQ(Px(205, 205, SC_FRONT), 0x001F) << "the flip shows the back buffer";
}

TEST_F(D3dDevice, ImagesAreCopiedUnscaledAndRenderBuffersSwitch) {
    Open();
    DevClear(0, 0, 0);
    TexRecord rgb(TEX_RGB565, 2, 2, {0x34, 0x12, 0x1F, 0xF8, 0xE0, 0x07, 0xFF, 0xFF});
    DeviceImage img;
    std::memset(&img, 0x55, sizeof img);
    ASSERT_EQ(DevCreateImage(&img, rgb.entry()), 0);
    EXPECT_EQ(DevDrawImage(&img, DEV_IMG_POS, 10, 20, 0), 0);
    EXPECT_EQ(Hex(Px(10, 20)) + Hex(Px(11, 20)) + Hex(Px(10, 21)), "0x12340xF81F0x07E0");
    EXPECT_EQ(DevDrawImage(&img, DEV_IMG_IGNORED1, 9, DEV_IMG_IGNORED2, 1, 2, DEV_IMG_FRONT, 0), 0);
    EXPECT_EQ(Px(0, 0, SC_FRONT), 0x1234);
    EXPECT_EQ(DevDrawImage(&img, 6, 0), DEV_ERR_BAD_SELECTOR);
    EXPECT_EQ(DevDrawImage(&img, DEV_IMG_POS, 639, 0, 0), DEV_ERR_CALL_FAILED);  // no clipping
    EXPECT_EQ(DevDrawImage(&img, DEV_IMG_POS, INT32_MAX, -1, 0), DEV_ERR_CALL_FAILED);
    EXPECT_EQ(DevReadDepth(INT32_MAX, 0, 1), 0.0f);
    EXPECT_EQ(DevReadDepth(-1, 0, 1), 0.0f);
    // Render buffers: 2 keeps the front buffer with the depth buffer attached again.
    DevSetDepthTest(0);
    struct {
        int buffer;
        float x;
        ScBuffer target;
    } steps[] = {{0, 10, SC_FRONT}, {2, 30, SC_FRONT}, {1, 50, SC_BACK}};
    for (auto& st : steps) {
        EXPECT_EQ(DevSetRenderBuffer(st.buffer), st.buffer);
        DeviceVertex s = {st.x, 10, 0.5f, 1, 0xFFFFFFFF, 4, 4};
        DevDrawPrimitive(DEV_SPRITE, 1, &s);
        EXPECT_EQ(Px(int(st.x), 10, st.target), 0xFFFF) << "buffer " << st.buffer;
    }
    EXPECT_EQ(Px(10, 10, SC_BACK), 0);
    DDrawStandIn_LoseSurfaces();
    DeviceImage zero = {};
    EXPECT_EQ(DevDrawImage(&zero, 0), 0);
    EXPECT_EQ(DevSetRenderBuffer(1), 1);  // restores the primary surface and its back buffer
    EXPECT_EQ(DevDrawImage(&img, 0), 0);
    EXPECT_EQ(Px(0, 0), 0x1234);

    TexRecord pal(TEX_P8, 1, 1, {9});
    pal.palette[9] = 0x00FF0000;  // palettised images are converted
    DeviceImage pimg;
    ASSERT_EQ(DevCreateImage(&pimg, pal.entry()), 0);
    EXPECT_EQ(DevDrawImage(&pimg, DEV_IMG_POS, 1, 1, DEV_IMG_BACK, 0), 0);
    EXPECT_EQ(Px(1, 1), 0xF800);

    TexRecord bad(TEX_ARGB4444, 1, 1, {0, 0});
    DeviceImage bimg;
    std::memset(&bimg, 0x55, sizeof bimg);
    EXPECT_EQ(DevCreateImage(&bimg, bad.entry()), DEV_ERR_BAD_SELECTOR);
    EXPECT_EQ(bimg.storage, nullptr);
    EXPECT_EQ(DevFreeImage(&zero), 0) << "freeing an empty record";
    DevClose();  // images are freed after the device is closed
    EXPECT_EQ(DevFreeImage(&img), 0);
    EXPECT_EQ(img.storage, nullptr) << "a freed image is zeroed";
    DevFreeImage(&pimg);
}

TEST_F(D3dDevice, FailedDrawRaisesTheAssertionReport) {
    Open();
    DeviceVertex v[3] = {};
    EXPECT_EXIT(DevDrawPrimitive(7, 3, v), testing::ExitedWithCode(3),
                "Assertion failed: !IDirect3DDevice3_DrawPrimitive.*, file trx_dx, line 505");
    EXPECT_EXIT(DevDrawPrimitive(DEV_TRIANGLES, 3, nullptr), testing::ExitedWithCode(3),
                "line 505");
}

}  // namespace
