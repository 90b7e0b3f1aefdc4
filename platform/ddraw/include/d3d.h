// d3d.h: the Direct3D 3 interfaces (DirectX 6) the Direct3D device calls, as a stand-in over the
// software card.
//
// Implemented (platform/ddraw):
//   IDirect3D3          CreateDevice (RGB, MMX and HAL device classes, all the software card),
//                       CreateViewport, EnumZBufferFormats (16, 24 and 32 bits)
//   IDirect3DDevice3    AddViewport, SetCurrentViewport, EnumTextureFormats, BeginScene, EndScene,
//                       SetRenderState and SetTextureStageState for the states and values below,
//                       SetTexture (stage 0), SetRenderTarget, DrawPrimitive of pre-transformed
//                       vertices (D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1 only)
//   IDirect3DViewport3  SetViewport2 (its rectangle is the clip window), Clear2
//   IDirect3DTexture2   binding only
// Render states taken: fill mode solid, shade mode Gouraud, alpha test (on with the default
// always-pass function, so it never rejects), blending with D3DBLEND_BOTHSRCALPHA, cull mode,
// z function less or always, colour key enable. Texture stage 0: modulate texture by diffuse for
// colour and alpha, point or linear filters. Anything else ends the program with a clear message.
#pragma once

#include "ddraw.h"

typedef float D3DVALUE;
typedef DWORD D3DCOLOR;

#define D3DERR_SCENE_IN_SCENE MAKE_DDHRESULT(773)
#define D3DERR_SCENE_NOT_IN_SCENE MAKE_DDHRESULT(774)
#define D3DERR_INVALIDPRIMITIVETYPE MAKE_DDHRESULT(717)
#define D3DERR_INVALIDVERTEXTYPE MAKE_DDHRESULT(718)
#define D3DENUMRET_CANCEL DDENUMRET_CANCEL
#define D3DENUMRET_OK DDENUMRET_OK

enum D3DPRIMITIVETYPE {
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6
};

enum D3DRENDERSTATETYPE {
    D3DRENDERSTATE_ZENABLE = 7,
    D3DRENDERSTATE_FILLMODE = 8,
    D3DRENDERSTATE_SHADEMODE = 9,
    D3DRENDERSTATE_ZWRITEENABLE = 14,
    D3DRENDERSTATE_ALPHATESTENABLE = 15,
    D3DRENDERSTATE_SRCBLEND = 19,
    D3DRENDERSTATE_DESTBLEND = 20,
    D3DRENDERSTATE_CULLMODE = 22,
    D3DRENDERSTATE_ZFUNC = 23,
    D3DRENDERSTATE_ALPHAREF = 24,
    D3DRENDERSTATE_ALPHAFUNC = 25,
    D3DRENDERSTATE_DITHERENABLE = 26,
    D3DRENDERSTATE_ALPHABLENDENABLE = 27,
    D3DRENDERSTATE_COLORKEYENABLE = 41
};

enum D3DTEXTURESTAGESTATETYPE {
    D3DTSS_COLOROP = 1,
    D3DTSS_COLORARG1 = 2,
    D3DTSS_COLORARG2 = 3,
    D3DTSS_ALPHAOP = 4,
    D3DTSS_ALPHAARG1 = 5,
    D3DTSS_ALPHAARG2 = 6,
    D3DTSS_ADDRESS = 12,
    D3DTSS_MAGFILTER = 16,
    D3DTSS_MINFILTER = 17
};

#define D3DFILL_SOLID 3
#define D3DSHADE_GOURAUD 2
#define D3DBLEND_SRCALPHA 5
#define D3DBLEND_INVSRCALPHA 6
#define D3DBLEND_BOTHSRCALPHA 12
#define D3DCULL_NONE 1
#define D3DCULL_CW 2
#define D3DCULL_CCW 3
#define D3DCMP_LESS 2
#define D3DCMP_ALWAYS 8
#define D3DTOP_MODULATE 4
#define D3DTA_DIFFUSE 0x00000000
#define D3DTA_TEXTURE 0x00000002
#define D3DTFG_POINT 1
#define D3DTFG_LINEAR 2
#define D3DTFN_POINT 1
#define D3DTFN_LINEAR 2

#define D3DCLEAR_TARGET 0x00000001
#define D3DCLEAR_ZBUFFER 0x00000002

#define D3DFVF_XYZRHW 0x004
#define D3DFVF_DIFFUSE 0x040
#define D3DFVF_TEX1 0x100

#define D3DDP_DONOTUPDATEEXTENTS 0x00000008
#define D3DDP_DONOTLIGHT 0x00000010

struct D3DVIEWPORT2 {
    DWORD dwSize;
    DWORD dwX;
    DWORD dwY;
    DWORD dwWidth;
    DWORD dwHeight;
    D3DVALUE dvClipX;
    D3DVALUE dvClipY;
    D3DVALUE dvClipWidth;
    D3DVALUE dvClipHeight;
    D3DVALUE dvMinZ;
    D3DVALUE dvMaxZ;
};
static_assert(sizeof(D3DVIEWPORT2) == 44, "D3DVIEWPORT2 is 44 bytes");
typedef D3DVIEWPORT2* LPD3DVIEWPORT2;

struct D3DRECT {
    LONG x1, y1, x2, y2;
};
typedef D3DRECT* LPD3DRECT;

typedef HRESULT(WINAPI* LPD3DENUMPIXELFORMATSCALLBACK)(LPDDPIXELFORMAT format, LPVOID context);

struct IDirect3DDevice3;
struct IDirect3DViewport3;
struct IDirect3DTexture2;
typedef IDirect3DDevice3* LPDIRECT3DDEVICE3;
typedef IDirect3DViewport3* LPDIRECT3DVIEWPORT3;
typedef IDirect3DTexture2* LPDIRECT3DTEXTURE2;

struct IDirect3D3 : IUnknown {
    virtual HRESULT CreateDevice(REFCLSID deviceClass, LPDIRECTDRAWSURFACE4 target,
                                 LPDIRECT3DDEVICE3* out, LPUNKNOWN outer) = 0;
    virtual HRESULT CreateViewport(LPDIRECT3DVIEWPORT3* out, LPUNKNOWN outer) = 0;
    virtual HRESULT EnumZBufferFormats(REFCLSID deviceClass, LPD3DENUMPIXELFORMATSCALLBACK callback,
                                       LPVOID context) = 0;

protected:
    ~IDirect3D3() = default;
};
typedef IDirect3D3* LPDIRECT3D3;

struct IDirect3DViewport3 : IUnknown {
    virtual HRESULT SetViewport2(LPD3DVIEWPORT2 viewport) = 0;
    virtual HRESULT Clear2(DWORD count, LPD3DRECT rects, DWORD flags, D3DCOLOR color, D3DVALUE z,
                           DWORD stencil) = 0;

protected:
    ~IDirect3DViewport3() = default;
};

struct IDirect3DTexture2 : IUnknown {
protected:
    ~IDirect3DTexture2() = default;
};

struct IDirect3DDevice3 : IUnknown {
    virtual HRESULT AddViewport(LPDIRECT3DVIEWPORT3 viewport) = 0;
    virtual HRESULT SetCurrentViewport(LPDIRECT3DVIEWPORT3 viewport) = 0;
    virtual HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state,
                                         DWORD value) = 0;
    virtual HRESULT SetTexture(DWORD stage, LPDIRECT3DTEXTURE2 texture) = 0;
    virtual HRESULT SetRenderTarget(LPDIRECTDRAWSURFACE4 target, DWORD flags) = 0;
    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD vertexType, LPVOID vertices,
                                  DWORD count, DWORD flags) = 0;

protected:
    ~IDirect3DDevice3() = default;
};

// The C-style call of the period code, for the one call whose text the device reports.
#define IDirect3DDevice3_DrawPrimitive(p, a, b, c, d, e) (p)->DrawPrimitive(a, b, c, d, e)

extern const CLSID IID_IDirect3DRGBDevice;
extern const CLSID IID_IDirect3DMMXDevice;
extern const CLSID IID_IDirect3DHALDevice;
