// sc_internal.h: the card's state, shared by the sc_*.cpp files and nobody else.
#pragma once

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
    bool keyed = false;           // some texels are keyed: they are stored as 0
    // 0xAARRGGBB, (width + 1) x (height + 1): the last column and row repeat the first ones.
    // A keyed texel is 0; a texel that really is 0 is stored as 0x100.
    std::vector<uint32_t> texels;
};

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
    bool simd = true;  // AVX2 copy of the rasteriser when the processor has it

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

namespace sc_base {
int Draw(ScCard* card, ScPrim prim, const ScVertex* v, int count);
}
namespace sc_avx2 {
int Draw(ScCard* card, ScPrim prim, const ScVertex* v, int count);
}
// sc_present.cpp
void ScReleasePresenter(ScCard* card);
