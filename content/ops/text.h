// text.h: lettering from an outline font file (TrueType, through FreeType) into fields, for the
// font library, the title pictures and text set into textures (the chip's name, the credits).
// Coverage is antialiased, 0..1. The font files come from Debian packages (see the README);
// nothing of them is copied into the data, only the shapes drawn with them.
#pragma once

#include <string>

#include "image.h"

enum TextAlign { TEXT_LEFT, TEXT_CENTRE, TEXT_RIGHT };

// Opens the font file (kept open until TextClose or another TextOpen). False with a message on
// stderr when it cannot be read.
bool TextOpen(const std::string& fontFile);
void TextClose(void);
// Width in pixels of `text` set at `pixelHeight` (the font's em size), with kerning.
float TextWidth(const char* text, float pixelHeight);
// Draws `text` into the field with its baseline at y and its left edge, centre or right edge at x
// (by align); value = max(value, coverage x amount). Wraps across the field's edges. False when no
// font is open.
bool DrawText(Field* f, const char* text, float pixelHeight, float x, float y, TextAlign align,
              float amount = 1);
// Draws one character into a cell field of its own, the glyph placed on a baseline at `baseline`
// pixels from the top and horizontally centred in its advance; hinted for small sizes. Returns the
// advance in whole pixels, or 0 when the font has no glyph for it (the cell is left empty).
int DrawGlyphCell(Field* cell, unsigned char c, int pixelHeight, int baseline);
// Ascender and descender of the open font at this size, in pixels (descender negative).
void TextMetrics(float pixelHeight, float* ascender, float* descender);
