// overlay_support.h: a test font in the null device, and the glyphs read back from its calls.
#pragma once

#include <string>

#include "dev_null.h"

// Codes 0x20..0xFF: 6 x 10 pixels, advance 8, line height 12 (the space's 10); 'W' 11 x 13,
// advance 12, line height 14. No glyphs below 0x20. The device is reset to 640 x 480.
inline void UploadTestFont(int font) {
    NullDevice_Reset();
    nullDevice.width = 640;
    nullDevice.height = 480;
    DevInitTextures();
    for (int k = 0x20; k < 0x100; ++k) {
        bool w = k == 'W';
        TexEntry e{};
        e.format = TEX_RGB565;
        e.width = w ? 11 : 6;
        e.height = w ? 13 : 10;
        e.advance = w ? 12 : 8;
        e.line_height = w ? 14 : k == ' ' ? 10 : 12;
        DevUploadTexture(&e, font * 256 + k);
    }
    nullDevice.calls.clear();
}

// "a@0,0 b@8,0 ": the character (bound texture) and top-left corner of each sprite drawn.
inline std::string Placed() {
    std::string t;
    int bound = 0;
    for (const NullCall& c : nullDevice.calls) {
        if (c.op == NULL_SET_TEXTURE) bound = c.b;
        if (c.op != NULL_DRAW || c.a != DEV_SPRITE) continue;
        const DeviceVertex& v = nullDevice.vertices[static_cast<size_t>(c.d)];
        t += std::string(1, char(bound & 255)) + "@" + std::to_string(int(v.x) - int(v.v) / 2) +
             "," + std::to_string(int(v.y) - int(v.u) / 2) + " ";
    }
    return t;
}
