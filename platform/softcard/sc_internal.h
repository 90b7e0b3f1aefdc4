// sc_internal.h: the card's state, shared by the sc_*.cpp files and nobody else.
#pragma once

#include <bit>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "softcard.h"

struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Window;

struct ScTexture {
    int width = 0, height = 0;
    bool keyed = false;  // some texels are keyed: they are stored as 0
    // 0xAARRGGBB, (width + 1) x (height + 1): the last column and row repeat the first ones.
    // A keyed texel is 0; a texel that really is 0 is stored as 0x100.
    std::vector<uint32_t> texels;
};

// The render state a draw uses: taken from the card when the draw is made, kept with it while it
// waits in the queue of a card that draws on several threads.
struct ScDrawState {
    int target;
    ScDepthFunc depthFunc;
    bool depthWrite;
    float depthScale;
    bool blend;
    ScCull cull;
    int clipX0, clipY0, clipX1, clipY1;
    const ScTexture* texture;
    ScFilter minify, magnify;
    bool colorKey, dither;
    ScSimd simd;
};

// A queued draw: its state and its vertices (first..first + count - 1 of the queue's vertices).
struct ScQueuedDraw {
    ScDrawState state;
    ScPrim prim;
    int first, count;
};

struct ScWorkers;  // sc_threads.cpp

struct ScCard {
    int width = 0, height = 0;
    std::vector<uint16_t> colour[2];  // [0] front, [1] back (swapped by ScSwap)
    std::vector<uint16_t> depth;

    // Render state.
    int target = SC_BACK;
    ScDepthFunc depthFunc = SC_DEPTH_LESS;
    bool depthWrite = true;
    float depthScale = 1.0f;
    bool blend = true;
    ScCull cull = SC_CULL_NONE;
    int clipX0 = 0, clipY0 = 0, clipX1 = 0, clipY1 = 0;
    const ScTexture* texture = nullptr;
    ScFilter minify = SC_NEAREST, magnify = SC_NEAREST;
    bool colorKey = true;
    bool dither = true;
    ScSimd simd = SC_SIMD_AVX512;  // the widest copy of the rasteriser allowed

    // Threads (sc_threads.cpp). With more than one, draws wait in the queue until something needs
    // the pixels (ScFinish and every call that reads, writes, clears, swaps or shows the buffers,
    // and texture reloads); then each thread draws the whole queue into its own band of rows.
    int threads = 1;
    ScWorkers* workers = nullptr;
    std::vector<ScQueuedDraw> queue;
    std::vector<ScVertex> queuedVertices;

    // Presentation and capture.
    int frames = 0;
    std::string captureDir;
    std::vector<std::pair<int, int>> captureRanges;  // empty: every frame
    SDL_Window* window = nullptr;
    uint32_t windowId = 0;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* screen = nullptr;
    bool ownRenderer = false;
};

ScDrawState ScCurrentState(const ScCard* card);
// Draws a primitive with state s into rows y0..y1-1 of the card's buffers (within the clip
// window). With draw false nothing is drawn: the result alone, as ScDraw reports it.
namespace sc_base {
int Draw(ScCard* card, const ScDrawState& s, int y0, int y1, ScPrim prim, const ScVertex* v,
         int count, bool draw);
}
namespace sc_avx2 {
int Draw(ScCard* card, const ScDrawState& s, int y0, int y1, ScPrim prim, const ScVertex* v,
         int count, bool draw);
}
namespace sc_avx512 {
int Draw(ScCard* card, const ScDrawState& s, int y0, int y1, ScPrim prim, const ScVertex* v,
         int count, bool draw);
}
// sc_threads.cpp
int ScDefaultThreads();            // --card-threads, else TAMBIR_CARD_THREADS, else all cores
void ScFlush(ScCard* card);        // draws the queue (nothing when empty)
void ScFlushAll();                 // every card's queue: before a texture changes or goes
void ScStopWorkers(ScCard* card);  // ends the card's threads (the queue is dropped)
int ScDrawRows(ScCard* card, const ScDrawState& s, int y0, int y1, ScPrim prim, const ScVertex* v,
               int count, bool draw);  // the plain, AVX2 or AVX-512 copy of Draw
// sc_present.cpp
void ScReleasePresenter(ScCard* card);

// sc_clip.cpp: the cut at the near plane (stored depth 0) and at the camera (w = kScMinW).
constexpr float kScMinW = 1.0e-6f;
constexpr float kScMaxRhw = 1.0e6f;  // 1 / kScMinW
// Corners of a triangle cut by both planes: 5 at most in exact arithmetic; 6 when rounding puts
// two corners of the first cut's quad on each side of the second plane in turn.
constexpr int kScClipMax = 6;
// -1, 0 or +1: the sign that makes the card's depth scale positive (0: depths mean nothing).
inline float ScDepthSign(float depthScale) {
    return depthScale > 0.0f ? 1.0f : (depthScale < 0.0f ? -1.0f : 0.0f);
}
// True when the vertex lies in front of both planes: such a triangle needs no cut. Without
// branches: 0 < rhw <= kScMaxRhw as one unsigned compare of the bits (negative values, zeros,
// NaN and infinity all fall outside), a NaN depth counting as in front.
inline bool ScInFront(const ScVertex& v, float depthSign) {
    constexpr uint32_t kMaxBits = std::bit_cast<uint32_t>(kScMaxRhw);
    return (std::bit_cast<uint32_t>(v.rhw) - 1u < kMaxBits) & !(v.z * depthSign < 0.0f);
}
// The part of triangle a, b, c in front of both planes as a convex polygon in the same winding,
// into out[0..n), n = 0 when nothing is in front or a vertex has no usable 1/w (0, NaN,
// infinite), else 3..kScClipMax. Vertices in front are copied unchanged. The polygon runs in the
// triangle's order, starting with a, or with the first cut point when a is cut away.
int ScClipTriangle(const ScVertex& a, const ScVertex& b, const ScVertex& c, float depthSign,
                   ScVertex* out);
// The part of line a-b in front of both planes into out[0..1]; false when none or refused.
bool ScClipLine(const ScVertex& a, const ScVertex& b, float depthSign, ScVertex* out);
