// Device dialog drawing and hit-testing, rendered in software.
#include "win32_dlgview.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <utility>

namespace {

using Where = std::function<bool(int, int)>;
// Template positions in dialog units, converted as the header describes.
constexpr SDL_Rect kList{7 * 6 / 4, 7 * 13 / 8, 172 * 6 / 4, 44 * 13 / 8};
constexpr SDL_Rect kRun{74 * 6 / 4, 51 * 13 / 8, 50 * 6 / 4, 16 * 13 / 8};
constexpr SDL_Rect kExit{129 * 6 / 4, 51 * 13 / 8, 50 * 6 / 4, 16 * 13 / 8};

Where In(SDL_Rect r) {
    return [r](int x, int y) { return x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h; };
}
int RowY(int row) { return kList.y + 2 + row * 13 + 6; }  // centre of a shown list row

// Counts the pixels of the dialog (279 x 120) where f holds.
int CountIf(const Where& f, int n = 0) {
    for (int i = 0; i < 279 * 120; ++i) n += f(i % 279, i / 279);
    return n;
}

// A dialog-sized surface, black until drawn on, under a software renderer.
struct Canvas {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 279, 120, 32, SDL_PIXELFORMAT_RGB888);
    SDL_Renderer* r = SDL_CreateSoftwareRenderer(s);
    ~Canvas() { SDL_DestroyRenderer(r), SDL_FreeSurface(s); }
    // The pixel's colour, shifted up over the unused top byte.
    Uint32 At(int x, int y) const { return static_cast<Uint32*>(s->pixels)[y * 279 + x] << 8; }
};

DlgView View(int n, int sel = -1, int top = 0, int focus = 0, int pressed = 0, bool run = true,
             const std::string& text = "Device") {
    return {std::vector<std::string>(n, text), sel, top, run, focus, pressed};
}
// The control at a point and the list entry under it (-1 for none).
std::pair<int, int> Hit(const DlgView& v, int x, int y, int item = 5) {
    return {DlgView_HitTest(v, x, y, &item), item};
}
int Item(const DlgView& v, int x, int y) { return Hit(v, x, y).second; }

// A clipped line of more points than one batch, bit for bit.
TEST(DlgFont, ClippedDrawing) {
    Canvas c;
    const SDL_Rect clip{20, 0, 250, 5};
    SDL_RenderSetClipRect(c.r, &clip);
    SDL_SetRenderDrawColor(c.r, 255, 255, 255, 255);
    DlgFont_Draw(c.r, -6, 0, std::string(48, 'A').c_str());
    const unsigned char* a = DlgFont_Glyph('A');
    auto ink = [&](int x, int y) { return In(clip)(x, y) && x % 6 < 5 && (a[y] & 16 >> x % 6); };
    auto wrong = [&](int x, int y) { return !c.At(x, y) == ink(x, y); };
    EXPECT_EQ(CountIf(wrong), 0);
}

TEST(DlgView, HitTest) {
    int w = 0, h = 0, vis = DlgView_VisibleItems();
    DlgView_Size(&w, &h);
    ASSERT_EQ(std::pair(std::pair(w, h), vis), std::pair(std::pair(279, 120), (kList.h - 4) / 13));
    const DlgView three = View(3, -1, 0, 0, 0, false), scrolled = View(20, -1, 7);
    const struct {
        DlgView v;
        int x, y, hit, item;
    } cases[] = {
        {three, kRun.x + kRun.w / 2, kRun.y + kRun.h / 2, DLG_HIT_RUN, -1},  // even when disabled
        {three, kExit.x + kExit.w / 2, kExit.y + kExit.h / 2, DLG_HIT_EXIT, -1},
        {three, 40, RowY(0), DLG_HIT_LIST, 0},
        {three, 40, RowY(3), DLG_HIT_LIST, -1},  // below the last entry
        {scrolled, 40, RowY(vis - 1), DLG_HIT_LIST, 6 + vis},
        {scrolled, kList.x + kList.w - 6, RowY(1), DLG_HIT_LIST, -1},  // scroll bar
        {View(20, -1, INT_MAX), 40, RowY(0), DLG_HIT_LIST, 20 - vis},  // scroll position clamped
        {View(20, -1, INT_MIN), 40, RowY(0), DLG_HIT_LIST, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Hit(c.v, c.x, c.y), std::pair(c.hit, c.item)) << "at " << c.x << "," << c.y;
}

TEST(DlgView, OddStateIsSafe) {
    Canvas c;
    DlgView huge = View(300000, 0, 0, 0, 0, true, std::string(60, '\xFF')), none;
    for (int sel : {INT_MIN, -2, 0, 19, 20, 299999, INT_MAX})
        for (int top : {INT_MIN, -1, 3, 20, 299998, INT_MAX})
            for (DlgView* v : {&huge, &none}) {
                *v = {std::move(v->items), sel, top, true, sel, sel};
                DlgView_Paint(c.r, *v);
                EXPECT_LT(Item(*v, 40, RowY(4)), int(v->items.size())) << sel << " " << top;
            }
    for (int xy : {INT_MIN, -9, INT_MAX}) DlgFont_Draw(c.r, xy, ~xy, "\x01 A~\x7f\x80\xff");
}

}  // namespace
