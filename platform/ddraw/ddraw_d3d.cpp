// ddraw_d3d.cpp: Direct3D 3 over the software card: the Direct3D object, the device, viewports.
// Every device class draws with the card; the class only shows in the stand-in's statistics.
// Render states go straight to the card's state; a viewport's rectangle is the clip window.
#include <algorithm>
#include <cmath>

#include "ddraw_internal.h"
#include "win32_standin.h"

const CLSID IID_IDirect3DRGBDevice = {
    0x7A4D0301, 0x5442, 0x4D44, {'T', 'a', 'm', 'b', 'i', 'r', 'R', 'G'}};
const CLSID IID_IDirect3DMMXDevice = {
    0x7A4D0302, 0x5442, 0x4D44, {'T', 'a', 'm', 'b', 'i', 'r', 'M', 'X'}};
const CLSID IID_IDirect3DHALDevice = {
    0x7A4D0303, 0x5442, 0x4D44, {'T', 'a', 'm', 'b', 'i', 'r', 'H', 'L'}};

namespace {

class D3DDevice;

class D3DViewport final : public DDCounted<D3DViewport, IDirect3DViewport3> {
public:
    HRESULT SetViewport2(LPD3DVIEWPORT2 vp) override;
    HRESULT Clear2(DWORD count, LPD3DRECT rects, DWORD flags, D3DCOLOR color, D3DVALUE z,
                   DWORD stencil) override;
    void Apply();

    D3DDevice* device = nullptr;  // set by AddViewport, cleared when the device goes
    bool set = false;
    D3DVIEWPORT2 data = {};
};

class D3DDevice final : public DDCounted<D3DDevice, IDirect3DDevice3> {
public:
    ~D3DDevice() {
        if (bound) bound->Release();
        if (target) target->Release();
        for (D3DViewport* v : viewports) {
            v->device = nullptr;
            v->Release();
        }
    }
    HRESULT AddViewport(LPDIRECT3DVIEWPORT3 viewport) override {
        D3DViewport* v = static_cast<D3DViewport*>(viewport);
        if (!v || v->device) return DDERR_INVALIDPARAMS;
        v->AddRef();
        v->device = this;
        viewports.push_back(v);
        return D3D_OK;
    }
    HRESULT SetCurrentViewport(LPDIRECT3DVIEWPORT3 viewport) override {
        D3DViewport* v = static_cast<D3DViewport*>(viewport);
        if (!v || v->device != this) return DDERR_INVALIDPARAMS;
        current = v;
        v->Apply();
        return D3D_OK;
    }
    HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) override {
        if (!callback) return DDERR_INVALIDPARAMS;
        for (DDPIXELFORMAT f : DDraw_TextureFormats())
            if (callback(&f, context) == D3DENUMRET_CANCEL) break;
        return D3D_OK;
    }
    HRESULT BeginScene() override {
        if (inScene) return D3DERR_SCENE_IN_SCENE;
        inScene = true;
        return D3D_OK;
    }
    HRESULT EndScene() override {
        if (!inScene) return D3DERR_SCENE_NOT_IN_SCENE;
        inScene = false;
        return D3D_OK;
    }
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) override;
    HRESULT SetTexture(DWORD stage, LPDIRECT3DTEXTURE2 texture) override {
        if (stage != 0)
            Win32Unsupported("IDirect3DDevice3::SetTexture", "texture stages other than 0");
        ++DDrawStandIn_Stats().setTexture;
        DDSurface* s = texture ? static_cast<DDTextureFace*>(texture)->surface : nullptr;
        if (s) s->AddRef();
        if (bound) bound->Release();
        bound = s;
        ScSetTexture(card, s ? s->texture : nullptr);
        return D3D_OK;
    }
    HRESULT SetRenderTarget(LPDIRECTDRAWSURFACE4 surface, DWORD) override {
        DDSurface* s = static_cast<DDSurface*>(surface);
        if (!s || (s->kind != DDK_PRIMARY && s->kind != DDK_BACK) || s->Card() != card)
            return DDERR_INVALIDPARAMS;
        if (!s->depth) return DDERR_INVALIDPARAMS;  // the device draws with a z-buffer
        s->AddRef();
        target->Release();
        target = s;
        ScSetRenderBuffer(card, s->Buffer());
        return D3D_OK;
    }
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD vertexType, LPVOID vertices, DWORD count,
                          DWORD) override {
        if (!inScene) return D3DERR_SCENE_NOT_IN_SCENE;
        if (vertexType != (D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1))
            return D3DERR_INVALIDVERTEXTYPE;
        if (!vertices || count > 0x7FFFFFFF) return DDERR_INVALIDPARAMS;
        ScPrim prim;
        switch (type) {
        case D3DPT_TRIANGLELIST: prim = SC_TRIANGLES; break;
        case D3DPT_TRIANGLESTRIP: prim = SC_STRIP; break;
        case D3DPT_TRIANGLEFAN: prim = SC_FAN; break;
        case D3DPT_LINESTRIP: prim = SC_LINE_STRIP; break;
        default: return D3DERR_INVALIDPRIMITIVETYPE;
        }
        if (!target || !target->depth) return DDERR_INVALIDPARAMS;
        if (ScDraw(card, prim, static_cast<const ScVertex*>(vertices), static_cast<int>(count)) < 0)
            return DDERR_INVALIDPARAMS;
        ++DDrawStandIn_Stats().draws;
        return D3D_OK;
    }

    ScCard* card = nullptr;
    std::shared_ptr<DDDisplay> display;
    DDSurface* target = nullptr;  // one ref
    DDSurface* bound = nullptr;   // the bound texture, one ref
    std::vector<D3DViewport*> viewports;
    D3DViewport* current = nullptr;
    bool inScene = false;
    bool hardware = false;
    DWORD minFilter = D3DTFN_POINT, magFilter = D3DTFG_POINT;
};

HRESULT D3DDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    switch (state) {
    case D3DRENDERSTATE_FILLMODE:
        if (value != D3DFILL_SOLID)
            Win32Unsupported("SetRenderState", "fill modes other than solid");
        return D3D_OK;
    case D3DRENDERSTATE_SHADEMODE:
        if (value != D3DSHADE_GOURAUD)
            Win32Unsupported("SetRenderState", "shade modes other than Gouraud");
        return D3D_OK;
    case D3DRENDERSTATE_ALPHATESTENABLE:  // the alpha function stays "always": nothing rejected
    case D3DRENDERSTATE_DITHERENABLE: return D3D_OK;
    case D3DRENDERSTATE_SRCBLEND:
    case D3DRENDERSTATE_DESTBLEND:
        if (value != D3DBLEND_BOTHSRCALPHA)
            Win32Unsupported("SetRenderState", "blend factors other than D3DBLEND_BOTHSRCALPHA");
        return D3D_OK;
    case D3DRENDERSTATE_ALPHABLENDENABLE: ScSetBlend(card, value != 0); return D3D_OK;
    case D3DRENDERSTATE_COLORKEYENABLE: ScSetColorKey(card, value != 0); return D3D_OK;
    case D3DRENDERSTATE_CULLMODE:
        if (value == D3DCULL_NONE)
            ScSetCull(card, SC_CULL_NONE);
        else if (value == D3DCULL_CW)
            ScSetCull(card, SC_CULL_CW);
        else if (value == D3DCULL_CCW)
            ScSetCull(card, SC_CULL_CCW);
        else
            return DDERR_INVALIDPARAMS;
        return D3D_OK;
    case D3DRENDERSTATE_ZFUNC:
        if (value == D3DCMP_LESS)
            ScSetDepthFunc(card, SC_DEPTH_LESS);
        else if (value == D3DCMP_ALWAYS)
            ScSetDepthFunc(card, SC_DEPTH_ALWAYS);
        else
            Win32Unsupported("SetRenderState", "z functions other than less and always");
        return D3D_OK;
    default: Win32Unsupported("IDirect3DDevice3::SetRenderState", "this render state");
    }
}

HRESULT D3DDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) {
    if (stage != 0) Win32Unsupported("SetTextureStageState", "texture stages other than 0");
    switch (state) {
    case D3DTSS_COLOROP:
    case D3DTSS_ALPHAOP:
        if (value != D3DTOP_MODULATE)
            Win32Unsupported("SetTextureStageState", "operations other than modulate");
        return D3D_OK;
    case D3DTSS_COLORARG1:
    case D3DTSS_ALPHAARG1:
        if (value != D3DTA_TEXTURE)
            Win32Unsupported("SetTextureStageState", "first arguments other than the texture");
        return D3D_OK;
    case D3DTSS_COLORARG2:
    case D3DTSS_ALPHAARG2:
        if (value != D3DTA_DIFFUSE)
            Win32Unsupported("SetTextureStageState", "second arguments other than diffuse");
        return D3D_OK;
    case D3DTSS_MINFILTER:
    case D3DTSS_MAGFILTER:
        if (value != D3DTFG_POINT && value != D3DTFG_LINEAR)
            Win32Unsupported("SetTextureStageState", "filters other than point and linear");
        (state == D3DTSS_MINFILTER ? minFilter : magFilter) = value;
        (state == D3DTSS_MINFILTER ? DDrawStandIn_Stats().minFilter
                                   : DDrawStandIn_Stats().magFilter) = value;
        ScSetFilter(card, minFilter == D3DTFN_LINEAR ? SC_BILINEAR : SC_NEAREST,
                    magFilter == D3DTFG_LINEAR ? SC_BILINEAR : SC_NEAREST);
        return D3D_OK;
    default: Win32Unsupported("IDirect3DDevice3::SetTextureStageState", "this stage state");
    }
}

void D3DViewport::Apply() {
    if (!device || !set || device->current != this) return;
    ScSetClip(
        device->card, static_cast<int>(std::min<DWORD>(data.dwX, 4096)),
        static_cast<int>(std::min<DWORD>(data.dwY, 4096)),
        static_cast<int>(std::min<DWORD>(data.dwX, 4096) + std::min<DWORD>(data.dwWidth, 4096)),
        static_cast<int>(std::min<DWORD>(data.dwY, 4096) + std::min<DWORD>(data.dwHeight, 4096)));
}

HRESULT D3DViewport::SetViewport2(LPD3DVIEWPORT2 vp) {
    if (!vp || vp->dwSize != sizeof(D3DVIEWPORT2)) return DDERR_INVALIDPARAMS;
    data = *vp;
    set = true;
    Apply();
    return D3D_OK;
}

HRESULT D3DViewport::Clear2(DWORD count, LPD3DRECT rects, DWORD flags, D3DCOLOR color, D3DVALUE z,
                            DWORD) {
    if (!device || !device->target || (count && !rects)) return DDERR_INVALIDPARAMS;
    ScCard* card = device->card;
    int w = ScWidth(card), h = ScHeight(card);
    uint16_t rgb = static_cast<uint16_t>(((color >> 8) & 0xF800) | ((color >> 5) & 0x07E0) |
                                         ((color >> 3) & 0x001F));
    float zc = std::isnan(z) ? 1.0f : std::clamp(z, 0.0f, 1.0f);
    uint16_t depth = static_cast<uint16_t>(std::lround(zc * 65535.0f));
    uint16_t* colour = ScPixels(card, device->target->Buffer());
    uint16_t* zbuf = ScPixels(card, SC_DEPTH);
    for (DWORD i = 0; i < count; ++i) {
        int x0 = std::clamp<LONG>(rects[i].x1, 0, w), x1 = std::clamp<LONG>(rects[i].x2, 0, w);
        int y0 = std::clamp<LONG>(rects[i].y1, 0, h), y1 = std::clamp<LONG>(rects[i].y2, 0, h);
        for (int y = y0; y < y1; ++y) {
            if (flags & D3DCLEAR_TARGET) std::fill(colour + y * w + x0, colour + y * w + x1, rgb);
            if (flags & D3DCLEAR_ZBUFFER) std::fill(zbuf + y * w + x0, zbuf + y * w + x1, depth);
        }
    }
    return D3D_OK;
}

class D3DObject final : public DDCounted<D3DObject, IDirect3D3> {
public:
    explicit D3DObject(IDirectDraw4* dd) : ddraw(dd) { ddraw->AddRef(); }
    ~D3DObject() { ddraw->Release(); }
    HRESULT CreateDevice(REFCLSID cls, LPDIRECTDRAWSURFACE4 surface, LPDIRECT3DDEVICE3* out,
                         LPUNKNOWN) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        int kind = cls == IID_IDirect3DRGBDevice   ? 0
                   : cls == IID_IDirect3DMMXDevice ? 1
                   : cls == IID_IDirect3DHALDevice ? 2
                                                   : -1;
        DDSurface* s = static_cast<DDSurface*>(surface);
        if (kind < 0 || !s || (s->kind != DDK_PRIMARY && s->kind != DDK_BACK) || !s->Card())
            return DDERR_INVALIDPARAMS;
        if (!(s->caps.dwCaps & DDSCAPS_3DDEVICE)) return DDERR_INVALIDPARAMS;
        D3DDevice* d = new D3DDevice;
        d->card = s->Card();
        d->display = s->display;
        d->hardware = kind == 2;
        s->AddRef();
        d->target = s;
        // The card with this device's defaults: 0..1 depths, no blending, counter-clockwise
        // culling, depth less, no colour key, point filtering, drawing into the target.
        ScSetDepthScale(d->card, 65535.0f);
        ScSetBlend(d->card, false);
        ScSetCull(d->card, SC_CULL_CCW);
        ScSetDepthFunc(d->card, SC_DEPTH_LESS);
        ScSetDepthWrite(d->card, true);
        ScSetColorKey(d->card, false);
        ScSetFilter(d->card, SC_NEAREST, SC_NEAREST);
        ScSetTexture(d->card, nullptr);
        ScSetRenderBuffer(d->card, s->Buffer());
        DDrawStandIn_Stats().deviceClass = kind;
        *out = d;
        return D3D_OK;
    }
    HRESULT CreateViewport(LPDIRECT3DVIEWPORT3* out, LPUNKNOWN) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = new D3DViewport;
        return D3D_OK;
    }
    HRESULT EnumZBufferFormats(REFCLSID, LPD3DENUMPIXELFORMATSCALLBACK callback,
                               LPVOID context) override {
        if (!callback) return DDERR_INVALIDPARAMS;
        for (DDPIXELFORMAT f : DDraw_ZFormats())
            if (callback(&f, context) == D3DENUMRET_CANCEL) break;
        return D3D_OK;
    }

    IDirectDraw4* ddraw;
};

}  // namespace

IDirect3D3* DDraw_MakeDirect3D(IDirectDraw4* ddraw) { return new D3DObject(ddraw); }
