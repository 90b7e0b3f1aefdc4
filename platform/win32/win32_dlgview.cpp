// win32_dlgview.cpp: the device dialog's look (3D face, list box, push buttons) and its
// built-in 5 x 7 bitmap font.
#include "win32_dlgview.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

namespace {

// ---------------------------------------------------------------------------------------------
// Font
// ---------------------------------------------------------------------------------------------

constexpr int kFirstGlyph = 32;
constexpr int kLastGlyph = 126;
constexpr int kGlyphCount = kLastGlyph - kFirstGlyph + 1;
constexpr int kGlyphRows = 7;
constexpr int kGlyphCols = 5;
constexpr int kBandGlyphs = 12;  // glyphs drawn side by side per band below

// The glyphs as pixel art, 12 to a band, each 5 columns wide with one space between
// neighbours. '#' is a set pixel, '.' a clear one. Lower-case letters sit on the same
// baseline as capitals (row 6) with a 5-row x-height; letters with a descender (and , ; _)
// are stored raised and moved down when drawn (see GlyphDrop).
constexpr const char* kGlyphArt[][kGlyphRows] = {
    // ' '   '!'   '"'   '#'   '$'   '%'   '&'   '''   '('   ')'   '*'   '+'
    {"..... ..#.. .#.#. .#.#. ..#.. ##... .##.. ..#.. ...#. .#... ..... .....",
     "..... ..#.. .#.#. .#.#. .#### ##..# #..#. ..#.. ..#.. ..#.. ..#.. ..#..",
     "..... ..#.. ..... ##### #.#.. ...#. #.#.. .#... .#... ...#. #.#.# ..#..",
     "..... ..#.. ..... .#.#. .###. ..#.. .#... ..... .#... ...#. .###. #####",
     "..... ..#.. ..... ##### ..#.# .#... #.#.# ..... .#... ...#. #.#.# ..#..",
     "..... ..... ..... .#.#. ####. #..## #..#. ..... ..#.. ..#.. ..#.. ..#..",
     "..... ..#.. ..... .#.#. ..#.. ...## .##.# ..... ...#. .#... ..... ....."},
    // ','   '-'   '.'   '/'   '0'   '1'   '2'   '3'   '4'   '5'   '6'   '7'
    {"..... ..... ..... ..... .###. ..#.. .###. ##### ...#. ##### ..##. #####",
     "..... ..... ..... ....# #...# .##.. #...# ...#. ..##. #.... .#... ....#",
     "..... ..... ..... ...#. #..## ..#.. ....# ..#.. .#.#. ####. #.... ...#.",
     ".##.. ##### ..... ..#.. #.#.# ..#.. ...#. ...#. #..#. ....# ####. ..#..",
     ".##.. ..... ..... .#... ##..# ..#.. ..#.. ....# ##### ....# #...# .#...",
     "..#.. ..... .##.. #.... #...# ..#.. .#... #...# ...#. #...# #...# .#...",
     ".#... ..... .##.. ..... .###. .###. ##### .###. ...#. .###. .###. .#..."},
    // '8'   '9'   ':'   ';'   '<'   '='   '>'   '?'   '@'   'A'   'B'   'C'
    {".###. .###. ..... .##.. ....# ..... #.... .###. .###. .###. ####. .###.",
     "#...# #...# ..... .##.. ...#. ..... .#... #...# #...# #...# #...# #...#",
     "#...# #...# .##.. ..... ..#.. ##### ..#.. ....# #.### #...# #...# #....",
     ".###. .#### .##.. .##.. .#... ..... ...#. ...#. #.#.# ##### ####. #....",
     "#...# ....# ..... .##.. ..#.. ##### ..#.. ..#.. #.### #...# #...# #....",
     "#...# ...#. .##.. ..#.. ...#. ..... .#... ..... #.... #...# #...# #...#",
     ".###. .##.. .##.. .#... ....# ..... #.... ..#.. .#### #...# ####. .###."},
    // 'D'   'E'   'F'   'G'   'H'   'I'   'J'   'K'   'L'   'M'   'N'   'O'
    {"###.. ##### ##### .###. #...# .###. ..### #...# #.... #...# #...# .###.",
     "#..#. #.... #.... #...# #...# ..#.. ...#. #..#. #.... ##.## #...# #...#",
     "#...# #.... #.... #.... #...# ..#.. ...#. #.#.. #.... #.#.# ##..# #...#",
     "#...# ####. ####. #.### ##### ..#.. ...#. ##... #.... #.#.# #.#.# #...#",
     "#...# #.... #.... #...# #...# ..#.. ...#. #.#.. #.... #...# #..## #...#",
     "#..#. #.... #.... #...# #...# ..#.. #..#. #..#. #.... #...# #...# #...#",
     "###.. ##### #.... .#### #...# .###. .##.. #...# ##### #...# #...# .###."},
    // 'P'   'Q'   'R'   'S'   'T'   'U'   'V'   'W'   'X'   'Y'   'Z'   '['
    {"####. .###. ####. .#### ##### #...# #...# #...# #...# #...# ##### .###.",
     "#...# #...# #...# #.... ..#.. #...# #...# #...# #...# #...# ....# .#...",
     "#...# #...# #...# #.... ..#.. #...# #...# #...# .#.#. .#.#. ...#. .#...",
     "####. #...# ####. .###. ..#.. #...# #...# #.#.# ..#.. ..#.. ..#.. .#...",
     "#.... #.#.# #.#.. ....# ..#.. #...# #...# #.#.# .#.#. ..#.. .#... .#...",
     "#.... #..#. #..#. ....# ..#.. #...# .#.#. #.#.# #...# ..#.. #.... .#...",
     "#.... .##.# #...# ####. ..#.. .###. ..#.. .#.#. #...# ..#.. ##### .###."},
    // '\'   ']'   '^'   '_'   '`'   'a'   'b'   'c'   'd'   'e'   'f'   'g'
    {"..... .###. ..#.. ..... .#... ..... #.... ..... ....# ..... ..##. .####",
     "#.... ...#. .#.#. ..... ..#.. ..... #.... ..... ....# ..... .#..# #...#",
     ".#... ...#. #...# ..... ...#. .###. #.##. .###. .##.# .###. .#... #...#",
     "..#.. ...#. ..... ..... ..... ....# ##..# #.... #..## #...# ###.. #...#",
     "...#. ...#. ..... ..... ..... .#### #...# #.... #...# ##### .#... .####",
     "....# ...#. ..... ..... ..... #...# #...# #...# #...# #.... .#... ....#",
     "..... .###. ..... ##### ..... .#### ####. .###. .#### .###. .#... .###."},
    // 'h'   'i'   'j'   'k'   'l'   'm'   'n'   'o'   'p'   'q'   'r'   's'
    {"#.... ..#.. ...#. #.... .##.. ..... ..... ..... ####. .#### ..... .....",
     "#.... ..... ..... #.... ..#.. ..... ..... ..... #...# #...# ..... .....",
     "#.##. .##.. ..##. #..#. ..#.. ##.#. #.##. .###. #...# #...# #.##. .####",
     "##..# ..#.. ...#. #.#.. ..#.. #.#.# ##..# #...# #...# #...# ##..# #....",
     "#...# ..#.. ...#. ##... ..#.. #.#.# #...# #...# ####. .#### #.... .###.",
     "#...# ..#.. #..#. #.#.. ..#.. #.#.# #...# #...# #.... ....# #.... ....#",
     "#...# .###. .##.. #..#. .###. #.#.# #...# .###. #.... ....# #.... ####."},
    // 't'   'u'   'v'   'w'   'x'   'y'   'z'   '{'   '|'   '}'   '~'
    {".#... ..... ..... ..... ..... #...# ..... ...## ..#.. ##... .....",
     ".#... ..... ..... ..... ..... #...# ..... ..#.. ..#.. ..#.. .....",
     "###.. #...# #...# #...# #...# #...# ##### ..#.. ..#.. ..#.. .#...",
     ".#... #...# #...# #...# .#.#. #...# ...#. .#... ..#.. ...#. #.#.#",
     ".#... #...# #...# #.#.# ..#.. .#### ..#.. ..#.. ..#.. ..#.. ...#.",
     ".#..# #..## .#.#. #.#.# .#.#. ....# .#... ..#.. ..#.. ..#.. .....",
     "..##. .##.# ..#.. .#.#. #...# .###. ##### ...## ..#.. ##... ....."},
};
constexpr int kBandCount = sizeof(kGlyphArt) / sizeof(kGlyphArt[0]);
static_assert(kBandCount * kBandGlyphs >= kGlyphCount &&
                  (kBandCount - 1) * kBandGlyphs < kGlyphCount,
              "every printable character has exactly one place in the art");

struct GlyphTable {
    unsigned char rows[kGlyphCount][kGlyphRows];
};

// Every cell is 5 pixels of '#' or '.', followed by one space (or the end of the line).
constexpr bool GlyphArtIsWellFormed() {
    for (int g = 0; g < kGlyphCount; ++g) {
        const int band = g / kBandGlyphs, slot = g % kBandGlyphs;
        for (int r = 0; r < kGlyphRows; ++r) {
            const char* cell = kGlyphArt[band][r] + slot * (kGlyphCols + 1);
            for (int c = 0; c < kGlyphCols; ++c)
                if (cell[c] != '#' && cell[c] != '.') return false;
            if (cell[kGlyphCols] != ' ' && cell[kGlyphCols] != '\0') return false;
        }
    }
    return true;
}
static_assert(GlyphArtIsWellFormed(), "malformed glyph art");

// Turns the art into row bytes at compile time.
constexpr GlyphTable BuildGlyphTable() {
    GlyphTable t{};
    for (int g = 0; g < kGlyphCount; ++g) {
        const int band = g / kBandGlyphs, slot = g % kBandGlyphs;
        for (int r = 0; r < kGlyphRows; ++r) {
            const char* cell = kGlyphArt[band][r] + slot * (kGlyphCols + 1);
            unsigned char bits = 0;
            for (int c = 0; c < kGlyphCols; ++c)
                bits = static_cast<unsigned char>((bits << 1) | (cell[c] == '#' ? 1 : 0));
            t.rows[g][r] = bits;
        }
    }
    return t;
}

constexpr GlyphTable kGlyphs = BuildGlyphTable();

// Drawn for anything outside the printable range.
constexpr unsigned char kBoxGlyph[kGlyphRows] = {0x1F, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1F};

// Rows a glyph is moved down inside its cell: descender letters and the low punctuation are
// stored raised so they fit the 7 rows.
int GlyphDrop(unsigned char c) { return c != 0 && std::strchr("gpqy,;_", c) != nullptr ? 2 : 0; }

// Drawing area of the current target in logical coordinates, narrowed to the clip rectangle.
SDL_Rect VisibleArea(SDL_Renderer* renderer) {
    SDL_Rect area{0, 0, 0, 0};
    SDL_RenderGetViewport(renderer, &area);
    area.x = 0;
    area.y = 0;
    if (SDL_RenderIsClipEnabled(renderer)) {
        SDL_Rect clip{0, 0, 0, 0};
        SDL_RenderGetClipRect(renderer, &clip);
        SDL_Rect both{0, 0, 0, 0};
        if (!SDL_IntersectRect(&area, &clip, &both)) return SDL_Rect{0, 0, 0, 0};
        area = both;
    }
    return area;
}

// ---------------------------------------------------------------------------------------------
// Dialog layout
// ---------------------------------------------------------------------------------------------

// Template geometry in dialog units.
constexpr int kDlgW = 186, kDlgH = 74;
constexpr int kListX = 7, kListY = 7, kListW = 172, kListH = 44;
constexpr int kRunX = 74, kExitX = 129, kButtonY = 51, kButtonW = 50, kButtonH = 16;

constexpr int DuX(int du) { return du * 6 / 4; }
constexpr int DuY(int du) { return du * 13 / 8; }

constexpr int kLineH = 13;      // list entry height
constexpr int kListBorder = 2;  // sunken client edge
constexpr int kScrollW = 10;    // scroll bar width
constexpr int kTextIndent = 2;  // entry text inset from the row's left edge
constexpr int kMinThumbH = 8;

constexpr SDL_Rect kListRect{DuX(kListX), DuY(kListY), DuX(kListW), DuY(kListH)};
constexpr SDL_Rect kListInner{kListRect.x + kListBorder, kListRect.y + kListBorder,
                              kListRect.w - 2 * kListBorder, kListRect.h - 2 * kListBorder};
constexpr SDL_Rect kRunRect{DuX(kRunX), DuY(kButtonY), DuX(kButtonW), DuY(kButtonH)};
constexpr SDL_Rect kExitRect{DuX(kExitX), DuY(kButtonY), DuX(kButtonW), DuY(kButtonH)};
constexpr int kVisibleItems = kListInner.h / kLineH;
static_assert(kVisibleItems >= 1, "the list shows at least one entry");

// Colours of the 3D look.
constexpr Uint32 kFace = 0xC0C0C0;
constexpr Uint32 kLight = 0xDFDFDF;
constexpr Uint32 kHighlight = 0xFFFFFF;
constexpr Uint32 kShadow = 0x808080;
constexpr Uint32 kDarkShadow = 0x000000;
constexpr Uint32 kWindow = 0xFFFFFF;
constexpr Uint32 kWindowText = 0x000000;
constexpr Uint32 kSelection = 0x000080;
constexpr Uint32 kSelectionText = 0xFFFFFF;
constexpr Uint32 kScrollTrack = 0xE0E0E0;

bool Contains(const SDL_Rect& r, int x, int y) {
    // Compared without forming x - r.x, so any int is safe.
    return x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h;
}

int ItemCount(const DlgView& view) {
    return view.items.size() > static_cast<size_t>(INT_MAX) ? INT_MAX
                                                            : static_cast<int>(view.items.size());
}

bool HasScrollBar(const DlgView& view) { return ItemCount(view) > kVisibleItems; }

// The scroll position actually shown: the list never scrolls past its last page.
int ShownTop(const DlgView& view) {
    const int maxTop = std::max(0, ItemCount(view) - kVisibleItems);
    return std::clamp(view.topItem, 0, maxTop);
}

// Area of the entries, left of the scroll bar when there is one.
SDL_Rect RowsArea(const DlgView& view) {
    SDL_Rect r = kListInner;
    if (HasScrollBar(view)) r.w -= kScrollW;
    return r;
}

SDL_Rect ScrollBarRect() {
    return SDL_Rect{kListInner.x + kListInner.w - kScrollW, kListInner.y, kScrollW, kListInner.h};
}

// ---------------------------------------------------------------------------------------------
// Drawing helpers
// ---------------------------------------------------------------------------------------------

void SetColor(SDL_Renderer* r, Uint32 rgb) {
    SDL_SetRenderDrawColor(r, static_cast<Uint8>(rgb >> 16), static_cast<Uint8>(rgb >> 8),
                           static_cast<Uint8>(rgb), 0xFF);
}

void Fill(SDL_Renderer* r, const SDL_Rect& rect, Uint32 rgb) {
    SetColor(r, rgb);
    SDL_RenderFillRect(r, &rect);
}

// One-pixel frame: top and left edges in topLeft, bottom and right edges in bottomRight.
void Frame(SDL_Renderer* r, const SDL_Rect& rect, Uint32 topLeft, Uint32 bottomRight) {
    if (rect.w <= 0 || rect.h <= 0) return;
    const int x1 = rect.x + rect.w - 1, y1 = rect.y + rect.h - 1;
    SetColor(r, topLeft);
    SDL_RenderDrawLine(r, rect.x, rect.y, x1, rect.y);
    SDL_RenderDrawLine(r, rect.x, rect.y, rect.x, y1);
    SetColor(r, bottomRight);
    SDL_RenderDrawLine(r, rect.x, y1, x1, y1);
    SDL_RenderDrawLine(r, x1, rect.y, x1, y1);
}

SDL_Rect Inset(const SDL_Rect& rect, int by) {
    return SDL_Rect{rect.x + by, rect.y + by, rect.w - 2 * by, rect.h - 2 * by};
}

// Raised edge of buttons and the scroll thumb; returns the area inside it.
SDL_Rect RaisedEdge(SDL_Renderer* r, const SDL_Rect& rect) {
    Frame(r, rect, kHighlight, kDarkShadow);
    Frame(r, Inset(rect, 1), kLight, kShadow);
    return Inset(rect, 2);
}

// Dotted rectangle that inverts the colour it lies on, as a focus marker does.
void FocusRect(SDL_Renderer* r, const SDL_Rect& rect, Uint32 background) {
    if (rect.w <= 0 || rect.h <= 0) return;
    SetColor(r, background ^ 0xFFFFFF);
    SDL_Point pts[256];
    int n = 0;
    auto put = [&](int x, int y) {
        pts[n++] = SDL_Point{x, y};
        if (n == static_cast<int>(SDL_arraysize(pts))) {
            SDL_RenderDrawPoints(r, pts, n);
            n = 0;
        }
    };
    const int x1 = rect.x + rect.w - 1, y1 = rect.y + rect.h - 1;
    // Every other pixel, walking the outline so the pattern runs on round the corners.
    int step = 0;
    for (int x = rect.x; x <= x1; ++x, ++step)
        if (step % 2 == 0) put(x, rect.y);
    for (int y = rect.y + 1; y <= y1; ++y, ++step)
        if (step % 2 == 0) put(x1, y);
    if (rect.h > 1)
        for (int x = x1 - 1; x >= rect.x; --x, ++step)
            if (step % 2 == 0) put(x, y1);
    if (rect.w > 1)
        for (int y = y1 - 1; y > rect.y; --y, ++step)
            if (step % 2 == 0) put(rect.x, y);
    if (n > 0) SDL_RenderDrawPoints(r, pts, n);
}

void SetClip(SDL_Renderer* r, const SDL_Rect& rect) { SDL_RenderSetClipRect(r, &rect); }

// Restores the caller's clip, colour and blend mode when painting is done.
class RendererState {
public:
    explicit RendererState(SDL_Renderer* r) : r_(r) {
        SDL_GetRenderDrawColor(r_, &cr_, &cg_, &cb_, &ca_);
        SDL_GetRenderDrawBlendMode(r_, &blend_);
        clipped_ = SDL_RenderIsClipEnabled(r_) == SDL_TRUE;
        SDL_RenderGetClipRect(r_, &clip_);
    }
    ~RendererState() {
        SDL_RenderSetClipRect(r_, clipped_ ? &clip_ : nullptr);
        SDL_SetRenderDrawBlendMode(r_, blend_);
        SDL_SetRenderDrawColor(r_, cr_, cg_, cb_, ca_);
    }
    RendererState(const RendererState&) = delete;
    RendererState& operator=(const RendererState&) = delete;

private:
    SDL_Renderer* r_;
    Uint8 cr_ = 0, cg_ = 0, cb_ = 0, ca_ = 0;
    SDL_BlendMode blend_ = SDL_BLENDMODE_NONE;
    bool clipped_ = false;
    SDL_Rect clip_{0, 0, 0, 0};
};

// The list box: sunken edge, white field, the visible entries and the scroll bar.
void PaintList(SDL_Renderer* r, const DlgView& view) {
    Frame(r, kListRect, kShadow, kHighlight);
    Frame(r, Inset(kListRect, 1), kDarkShadow, kLight);
    Fill(r, kListInner, kWindow);

    const int count = ItemCount(view);
    const int top = ShownTop(view);
    const SDL_Rect rows = RowsArea(view);
    const bool listFocused = view.focus == DLG_HIT_LIST;
    SDL_Rect focusRow{0, 0, 0, 0};
    Uint32 focusBg = kWindow;

    for (int row = 0; row < kVisibleItems; ++row) {
        const int index = top + row;  // top <= INT_MAX - kVisibleItems, so no overflow
        if (index >= count) break;
        const SDL_Rect line{rows.x, rows.y + row * kLineH, rows.w, kLineH};
        const bool selected = index == view.selected;
        if (selected) Fill(r, line, kSelection);
        SetClip(r, line);
        SetColor(r, selected ? kSelectionText : kWindowText);
        DlgFont_Draw(r, line.x + kTextIndent, line.y + (kLineH - kGlyphRows) / 2,
                     view.items[static_cast<size_t>(index)].c_str());
        SDL_RenderSetClipRect(r, nullptr);
        // The focus marker sits on the selected entry, or on the first shown one when the
        // selection is elsewhere.
        if (selected || (row == 0 && focusRow.w == 0)) {
            focusRow = line;
            focusBg = selected ? kSelection : kWindow;
        }
    }
    if (listFocused) {
        if (count == 0)
            FocusRect(r, SDL_Rect{rows.x, rows.y, rows.w, kLineH}, kWindow);
        else
            FocusRect(r, focusRow, focusBg);
    }

    if (HasScrollBar(view)) {
        const SDL_Rect track = ScrollBarRect();
        Fill(r, track, kScrollTrack);
        SetColor(r, kFace);
        SDL_RenderDrawLine(r, track.x, track.y, track.x, track.y + track.h - 1);
        const int64_t range = static_cast<int64_t>(count) - kVisibleItems;  // > 0 here
        const int thumbH = std::max<int>(
            kMinThumbH, static_cast<int>(static_cast<int64_t>(track.h) * kVisibleItems / count));
        const int thumbY =
            track.y + static_cast<int>(static_cast<int64_t>(track.h - thumbH) * top / range);
        const SDL_Rect thumb{track.x, thumbY, track.w, thumbH};
        Fill(r, RaisedEdge(r, thumb), kFace);
    }
}

// A push button: raised, or sunken while held; the default one gets a black outline.
void PaintButton(SDL_Renderer* r, const SDL_Rect& rect, const char* label, bool enabled,
                 bool isDefault, bool pressed, bool focused) {
    SDL_Rect body = rect;
    if (isDefault) {
        Frame(r, body, kDarkShadow, kDarkShadow);
        body = Inset(body, 1);
    }
    if (pressed) {
        Frame(r, body, kDarkShadow, kDarkShadow);
        Frame(r, Inset(body, 1), kShadow, kShadow);
        Fill(r, Inset(body, 2), kFace);
    } else {
        Fill(r, RaisedEdge(r, body), kFace);
    }

    const int shift = pressed ? 1 : 0;
    const int textW = DlgFont_TextWidth(label) - 1;  // no trailing gap column
    const int tx = body.x + (body.w - textW) / 2 + shift;
    const int ty = body.y + (body.h - kGlyphRows) / 2 + shift;
    if (enabled) {
        SetColor(r, kWindowText);
        DlgFont_Draw(r, tx, ty, label);
    } else {
        // Engraved look of a disabled label.
        SetColor(r, kHighlight);
        DlgFont_Draw(r, tx + 1, ty + 1, label);
        SetColor(r, kShadow);
        DlgFont_Draw(r, tx, ty, label);
    }
    if (focused) FocusRect(r, Inset(body, 3), kFace);
}

}  // namespace

// -------------------------------------------------------------------------------------------------
// Font
// -------------------------------------------------------------------------------------------------

const unsigned char* DlgFont_Glyph(unsigned char c) {
    if (c < kFirstGlyph || c > kLastGlyph) return kBoxGlyph;
    return kGlyphs.rows[c - kFirstGlyph];
}

int DlgFont_TextWidth(const char* text) {
    if (text == nullptr) return 0;
    const size_t len = std::strlen(text);
    if (len > static_cast<size_t>(INT_MAX / DLGFONT_CELL_W))
        return INT_MAX / DLGFONT_CELL_W * DLGFONT_CELL_W;
    return static_cast<int>(len) * DLGFONT_CELL_W;
}

void DlgFont_Draw(SDL_Renderer* renderer, int x, int y, const char* text) {
    if (renderer == nullptr || text == nullptr) return;
    const SDL_Rect area = VisibleArea(renderer);
    if (area.w <= 0 || area.h <= 0) return;
    // Cells wholly outside the drawing area are skipped; positions are kept in 64 bits so
    // that far-off coordinates cannot overflow.
    const int64_t top = y, left = area.x, right = static_cast<int64_t>(area.x) + area.w;
    if (top + DLGFONT_CELL_H <= area.y || top >= static_cast<int64_t>(area.y) + area.h) return;

    SDL_Point pts[512];
    int n = 0;
    int64_t penX = x;
    for (const char* p = text; *p != '\0'; ++p, penX += DLGFONT_CELL_W) {
        if (penX >= right) break;
        if (penX + DLGFONT_CELL_W <= left) continue;
        const unsigned char c = static_cast<unsigned char>(*p);
        const unsigned char* glyph = DlgFont_Glyph(c);
        const int drop = GlyphDrop(c);
        for (int row = 0; row < kGlyphRows; ++row) {
            const unsigned char bits = glyph[row];
            for (int col = 0; col < kGlyphCols; ++col) {
                if ((bits & (0x10 >> col)) == 0) continue;
                pts[n++] =
                    SDL_Point{static_cast<int>(penX + col), static_cast<int>(top + row + drop)};
                if (n == static_cast<int>(SDL_arraysize(pts))) {
                    SDL_RenderDrawPoints(renderer, pts, n);
                    n = 0;
                }
            }
        }
    }
    if (n > 0) SDL_RenderDrawPoints(renderer, pts, n);
}

// -------------------------------------------------------------------------------------------------
// Dialog
// -------------------------------------------------------------------------------------------------

void DlgView_Size(int* width, int* height) {
    if (width != nullptr) *width = DuX(kDlgW);
    if (height != nullptr) *height = DuY(kDlgH);
}

int DlgView_VisibleItems(void) { return kVisibleItems; }

void DlgView_Paint(SDL_Renderer* renderer, const DlgView& view) {
    if (renderer == nullptr) return;
    RendererState saved(renderer);
    SDL_RenderSetClipRect(renderer, nullptr);
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_NONE);

    int w = 0, h = 0;
    DlgView_Size(&w, &h);
    Fill(renderer, SDL_Rect{0, 0, w, h}, kFace);
    PaintList(renderer, view);

    // A focused push button takes the default outline; otherwise "Run" keeps it.
    const int defaultId = view.focus == DLG_HIT_EXIT ? DLG_HIT_EXIT : DLG_HIT_RUN;
    PaintButton(renderer, kRunRect, "Run", view.runEnabled, defaultId == DLG_HIT_RUN,
                view.pressed == DLG_HIT_RUN, view.focus == DLG_HIT_RUN);
    PaintButton(renderer, kExitRect, "Exit", true, defaultId == DLG_HIT_EXIT,
                view.pressed == DLG_HIT_EXIT, view.focus == DLG_HIT_EXIT);
}

DlgHit DlgView_HitTest(const DlgView& view, int x, int y, int* item) {
    if (item != nullptr) *item = -1;
    if (Contains(kRunRect, x, y)) return DLG_HIT_RUN;
    if (Contains(kExitRect, x, y)) return DLG_HIT_EXIT;
    if (!Contains(kListRect, x, y)) return DLG_HIT_NONE;

    // Inside the list: the edge and the scroll bar select nothing.
    const SDL_Rect rows = RowsArea(view);
    if (item != nullptr && Contains(rows, x, y)) {
        const int row = (y - rows.y) / kLineH;
        const int index = ShownTop(view) + row;
        if (row < kVisibleItems && index < ItemCount(view)) *item = index;
    }
    return DLG_HIT_LIST;
}
