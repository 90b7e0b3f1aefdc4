// trxtool: a command-line tool for the show's data files.
//
//   trxtool lzw pack IN OUT             raw LZW stream of a whole file
//   trxtool lzw unpack IN OUT LENGTH    decode a raw stream that unpacks to LENGTH bytes
//   trxtool tex info FILE               description and one line per used entry
//   trxtool tex extract FILE DIR        each used entry as DIR/entry_NNN.png (RGBA)
//   trxtool tex build OUT MANIFEST      build a library from PCX pictures (manifest: see Usage)
//   trxtool tex sheet FILE OUT.png      contact sheet of a library's entries
//   trxtool png sheet OUT.png COLS PNG...  contact sheet of PNG pictures (rendered frames)
//   trxtool pcx png FILE OUT.png        a PCX picture as PNG
//   trxtool pcx info FILE               size and colours of a PCX picture
//   trxtool model info FILE             format, banner, animations and keyframes of a model file
//   trxtool model check FILE            load a model file with every check; exit 1 with the reason
//
// Exit status 0 on success, 1 with a message on stderr for bad input or bad usage.
#include <fcntl.h>
#include <png.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "files.h"
#include "lzwc.h"
#include "pcx.h"
#include "texlib.h"
#include "trx_object.h"

namespace {

const char* const kUsage =
    "usage: trxtool COMMAND ...\n"
    "  lzw pack IN OUT            write the LZW stream of file IN to OUT\n"
    "  lzw unpack IN OUT LENGTH   decode the LZW stream IN, which unpacks to LENGTH bytes, to OUT\n"
    "  tex info FILE              show a texture library: description and the used entries\n"
    "  tex extract FILE DIR       write each used entry of a texture library as DIR/entry_NNN.png\n"
    "  tex build OUT MANIFEST     build a texture library from PCX pictures\n"
    "  tex sheet FILE OUT.png     every used entry of a texture library on one contact sheet\n"
    "  png sheet OUT.png COLS PNG...  PNG pictures side by side, COLS to a row (frames at half "
    "size)\n"
    "  pcx info FILE              show the size and colours of a PCX picture\n"
    "  pcx png FILE OUT.png       a PCX picture as PNG (index 0 transparent)\n"
    "  model info FILE            show a model file: format, banner, animations and keyframes\n"
    "  model check FILE           load a model file with all its checks; exit 1 with the reason\n"
    "  --help                     this text\n"
    "\n"
    "Manifest of tex build: one item per line; blank lines and lines starting with '#' are "
    "skipped.\n"
    "  description TEXT           the library's description (at most 48 characters)\n"
    "  INDEX key=value ...        entry INDEX (0-255) from PCX pictures, with the keys\n"
    "     image=FILE  alpha=FILE  the picture and the alpha picture (paths relative to the "
    "manifest)\n"
    "     format=N                texture format code: 0, 2, 3, 4, 5, 8, 10, 11, 12, 13, 14 "
    "(default 10)\n"
    "     key=N                   palette index of the transparent colour, -1 none (default)\n"
    "     frames=N                animation frames (default 0)\n"
    "     advance=N line_height=N font glyph metrics (advance defaults to the width)\n";

int Fail(const char* fmt, ...) {
    std::fputs("trxtool: ", stderr);
    va_list args;
    va_start(args, fmt);
    std::vfprintf(stderr, fmt, args);
    va_end(args);
    std::fputc('\n', stderr);
    return 1;
}

// A block of memory for one large result, or a whole input file, mapped instead of allocated
// and copied: an input file is mapped from the page cache in one call, and an output block
// gets its pages (huge pages where the kernel offers them) only where it is written, so neither
// costs a clearing pass nor thousands of page faults.
struct Block {
    uint8_t* data = nullptr;
    size_t size = 0;    // bytes of content
    size_t mapped = 0;  // bytes mapped, 0 = nothing to unmap
};

void FreeBlock(Block* b) {
    if (b->mapped) munmap(b->data, b->mapped);
    *b = Block{};
}

// `size` writable bytes (not cleared: the writer sets every byte it reports).
bool AllocBlock(size_t size, Block* b) {
    *b = Block{};
    const size_t huge = size_t{2} << 20;
    const size_t mapped = (std::max<size_t>(size, 1) + huge - 1) / huge * huge;
    void* p = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return false;
    madvise(p, mapped, MADV_HUGEPAGE);  // a hint; without it the block simply has small pages
    b->data = static_cast<uint8_t*>(p);
    b->size = size;
    b->mapped = mapped;
    return true;
}

// The whole file at `path`, read-only. An empty file gives an empty block.
bool MapWhole(const char* path, Block* b) {
    *b = Block{};
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok && st.st_size > 0) {
        void* p = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ,
                       MAP_PRIVATE | MAP_POPULATE, fd, 0);
        ok = p != MAP_FAILED;
        if (ok) {
            b->data = static_cast<uint8_t*>(p);
            b->size = b->mapped = static_cast<size_t>(st.st_size);
        }
    }
    close(fd);
    return ok;
}

bool WriteWhole(const char* path, const uint8_t* data, size_t n) {
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = n == 0 || std::fwrite(data, 1, n, f) == n;
    ok = std::fclose(f) == 0 && ok;
    return ok;
}

bool ParseInt(const char* s, long lo, long hi, long* out) {
    if (!s || !*s) return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s, &end, 0);
    if (errno || *end || v < lo || v > hi) return false;
    *out = v;
    return true;
}

const char* FormatName(int format) {
    switch (format) {
    case TEX_RGB332: return "RGB332";
    case TEX_ALPHA8: return "A8";
    case TEX_INTENSITY8: return "I8";
    case TEX_AI44: return "AI44";
    case TEX_P8: return "P8";
    case TEX_ARGB8332: return "ARGB8332";
    case TEX_RGB565: return "RGB565";
    case TEX_ARGB1555: return "ARGB1555";
    case TEX_ARGB4444: return "ARGB4444";
    case TEX_AI88: return "AI88";
    case TEX_AP88: return "AP88";
    default: return "?";
    }
}

// ---- lzw ----

int LzwPack(const char* in, const char* out) {
    Block src, dst;
    if (!MapWhole(in, &src)) return Fail("cannot read %s", in);
    if (src.size == 0) return Fail("%s is empty", in);
    if (src.size > INT_MAX / 2) return FreeBlock(&src), Fail("%s is too large", in);
    // The coder stores every byte of the stream it reports, so the block needs no clearing.
    if (!AllocBlock(2 * src.size, &dst)) return FreeBlock(&src), Fail("out of memory for %s", in);
    lzw_init(8);
    const int n = lzw_compress(src.data, dst.data, static_cast<int>(src.size));
    lzw_free();
    const size_t size = src.size;
    FreeBlock(&src);
    int result = 0;
    if (n < 0) {
        result = Fail("%s does not shrink: its stream would be longer than the file", in);
    } else if (!WriteWhole(out, dst.data, static_cast<size_t>(n))) {
        result = Fail("cannot write %s", out);
    } else {
        std::printf("%s: %zu bytes -> %d bytes (%.1f%%)\n", in, size, n, 100.0 * n / size);
    }
    FreeBlock(&dst);
    return result;
}

int LzwUnpack(const char* in, const char* out, const char* length) {
    long len = 0;
    if (!ParseInt(length, 0, INT_MAX, &len))
        return Fail("LENGTH must be a number of bytes, not '%s'", length);
    Block src, dst;
    if (!MapWhole(in, &src)) return Fail("cannot read %s", in);
    if (src.size > INT_MAX) return FreeBlock(&src), Fail("%s is too large", in);
    // What the stream cannot unpack to is refused before the output is allocated.
    const size_t stored = src.size;
    const long long most = lzw_max_unpacked(static_cast<long long>(stored));
    if (stored == 0)
        return FreeBlock(&src), Fail("%s is not a valid LZW stream of at most %ld bytes", in, len);
    if (len > most)
        return FreeBlock(&src), Fail("%s (%zu bytes) cannot unpack to %ld bytes: at most %lld", in,
                                     stored, len, most);
    if (!AllocBlock(static_cast<size_t>(len), &dst))
        return FreeBlock(&src), Fail("out of memory for %s", in);
    lzw_init(8);
    const int n =
        lzw_decompress(src.data, static_cast<int>(src.size), dst.data, static_cast<int>(len));
    lzw_free();
    FreeBlock(&src);
    int result = 0;
    if (n < 0)
        result = Fail("%s is not a valid LZW stream of at most %ld bytes", in, len);
    else if (n != len)
        result = Fail("%s unpacks to %d bytes, not %ld", in, n, len);
    else if (!WriteWhole(out, dst.data, static_cast<size_t>(n)))
        result = Fail("cannot write %s", out);
    FreeBlock(&dst);
    return result;
}

// ---- tex ----

int TexInfo(const char* path) {
    TexLib* lib = nullptr;
    char desc[49] = {};
    if (LoadTexLib(path, &lib, desc)) return Fail("%s is not a readable texture library", path);
    std::vector<uint8_t> file;
    ReadBytes(path, &file);
    const bool raw = file.size() > 55 && file[55] != 0;
    int used = 0;
    for (const TexEntry& e : lib->entry) used += e.format != TEX_EMPTY;
    std::printf("description: %s\n", desc);
    std::printf("body: %s, %d entries used\n", raw ? "stored raw" : "LZW", used);
    std::printf("%5s %-12s %9s %7s %6s %8s %7s %6s %8s\n", "index", "format", "size", "advance",
                "line", "bytes", "palette", "frames", "colorkey");
    for (int i = 0; i < 256; ++i) {
        const TexEntry& e = lib->entry[i];
        if (e.format == TEX_EMPTY) continue;
        char fmt[24], size[24], key[16];
        std::snprintf(fmt, sizeof fmt, "%d %s", e.format, FormatName(e.format));
        std::snprintf(size, sizeof size, "%dx%d", e.width, e.height);
        if (e.colorkey == -1)
            std::snprintf(key, sizeof key, "none");
        else
            std::snprintf(key, sizeof key, "0x%06X", static_cast<unsigned>(e.colorkey));
        std::printf("%5d %-12s %9s %7d %6d %8u %7s %6d %8s\n", i, fmt, size, e.advance,
                    e.line_height, e.size, e.palette ? "yes" : "no", e.frames, key);
    }
    FreeTexLib(lib);
    return 0;
}

// RGBA of texel i of an entry.
void TexelRgba(const TexEntry& e, int i, uint8_t* px) {
    auto pal = [&](int index) {
        if (!e.palette) {
            px[0] = px[1] = px[2] = static_cast<uint8_t>(index);
            return;
        }
        const uint32_t c = e.palette[index];
        px[0] = static_cast<uint8_t>(c >> 16), px[1] = static_cast<uint8_t>(c >> 8),
        px[2] = static_cast<uint8_t>(c);
    };
    auto rgb332 = [&](unsigned t) {
        px[0] = static_cast<uint8_t>(((t >> 5) & 7) * 255 / 7);
        px[1] = static_cast<uint8_t>(((t >> 2) & 7) * 255 / 7);
        px[2] = static_cast<uint8_t>((t & 3) * 255 / 3);
    };
    const uint8_t* p = e.pixels;
    const unsigned b = p[i];
    const unsigned w =
        TexFormatBytes(e.format) == 2 ? static_cast<unsigned>(p[2 * i] | (p[2 * i + 1] << 8)) : 0;
    px[3] = 255;
    switch (e.format) {
    case TEX_RGB332: rgb332(b); break;
    case TEX_ALPHA8: px[0] = px[1] = px[2] = 255, px[3] = static_cast<uint8_t>(b); break;
    case TEX_INTENSITY8: px[0] = px[1] = px[2] = static_cast<uint8_t>(b); break;
    case TEX_AI44:
        px[0] = px[1] = px[2] = static_cast<uint8_t>((b & 15) * 17);
        px[3] = static_cast<uint8_t>((b >> 4) * 17);
        break;
    case TEX_P8: pal(static_cast<int>(b)); break;
    case TEX_ARGB8332: rgb332(w & 0xFF), px[3] = static_cast<uint8_t>(w >> 8); break;
    case TEX_RGB565:
        px[0] = static_cast<uint8_t>((w >> 11) * 255 / 31);
        px[1] = static_cast<uint8_t>(((w >> 5) & 63) * 255 / 63);
        px[2] = static_cast<uint8_t>((w & 31) * 255 / 31);
        break;
    case TEX_ARGB1555:
        px[0] = static_cast<uint8_t>(((w >> 10) & 31) * 255 / 31);
        px[1] = static_cast<uint8_t>(((w >> 5) & 31) * 255 / 31);
        px[2] = static_cast<uint8_t>((w & 31) * 255 / 31);
        px[3] = (w & 0x8000) ? 255 : 0;
        break;
    case TEX_ARGB4444:
        px[0] = static_cast<uint8_t>(((w >> 8) & 15) * 17);
        px[1] = static_cast<uint8_t>(((w >> 4) & 15) * 17);
        px[2] = static_cast<uint8_t>((w & 15) * 17);
        px[3] = static_cast<uint8_t>((w >> 12) * 17);
        break;
    case TEX_AI88:
        px[0] = px[1] = px[2] = static_cast<uint8_t>(w), px[3] = static_cast<uint8_t>(w >> 8);
        break;
    case TEX_AP88: pal(static_cast<int>(w & 0xFF)), px[3] = static_cast<uint8_t>(w >> 8); break;
    default: px[0] = px[1] = px[2] = 0; break;
    }
}

bool WritePng(const char* path, int width, int height, const std::vector<uint8_t>& rgba) {
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, const_cast<png_bytep>(rgba.data() + static_cast<size_t>(y) * width * 4));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

int TexExtract(const char* path, const char* dir) {
    TexLib* lib = nullptr;
    if (LoadTexLib(path, &lib)) return Fail("%s is not a readable texture library", path);
    int status = 0, written = 0;
    for (int i = 0; i < 256; ++i) {
        const TexEntry& e = lib->entry[i];
        if (e.format == TEX_EMPTY) continue;
        const int bpp = TexFormatBytes(e.format);
        const int64_t need = static_cast<int64_t>(e.width) * e.height * bpp;
        if (!bpp || e.width <= 0 || e.height <= 0 || !e.pixels || need > e.size) {
            status = Fail("entry %d: format %d, %dx%d does not fit its %u bytes of pixels", i,
                          e.format, e.width, e.height, e.size);
            continue;
        }
        std::vector<uint8_t> rgba(static_cast<size_t>(e.width) * e.height * 4);
        for (int p = 0; p < e.width * e.height; ++p)
            TexelRgba(e, p, &rgba[static_cast<size_t>(p) * 4]);
        const std::string out = std::string(dir) + "/entry_" +
                                (i < 100 ? i < 10 ? "00" : "0" : "") + std::to_string(i) + ".png";
        if (!WritePng(out.c_str(), e.width, e.height, rgba)) {
            status = Fail("cannot write %s", out.c_str());
            continue;
        }
        ++written;
    }
    FreeTexLib(lib);
    if (status == 0) std::printf("%d entries written to %s\n", written, dir);
    return status;
}

// ---- contact sheets ----

// Digits 0-9 of a 3x5 pixel font, one row per 3 bits, for labelling cells.
const uint8_t kDigits[10][5] = {{7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7},
                                {5, 5, 7, 1, 1}, {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1},
                                {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}};

struct Sheet {
    int width, height;
    std::vector<uint8_t> rgba;
};

Sheet MakeSheet(int width, int height) {
    Sheet s{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 4, 0)};
    for (size_t i = 3; i < s.rgba.size(); i += 4) s.rgba[i] = 255;
    return s;
}

void PutPixel(Sheet* s, int x, int y, const uint8_t* px) {
    if (x < 0 || y < 0 || x >= s->width || y >= s->height) return;
    std::memcpy(&s->rgba[(static_cast<size_t>(y) * s->width + x) * 4], px, 4);
}

// Writes the number at (x, y) in white, two pixels per font pixel.
void Label(Sheet* s, int x, int y, long number) {
    const std::string text = std::to_string(number);
    const uint8_t white[4] = {255, 255, 255, 255};
    for (size_t c = 0; c < text.size(); ++c)
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 3; ++col)
                if (kDigits[text[c] - '0'][row] & (4 >> col))
                    for (int k = 0; k < 4; ++k)
                        PutPixel(s, x + static_cast<int>(c) * 8 + col * 2 + (k & 1),
                                 y + row * 2 + k / 2, white);
}

// Copies an RGBA picture into the sheet at (x, y), shrunk by `shrink` (box filter), blended over
// a grey checkerboard so alpha shows.
void Blit(Sheet* s, int x, int y, int w, int h, const uint8_t* rgba, int shrink) {
    for (int ty = 0; ty < h / shrink; ++ty)
        for (int tx = 0; tx < w / shrink; ++tx) {
            int sum[4] = {0, 0, 0, 0};
            for (int sy = 0; sy < shrink; ++sy)
                for (int sx = 0; sx < shrink; ++sx) {
                    const uint8_t* p =
                        rgba + (static_cast<size_t>(ty * shrink + sy) * w + tx * shrink + sx) * 4;
                    for (int c = 0; c < 4; ++c) sum[c] += p[c];
                }
            const int n = shrink * shrink, a = sum[3] / n;
            const int check = ((tx / 8 + ty / 8) & 1) ? 96 : 64;
            uint8_t out[4] = {0, 0, 0, 255};
            for (int c = 0; c < 3; ++c)
                out[c] = static_cast<uint8_t>((sum[c] / n * a + check * (255 - a)) / 255);
            PutPixel(s, x + tx, y + ty, out);
        }
}

bool ReadPng(const char* path, int* width, int* height, std::vector<uint8_t>* rgba) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path)) return false;
    image.format = PNG_FORMAT_RGBA;
    rgba->resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba->data(), 0, nullptr)) return false;
    *width = static_cast<int>(image.width);
    *height = static_cast<int>(image.height);
    return true;
}

// Every used entry of a library in a grid of 264-pixel cells, labelled with its index.
int TexSheet(const char* path, const char* out) {
    TexLib* lib = nullptr;
    if (LoadTexLib(path, &lib)) return Fail("%s is not a readable texture library", path);
    std::vector<int> used;
    for (int i = 0; i < 256; ++i) {
        const TexEntry& e = lib->entry[i];
        const int64_t need = static_cast<int64_t>(e.width) * e.height * TexFormatBytes(e.format);
        if (e.format != TEX_EMPTY && e.pixels && e.width > 0 && e.height > 0 && need > 0 &&
            need <= e.size)
            used.push_back(i);
    }
    const int cell = 264, cols = 8, rows = (static_cast<int>(used.size()) + cols - 1) / cols;
    Sheet sheet = MakeSheet(cell * cols, std::max(1, rows) * (cell + 14));
    for (size_t k = 0; k < used.size(); ++k) {
        const TexEntry& e = lib->entry[used[k]];
        std::vector<uint8_t> rgba(static_cast<size_t>(e.width) * e.height * 4);
        for (int p = 0; p < e.width * e.height; ++p)
            TexelRgba(e, p, &rgba[static_cast<size_t>(p) * 4]);
        const int shrink = std::max(1, (std::max<int>(e.width, e.height) + 255) / 256);
        const int x = static_cast<int>(k % cols) * cell,
                  y = static_cast<int>(k / cols) * (cell + 14);
        Label(&sheet, x + 4, y + 2, used[k]);
        Blit(&sheet, x + 4, y + 14, e.width, e.height, rgba.data(), shrink);
    }
    FreeTexLib(lib);
    if (!WritePng(out, sheet.width, sheet.height, sheet.rgba)) return Fail("cannot write %s", out);
    std::printf("%zu entries on %s\n", used.size(), out);
    return 0;
}

// PNG pictures side by side, `cols` to a row, pictures wider than 400 pixels at half size,
// each labelled with the number in its file name (frame-000300.png: 300).
int PngSheet(const char* out, const char* colsText, int count, char** files) {
    long cols = 0;
    if (!ParseInt(colsText, 1, 64, &cols)) return Fail("bad column count %s", colsText);
    struct Picture {
        int w, h;
        std::vector<uint8_t> rgba;
        long number;
    };
    std::vector<Picture> pictures;
    int cellW = 1, cellH = 1;
    for (int i = 0; i < count; ++i) {
        Picture p{0, 0, {}, -1};
        if (!ReadPng(files[i], &p.w, &p.h, &p.rgba))
            return Fail("%s is not a readable PNG file", files[i]);
        const char* name = std::strrchr(files[i], '/');
        for (const char* c = name ? name : files[i]; *c; ++c)
            if (*c >= '0' && *c <= '9') p.number = (p.number < 0 ? 0 : p.number * 10) + (*c - '0');
        const int shrink = p.w > 400 ? 2 : 1;
        cellW = std::max(cellW, p.w / shrink + 4);
        cellH = std::max(cellH, p.h / shrink + 16);
        pictures.push_back(std::move(p));
    }
    const int rows = (count + static_cast<int>(cols) - 1) / static_cast<int>(cols);
    Sheet sheet =
        MakeSheet(cellW * static_cast<int>(std::min<long>(cols, count)), cellH * std::max(1, rows));
    for (size_t k = 0; k < pictures.size(); ++k) {
        const Picture& p = pictures[k];
        const int x = static_cast<int>(k % cols) * cellW, y = static_cast<int>(k / cols) * cellH;
        if (p.number >= 0) Label(&sheet, x + 2, y + 2, p.number);
        Blit(&sheet, x + 2, y + 14, p.w, p.h, p.rgba.data(), p.w > 400 ? 2 : 1);
    }
    if (!WritePng(out, sheet.width, sheet.height, sheet.rgba)) return Fail("cannot write %s", out);
    return 0;
}

// A PCX picture as a PNG file; palette index 0 is transparent.
int PcxPng(const char* path, const char* out) {
    uint8_t* indexes = nullptr;
    uint8_t palette[768];
    int w = 0, h = 0;
    if (ReadPcx(path, &indexes, palette, &w, &h) < 0)
        return Fail("%s is not a readable PCX picture", path);
    std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
        std::memcpy(&rgba[i * 4], &palette[indexes[i] * 3], 3);
        rgba[i * 4 + 3] = indexes[i] ? 255 : 0;
    }
    std::free(indexes);
    if (!WritePng(out, w, h, rgba)) return Fail("cannot write %s", out);
    return 0;
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        size_t j = i;
        while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
        if (j > i) words.push_back(line.substr(i, j - i));
        i = j;
    }
    return words;
}

int TexBuild(const char* out, const char* manifest) {
    std::vector<uint8_t> text;
    if (!ReadBytes(manifest, &text)) return Fail("cannot read %s", manifest);
    std::string base = manifest;
    const size_t slash = base.rfind('/');
    base = slash == std::string::npos ? "" : base.substr(0, slash + 1);
    auto resolve = [&](const std::string& p) { return p.empty() || p[0] == '/' ? p : base + p; };

    TexLib* lib = NewTexLib();
    if (!lib) return Fail("out of memory");
    std::string description;
    bool haveDescription = false;
    int status = 0, lineNo = 0, entries = 0;
    size_t at = 0;
    while (status == 0 && at < text.size()) {
        size_t end = at;
        while (end < text.size() && text[end] != '\n') ++end;
        std::string line(text.begin() + static_cast<long>(at),
                         text.begin() + static_cast<long>(end));
        at = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::vector<std::string> words = Split(line);
        if (words.empty() || words[0][0] == '#') continue;
        if (words[0] == "description") {
            const size_t start = line.find("description") + 11;
            description = line.substr(std::min(line.size(), line.find_first_not_of(" \t", start)));
            if (description.size() > 48) {
                status =
                    Fail("%s:%d: the description has more than 48 characters", manifest, lineNo);
                break;
            }
            haveDescription = true;
            continue;
        }
        long index = 0;
        if (!ParseInt(words[0].c_str(), 0, 255, &index)) {
            status = Fail("%s:%d: expected 'description' or an entry index 0-255, got '%s'",
                          manifest, lineNo, words[0].c_str());
            break;
        }
        std::string image, alpha;
        long format = TEX_RGB565, key = -1, frames = 0, advance = -1, lineHeight = 0;
        for (size_t w = 1; w < words.size() && status == 0; ++w) {
            const size_t eq = words[w].find('=');
            const std::string k = words[w].substr(0, eq),
                              v = eq == std::string::npos ? "" : words[w].substr(eq + 1);
            bool ok = eq != std::string::npos;
            if (k == "image")
                image = v;
            else if (k == "alpha")
                alpha = v;
            else if (k == "format")
                ok = ok && ParseInt(v.c_str(), 0, 255, &format);
            else if (k == "key")
                ok = ok && ParseInt(v.c_str(), -1, 255, &key);
            else if (k == "frames")
                ok = ok && ParseInt(v.c_str(), 0, 255, &frames);
            else if (k == "advance")
                ok = ok && ParseInt(v.c_str(), 0, 32767, &advance);
            else if (k == "line_height")
                ok = ok && ParseInt(v.c_str(), 0, 32767, &lineHeight);
            else
                ok = false;
            if (!ok) status = Fail("%s:%d: bad item '%s'", manifest, lineNo, words[w].c_str());
        }
        if (status) break;
        if (lib->entry[index].format != TEX_EMPTY) {
            status = Fail("%s:%d: entry %ld is given twice", manifest, lineNo, index);
            break;
        }
        TexEntry e;
        std::memset(&e, 0, sizeof e);
        const std::string imagePath = resolve(image), alphaPath = resolve(alpha);
        const int r = LoadPcxTexture(image.empty() ? nullptr : imagePath.c_str(),
                                     alpha.empty() ? nullptr : alphaPath.c_str(), &e,
                                     static_cast<int>(format), static_cast<int>(key));
        static const char* const kWhy[] = {"",
                                           "a picture cannot be read",
                                           "",
                                           "",
                                           "unknown format code",
                                           "",
                                           "picture and alpha picture differ in size",
                                           "the format needs image=",
                                           "the format needs alpha="};
        if (r != PCX_OK) {
            status = Fail("%s:%d: entry %ld: %s (code %d)", manifest, lineNo, index,
                          r <= 8 ? kWhy[r] : "", r);
            break;
        }
        e.frames = static_cast<int16_t>(frames);
        if (advance >= 0) e.advance = static_cast<int16_t>(advance);
        e.line_height = static_cast<int16_t>(lineHeight);
        PutTexture(static_cast<int>(index), lib, &e);
        ++entries;
    }
    if (status == 0 && SaveTexLib(out, lib, haveDescription ? description.c_str() : nullptr))
        status = Fail("cannot write %s", out);
    FreeTexLib(lib);
    if (status == 0) std::printf("%s: %d entries\n", out, entries);
    return status;
}

// ---- pcx ----

int PcxInfo(const char* path) {
    std::vector<uint8_t> data;
    if (!ReadBytes(path, &data)) return Fail("cannot read %s", path);
    uint8_t* px = nullptr;
    uint8_t palette[768];
    int w = 0, h = 0;
    const int n = data.size() > INT_MAX
                      ? -1
                      : DecodePcx(data.data(), static_cast<int>(data.size()), &px, palette, &w, &h);
    if (n < 0) return Fail("%s is not a readable 8-bit PCX picture", path);
    bool seen[256] = {};
    int colours = 0;
    for (int i = 0; i < n; ++i)
        if (!seen[px[i]]) seen[px[i]] = true, ++colours;
    std::free(px);
    std::printf("%s: %dx%d, %d bytes per line, %d pixels, %d palette indexes used\n", path, w, h,
                data[66] | (data[67] << 8), n, colours);
    return 0;
}

// ---- model ----

const char* ModelReason(int code) {
    switch (code) {
    case OBJ_NO_MEMORY:
    case MDL_NO_MEMORY: return "out of memory";
    case OBJ_NO_SHARED: return "a shared-mesh keyframe names a frame that no earlier keyframe has";
    case OBJ_BAD_FRAME: return "keyframes beyond the numbering";
    case MDL_READ: return "truncated or corrupt";
    case MDL_MAGIC: return "not a model file (wrong magic)";
    case MDL_OPEN: return "cannot open the file";
    case MDL_VERSION: return "unsupported version";
    default: return "cannot be loaded";
    }
}

// Loads either format into *obj (the indexed one by its 11-byte magic). 0 or the loader's code.
int LoadAnyModel(const char* path, Object* obj, char* banner, bool* indexed,
                 std::vector<uint8_t>* head) {
    ObjectInit(obj);
    if (!ReadBytes(path, head)) return MDL_OPEN;
    *indexed = head->size() >= 75 && std::memcmp(head->data() + 64, "TRXMODEL1.0", 11) == 0;
    return *indexed ? LoadModelV1(obj, path, banner) : LoadModel(obj, path, banner);
}

int ModelFail(const char* path, int code, Object* obj) {
    FreeObject(obj);
    if (code == MDL_READ && *ModelFileError())
        return Fail("%s: %s (%d): %s", path, ModelReason(code), code, ModelFileError());
    return Fail("%s: %s (%d)", path, ModelReason(code), code);
}

int ModelInfo(const char* path) {
    Object obj;
    char banner[64];
    bool indexed;
    std::vector<uint8_t> head;
    const int r = LoadAnyModel(path, &obj, banner, &indexed, &head);
    if (r) return ModelFail(path, r, &obj);
    banner[63] = 0;
    if (indexed) {
        std::printf("%s: indexed model file (TRXMODEL1.0)\n", path);
    } else {
        uint32_t key, anim;
        std::memcpy(&key, head.data() + 77, 4);
        std::memcpy(&anim, head.data() + 81, 4);
        std::printf("%s: keyframe model file (TRXMODEL) version %d.%d, record bytes %u/%u\n", path,
                    head[75], head[76], key, anim);
    }
    std::printf("banner: %s\n", banner);
    for (const Anim* a = obj.anims; a; a = a->next) {
        int keys = 0;
        const Keyframe* k = a->keys;
        if (k) do
                ++keys, k = k->next;
            while (k != a->keys);
        std::printf("anim %d: span %d, flags 0x%x, %d keyframes\n", a->id, a->span, a->flags, keys);
        if (k) do {
                std::printf("  frame %d: flags 0x%02x", k->frame, k->flags);
                if (k->flags & KEY_SHARED) std::printf(", mesh of frame %d", k->shared_frame);
                if (k->flags & KEY_TRANSLATE)
                    std::printf(", move %g %g %g", k->translation[0], k->translation[1],
                                k->translation[2]);
                if (k->flags & (KEY_ROTATE_X | KEY_ROTATE_Y | KEY_ROTATE_Z))
                    std::printf(", turn %g %g %g", k->rotation[0], k->rotation[1], k->rotation[2]);
                if (k->flags & KEY_SCALE)
                    std::printf(", scale %g %g %g", k->scale[0], k->scale[1], k->scale[2]);
                if (k->point_base) std::printf(", point base %d", k->point_base);
                const Mesh& m = k->mesh;
                std::printf(", mesh %d materials, %d normals, %d vertices, %d links, %d commands\n",
                            m.mcount, m.ncount, m.wcount, m.lcount, m.ccount);
                k = k->next;
            } while (k != a->keys);
    }
    FreeObject(&obj);
    return 0;
}

int ModelCheck(const char* path) {
    Object obj;
    bool indexed;
    std::vector<uint8_t> head;
    const int r = LoadAnyModel(path, &obj, nullptr, &indexed, &head);
    if (r) return ModelFail(path, r, &obj);
    int anims = 0, keys = 0;
    for (const Anim* a = obj.anims; a; a = a->next, ++anims) {
        const Keyframe* k = a->keys;
        if (k) do
                ++keys, k = k->next;
            while (k != a->keys);
    }
    std::printf("%s: ok, %d animations, %d keyframes\n", path, anims, keys);
    FreeObject(&obj);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    auto is = [&](int i, const char* s) { return i < argc && std::strcmp(argv[i], s) == 0; };
    for (int i = 1; i < argc; ++i)
        if (is(i, "--help") || is(i, "-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    if (is(1, "help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (is(1, "lzw") && is(2, "pack") && argc == 5) return LzwPack(argv[3], argv[4]);
    if (is(1, "lzw") && is(2, "unpack") && argc == 6) return LzwUnpack(argv[3], argv[4], argv[5]);
    if (is(1, "tex") && is(2, "info") && argc == 4) return TexInfo(argv[3]);
    if (is(1, "tex") && is(2, "extract") && argc == 5) return TexExtract(argv[3], argv[4]);
    if (is(1, "tex") && is(2, "build") && argc == 5) return TexBuild(argv[3], argv[4]);
    if (is(1, "tex") && is(2, "sheet") && argc == 5) return TexSheet(argv[3], argv[4]);
    if (is(1, "png") && is(2, "sheet") && argc >= 6)
        return PngSheet(argv[3], argv[4], argc - 5, argv + 5);
    if (is(1, "pcx") && is(2, "info") && argc == 4) return PcxInfo(argv[3]);
    if (is(1, "pcx") && is(2, "png") && argc == 5) return PcxPng(argv[3], argv[4]);
    if (is(1, "model") && is(2, "info") && argc == 4) return ModelInfo(argv[3]);
    if (is(1, "model") && is(2, "check") && argc == 4) return ModelCheck(argv[3]);
    std::fputs("trxtool: bad usage\n", stderr);
    std::fputs(kUsage, stderr);
    return 1;
}
