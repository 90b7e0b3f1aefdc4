// glide_main.cpp: Glide's life cycle, pixel pipeline state, drawing, swaps and the linear frame
// buffer, translated into software card calls.
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "glide_internal.h"
#include "win32_standin.h"

GlState gl;

void GlRecord(const char* name, std::initializer_list<int64_t> args) {
    if (!gl.recording) return;
    GlideCall c{name, {0, 0, 0, 0, 0, 0, 0, 0}};
    int i = 0;
    for (int64_t v : args)
        if (i < 8) c.a[i++] = v;
    gl.calls.push_back(c);
}

namespace {

int ClampInt(FxU32 v) { return v > 0x3FFFFFFFu ? 0x3FFFFFFF : static_cast<int>(v); }

void ApplyDepth() {
    if (!gl.card) return;
    if (!gl.depthOn) {
        ScSetDepthFunc(gl.card, SC_DEPTH_ALWAYS);
        ScSetDepthWrite(gl.card, false);
        return;
    }
    ScSetDepthFunc(gl.card, gl.depthFunc == GR_CMP_ALWAYS ? SC_DEPTH_ALWAYS : SC_DEPTH_LESS);
    ScSetDepthWrite(gl.card, gl.depthMask);
}

void ApplyCull() {
    if (!gl.card) return;
    // Upper-left origin: GR_CULL_POSITIVE drops triangles running clockwise on screen.
    ScSetCull(gl.card, gl.cull == GR_CULL_POSITIVE   ? SC_CULL_CW
                       : gl.cull == GR_CULL_NEGATIVE ? SC_CULL_CCW
                                                     : SC_CULL_NONE);
}

void ApplyAll() {
    if (!gl.card) return;
    ApplyDepth();
    ApplyCull();
    ScSetDepthScale(gl.card, 1.0f);
    ScSetBlend(gl.card, gl.blend);
    ScSetClip(gl.card, ClampInt(gl.clip[0]), ClampInt(gl.clip[1]), ClampInt(gl.clip[2]),
              ClampInt(gl.clip[3]));
    ScSetRenderBuffer(gl.card, gl.renderBuffer == GR_BUFFER_FRONTBUFFER ? SC_FRONT : SC_BACK);
    ScSetFilter(gl.card, gl.minify, gl.magnify);
    ScSetColorKey(gl.card, gl.chromaOn);
    gl.textureDirty = true;
}

// Board defaults of a freshly opened window.
void DefaultState() {
    gl.offXY = gl.offZ = gl.offQ = gl.offPARGB = gl.offST0 = -1;
    gl.depthOn = false;
    gl.depthFunc = GR_CMP_LESS;
    gl.depthMask = false;
    gl.colorTextured = gl.alphaTextured = false;
    gl.blend = false;
    gl.cull = GR_CULL_DISABLE;
    gl.clip[0] = gl.clip[1] = 0;
    gl.clip[2] = gl.clip[3] = 0x7FFFFFFF;
    gl.renderBuffer = GR_BUFFER_BACKBUFFER;
    gl.minify = SC_NEAREST;
    gl.magnify = SC_BILINEAR;
    gl.chromaOn = false;
    gl.sourceSet = false;
    gl.passthru = true;
}

int Boards() {
    if (gl.boards < 0) {
        const char* env = std::getenv("TAMBIR_GLIDE_BOARDS");
        gl.boards = (env && env[0] == '0' && env[1] == 0) ? 0 : 1;
    }
    return gl.boards;
}

bool ResolutionSize(GrScreenResolution_t r, int* w, int* h) {
    static const int sizes[16][2] = {{320, 200},  {320, 240},   {400, 256},   {512, 384},
                                     {640, 200},  {640, 350},   {640, 400},   {640, 480},
                                     {800, 600},  {960, 720},   {856, 480},   {512, 256},
                                     {1024, 768}, {1280, 1024}, {1600, 1200}, {400, 300}};
    if (r < 0 || r > 15) return false;
    *w = sizes[r][0];
    *h = sizes[r][1];
    return true;
}

// Combinations of grColorCombine / grAlphaCombine we draw: vertex value alone, or texel x vertex.
bool CombineTextured(const char* call, GrCombineFunction_t f, GrCombineFactor_t factor,
                     GrCombineLocal_t local, GrCombineOther_t other, FxBool invert) {
    if (f == GR_COMBINE_FUNCTION_SCALE_OTHER && !invert) {
        if (factor == GR_COMBINE_FACTOR_ONE && other == GR_COMBINE_OTHER_ITERATED) return false;
        if (factor == GR_COMBINE_FACTOR_LOCAL && local == GR_COMBINE_LOCAL_ITERATED &&
            other == GR_COMBINE_OTHER_TEXTURE)
            return true;
    }
    Win32Unsupported(call, "a combination other than iterated alone or texture x iterated");
}

ScPrim PrimOf(FxU32 mode) {
    switch (mode) {
    case GR_TRIANGLES: return SC_TRIANGLES;
    case GR_TRIANGLE_STRIP: return SC_STRIP;
    case GR_TRIANGLE_FAN: return SC_FAN;
    case GR_POLYGON: return SC_POLYGON;
    case GR_LINE_STRIP: return SC_LINE_STRIP;
    default: Win32Unsupported("grDrawVertexArrayContiguous", "points and separate lines");
    }
}

float ReadF(const uint8_t* p, int off, float otherwise) {
    if (off < 0) return otherwise;
    float f;
    std::memcpy(&f, p + off, 4);
    return f;
}

}  // namespace

// ---- stand-in extras ----

void GlideStandIn_SetBoards(int boards) { gl.boards = boards > 0 ? 1 : 0; }
void GlideStandIn_Record(bool on) {
    gl.recording = on;
    if (on) gl.calls.clear();
}
const std::vector<GlideCall>& GlideStandIn_Calls(void) { return gl.calls; }
int GlideStandIn_Count(const char* name) {
    int n = 0;
    for (const GlideCall& c : gl.calls) n += std::strcmp(c.name, name) == 0;
    return n;
}
ScCard* GlideStandIn_Card(void) { return gl.card; }
const uint8_t* GlideStandIn_TexMemory(void) { return gl.texMemory.data(); }
uint64_t GlideStandIn_Downloads(void) { return gl.downloads; }
uint64_t GlideStandIn_Conversions(void) { return gl.conversions; }
void GlideStandIn_Reset(void) {
    if (gl.card) ScDestroy(gl.card);
    GlDropTextureCache();
    gl = GlState();
}

// ---- life cycle ----

void grGlideInit(void) {
    GlRecord("grGlideInit", {});
    gl.initialised = true;
}

void grGlideShutdown(void) {
    GlRecord("grGlideShutdown", {});
    GlDropTextureCache();  // the converted copies; texture memory itself keeps its bytes
    if (gl.card) ScDestroy(gl.card);
    gl.card = nullptr;
    gl.window = nullptr;
    gl.context = 0;
    gl.initialised = false;
}

FxU32 grGet(FxU32 pname, FxU32 plen, FxI32* params) {
    GlRecord("grGet", {pname, plen});
    if (!params || plen < 4) return 0;
    switch (pname) {
    case GR_NUM_BOARDS: *params = Boards(); return 4;
    case GR_PENDING_BUFFERSWAPS: *params = 0; return 4;  // swaps complete at once
    default: return 0;
    }
}

FxBool grReset(FxU32 what) {
    GlRecord("grReset", {what});
    return what == GR_STATS_PIXELS || what == GR_STATS_LINES || what == GR_STATS_POINTS ||
           what == GR_STATS_TRIANGLES;
}

void grSstSelect(int which) {
    GlRecord("grSstSelect", {which});
    if (which != 0) Win32Unsupported("grSstSelect", "a board other than 0");
}

GrContext_t grSstWinOpen(void* hWnd, GrScreenResolution_t resolution, GrScreenRefresh_t refresh,
                         GrColorFormat_t format, GrOriginLocation_t origin, int nColBuffers,
                         int nAuxBuffers) {
    GlRecord("grSstWinOpen", {resolution, refresh, format, origin, nColBuffers, nAuxBuffers});
    int w, h;
    if (Boards() == 0 || !gl.initialised || gl.card || !hWnd) return 0;
    if (!ResolutionSize(resolution, &w, &h) || refresh < 0 || refresh > GR_REFRESH_120Hz) return 0;
    if (format != GR_COLORFORMAT_ARGB) Win32Unsupported("grSstWinOpen", "a colour format but ARGB");
    if (origin != GR_ORIGIN_UPPER_LEFT) Win32Unsupported("grSstWinOpen", "a lower-left origin");
    if (nColBuffers != 2 || nAuxBuffers != 1)
        Win32Unsupported("grSstWinOpen", "buffers other than 2 colour and 1 depth");
    gl.card = ScCreate(w, h);
    if (!gl.card) return 0;
    gl.window = hWnd;
    gl.context = gl.nextContext++;
    DefaultState();
    ApplyAll();
    return gl.context;
}

FxBool grSelectContext(GrContext_t context) {
    GlRecord("grSelectContext", {static_cast<int64_t>(context)});
    return context != 0 && context == gl.context;
}

void grEnable(GrEnableMode_t mode) {
    GlRecord("grEnable", {mode});
    if (mode != GR_PASSTHRU) Win32Unsupported("grEnable", "a mode other than GR_PASSTHRU");
    gl.passthru = true;
}

void grDisable(GrEnableMode_t mode) {
    GlRecord("grDisable", {mode});
    if (mode != GR_PASSTHRU) Win32Unsupported("grDisable", "a mode other than GR_PASSTHRU");
    gl.passthru = false;
}

// ---- state ----

void grVertexLayout(FxU32 param, FxI32 offset, FxU32 mode) {
    GlRecord("grVertexLayout", {param, offset, mode});
    if (offset < 0 || offset > 252 || offset % 4 != 0)
        Win32Unsupported("grVertexLayout", "an offset outside 0..252 or not a multiple of 4");
    int value = mode == GR_PARAM_ENABLE ? offset : -1;
    switch (param) {
    case GR_PARAM_XY: gl.offXY = value; break;
    case GR_PARAM_Z: gl.offZ = value; break;
    case GR_PARAM_Q: gl.offQ = value; break;
    case GR_PARAM_PARGB: gl.offPARGB = value; break;
    case GR_PARAM_ST0: gl.offST0 = value; break;
    default: Win32Unsupported("grVertexLayout", "a parameter other than XY, Z, Q, PARGB, ST0");
    }
}

void grDepthBufferMode(GrDepthBufferMode_t mode) {
    GlRecord("grDepthBufferMode", {mode});
    if (mode != GR_DEPTHBUFFER_DISABLE && mode != GR_DEPTHBUFFER_ZBUFFER)
        Win32Unsupported("grDepthBufferMode", "a mode other than disable and z-buffer");
    gl.depthOn = mode == GR_DEPTHBUFFER_ZBUFFER;
    ApplyDepth();
}

void grDepthBufferFunction(GrCmpFnc_t function) {
    GlRecord("grDepthBufferFunction", {function});
    if (function != GR_CMP_LESS && function != GR_CMP_ALWAYS)
        Win32Unsupported("grDepthBufferFunction", "a function other than less and always");
    gl.depthFunc = function;
    ApplyDepth();
}

void grDepthMask(FxBool mask) {
    GlRecord("grDepthMask", {mask});
    gl.depthMask = mask != 0;
    ApplyDepth();
}

void grColorCombine(GrCombineFunction_t function, GrCombineFactor_t factor, GrCombineLocal_t local,
                    GrCombineOther_t other, FxBool invert) {
    GlRecord("grColorCombine", {function, factor, local, other, invert});
    gl.colorTextured = CombineTextured("grColorCombine", function, factor, local, other, invert);
    gl.textureDirty = true;
}

void grAlphaCombine(GrCombineFunction_t function, GrCombineFactor_t factor, GrCombineLocal_t local,
                    GrCombineOther_t other, FxBool invert) {
    GlRecord("grAlphaCombine", {function, factor, local, other, invert});
    gl.alphaTextured = CombineTextured("grAlphaCombine", function, factor, local, other, invert);
    gl.textureDirty = true;
}

void grAlphaBlendFunction(GrAlphaBlendFnc_t rgbSrc, GrAlphaBlendFnc_t rgbDst,
                          GrAlphaBlendFnc_t alphaSrc, GrAlphaBlendFnc_t alphaDst) {
    GlRecord("grAlphaBlendFunction", {rgbSrc, rgbDst, alphaSrc, alphaDst});
    if (rgbSrc == GR_BLEND_SRC_ALPHA && rgbDst == GR_BLEND_ONE_MINUS_SRC_ALPHA)
        gl.blend = true;
    else if (rgbSrc == GR_BLEND_ONE && rgbDst == GR_BLEND_ZERO)
        gl.blend = false;
    else
        Win32Unsupported("grAlphaBlendFunction", "colour blending other than alpha or none");
    if (gl.card) ScSetBlend(gl.card, gl.blend);
}

void grTexCombine(GrChipID_t tmu, GrCombineFunction_t rgbFunction, GrCombineFactor_t rgbFactor,
                  GrCombineFunction_t alphaFunction, GrCombineFactor_t alphaFactor,
                  FxBool rgbInvert, FxBool alphaInvert) {
    GlRecord("grTexCombine",
             {tmu, rgbFunction, rgbFactor, alphaFunction, alphaFactor, rgbInvert, alphaInvert});
    if (tmu != GR_TMU0 || rgbFunction != GR_COMBINE_FUNCTION_LOCAL ||
        alphaFunction != GR_COMBINE_FUNCTION_LOCAL || rgbInvert || alphaInvert)
        Win32Unsupported("grTexCombine", "anything but GR_TMU0 passing its texel on");
}

void grTexFilterMode(GrChipID_t tmu, GrTextureFilterMode_t minify, GrTextureFilterMode_t magnify) {
    GlRecord("grTexFilterMode", {tmu, minify, magnify});
    if (tmu != GR_TMU0) Win32Unsupported("grTexFilterMode", "a unit other than GR_TMU0");
    gl.minify = minify == GR_TEXTUREFILTER_BILINEAR ? SC_BILINEAR : SC_NEAREST;
    gl.magnify = magnify == GR_TEXTUREFILTER_BILINEAR ? SC_BILINEAR : SC_NEAREST;
    if (gl.card) ScSetFilter(gl.card, gl.minify, gl.magnify);
}

void grTexClampMode(GrChipID_t tmu, GrTextureClampMode_t s, GrTextureClampMode_t t) {
    GlRecord("grTexClampMode", {tmu, s, t});
    if (tmu != GR_TMU0 || s != GR_TEXTURECLAMP_WRAP || t != GR_TEXTURECLAMP_WRAP)
        Win32Unsupported("grTexClampMode", "anything but wrapping on GR_TMU0");
}

void grCullMode(GrCullMode_t mode) {
    GlRecord("grCullMode", {mode});
    if (mode < GR_CULL_DISABLE || mode > GR_CULL_POSITIVE)
        Win32Unsupported("grCullMode", "an unknown mode");
    gl.cull = mode;
    ApplyCull();
}

void grClipWindow(FxU32 minx, FxU32 miny, FxU32 maxx, FxU32 maxy) {
    GlRecord("grClipWindow", {minx, miny, maxx, maxy});
    gl.clip[0] = minx;
    gl.clip[1] = miny;
    gl.clip[2] = maxx;
    gl.clip[3] = maxy;
    if (gl.card) ScSetClip(gl.card, ClampInt(minx), ClampInt(miny), ClampInt(maxx), ClampInt(maxy));
}

void grRenderBuffer(GrBuffer_t buffer) {
    GlRecord("grRenderBuffer", {buffer});
    if (buffer != GR_BUFFER_FRONTBUFFER && buffer != GR_BUFFER_BACKBUFFER)
        Win32Unsupported("grRenderBuffer", "a buffer other than front and back");
    gl.renderBuffer = buffer;
    if (gl.card) ScSetRenderBuffer(gl.card, buffer == GR_BUFFER_FRONTBUFFER ? SC_FRONT : SC_BACK);
}

void grChromakeyMode(GrChromakeyMode_t mode) {
    GlRecord("grChromakeyMode", {mode});
    bool on = mode == GR_CHROMAKEY_ENABLE;
    if (on != gl.chromaOn) gl.textureDirty = true;
    gl.chromaOn = on;
    if (gl.card) ScSetColorKey(gl.card, gl.chromaOn);
}

void grChromakeyValue(GrColor_t value) {
    GlRecord("grChromakeyValue", {value});
    value &= 0xFFFFFF;
    if (value != gl.chromaValue && gl.chromaOn) gl.textureDirty = true;
    gl.chromaValue = value;
}

// ---- drawing and frames ----

void grBufferClear(GrColor_t color, GrAlpha_t alpha, FxU32 depth) {
    GlRecord("grBufferClear", {color, alpha, depth});
    if (!gl.card) return;
    uint16_t rgb = static_cast<uint16_t>(((color >> 8) & 0xF800) | ((color >> 5) & 0x07E0) |
                                         ((color >> 3) & 0x001F));
    ScClearColor(gl.card, gl.renderBuffer == GR_BUFFER_FRONTBUFFER ? SC_FRONT : SC_BACK, rgb);
    if (gl.depthOn) ScClearDepth(gl.card, static_cast<uint16_t>(depth > 0xFFFF ? 0xFFFF : depth));
}

void grBufferSwap(FxU32 swapInterval) {
    GlRecord("grBufferSwap", {swapInterval});
    if (!gl.card) return;
    ScSwap(gl.card);
    // Pass-through off: the board's output is not on screen, but frames still count and capture.
    ScPresent(gl.card, gl.passthru ? gl.window : nullptr);
}

void grFinish(void) { GlRecord("grFinish", {}); }

void grDrawVertexArrayContiguous(FxU32 mode, FxU32 count, void* vertices, FxU32 stride) {
    GlRecord("grDrawVertexArrayContiguous", {mode, count, stride});
    ScPrim prim = PrimOf(mode);
    if (!gl.card || !vertices || count == 0) return;
    if (gl.offXY < 0) Win32Unsupported("grDrawVertexArrayContiguous", "a layout without XY");
    int need = 8 + gl.offXY;
    for (int off : {gl.offZ, gl.offQ, gl.offPARGB, gl.offST0})
        if (off >= 0 && off + 4 > need) need = off + 4;
    if (gl.offST0 >= 0 && gl.offST0 + 8 > need) need = gl.offST0 + 8;
    if (stride < static_cast<FxU32>(need))
        Win32Unsupported("grDrawVertexArrayContiguous", "a stride shorter than the layout");
    if (count > (1u << 24)) Win32Unsupported("grDrawVertexArrayContiguous", "over 16M vertices");
    if (gl.colorTextured != gl.alphaTextured)
        Win32Unsupported("grDrawVertexArrayContiguous", "colour and alpha combined differently");

    if (gl.textureDirty) GlResolveTexture();
    // s/w and t/w count texels of a 256-texel side along the longer side of the texture.
    float sRange = 256.0f, tRange = 256.0f;
    int tw, th, tb;
    if (gl.colorTextured && gl.sourceSet && GlTexShape(&gl.sourceInfo, &tw, &th, &tb)) {
        int longer = tw > th ? tw : th;
        sRange = 256.0f * static_cast<float>(tw) / static_cast<float>(longer);
        tRange = 256.0f * static_cast<float>(th) / static_cast<float>(longer);
    }
    gl.scratch.resize(count);
    const uint8_t* p = static_cast<const uint8_t*>(vertices);
    for (FxU32 i = 0; i < count; ++i, p += stride) {
        ScVertex& v = gl.scratch[i];
        v.x = ReadF(p, gl.offXY, 0.0f);
        v.y = ReadF(p, gl.offXY + 4, 0.0f);
        v.z = ReadF(p, gl.offZ, 0.0f);
        float q = ReadF(p, gl.offQ, 1.0f);
        v.rhw = q;
        if (gl.offPARGB >= 0)
            std::memcpy(&v.color, p + gl.offPARGB, 4);
        else
            v.color = 0xFFFFFFFFu;
        float s = ReadF(p, gl.offST0, 0.0f), t = ReadF(p, gl.offST0 + 4, 0.0f);
        if (gl.offST0 < 0) t = 0.0f;
        // s and t come as s/w and t/w: back to u, v with w = 1/q, behind the camera (q < 0) too,
        // where the card cuts the triangle at the near plane. q 0 or not finite: the card refuses
        // the vertex.
        float w = (q != 0.0f && std::isfinite(q)) ? 1.0f / q : 1.0f;
        v.u = s * w / sRange;
        v.v = t * w / tRange;
    }
    ScDraw(gl.card, prim, gl.scratch.data(), static_cast<int>(count));
}

// ---- linear frame buffer ----

FxBool grLfbWriteRegion(GrBuffer_t dstBuffer, FxU32 dstX, FxU32 dstY, GrLfbSrcFmt_t srcFormat,
                        FxU32 srcWidth, FxU32 srcHeight, FxBool pixelPipeline, FxI32 srcStride,
                        void* srcData) {
    GlRecord("grLfbWriteRegion",
             {dstBuffer, dstX, dstY, srcFormat, srcWidth, srcHeight, pixelPipeline, srcStride});
    if (srcFormat != GR_LFB_SRC_FMT_565) Win32Unsupported("grLfbWriteRegion", "a format but 565");
    if (pixelPipeline) Win32Unsupported("grLfbWriteRegion", "writes through the pixel pipeline");
    if (!gl.card || !srcData) return FXFALSE;
    if (dstBuffer != GR_BUFFER_FRONTBUFFER && dstBuffer != GR_BUFFER_BACKBUFFER) return FXFALSE;
    if (srcWidth > 4096 || srcHeight > 4096) return FXFALSE;
    if (srcStride < static_cast<FxI32>(srcWidth * 2)) return FXFALSE;
    ScWriteRect(gl.card, dstBuffer == GR_BUFFER_FRONTBUFFER ? SC_FRONT : SC_BACK, ClampInt(dstX),
                ClampInt(dstY), static_cast<int>(srcWidth), static_cast<int>(srcHeight),
                static_cast<const uint16_t*>(srcData), srcStride);
    return FXTRUE;
}

FxBool grLfbReadRegion(GrBuffer_t srcBuffer, FxU32 srcX, FxU32 srcY, FxU32 srcWidth,
                       FxU32 srcHeight, FxU32 dstStride, void* dstData) {
    GlRecord("grLfbReadRegion", {srcBuffer, srcX, srcY, srcWidth, srcHeight, dstStride});
    if (!gl.card || !dstData || srcWidth > 4096 || srcHeight > 4096) return FXFALSE;
    if (dstStride < srcWidth * 2 || dstStride > 0x7FFFFFFF) return FXFALSE;
    ScBuffer which = srcBuffer == GR_BUFFER_FRONTBUFFER  ? SC_FRONT
                     : srcBuffer == GR_BUFFER_BACKBUFFER ? SC_BACK
                     : srcBuffer == GR_BUFFER_AUXBUFFER  ? SC_DEPTH
                                                         : static_cast<ScBuffer>(-1);
    if (which < 0) return FXFALSE;
    int read = ScReadRect(gl.card, which, ClampInt(srcX), ClampInt(srcY),
                          static_cast<int>(srcWidth), static_cast<int>(srcHeight),
                          static_cast<uint16_t*>(dstData), static_cast<int>(dstStride));
    return read == static_cast<int>(srcWidth * srcHeight) ? FXTRUE : FXFALSE;
}
