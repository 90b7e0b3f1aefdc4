// trx_dx_tex.cpp: textures of the Direct3D device: the handle table, the choice of a device pixel
// format for each texture library format, the pixel converter through 0xAARRGGBB, palettes,
// colour keys and binding with texture animation.
#include <cstdlib>
#include <cstring>

#include "trx_dx_state.h"

// Source pixel formats by texture library format code: flags, bits, R (or luminance, alpha),
// G, B and alpha masks. Code 14 has 16-bit texels (alpha byte over the palette index).
static const DWORD sourceFormats[15][6] = {
    {DDPF_RGB, 8, 0xE0, 0x1C, 0x03, 0},                                         // 0 RGB 3-3-2
    {DDPF_YUV, 8, 0xF0, 0x0C, 0x03, 0},                                         // 1 YIQ 4-2-2
    {DDPF_ALPHA, 8, 0xFF, 0, 0, 0},                                             // 2 alpha 8
    {DDPF_LUMINANCE, 8, 0xFF, 0, 0, 0},                                         // 3 intensity 8
    {DDPF_LUMINANCE | DDPF_ALPHAPIXELS, 8, 0x0F, 0, 0, 0xF0},                   // 4 AI 4-4
    {DDPF_PALETTEINDEXED8 | DDPF_RGB, 8, 0, 0, 0, 0},                           // 5 palettised 8
    {0, 0, 0, 0, 0, 0},                                                         // 6
    {0, 0, 0, 0, 0, 0},                                                         // 7
    {DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0xE0, 0x1C, 0x03, 0xFF00},                // 8 ARGB 8-3-3-2
    {DDPF_YUV | DDPF_ALPHAPIXELS, 16, 0xF0, 0x0C, 0x03, 0xFF00},                // 9 AYIQ 8-4-2-2
    {DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F, 0},                                  // 10 RGB 5-6-5
    {DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0x7C00, 0x03E0, 0x001F, 0x8000},          // 11 ARGB 1-5-5-5
    {DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0x0F00, 0x00F0, 0x000F, 0xF000},          // 12 ARGB 4-4-4-4
    {DDPF_LUMINANCE | DDPF_ALPHAPIXELS, 16, 0xFF, 0, 0, 0xFF00},                // 13 AI 8-8
    {DDPF_PALETTEINDEXED8 | DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0, 0, 0, 0xFF00},  // 14 AP 8-8
};

DDPIXELFORMAT DxSourceFormat(int code) {
    DDPIXELFORMAT f = {};
    f.dwSize = sizeof f;
    if (code < 0 || code > 14) return f;
    const DWORD* row = sourceFormats[code];
    f.dwFlags = row[0];
    f.dwRGBBitCount = row[1];
    f.dwRBitMask = row[2];
    f.dwGBitMask = row[3];
    f.dwBBitMask = row[4];
    f.dwRGBAlphaBitMask = row[5];
    return f;
}

// Bits from the lowest to the highest set bit of m.
static int Span(DWORD m) {
    if (!m) return 0;
    int lo = 0, hi = 31;
    while (!(m & (1u << lo))) ++lo;
    while (!(m & (1u << hi))) --hi;
    return hi - lo + 1;
}

static int AlphaBits(const DDPIXELFORMAT& f, const DDPIXELFORMAT& source) {
    if ((f.dwFlags & DDPF_ALPHA) && (source.dwFlags & DDPF_ALPHA))
        return static_cast<int>(f.dwRGBBitCount);
    if (f.dwFlags & DDPF_ALPHAPIXELS) return Span(f.dwRGBAlphaBitMask);
    return 0;
}

const DDPIXELFORMAT* DxChooseFormat(const DxFormatNode* list, const DDPIXELFORMAT& source,
                                    int* convert) {
    *convert = 1;
    for (const DxFormatNode* n = list; n; n = n->next)
        if (std::memcmp(&n->format, &source, sizeof source) == 0) {
            *convert = 0;
            return &n->format;
        }
    const DDPIXELFORMAT* pick = nullptr;
    for (const DxFormatNode* n = list; n; n = n->next)
        if (n->format.dwFlags == source.dwFlags && n->format.dwRGBBitCount == source.dwRGBBitCount)
            pick = &n->format;
    if (pick) return pick;
    bool alpha = (source.dwFlags & (DDPF_ALPHAPIXELS | DDPF_ALPHA)) != 0;
    for (const DxFormatNode* n = list; n; n = n->next) {
        const DDPIXELFORMAT& f = n->format;
        if (f.dwRGBBitCount != 16) continue;
        if (alpha && f.dwFlags == (DDPF_RGB | DDPF_ALPHAPIXELS) &&
            (f.dwRBitMask == 0xF00 || f.dwRBitMask == 0xF0) &&
            (f.dwRGBAlphaBitMask == 0xF000 || f.dwRGBAlphaBitMask == 0xF))
            return &f;
        if (!alpha && f.dwFlags == DDPF_RGB) return &f;
    }
    const DWORD paletteKinds =
        DDPF_PALETTEINDEXED4 | DDPF_PALETTEINDEXEDTO8 | DDPF_PALETTEINDEXED1 | DDPF_PALETTEINDEXED2;
    if (alpha) {
        int best = -1;
        for (const DxFormatNode* n = list; n; n = n->next) {
            if (n->format.dwFlags & paletteKinds) continue;
            int bits = AlphaBits(n->format, source);
            if (bits > best) best = bits, pick = &n->format;
        }
        if (pick) return pick;
    }
    for (const DxFormatNode* n = list; n; n = n->next) {
        if ((n->format.dwFlags & paletteKinds) || !(n->format.dwFlags & DDPF_RGB)) continue;
        if (!pick || n->format.dwRGBBitCount > pick->dwRGBBitCount) pick = &n->format;
    }
    if (pick) return pick;
    return list ? &list->format : nullptr;
}

// Places mask m with its highest bit at top bit t.
static void Place(DWORD m, int t, int* shift, uint32_t* placed) {
    int n = 0;
    for (int b = 31; b >= 0; --b)
        if (m & (1u << b)) {
            n = b + 1;
            break;
        }
    *shift = t - n;
    *placed = *shift >= 0 ? (*shift >= 32 ? 0 : m << *shift) : (m >> -*shift);
}

void DxDeriveLayout(const DDPIXELFORMAT& f, DxPixelLayout* l) {
    std::memset(l, 0, sizeof *l);
    if (f.dwFlags & DDPF_ALPHA) {
        DWORD bits = f.dwRGBBitCount;
        Place(bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1, 32, &l->shift[3], &l->mask[3]);
        l->kind = 4;
    }
    if (f.dwFlags & DDPF_ALPHAPIXELS) {
        Place(f.dwRGBAlphaBitMask, 32, &l->shift[3], &l->mask[3]);
        l->hasAlpha = 1;
    }
    if (f.dwFlags & DDPF_PALETTEINDEXED8) {
        l->mask[0] = 0xFF0000, l->mask[1] = 0xFF00, l->mask[2] = 0xFF;
        l->shift[0] = l->shift[1] = l->shift[2] = 0;
        l->kind = 3;
    }
    if (f.dwFlags & DDPF_LUMINANCE) {
        Place(f.dwRBitMask, 24, &l->shift[0], &l->mask[0]);
        Place(f.dwRBitMask, 16, &l->shift[1], &l->mask[1]);
        Place(f.dwRBitMask, 8, &l->shift[2], &l->mask[2]);
        l->kind = 2;
    }
    if ((f.dwFlags & DDPF_RGB) && !(f.dwFlags & DDPF_PALETTEINDEXED8)) {
        Place(f.dwRBitMask, 24, &l->shift[0], &l->mask[0]);
        Place(f.dwGBitMask, 16, &l->shift[1], &l->mask[1]);
        Place(f.dwBBitMask, 8, &l->shift[2], &l->mask[2]);
        l->kind = 1;
    }
    l->valid = 1;
    l->bits = static_cast<int>(f.dwRGBBitCount);
}

static uint32_t Shift(uint32_t v, int s) {
    if (s >= 32 || s <= -32) return 0;
    return s >= 0 ? v << s : v >> -s;
}

void DxConvertPixels(const DxPixelLayout& src, const DxPixelLayout& dst, const uint8_t* from,
                     uint8_t* to, int n, const uint32_t* palette) {
    int sb = src.bits / 8, db = dst.bits / 8;
    if (!src.valid || !dst.valid || sb < 1 || sb > 4 || db < 1 || db > 4) return;
    for (int i = 0; i < n; ++i, from += sb, to += db) {
        uint32_t w = 0;
        for (int k = 0; k < sb; ++k) w |= uint32_t(from[k]) << (8 * k);  // stays inside the pixel
        uint32_t value = 0;
        if (src.kind == 3) {
            // The index selects the colour; a second byte is alpha, moved to the top here and
            // therefore not shifted again below.
            w = ((w & ~0xFFu) << 16) | ((palette ? palette[w & 0xFF] : 0) & 0xFFFFFF);
            value = (w & 0xFF000000u & src.mask[3]) |
                    (w & 0xFFFFFF & (src.mask[0] | src.mask[1] | src.mask[2]));
        } else {
            for (int c = 0; c < 4; ++c) value |= Shift(w, src.shift[c]) & src.mask[c];
        }
        if (src.kind == 4) value |= 0xFFFFFF;
        uint32_t out = 0;
        for (int c = 0; c < 4; ++c) out |= Shift(value & dst.mask[c], -dst.shift[c]);
        for (int k = 0; k < db; ++k) to[k] = static_cast<uint8_t>(out >> (8 * k));
    }
}

uint32_t DxConvertKey(const DxPixelLayout& l, uint32_t key) {
    if (l.kind == 3) return 0;
    uint32_t out = 0;
    for (int c = 0; c < 4; ++c) out |= Shift(key & l.mask[c], -l.shift[c]);
    return out;
}

// ---- the handle table ----

void DevInitTextures(void) {
    if (!dx.table) dx.table = static_cast<DxTexture**>(std::calloc(65536, sizeof(DxTexture*)));
    dx.bound = 0;
}

DxTexture* DxTextureRecord(int handle) {
    if (!dx.table || handle < 0 || handle > 0xFFFF) return nullptr;
    return dx.table[handle];
}
int DxBoundHandle(void) { return dx.bound; }

// Makes and fills the surface of an entry; null on failure.
static LPDIRECTDRAWSURFACE4 MakeSurface(const TexEntry* entry) {
    if (!entry->pixels || !dx.ddraw || !dx.formats || entry->width <= 0 || entry->height <= 0)
        return nullptr;
    DDPIXELFORMAT source = DxSourceFormat(entry->format);
    int bits = static_cast<int>(source.dwRGBBitCount);
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return nullptr;  // no such texels
    size_t row = static_cast<size_t>(entry->width) * (bits / 8);
    if (entry->size < row * static_cast<size_t>(entry->height)) return nullptr;  // pixels too short
    int convert = 1;
    const DDPIXELFORMAT* device = DxChooseFormat(dx.formats, source, &convert);
    if (!device) return nullptr;
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    desc.dwWidth = static_cast<DWORD>(entry->width);
    desc.dwHeight = static_cast<DWORD>(entry->height);
    desc.ddpfPixelFormat = *device;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    desc.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
    LPDIRECTDRAWSURFACE4 surface = nullptr;
    if (FAILED(dx.ddraw->CreateSurface(&desc, &surface, nullptr))) return nullptr;

    static const uint32_t black[256] = {};
    const uint32_t* palette = entry->palette ? entry->palette : black;
    DxPixelLayout dstLayout;
    DxDeriveLayout(*device, &dstLayout);
    DDSURFACEDESC2 lock = {};
    lock.dwSize = sizeof lock;
    if (SUCCEEDED(surface->Lock(nullptr, &lock, DDLOCK_WAIT | DDLOCK_NOSYSLOCK, nullptr))) {
        DxPixelLayout srcLayout;
        DxDeriveLayout(source, &srcLayout);
        const uint8_t* from = entry->pixels;
        uint8_t* to = static_cast<uint8_t*>(lock.lpSurface);
        size_t destRow = static_cast<size_t>(entry->width) * (dstLayout.bits / 8);
        for (int y = 0; y < entry->height; ++y, from += row, to += lock.lPitch) {
            if (!convert)
                std::memcpy(to, from, row < destRow ? row : destRow);
            else
                DxConvertPixels(srcLayout, dstLayout, from, to, entry->width, palette);
        }
        if (FAILED(surface->Unlock(nullptr))) {
            surface->Release();
            return nullptr;
        }
    }
    if (device->dwFlags & DDPF_PALETTEINDEXED8) {
        PALETTEENTRY entries[256];
        for (int i = 0; i < 256; ++i)
            entries[i] = {BYTE(palette[i] >> 16), BYTE(palette[i] >> 8), BYTE(palette[i]), 0};
        LPDIRECTDRAWPALETTE pal = nullptr;
        if (FAILED(dx.ddraw->CreatePalette(DDPCAPS_8BIT | DDPCAPS_INITIALIZE | DDPCAPS_ALLOW256,
                                           entries, &pal, nullptr))) {
            surface->Release();
            return nullptr;
        }
        HRESULT hr = surface->SetPalette(pal);
        pal->Release();
        if (FAILED(hr)) {
            surface->Release();
            return nullptr;
        }
    }
    if (entry->colorkey != -1) {
        uint32_t key = DxConvertKey(dstLayout, static_cast<uint32_t>(entry->colorkey));
        DDCOLORKEY ck = {key, key};
        if (FAILED(surface->SetColorKey(DDCKEY_SRCBLT, &ck))) {
            surface->Release();
            return nullptr;
        }
    }
    return surface;
}

byte DevUploadTexture(const TexEntry* entry, int handle) {
    if (!entry || handle < 0 || handle > 0xFFFF) return DEV_ERR_FAILURE;
    if (!dx.table) DevInitTextures();
    if (!dx.table) return DEV_ERR_FAILURE;
    if (dx.table[handle]) return DEV_ERR_HANDLE_USED;
    if (entry->format == -1) return DEV_OK;
    LPDIRECTDRAWSURFACE4 surface = MakeSurface(entry);
    if (!surface) return DEV_ERR_MAKE_TEXTURE;
    LPDIRECT3DTEXTURE2 texture = nullptr;
    if (FAILED(
            surface->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&texture)))) {
        surface->Release();
        return DEV_ERR_FAILURE;
    }
    DxTexture* record = static_cast<DxTexture*>(std::malloc(sizeof(DxTexture)));
    if (!record) {
        texture->Release();
        surface->Release();
        return DEV_ERR_FAILURE;
    }
    record->surface = surface;
    record->texture = texture;
    record->entry = *entry;
    record->entry.palette = nullptr;
    record->entry.pixels = nullptr;
    dx.table[handle] = record;
    return DEV_OK;
}

byte DevFreeTexture(int handle) {
    DxTexture* record = DxTextureRecord(handle);
    if (!record) return 0;
    if (dx.bound == handle) {
        // A later upload into this handle must be bound again, not taken for the bound one.
        if (dx.device) dx.device->SetTexture(0, nullptr);
        dx.bound = 0;
    }
    record->texture->Release();
    record->surface->Release();
    std::free(record);
    dx.table[handle] = nullptr;
    return 0;
}

byte DevSetTexture(int, int handle) {
    if (handle == dx.bound) return DEV_OK;
    while (handle != 0) {
        DxTexture* record = DxTextureRecord(handle);
        if (record) {
            int resolved = TexAnimResolve(handle, record->entry.frames);
            if (resolved == handle) {
                if (!dx.device || FAILED(dx.device->SetTexture(0, record->texture)))
                    return DEV_ERR_REFUSED;
                dx.bound = handle;
                return DEV_OK;
            }
            handle = resolved;
        } else {
            handle = 0;
            if (dx.bound == 0) return DEV_OK;
        }
    }
    if (dx.device) dx.device->SetTexture(0, nullptr);
    dx.bound = 0;
    return DEV_OK;
}

const TexEntry* DevGetTexture(int handle) {
    DxTexture* record = DxTextureRecord(handle);
    return record ? &record->entry : nullptr;
}
