// fuzz_texlib.cpp: LoadTexLib. A library that loads hands out blocks of the sizes its entries
// state, and saves and loads again to the same entries and description.
#include <cstring>

#include "fuzz_support.h"
#include "texlib.h"

namespace {

bool SameEntry(const TexEntry& a, const TexEntry& b) {
    if (a.format != b.format || a.width != b.width || a.height != b.height ||
        a.advance != b.advance || a.line_height != b.line_height || a.size != b.size ||
        a.frames != b.frames || a.colorkey != b.colorkey ||
        std::memcmp(a.reserved1, b.reserved1, sizeof a.reserved1) != 0 ||
        std::memcmp(a.reserved2, b.reserved2, sizeof a.reserved2) != 0)
        return false;
    if (!a.palette != !b.palette || !a.pixels != !b.pixels) return false;
    if (a.palette && std::memcmp(a.palette, b.palette, 256 * sizeof(uint32_t)) != 0) return false;
    return !a.pixels || std::memcmp(a.pixels, b.pixels, a.size) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TexLib* lib = nullptr;
    char desc[48];
    if (LoadTexLib(MemFileWith(data, size), &lib, desc) != 0) {
        FUZZ_CHECK(lib == nullptr);
        return 0;
    }
    for (const TexEntry& e : lib->entry) {
        if (e.palette) TouchBytes(e.palette, 256 * sizeof(uint32_t));
        if (e.pixels) TouchBytes(e.pixels, e.size);
    }
    FUZZ_CHECK(SaveTexLib(MemFileWith(nullptr, 0, 1), lib, desc) == 0);
    TexLib* again = nullptr;
    char desc2[48];
    FUZZ_CHECK(LoadTexLib(MemFileSlot(1).path, &again, desc2) == 0);
    // The writer stops the description at its first NUL and pads it with NULs.
    FUZZ_CHECK(strncmp(desc, desc2, sizeof desc) == 0);
    for (int i = 0; i < 256; ++i) FUZZ_CHECK(SameEntry(lib->entry[i], again->entry[i]));
    FreeTexLib(again);
    FreeTexLib(lib);
    return 0;
}
