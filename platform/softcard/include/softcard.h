// softcard.h: the software 3D card under the DirectDraw/Direct3D and Glide stand-ins.
//
// A late-90s 16-bit 3D card in software. One ScCard is one opened display: a front and a back
// colour buffer in RGB 5-6-5, a 16-bit depth buffer, render state, and the presentation of the
// front buffer to the SDL window behind a Win32 window handle (plus PNG capture of presented
// frames). Both stand-ins translate their calls into these; nothing above the stand-ins includes
// this header.
//
// Implements:
//   - clears of colour and depth; drawing into the back or the front buffer
//   - triangle lists, strips, fans, convex polygons (drawn as fans) and line strips of ScVertex
//   - the cut at the near plane: of a triangle or line that reaches behind it, only the part in
//     front is drawn (see "Depth and 1/w" below)
//   - top-left fill rule on a 1/16-pixel grid: triangles sharing an edge cover each pixel once
//   - Gouraud colour, perspective-correct u, v through 1/w (one divide per 16 pixels of a span;
//     a triangle no larger than 16 x 16 pixels interpolates u, v linearly between its vertices)
//   - texture x vertex colour and alpha (vertex colour alone without a texture)
//   - blending src alpha / 1 - src alpha (on/off), depth compare less or always, depth writes
//     on/off, cull none/cw/ccw, clip window, wrap addressing, nearest and bilinear filtering with
//     separate minify and magnify choices (decided per triangle), colour key
//   - texture formats of both stand-ins (ScFormat), converted once to ARGB 8-8-8-8 at load
//   - 4x4 ordered dithering into 5-6-5 (on by default, ScSetDither turns it off)
//   - 8 pixels at a time with AVX2 when the processor has it (textures with power-of-two sides;
//     others take the one-pixel loop), pixel for pixel the same as without
//   - rectangle writes and reads of 5-6-5 pixels and depth reads (linear frame buffer)
//   - drawing on several threads, each in its own band of rows, pixel for pixel as on one: draws
//     are queued and drawn when the pixels are needed (ScFinish, and every call that clears,
//     reads, writes, swaps or shows buffers, or reloads or destroys a texture)
//   - presentation: letterboxed, aspect kept, nearest scaling, streaming RGB565 SDL texture, into
//     the window's drawable as it is at each present (its pixels, not points, on HiDPI outputs);
//     nothing on screen when headless; every present counts a frame and may capture it as PNG
//     and hands it to the video capture (capture.h) when one runs
// Does not implement: mipmaps, clamp addressing, fog, alpha test, other blend functions,
//   YIQ texel formats (ScTextureLoad refuses them), stencil, more than one texture unit.
//
// Coordinates: x, y in pixels with the origin at the top-left corner of the buffer, pixel (i, j)
// has its centre at (i + 0.5, j + 0.5). A vertex far outside the buffer is fine up to 1,000,000
// pixels away; a triangle with a vertex beyond that, or with NaN or infinite x, y, is dropped.
// Not thread-safe: one thread uses one card (and its textures); the card's own threads are its
// business.
//
// Depth and 1/w: a vertex is the projection of a homogeneous point (X, Y, Z, W) with x = X/W,
// y = Y/W, z = Z/W and rhw = 1/W; the card takes the point back from these four. W > 0 in front
// of the camera, so rhw < 0 marks a vertex behind it. The near plane is the stored depth 0 (z = 0
// with a positive depth scale: D3D's depth 0..1 and Glide's 0..65535 alike start there). Every
// triangle and line is cut against it, and against W = 1e-6 for vertices whose depths say nothing:
// what lies in front is drawn exactly, with depth, 1/w, colour (per channel) and u, v (through
// 1/w, so perspective-correct) taken at the cut; nothing behind is drawn. A triangle or line
// wholly in front takes the rasteriser directly, as before; the part in front of a cut triangle
// is drawn as a fan of up to 3 triangles, each culled by its own winding on screen. A triangle or
// line with a vertex whose rhw is 0, NaN or infinite draws nothing. A NaN depth counts as 0.
//
// Use: card = ScCreate(640, 480) when a device opens (ScSetDepthScale(card, 65535) for depths
// of 0..1); textures with ScTextureCreate + ScTextureLoad; per frame ScClearColor(card, SC_BACK,
// 0) and ScClearDepth(card, 0xFFFF), state setters and ScDraw, then ScSwap and
// ScPresent(card, hwnd); ScDestroy when the device closes (while its window still exists).
#pragma once

#include <cstdint>
#include <string>

struct ScCard;
struct ScTexture;

// One vertex, laid out like the devices' vertex record (28 bytes): the stand-ins pass theirs in.
struct ScVertex {
    float x, y;  // pixels
    float z;     // depth: z times ScSetDepthScale's factor is stored, clamped to 0..65535
    float rhw;   // 1/w: > 0 in front of the camera, < 0 behind it (cut away); 0, NaN, inf refused
    uint32_t color;  // 0xAARRGGBB
    float u, v;      // 0..1 across the texture; wraps outside
};
static_assert(sizeof(ScVertex) == 28, "ScVertex must match the devices' vertex record");

enum ScBuffer : int { SC_FRONT = 0, SC_BACK = 1, SC_DEPTH = 2 };

enum ScPrim : int {
    SC_TRIANGLES = 1,  // count / 3 triangles
    SC_STRIP = 2,      // count - 2 triangles, every second one with its winding turned back
    SC_FAN = 3,        // count - 2 triangles around vertex 0
    SC_POLYGON = 4,    // convex polygon, drawn as a fan
    SC_LINE_STRIP = 6  // count - 1 lines, each without its last pixel
};

enum ScCull : int {
    SC_CULL_NONE = 0,
    SC_CULL_CW = 1,
    SC_CULL_CCW = 2
};  // winding as seen on screen
enum ScDepthFunc : int { SC_DEPTH_LESS = 0, SC_DEPTH_ALWAYS = 1 };
enum ScFilter : int { SC_NEAREST = 0, SC_BILINEAR = 1 };

// Texel formats, numbered as the texture library (and Glide) number them, plus 8-8-8-8.
enum ScFormat : int {
    SC_FMT_RGB332 = 0,
    SC_FMT_YIQ422 = 1,  // not supported
    SC_FMT_A8 = 2,      // white with alpha
    SC_FMT_I8 = 3,
    SC_FMT_AI44 = 4,  // alpha in the high nibble
    SC_FMT_P8 = 5,    // palette of 256 x 0x00RRGGBB, alpha 255
    SC_FMT_ARGB8332 = 8,
    SC_FMT_AYIQ8422 = 9,  // not supported
    SC_FMT_RGB565 = 10,
    SC_FMT_ARGB1555 = 11,
    SC_FMT_ARGB4444 = 12,
    SC_FMT_AI88 = 13,  // alpha in the high byte
    SC_FMT_AP88 = 14,  // 16-bit texels: alpha in the high byte, palette index in the low byte
    SC_FMT_ARGB8888 = 32
};

// Colour keys of textures: texels equal to the key are not drawn (with ScSetColorKey on).
enum ScKeyMode : int {
    SC_KEY_NONE = 0,
    SC_KEY_RAW = 1,  // the key is a raw texel value of the source format (DirectDraw's way)
    SC_KEY_RGB = 2   // the key is 0x00RRGGBB, compared with the converted texel's colour (Glide's)
};

// ---- card life cycle ---------------------------------------------------------------------------

// Makes a card of width x height pixels (1..4096 each; null otherwise). Buffers are cleared to
// black and the depth to 0xFFFF. State: back buffer, depth less with writes, blending on, cull
// none, clip window = whole buffer, no texture, nearest filtering, colour key on, dithering on,
// depth scale 1. Capture is taken from the Win32 stand-in's options (--frames, --frames-at), and
// the number of threads from --card-threads, else TAMBIR_CARD_THREADS, else one per core.
ScCard* ScCreate(int width, int height);
void ScDestroy(ScCard* card);
int ScWidth(const ScCard* card);
int ScHeight(const ScCard* card);

// ---- state (each a plain store, cheap to call per draw) ----------------------------------------

void ScSetRenderBuffer(ScCard* card, ScBuffer which);  // SC_FRONT or SC_BACK
void ScSetDepthFunc(ScCard* card, ScDepthFunc func);
void ScSetDepthWrite(ScCard* card, bool on);
void ScSetDepthScale(ScCard* card, float scale);  // stored depth = z * scale, clamped to 0..65535
void ScSetBlend(ScCard* card, bool on);           // src * a + dst * (1 - a)
void ScSetCull(ScCard* card, ScCull cull);
// Drawing limited to columns x0..x1-1 and rows y0..y1-1, clamped to the buffer.
void ScSetClip(ScCard* card, int x0, int y0, int x1, int y1);
// The texture drawn from (null: vertex colour alone). It must stay alive while it is bound.
void ScSetTexture(ScCard* card, const ScTexture* texture);
void ScSetFilter(ScCard* card, ScFilter minify, ScFilter magnify);
void ScSetColorKey(ScCard* card, bool on);
void ScSetDither(ScCard* card, bool on);
// The copies of the rasteriser, narrowest first; all draw the same pixels.
enum ScSimd { SC_SIMD_NONE, SC_SIMD_AVX2, SC_SIMD_AVX512 };
// Draw with the widest copy the processor has (on, the default; x86-64: 16 pixels at a time with
// AVX-512, else 8 with AVX2) or with the plain one (off).
void ScSetSimd(ScCard* card, bool on);
// Draw with the widest copy the processor has up to `widest` (SC_SIMD_NONE: the plain one).
void ScSetSimdLimit(ScCard* card, ScSimd widest);
// The widest copy this processor can run.
ScSimd ScSimdAvailable();
// Draw on n threads (1..64, at most one per row; same pixels either way). Draws made so far are
// finished first. With one thread, ScDraw draws at once and no queue exists.
void ScSetThreads(ScCard* card, int n);
int ScThreads(const ScCard* card);
// Finishes every queued draw (the calls that use the pixels do so themselves).
void ScFinish(ScCard* card);

// ---- drawing -----------------------------------------------------------------------------------

// Fills the colour buffer `which` (front or back) with a 5-6-5 value, ignoring the clip window.
void ScClearColor(ScCard* card, ScBuffer which, uint16_t rgb565);
void ScClearDepth(ScCard* card, uint16_t depth);
// Draws `count` vertices as one primitive with the current state. Returns the number of the
// primitive's triangles or lines handed to the rasteriser (culled ones included; one cut at the
// near plane counts once, one wholly behind it or with a refused vertex not at all), -1 for a bad
// primitive or null vertices. Too few vertices draw nothing.
int ScDraw(ScCard* card, ScPrim prim, const ScVertex* vertices, int count);

// ---- pixels ------------------------------------------------------------------------------------

// The buffer's pixels, width x height, rows of width values (front/back swap on ScSwap).
uint16_t* ScPixels(ScCard* card, ScBuffer which);
// Copies a w x h rectangle of 5-6-5 pixels (rows pitchBytes apart) into `which` at (x, y),
// clipped to the buffer (not to the clip window). Returns the number of pixels written.
int ScWriteRect(ScCard* card, ScBuffer which, int x, int y, int w, int h, const uint16_t* src,
                int pitchBytes);
// Reads a rectangle of `which` (front, back or depth) into dst; pixels outside the buffer are
// left as they were in dst. Returns the number of pixels read.
int ScReadRect(const ScCard* card, ScBuffer which, int x, int y, int w, int h, uint16_t* dst,
               int pitchBytes);
// The stored depth at one pixel, or -1 outside the buffer.
int ScReadDepth(const ScCard* card, int x, int y);

// ---- textures ----------------------------------------------------------------------------------

// A texture of width x height texels (1..4096 each; null otherwise), all opaque black.
ScTexture* ScTextureCreate(int width, int height);
void ScTextureDestroy(ScTexture* texture);
int ScTextureWidth(const ScTexture* texture);
int ScTextureHeight(const ScTexture* texture);
// (Re)converts the whole texture from source texels in `format`, rows pitchBytes apart (0: tight).
// palette: 256 x 0x00RRGGBB for SC_FMT_P8 / SC_FMT_AP88 (null reads as black). Call it again after
// the source was written. False (texture unchanged) for null texels, an unsupported format or a
// pitch shorter than a row.
bool ScTextureLoad(ScTexture* texture, ScFormat format, const void* texels, int pitchBytes,
                   const uint32_t* palette, ScKeyMode keyMode, uint32_t key);
// One source texel (raw value, low bits) of `format` as 0xAARRGGBB; false when not supported.
bool ScConvertTexel(ScFormat format, uint32_t raw, const uint32_t* palette, uint32_t* argb);
// Bytes per texel of a format (1, 2 or 4), 0 when not supported.
int ScFormatBytes(ScFormat format);
// The converted texel at (x, y), 0xAARRGGBB, for tests and tools. A keyed texel reads as 0; a
// texel that converts to 0 without being keyed is kept as 0x00000100 (invisible in 5-6-5).
uint32_t ScTextureTexel(const ScTexture* texture, int x, int y);

// ---- presentation and capture ------------------------------------------------------------------

// Exchanges the front and the back buffer.
void ScSwap(ScCard* card);
// Shows the front buffer in the SDL window behind `window` (a Win32 HWND, may be null), counts
// the frame, captures it when asked (PNG files, and the video capture of platform/capture), and
// calls Win32_NotifyPresent(). Headless (or without a window): no display, but counting and
// capture still happen.
void ScPresent(ScCard* card, void* window);
int ScFrameCount(const ScCard* card);  // frames presented so far
// Where a picture of picW x picH goes in an output of outW x outH pixels: the largest rectangle
// with the picture's aspect that fits, centred; the rest shows black. Empty (all 0) when a size is
// below 1.
struct ScRect {
    int x, y, w, h;
};
ScRect ScLetterbox(int picW, int picH, int outW, int outH);
// Capture into dir (empty: none) the frames of list ("1,50,300-310"; empty: all). False for a
// malformed list (capture then off).
bool ScSetCapture(ScCard* card, const std::string& dir, const std::string& list);
// Writes a 5-6-5 picture as an 8-bit RGB PNG file. False on failure.
bool ScWritePng(const char* path, const uint16_t* pixels, int width, int height, int pitchBytes);
