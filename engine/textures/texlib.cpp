// texlib.cpp: texture libraries (see texlib.h).
#include "texlib.h"

#include <bit>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "le_bytes.h"
#include "lzwc.h"

static_assert(std::endian::native == std::endian::little,
              "library files are little-endian and read in place");

namespace {

// The 36-byte record as the file stores it: `palette` and `pixels` are offsets into the body.
struct TexFileRecord {
    int16_t format;
    int16_t width;
    int16_t height;
    int16_t advance;
    int16_t line_height;
    uint8_t reserved1[2];
    uint32_t size;
    uint32_t palette;
    uint32_t pixels;
    int16_t frames;
    uint8_t reserved2[6];
    int32_t colorkey;
};
static_assert(sizeof(TexFileRecord) == 36, "the file's texture record is 36 bytes");
static_assert(offsetof(TexFileRecord, size) == 12 && offsetof(TexFileRecord, palette) == 16 &&
                  offsetof(TexFileRecord, pixels) == 20 && offsetof(TexFileRecord, frames) == 24 &&
                  offsetof(TexFileRecord, colorkey) == 32,
              "the file's texture record has the field offsets of the format");

constexpr size_t kDescLen = 48;
constexpr size_t kHeaderLen = 16;
constexpr size_t kTableLen = 256 * sizeof(TexFileRecord);  // 9216
constexpr size_t kPaletteLen = 768;
constexpr char kMagic[7] = {'T', 'E', 'X', 'L', 'I', 'B', '\0'};
constexpr const char* kDefaultDescription = "Default texture library builded for TRXTEX";

TexEntry EmptyEntry() {
    TexEntry e;
    std::memset(&e, 0, sizeof e);
    e.format = TEX_EMPTY;
    return e;
}

int LoadFail(const char* name, const char* why, FILE* f = nullptr) {
    if (f) std::fclose(f);
    std::fprintf(stderr, "texlib: %s: %s\n", name, why);
    return TEXLIB_FAILED;
}

}  // namespace

TexLib* NewTexLib(void) {
    TexLib* lib = static_cast<TexLib*>(std::malloc(sizeof(TexLib)));
    if (!lib) return nullptr;
    for (TexEntry& e : lib->entry) e = EmptyEntry();
    return lib;
}

int FreeTexLib(TexLib* lib) {
    if (!lib) return TEXLIB_OK;
    for (TexEntry& e : lib->entry) {
        std::free(e.palette);
        std::free(e.pixels);
    }
    std::free(lib);
    return TEXLIB_OK;
}

int FreeTexture(int index, TexLib* lib) {
    if (!lib || index < 0 || index > 255 || lib->entry[index].format == TEX_EMPTY)
        return TEXLIB_EMPTY;
    TexEntry& e = lib->entry[index];
    std::free(e.pixels);
    std::free(e.palette);
    e = EmptyEntry();
    return TEXLIB_OK;
}

int PutTexture(int index, TexLib* lib, const TexEntry* record) {
    if (!lib || !record || index < 0 || index > 255 || lib->entry[index].format != TEX_EMPTY)
        return TEXLIB_IN_USE;
    lib->entry[index] = *record;
    return TEXLIB_OK;
}

int LoadTexLib(const char* name, TexLib** lib, char* description) {
    if (!name || !lib) return TEXLIB_FAILED;
    FILE* f = std::fopen(name, "rb");
    if (!f) return LoadFail(name, "cannot open");
    if (std::fseek(f, 0, SEEK_END) != 0) return LoadFail(name, "cannot seek", f);
    const long file_len = std::ftell(f);
    if (file_len < 0 || std::fseek(f, 0, SEEK_SET) != 0) return LoadFail(name, "cannot seek", f);

    char desc[kDescLen];
    uint8_t header[kHeaderLen];
    if (std::fread(desc, 1, kDescLen, f) != kDescLen ||
        std::fread(header, 1, kHeaderLen, f) != kHeaderLen)
        return LoadFail(name, "shorter than its header", f);
    if (std::memcmp(header, kMagic, sizeof kMagic) != 0)
        return LoadFail(name, "not a texture library", f);
    const bool raw = header[7] != 0;
    const uint32_t unpacked = GetLe32(header + 8);
    const uint32_t stored = GetLe32(header + 12);
    if (stored > static_cast<uint64_t>(file_len) - (kDescLen + kHeaderLen))
        return LoadFail(name, "stored length runs past the end of the file", f);
    if (unpacked < kTableLen) return LoadFail(name, "body shorter than its table", f);
    if (raw ? unpacked != stored : unpacked > static_cast<uint64_t>(stored) * 4096u)
        return LoadFail(name, "unpacked length does not fit the stored length", f);
    if (unpacked > kTexLibMaxBody) {
        char why[120];
        std::snprintf(why, sizeof why,
                      "body unpacks to %u bytes, more than the %u a library may hold", unpacked,
                      kTexLibMaxBody);
        return LoadFail(name, why, f);
    }

    uint8_t* stored_body = static_cast<uint8_t*>(std::malloc(stored ? stored : 1));
    if (!stored_body) return LoadFail(name, "out of memory", f);
    if (std::fread(stored_body, 1, stored, f) != stored) {
        std::free(stored_body);
        return LoadFail(name, "short read", f);
    }
    std::fclose(f);

    uint8_t* body = stored_body;
    if (!raw) {
        body = static_cast<uint8_t*>(std::malloc(unpacked));
        if (!body) {
            std::free(stored_body);
            return LoadFail(name, "out of memory");
        }
        if (lzw_init(8) != 0) {
            std::free(body);
            std::free(stored_body);
            return LoadFail(name, "out of memory");
        }
        const int got =
            lzw_decompress(stored_body, static_cast<int>(stored), body, static_cast<int>(unpacked));
        lzw_free();
        std::free(stored_body);
        if (got != static_cast<int>(unpacked)) {
            std::free(body);
            return LoadFail(name,
                            got < 0 ? "corrupt body" : "body unpacks shorter than its header says");
        }
    }

    // Every block must lie inside the body before anything is made from it.
    TexFileRecord table[256];
    std::memcpy(table, body, kTableLen);
    for (int i = 0; i < 256; ++i) {
        const TexFileRecord& r = table[i];
        if (r.pixels &&
            (r.width < 1 || r.height < 1 || r.width > kTexMaxSide || r.height > kTexMaxSide)) {
            std::free(body);
            char why[120];
            std::snprintf(why, sizeof why,
                          "entry %d is %dx%d, outside the 1 to %d texels a side the devices take",
                          i, r.width, r.height, kTexMaxSide);
            return LoadFail(name, why);
        }
        const bool palette_bad =
            r.palette && static_cast<uint64_t>(r.palette) + kPaletteLen > unpacked;
        const bool pixels_bad = r.pixels && static_cast<uint64_t>(r.pixels) + r.size > unpacked;
        const bool pixels_missing = !r.pixels && r.size && r.format != TEX_EMPTY;
        if (palette_bad || pixels_bad || pixels_missing) {
            std::free(body);
            return LoadFail(name, pixels_missing ? "an entry has a size but no pixels"
                                                 : "an entry's block lies outside the body");
        }
    }

    // Each entry gets a copy of its blocks. Blocks the writer lays out lie back to back after the
    // table, so together they never exceed the body; entries that share a block would multiply
    // what a small file costs (256 entries on one large block), and such a library is refused.
    // An empty entry (format -1) gets no blocks, whatever offsets it records: the library's users
    // and its writer take it for one without any, so blocks given to it would be lost or leak.
    uint64_t blocks = 0;
    for (const TexFileRecord& r : table) {
        if (r.format == TEX_EMPTY) continue;
        if (r.palette) blocks += kPaletteLen;
        if (r.pixels) blocks += r.size;
    }
    if (blocks > unpacked - kTableLen) {
        std::free(body);
        return LoadFail(name,
                        "entries share blocks: their blocks add up to more than the body holds");
    }

    TexLib* out = NewTexLib();
    bool ok = out != nullptr;
    for (int i = 0; ok && i < 256; ++i) {
        const TexFileRecord& r = table[i];
        TexEntry& e = out->entry[i];
        e.format = r.format;
        e.width = r.width;
        e.height = r.height;
        e.advance = r.advance;
        e.line_height = r.line_height;
        std::memcpy(e.reserved1, r.reserved1, sizeof e.reserved1);
        e.size = r.size;
        e.frames = r.frames;
        std::memcpy(e.reserved2, r.reserved2, sizeof e.reserved2);
        e.colorkey = r.colorkey;
        e.palette = nullptr;
        e.pixels = nullptr;
        if (r.format == TEX_EMPTY) continue;
        if (r.palette) {
            e.palette = static_cast<uint32_t*>(std::calloc(256, sizeof(uint32_t)));
            if (!e.palette) {
                ok = false;
                break;
            }
            const uint8_t* p = body + r.palette;
            for (int j = 0; j < 256; ++j, p += 3) e.palette[j] = p[0] | (p[1] << 8) | (p[2] << 16);
        }
        if (r.pixels) {
            e.pixels = static_cast<uint8_t*>(std::malloc(r.size ? r.size : 1));
            if (!e.pixels) {
                ok = false;
                break;
            }
            std::memcpy(e.pixels, body + r.pixels, r.size);
        }
    }
    std::free(body);
    if (!ok) {
        FreeTexLib(out);
        return LoadFail(name, "out of memory");
    }
    if (description) std::memcpy(description, desc, kDescLen);
    *lib = out;
    return TEXLIB_OK;
}

int SaveTexLib(const char* name, const TexLib* lib, const char* description) {
    if (!name || !lib) return TEXLIB_FAILED;
    uint64_t body_len = kTableLen;
    for (const TexEntry& e : lib->entry) {
        if (e.format == TEX_EMPTY) continue;
        if (e.size && !e.pixels) return TEXLIB_FAILED;  // a size without pixels cannot be written
        if (e.pixels &&
            (e.width < 1 || e.height < 1 || e.width > kTexMaxSide || e.height > kTexMaxSide))
            return TEXLIB_FAILED;  // the loader would refuse it
        body_len += e.size + (e.palette ? kPaletteLen : 0);
    }
    if (body_len > kTexLibMaxBody) return TEXLIB_FAILED;

    uint8_t* body = static_cast<uint8_t*>(std::malloc(body_len));
    if (!body) return TEXLIB_FAILED;
    TexFileRecord table[256];
    size_t at = kTableLen;
    for (int i = 0; i < 256; ++i) {
        const TexEntry& e = lib->entry[i];
        TexFileRecord& r = table[i];
        r.format = e.format;
        r.width = e.width;
        r.height = e.height;
        r.advance = e.advance;
        r.line_height = e.line_height;
        std::memcpy(r.reserved1, e.reserved1, sizeof r.reserved1);
        r.size = e.size;
        r.palette = 0;
        r.pixels = 0;
        r.frames = e.frames;
        std::memcpy(r.reserved2, e.reserved2, sizeof r.reserved2);
        r.colorkey = e.colorkey;
        if (e.format == TEX_EMPTY) continue;
        if (e.palette) {
            r.palette = static_cast<uint32_t>(at);
            for (int j = 0; j < 256; ++j, at += 3) {
                body[at] = static_cast<uint8_t>(e.palette[j]);
                body[at + 1] = static_cast<uint8_t>(e.palette[j] >> 8);
                body[at + 2] = static_cast<uint8_t>(e.palette[j] >> 16);
            }
        }
        if (e.pixels) {
            r.pixels = static_cast<uint32_t>(at);
            std::memcpy(body + at, e.pixels, e.size);
            at += e.size;
        }
    }
    std::memcpy(body, table, kTableLen);

    FILE* f = std::fopen(name, "wb");
    if (!f) {
        std::free(body);
        return TEXLIB_FAILED;
    }
    const int len = static_cast<int>(body_len);
    uint8_t* packed = static_cast<uint8_t*>(std::calloc(2 * body_len, 1));
    int stored = -1;
    if (packed && lzw_init(8) == 0) {
        stored = lzw_compress(body, packed, len);
        lzw_free();
    }
    const bool raw = stored < 0;
    if (raw) stored = len;

    char desc[kDescLen] = {};
    const char* text = description ? description : kDefaultDescription;
    std::memcpy(desc, text, strnlen(text, kDescLen));
    uint8_t header[kHeaderLen];
    std::memcpy(header, kMagic, sizeof kMagic);
    header[7] = raw ? 1 : 0;
    PutLe32(header + 8, static_cast<uint32_t>(len));
    PutLe32(header + 12, static_cast<uint32_t>(stored));

    bool ok = std::fwrite(desc, 1, kDescLen, f) == kDescLen;
    ok = std::fwrite(header, 1, kHeaderLen, f) == kHeaderLen && ok;
    ok = std::fwrite(raw ? body : packed, 1, static_cast<size_t>(stored), f) ==
             static_cast<size_t>(stored) &&
         ok;
    ok = std::fclose(f) == 0 && ok;
    std::free(packed);
    std::free(body);
    return ok ? TEXLIB_OK : TEXLIB_FAILED;
}
