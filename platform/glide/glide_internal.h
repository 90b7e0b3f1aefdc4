// glide_internal.h: the Glide stand-in's process-wide state, shared by its source files.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <vector>

#include "glide.h"
#include "glide_standin.h"
#include "softcard.h"

constexpr FxU32 kGlTexMemory = 4u << 20;  // bytes of texture memory on GR_TMU0

// A texture converted for the card from texture memory, kept per start address until texels
// under it, its palette or the chroma key change.
struct GlTexCache {
    int width = 0, height = 0, format = -1;
    FxU32 size = 0;
    ScTexture* texture = nullptr;
    bool stale = true;                  // texels under it were downloaded again
    uint32_t key = 0;                   // chroma value it was converted with (all ones: none)
    std::array<uint32_t, 256> palette;  // palette it was converted with (paletted formats)
};

struct GlState {
    int boards = -1;  // -1: not decided yet (environment, else 1)
    bool initialised = false;
    ScCard* card = nullptr;
    void* window = nullptr;
    GrContext_t context = 0;
    GrContext_t nextContext = 1;
    bool passthru = true;

    // vertex layout: byte offsets, -1 when disabled
    int offXY = -1, offZ = -1, offQ = -1, offPARGB = -1, offST0 = -1;
    std::vector<ScVertex> scratch;

    // pixel pipeline
    bool depthOn = false;
    GrCmpFnc_t depthFunc = GR_CMP_LESS;
    bool depthMask = false;
    bool colorTextured = false, alphaTextured = false;
    bool blend = false;
    GrCullMode_t cull = GR_CULL_DISABLE;
    FxU32 clip[4] = {0, 0, 0x7FFFFFFF, 0x7FFFFFFF};
    GrBuffer_t renderBuffer = GR_BUFFER_BACKBUFFER;
    ScFilter minify = SC_NEAREST, magnify = SC_BILINEAR;

    // texture unit
    std::vector<uint8_t> texMemory = std::vector<uint8_t>(kGlTexMemory);
    std::array<uint32_t, 256> palette{};
    bool chromaOn = false;
    uint32_t chromaValue = 0;
    bool sourceSet = false;
    FxU32 sourceAddress = 0;
    GrTexInfo sourceInfo{};
    bool textureDirty = true;  // the card's bound texture must be looked up again
    std::map<FxU32, GlTexCache> cache;
    uint64_t downloads = 0, conversions = 0;

    bool recording = false;
    std::vector<GlideCall> calls;
};

extern GlState gl;

void GlRecord(const char* name, std::initializer_list<int64_t> args);
// Width, height and bytes per texel of a texture description; false when Glide would not take it.
bool GlTexShape(const GrTexInfo* info, int* width, int* height, int* bytes);
// Binds on the card the texture that the next draw samples (or none).
void GlResolveTexture(void);
// Destroys every converted texture (the card is going away or the stand-in is reset).
void GlDropTextureCache(void);
