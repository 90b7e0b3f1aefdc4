// dev_null.h: the recording null device, for tests and the null-device program only.
//
// It implements every Dev operation of device.h without drawing anything: it keeps the states a
// real device keeps (open/closed, cull mode, depth test, render buffer, clip window, bound texture,
// used texture handles), answers the screen queries, and records every call it gets, with the
// vertices of every draw, so a test can assert on what reached the device. Like a real device it
// keeps its own copy of every uploaded entry (record, palette and pixels), so DevGetTexture stays
// valid after the uploader freed its library; images keep their position only (the record's
// storage stays null, so drawing one draws nothing).
#pragma once

#include <memory>
#include <vector>

#include "device.h"
#include "texentry.h"

enum NullOp {
    NULL_ENUM = 1,
    NULL_SELECT,
    NULL_OPEN,
    NULL_CLOSE,
    NULL_CLEAR,
    NULL_DRAW,
    NULL_END_SCENE,
    NULL_FLIP,
    NULL_CULL,
    NULL_DEPTH_TEST,
    NULL_CLIP,
    NULL_RENDER_BUFFER,
    NULL_INIT_TEXTURES,
    NULL_UPLOAD,
    NULL_FREE_TEXTURE,
    NULL_SET_TEXTURE,
    NULL_CREATE_IMAGE,
    NULL_DRAW_IMAGE,
    NULL_FREE_IMAGE,
    NULL_READ_DEPTH
};

// One call. Integer arguments go to a..d in the order of the call's parameters (for a draw:
// a = type, b = count, c = vertices recorded, d = index of the first in `vertices`; for a texture
// bind: a = stage, b = handle, c = 1 when the binding changed; for DevDrawImage: a = x, b = y,
// c = 1 for the front buffer). Float arguments go to f.
struct NullCall {
    NullOp op;
    int a, b, c, d;
    float f[3];
    const void* ptr;  // window, entry or image passed
};

struct NullDeviceConfig {
    int entries = 2;         // what DevEnumDevices reports (at most 8)
    byte openResult = 0;     // what DevOpen returns when it finds a window
    int depthFar = 1;        // DevGetScreenInfo(10): 1 like Direct3D, 65535 like Glide
    float readDepth = 1.0f;  // what DevReadDepth answers
    byte bindMissing = 0;    // DevSetTexture of a handle without texture: 0 (Direct3D) or 3 (Glide)
};

// The copy kept for one uploaded texture; entry.palette and entry.pixels point into the vectors.
struct NullTexture {
    TexEntry entry;
    std::vector<uint32_t> palette;
    std::vector<uint8_t> pixels;
};

struct NullDevice {
    NullDeviceConfig config;
    std::vector<NullCall> calls;
    std::vector<DeviceVertex> vertices;
    bool open = false;
    HWND window = nullptr;
    int width = 0, height = 0, refresh = 0;
    const DeviceEntry* selected = nullptr;
    int cullMode = -1;
    byte depthTest = 1;
    byte renderBuffer = 1;
    unsigned clip[4] = {0, 0, 0, 0};  // x0, x1, y0, y1 (the order of DevGetScreenInfo 5..8)
    int boundTexture = 0;
    std::vector<const TexEntry*> textures;           // 65536 handles once DevInitTextures ran
    std::vector<std::unique_ptr<NullTexture>> kept;  // the copies that `textures` points at
    int frames = 0;                                  // DevFlip calls
};

extern NullDevice nullDevice;

// Forgets everything (closed, nothing recorded) and takes a new configuration.
void NullDevice_Reset(const NullDeviceConfig& config = NullDeviceConfig{});
// How many calls of one kind were recorded.
int NullDevice_Count(NullOp op);
