// trx_dx_state.h: the Direct3D device's one state record, shared by its three source files.
#pragma once

#include "d3d.h"
#include "device.h"
#include "trx_dx_internal.h"

enum { DX_MAX_DEVICES = 16 };

struct DxState {
    // selection
    DeviceEntry list[DX_MAX_DEVICES];  // entries 0, 1 fixed; later ones own their name and GUID
    int count;
    void* chosen;  // 1, 2, &chosenGuid, or null (primary display driver)
    GUID chosenGuid;
    int softwareKind;  // 0 hardware, 1 software emulation, 2 software MMX
    bool secondaryBoard;
    // the open display
    bool open;
    HWND window;
    int width, height;
    LPDIRECTDRAW4 ddraw;
    LPDIRECT3D3 d3d;
    LPDIRECT3DDEVICE3 device;  // lpd3ddev3
    LPDIRECT3DVIEWPORT3 viewport;
    LPDIRECTDRAWSURFACE4 primary;
    LPDIRECTDRAWSURFACE4 target;  // back buffer or primary (no reference of its own)
    LPDIRECTDRAWSURFACE4 depth;
    DDPIXELFORMAT depthFormat;
    DxFormatNode* formats;  // texture formats, most recently enumerated first
    bool sceneClosed;
    unsigned clip[4];  // x0, y0, x1, y1
    int cullMode;
    byte depthTest;
    float depthScale;
    // textures
    DxTexture** table;  // 65536 records, made by the first DevInitTextures
    int bound;          // handle bound on stage 0
};

extern DxState dx;
