// The text overlay: the 2D bracket, glyph sprites, placement, the cursor, line breaks, wrapping.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "overlay.h"
#include "overlay_support.h"

namespace {

TEST(Overlay, BracketSavesAndRestoresTheDeviceStatesOnce) {
    UploadTestFont(2);
    DevSetCullMode(1);
    // Begin, begin again, end, end again (closed: nothing to give back).
    EXPECT_EQ((std::vector<int>{BeginOverlay(1), BeginOverlay(1), EndOverlay(), EndOverlay()}),
              (std::vector<int>{0, OVL_ALREADY_ACTIVE, 0, 0}));
    std::vector<std::pair<NullOp, int>> got,
        expect = {{NULL_CULL, 1},       {NULL_RENDER_BUFFER, 1}, {NULL_DEPTH_TEST, 0},
                  {NULL_CULL, 0},       {NULL_SET_TEXTURE, 0},   {NULL_RENDER_BUFFER, 1},
                  {NULL_DEPTH_TEST, 1}, {NULL_CULL, 1}};
    for (const NullCall& c : nullDevice.calls) got.emplace_back(c.op, c.a);
    EXPECT_EQ(got, expect);
}

TEST(Overlay, PlacementCursorAndLineBreaks) {
    const struct {
        int align, w, h, cx, cy;
        const char* text;
        std::string expect;  // glyphs, then "|" and the cursor after printing
    } cases[] = {
        {5, 640, 480, 100, 50, "ab", "a@100,50 b@108,50 |116,50"},
        {6, 640, 480, 639, 50, "ab", "a@623,50 b@631,50 |639,50"},
        {4, 640, 480, 320, 50, "abc", "a@308,50 b@316,50 c@324,50 |320,50"},  // centred: kept
        {7, 640, 480, 320, 50, "ab", "a@312,50 b@320,50 |328,50"},            // 3: moved
        {9, 640, 480, 0, 50, "a\nb", "a@0,38 b@0,50 |8,62"},  // bottom: the cursor stays one
        {1, 640, 480, 0, 50, "ab\nc", "a@0,44 b@8,44 c@0,56 |8,62"},  // middle: the same
        {5, 640, 480, 0, 0, "aW\n\nb", "a@0,0 W@8,0 b@0,24 |8,24"},   // empty line: space high
        {5, 40, 100, 0, 0, "ab cd ef", "a@0,0 b@8,0 c@0,12 d@8,12 e@0,24 f@8,24 |16,24"},
        {5, 40, 100, 0, 0, "xy abcdef",
         "x@0,0 y@8,0 a@0,12 b@8,12 c@16,12 d@24,12 e@0,24 f@8,24 |16,24"},
        {5, 40, 100, 0, 0, "abcdefghi",  // a word too long where it starts: one line down, once
         "a@0,10 b@8,10 c@16,10 d@24,10 e@0,22 f@8,22 g@16,22 h@24,22 i@0,34 |8,34"},
        {4, 40, 100, 20, 0, "abc d", "a@8,0 b@16,0 c@24,0 d@16,12 |20,12"},  // room 2 x 19
        {5, 100, 30, 0, 0, "a\nb\nc", "a@0,0 b@0,12 c@0,0 |8,0"},  // below bottom: back to top
        {5, 640, 480, 0, 0, nullptr, "<@0,0 N@8,0 U@16,0 L@24,0 L@32,0 >@40,0 |48,0"},
        {5, 640, 480, 0, 0, "\xE9\x01z", "\xE9@0,0 z@8,0 |16,0"},  // unsigned codes; no glyph
    };
    for (const auto& c : cases) {
        UploadTestFont(2);
        TextBox box;
        InitTextBox(&box, 0, 0, c.w, c.h);
        box.font = 2;
        box.align = static_cast<uint8_t>(c.align);
        box.cursor_x = c.cx;
        box.cursor_y = c.cy;
        PrintText(&box, c.text);
        EXPECT_EQ(
            Placed() + "|" + std::to_string(box.cursor_x) + "," + std::to_string(box.cursor_y),
            c.expect)
            << "align " << c.align << ", " << (c.text ? c.text : "(null)");
    }
}

TEST(Overlay, GlyphSpritesShadowFirstLongTextWholeFormattedTextCut) {
    UploadTestFont(2);
    TextBox box;
    InitTextBox(&box, 0, 0, 1 << 30, 480);
    box.font = 2;
    box.colour = 0xFFFFFFFFu;
    box.shadow = 1;
    box.shadow_colour = 0xFF000010u;
    box.depth = 0.5f;
    PrintText(&box, "aW");
    EXPECT_EQ(Placed(), "a@1,1 a@0,0 W@9,1 W@8,0 ");
    const DeviceVertex& v = nullDevice.vertices[3];  // centre, z, 1/w, height, width
    EXPECT_EQ((std::vector<float>{v.x, v.y, v.z, v.rhw, v.u, v.v}),
              (std::vector<float>{13, 6, 0.5f, 1, 13, 11}));
    EXPECT_EQ(std::pair(v.color, nullDevice.vertices[2].color), std::pair(0xFFFFFFFFu, 0xFF000010u))
        << "the glyph's colour and its shadow's";
    box.shadow = 0;
    std::string word(5000, 'q');
    PrintText(&box, word.c_str());  // longer than any buffer a piece might be copied into
    EXPECT_EQ(box.cursor_x, 20 + 8 * 5000);
    EXPECT_EQ(PrintFormatted(&box, "%s", word.c_str()), 0);
    EXPECT_EQ(nullDevice.vertices.size(), 4u + 5000u + 2047u);
}

}  // namespace
