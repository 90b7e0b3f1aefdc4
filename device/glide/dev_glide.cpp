// dev_glide.cpp: the Glide device: selection, opening and closing full screen, the device window
// procedure, frames, states, drawing, images and the depth read. Textures: dev_glide_tex.cpp.
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "dev_glide.h"
#include "dev_glide_state.h"
#include "device.h"
#include "glide.h"
#include "texentry.h"

GlideState glide = {
    0,       0,  nullptr, nullptr, {"Glide3x 3dfx - TRX device", nullptr},
    0,       0,  0,       0,       0,
    0,       0,  0,       0,       256.0f,
    256.0f,  // s and t factors of a square texture
    nullptr, 0,  nullptr, {},      0,
    255,     -1, -1,  // textured mode not set yet, chroma keying off, no fallback texture
};

static const struct {
    int width, height, code;
} resolutions[] = {
    {320, 200, GR_RESOLUTION_320x200},     {320, 240, GR_RESOLUTION_320x240},
    {400, 256, GR_RESOLUTION_400x256},     {512, 384, GR_RESOLUTION_512x384},
    {640, 200, GR_RESOLUTION_640x200},     {640, 350, GR_RESOLUTION_640x350},
    {640, 400, GR_RESOLUTION_640x400},     {640, 480, GR_RESOLUTION_640x480},
    {800, 600, GR_RESOLUTION_800x600},     {856, 480, GR_RESOLUTION_856x480},
    {512, 256, GR_RESOLUTION_512x256},     {960, 720, GR_RESOLUTION_960x720},
    {1024, 768, GR_RESOLUTION_1024x768},   {1280, 1024, GR_RESOLUTION_1280x1024},
    {1600, 1200, GR_RESOLUTION_1600x1200}, {400, 300, GR_RESOLUTION_400x300},
};

static const struct {
    int hz, code;
} refreshes[] = {{60, GR_REFRESH_60Hz},   {70, GR_REFRESH_70Hz}, {72, GR_REFRESH_72Hz},
                 {75, GR_REFRESH_75Hz},   {80, GR_REFRESH_80Hz}, {90, GR_REFRESH_90Hz},
                 {100, GR_REFRESH_100Hz}, {85, GR_REFRESH_85Hz}, {120, GR_REFRESH_120Hz}};

int GlideResolution(int width, int height) {
    for (const auto& r : resolutions)
        if (r.width == width && r.height == height) return r.code;
    return -1;
}

int GlideRefresh(int hz) {
    for (const auto& r : refreshes)
        if (r.hz == hz) return r.code;
    return -1;
}

// The desktop in the device's mode: 16 bits per pixel at the opened size.
static void SetDisplayMode(void) {
    DEVMODEA mode;
    std::memset(&mode, 0, sizeof mode);
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmBitsPerPel = 16;
    mode.dmPelsWidth = static_cast<DWORD>(glide.width);
    mode.dmPelsHeight = static_cast<DWORD>(glide.height);
    ChangeDisplaySettingsA(&mode, 0);
}

static void CoverDesktop(HWND window) {
    RECT desk;
    GetWindowRect(GetDesktopWindow(), &desk);
    SetWindowPos(window, HWND_TOPMOST, 0, 0, desk.right, desk.bottom, 0);
}

// In front of the application's procedure while the device is open: the board's output goes
// off when the program loses activation and comes back when its window is restored.
static LRESULT CALLBACK DevWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WNDPROC prev = glide.prevWndProc;
    if (msg == WM_ACTIVATEAPP && wParam == 0 && hwnd == glide.window) {
        ChangeDisplaySettingsA(nullptr, 0);
        grDisable(GR_PASSTHRU);
        CloseWindow(hwnd);
    } else if (msg == WM_SYSCOMMAND &&
               ((wParam & 0xFFF0) == SC_RESTORE || (wParam & 0xFFF0) == SC_MAXIMIZE)) {
        SetDisplayMode();
        if (prev) CallWindowProcA(prev, hwnd, WM_SYSCOMMAND, SC_MAXIMIZE, lParam);
        grEnable(GR_PASSTHRU);
        CoverDesktop(hwnd);
        return 1;
    }
    return prev ? CallWindowProcA(prev, hwnd, msg, wParam, lParam)
                : DefWindowProcA(hwnd, msg, wParam, lParam);
}

int DevEnumDevices(DeviceEntry** list) {
    glide.boardCount = 0;
    grGet(GR_NUM_BOARDS, 4, &glide.boardCount);
    if (glide.boardCount <= 0) return 0;
    if (list) *list = &glide.entry;
    return 1;
}

byte DevSelectDevice(const DeviceEntry*) { return DEV_OK; }

byte DevOpen(HWND window, int width, int height, int refresh_hz) {
    if (glide.window) return DEV_ERR_FAILURE;
    if (!window) window = GetActiveWindow();
    if (!window) window = GetForegroundWindow();
    if (!window) return DEV_ERR_FAILURE;

    glide.width = width;
    glide.height = height;
    SetDisplayMode();
    ShowWindow(window, SW_SHOW);
    CoverDesktop(window);

    int resolution = GlideResolution(width, height), refresh = GlideRefresh(refresh_hz);
    if (resolution < 0 || refresh < 0) return DEV_ERR_OPEN;

    grGlideInit();
    glide.boardCount = 0;
    grGet(GR_NUM_BOARDS, 4, &glide.boardCount);
    if (glide.boardCount <= 0) return DEV_ERR_OPEN;
    grSstSelect(0);
    glide.context =
        grSstWinOpen(window, resolution, refresh, GR_COLORFORMAT_ARGB, GR_ORIGIN_UPPER_LEFT, 2, 1);
    if (!glide.context) return DEV_ERR_OPEN;

    grVertexLayout(GR_PARAM_XY, offsetof(DeviceVertex, x), GR_PARAM_ENABLE);
    grVertexLayout(GR_PARAM_Z, offsetof(DeviceVertex, z), GR_PARAM_ENABLE);
    grVertexLayout(GR_PARAM_Q, offsetof(DeviceVertex, rhw), GR_PARAM_ENABLE);
    grVertexLayout(GR_PARAM_PARGB, offsetof(DeviceVertex, color), GR_PARAM_ENABLE);
    grVertexLayout(GR_PARAM_ST0, offsetof(DeviceVertex, u), GR_PARAM_ENABLE);
    grDepthBufferMode(GR_DEPTHBUFFER_ZBUFFER);
    grDepthBufferFunction(GR_CMP_LESS);
    grDepthMask(FXTRUE);
    grAlphaCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE,
                   GR_COMBINE_LOCAL_CONSTANT, GR_COMBINE_OTHER_ITERATED, FXFALSE);
    grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE,
                         GR_BLEND_ZERO);
    grTexCombine(GR_TMU0, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO,
                 GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_ZERO, FXFALSE, FXFALSE);
    grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_BILINEAR);
    DevSetCullMode(-1);
    DevSetRenderBuffer(1);
    DevSetDepthTest(1);
    DevInitTextures();
    DevSetClipWindow(0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
    grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);

    glide.window = window;
    glide.prevWndProc = reinterpret_cast<WNDPROC>(
        SetWindowLongA(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&DevWndProc)));
    ShowCursor(FALSE);
    return DEV_OK;
}

void DevClose(void) {
    if (!glide.window) return;
    // Only while our procedure is still the window's: put back the one we replaced.
    if (IsWindow(glide.window) &&
        GetWindowLongA(glide.window, GWL_WNDPROC) == reinterpret_cast<LONG_PTR>(&DevWndProc))
        SetWindowLongA(glide.window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(glide.prevWndProc));
    SetWindowPos(glide.window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    grGlideShutdown();
    ChangeDisplaySettingsA(nullptr, 0);
    ShowCursor(TRUE);
    glide.window = nullptr;
    glide.prevWndProc = nullptr;
    glide.context = 0;
}

void DevClear(float r, float g, float b) {
    GrColor_t color = 0xFF000000u | (static_cast<uint32_t>(r * 255.0f) & 0xFF) << 16 |
                      (static_cast<uint32_t>(g * 255.0f) & 0xFF) << 8 |
                      (static_cast<uint32_t>(b * 255.0f) & 0xFF);
    grBufferClear(color, 0, 0xFFFF);
}

// Glide takes s/w, t/w in its texel units. Positions go as they are, however far off screen:
// the board cuts triangles at the near plane from x, y, depth and 1/w, and a vertex behind the
// camera projects far away; moved, it would bend the part in front.
static void FixUp(DeviceVertex* v, int count) {
    for (int i = 0; i < count; ++i) {
        v[i].u *= v[i].rhw * glide.sScale;
        v[i].v *= v[i].rhw * glide.tScale;
    }
}

int DevDrawPrimitive(unsigned primtype, int count, DeviceVertex* primitiv) {
    static const FxU32 modes[7] = {0, GR_TRIANGLES, GR_TRIANGLE_STRIP, GR_TRIANGLE_FAN, GR_POLYGON,
                                   0, GR_LINE_STRIP};
    if (primtype < 1 || primtype > 6) return DEV_ERR_BAD_SELECTOR;
    if (!primitiv) return DEV_OK;
    if (primtype == DEV_SPRITE) {
        DeviceVertex corners[4];
        float hw = primitiv->v / 2.0f, hh = primitiv->u / 2.0f;
        const float cx[4] = {-hw, -hw, hw, hw}, cy[4] = {-hh, hh, hh, -hh};
        const float cu[4] = {0, 0, 1, 1}, cv[4] = {0, 1, 1, 0};
        for (int i = 0; i < 4; ++i) {
            corners[i] = *primitiv;
            corners[i].x = primitiv->x + cx[i];
            corners[i].y = primitiv->y + cy[i];
            corners[i].u = cu[i];
            corners[i].v = cv[i];
        }
        FixUp(corners, 4);
        grDrawVertexArrayContiguous(GR_POLYGON, 4, corners, sizeof(DeviceVertex));
        return DEV_OK;
    }
    if (count <= 0) return DEV_OK;
    FixUp(primitiv, count);
    grDrawVertexArrayContiguous(modes[primtype], static_cast<FxU32>(count), primitiv,
                                sizeof(DeviceVertex));
    return DEV_OK;
}

void DevEndScene(void) { grFinish(); }

byte DevFlip(int retraces) {
    grSelectContext(glide.context);
    FxI32 pending = 0;
    while (grGet(GR_PENDING_BUFFERSWAPS, 4, &pending) && pending > 1) Sleep(0);
    grBufferSwap(static_cast<FxU32>(retraces));
    grReset(GR_STATS_PIXELS);
    grReset(GR_STATS_LINES);
    grReset(GR_STATS_POINTS);
    grReset(GR_STATS_TRIANGLES);
    return DEV_OK;
}

int DevSetCullMode(int mode) {
    int previous = glide.cullMode;
    grCullMode(mode > 0 ? GR_CULL_NEGATIVE : mode < 0 ? GR_CULL_POSITIVE : GR_CULL_DISABLE);
    glide.cullMode = mode;
    return previous;
}

byte DevSetDepthTest(byte on) {
    byte previous = glide.depthTest;
    grDepthBufferFunction(on ? GR_CMP_LESS : GR_CMP_ALWAYS);
    glide.depthTest = on;
    return previous;
}

void DevSetClipWindow(unsigned x0, unsigned y0, unsigned x1, unsigned y1) {
    glide.clipX0 = x0;
    glide.clipY0 = y0;
    glide.clipX1 = x1;
    glide.clipY1 = y1;
    grClipWindow(x0, y0, x1, y1);
}

byte DevSetRenderBuffer(byte which) {
    if (which == 1) {
        grRenderBuffer(GR_BUFFER_BACKBUFFER);
    } else if (which == 0) {
        grRenderBuffer(GR_BUFFER_FRONTBUFFER);
        grFinish();
    } else {
        return DEV_ERR_BAD_SELECTOR;
    }
    glide.renderBuffer = which;
    return which;
}

byte DevGetCaps(void) { return 4; }

int DevGetScreenInfo(unsigned what) {
    switch (what) {
    case INFO_MAX_X: return glide.width - 1;
    case INFO_MAX_Y: return glide.height - 1;
    case INFO_WIDTH: return glide.width;
    case INFO_HEIGHT: return glide.height;
    case INFO_CLIP_X0: return static_cast<int>(glide.clipX0);
    case INFO_CLIP_X1: return static_cast<int>(glide.clipX1);
    case INFO_CLIP_Y0: return static_cast<int>(glide.clipY0);
    case INFO_CLIP_Y1: return static_cast<int>(glide.clipY1);
    case INFO_DEPTH_NEAR: return 0;
    case INFO_DEPTH_FAR: return 65535;
    default: return 0;
    }
}

// ---- images ----

byte DevCreateImage(DeviceImage* image, const TexEntry* picture) {
    if (!image) return DEV_ERR_CALL_FAILED;
    std::memset(image, 0, sizeof *image);
    if (!picture || (picture->format != TEX_P8 && picture->format != TEX_RGB565))
        return DEV_ERR_BAD_SELECTOR;
    int w = picture->width, h = picture->height;
    if (w <= 0 || h <= 0 || !picture->pixels) return DEV_ERR_CALL_FAILED;
    size_t count = static_cast<size_t>(w) * static_cast<size_t>(h);
    size_t need = count * (picture->format == TEX_RGB565 ? 2 : 1);
    if (picture->size < need || (picture->format == TEX_P8 && !picture->palette))
        return DEV_ERR_CALL_FAILED;
    uint16_t* store = static_cast<uint16_t*>(std::malloc(count * 2));
    if (!store) return DEV_ERR_FAILURE;
    if (picture->format == TEX_RGB565) {
        std::memcpy(store, picture->pixels, count * 2);
    } else {
        for (size_t i = 0; i < count; ++i) {
            uint32_t c = picture->palette[picture->pixels[i]];
            store[i] = static_cast<uint16_t>((((c >> 16) & 0xFF) >> 3) << 11 |
                                             (((c >> 8) & 0xFF) >> 2) << 5 | ((c & 0xFF) >> 3));
        }
    }
    image->width = w;
    image->height = h;
    image->format = GR_LFB_SRC_FMT_565;
    image->pitch = w * 2;
    image->storage = store;
    return DEV_OK;
}

byte DevDrawImage(DeviceImage* image, ...) {
    if (!image) return DEV_OK;
    int64_t x = image->x, y = image->y;
    GrBuffer_t buffer = GR_BUFFER_BACKBUFFER;
    va_list ap;
    va_start(ap, image);
    for (int tag = va_arg(ap, int); tag != 0; tag = va_arg(ap, int)) {
        if (tag == DEV_IMG_POS) {
            x = va_arg(ap, int);
            y = va_arg(ap, int);
        } else if (tag == DEV_IMG_IGNORED1) {
            (void)va_arg(ap, int);
        } else if (tag == DEV_IMG_IGNORED2) {
            (void)va_arg(ap, int);
            (void)va_arg(ap, int);
        } else if (tag == DEV_IMG_FRONT) {
            buffer = GR_BUFFER_FRONTBUFFER;
        } else if (tag == DEV_IMG_BACK) {
            buffer = GR_BUFFER_BACKBUFFER;
        } else {
            va_end(ap);
            return DEV_ERR_BAD_SELECTOR;
        }
    }
    va_end(ap);
    if (!image->storage) return DEV_OK;

    int64_t w = image->width, h = image->height, firstCol = 0, firstRow = 0;
    if (x + w >= glide.width) w = glide.width - x;
    if (y + h >= glide.height) h = glide.height - y;
    if (x < 0) {
        w += x;  // shortens by -x
        firstCol = -x;
        x = 0;
    }
    if (y < 0) {
        h += y;
        firstRow = -y;
        y = 0;
    }
    if (w < 0 || h < 0) return DEV_OK;
    const uint8_t* first =
        static_cast<const uint8_t*>(image->storage) + firstRow * image->pitch + firstCol * 2;
    grFinish();
    FxBool ok = grLfbWriteRegion(buffer, static_cast<FxU32>(x), static_cast<FxU32>(y),
                                 image->format, static_cast<FxU32>(w), static_cast<FxU32>(h),
                                 FXFALSE, image->pitch, const_cast<uint8_t*>(first));
    return ok ? DEV_OK : DEV_ERR_CALL_FAILED;
}

byte DevFreeImage(DeviceImage* image) {
    if (!image) return DEV_OK;
    std::free(image->storage);
    std::memset(image, 0, sizeof *image);
    return DEV_OK;
}

float DevReadDepth(int x, int y, byte flush) {
    if (flush & 1) grFinish();
    if (x < 0 || x >= glide.width || y < 0 || y >= glide.height) return 0.0f;
    uint16_t depth = 0;
    grLfbReadRegion(GR_BUFFER_AUXBUFFER, static_cast<FxU32>(x), static_cast<FxU32>(y), 1, 1, 2,
                    &depth);
    return static_cast<float>(depth);
}
