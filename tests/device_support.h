// device_support.h: texture records for the display device tests and the scene program.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "device.h"
#include "softcard_support.h"
#include "texentry.h"

// A texture record over pixels of its own (the devices copy them); entry() points it at them.
struct TexRecord {
    TexEntry e = {};
    std::vector<uint8_t> pixels;
    std::vector<uint32_t> palette = std::vector<uint32_t>(256, 0);
    TexRecord(int format, int w, int h, std::vector<uint8_t> px, int32_t key = -1)
        : pixels(std::move(px)) {
        e.format = int16_t(format), e.width = int16_t(w), e.height = int16_t(h), e.colorkey = key;
    }
    const TexEntry* entry() {
        e.size = uint32_t(pixels.size()), e.pixels = pixels.data();
        e.palette = e.format == TEX_P8 || e.format == TEX_AP88 ? palette.data() : nullptr;
        return &e;
    }
};

// w x h texels of 5-6-5, f(x, y) each.
template <class F>
TexRecord Rgb565Texture(int w, int h, F f, int32_t key = -1) {
    std::vector<uint16_t> t;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) t.push_back(uint16_t(f(x, y)));
    const uint8_t* b = reinterpret_cast<const uint8_t*>(t.data());
    return TexRecord(TEX_RGB565, w, h, std::vector<uint8_t>(b, b + 2 * t.size()), key);
}
inline TexRecord SolidTexture(int w, int h, uint16_t fill = 0xFFFF, int32_t key = -1) {
    return Rgb565Texture(
        w, h, [fill](int, int) { return fill; }, key);
}

// A screen rectangle at depth z, u and v running 0..1 with 1/w 1, drawn as a fan.
inline void DeviceRect(float x0, float y0, float x1, float y1, float z = 10, uint32_t c = ~0u) {
    DeviceVertex q[4] = {{x0, y0, z, 1, c, 0, 0},
                         {x0, y1, z, 1, c, 0, 1},
                         {x1, y1, z, 1, c, 1, 1},
                         {x1, y0, z, 1, c, 1, 0}};
    DevDrawPrimitive(DEV_FAN, 4, q);
}
