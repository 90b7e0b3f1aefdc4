// dev_glide_state.h: the Glide device's one state record, shared by its two source files.
#pragma once

#include "device.h"
#include "glide.h"
#include "texentry.h"

// One texture's place in a unit's texture memory.
struct Resident {
    int handle;
    int unit;
    FxU32 address;
    FxU32 size;
    GrTexInfo info;
    float sScale, tScale;  // u, v (0..1) to Glide's s, t
    Resident* next;        // the next younger resident of the unit
};

struct TexUnit {
    Resident* oldest;
    Resident* youngest;
    FxU32 nextFree;  // 0 = not set yet
};

struct GlideState {
    // the board and its window
    FxI32 boardCount;
    GrContext_t context;
    HWND window;
    WNDPROC prevWndProc;
    DeviceEntry entry;
    // the open display and its states
    int width, height;
    unsigned clipX0, clipY0, clipX1, clipY1;
    int cullMode;
    byte depthTest;
    byte renderBuffer;
    // textures
    float sScale, tScale;  // the bound texture's u, v (0..1) to Glide's s, t
    TexEntry* texTable;    // texTableSize copies; format -1 = free
    int texTableSize;      // a multiple of 256
    Resident** residents;  // 65536 pointers, one per handle
    TexUnit units[3];
    int boundHandle;
    byte texturedMode;  // 1 textured, 0 vertex colour alone, 255 not set yet
    int32_t chromaKey;  // -1: chroma keying off
    int fallbackHandle;
};

extern GlideState glide;
