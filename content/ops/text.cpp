// text.cpp: FreeType lettering (see text.h).
#include "text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdio>

namespace {

struct TextState {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};
TextState text;

bool SetSize(float pixelHeight) {
    return text.face &&
           FT_Set_Char_Size(text.face, 0, static_cast<FT_F26Dot6>(std::lround(pixelHeight * 64)),
                            72, 72) == 0;
}

// Renders the glyph of c (anti-aliased) and blits it with its origin at (ox, oy); returns the
// advance in 26.6 pixels, or -1 without a glyph.
long Blit(Field* f, unsigned long c, float ox, float oy, float amount, FT_Int32 loadFlags,
          bool wrap) {
    const FT_UInt index = FT_Get_Char_Index(text.face, c);
    if (index == 0 && c != ' ') return -1;
    // The sub-pixel part of the origin moves the outline, so letters keep their exact spacing.
    const float fx = ox - std::floor(ox), fy = oy - std::floor(oy);
    FT_Vector delta{static_cast<FT_Pos>(std::lround(fx * 64)),
                    static_cast<FT_Pos>(std::lround(-fy * 64))};
    FT_Set_Transform(text.face, nullptr, &delta);
    if (FT_Load_Glyph(text.face, index, loadFlags) ||
        FT_Render_Glyph(text.face->glyph, FT_RENDER_MODE_NORMAL)) {
        FT_Set_Transform(text.face, nullptr, nullptr);
        return -1;
    }
    FT_Set_Transform(text.face, nullptr, nullptr);
    const FT_GlyphSlot g = text.face->glyph;
    const int left = static_cast<int>(std::floor(ox)) + g->bitmap_left;
    const int top = static_cast<int>(std::floor(oy)) - g->bitmap_top;
    for (unsigned row = 0; row < g->bitmap.rows; ++row)
        for (unsigned col = 0; col < g->bitmap.width; ++col) {
            const float cover =
                g->bitmap.buffer[row * static_cast<unsigned>(g->bitmap.pitch) + col] / 255.0f;
            if (cover <= 0) continue;
            const int x = left + static_cast<int>(col), y = top + static_cast<int>(row);
            if (!wrap && (x < 0 || y < 0 || x >= f->w || y >= f->h)) continue;
            float& t = At(*f, x, y);
            if (cover * amount > t) t = cover * amount;
        }
    return g->advance.x;
}

}  // namespace

bool TextOpen(const std::string& fontFile) {
    TextClose();
    if (FT_Init_FreeType(&text.library)) {
        std::fprintf(stderr, "text: FreeType cannot start\n");
        return false;
    }
    if (FT_New_Face(text.library, fontFile.c_str(), 0, &text.face)) {
        std::fprintf(stderr, "text: cannot read the font %s\n", fontFile.c_str());
        TextClose();
        return false;
    }
    return true;
}

void TextClose(void) {
    if (text.face) FT_Done_Face(text.face);
    if (text.library) FT_Done_FreeType(text.library);
    text = TextState{};
}

float TextWidth(const char* s, float pixelHeight) {
    if (!SetSize(pixelHeight)) return 0;
    long width = 0;
    FT_UInt previous = 0;
    for (const char* p = s; *p; ++p) {
        const FT_UInt index = FT_Get_Char_Index(text.face, static_cast<unsigned char>(*p));
        if (previous && index && FT_HAS_KERNING(text.face)) {
            FT_Vector k;
            if (!FT_Get_Kerning(text.face, previous, index, FT_KERNING_UNFITTED, &k)) width += k.x;
        }
        if (!FT_Load_Glyph(text.face, index, FT_LOAD_NO_HINTING))
            width += text.face->glyph->advance.x;
        previous = index;
    }
    return static_cast<float>(width) / 64.0f;
}

bool DrawText(Field* f, const char* s, float pixelHeight, float x, float y, TextAlign align,
              float amount) {
    if (!text.face) return false;
    const float width = TextWidth(s, pixelHeight);
    SetSize(pixelHeight);
    float pen = align == TEXT_LEFT ? x : align == TEXT_CENTRE ? x - width / 2 : x - width;
    FT_UInt previous = 0;
    for (const char* p = s; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        const FT_UInt index = FT_Get_Char_Index(text.face, c);
        if (previous && index && FT_HAS_KERNING(text.face)) {
            FT_Vector k;
            if (!FT_Get_Kerning(text.face, previous, index, FT_KERNING_UNFITTED, &k))
                pen += static_cast<float>(k.x) / 64.0f;
        }
        const long advance = Blit(f, c, pen, y, amount, FT_LOAD_NO_HINTING, true);
        if (advance > 0) pen += static_cast<float>(advance) / 64.0f;
        previous = index;
    }
    return true;
}

int DrawGlyphCell(Field* cell, unsigned char c, int pixelHeight, int baseline) {
    if (!SetSize(static_cast<float>(pixelHeight))) return 0;
    const FT_UInt index = FT_Get_Char_Index(text.face, c);
    if (index == 0 || FT_Load_Glyph(text.face, index, FT_LOAD_TARGET_LIGHT)) return 0;
    const int advance = static_cast<int>((text.face->glyph->advance.x + 32) >> 6);
    const float left = std::floor((static_cast<float>(cell->w) - static_cast<float>(advance)) / 2);
    Blit(cell, c, left, static_cast<float>(baseline), 1, FT_LOAD_TARGET_LIGHT, false);
    return advance;
}

void TextMetrics(float pixelHeight, float* ascender, float* descender) {
    *ascender = *descender = 0;
    if (!SetSize(pixelHeight)) return;
    *ascender = static_cast<float>(text.face->size->metrics.ascender) / 64.0f;
    *descender = static_cast<float>(text.face->size->metrics.descender) / 64.0f;
}
