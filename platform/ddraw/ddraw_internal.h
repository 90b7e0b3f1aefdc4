// ddraw_internal.h: the objects behind the DirectDraw/Direct3D stand-in's interfaces.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "d3d.h"
#include "ddraw_standin.h"
#include "softcard.h"

// One display mode: the card and the window it presents into. Shared by the DirectDraw object and
// the surfaces of the mode, so whichever goes last destroys the card.
struct DDDisplay {
    ScCard* card = nullptr;
    HWND window = nullptr;
    ~DDDisplay() { ScDestroy(card); }
};

// The reference count of a stand-in object: it starts at 1 and the last Release deletes the
// object. Objects that hand out no other interface keep the default QueryInterface.
template <class Derived, class Interface>
class DDCounted : public Interface {
public:
    HRESULT QueryInterface(REFIID, void** out) override {
        if (out) *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override {
        ULONG r = --refs;
        if (r == 0) delete static_cast<Derived*>(this);
        return r;
    }

    ULONG refs = 1;
};

enum DDKind { DDK_PRIMARY, DDK_BACK, DDK_DEPTH, DDK_TEXTURE, DDK_OFFSCREEN };

class DDPalette final : public IDirectDrawPalette {
public:
    HRESULT QueryInterface(REFIID, void** out) override;
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override;
    HRESULT GetEntries(DWORD flags, DWORD base, DWORD count, LPPALETTEENTRY entries) override;

    ULONG refs = 1;
    uint32_t argb[256] = {};  // 0x00RRGGBB
};

class DDSurface;

// The IDirect3DTexture2 face of a texture surface; counts references with its surface.
class DDTextureFace final : public IDirect3DTexture2 {
public:
    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    DDSurface* surface = nullptr;
};

class DDSurface final : public IDirectDrawSurface4 {
public:
    DDSurface();
    ~DDSurface();
    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override;
    HRESULT Lock(LPRECT rect, LPDDSURFACEDESC2 desc, DWORD flags, HANDLE event) override;
    HRESULT Unlock(LPRECT rect) override;
    HRESULT GetSurfaceDesc(LPDDSURFACEDESC2 desc) override;
    HRESULT GetPixelFormat(LPDDPIXELFORMAT format) override;
    HRESULT GetAttachedSurface(LPDDSCAPS2 caps, LPDIRECTDRAWSURFACE4* out) override;
    HRESULT AddAttachedSurface(LPDIRECTDRAWSURFACE4 surface) override;
    HRESULT DeleteAttachedSurface(DWORD flags, LPDIRECTDRAWSURFACE4 surface) override;
    HRESULT Flip(LPDIRECTDRAWSURFACE4 target, DWORD flags) override;
    HRESULT Blt(LPRECT dstRect, LPDIRECTDRAWSURFACE4 src, LPRECT srcRect, DWORD flags,
                LPDDBLTFX fx) override;
    HRESULT SetPalette(LPDIRECTDRAWPALETTE palette) override;
    HRESULT SetColorKey(DWORD flags, LPDDCOLORKEY key) override;
    HRESULT GetColorKey(DWORD flags, LPDDCOLORKEY key) override;
    HRESULT IsLost() override { return lost ? DDERR_SURFACELOST : DD_OK; }
    HRESULT Restore() override {  // a primary surface restores its back buffer with it
        // The display's surfaces come back only once the exclusive window shows again.
        if (lost && display && display->window && IsIconic(display->window)) return DDERR_WRONGMODE;
        lost = false;
        if (back) back->lost = false;
        return DD_OK;
    }

    // The card buffer of a primary (front) or back buffer surface.
    ScBuffer Buffer() const { return kind == DDK_PRIMARY ? SC_FRONT : SC_BACK; }
    ScCard* Card() const { return display ? display->card : nullptr; }
    // Reconverts a texture surface's pixels into its card texture.
    void Reload();

    ULONG refs = 1;
    DDKind kind = DDK_OFFSCREEN;
    std::shared_ptr<DDDisplay> display;  // primary, back buffer and z-buffer
    DDSurface* back = nullptr;           // primary: its back buffer (owned)
    DDSurface* owner = nullptr;          // back buffer: its primary
    DDSurface* depth = nullptr;          // primary, back buffer: the attached z-buffer (one ref)
    int width = 0, height = 0, pitch = 0;
    DDPIXELFORMAT format = {};
    DDSCAPS2 caps = {};
    std::vector<uint8_t> memory;   // texture, off-screen plain, z-buffer lock staging
    ScTexture* texture = nullptr;  // texture surfaces
    int scFormat = -1;             // the card's format of a texture, -1 when it has none
    DDPalette* palette = nullptr;  // one ref
    bool hasKey = false;
    DDCOLORKEY key = {};
    bool locked = false, lockWrite = false, lost = false;
    DDTextureFace face;
};

// The card format for a DirectDraw pixel format, -1 when the card has none.
int DDraw_CardFormat(const DDPIXELFORMAT& format);
// The display's pixel format (5-6-5).
DDPIXELFORMAT DDraw_DisplayFormat(void);
// The z-buffer formats offered now.
const std::vector<DDPIXELFORMAT>& DDraw_ZFormats(void);
const std::vector<DDPIXELFORMAT>& DDraw_TextureFormats(void);
// The display of the newest SetDisplayMode (kept alive by its objects).
std::shared_ptr<DDDisplay> DDraw_CurrentDisplay(void);
// Makes the Direct3D object of a DirectDraw object (holds one reference to it).
IDirect3D3* DDraw_MakeDirect3D(IDirectDraw4* ddraw);
