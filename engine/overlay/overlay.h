// overlay.h: 2D drawing over the 3D picture, and text in a bitmap font.
//
// A font is a texture library uploaded under a library number: the glyph of character code k
// (taken as an unsigned byte) is the texture font * 256 + k, and its TexEntry gives the sprite
// size (width, height), the step to the next glyph (advance) and the line height. A character
// whose texture is missing has no glyph: nothing is drawn and it measures 0 by 0. Each glyph is
// one screen sprite (DevDrawPrimitive type 5) with the glyph texture bound.
//
// Use: the frame step brackets all 2D drawing with BeginOverlay / EndOverlay. Inside, make a
// TextBox (InitTextBox, InitTextBoxScreen), set its font, colour, alignment and cursor, and call
// PrintText or PrintFormatted; printing moves the box's cursor, so consecutive calls continue
// where the previous one stopped. A null text is printed and measured as "<NULL>".
//
// Module state (main thread only): the TextBox template that InitTextBox copies, the overlay
// bracket with the three device states it saved, and the 2048-byte PrintFormatted buffer.
#pragma once

#include <cstdint>

#include "device.h"

enum {
    OVL_ALREADY_ACTIVE = -61,  // BeginOverlay inside an open bracket
    OVL_NO_BUFFER = -62        // PrintFormatted could not allocate its buffer
};

// Alignment bits of TextBox::align. Horizontal in bits 0-1, vertical in bits 2-3; the values 0
// and 3 of either pair centre. With 3 the text is placed as centred but the cursor moves as it
// does for left (or top) alignment; with 0 the cursor keeps its place.
enum {
    ALIGN_LEFT = 1,
    ALIGN_RIGHT = 2,
    ALIGN_HCENTRE = 0,
    ALIGN_TOP = 1 << 2,
    ALIGN_BOTTOM = 2 << 2,
    ALIGN_VCENTRE = 0 << 2
};

// The drawing context of text. Belongs to its caller; the demo makes one on its stack per use.
struct TextBox {
    int32_t font;            // texture library number of the font (0..255)
    uint32_t colour;         // glyph colour 0xAARRGGBB
    int32_t cursor_x;        // left end, right end or centre of the next text, by alignment
    int32_t cursor_y;        // top, bottom or middle of the next line, by alignment
    int32_t left, top;       // the box in screen pixels
    int32_t right, bottom;   // inclusive
    uint8_t align;           // ALIGN_* bits
    uint8_t shadow;          // bit 0: each glyph drawn first one pixel right and down
    uint32_t shadow_colour;  // in shadow_colour
    float depth;             // z of every glyph (0 nearest)
};

// ---- the 2D bracket ----

// Opens the bracket for one frame's 2D drawing: render buffer `buffer` (1 back, 0 front), no
// depth test, no culling, no texture. Keeps what the device answered for the three states.
// OVL_ALREADY_ACTIVE when the bracket is open already, else 0. Called by the frame step.
int BeginOverlay(byte buffer);
// Gives the device back the three states kept by BeginOverlay and closes the bracket; does
// nothing when it is not open. Returns 0.
int EndOverlay(void);

// ---- text boxes ----

// Copies the template into box; the box is x, y, w by h and the cursor at its top-left. Returns 0.
int InitTextBox(TextBox* box, int x, int y, int w, int h);
// InitTextBox with the whole screen (DevGetScreenInfo 3 and 4). Returns 0.
int InitTextBoxScreen(TextBox* box);
// The template (all zero with left and top alignment until set).
TextBox* GetDefaultTextBox(void);
// Copies box into the template and returns the template.
TextBox* SetDefaultTextBox(const TextBox* box);

// ---- glyphs and measuring ----

// Draws the glyph texture `id` with its top-left corner at (x, y); returns its advance, or 0 when
// the id has no texture (nothing drawn).
int DrawGlyph(int id, int x, int y, uint32_t colour, float depth);
// Sum of the advances of the text's glyphs in the box's font.
int TextWidth(const TextBox* box, const char* text);
// The largest line height among the text's glyphs, 0 when it has none.
int TextHeight(const TextBox* box, const char* text);
// Both at once; either output may be null. Returns 0.
int TextExtent(const TextBox* box, const char* text, int* width, int* height);

// ---- printing ----

// Prints with word wrapping: line feeds end lines, spaces are the break opportunities, a word
// wider than the room left is split at the character that does not fit, and a line below
// `bottom` goes back to `top`. Moves the cursor. Returns 0.
int PrintText(TextBox* box, const char* text);
// printf-style formatting (at most 2047 characters, the rest cut), then PrintText. Returns 0, or
// OVL_NO_BUFFER (nothing printed) when the buffer cannot be allocated.
int PrintFormatted(TextBox* box, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The steps of PrintText, for callers that cut their text themselves.
// The room on the current line: from the cursor to `right` (left alignment), to `left` (right
// alignment), or twice the nearer side (centred).
int LineWidthLimit(const TextBox* box);
// Moves (*x, *y) to the start of the next line, lineHeight lower; back to `top` when that line
// would pass `bottom`.
void NewLine(const TextBox* box, int* x, int* y, int lineHeight);
// Prints one piece without breaking at spaces (a glyph that would pass `right` starts a new
// line), then a line feed when newline is set, and moves the cursor. Returns 0.
int PrintLine(TextBox* box, const char* text, int newline);
