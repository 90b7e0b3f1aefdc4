// win32_dlgview.h: drawing and hit-testing of the device dialog (resource 101) in an SDL window.
//
// The dialog manager (win32_dialog.cpp) keeps the dialog's state; this file only turns that state
// into pixels with a small built-in bitmap font and tells which control lies under a point. The
// layout follows the dialog template in dialog units (186 x 74; list box at 7,7 172x44; "Run" at
// 74,51 50x16; "Exit" at 129,51 50x16), converted with the base units of an 8-point sans-serif
// font (one horizontal unit = 6/4 pixel, one vertical unit = 13/8 pixel).
#pragma once

#include <SDL.h>

#include <string>
#include <vector>

struct DlgView {
    std::vector<std::string> items;  // list box entries, in order
    int selected = -1;               // list box selection, -1 for none
    int topItem = 0;                 // first visible list entry (scroll position)
    bool runEnabled = true;          // "Run" (id 1) enabled
    int focus = 0;                   // control with the keyboard focus: 1001 list, 1 Run, 2 Exit
    int pressed = 0;                 // button held down by the mouse (1 or 2), 0 for none
};

enum DlgHit { DLG_HIT_NONE = 0, DLG_HIT_LIST = 1001, DLG_HIT_RUN = 1, DLG_HIT_EXIT = 2 };

// Client size of the dialog window in pixels.
void DlgView_Size(int* width, int* height);
// Number of list entries visible at once.
int DlgView_VisibleItems(void);
// Paints the whole client area with the renderer's current target.
void DlgView_Paint(SDL_Renderer* renderer, const DlgView& view);
// Which control lies at pixel (x, y); for the list, *item receives the entry index under the
// point, or -1 when the point is below the last entry.
DlgHit DlgView_HitTest(const DlgView& view, int x, int y, int* item);

// The built-in font: 5 x 7 glyphs in 6 x 10 cells, printable ASCII 32..126 (others draw as a box).
enum { DLGFONT_CELL_W = 6, DLGFONT_CELL_H = 10 };
// Rows 0..6 of glyph c, bit 4 the leftmost column, bit 0 the rightmost.
const unsigned char* DlgFont_Glyph(unsigned char c);
int DlgFont_TextWidth(const char* text);
// Draws text with its cell's top-left corner at (x, y) in the renderer's current draw colour.
void DlgFont_Draw(SDL_Renderer* renderer, int x, int y, const char* text);
