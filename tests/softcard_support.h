// softcard_support.h: small helpers shared by the software card and display device tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "softcard.h"
#include "win32_standin.h"

// A card for pixel-exact checks: black, no dithering or blending, depth always, cull none.
inline ScCard* PlainCard(int w = 200, int h = 120) {
    ScCard* c = ScCreate(w, h);
    ScSetDither(c, false);
    ScSetBlend(c, false);
    ScSetDepthFunc(c, SC_DEPTH_ALWAYS);
    return c;
}

inline ScVertex V(float x, float y, uint32_t color = 0xFFFFFFFF, float u = 0, float v = 0,
                  float z = 0, float rhw = 1) {
    return ScVertex{x, y, z, rhw, color, u, v};
}

inline uint16_t Px(ScCard* c, int x, int y, ScBuffer b = SC_BACK) {
    return ScPixels(c, b)[y * ScWidth(c) + x];
}

inline constexpr uint16_t Rgb565(uint32_t r, uint32_t g, uint32_t b) {
    return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

// An axis-aligned rectangle as a 4-vertex fan, corners in the sprite order TL, BL, BR, TR.
inline void Quad(ScCard* c, float x0, float y0, float x1, float y1, uint32_t color = 0xFFFFFFFF,
                 float u0 = 0, float v0 = 0, float u1 = 1, float v1 = 1, float z = 0) {
    ScVertex q[4] = {V(x0, y0, color, u0, v0, z), V(x0, y1, color, u0, v1, z),
                     V(x1, y1, color, u1, v1, z), V(x1, y0, color, u1, v0, z)};
    ScDraw(c, SC_FAN, q, 4);
}

inline std::string Hex(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%04X", v);
    return b;
}

// A w x h texture of 5-6-5 texels f(x, y).
template <class F>
ScTexture* MakeTexture(int w, int h, F f, ScKeyMode mode = SC_KEY_NONE, uint32_t key = 0) {
    std::vector<uint16_t> px;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px.push_back(uint16_t(f(x, y)));
    ScTexture* t = ScTextureCreate(w, h);
    ScTextureLoad(t, SC_FMT_RGB565, px.data(), 0, nullptr, mode, key);
    return t;
}

// Where n pixels of a and b differ: how many, and the first such index (-1: none).
struct Diff {
    int count = 0, first = -1;
};
inline Diff Compare(const uint16_t* a, const uint16_t* b, int n) {
    Diff d;
    for (int i = 0; i < n; ++i)
        if (a[i] != b[i] && d.count++ == 0) d.first = i;
    return d;
}

// A 640 x 480 window of the Win32 stand-in, headless (no SDL window).
inline HWND TestWindow(const char* cls, WNDPROC proc = DefWindowProcA) {
    Win32StandInOptions o;
    o.headless = true;
    Win32_SetOptions(o);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = proc, wc.lpszClassName = cls;
    RegisterClassA(&wc);
    return CreateWindowExA(0, cls, "Tambir demo", 0, 0, 0, 640, 480, nullptr, nullptr, nullptr,
                           nullptr);
}
