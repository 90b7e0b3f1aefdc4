// overlay.cpp: the 2D bracket and bitmap-font text (see overlay.h).
#include "overlay.h"

#include <climits>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "texentry.h"

namespace {

// The template InitTextBox copies: left and top alignment, everything else zero.
TextBox gTemplate = {0, 0, 0, 0, 0, 0, 0, 0, ALIGN_LEFT | ALIGN_TOP, 0, 0, 0.0f};

// The bracket and the device states it saved.
struct OverlayState {
    bool active;
    byte renderBuffer;
    byte depthTest;
    int cullMode;
};
OverlayState gOverlay;

// PrintFormatted's buffer, allocated on first use and kept.
constexpr int kFormatBufferSize = 2048;
char* gFormatBuffer;

const char* const kNullText = "<NULL>";

// The texture id of character c in `font`, 0 (no texture) for a font outside 0..255.
int GlyphId(int font, unsigned char c) {
    if (font < 0 || font > 255) return 0;
    return font * 256 + c;
}

const TexEntry* Glyph(int font, unsigned char c) {
    int id = GlyphId(font, c);
    return id > 0 ? DevGetTexture(id) : nullptr;
}

int Advance(int font, unsigned char c) {
    const TexEntry* e = Glyph(font, c);
    return e ? e->advance : 0;
}

int ClampInt(int64_t v) {
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
}

int HorizontalAlign(const TextBox* box) { return box->align & 3; }
int VerticalAlign(const TextBox* box) { return (box->align >> 2) & 3; }

// Width (sum of advances) and height (largest line height) of len characters.
void Measure(int font, const unsigned char* text, size_t len, int64_t* width, int* height) {
    int64_t w = 0;
    int h = 0;
    for (size_t i = 0; i < len; ++i) {
        const TexEntry* e = Glyph(font, text[i]);
        if (!e) continue;
        w += e->advance;
        if (e->line_height > h) h = e->line_height;
    }
    *width = w;
    *height = h;
}

void NewLine64(const TextBox* box, int64_t* x, int64_t* y, int lineHeight) {
    *x = HorizontalAlign(box) == ALIGN_RIGHT ? box->right : box->left;
    *y += lineHeight;
    if (*y + lineHeight > box->bottom) *y = box->top;
}

// One piece of len characters, printed without looking for break opportunities.
void PrintPiece(TextBox* box, const unsigned char* text, size_t len, int newline) {
    int64_t width;
    int height;
    Measure(box->font, text, len, &width, &height);

    int h = HorizontalAlign(box);
    int64_t x = h == ALIGN_LEFT    ? box->cursor_x
                : h == ALIGN_RIGHT ? box->cursor_x - width
                                   : box->cursor_x - width / 2;
    // y is the top of the line; the cursor holds the top, bottom or middle by the alignment.
    int v = VerticalAlign(box) << 2;
    int toTop = v == ALIGN_TOP ? 0 : v == ALIGN_BOTTOM ? height : height / 2;
    int64_t y = static_cast<int64_t>(box->cursor_y) - toTop;

    for (size_t i = 0; i < len; ++i) {
        int id = GlyphId(box->font, text[i]);
        if (x + Advance(box->font, text[i]) > box->right) NewLine64(box, &x, &y, height);
        if (box->shadow & 1)
            DrawGlyph(id, ClampInt(x + 1), ClampInt(y + 1), box->shadow_colour, box->depth);
        x += DrawGlyph(id, ClampInt(x), ClampInt(y), box->colour, box->depth);
    }
    if (height == 0) {
        const TexEntry* space = Glyph(box->font, ' ');
        height = space ? space->line_height : 0;
    }
    if (newline) NewLine64(box, &x, &y, height);

    if (h != ALIGN_HCENTRE) box->cursor_x = ClampInt(x);
    box->cursor_y = ClampInt(y + toTop);
}

}  // namespace

int BeginOverlay(byte buffer) {
    if (gOverlay.active) return OVL_ALREADY_ACTIVE;
    gOverlay.active = true;
    gOverlay.renderBuffer = DevSetRenderBuffer(buffer);
    gOverlay.depthTest = DevSetDepthTest(0);
    gOverlay.cullMode = DevSetCullMode(0);
    DevSetTexture(0, 0);
    return 0;
}

int EndOverlay(void) {
    if (!gOverlay.active) return 0;
    DevSetRenderBuffer(gOverlay.renderBuffer);
    DevSetDepthTest(gOverlay.depthTest);
    DevSetCullMode(gOverlay.cullMode);
    gOverlay.active = false;
    return 0;
}

int InitTextBox(TextBox* box, int x, int y, int w, int h) {
    *box = gTemplate;
    box->left = box->cursor_x = x;
    box->top = box->cursor_y = y;
    box->right = ClampInt(static_cast<int64_t>(x) + w - 1);
    box->bottom = ClampInt(static_cast<int64_t>(y) + h - 1);
    return 0;
}

int InitTextBoxScreen(TextBox* box) {
    return InitTextBox(box, 0, 0, DevGetScreenInfo(INFO_WIDTH), DevGetScreenInfo(INFO_HEIGHT));
}

TextBox* GetDefaultTextBox(void) { return &gTemplate; }

TextBox* SetDefaultTextBox(const TextBox* box) {
    if (box) gTemplate = *box;
    return &gTemplate;
}

int DrawGlyph(int id, int x, int y, uint32_t colour, float depth) {
    if (id <= 0 || id > 0xFFFF) return 0;
    const TexEntry* e = DevGetTexture(id);
    if (!e) return 0;
    DeviceVertex v;
    v.x = static_cast<float>(static_cast<int64_t>(x) + e->width / 2);
    v.y = static_cast<float>(static_cast<int64_t>(y) + e->height / 2);
    v.z = depth;
    v.rhw = 1.0f;
    v.color = colour;
    v.u = static_cast<float>(e->height);
    v.v = static_cast<float>(e->width);
    if (DevGetCaps() & 1) {
        v.u *= 256.0f;
        v.v *= 256.0f;
    }
    DevSetTexture(0, id);
    DevDrawPrimitive(DEV_SPRITE, 1, &v);
    return e->advance;
}

int TextWidth(const TextBox* box, const char* text) {
    int w;
    TextExtent(box, text, &w, nullptr);
    return w;
}

int TextHeight(const TextBox* box, const char* text) {
    int h;
    TextExtent(box, text, nullptr, &h);
    return h;
}

int TextExtent(const TextBox* box, const char* text, int* width, int* height) {
    if (!text) text = kNullText;
    int64_t w;
    int h;
    Measure(box->font, reinterpret_cast<const unsigned char*>(text), std::strlen(text), &w, &h);
    if (width) *width = ClampInt(w);
    if (height) *height = h;
    return 0;
}

int LineWidthLimit(const TextBox* box) {
    int64_t toRight = static_cast<int64_t>(box->right) - box->cursor_x;
    int64_t toLeft = static_cast<int64_t>(box->cursor_x) - box->left;
    switch (HorizontalAlign(box)) {
    case ALIGN_LEFT: return ClampInt(toRight);
    case ALIGN_RIGHT: return ClampInt(toLeft);
    default: return ClampInt(2 * (toLeft < toRight ? toLeft : toRight));
    }
}

void NewLine(const TextBox* box, int* x, int* y, int lineHeight) {
    int64_t x64 = *x, y64 = *y;
    NewLine64(box, &x64, &y64, lineHeight);
    *x = ClampInt(x64);
    *y = ClampInt(y64);
}

int PrintLine(TextBox* box, const char* text, int newline) {
    if (!text) text = kNullText;
    PrintPiece(box, reinterpret_cast<const unsigned char*>(text), std::strlen(text), newline);
    return 0;
}

// Each piece is printed straight from the text with its length, so a piece of any length is
// printed whole: there is no intermediate copy that could be too small.
int PrintText(TextBox* box, const char* text) {
    if (!text) text = kNullText;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    bool firstLine = true;
    while (*p) {
        // Scan what fits on the line; the first character is taken even when it alone does not.
        int64_t limit = LineWidthLimit(box), sum = 0;
        size_t i = 0;
        ptrdiff_t lastSpace = -1;
        bool full = false;
        for (; p[i] && p[i] != '\n'; ++i) {
            int advance = Advance(box->font, p[i]);
            if (p[i] == ' ') lastSpace = static_cast<ptrdiff_t>(i);
            if (i > 0 && sum + advance > limit) {
                full = true;
                break;
            }
            sum += advance;
        }
        size_t cut = i;
        if (full && lastSpace >= 0) {
            cut = static_cast<size_t>(lastSpace);
        } else if (full && firstLine) {
            // A word that does not fit where the text began starts on the next line. Once: the
            // pieces that follow continue there, and PrintLine carries them over line ends.
            PrintPiece(box, p, 0, 1);
            firstLine = false;
        }
        bool lineEnd = p[cut] == ' ' || p[cut] == '\n';
        PrintPiece(box, p, cut, lineEnd);
        p += cut;
        if (lineEnd) {
            ++p;
            firstLine = false;
        }
    }
    return 0;
}

int PrintFormatted(TextBox* box, const char* format, ...) {
    if (!gFormatBuffer) gFormatBuffer = static_cast<char*>(std::malloc(kFormatBufferSize));
    if (!gFormatBuffer) return OVL_NO_BUFFER;
    if (!format) return PrintText(box, nullptr);
    va_list args;
    va_start(args, format);
    std::vsnprintf(gFormatBuffer, kFormatBufferSize, format, args);
    va_end(args);
    return PrintText(box, gFormatBuffer);
}
