// ddraw_standin.h: what the DirectDraw/Direct3D stand-in offers beyond the DirectX calls, for tests
// and tools. The system's own code never includes it.
#pragma once

#include "d3d.h"

struct ScCard;

// Counts and last values of calls that leave no other trace. Tests may zero it at any time.
struct DDrawStandInStats {
    int flips = 0;         // IDirectDrawSurface4::Flip calls that presented
    int waitBegin = 0;     // WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN)
    int waitEnd = 0;       // WaitForVerticalBlank(DDWAITVB_BLOCKEND)
    int setTexture = 0;    // IDirect3DDevice3::SetTexture calls
    int draws = 0;         // successful DrawPrimitive calls
    int deviceClass = -1;  // last CreateDevice: 0 RGB, 1 MMX, 2 HAL
    DWORD zCaps = 0;       // caps of the last z-buffer made
    DWORD zBits = 0;       // bit depth of the last z-buffer made
    DWORD magFilter = 0;   // last D3DTSS_MAGFILTER value
    DWORD minFilter = 0;   // last D3DTSS_MINFILTER value
};
DDrawStandInStats& DDrawStandIn_Stats(void);

// Replaces the texture formats IDirect3DDevice3::EnumTextureFormats offers (in that order) or the
// z-buffer formats of IDirect3D3::EnumZBufferFormats; a negative count restores the defaults
// (textures: 4-4-4-4, 1-5-5-5, 5-6-5, 3-3-2, palettised 8, 8-8-8-8; z: 16, 24, 32 bits).
void DDrawStandIn_SetTextureFormats(const DDPIXELFORMAT* formats, int count);
void DDrawStandIn_SetZBufferFormats(const DDPIXELFORMAT* formats, int count);

// The software card behind the current display mode (null before SetDisplayMode).
ScCard* DDrawStandIn_Card(void);

// Marks the display's surfaces lost (primary surfaces and their back buffers), as a mode switch
// by another program would; until the program restores them they refuse Lock, Flip and Blt.
// A flip while the exclusive window is minimised loses them too, and Restore refuses
// (DDERR_WRONGMODE) until the window shows again.
// Textures (the device's are managed) and off-screen surfaces keep their contents and stay.
// Programs: TAMBIR_DDRAW_LOSE_AT=N[,N...] loses them at the Nth flips (counted from 1), which
// then return DDERR_SURFACELOST: for tests of a display lost while the show runs.
void DDrawStandIn_LoseSurfaces(void);
