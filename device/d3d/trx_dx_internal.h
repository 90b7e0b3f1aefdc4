// trx_dx_internal.h: the pieces of the Direct3D device (trx_dx) that its tests reach directly:
// the texture format list and the format choice, pixel layouts and the pixel converter, the
// texture records, and the depth calibration. Nothing else in the system includes it.
#pragma once

#include <cstdint>

#include "d3d.h"
#include "texentry.h"

// One texture pixel format the device offers (EnumTextureFormats), most recently enumerated first.
struct DxFormatNode {
    DDPIXELFORMAT format;
    DxFormatNode* next;
};

// A pixel layout derived from a DDPIXELFORMAT: how each channel moves into 0xAARRGGBB.
struct DxPixelLayout {
    int valid;         // 1 once derived
    int bits;          // 8, 16, 24 or 32
    int shift[4];      // R, G, B, A: left when positive, right when negative
    uint32_t mask[4];  // R, G, B, A after the shift
    int kind;          // 1 RGB, 2 luminance, 3 palettised, 4 alpha only
    int hasAlpha;
};

// A used handle's record.
struct DxTexture {
    IDirectDrawSurface4* surface;
    IDirect3DTexture2* texture;
    TexEntry entry;  // palette and pixels null
};

// The source pixel format of a texture library format code (all zero for codes without one).
DDPIXELFORMAT DxSourceFormat(int code);
// The device format for a source format from `list`; *convert = 0 only for an exact match.
// Null for an empty list.
const DDPIXELFORMAT* DxChooseFormat(const DxFormatNode* list, const DDPIXELFORMAT& source,
                                    int* convert);
void DxDeriveLayout(const DDPIXELFORMAT& format, DxPixelLayout* layout);
// Converts n pixels; palette (256 x 0x00RRGGBB) for palettised sources, null reads as black.
void DxConvertPixels(const DxPixelLayout& src, const DxPixelLayout& dst, const uint8_t* from,
                     uint8_t* to, int n, const uint32_t* palette);
// A colour key 0x00RRGGBB in the device format of `layout` (palettised: 0).
uint32_t DxConvertKey(const DxPixelLayout& layout, uint32_t key);

DxTexture* DxTextureRecord(int handle);  // null for a free handle
int DxBoundHandle(void);
const DxFormatNode* DxTextureFormats(void);
float DxDepthScale(void);
DDPIXELFORMAT DxDepthFormat(void);
