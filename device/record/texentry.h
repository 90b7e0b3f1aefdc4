// texentry.h: the texture record, the 256-entry texture library, texture ids, the texture format
// codes and the texture animation phase.
//
// This header sits below the display device: the devices read TexEntry fields and call
// TexAnimResolve when they bind a texture, the texture library (texlib.h) fills and frees the
// records. It depends on nothing but the standard library.
#pragma once

#include <cstdint>

// Texture format codes, numbered as Glide's texture formats.
enum TexFormat {
    TEX_EMPTY = -1,      // unused library entry
    TEX_RGB332 = 0,      // 8 bits: red 7-5, green 4-2, blue 1-0
    TEX_ALPHA8 = 2,      // 8 bits: alpha
    TEX_INTENSITY8 = 3,  // 8 bits: intensity
    TEX_AI44 = 4,        // 8 bits: alpha 7-4, intensity 3-0
    TEX_P8 = 5,          // 8 bits: palette index (the entry has a palette)
    TEX_ARGB8332 = 8,    // 16 bits: low byte RGB 3-3-2, high byte alpha
    TEX_RGB565 = 10,     // 16 bits: red 15-11, green 10-5, blue 4-0
    TEX_ARGB1555 = 11,   // 16 bits: alpha 15, red 14-10, green 9-5, blue 4-0
    TEX_ARGB4444 = 12,   // 16 bits: alpha 15-12, red 11-8, green 7-4, blue 3-0
    TEX_AI88 = 13,       // 16 bits: low byte intensity, high byte alpha
    TEX_AP88 = 14        // 16 bits: low byte palette index, high byte alpha (entry has a palette)
};

// Bytes per texel of a format code: 1 or 2, or 0 for a code the system does not produce.
int TexFormatBytes(int format);

// One texture. The file keeps the same fields in the same order as a 36-byte record (TexFileRecord
// in texlib.cpp) whose `palette` and `pixels` are offsets into the library body; in memory they are
// the addresses of blocks owned by the library.
struct TexEntry {
    int16_t format;        // TexFormat code; -1 = empty entry
    int16_t width;         // texels
    int16_t height;        // texels
    int16_t advance;       // pixels to the next glyph when the texture is a font glyph
    int16_t line_height;   // line height in pixels when the texture is a font glyph
    uint8_t reserved1[2];  // carried through load and save unchanged
    uint32_t size;         // bytes of pixel data
    uint32_t* palette;     // 256 entries 0x00RRGGBB (bytes blue, green, red, 0), or null
    uint8_t* pixels;       // `size` bytes, rows top to bottom without gaps, or null
    int16_t frames;        // animation frames; 0 = not animated
    uint8_t reserved2[6];  // carried through load and save unchanged
    int32_t colorkey;      // transparent colour 0x00RRGGBB, or -1 = none
};

// A texture library: exactly 256 entries, one allocation. It owns the palette and pixel blocks
// of its entries.
struct TexLib {
    TexEntry entry[256];
};

// Library number in the high byte, entry index in the low byte; 0 = no texture.
typedef uint16_t TexId;

inline TexId MakeTexId(int library, int index) {
    return static_cast<TexId>(((library & 0xFF) << 8) | (index & 0xFF));
}

// ---- texture animation ----
// One process-wide phase (16 bits) and sub-counter (16 bits), both 0 at start, never reset.

// Advances the animation: when n is greater than the sub-counter the sub-counter grows by one,
// otherwise the phase grows by one and the sub-counter returns to 0. Returns the phase.
// Called by the demo timeline once per frame step, with 0.
uint16_t TexAnimTick(int n);
// The id a device really binds for `id` with `frames` animation frames: id + (phase mod frames)
// when frames > 0, else id. Called by the display devices whenever they bind a texture.
int TexAnimResolve(int id, int frames);
// The current phase (for tools and tests).
uint16_t TexAnimPhase(void);
