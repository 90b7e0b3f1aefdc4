// Device dialog drawing: font, list box, buttons and hit-testing, rendered in software.
#include "win32_dlgview.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>

namespace {

constexpr Uint32 kNavy = 0x000080, kWhite = 0xFFFFFF, kBlack = 0x000000, kGrey = 0x808080;
// Template positions in dialog units, converted as the header describes.
constexpr SDL_Rect kList{7 * 6 / 4, 7 * 13 / 8, 172 * 6 / 4, 44 * 13 / 8};
constexpr SDL_Rect kRun{74 * 6 / 4, 51 * 13 / 8, 50 * 6 / 4, 16 * 13 / 8};
constexpr SDL_Rect kExit{129 * 6 / 4, 51 * 13 / 8, 50 * 6 / 4, 16 * 13 / 8};

bool Inside(const SDL_Rect& r, int x, int y) {
    return x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h;
}
// Centre of a shown list row.
int RowY(int row) { return kList.y + 2 + row * 13 + 6; }

// A software renderer over a plain surface, by default the dialog's size.
struct Canvas {
    SDL_Surface* s = nullptr;
    SDL_Renderer* r = nullptr;
    Canvas(int w = 0, int h = 0) {
        if (w == 0) DlgView_Size(&w, &h);
        s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
        r = SDL_CreateSoftwareRenderer(s);
        SDL_SetRenderDrawColor(r, 255, 255, 255, 255);
        SDL_RenderClear(r);
        SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
    }
    ~Canvas() {
        SDL_DestroyRenderer(r);
        SDL_FreeSurface(s);
    }
    Uint32 At(int x, int y) const {
        return static_cast<const Uint32*>(s->pixels)[y * s->pitch / 4 + x] & 0xFFFFFF;
    }
    int Count(Uint32 rgb, const std::function<bool(int, int)>& where) const {
        int n = 0;
        for (int y = 0; y < s->h; ++y)
            for (int x = 0; x < s->w; ++x) n += At(x, y) == rgb && where(x, y);
        return n;
    }
};

DlgView View(int count, int selected = -1, int top = 0) {
    DlgView v;
    for (int i = 0; i < count; ++i) v.items.push_back("Device " + std::to_string(i));
    v.selected = selected;
    v.topItem = top;
    return v;
}

int ItemAt(const DlgView& v, int x, int y) {
    int item = -2;
    return DlgView_HitTest(v, x, y, &item) == DLG_HIT_LIST ? item : -2;
}

// Paints both views; every pixel that differs must satisfy allowed. Returns the count.
int DiffPixels(const DlgView& a, const DlgView& b, const std::function<bool(int, int)>& allowed) {
    Canvas ca, cb;
    DlgView_Paint(ca.r, a);
    DlgView_Paint(cb.r, b);
    int n = 0;
    for (int y = 0; y < ca.s->h; ++y)
        for (int x = 0; x < ca.s->w; ++x)
            if (ca.At(x, y) != cb.At(x, y)) {
                ++n;
                EXPECT_TRUE(allowed(x, y)) << "unexpected change at " << x << "," << y;
            }
    return n;
}

TEST(DlgFont, GlyphTable) {
    const unsigned char* box = DlgFont_Glyph(0);
    EXPECT_EQ(box[0] & box[6], 0x1F);
    for (int c = 0; c < 256; ++c) {
        const unsigned char* g = DlgFont_Glyph(static_cast<unsigned char>(c));
        const bool printable = c >= 32 && c <= 126;
        EXPECT_EQ(std::memcmp(g, box, 7) == 0, !printable) << "char " << c;
        int bits = 0;
        for (int r = 0; r < 7; ++r) bits |= g[r];
        EXPECT_EQ(bits & ~0x1F, 0) << "char " << c;
        EXPECT_EQ(bits == 0, c == ' ') << "char " << c;
        for (int d = 32; printable && d < c; ++d)
            EXPECT_NE(std::memcmp(g, DlgFont_Glyph(static_cast<unsigned char>(d)), 7), 0)
                << "'" << char(c) << "' looks like '" << char(d) << "'";
    }
    EXPECT_EQ(DlgFont_TextWidth(nullptr), 0);
    EXPECT_EQ(DlgFont_TextWidth("Run\x01\xff"), 30);
}

TEST(DlgFont, DrawPlacesGlyphBitsAndHonoursClip) {
    Canvas c(1600, 12);
    const std::string text(250, 'A');  // many more points than one batch
    DlgFont_Draw(c.r, 3, 2, text.c_str());
    const unsigned char* a = DlgFont_Glyph('A');
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 1600; ++x) {
            const int gx = (x - 3) % 6, gy = y - 2, cell = (x - 3) / 6;
            const bool set =
                x >= 3 && cell < 250 && gx < 5 && gy >= 0 && gy < 7 && (a[gy] & (0x10 >> gx));
            ASSERT_EQ(c.At(x, y), set ? kBlack : kWhite) << x << "," << y;
        }
    Canvas d(64, 16);
    const SDL_Rect clip{20, 0, 13, 16};
    SDL_RenderSetClipRect(d.r, &clip);
    DlgFont_Draw(d.r, -7, 3, text.c_str());
    EXPECT_GT(d.Count(kBlack, [&](int x, int y) { return Inside(clip, x, y); }), 10);
    EXPECT_EQ(d.Count(kBlack, [&](int x, int y) { return !Inside(clip, x, y); }), 0);
    // Descenders drop below the baseline (row 6) but stay in the 10-row cell.
    Canvas e(64, 16);
    DlgFont_Draw(e.r, 0, 0, "gjpqy");
    EXPECT_GT(e.Count(kBlack, [](int, int y) { return y > 6 && y < DLGFONT_CELL_H; }), 0);
    EXPECT_EQ(e.Count(kBlack, [](int, int y) { return y >= DLGFONT_CELL_H; }), 0);
}

TEST(DlgView, HitTest) {
    int w = 0, h = 0;
    DlgView_Size(&w, &h);
    EXPECT_EQ(w, 279);
    EXPECT_EQ(h, 120);
    DlgView v = View(3);
    v.runEnabled = false;  // the dialog manager decides what a disabled button does
    int item = 5;
    EXPECT_EQ(DlgView_HitTest(v, kRun.x + kRun.w / 2, kRun.y + kRun.h / 2, &item), DLG_HIT_RUN);
    EXPECT_EQ(item, -1);
    EXPECT_EQ(DlgView_HitTest(v, kExit.x + kExit.w / 2, kExit.y + kExit.h / 2, nullptr),
              DLG_HIT_EXIT);
    EXPECT_EQ(DlgView_HitTest(v, kExit.x + kExit.w, kExit.y, &item), DLG_HIT_NONE);
    for (int c : {INT_MIN, -1, INT_MAX}) EXPECT_EQ(DlgView_HitTest(v, c, c, &item), DLG_HIT_NONE);

    for (int r = 0; r < 4; ++r) EXPECT_EQ(ItemAt(v, 40, RowY(r)), r < 3 ? r : -1);
    EXPECT_EQ(ItemAt(v, kList.x, kList.y), -1);  // border
    const int vis = DlgView_VisibleItems();
    ASSERT_GE(vis, 4);
    ASSERT_LE(vis * 13, kList.h - 4);
    for (int r = 0; r < vis; ++r) EXPECT_EQ(ItemAt(View(20, -1, 7), 40, RowY(r)), 7 + r);
    EXPECT_EQ(ItemAt(View(20, -1, 7), kList.x + kList.w - 6, RowY(1)), -1);  // scroll bar
    EXPECT_EQ(ItemAt(View(20, -1, 7), 40, kList.y + kList.h - 3), -1);  // gap under the last row
    // Scroll positions out of range act like the nearest valid one.
    EXPECT_EQ(ItemAt(View(20, -1, INT_MAX), 40, RowY(0)), 20 - vis);
    EXPECT_EQ(ItemAt(View(20, -1, INT_MIN), 40, RowY(0)), 0);
}

TEST(DlgView, ListShowsSelectionClipsTextAndScrolls) {
    for (const DlgView& v : {View(3, 1), View(20, 9, 7), View(20, 2, 7)}) {
        Canvas c;
        DlgView_Paint(c.r, v);
        const bool shown = v.selected >= v.topItem;
        int selPixels = 0;
        for (int y = kList.y; y < kList.y + kList.h; ++y)
            for (int x = kList.x; x < kList.x + kList.w; ++x) {
                const int item = ItemAt(v, x, y);
                const Uint32 px = c.At(x, y);
                if (item == v.selected) {
                    ASSERT_TRUE(px == kNavy || px == kWhite) << x << "," << y;
                    selPixels += px == kNavy;
                } else {
                    ASSERT_TRUE(item >= 0 ? px == kWhite || px == kBlack : px != kNavy)
                        << x << "," << y;
                }
            }
        EXPECT_EQ(selPixels > 13 * 200, shown);
    }
    // Very long entries change nothing outside the entries' own rows.
    for (int count : {3, 20}) {
        DlgView longer = View(count, 1), blank = longer;
        for (auto& s : longer.items) s = std::string(5000, 'W');
        for (auto& s : blank.items) s.clear();
        EXPECT_GT(
            DiffPixels(longer, blank, [&](int x, int y) { return ItemAt(longer, x, y) >= 0; }),
            1000);
    }
    // The scroll bar's thumb moves with the scroll position; no bar when all entries fit.
    EXPECT_GT(DiffPixels(View(5), View(3), [](int x, int) { return x < kList.x + kList.w - 14; }),
              0);
    const int vis = DlgView_VisibleItems();
    int prevTop = -1;
    for (int top : {0, (20 - vis) / 2, 20 - vis}) {
        Canvas c;
        DlgView_Paint(c.r, View(20, -1, top));
        int thumbTop = -1;
        for (int y = kList.y + kList.h - 3; y > kList.y + 1; --y)
            if (c.At(kList.x + kList.w - 7, y) == 0xC0C0C0) thumbTop = y;
        EXPECT_GT(thumbTop, prevTop) << "top " << top;
        prevTop = thumbTop;
    }
}

TEST(DlgView, ButtonsStatesAndFocus) {
    DlgView base = View(3, 1);
    auto in = [](const SDL_Rect& r) { return [r](int x, int y) { return Inside(r, x, y); }; };
    auto label = [](const SDL_Rect& r) { return SDL_Rect{r.x + 6, r.y + 6, r.w - 12, r.h - 12}; };
    Canvas on, off;
    DlgView disabled = base;
    disabled.runEnabled = false;
    DlgView_Paint(on.r, base);
    DlgView_Paint(off.r, disabled);
    EXPECT_GT(on.Count(kBlack, in(label(kRun))), 15);
    EXPECT_EQ(off.Count(kBlack, in(label(kRun))), 0);
    EXPECT_GT(off.Count(kGrey, in(label(kRun))), 15);

    DlgView pressed = base;
    pressed.pressed = DLG_HIT_EXIT;
    EXPECT_GT(DiffPixels(base, pressed, in(kExit)), 20);
    Canvas down;
    DlgView_Paint(down.r, pressed);
    EXPECT_EQ(on.At(kExit.x + 30, kExit.y), kWhite);    // raised: lit top edge
    EXPECT_EQ(down.At(kExit.x + 30, kExit.y), kBlack);  // sunken: dark top edge

    DlgView focus = base;
    focus.focus = DLG_HIT_LIST;
    EXPECT_GT(DiffPixels(base, focus, [&](int x, int y) { return ItemAt(base, x, y) == 1; }), 20);
    focus.focus = DLG_HIT_RUN;
    EXPECT_GT(DiffPixels(base, focus, in(kRun)), 20);
    focus.focus = DLG_HIT_EXIT;  // also takes the default outline from "Run"
    EXPECT_GT(
        DiffPixels(base, focus, [&](int x, int y) { return in(kRun)(x, y) || in(kExit)(x, y); }),
        20);
}

TEST(DlgView, OddStateIsSafeAndRendererStateKept) {
    Canvas c;
    const SDL_Rect clip{3, 4, 50, 60};
    SDL_RenderSetClipRect(c.r, &clip);
    SDL_SetRenderDrawColor(c.r, 1, 2, 3, 4);
    DlgView huge;
    huge.items.resize(300000);
    huge.items[299999] = std::string(100000, '\xFF');
    DlgView twenty = View(20), none;
    for (int sel : {INT_MIN, -2, 0, 19, 20, 299999, INT_MAX})
        for (int top : {INT_MIN, -1, 3, 20, 299998, INT_MAX})
            for (DlgView* v : {&huge, &twenty, &none}) {
                v->selected = sel;
                v->topItem = top;
                v->focus = v->pressed = sel;
                DlgView_Paint(c.r, *v);
                for (int y = -1; y <= 121; y += 3)
                    for (int x = -1; x <= 280; x += 5)
                        ASSERT_LT(ItemAt(*v, x, y), static_cast<int>(v->items.size()));
            }
    DlgView_Paint(nullptr, huge);
    std::string all;
    for (int ch = 1; ch < 256; ++ch) all.push_back(static_cast<char>(ch));
    for (int x : {INT_MIN, -3, INT_MAX})
        for (int y : {INT_MIN, -9, INT_MAX}) DlgFont_Draw(c.r, x, y, all.c_str());
    DlgFont_Draw(c.r, 0, 0, nullptr);
    SDL_Rect after{};
    SDL_RenderGetClipRect(c.r, &after);
    EXPECT_TRUE(SDL_RectEquals(&after, &clip));
    Uint8 r = 0, g = 0, b = 0, a = 0;
    SDL_GetRenderDrawColor(c.r, &r, &g, &b, &a);
    EXPECT_EQ(r + g + b + a, 1 + 2 + 3 + 4);
}

}  // namespace
