// sc_texture.cpp: textures of the card. Every source format is converted once, at load, into
// 0xAARRGGBB texels (channels widened by repeating their bits, so full-scale stays 255). A texel
// equal to the colour key is stored as 0; a texel that really is 0 is stored as 0x00000100
// (transparent, and below what a 5-6-5 pixel can show), so the key test is one compare.
// Rows are width + 1 texels long and there are height + 1 of them: the extra column repeats
// column 0 and the extra row repeats row 0, so bilinear filtering reads its right and lower
// neighbours without wrapping them.
#include <cstring>

#include "sc_internal.h"

namespace {
constexpr int kMaxSide = 4096;

inline uint32_t X1(uint32_t v) { return v ? 255 : 0; }
inline uint32_t X2(uint32_t v) { return v * 0x55; }
inline uint32_t X3(uint32_t v) { return (v << 5) | (v << 2) | (v >> 1); }
inline uint32_t X4(uint32_t v) { return v * 0x11; }
inline uint32_t X5(uint32_t v) { return (v << 3) | (v >> 2); }
inline uint32_t X6(uint32_t v) { return (v << 2) | (v >> 4); }
inline uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}
inline uint32_t Rgb332(uint32_t t) {
    return Argb(0, X3((t >> 5) & 7), X3((t >> 2) & 7), X2(t & 3));
}
inline uint32_t Pal(const uint32_t* palette, uint32_t i) {
    return palette ? (palette[i & 0xFF] & 0xFFFFFF) : 0;
}
}  // namespace

int ScFormatBytes(ScFormat format) {
    switch (format) {
    case SC_FMT_RGB332:
    case SC_FMT_A8:
    case SC_FMT_I8:
    case SC_FMT_AI44:
    case SC_FMT_P8: return 1;
    case SC_FMT_ARGB8332:
    case SC_FMT_RGB565:
    case SC_FMT_ARGB1555:
    case SC_FMT_ARGB4444:
    case SC_FMT_AI88:
    case SC_FMT_AP88: return 2;
    case SC_FMT_ARGB8888: return 4;
    default: return 0;
    }
}

bool ScConvertTexel(ScFormat format, uint32_t t, const uint32_t* palette, uint32_t* argb) {
    uint32_t out;
    switch (format) {
    case SC_FMT_RGB332: out = 0xFF000000u | Rgb332(t & 0xFF); break;
    case SC_FMT_A8: out = ((t & 0xFF) << 24) | 0xFFFFFF; break;
    case SC_FMT_I8: out = Argb(255, t & 0xFF, t & 0xFF, t & 0xFF); break;
    case SC_FMT_AI44: {
        uint32_t i = X4(t & 15);
        out = Argb(X4((t >> 4) & 15), i, i, i);
        break;
    }
    case SC_FMT_P8: out = 0xFF000000u | Pal(palette, t); break;
    case SC_FMT_ARGB8332: out = ((t & 0xFF00) << 16) | Rgb332(t & 0xFF); break;
    case SC_FMT_RGB565: out = Argb(255, X5((t >> 11) & 31), X6((t >> 5) & 63), X5(t & 31)); break;
    case SC_FMT_ARGB1555:
        out = Argb(X1((t >> 15) & 1), X5((t >> 10) & 31), X5((t >> 5) & 31), X5(t & 31));
        break;
    case SC_FMT_ARGB4444:
        out = Argb(X4((t >> 12) & 15), X4((t >> 8) & 15), X4((t >> 4) & 15), X4(t & 15));
        break;
    case SC_FMT_AI88: {
        uint32_t i = t & 0xFF;
        out = Argb((t >> 8) & 0xFF, i, i, i);
        break;
    }
    case SC_FMT_AP88: out = ((t & 0xFF00) << 16) | Pal(palette, t); break;
    case SC_FMT_ARGB8888: out = t; break;
    default: return false;
    }
    if (argb) *argb = out;
    return true;
}

ScTexture* ScTextureCreate(int width, int height) {
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return nullptr;
    ScTexture* t = new ScTexture;
    t->width = width;
    t->height = height;
    t->texels.assign(size_t(width + 1) * (height + 1), 0xFF000000u);
    return t;
}

void ScTextureDestroy(ScTexture* texture) {
    if (texture) ScFlushAll();  // queued draws may still read it
    delete texture;
}
int ScTextureWidth(const ScTexture* t) { return t ? t->width : 0; }
int ScTextureHeight(const ScTexture* t) { return t ? t->height : 0; }

bool ScTextureLoad(ScTexture* texture, ScFormat format, const void* texels, int pitchBytes,
                   const uint32_t* palette, ScKeyMode keyMode, uint32_t key) {
    const int bytes = ScFormatBytes(format);
    if (!texture || !texels || bytes == 0) return false;
    const int row = texture->width * bytes;
    if (pitchBytes == 0) pitchBytes = row;
    if (pitchBytes < row) return false;
    ScFlushAll();  // queued draws read the texels as they are now
    const uint32_t rawMask = bytes == 4 ? 0xFFFFFFFFu : ((1u << (8 * bytes)) - 1);
    const uint32_t rawKey = key & rawMask, rgbKey = key & 0xFFFFFF;
    bool keyed = false;
    const unsigned char* src = static_cast<const unsigned char*>(texels);
    for (int y = 0; y < texture->height; ++y) {
        const unsigned char* p = src + size_t(y) * pitchBytes;
        uint32_t* out = texture->texels.data() + size_t(y) * (texture->width + 1);
        for (int x = 0; x < texture->width; ++x, p += bytes) {
            uint32_t raw = 0;
            if (bytes == 1)
                raw = p[0];
            else if (bytes == 2)
                raw = uint32_t(p[0]) | (uint32_t(p[1]) << 8);
            else
                raw = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
                      (uint32_t(p[3]) << 24);
            uint32_t argb = 0;
            ScConvertTexel(format, raw, palette, &argb);
            bool isKey = (keyMode == SC_KEY_RAW && raw == rawKey) ||
                         (keyMode == SC_KEY_RGB && (argb & 0xFFFFFF) == rgbKey);
            if (isKey) {
                argb = 0;
                keyed = true;
            } else if (argb == 0) {
                argb = 0x100;
            }
            out[x] = argb;
        }
        out[texture->width] = out[0];
    }
    const size_t pitch = size_t(texture->width) + 1;
    std::memcpy(texture->texels.data() + pitch * texture->height, texture->texels.data(),
                pitch * sizeof(uint32_t));
    texture->keyed = keyed;
    return true;
}

uint32_t ScTextureTexel(const ScTexture* t, int x, int y) {
    if (!t || x < 0 || y < 0 || x >= t->width || y >= t->height) return 0;
    return t->texels[size_t(y) * (t->width + 1) + x];
}
