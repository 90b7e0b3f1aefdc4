// texconv.h: float images into texture records of every format the texture library holds, with
// ordered dithering where depth is reduced and a palette quantiser for the palettised formats.
//
// Ordered (Bayer 4x4) dithering is used rather than error diffusion because it is position-bound:
// a texture whose sides are multiples of 4 still tiles without a seam after dithering.
//
// Colour keys: a keyed texture turns every texel whose alpha is below one half into the key colour
// kColorKey, and keeps every other texel off it (a texel that would encode to the key's bits is
// nudged one step of green), so exactly the holes are transparent on both devices.
#pragma once

#include <cstdint>
#include <vector>

#include "image.h"
#include "texentry.h"

// The colour key of the show's keyed textures: magenta, exact in every 16-bit layout.
constexpr int32_t kColorKey = 0xFF00FF;

struct TexConvert {
    int format = TEX_RGB565;  // a TexFormat code
    bool keyed = false;       // alpha < 0.5 becomes kColorKey
    bool dither = true;  // ordered dithering where the format has fewer bits than 8 per channel
    int colours = 256;   // palette size for TEX_P8 / TEX_AP88 (index 0 is the key when keyed)
};

// Converts the image into `out` (format, width, height, advance = width, line_height = height,
// size, malloc'ed pixels and palette, colorkey; frames 0). The caller owns the blocks (PutTexture
// takes them). False for an unknown format, an empty image or out of memory (then *out is empty).
bool ImageToTexture(const Img& im, const TexConvert& how, TexEntry* out);

// The texel of a texture record as 0xAARRGGBB (for checks and previews); key texels give 0.
uint32_t TexelArgb(const TexEntry& e, int x, int y);

// Median-cut palette of at most `colours` entries (0xRRGGBB) for the texels whose alpha is at least
// minAlpha (0: every texel), weighted by how often each colour occurs. Deterministic.
std::vector<uint32_t> MedianCutPalette(const Img& im, int colours, float minAlpha = 0.5f);
// The index of the palette colour nearest to (r, g, b) 0..255, searching indexes first..n-1.
int NearestIndex(const std::vector<uint32_t>& palette, int first, int r, int g, int b);

// An 8-bit picture and its 256-colour palette: index 0 for texels whose alpha is below one half
// (palette[0] = `zero`), the others quantised into indexes 1..255 and kept off the zero colour's
// 5-6-5 value, so a loader that keys index 0's colour makes exactly those texels transparent.
void ImageToIndexed(const Img& im, uint32_t zero, std::vector<uint8_t>* indexes,
                    std::vector<uint32_t>* palette);
