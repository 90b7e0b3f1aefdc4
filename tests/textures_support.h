// Helpers shared by the texture tests: unique temporary paths, whole-file I/O, PCX files.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

// A path of its own for the running test (tests of one binary run in parallel).
inline std::string TempPath(const std::string& leaf) {
    const testing::TestInfo* t = testing::UnitTest::GetInstance()->current_test_info();
    return testing::TempDir() + "tambir_" + t->test_suite_name() + "_" + t->name() + "_" + leaf;
}

inline void WriteFile(const std::string& path, const Bytes& b) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    if (!b.empty()) std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
}

inline Bytes ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

// A PCX file: header, the given scan data, marker 12 and the palette (sized once for GCC 12).
inline Bytes MakePcx(int width, int height, int bytesPerLine, const Bytes& scan,
                     const Bytes& palette) {
    Bytes b(128 + scan.size() + 1 + 768, 0);
    b[0] = 10, b[1] = 5, b[2] = 1, b[3] = 8, b[65] = 1;
    auto put16 = [&](int at, int v) {
        b[static_cast<size_t>(at)] = static_cast<uint8_t>(v);
        b[static_cast<size_t>(at) + 1] = static_cast<uint8_t>(v >> 8);
    };
    put16(4, 2), put16(6, 3);  // XMin, YMin
    put16(8, 2 + width - 1), put16(10, 3 + height - 1);
    put16(66, bytesPerLine);
    std::copy(scan.begin(), scan.end(), b.begin() + 128);
    b[128 + scan.size()] = 12;
    std::copy(palette.begin(),
              palette.begin() + static_cast<long>(std::min<size_t>(palette.size(), 768)),
              b.begin() + static_cast<long>(129 + scan.size()));
    return b;
}

// Scan data of pixel rows padded to bytesPerLine, bytes from 0xC0 as runs of 1.
inline Bytes EncodeRows(const Bytes& pixels, int width, int height, int bytesPerLine) {
    Bytes s;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < bytesPerLine; ++x) {
            const uint8_t v = x < width ? pixels[static_cast<size_t>(y * width + x)] : 0;
            if (v >= 0xC0) s.push_back(0xC1);
            s.push_back(v);
        }
    return s;
}
