// font.cpp: vgasys.fnt, the overlay's 8x16 console font, drawn from DejaVu Sans Mono Bold.
#include <cstdlib>

#include "show.h"
#include "texconv.h"
#include "texlib.h"
#include "text.h"

namespace {
constexpr int kCellW = 8, kCellH = 16, kPixelHeight = 13, kBaseline = 12;
}

std::string WriteFont(const std::string& path, const FontFiles& fonts) {
    if (!TextOpen(fonts.mono_bold)) return "cannot read the font " + fonts.mono_bold;
    TexLib* lib = NewTexLib();
    if (!lib) {
        TextClose();
        return "out of memory";
    }
    std::string failed;
    for (int c = 32; c < 256 && failed.empty(); ++c) {
        if (c >= 127 && c < 160) continue;  // no glyphs for the control range of Latin-1
        Field cover = MakeField(kCellW, kCellH);
        if (c != ' ') DrawGlyphCell(&cover, static_cast<unsigned char>(c), kPixelHeight, kBaseline);
        Img glyph = MakeImg(kCellW, kCellH, 0xFFFFFF);
        SetAlpha(&glyph, cover);
        TexEntry e;
        TexConvert how;
        how.format = TEX_ARGB4444;
        how.dither = false;
        if (!ImageToTexture(glyph, how, &e)) {
            failed = "glyph " + std::to_string(c) + " cannot be converted";
            break;
        }
        e.advance = kCellW;
        e.line_height = kCellH;
        if (PutTexture(c, lib, &e) != 0) {
            std::free(e.pixels);
            failed = "glyph " + std::to_string(c) + " is taken";
        }
    }
    TextClose();
    if (failed.empty() && SaveTexLib(path.c_str(), lib, "Tambir demo: 8x16 console font") != 0)
        failed = "cannot write " + path;
    FreeTexLib(lib);
    return failed;
}
