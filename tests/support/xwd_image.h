// xwd_image.h: reading the screenshots `xwd` writes (X Window Dump, version 7, ZPixmap of 24 or
// 32 bits per pixel, true colour) into 8-bit RGB, and reading or writing 8-bit RGB PNG files, for
// the program tests that look at the real screen.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace xwd {

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // width x height x 3, rows top to bottom
    const uint8_t* At(int x, int y) const { return &rgb[(size_t(y) * width + x) * 3]; }
};

namespace detail {

inline uint32_t Be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// The value of `mask`'s bits in `pixel`, scaled to 0..255.
inline uint8_t Channel(uint32_t pixel, uint32_t mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    uint32_t top = mask >> shift, v = (pixel & mask) >> shift;
    return uint8_t(v * 255 / top);
}

}  // namespace detail

// Reads an xwd file; "" on success, else what is wrong with it.
inline std::string Read(const std::string& path, Image* out) {
    std::ifstream f(path, std::ios::binary);
    std::vector<uint8_t> d((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (d.size() < 100) return "too short for an xwd header";
    uint32_t h[25];
    for (int i = 0; i < 25; ++i) h[i] = detail::Be32(&d[size_t(i) * 4]);
    const uint32_t headerSize = h[0], version = h[1], format = h[2], width = h[4], height = h[5];
    const uint32_t byteOrder = h[7], bpp = h[11], bytesPerLine = h[12], visualClass = h[13];
    const uint32_t redMask = h[14], greenMask = h[15], blueMask = h[16], colours = h[19];
    if (version != 7) return "not an xwd version 7 file";
    if (format != 2) return "not a ZPixmap";
    if (bpp != 24 && bpp != 32) return "not 24 or 32 bits per pixel";
    if (visualClass != 4 && visualClass != 5) return "not a true- or direct-colour visual";
    if (width < 1 || height < 1 || width > 16384 || height > 16384) return "bad size";
    if (bytesPerLine < width * (bpp / 8)) return "rows shorter than the width";
    const uint64_t start = uint64_t(headerSize) + uint64_t(colours) * 12;
    if (headerSize < 100 || start + uint64_t(bytesPerLine) * height > d.size())
        return "pixels missing";
    out->width = int(width);
    out->height = int(height);
    out->rgb.assign(size_t(width) * height * 3, 0);
    const int bytes = int(bpp / 8);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = &d[start + uint64_t(y) * bytesPerLine];
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* p = row + size_t(x) * bytes;
            uint32_t v = 0;
            for (int i = 0; i < bytes; ++i)
                v |= uint32_t(p[byteOrder == 0 ? i : bytes - 1 - i]) << (8 * i);
            uint8_t* o = &out->rgb[(size_t(y) * width + x) * 3];
            o[0] = detail::Channel(v, redMask);
            o[1] = detail::Channel(v, greenMask);
            o[2] = detail::Channel(v, blueMask);
        }
    }
    return "";
}

// Reads an 8-bit PNG (any colour type) as RGB; false when it cannot.
inline bool ReadPng(const std::string& path, Image* out) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) return false;
    img.format = PNG_FORMAT_RGB;
    out->width = int(img.width);
    out->height = int(img.height);
    out->rgb.assign(PNG_IMAGE_SIZE(img), 0);
    bool ok = png_image_finish_read(&img, nullptr, out->rgb.data(), 0, nullptr) != 0;
    png_image_free(&img);
    return ok;
}

inline bool WritePng(const std::string& path, const Image& image) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    img.width = uint32_t(image.width);
    img.height = uint32_t(image.height);
    img.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&img, path.c_str(), 0, image.rgb.data(), 0, nullptr) != 0;
}

}  // namespace xwd
