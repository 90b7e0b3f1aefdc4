// trx_dx.cpp: the display device (device.h) on DirectDraw 4 and Direct3D 3 (module trx_dx).
//
// Device selection and life cycle, per-frame operations and fixed states; textures (handle table,
// format choice, pixel converter, palettes, colour keys, animated binding) are in trx_dx_tex.cpp,
// images and the depth read in trx_dx_image.cpp. One process-wide state record, `dx`.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "assert_report.h"
#include "d3d.h"
#include "device.h"
#include "trx_dx_state.h"

DxState dx;

// ---- device list ----

static void FreeListEntries(void) {
    for (int i = 2; i < dx.count; ++i) {
        std::free(const_cast<char*>(dx.list[i].name));
        std::free(dx.list[i].id);
        dx.list[i] = {nullptr, nullptr};
    }
    dx.count = 0;
}

// DirectDrawEnumerateA's callback: one entry per driver, the GUID copied (null: primary driver).
static BOOL WINAPI AddDriver(GUID* guid, LPSTR description, LPSTR, LPVOID) {
    if (dx.count >= DX_MAX_DEVICES) return DDENUMRET_CANCEL;
    const char* text = description ? description : "";
    char* name = static_cast<char*>(std::malloc(std::strlen(text) + 1));
    if (!name) return DDENUMRET_CANCEL;
    std::strcpy(name, text);
    GUID* id = nullptr;
    if (guid) {
        id = static_cast<GUID*>(std::malloc(sizeof(GUID)));
        if (!id) {
            std::free(name);
            return DDENUMRET_CANCEL;
        }
        *id = *guid;
    }
    dx.list[dx.count].name = name;
    dx.list[dx.count].id = id;
    ++dx.count;
    return dx.count < DX_MAX_DEVICES ? DDENUMRET_OK : DDENUMRET_CANCEL;
}

int DevEnumDevices(DeviceEntry** list) {
    FreeListEntries();
    dx.list[0] = {"Software emulation", reinterpret_cast<void*>(1)};
    dx.list[1] = {"Software MMX driver", reinterpret_cast<void*>(2)};
    dx.count = 2;
    DirectDrawEnumerateA(AddDriver, nullptr);
    if (list) *list = dx.list;
    return dx.count;
}

byte DevSelectDevice(const DeviceEntry* entry) {
    // The GUID is copied: the list's copies go with the next enumeration.
    void* id = entry ? entry->id : nullptr;
    if (id == reinterpret_cast<void*>(1) || id == reinterpret_cast<void*>(2) || !id) {
        dx.chosen = id;
    } else {
        dx.chosenGuid = *static_cast<const GUID*>(id);
        dx.chosen = &dx.chosenGuid;
    }
    return 0;
}

// ---- open and close ----

// Releases the DirectX objects that exist (open's failed steps and close).
static void ReleaseObjects(void) {
    if (dx.device) dx.device->Release();
    if (dx.viewport) dx.viewport->Release();
    if (dx.d3d) dx.d3d->Release();
    if (dx.depth) dx.depth->Release();
    if (dx.primary) dx.primary->Release();
    if (dx.ddraw) dx.ddraw->Release();
    dx.device = nullptr;
    dx.viewport = nullptr;
    dx.d3d = nullptr;
    dx.depth = nullptr;
    dx.primary = nullptr;
    dx.target = nullptr;
    dx.ddraw = nullptr;
    while (dx.formats) {
        DxFormatNode* next = dx.formats->next;
        std::free(dx.formats);
        dx.formats = next;
    }
    dx.sceneClosed = true;
}

static HRESULT WINAPI TakeZFormat(LPDDPIXELFORMAT format, LPVOID) {
    int bits = static_cast<int>(format->dwZBufferBitDepth);
    if (std::abs(bits - 16) + 16 < std::abs(static_cast<int>(dx.depthFormat.dwZBufferBitDepth)))
        dx.depthFormat = *format;
    return D3DENUMRET_OK;
}

static HRESULT WINAPI PrependTextureFormat(LPDDPIXELFORMAT format, LPVOID) {
    DxFormatNode* node = static_cast<DxFormatNode*>(std::malloc(sizeof(DxFormatNode)));
    if (!node) return D3DENUMRET_CANCEL;
    node->format = *format;
    node->next = dx.formats;
    dx.formats = node;
    return D3DENUMRET_OK;
}

static bool MakeSurfaces(void) {
    DWORD memory = dx.softwareKind ? DDSCAPS_SYSTEMMEMORY : DDSCAPS_VIDEOMEMORY;
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps =
        DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
    desc.dwBackBufferCount = 1;
    if (FAILED(dx.ddraw->CreateSurface(&desc, &dx.primary, nullptr))) return false;

    std::memset(&dx.depthFormat, 0, sizeof dx.depthFormat);
    dx.depthFormat.dwZBufferBitDepth = 9999;
    dx.d3d->EnumZBufferFormats(IID_IDirect3DRGBDevice, TakeZFormat, nullptr);

    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    if (FAILED(dx.primary->GetSurfaceDesc(&desc))) return false;
    DWORD width = desc.dwWidth, height = desc.dwHeight;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc.dwWidth = width;
    desc.dwHeight = height;
    desc.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | memory;
    desc.ddpfPixelFormat = dx.depthFormat;
    if (FAILED(dx.ddraw->CreateSurface(&desc, &dx.depth, nullptr))) return false;
    dx.depth->GetPixelFormat(&dx.depthFormat);

    DDSCAPS2 caps = {};
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    if (FAILED(dx.primary->GetAttachedSurface(&caps, &dx.target))) return false;
    dx.target->Release();  // the back buffer lives as long as the primary surface
    return SUCCEEDED(dx.target->AddAttachedSurface(dx.depth));
}

static bool SetUpDirect3D(void) {
    if (FAILED(dx.ddraw->QueryInterface(IID_IDirect3D3, reinterpret_cast<void**>(&dx.d3d))))
        return false;
    if (!MakeSurfaces()) return false;
    const CLSID& cls = dx.softwareKind == 1   ? IID_IDirect3DRGBDevice
                       : dx.softwareKind == 2 ? IID_IDirect3DMMXDevice
                                              : IID_IDirect3DHALDevice;
    if (FAILED(dx.d3d->CreateDevice(cls, dx.target, &dx.device, nullptr))) return false;
    if (FAILED(dx.d3d->CreateViewport(&dx.viewport, nullptr))) return false;
    if (FAILED(dx.device->AddViewport(dx.viewport))) return false;
    if (FAILED(dx.device->SetCurrentViewport(dx.viewport))) return false;
    D3DVIEWPORT2 vp = {};
    vp.dwSize = sizeof vp;
    vp.dwWidth = static_cast<DWORD>(dx.width);
    vp.dwHeight = static_cast<DWORD>(dx.height);
    vp.dvClipWidth = static_cast<float>(dx.width);
    vp.dvClipHeight = static_cast<float>(dx.height);
    vp.dvMinZ = 0.0f;
    vp.dvMaxZ = 65536.0f;
    if (FAILED(dx.viewport->SetViewport2(&vp))) return false;
    dx.clip[0] = 0;
    dx.clip[1] = 0;
    dx.clip[2] = static_cast<unsigned>(dx.width);
    dx.clip[3] = static_cast<unsigned>(dx.height);
    dx.device->EnumTextureFormats(PrependTextureFormat, nullptr);
    return dx.formats != nullptr;
}

static void SetFixedStates(void) {
    DevEndScene();
    DevSetDepthTest(1);
    dx.device->SetRenderState(D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID);
    dx.device->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);
    dx.device->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, TRUE);
    dx.device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_BOTHSRCALPHA);
    dx.device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_BOTHSRCALPHA);
    dx.device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    dx.device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, TRUE);
    DevSetCullMode(-1);
    DevInitTextures();
    dx.device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    dx.device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    dx.device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    dx.device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    dx.device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    dx.device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    dx.device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_POINT);
    dx.device->SetTextureStageState(0, D3DTSS_MAGFILTER,
                                    dx.softwareKind ? D3DTFG_POINT : D3DTFG_LINEAR);
}

// Measures the raw z-buffer value of depth 0.99999, which the depth read then reports as 1.0.
static void CalibrateDepth(void) {
    DevSetTexture(0, 0);
    DevSetDepthTest(0);
    DeviceVertex v = {0.0f, 0.0f, 0.99999f, 1.0f, 0xFFFFFFFFu, 10.0f, 10.0f};
    DevDrawPrimitive(DEV_SPRITE, 1, &v);
    dx.depthScale = 1.0f;
    dx.depthScale = DevReadDepth(0, 0, 0);
    // A z-buffer that cannot be read would divide by 0 later: take its nominal full scale.
    if (!(dx.depthScale > 0.0f))
        dx.depthScale = static_cast<float>(
            std::ldexp(1.0, static_cast<int>(dx.depthFormat.dwZBufferBitDepth)) - 1.0);
    DevSetDepthTest(1);
}

byte DevOpen(HWND window, int width, int height, int) {
    if (dx.open) return DEV_ERR_FAILURE;  // one display at a time
    if (!window) window = GetActiveWindow();
    if (!window) window = GetForegroundWindow();
    if (!window) return DEV_ERR_FAILURE;
    dx.window = window;
    dx.softwareKind = 0;
    if (dx.chosen == reinterpret_cast<void*>(1)) {
        dx.softwareKind = 1;
        dx.chosen = nullptr;
    } else if (dx.chosen == reinterpret_cast<void*>(2)) {
        dx.softwareKind = 2;
        dx.chosen = nullptr;
    }
    dx.width = width;
    dx.height = height;

    LPDIRECTDRAW first = nullptr;
    if (FAILED(DirectDrawCreate(static_cast<GUID*>(dx.chosen), &first, nullptr)))
        return DEV_ERR_FAILURE;
    HRESULT hr = first->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(&dx.ddraw));
    first->Release();
    bool ok = SUCCEEDED(hr) &&
              SUCCEEDED(dx.ddraw->SetCooperativeLevel(
                  window, DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE)) &&
              width > 0 && height > 0 &&
              SUCCEEDED(dx.ddraw->SetDisplayMode(static_cast<DWORD>(width),
                                                 static_cast<DWORD>(height), 16, 0, 0));
    if (ok) {
        ShowWindow(window, SW_SHOWMAXIMIZED);
        ok = SetUpDirect3D();
    }
    if (!ok) {
        ReleaseObjects();
        return DEV_ERR_FAILURE;
    }
    dx.sceneClosed = true;
    dx.open = true;
    SetFixedStates();
    ShowCursor(FALSE);
    dx.secondaryBoard = dx.chosen != nullptr;
    if (dx.secondaryBoard) {
        DEVMODEA mode = {};
        mode.dmSize = sizeof mode;
        mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
        mode.dmBitsPerPel = 16;
        mode.dmPelsWidth = static_cast<DWORD>(width);
        mode.dmPelsHeight = static_cast<DWORD>(height);
        ChangeDisplaySettingsA(&mode, 0);
    }
    CalibrateDepth();
    return DEV_OK;
}

void DevClose(void) {
    if (!dx.open) return;
    DevEndScene();
    ReleaseObjects();
    dx.open = false;
    dx.bound = 0;
    SetWindowPos(dx.window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ShowCursor(TRUE);
    if (dx.secondaryBoard) ChangeDisplaySettingsA(nullptr, 0);
    dx.secondaryBoard = false;
}

// ---- per frame ----

// A colour channel 0..1 as 0..255, truncated; values outside 0..1 (or NaN) are held to the range.
static DWORD Channel(float c) {
    if (!(c > 0.0f)) return 0;
    if (c >= 1.0f) return 255;
    return static_cast<DWORD>(c * 255.0f);
}

void DevClear(float r, float g, float b) {
    if (!dx.open) return;
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    dx.target->GetSurfaceDesc(&desc);
    D3DRECT rect = {0, 0, static_cast<LONG>(desc.dwWidth), static_cast<LONG>(desc.dwHeight)};
    D3DCOLOR colour = 0xFF000000u | (Channel(r) << 16) | (Channel(g) << 8) | Channel(b);
    dx.viewport->Clear2(1, &rect, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, 1.0f, 0);
}

int DevDrawPrimitive(unsigned primtype, int count, DeviceVertex* primitiv) {
    if (!dx.open) return -1;
    if (dx.sceneClosed) {
        dx.device->BeginScene();
        dx.sceneClosed = false;
    }
    const DWORD fvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
    const DWORD flags = D3DDP_DONOTLIGHT | D3DDP_DONOTUPDATEEXTENTS;
    if (primtype == DEV_SPRITE) {
        if (!primitiv) return DDERR_INVALIDPARAMS;
        DeviceVertex corner[4];
        float hw = primitiv->v / 2, hh = primitiv->u / 2;
        for (DeviceVertex& c : corner) c = *primitiv;
        corner[0].x = primitiv->x - hw, corner[0].y = primitiv->y - hh, corner[0].u = 0,
        corner[0].v = 0;
        corner[1].x = primitiv->x - hw, corner[1].y = primitiv->y + hh, corner[1].u = 0,
        corner[1].v = 1;
        corner[2].x = primitiv->x + hw, corner[2].y = primitiv->y + hh, corner[2].u = 1,
        corner[2].v = 1;
        corner[3].x = primitiv->x + hw, corner[3].y = primitiv->y - hh, corner[3].u = 1,
        corner[3].v = 0;
        return dx.device->DrawPrimitive(D3DPT_TRIANGLEFAN, fvf, corner, 4, flags);
    }
    D3DPRIMITIVETYPE type = static_cast<D3DPRIMITIVETYPE>(0);  // callers pass no other value
    switch (primtype) {
    case DEV_TRIANGLES: type = D3DPT_TRIANGLELIST; break;
    case DEV_STRIP: type = D3DPT_TRIANGLESTRIP; break;
    case DEV_FAN:
    case DEV_POLYGON: type = D3DPT_TRIANGLEFAN; break;
    case DEV_LINES: type = D3DPT_LINESTRIP; break;
    }
    LPDIRECT3DDEVICE3 lpd3ddev3 = dx.device;
    if (IDirect3DDevice3_DrawPrimitive(lpd3ddev3, type, fvf, primitiv, static_cast<DWORD>(count),
                                       flags))
        AssertReport(
            "!IDirect3DDevice3_DrawPrimitive(lpd3ddev3,primtype, "
            "D3DFVF_XYZRHW|D3DFVF_DIFFUSE|D3DFVF_TEX1,primitiv,count, "
            "D3DDP_DONOTLIGHT|D3DDP_DONOTUPDATEEXTENTS )",
            "trx_dx", 505);
    return 0;
}

void DevEndScene(void) {
    if (!dx.sceneClosed && dx.device) {
        dx.device->EndScene();
        dx.sceneClosed = true;
    }
}

byte DevFlip(int retraces) {
    if (!dx.open) return 0;
    DevEndScene();
    for (int i = 1; i < retraces; ++i) {
        dx.ddraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
        dx.ddraw->WaitForVerticalBlank(DDWAITVB_BLOCKEND, nullptr);
    }
    dx.primary->Flip(nullptr, DDFLIP_WAIT);
    return 0;
}

// ---- states ----

int DevSetCullMode(int mode) {
    int previous = dx.cullMode;
    if (dx.device)
        dx.device->SetRenderState(D3DRENDERSTATE_CULLMODE, mode == 0  ? D3DCULL_NONE
                                                           : mode < 0 ? D3DCULL_CW
                                                                      : D3DCULL_CCW);
    dx.cullMode = mode;
    return previous;
}

byte DevSetDepthTest(byte on) {
    byte previous = dx.depthTest;
    if (dx.device)
        dx.device->SetRenderState(D3DRENDERSTATE_ZFUNC, on ? D3DCMP_LESS : D3DCMP_ALWAYS);
    dx.depthTest = on;
    return previous;
}

void DevSetClipWindow(unsigned x0, unsigned y0, unsigned x1, unsigned y1) {
    if (!dx.open) return;
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    dx.primary->GetSurfaceDesc(&desc);
    if (x1 > desc.dwWidth) x1 = desc.dwWidth;
    if (y1 > desc.dwHeight) y1 = desc.dwHeight;
    if (x0 > x1 || y0 > y1) return;
    D3DVIEWPORT2 vp = {};
    vp.dwSize = sizeof vp;
    vp.dwX = x0;
    vp.dwY = y0;
    vp.dwWidth = x1 - x0;
    vp.dwHeight = y1 - y0;
    vp.dvClipX = static_cast<float>(x0);
    vp.dvClipY = static_cast<float>(y0);
    vp.dvClipWidth = static_cast<float>(x1 - x0);
    vp.dvClipHeight = static_cast<float>(y1 - y0);
    vp.dvMinZ = 0.0f;
    vp.dvMaxZ = 65536.0f;
    dx.viewport->SetViewport2(&vp);
    dx.clip[0] = x0;
    dx.clip[1] = y0;
    dx.clip[2] = x1;
    dx.clip[3] = y1;
}

byte DevSetRenderBuffer(byte which) {
    if (!dx.open) return DEV_ERR_FAILURE;
    if (dx.primary->IsLost() != DD_OK) dx.primary->Restore();
    if (FAILED(dx.target->DeleteAttachedSurface(0, dx.depth))) return DEV_ERR_FAILURE;
    if (which == 1) {
        DDSCAPS2 caps = {};
        caps.dwCaps = DDSCAPS_BACKBUFFER;
        LPDIRECTDRAWSURFACE4 back = nullptr;
        if (FAILED(dx.primary->GetAttachedSurface(&caps, &back))) return DEV_ERR_FAILURE;
        back->Release();  // lives as long as the primary surface
        dx.target = back;
    } else if (which == 0) {
        dx.target = dx.primary;
    }
    if (FAILED(dx.target->AddAttachedSurface(dx.depth))) return DEV_ERR_FAILURE;
    if (FAILED(dx.device->SetRenderTarget(dx.target, 0))) return DEV_ERR_FAILURE;
    return which;
}

byte DevGetCaps(void) { return 4; }

int DevGetScreenInfo(unsigned what) {
    switch (what) {
    case INFO_MAX_X: return dx.width - 1;
    case INFO_MAX_Y: return dx.height - 1;
    case INFO_WIDTH: return dx.width;
    case INFO_HEIGHT: return dx.height;
    case INFO_CLIP_X0: return static_cast<int>(dx.clip[0]);
    case INFO_CLIP_X1: return static_cast<int>(dx.clip[2]);
    case INFO_CLIP_Y0: return static_cast<int>(dx.clip[1]);
    case INFO_CLIP_Y1: return static_cast<int>(dx.clip[3]);
    case INFO_DEPTH_NEAR: return 0;
    case INFO_DEPTH_FAR: return 1;
    default: return 0;
    }
}

float DxDepthScale(void) { return dx.depthScale; }
DDPIXELFORMAT DxDepthFormat(void) { return dx.depthFormat; }
const DxFormatNode* DxTextureFormats(void) { return dx.formats; }
