// sc_card.cpp: the card's buffers and state: creation, clears, state setters, pixel rectangles.
#include <algorithm>
#include <cstring>

#include "sc_internal.h"
#include "win32_standin.h"

namespace {
constexpr int kMaxSide = 4096;

// Intersects the rectangle (x, y, w, h) with a width x height buffer. Returns false when empty;
// otherwise the clipped rectangle and the offset of its first pixel inside the original one.
bool ClipRect(int width, int height, int* x, int* y, int* w, int* h, int* skipX, int* skipY) {
    if (*w <= 0 || *h <= 0) return false;
    long long x0 = *x, y0 = *y, x1 = x0 + *w, y1 = y0 + *h;
    long long cx0 = std::max(0LL, x0), cy0 = std::max(0LL, y0);
    long long cx1 = std::min<long long>(width, x1), cy1 = std::min<long long>(height, y1);
    if (cx0 >= cx1 || cy0 >= cy1) return false;
    *skipX = int(cx0 - x0);
    *skipY = int(cy0 - y0);
    *x = int(cx0);
    *y = int(cy0);
    *w = int(cx1 - cx0);
    *h = int(cy1 - cy0);
    return true;
}
}  // namespace

ScCard* ScCreate(int width, int height) {
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return nullptr;
    ScCard* card = new ScCard;
    card->width = width;
    card->height = height;
    size_t n = size_t(width) * height;
    card->colour[0].assign(n, 0);
    card->colour[1].assign(n, 0);
    card->depth.assign(n, 0xFFFF);
    card->clipX1 = width;
    card->clipY1 = height;
    const Win32StandInOptions& o = Win32_GetOptions();
    if (!o.framesDir.empty()) ScSetCapture(card, o.framesDir, o.framesAt);
    ScSetThreads(card, ScDefaultThreads());
    return card;
}

void ScDestroy(ScCard* card) {
    if (!card) return;
    ScSetThreads(card, 1);
    ScReleasePresenter(card);
    delete card;
}

ScDrawState ScCurrentState(const ScCard* card) {
    return ScDrawState{card->target,  card->depthFunc, card->depthWrite, card->depthScale,
                       card->blend,   card->cull,      card->clipX0,     card->clipY0,
                       card->clipX1,  card->clipY1,    card->texture,    card->minify,
                       card->magnify, card->colorKey,  card->dither,     card->simd};
}

int ScWidth(const ScCard* card) { return card ? card->width : 0; }
int ScHeight(const ScCard* card) { return card ? card->height : 0; }

void ScSetRenderBuffer(ScCard* card, ScBuffer which) {
    if (card && (which == SC_FRONT || which == SC_BACK)) card->target = which;
}
void ScSetDepthFunc(ScCard* card, ScDepthFunc func) {
    if (card) card->depthFunc = func == SC_DEPTH_ALWAYS ? SC_DEPTH_ALWAYS : SC_DEPTH_LESS;
}
void ScSetDepthWrite(ScCard* card, bool on) {
    if (card) card->depthWrite = on;
}
void ScSetDepthScale(ScCard* card, float scale) {
    if (card && scale == scale) card->depthScale = scale;
}
void ScSetBlend(ScCard* card, bool on) {
    if (card) card->blend = on;
}
void ScSetCull(ScCard* card, ScCull cull) {
    if (card) card->cull = (cull == SC_CULL_CW || cull == SC_CULL_CCW) ? cull : SC_CULL_NONE;
}
void ScSetClip(ScCard* card, int x0, int y0, int x1, int y1) {
    if (!card) return;
    card->clipX0 = std::clamp(x0, 0, card->width);
    card->clipY0 = std::clamp(y0, 0, card->height);
    card->clipX1 = std::clamp(x1, card->clipX0, card->width);
    card->clipY1 = std::clamp(y1, card->clipY0, card->height);
}
void ScSetTexture(ScCard* card, const ScTexture* texture) {
    if (card) card->texture = texture;
}
void ScSetFilter(ScCard* card, ScFilter minify, ScFilter magnify) {
    if (!card) return;
    card->minify = minify == SC_BILINEAR ? SC_BILINEAR : SC_NEAREST;
    card->magnify = magnify == SC_BILINEAR ? SC_BILINEAR : SC_NEAREST;
}
void ScSetColorKey(ScCard* card, bool on) {
    if (card) card->colorKey = on;
}
void ScSetDither(ScCard* card, bool on) {
    if (card) card->dither = on;
}

void ScClearColor(ScCard* card, ScBuffer which, uint16_t rgb565) {
    if (!card || (which != SC_FRONT && which != SC_BACK)) return;
    ScFlush(card);
    std::vector<uint16_t>& b = card->colour[which == SC_FRONT ? 0 : 1];
    std::fill(b.begin(), b.end(), rgb565);
}

void ScClearDepth(ScCard* card, uint16_t depth) {
    if (!card) return;
    ScFlush(card);
    std::fill(card->depth.begin(), card->depth.end(), depth);
}

uint16_t* ScPixels(ScCard* card, ScBuffer which) {
    if (!card) return nullptr;
    ScFlush(card);
    switch (which) {
    case SC_FRONT: return card->colour[0].data();
    case SC_BACK: return card->colour[1].data();
    case SC_DEPTH: return card->depth.data();
    }
    return nullptr;
}

int ScWriteRect(ScCard* card, ScBuffer which, int x, int y, int w, int h, const uint16_t* src,
                int pitchBytes) {
    if (!card || !src || (which != SC_FRONT && which != SC_BACK && which != SC_DEPTH)) return 0;
    if (pitchBytes < 0 || (h > 1 && pitchBytes / 2 < w)) return 0;
    int sx, sy;
    if (!ClipRect(card->width, card->height, &x, &y, &w, &h, &sx, &sy)) return 0;
    uint16_t* dst = ScPixels(card, which);  // draws the queue first
    const char* base = reinterpret_cast<const char*>(src);
    for (int r = 0; r < h; ++r) {
        const char* row = base + size_t(sy + r) * pitchBytes + size_t(sx) * 2;
        std::memcpy(dst + size_t(y + r) * card->width + x, row, size_t(w) * 2);
    }
    return w * h;
}

int ScReadRect(const ScCard* card, ScBuffer which, int x, int y, int w, int h, uint16_t* dst,
               int pitchBytes) {
    if (!card || !dst || (which != SC_FRONT && which != SC_BACK && which != SC_DEPTH)) return 0;
    if (pitchBytes < 0 || (h > 1 && pitchBytes / 2 < w)) return 0;
    int sx, sy;
    if (!ClipRect(card->width, card->height, &x, &y, &w, &h, &sx, &sy)) return 0;
    const uint16_t* src = ScPixels(const_cast<ScCard*>(card), which);  // draws the queue first
    char* base = reinterpret_cast<char*>(dst);
    for (int r = 0; r < h; ++r) {
        char* row = base + size_t(sy + r) * pitchBytes + size_t(sx) * 2;
        std::memcpy(row, src + size_t(y + r) * card->width + x, size_t(w) * 2);
    }
    return w * h;
}

int ScReadDepth(const ScCard* card, int x, int y) {
    if (!card || x < 0 || y < 0 || x >= card->width || y >= card->height) return -1;
    ScFlush(const_cast<ScCard*>(card));  // the queue is the pixels' pending part
    return card->depth[size_t(y) * card->width + x];
}

void ScSwap(ScCard* card) {
    if (!card) return;
    ScFlush(card);
    card->colour[0].swap(card->colour[1]);
}

int ScFrameCount(const ScCard* card) { return card ? card->frames : 0; }
