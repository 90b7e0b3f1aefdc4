// pcx.cpp: PCX pictures into texture records (see pcx.h).
#include "pcx.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "le_bytes.h"

namespace {

constexpr int kHeaderLen = 128;
constexpr int kPaletteLen = 768;
constexpr int64_t kMaxPixels = 1 << 28;

// What a format needs and makes.
struct FormatInfo {
    bool image, alpha;
    int flags;
};

bool Info(int format, FormatInfo* info) {
    switch (format) {
    case TEX_RGB332: *info = {true, false, 0}; return true;
    case TEX_ALPHA8: *info = {false, true, 0}; return true;
    case TEX_INTENSITY8: *info = {true, false, 0}; return true;
    case TEX_AI44: *info = {true, true, 0}; return true;
    case TEX_P8: *info = {true, false, PCX_USES_PALETTE}; return true;
    case TEX_ARGB8332: *info = {true, true, PCX_16BIT}; return true;
    case TEX_RGB565: *info = {true, false, PCX_16BIT}; return true;
    case TEX_ARGB1555: *info = {true, true, PCX_16BIT}; return true;
    case TEX_ARGB4444: *info = {true, true, PCX_16BIT}; return true;
    case TEX_AI88: *info = {true, true, PCX_16BIT}; return true;
    case TEX_AP88: *info = {true, true, PCX_USES_PALETTE | PCX_16BIT}; return true;
    default: return false;
    }
}

// The image-dependent part of a texel for palette entry / index i; alpha is added per pixel.
uint16_t ImageTexel(int format, int i, const uint8_t* palette) {
    const unsigned r = palette ? palette[3 * i] : 0, g = palette ? palette[3 * i + 1] : 0,
                   b = palette ? palette[3 * i + 2] : 0;
    const unsigned rgb332 = (((g & 0xE7) | (b >> 3)) >> 3) | (r & 0xE0);
    switch (format) {
    case TEX_RGB332:
    case TEX_ARGB8332: return static_cast<uint16_t>(rgb332);
    case TEX_INTENSITY8:
    case TEX_P8:
    case TEX_AI88:
    case TEX_AP88: return static_cast<uint16_t>(i);
    case TEX_AI44: return static_cast<uint16_t>(i >> 4);
    case TEX_RGB565: return static_cast<uint16_t>(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3));
    case TEX_ARGB1555:
        return static_cast<uint16_t>(((r & 0xF8) << 7) | ((g & 0xF8) << 2) | (b >> 3));
    case TEX_ARGB4444: return static_cast<uint16_t>(((r & 0xF0) << 4) | (g & 0xF0) | (b >> 4));
    default: return 0;
    }
}

// The alpha-dependent part for alpha value a.
uint16_t AlphaTexel(int format, int a) {
    switch (format) {
    case TEX_ALPHA8: return static_cast<uint16_t>(a);
    case TEX_AI44: return static_cast<uint16_t>(a & 0xF0);
    case TEX_ARGB8332:
    case TEX_AI88:
    case TEX_AP88: return static_cast<uint16_t>(a << 8);
    case TEX_ARGB1555: return static_cast<uint16_t>((a & 0x80) << 8);
    case TEX_ARGB4444: return static_cast<uint16_t>((a & 0xF0) << 8);
    default: return 0;
    }
}

}  // namespace

int DecodePcxLine(const uint8_t* src, int avail, uint8_t* dst, int count, int* consumed) {
    int in = 0, out = 0;
    while (out < count && in < avail) {
        const uint8_t b = src[in++];
        if (b < 0xC0) {
            dst[out++] = b;
            continue;
        }
        if (in >= avail) break;  // a run byte without its value
        const uint8_t v = src[in++];
        int n = b & 0x3F;
        if (n > count - out) n = count - out;  // the rest of a run crossing the line end is dropped
        std::memset(dst + out, v, static_cast<size_t>(n));
        out += n;
    }
    if (consumed) *consumed = in;
    return out;
}

int DecodePcx(const uint8_t* data, int length, uint8_t** indexes, uint8_t* palette, int* width,
              int* height) {
    if (!data || !indexes || length < kHeaderLen + kPaletteLen) return -1;
    const int w = GetLe16(data + 8) - GetLe16(data + 4) + 1;
    const int h = GetLe16(data + 10) - GetLe16(data + 6) + 1;
    const int bpl = GetLe16(data + 66);
    if (w <= 0 || h <= 0 || bpl < w) return -1;
    const int64_t pixels = static_cast<int64_t>(w) * h;
    // Each pair of encoded bytes yields at most 63 indexes: a bigger picture cannot be in the file.
    if (pixels > kMaxPixels || static_cast<int64_t>(bpl) * h > static_cast<int64_t>(length) * 32)
        return -1;
    uint8_t* img = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(pixels)));
    uint8_t* line = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(bpl)));
    if (!img || !line) {
        std::free(img);
        std::free(line);
        return -1;
    }
    int at = kHeaderLen;
    for (int y = 0; y < h; ++y) {
        int used = 0;
        if (DecodePcxLine(data + at, length - at, line, bpl, &used) < bpl) {
            std::free(img);
            std::free(line);
            return -1;  // scan data ends early
        }
        at += used;
        std::memcpy(img + static_cast<int64_t>(y) * w, line, static_cast<size_t>(w));
    }
    std::free(line);
    if (palette) std::memcpy(palette, data + length - kPaletteLen, kPaletteLen);
    *indexes = img;
    if (width) *width = w;
    if (height) *height = h;
    return static_cast<int>(pixels);
}

int ReadPcx(const char* name, uint8_t** indexes, uint8_t* palette, int* width, int* height) {
    FILE* f = name ? std::fopen(name, "rb") : nullptr;
    if (!f) return -1;
    long len = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) len = std::ftell(f);
    if (len < 0 || len > INT32_MAX || std::fseek(f, 0, SEEK_SET) != 0) {
        std::fclose(f);
        return -1;
    }
    uint8_t* data = static_cast<uint8_t*>(std::malloc(len ? static_cast<size_t>(len) : 1));
    const bool read =
        data && std::fread(data, 1, static_cast<size_t>(len), f) == static_cast<size_t>(len);
    std::fclose(f);
    const int n =
        read ? DecodePcx(data, static_cast<int>(len), indexes, palette, width, height) : -1;
    std::free(data);
    return n;
}

int ConvertTexels(const uint8_t* image, const uint8_t* alpha, const uint8_t* palette, int count,
                  int format, uint8_t** texels, int* flags) {
    FormatInfo info;
    if (!Info(format, &info)) return PCX_ERR_FORMAT;
    if (info.image && !image) return PCX_ERR_NO_IMAGE;
    if (info.alpha && !alpha) return PCX_ERR_NO_ALPHA;
    if (count < 0 || !texels) return PCX_ERR_FILE;
    uint16_t from_image[256], from_alpha[256];
    for (int i = 0; i < 256; ++i) {
        from_image[i] = info.image ? ImageTexel(format, i, palette) : 0;
        from_alpha[i] = info.alpha ? AlphaTexel(format, i) : 0;
    }
    const bool wide = info.flags & PCX_16BIT;
    uint8_t* out =
        static_cast<uint8_t*>(std::malloc(static_cast<size_t>(count) * (wide ? 2 : 1) + 1));
    if (!out) return PCX_ERR_FILE;
    for (int p = 0; p < count; ++p) {
        const uint16_t t = static_cast<uint16_t>((image ? from_image[image[p]] : 0) |
                                                 (info.alpha ? from_alpha[alpha[p]] : 0));
        if (wide) {
            out[2 * p] = static_cast<uint8_t>(t);
            out[2 * p + 1] = static_cast<uint8_t>(t >> 8);
        } else {
            out[p] = static_cast<uint8_t>(t);
        }
    }
    *texels = out;
    if (flags) *flags = info.flags;
    return PCX_OK;
}

int LoadPcxTexture(const char* image, const char* alpha, TexEntry* entry, int format,
                   int transparent) {
    if (!entry) return PCX_ERR_FILE;
    uint8_t* img = nullptr;
    uint8_t* alp = nullptr;
    uint8_t palette[kPaletteLen] = {};
    int w = 0, h = 0, count = 0;
    if (image) {
        count = ReadPcx(image, &img, palette, &w, &h);
        if (count < 0) return PCX_ERR_FILE;
    }
    if (alpha) {
        int aw = 0, ah = 0;
        const int acount = ReadPcx(alpha, &alp, nullptr, &aw, &ah);
        if (acount < 0) {
            std::free(img);
            return PCX_ERR_FILE;
        }
        if (image && (aw != w || ah != h || acount != count)) {
            std::free(img);
            std::free(alp);
            return PCX_ERR_SIZE;
        }
        w = aw, h = ah, count = acount;
    }
    // The record keeps sizes in 16 bits and the byte size in 32.
    if (w > INT16_MAX || h > INT16_MAX) {
        std::free(img);
        std::free(alp);
        return PCX_ERR_FILE;
    }
    uint8_t* texels = nullptr;
    int flags = 0;
    const int r =
        ConvertTexels(img, alp, image ? palette : nullptr, count, format, &texels, &flags);
    std::free(alp);
    if (r != PCX_OK) {
        std::free(img);
        return r;
    }
    uint32_t* pal = nullptr;
    if (flags & PCX_USES_PALETTE) {
        pal = static_cast<uint32_t*>(std::malloc(256 * sizeof(uint32_t)));
        if (!pal) {
            std::free(img);
            std::free(texels);
            return PCX_ERR_FILE;
        }
        for (int j = 0; j < 256; ++j)
            pal[j] = (palette[3 * j] << 16) | (palette[3 * j + 1] << 8) | palette[3 * j + 2];
    }
    std::free(img);
    entry->width = static_cast<int16_t>(w);
    entry->height = static_cast<int16_t>(h);
    entry->advance = static_cast<int16_t>(w);
    entry->format = static_cast<int16_t>(format);
    entry->pixels = texels;
    entry->size = static_cast<uint32_t>(count) * ((flags & PCX_16BIT) ? 2 : 1);
    entry->palette = pal;
    entry->colorkey = -1;
    if (image && transparent >= 0 && transparent <= 255)
        entry->colorkey = (palette[3 * transparent] << 16) | (palette[3 * transparent + 1] << 8) |
                          palette[3 * transparent + 2];
    return PCX_OK;
}
