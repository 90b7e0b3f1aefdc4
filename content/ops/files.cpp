// files.cpp: the small file writers and whole-file input and output (see files.h).
#include "files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

bool ReadBytes(const std::string& path, Bytes* out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    out->clear();
    struct stat st;  // a regular file's size is known: one allocation instead of a doubling series
    if (fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode))
        out->reserve(static_cast<size_t>(st.st_size));
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out->insert(out->end(), buf, buf + n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool WriteBytes(const std::string& path, const Bytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool MakeDir(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    return std::filesystem::is_directory(path, error);
}

void Put16(Bytes& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(Bytes& b, size_t at, uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}
void Append16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Append32(Bytes& b, uint32_t v) {
    Append16(b, v & 0xFFFF);
    Append16(b, v >> 16);
}

Bytes EncodePcx(int w, int h, const std::vector<uint8_t>& indexes,
                const std::vector<uint32_t>& palette) {
    const int line = (w + 1) & ~1;  // bytes per scan line are even
    Bytes b(128, 0);
    b[0] = 10;  // manufacturer
    b[1] = 5;   // version 3.0 with palette
    b[2] = 1;   // run-length encoding
    b[3] = 8;   // bits per pixel per plane
    Put16(b, 8, static_cast<uint32_t>(w - 1));
    Put16(b, 10, static_cast<uint32_t>(h - 1));
    Put16(b, 12, 72);
    Put16(b, 14, 72);
    b[65] = 1;  // planes
    Put16(b, 66, static_cast<uint32_t>(line));
    b[68] = 1;  // palette: colour
    for (int y = 0; y < h; ++y) {
        auto at = [&](int x) {
            return x < w ? indexes[static_cast<size_t>(y) * static_cast<size_t>(w) +
                                   static_cast<size_t>(x)]
                         : uint8_t{0};
        };
        for (int x = 0; x < line;) {
            const uint8_t v = at(x);
            int run = 1;
            while (x + run < line && run < 63 && at(x + run) == v) ++run;
            if (run > 1 || v >= 0xC0) b.push_back(static_cast<uint8_t>(0xC0 | run));
            b.push_back(v);
            x += run;
        }
    }
    b.push_back(12);
    for (int i = 0; i < 256; ++i) {
        const uint32_t c =
            i < static_cast<int>(palette.size()) ? palette[static_cast<size_t>(i)] : 0;
        b.push_back(static_cast<uint8_t>(c >> 16));
        b.push_back(static_cast<uint8_t>(c >> 8));
        b.push_back(static_cast<uint8_t>(c));
    }
    return b;
}

Bytes EncodeRemap(const char* model, const std::vector<int>& ids) {
    std::vector<int> all(ids);
    all.push_back(0);
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    std::string text = std::string("# ") + model + ": texture ids of demo.tex, each to itself\r\n";
    for (int id : all) text += std::to_string(id) + "->" + std::to_string(id) + "\r\n";
    return Bytes(text.begin(), text.end());
}

Bytes EncodeWav16(int channels, int rate, const std::vector<int16_t>& samples) {
    Bytes b;
    const uint32_t data = static_cast<uint32_t>(samples.size() * 2);
    for (char c : std::string("RIFF")) b.push_back(static_cast<uint8_t>(c));
    Append32(b, 36 + data);
    for (char c : std::string("WAVEfmt ")) b.push_back(static_cast<uint8_t>(c));
    Append32(b, 16);
    Append16(b, 1);  // PCM
    Append16(b, static_cast<uint32_t>(channels));
    Append32(b, static_cast<uint32_t>(rate));
    Append32(b, static_cast<uint32_t>(rate * channels * 2));
    Append16(b, static_cast<uint32_t>(channels * 2));
    Append16(b, 16);
    for (char c : std::string("data")) b.push_back(static_cast<uint8_t>(c));
    Append32(b, data);
    for (int16_t s : samples) Append16(b, static_cast<uint16_t>(s));
    return b;
}
