// ddraw_surface.cpp: DirectDraw over the software card: drivers, the DirectDraw object, surfaces,
// palettes. A primary surface and its back buffer are the card's front and back colour buffers;
// a z-buffer is the card's depth buffer (read through a staging copy widened to its bit depth);
// a texture holds its texels in memory and is reconverted into a card texture on every Unlock,
// SetPalette and SetColorKey; an off-screen plain surface is a block of 5-6-5 pixels.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "ddraw_internal.h"
#include "win32_standin.h"

const IID IID_IDirectDraw = {0x7A4D0001, 0x5442, 0x4D44, {'T', 'a', 'm', 'b', 'i', 'r', 'D', 'D'}};
const IID IID_IDirectDraw4 = {0x7A4D0004, 0x5442, 0x4D44, {'T', 'a', 'm', 'b', 'i', 'r', 'D', 'D'}};
const IID IID_IDirect3D3 = {0x7A4D0103, 0x5442, 0x4D44, {'T', 'a', 'm', 'b', 'i', 'r', 'D', '3'}};
const IID IID_IDirect3DTexture2 = {
    0x7A4D0202, 0x5442, 0x4D44, {'T', 'a', 'm', 'b', 'i', 'r', 'T', 'x'}};

namespace {

// The second driver: a GUID of our own.
GUID secondDriver = {0x7A4D0900, 0x5442, 0x4D44, {'T', 'a', 'm', 'b', 'i', 'r', '2', 'B'}};

DDrawStandInStats stats;
std::set<DDSurface*> liveSurfaces;
std::weak_ptr<DDDisplay> currentDisplay;

DDPIXELFORMAT Pf(DWORD flags, DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a) {
    DDPIXELFORMAT f = {};
    f.dwSize = sizeof(DDPIXELFORMAT);
    f.dwFlags = flags;
    f.dwRGBBitCount = bits;
    f.dwRBitMask = r;
    f.dwGBitMask = g;
    f.dwBBitMask = b;
    f.dwRGBAlphaBitMask = a;
    return f;
}

std::vector<DDPIXELFORMAT> DefaultTextureFormats() {
    return {Pf(DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0x0F00, 0x00F0, 0x000F, 0xF000),
            Pf(DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0x7C00, 0x03E0, 0x001F, 0x8000),
            Pf(DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F, 0),
            Pf(DDPF_RGB, 8, 0xE0, 0x1C, 0x03, 0),
            Pf(DDPF_PALETTEINDEXED8 | DDPF_RGB, 8, 0, 0, 0, 0),
            Pf(DDPF_RGB | DDPF_ALPHAPIXELS, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u)};
}
std::vector<DDPIXELFORMAT> DefaultZFormats() {
    return {Pf(DDPF_ZBUFFER, 16, 0, 0xFFFF, 0, 0), Pf(DDPF_ZBUFFER, 24, 0, 0xFFFFFF, 0, 0),
            Pf(DDPF_ZBUFFER, 32, 0, 0xFFFFFFFFu, 0, 0)};
}
std::vector<DDPIXELFORMAT> textureFormats = DefaultTextureFormats();
std::vector<DDPIXELFORMAT> zFormats = DefaultZFormats();

// The card's texel formats as DirectDraw pixel formats (flags, bits, masks).
struct CardFormat {
    int sc;
    DWORD flags, bits, r, g, b, a;
};
const CardFormat cardFormats[] = {
    {SC_FMT_RGB332, DDPF_RGB, 8, 0xE0, 0x1C, 0x03, 0},
    {SC_FMT_A8, DDPF_ALPHA, 8, 0xFF, 0, 0, 0},
    {SC_FMT_A8, DDPF_ALPHA, 8, 0, 0, 0, 0},
    {SC_FMT_I8, DDPF_LUMINANCE, 8, 0xFF, 0, 0, 0},
    {SC_FMT_AI44, DDPF_LUMINANCE | DDPF_ALPHAPIXELS, 8, 0x0F, 0, 0, 0xF0},
    {SC_FMT_P8, DDPF_PALETTEINDEXED8 | DDPF_RGB, 8, 0, 0, 0, 0},
    {SC_FMT_P8, DDPF_PALETTEINDEXED8, 8, 0, 0, 0, 0},
    {SC_FMT_ARGB8332, DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0xE0, 0x1C, 0x03, 0xFF00},
    {SC_FMT_RGB565, DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F, 0},
    {SC_FMT_ARGB1555, DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0x7C00, 0x03E0, 0x001F, 0x8000},
    {SC_FMT_ARGB4444, DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0x0F00, 0x00F0, 0x000F, 0xF000},
    {SC_FMT_AI88, DDPF_LUMINANCE | DDPF_ALPHAPIXELS, 16, 0xFF, 0, 0, 0xFF00},
    {SC_FMT_AP88, DDPF_PALETTEINDEXED8 | DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0, 0, 0, 0xFF00},
    {SC_FMT_ARGB8888, DDPF_RGB | DDPF_ALPHAPIXELS, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u},
};

int BytesOf(const DDPIXELFORMAT& f) { return static_cast<int>((f.dwRGBBitCount + 7) / 8); }

// ---- the DirectDraw object ----

class DDObject final : public DDCounted<DDObject, IDirectDraw4> {
public:
    HRESULT QueryInterface(REFIID riid, void** out) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (riid == IID_IDirectDraw || riid == IID_IDirectDraw4) {
            AddRef();
            *out = static_cast<IDirectDraw4*>(this);
            return S_OK;
        }
        if (riid == IID_IDirect3D3) {
            *out = DDraw_MakeDirect3D(this);
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    HRESULT SetCooperativeLevel(HWND w, DWORD flags) override {
        if ((flags & (DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE)) != (DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE))
            Win32Unsupported("IDirectDraw4::SetCooperativeLevel",
                             "levels other than full-screen exclusive");
        if (!w || !IsWindow(w)) return DDERR_INVALIDPARAMS;
        window = w;
        return DD_OK;
    }
    HRESULT SetDisplayMode(DWORD w, DWORD h, DWORD bpp, DWORD, DWORD) override {
        if (!window) return DDERR_NOEXCLUSIVEMODE;
        if (bpp != 16) Win32Unsupported("IDirectDraw4::SetDisplayMode", "bit depths other than 16");
        if (w < 1 || h < 1 || w > 4096 || h > 4096) return DDERR_INVALIDPARAMS;
        auto d = std::make_shared<DDDisplay>();
        d->card = ScCreate(static_cast<int>(w), static_cast<int>(h));
        if (!d->card) return DDERR_OUTOFMEMORY;
        d->window = window;
        display = d;
        currentDisplay = d;
        // The screen is in this mode until the DirectDraw object goes.
        Win32_SetExclusiveMode(static_cast<int>(w), static_cast<int>(h));
        modeSet = true;
        return DD_OK;
    }
    HRESULT CreateSurface(LPDDSURFACEDESC2 desc, LPDIRECTDRAWSURFACE4* out, IUnknown*) override;
    HRESULT CreatePalette(DWORD flags, LPPALETTEENTRY entries, LPDIRECTDRAWPALETTE* out,
                          IUnknown*) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (!(flags & DDPCAPS_8BIT))
            Win32Unsupported("IDirectDraw4::CreatePalette", "palettes other than 8 bit");
        DDPalette* p = new DDPalette;
        if ((flags & DDPCAPS_INITIALIZE) && entries)
            for (int i = 0; i < 256; ++i)
                p->argb[i] = (uint32_t(entries[i].peRed) << 16) |
                             (uint32_t(entries[i].peGreen) << 8) | entries[i].peBlue;
        *out = p;
        return DD_OK;
    }
    HRESULT WaitForVerticalBlank(DWORD flags, HANDLE) override {
        if (flags == DDWAITVB_BLOCKBEGIN)
            ++stats.waitBegin;
        else if (flags == DDWAITVB_BLOCKEND)
            ++stats.waitEnd;
        else
            return DDERR_INVALIDPARAMS;
        return DD_OK;
    }

    ~DDObject() {
        if (modeSet) Win32_SetExclusiveMode(0, 0);
    }

    HWND window = nullptr;
    std::shared_ptr<DDDisplay> display;
    bool modeSet = false;  // SetDisplayMode changed the mode
};

HRESULT DDObject::CreateSurface(LPDDSURFACEDESC2 desc, LPDIRECTDRAWSURFACE4* out, IUnknown*) {
    if (!out || !desc || desc->dwSize != sizeof(DDSURFACEDESC2) || !(desc->dwFlags & DDSD_CAPS))
        return DDERR_INVALIDPARAMS;
    *out = nullptr;
    DWORD c = desc->ddsCaps.dwCaps;
    if (c & DDSCAPS_PRIMARYSURFACE) {
        if (!display) return DDERR_NOEXCLUSIVEMODE;
        if (!(desc->dwFlags & DDSD_BACKBUFFERCOUNT) || desc->dwBackBufferCount != 1 ||
            !(c & DDSCAPS_FLIP))
            Win32Unsupported("IDirectDraw4::CreateSurface",
                             "a primary surface without exactly one back buffer");
        DDSurface* front = new DDSurface;
        DDSurface* back = new DDSurface;
        front->kind = DDK_PRIMARY;
        back->kind = DDK_BACK;
        for (DDSurface* s : {front, back}) {
            s->display = display;
            s->width = ScWidth(display->card);
            s->height = ScHeight(display->card);
            s->pitch = s->width * 2;
            s->format = DDraw_DisplayFormat();
        }
        front->caps.dwCaps = c | DDSCAPS_FRONTBUFFER;
        back->caps.dwCaps =
            (c & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER)) | DDSCAPS_BACKBUFFER;
        front->back = back;
        back->owner = front;
        *out = front;
        return DD_OK;
    }
    if (!(desc->dwFlags & DDSD_WIDTH) || !(desc->dwFlags & DDSD_HEIGHT) || desc->dwWidth < 1 ||
        desc->dwHeight < 1 || desc->dwWidth > 4096 || desc->dwHeight > 4096)
        return DDERR_INVALIDPARAMS;
    int w = static_cast<int>(desc->dwWidth), h = static_cast<int>(desc->dwHeight);
    if (c & DDSCAPS_ZBUFFER) {
        if (!display) return DDERR_NOEXCLUSIVEMODE;
        const DDPIXELFORMAT& f = desc->ddpfPixelFormat;
        if (!(desc->dwFlags & DDSD_PIXELFORMAT) || !(f.dwFlags & DDPF_ZBUFFER) ||
            (f.dwZBufferBitDepth != 16 && f.dwZBufferBitDepth != 24 && f.dwZBufferBitDepth != 32))
            return DDERR_INVALIDPIXELFORMAT;
        if (w != ScWidth(display->card) || h != ScHeight(display->card))
            Win32Unsupported("IDirectDraw4::CreateSurface",
                             "a z-buffer of another size than the display");
        DDSurface* s = new DDSurface;
        s->kind = DDK_DEPTH;
        s->display = display;
        s->width = w;
        s->height = h;
        s->format = f;
        s->format.dwSize = sizeof(DDPIXELFORMAT);
        s->caps = desc->ddsCaps;
        stats.zCaps = c;
        stats.zBits = f.dwZBufferBitDepth;
        *out = s;
        return DD_OK;
    }
    if (c & DDSCAPS_TEXTURE) {
        if (!(desc->dwFlags & DDSD_PIXELFORMAT)) return DDERR_INVALIDPIXELFORMAT;
        const DDPIXELFORMAT& f = desc->ddpfPixelFormat;
        int bytes = BytesOf(f);
        if (bytes < 1 || bytes > 4 || f.dwRGBBitCount % 8) return DDERR_INVALIDPIXELFORMAT;
        DDSurface* s = new DDSurface;
        s->kind = DDK_TEXTURE;
        s->width = w;
        s->height = h;
        s->pitch = (w * bytes + 3) & ~3;  // rows padded to 4 bytes, as drivers did
        s->format = f;
        s->format.dwSize = sizeof(DDPIXELFORMAT);
        s->caps = desc->ddsCaps;
        s->memory.assign(static_cast<size_t>(s->pitch) * h, 0);
        s->texture = ScTextureCreate(w, h);
        s->scFormat = DDraw_CardFormat(f);
        if (!s->texture) {
            s->Release();
            return DDERR_OUTOFMEMORY;
        }
        *out = s;
        return DD_OK;
    }
    if (c & DDSCAPS_OFFSCREENPLAIN) {
        if ((desc->dwFlags & DDSD_PIXELFORMAT) &&
            DDraw_CardFormat(desc->ddpfPixelFormat) != SC_FMT_RGB565)
            Win32Unsupported("IDirectDraw4::CreateSurface",
                             "off-screen surfaces in another format than the display's");
        DDSurface* s = new DDSurface;
        s->kind = DDK_OFFSCREEN;
        s->width = w;
        s->height = h;
        s->pitch = (w * 2 + 3) & ~3;
        s->format = DDraw_DisplayFormat();
        s->caps = desc->ddsCaps;
        s->memory.assign(static_cast<size_t>(s->pitch) * h, 0);
        *out = s;
        return DD_OK;
    }
    Win32Unsupported("IDirectDraw4::CreateSurface", "this kind of surface");
}

}  // namespace

// ---- helpers shared with ddraw_d3d.cpp ----

DDrawStandInStats& DDrawStandIn_Stats(void) { return stats; }

void DDrawStandIn_SetTextureFormats(const DDPIXELFORMAT* formats, int count) {
    if (count < 0 || !formats)
        textureFormats = DefaultTextureFormats();
    else
        textureFormats.assign(formats, formats + count);
}
void DDrawStandIn_SetZBufferFormats(const DDPIXELFORMAT* formats, int count) {
    if (count < 0 || !formats)
        zFormats = DefaultZFormats();
    else
        zFormats.assign(formats, formats + count);
}
const std::vector<DDPIXELFORMAT>& DDraw_ZFormats(void) { return zFormats; }
const std::vector<DDPIXELFORMAT>& DDraw_TextureFormats(void) { return textureFormats; }

ScCard* DDrawStandIn_Card(void) {
    auto d = currentDisplay.lock();
    return d ? d->card : nullptr;
}
std::shared_ptr<DDDisplay> DDraw_CurrentDisplay(void) { return currentDisplay.lock(); }

void DDrawStandIn_LoseSurfaces(void) {
    for (DDSurface* s : liveSurfaces)
        if (s->kind == DDK_PRIMARY || s->kind == DDK_BACK) s->lost = true;
}

// The flips at which TAMBIR_DDRAW_LOSE_AT loses the display's surfaces.
static bool LoseAtFlip(long flip) {
    static const std::set<long> at = [] {
        std::set<long> flips;
        const char* v = std::getenv("TAMBIR_DDRAW_LOSE_AT");
        for (char* end = nullptr; v && *v; v = *end ? end + 1 : end) {
            flips.insert(std::strtol(v, &end, 10));
            if (end == v) break;
        }
        return flips;
    }();
    return at.count(flip) != 0;
}

DDPIXELFORMAT DDraw_DisplayFormat(void) { return Pf(DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F, 0); }

int DDraw_CardFormat(const DDPIXELFORMAT& f) {
    for (const CardFormat& c : cardFormats)
        if (c.flags == f.dwFlags && c.bits == f.dwRGBBitCount && c.r == f.dwRBitMask &&
            c.g == f.dwGBitMask && c.b == f.dwBBitMask && c.a == f.dwRGBAlphaBitMask)
            return c.sc;
    return -1;
}

// ---- drivers and creation ----

HRESULT WINAPI DirectDrawEnumerateA(LPDDENUMCALLBACKA callback, LPVOID context) {
    if (!callback) return DDERR_INVALIDPARAMS;
    char desc1[] = "Primary Display Driver", name1[] = "display";
    char desc2[] = "Tambir 3D card", name2[] = "tambir3d";
    if (callback(nullptr, desc1, name1, context) == DDENUMRET_CANCEL) return DD_OK;
    GUID copy = secondDriver;
    callback(&copy, desc2, name2, context);
    return DD_OK;
}

HRESULT WINAPI DirectDrawCreate(GUID* guid, LPDIRECTDRAW* out, IUnknown*) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (guid && !(*guid == secondDriver)) return DDERR_INVALIDPARAMS;
    *out = new DDObject;
    return DD_OK;
}

// ---- palettes ----

HRESULT DDPalette::QueryInterface(REFIID, void** out) {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
}
ULONG DDPalette::Release() {
    ULONG r = --refs;
    if (r == 0) delete this;
    return r;
}
HRESULT DDPalette::GetEntries(DWORD, DWORD base, DWORD count, LPPALETTEENTRY entries) {
    if (!entries || base > 256 || count > 256 - base) return DDERR_INVALIDPARAMS;
    for (DWORD i = 0; i < count; ++i) {
        uint32_t c = argb[base + i];
        entries[i] = {BYTE(c >> 16), BYTE(c >> 8), BYTE(c), 0};
    }
    return DD_OK;
}

// ---- texture face ----

HRESULT DDTextureFace::QueryInterface(REFIID riid, void** out) {
    return surface->QueryInterface(riid, out);
}
ULONG DDTextureFace::AddRef() { return surface->AddRef(); }
ULONG DDTextureFace::Release() { return surface->Release(); }

// ---- surfaces ----

DDSurface::DDSurface() {
    face.surface = this;
    liveSurfaces.insert(this);
}

DDSurface::~DDSurface() {
    liveSurfaces.erase(this);
    if (back) delete back;  // the back buffer lives as long as its primary
    if (depth) depth->Release();
    if (palette) palette->Release();
    ScTextureDestroy(texture);
}

ULONG DDSurface::Release() {
    if (refs == 0) return 0;
    ULONG r = --refs;
    // A back buffer is freed with its primary; its count only tracks the interfaces handed out.
    if (r == 0 && kind != DDK_BACK) delete this;
    return r;
}

HRESULT DDSurface::QueryInterface(REFIID riid, void** out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (riid == IID_IDirect3DTexture2 && kind == DDK_TEXTURE) {
        AddRef();
        *out = static_cast<IDirect3DTexture2*>(&face);
        return S_OK;
    }
    return E_NOINTERFACE;
}

static int DepthBytes(const DDSurface* s) {
    return static_cast<int>(s->format.dwZBufferBitDepth / 8);
}

HRESULT DDSurface::Lock(LPRECT rect, LPDDSURFACEDESC2 desc, DWORD flags, HANDLE) {
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
    if (lost) return DDERR_SURFACELOST;
    if (locked) return DDERR_SURFACEBUSY;
    RECT r = {0, 0, width, height};
    if (rect) {
        r = *rect;
        if (r.left < 0 || r.top < 0 || r.right > width || r.bottom > height || r.left >= r.right ||
            r.top >= r.bottom)
            return DDERR_INVALIDRECT;
    }
    GetSurfaceDesc(desc);
    uint8_t* base = nullptr;
    int stride = pitch;
    switch (kind) {
    case DDK_PRIMARY:
    case DDK_BACK:
        if (!Card()) return DDERR_SURFACELOST;
        base = reinterpret_cast<uint8_t*>(ScPixels(Card(), Buffer())) +
               static_cast<size_t>(r.top) * pitch + r.left * 2;
        break;
    case DDK_DEPTH: {
        if (!(flags & DDLOCK_READONLY))
            Win32Unsupported("IDirectDrawSurface4::Lock", "writing into a z-buffer");
        int bytes = DepthBytes(this), w = r.right - r.left, h = r.bottom - r.top;
        stride = w * bytes;
        memory.assign(static_cast<size_t>(stride) * h, 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint32_t d =
                    static_cast<uint32_t>(std::max(0, ScReadDepth(Card(), r.left + x, r.top + y)));
                uint32_t v = bytes == 2 ? d : bytes == 3 ? (d << 8) | (d >> 8) : (d << 16) | d;
                std::memcpy(&memory[static_cast<size_t>(y) * stride + x * bytes], &v, bytes);
            }
        base = memory.data();
        desc->lPitch = stride;
        break;
    }
    default: base = memory.data() + static_cast<size_t>(r.top) * pitch + r.left * BytesOf(format);
    }
    desc->lpSurface = base;
    desc->dwFlags |= DDSD_LPSURFACE;
    locked = true;
    lockWrite = !(flags & DDLOCK_READONLY);
    return DD_OK;
}

HRESULT DDSurface::Unlock(LPRECT) {
    if (!locked) return DDERR_NOTLOCKED;
    locked = false;
    if (kind == DDK_TEXTURE && lockWrite) Reload();
    return DD_OK;
}

void DDSurface::Reload() {
    if (kind != DDK_TEXTURE) return;
    if (scFormat < 0)
        Win32Unsupported("IDirectDrawSurface4 (texture)", "a pixel format the card cannot sample");
    ScTextureLoad(texture, static_cast<ScFormat>(scFormat), memory.data(), pitch,
                  palette ? palette->argb : nullptr, hasKey ? SC_KEY_RAW : SC_KEY_NONE,
                  key.dwColorSpaceLowValue);
}

HRESULT DDSurface::GetSurfaceDesc(LPDDSURFACEDESC2 desc) {
    if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
    std::memset(desc, 0, sizeof *desc);
    desc->dwSize = sizeof(DDSURFACEDESC2);
    desc->dwFlags =
        DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT | (pitch ? DDSD_PITCH : 0);
    desc->dwWidth = static_cast<DWORD>(width);
    desc->dwHeight = static_cast<DWORD>(height);
    desc->lPitch = pitch ? pitch : width * DepthBytes(this);
    desc->ddpfPixelFormat = format;
    desc->ddsCaps = caps;
    if (kind == DDK_PRIMARY) desc->dwBackBufferCount = 1;
    if (hasKey) {
        desc->dwFlags |= DDSD_CKSRCBLT;
        desc->ddckCKSrcBlt = key;
    }
    return DD_OK;
}

HRESULT DDSurface::GetPixelFormat(LPDDPIXELFORMAT f) {
    if (!f) return DDERR_INVALIDPARAMS;
    *f = format;
    return DD_OK;
}

HRESULT DDSurface::GetAttachedSurface(LPDDSCAPS2 c, LPDIRECTDRAWSURFACE4* out) {
    if (!c || !out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if ((c->dwCaps & DDSCAPS_BACKBUFFER) && back) {
        back->AddRef();
        *out = back;
        return DD_OK;
    }
    if ((c->dwCaps & DDSCAPS_ZBUFFER) && depth) {
        depth->AddRef();
        *out = depth;
        return DD_OK;
    }
    return DDERR_NOTFOUND;
}

HRESULT DDSurface::AddAttachedSurface(LPDIRECTDRAWSURFACE4 surface) {
    DDSurface* z = static_cast<DDSurface*>(surface);
    if (!z || z->kind != DDK_DEPTH || (kind != DDK_PRIMARY && kind != DDK_BACK))
        return DDERR_INVALIDPARAMS;
    if (depth) return DDERR_INVALIDPARAMS;  // one z-buffer at a time
    if (z->display != display) return DDERR_INVALIDOBJECT;
    z->AddRef();
    depth = z;
    return DD_OK;
}

HRESULT DDSurface::DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE4 surface) {
    if (!depth || (surface && surface != depth)) return DDERR_SURFACENOTATTACHED;
    depth->Release();
    depth = nullptr;
    return DD_OK;
}

HRESULT DDSurface::Flip(LPDIRECTDRAWSURFACE4 target, DWORD) {
    if (kind != DDK_PRIMARY || (target && target != back)) return DDERR_INVALIDPARAMS;
    // The exclusive window minimised gives the display up, as DirectDraw does; so does
    // TAMBIR_DDRAW_LOSE_AT, at chosen flips.
    static long flips = 0;
    if (LoseAtFlip(++flips) || (display && display->window && IsIconic(display->window)))
        DDrawStandIn_LoseSurfaces();
    if (lost) return DDERR_SURFACELOST;
    if (!Card()) return DDERR_SURFACELOST;
    ScSwap(Card());
    ScPresent(Card(), display->window);
    ++stats.flips;
    return DD_OK;
}

HRESULT DDSurface::Blt(LPRECT dstRect, LPDIRECTDRAWSURFACE4 srcIface, LPRECT srcRect, DWORD,
                       LPDDBLTFX fx) {
    DDSurface* src = static_cast<DDSurface*>(srcIface);
    if (fx) Win32Unsupported("IDirectDrawSurface4::Blt", "blit effects");
    if (!src) Win32Unsupported("IDirectDrawSurface4::Blt", "fills without a source surface");
    if (lost || src->lost) return DDERR_SURFACELOST;
    if ((kind != DDK_PRIMARY && kind != DDK_BACK) || !Card())
        Win32Unsupported("IDirectDrawSurface4::Blt",
                         "targets other than the primary surface or its back buffer");
    if (src->kind != DDK_OFFSCREEN && !(src->kind == DDK_TEXTURE && src->scFormat == SC_FMT_RGB565))
        Win32Unsupported("IDirectDrawSurface4::Blt",
                         "sources other than 5-6-5 off-screen surfaces");
    RECT s = {0, 0, src->width, src->height};
    if (srcRect) s = *srcRect;
    if (s.left < 0 || s.top < 0 || s.right > src->width || s.bottom > src->height ||
        s.left >= s.right || s.top >= s.bottom)
        return DDERR_INVALIDRECT;
    RECT d = {0, 0, width, height};
    if (dstRect) d = *dstRect;
    if (d.left < 0 || d.top < 0 || d.right > width || d.bottom > height || d.left >= d.right ||
        d.top >= d.bottom)
        return DDERR_INVALIDRECT;
    if (d.right - d.left != s.right - s.left || d.bottom - d.top != s.bottom - s.top)
        Win32Unsupported("IDirectDrawSurface4::Blt", "stretching");
    const uint8_t* from = src->memory.data() + static_cast<size_t>(s.top) * src->pitch + s.left * 2;
    ScWriteRect(Card(), Buffer(), d.left, d.top, d.right - d.left, d.bottom - d.top,
                reinterpret_cast<const uint16_t*>(from), src->pitch);
    return DD_OK;
}

HRESULT DDSurface::SetPalette(LPDIRECTDRAWPALETTE p) {
    if (kind != DDK_TEXTURE)
        Win32Unsupported("IDirectDrawSurface4::SetPalette",
                         "palettes on other surfaces than textures");
    if (!(format.dwFlags & DDPF_PALETTEINDEXED8)) return DDERR_INVALIDPIXELFORMAT;
    DDPalette* np = static_cast<DDPalette*>(p);
    if (np) np->AddRef();
    if (palette) palette->Release();
    palette = np;
    Reload();
    return DD_OK;
}

HRESULT DDSurface::SetColorKey(DWORD flags, LPDDCOLORKEY k) {
    if (flags != DDCKEY_SRCBLT)
        Win32Unsupported("IDirectDrawSurface4::SetColorKey", "keys other than the source blit key");
    if (k && k->dwColorSpaceLowValue != k->dwColorSpaceHighValue)
        Win32Unsupported("IDirectDrawSurface4::SetColorKey", "key ranges");
    hasKey = k != nullptr;
    if (k) key = *k;
    Reload();
    return DD_OK;
}

HRESULT DDSurface::GetColorKey(DWORD flags, LPDDCOLORKEY k) {
    if (flags != DDCKEY_SRCBLT || !k) return DDERR_INVALIDPARAMS;
    if (!hasKey) return DDERR_NOTFOUND;
    *k = key;
    return DD_OK;
}
