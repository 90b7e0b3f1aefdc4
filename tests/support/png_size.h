// png_size.h: the picture size a PNG file's header gives, for the tests of captured frames.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

// "WxH" from the IHDR chunk, "none" when the file is not a PNG.
inline std::string PngSize(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    const std::string s(std::istreambuf_iterator<char>(f), {});
    if (s.size() < 24 || s.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || s.compare(12, 4, "IHDR"))
        return "none";
    auto be = [&](size_t at) {
        return (unsigned(uint8_t(s[at])) << 24) | (unsigned(uint8_t(s[at + 1])) << 16) |
               (unsigned(uint8_t(s[at + 2])) << 8) | unsigned(uint8_t(s[at + 3]));
    };
    return std::to_string(be(16)) + "x" + std::to_string(be(20));
}
