// fuzz_pcx.cpp: ReadPcx and LoadPcxTexture. Header bytes the reader ignores choose the texture:
// byte 1 (version) the format (valid and not), byte 2 (encoding) whether the file is the image
// (bit 0) and the alpha picture (bit 1), byte 3 (bits per pixel) the transparent index minus one.
// A picture that decodes holds width x height indexes; a texture that loads holds the texels its
// format and size say; a texture that does not load leaves the entry untouched.
#include <cstring>

#include "fuzz_support.h"
#include "pcx.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* name = MemFileWith(data, size);
    uint8_t* indexes = nullptr;
    uint8_t palette[768];
    int w = 0, h = 0;
    const int n = ReadPcx(name, &indexes, palette, &w, &h);
    FUZZ_CHECK(n >= -1);
    if (n >= 0) {
        FUZZ_CHECK(w > 0 && h > 0 && static_cast<int64_t>(w) * h == n);
        TouchBytes(indexes, static_cast<size_t>(n));
        std::free(indexes);
    }
    if (size < 4) return 0;

    static const int kFormats[16] = {0, 2, 3, 4, 5, 8, 10, 11, 12, 13, 14, 1, 6, 9, 15, -1};
    const int format = kFormats[data[1] & 15];
    const char* image = (data[2] & 1) ? name : nullptr;
    const char* alpha = (data[2] & 2) ? name : nullptr;
    TexEntry entry, before;
    std::memset(&entry, 0x5A, sizeof entry);
    before = entry;
    const int r = LoadPcxTexture(image, alpha, &entry, format, static_cast<int>(data[3]) - 1);
    FUZZ_CHECK(r == PCX_OK || r == PCX_ERR_FILE || r == PCX_ERR_FORMAT || r == PCX_ERR_SIZE ||
               r == PCX_ERR_NO_IMAGE || r == PCX_ERR_NO_ALPHA);
    if (r != PCX_OK) {
        FUZZ_CHECK(std::memcmp(&entry, &before, sizeof entry) == 0);
        return 0;
    }
    FUZZ_CHECK(entry.format == format && entry.width >= 0 && entry.height >= 0);
    const uint32_t texels =
        static_cast<uint32_t>(entry.width) * static_cast<uint32_t>(entry.height);
    FUZZ_CHECK(entry.size == texels || entry.size == 2 * texels);
    TouchBytes(entry.pixels, entry.size);
    if (entry.palette) TouchBytes(entry.palette, 256 * sizeof(uint32_t));
    std::free(entry.pixels);
    std::free(entry.palette);
    return 0;
}
