// glide.h: the Glide 3 subset the Glide device calls, over the software card.
//
// Our own declarations, written from Glide 3's published names and values. One board with one
// texture unit (GR_TMU0) and 4 MB of texture memory; origin upper left; colour ARGB; one context.
// Implements:
//   - grGlideInit / grGlideShutdown / grGet (GR_NUM_BOARDS, GR_PENDING_BUFFERSWAPS) / grReset
//     (statistics) / grSstSelect / grSstWinOpen (GrScreenResolution_t, GrScreenRefresh_t codes,
//     2 colour buffers and 1 depth buffer) / grSelectContext / grEnable, grDisable (GR_PASSTHRU)
//   - grVertexLayout (XY, Z, Q, PARGB, ST0 at any offsets) and grDrawVertexArrayContiguous
//     (points and separate lines are not supported): ST0 holds s/w and t/w in Glide's texel units
//     (0..256 along the longer side of the bound texture, 0..256/ratio along the shorter), Q 1/w
//   - depth buffer mode, function (less, always), mask; cull mode; clip window; render buffer;
//     buffer clear (whole buffer); swap (the interval is ignored; the timer paces the show)
//   - the two colour/alpha combinations the device uses (vertex colour alone; texel x vertex),
//     texture combine LOCAL/ZERO, blend SRC_ALPHA/ONE_MINUS_SRC_ALPHA or ONE/ZERO
//   - texture memory: grTexMinAddress, grTexMaxAddress, grTexTextureMemRequired,
//     grTexDownloadMipMap (one level: small LOD = large LOD), grTexDownloadTable (palette),
//     grTexSource, filter (point, bilinear), clamp mode (wrap only), chroma key (compared with
//     the texel's colour)
//   - grLfbWriteRegion (5-6-5, no pixel pipeline), grLfbReadRegion (front, back, depth)
// Does not implement: mipmaps, trilinear, NCC tables, fog, alpha test, more than one texture unit.
// An unsupported call or value ends the program with a clear message (Win32Unsupported).
#pragma once

#include <cstdint>

typedef uint32_t FxU32;
typedef int32_t FxI32;
typedef uint8_t FxU8;
typedef int FxBool;
#define FXTRUE 1
#define FXFALSE 0

typedef uintptr_t GrContext_t;  // 0: no context
typedef FxU32 GrColor_t;        // 0xAARRGGBB
typedef FxU8 GrAlpha_t;
typedef FxI32 GrChipID_t;
typedef FxI32 GrScreenResolution_t;
typedef FxI32 GrScreenRefresh_t;
typedef FxI32 GrColorFormat_t;
typedef FxI32 GrOriginLocation_t;
typedef FxI32 GrLOD_t;
typedef FxI32 GrAspectRatio_t;
typedef FxI32 GrTextureFormat_t;
typedef FxI32 GrCmpFnc_t;
typedef FxI32 GrCullMode_t;
typedef FxI32 GrBuffer_t;
typedef FxI32 GrCombineFunction_t;
typedef FxI32 GrCombineFactor_t;
typedef FxI32 GrCombineLocal_t;
typedef FxI32 GrCombineOther_t;
typedef FxI32 GrAlphaBlendFnc_t;
typedef FxI32 GrTextureFilterMode_t;
typedef FxI32 GrTextureClampMode_t;
typedef FxI32 GrDepthBufferMode_t;
typedef FxI32 GrChromakeyMode_t;
typedef FxI32 GrTexTable_t;
typedef FxI32 GrEnableMode_t;
typedef FxI32 GrLfbSrcFmt_t;

#define GR_TMU0 0
#define GR_TMU1 1
#define GR_TMU2 2

// grGet / grReset selectors
#define GR_NUM_BOARDS 0x0f
#define GR_PENDING_BUFFERSWAPS 0x14
#define GR_STATS_LINES 0x17
#define GR_STATS_PIXELS_IN 0x1d
#define GR_STATS_PIXELS 0x1d
#define GR_STATS_POINTS 0x1e
#define GR_STATS_TRIANGLES 0x21

#define GR_RESOLUTION_320x200 0x0
#define GR_RESOLUTION_320x240 0x1
#define GR_RESOLUTION_400x256 0x2
#define GR_RESOLUTION_512x384 0x3
#define GR_RESOLUTION_640x200 0x4
#define GR_RESOLUTION_640x350 0x5
#define GR_RESOLUTION_640x400 0x6
#define GR_RESOLUTION_640x480 0x7
#define GR_RESOLUTION_800x600 0x8
#define GR_RESOLUTION_960x720 0x9
#define GR_RESOLUTION_856x480 0xa
#define GR_RESOLUTION_512x256 0xb
#define GR_RESOLUTION_1024x768 0xc
#define GR_RESOLUTION_1280x1024 0xd
#define GR_RESOLUTION_1600x1200 0xe
#define GR_RESOLUTION_400x300 0xf

#define GR_REFRESH_60Hz 0x0
#define GR_REFRESH_70Hz 0x1
#define GR_REFRESH_72Hz 0x2
#define GR_REFRESH_75Hz 0x3
#define GR_REFRESH_80Hz 0x4
#define GR_REFRESH_90Hz 0x5
#define GR_REFRESH_100Hz 0x6
#define GR_REFRESH_85Hz 0x7
#define GR_REFRESH_120Hz 0x8

#define GR_COLORFORMAT_ARGB 0x0
#define GR_ORIGIN_UPPER_LEFT 0x0
#define GR_ORIGIN_LOWER_LEFT 0x1

#define GR_PARAM_XY 0x01
#define GR_PARAM_Z 0x02
#define GR_PARAM_W 0x03
#define GR_PARAM_Q 0x04
#define GR_PARAM_A 0x10
#define GR_PARAM_RGB 0x20
#define GR_PARAM_PARGB 0x30
#define GR_PARAM_ST0 0x40
#define GR_PARAM_DISABLE 0x00
#define GR_PARAM_ENABLE 0x01

#define GR_POINTS 0
#define GR_LINE_STRIP 1
#define GR_LINES 2
#define GR_POLYGON 3
#define GR_TRIANGLE_STRIP 4
#define GR_TRIANGLE_FAN 5
#define GR_TRIANGLES 6

#define GR_DEPTHBUFFER_DISABLE 0x0
#define GR_DEPTHBUFFER_ZBUFFER 0x1

#define GR_CMP_NEVER 0x0
#define GR_CMP_LESS 0x1
#define GR_CMP_EQUAL 0x2
#define GR_CMP_LEQUAL 0x3
#define GR_CMP_GREATER 0x4
#define GR_CMP_NOTEQUAL 0x5
#define GR_CMP_GEQUAL 0x6
#define GR_CMP_ALWAYS 0x7

#define GR_COMBINE_FUNCTION_ZERO 0x0
#define GR_COMBINE_FUNCTION_NONE GR_COMBINE_FUNCTION_ZERO
#define GR_COMBINE_FUNCTION_LOCAL 0x1
#define GR_COMBINE_FUNCTION_LOCAL_ALPHA 0x2
#define GR_COMBINE_FUNCTION_SCALE_OTHER 0x3
#define GR_COMBINE_FUNCTION_BLEND_OTHER GR_COMBINE_FUNCTION_SCALE_OTHER

#define GR_COMBINE_FACTOR_ZERO 0x0
#define GR_COMBINE_FACTOR_NONE GR_COMBINE_FACTOR_ZERO
#define GR_COMBINE_FACTOR_LOCAL 0x1
#define GR_COMBINE_FACTOR_OTHER_ALPHA 0x2
#define GR_COMBINE_FACTOR_LOCAL_ALPHA 0x3
#define GR_COMBINE_FACTOR_TEXTURE_ALPHA 0x4
#define GR_COMBINE_FACTOR_ONE 0x8

#define GR_COMBINE_LOCAL_ITERATED 0x0
#define GR_COMBINE_LOCAL_CONSTANT 0x1
#define GR_COMBINE_OTHER_ITERATED 0x0
#define GR_COMBINE_OTHER_TEXTURE 0x1
#define GR_COMBINE_OTHER_CONSTANT 0x2

#define GR_BLEND_ZERO 0x0
#define GR_BLEND_SRC_ALPHA 0x1
#define GR_BLEND_SRC_COLOR 0x2
#define GR_BLEND_DST_ALPHA 0x3
#define GR_BLEND_ONE 0x4
#define GR_BLEND_ONE_MINUS_SRC_ALPHA 0x5

#define GR_CULL_DISABLE 0x0
#define GR_CULL_NEGATIVE 0x1
#define GR_CULL_POSITIVE 0x2

#define GR_BUFFER_FRONTBUFFER 0x0
#define GR_BUFFER_BACKBUFFER 0x1
#define GR_BUFFER_AUXBUFFER 0x2

#define GR_TEXTUREFILTER_POINT_SAMPLED 0x0
#define GR_TEXTUREFILTER_BILINEAR 0x1
#define GR_TEXTURECLAMP_WRAP 0x0
#define GR_TEXTURECLAMP_CLAMP 0x1

#define GR_CHROMAKEY_DISABLE 0x0
#define GR_CHROMAKEY_ENABLE 0x1

#define GR_TEXTABLE_NCC0 0x0
#define GR_TEXTABLE_NCC1 0x1
#define GR_TEXTABLE_PALETTE 0x2

#define GR_MIPMAPLEVELMASK_EVEN 0x1
#define GR_MIPMAPLEVELMASK_ODD 0x2
#define GR_MIPMAPLEVELMASK_BOTH 0x3

#define GR_PASSTHRU 0x3

#define GR_LFB_SRC_FMT_565 0x00

// LOD: log2 of the longer side. Aspect: log2(width / height), positive when wider.
#define GR_LOD_LOG2_1 0x0
#define GR_LOD_LOG2_2 0x1
#define GR_LOD_LOG2_4 0x2
#define GR_LOD_LOG2_8 0x3
#define GR_LOD_LOG2_16 0x4
#define GR_LOD_LOG2_32 0x5
#define GR_LOD_LOG2_64 0x6
#define GR_LOD_LOG2_128 0x7
#define GR_LOD_LOG2_256 0x8

#define GR_ASPECT_LOG2_8x1 3
#define GR_ASPECT_LOG2_4x1 2
#define GR_ASPECT_LOG2_2x1 1
#define GR_ASPECT_LOG2_1x1 0
#define GR_ASPECT_LOG2_1x2 -1
#define GR_ASPECT_LOG2_1x4 -2
#define GR_ASPECT_LOG2_1x8 -3

// Texel formats (the texture library numbers its formats the same way).
#define GR_TEXFMT_RGB_332 0x0
#define GR_TEXFMT_YIQ_422 0x1
#define GR_TEXFMT_ALPHA_8 0x2
#define GR_TEXFMT_INTENSITY_8 0x3
#define GR_TEXFMT_ALPHA_INTENSITY_44 0x4
#define GR_TEXFMT_P_8 0x5
#define GR_TEXFMT_ARGB_8332 0x8
#define GR_TEXFMT_AYIQ_8422 0x9
#define GR_TEXFMT_RGB_565 0xa
#define GR_TEXFMT_ARGB_1555 0xb
#define GR_TEXFMT_ARGB_4444 0xc
#define GR_TEXFMT_ALPHA_INTENSITY_88 0xd
#define GR_TEXFMT_AP_88 0xe

struct GrTexInfo {
    GrLOD_t smallLodLog2;
    GrLOD_t largeLodLog2;
    GrAspectRatio_t aspectRatioLog2;
    GrTextureFormat_t format;
    void* data;
};

// ---- life cycle ----
void grGlideInit(void);
void grGlideShutdown(void);
// Writes the answer to `params` (plen bytes, at least 4) and returns the bytes written, 0 when
// the selector is not known or plen is too small.
FxU32 grGet(FxU32 pname, FxU32 plen, FxI32* params);
FxBool grReset(FxU32 what);
void grSstSelect(int which);
// hWnd: the Win32 window shown on. 0 on failure (no board, bad codes, no window).
GrContext_t grSstWinOpen(void* hWnd, GrScreenResolution_t resolution, GrScreenRefresh_t refresh,
                         GrColorFormat_t format, GrOriginLocation_t origin, int nColBuffers,
                         int nAuxBuffers);
FxBool grSelectContext(GrContext_t context);
void grEnable(GrEnableMode_t mode);
void grDisable(GrEnableMode_t mode);

// ---- state ----
void grVertexLayout(FxU32 param, FxI32 offset, FxU32 mode);
void grDepthBufferMode(GrDepthBufferMode_t mode);
void grDepthBufferFunction(GrCmpFnc_t function);
void grDepthMask(FxBool mask);
void grColorCombine(GrCombineFunction_t function, GrCombineFactor_t factor, GrCombineLocal_t local,
                    GrCombineOther_t other, FxBool invert);
void grAlphaCombine(GrCombineFunction_t function, GrCombineFactor_t factor, GrCombineLocal_t local,
                    GrCombineOther_t other, FxBool invert);
void grAlphaBlendFunction(GrAlphaBlendFnc_t rgbSrc, GrAlphaBlendFnc_t rgbDst,
                          GrAlphaBlendFnc_t alphaSrc, GrAlphaBlendFnc_t alphaDst);
void grTexCombine(GrChipID_t tmu, GrCombineFunction_t rgbFunction, GrCombineFactor_t rgbFactor,
                  GrCombineFunction_t alphaFunction, GrCombineFactor_t alphaFactor,
                  FxBool rgbInvert, FxBool alphaInvert);
void grTexFilterMode(GrChipID_t tmu, GrTextureFilterMode_t minify, GrTextureFilterMode_t magnify);
void grTexClampMode(GrChipID_t tmu, GrTextureClampMode_t s, GrTextureClampMode_t t);
void grCullMode(GrCullMode_t mode);
void grClipWindow(FxU32 minx, FxU32 miny, FxU32 maxx, FxU32 maxy);  // max exclusive
void grRenderBuffer(GrBuffer_t buffer);
void grChromakeyMode(GrChromakeyMode_t mode);
void grChromakeyValue(GrColor_t value);  // 0x00RRGGBB

// ---- drawing and frames ----
void grBufferClear(GrColor_t color, GrAlpha_t alpha, FxU32 depth);
void grBufferSwap(FxU32 swapInterval);
void grFinish(void);
void grDrawVertexArrayContiguous(FxU32 mode, FxU32 count, void* vertices, FxU32 stride);

// ---- linear frame buffer ----
FxBool grLfbWriteRegion(GrBuffer_t dstBuffer, FxU32 dstX, FxU32 dstY, GrLfbSrcFmt_t srcFormat,
                        FxU32 srcWidth, FxU32 srcHeight, FxBool pixelPipeline, FxI32 srcStride,
                        void* srcData);
FxBool grLfbReadRegion(GrBuffer_t srcBuffer, FxU32 srcX, FxU32 srcY, FxU32 srcWidth,
                       FxU32 srcHeight, FxU32 dstStride, void* dstData);

// ---- texture memory ----
FxU32 grTexMinAddress(GrChipID_t tmu);
FxU32 grTexMaxAddress(GrChipID_t tmu);  // end of texture memory (exclusive)
FxU32 grTexTextureMemRequired(FxU32 evenOdd, GrTexInfo* info);
void grTexDownloadMipMap(GrChipID_t tmu, FxU32 startAddress, FxU32 evenOdd, GrTexInfo* info);
void grTexDownloadTable(GrTexTable_t type, void* data);  // palette: 256 x 0x00RRGGBB
void grTexSource(GrChipID_t tmu, FxU32 startAddress, FxU32 evenOdd, GrTexInfo* info);
