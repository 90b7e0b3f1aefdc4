// trx_dx_image.cpp: the Direct3D device's pixel paths past the 3D pipeline: device images (title
// pictures copied into a frame buffer with a blit) and the depth read of the flares.
#include <cstdarg>
#include <cstdint>
#include <cstring>

#include "trx_dx_state.h"

// Fixed source layouts of the pictures: 5-6-5 and 8-bit palettised.
static const DxPixelLayout picture565 = {1, 16, {8, 5, 3, 0}, {0xFF0000, 0xFF00, 0xFF, 0}, 1, 0};
static const DxPixelLayout picture8 = {1, 8, {0, 0, 0, 0}, {0xFF0000, 0xFF00, 0xFF, 0}, 3, 0};

byte DevCreateImage(DeviceImage* image, const TexEntry* picture) {
    if (!image) return DEV_ERR_CALL_FAILED;
    std::memset(image, 0, sizeof *image);
    if (!picture || (picture->format != TEX_P8 && picture->format != TEX_RGB565))
        return DEV_ERR_BAD_SELECTOR;
    const DxPixelLayout& source = picture->format == TEX_P8 ? picture8 : picture565;
    size_t row = static_cast<size_t>(picture->width > 0 ? picture->width : 0) * (source.bits / 8);
    // Pixels that do not cover the picture cannot be copied.
    if (!dx.ddraw || !picture->pixels || picture->width <= 0 || picture->height <= 0 ||
        picture->size < row * static_cast<size_t>(picture->height))
        return DEV_ERR_CALL_FAILED;
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.dwWidth = static_cast<DWORD>(picture->width);
    desc.dwHeight = static_cast<DWORD>(picture->height);
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    LPDIRECTDRAWSURFACE4 surface = nullptr;
    if (FAILED(dx.ddraw->CreateSurface(&desc, &surface, nullptr))) return DEV_ERR_CALL_FAILED;
    DDSURFACEDESC2 lock = {};
    lock.dwSize = sizeof lock;
    if (FAILED(surface->Lock(nullptr, &lock, DDLOCK_WRITEONLY | DDLOCK_NOSYSLOCK, nullptr))) {
        surface->Release();
        return DEV_ERR_CALL_FAILED;
    }
    DxPixelLayout target;
    DxDeriveLayout(lock.ddpfPixelFormat, &target);
    static const uint32_t black[256] = {};
    const uint32_t* palette = picture->palette ? picture->palette : black;
    const uint8_t* from = picture->pixels;
    uint8_t* to = static_cast<uint8_t*>(lock.lpSurface);
    for (int y = 0; y < picture->height; ++y, from += row, to += lock.lPitch)
        DxConvertPixels(source, target, from, to, picture->width, palette);
    image->width = picture->width;
    image->height = picture->height;
    image->format = 0;
    image->pitch = lock.lPitch;
    image->storage = surface;
    surface->Unlock(nullptr);
    return DEV_OK;
}

byte DevDrawImage(DeviceImage* image, ...) {
    if (!image || !image->storage) return DEV_OK;
    int x = image->x, y = image->y;
    bool front = false;
    va_list args;
    va_start(args, image);
    for (int tag = va_arg(args, int); tag != 0; tag = va_arg(args, int)) {
        switch (tag) {
        case DEV_IMG_POS:
            x = va_arg(args, int);
            y = va_arg(args, int);
            break;
        case DEV_IMG_IGNORED1: (void)va_arg(args, int); break;
        case DEV_IMG_IGNORED2:
            (void)va_arg(args, int);
            (void)va_arg(args, int);
            break;
        case DEV_IMG_FRONT: front = true; break;
        case DEV_IMG_BACK: front = false; break;
        default: va_end(args); return DEV_ERR_BAD_SELECTOR;
        }
    }
    va_end(args);
    if (!dx.open) return DEV_ERR_CALL_FAILED;
    DevEndScene();
    LPDIRECTDRAWSURFACE4 target = dx.primary;
    if (!front) {
        DDSCAPS2 caps = {};
        caps.dwCaps = DDSCAPS_BACKBUFFER;
        if (FAILED(dx.primary->GetAttachedSurface(&caps, &target))) return DEV_ERR_CALL_FAILED;
        target->Release();  // lives as long as the primary surface
    }
    // A rectangle whose corner does not fit the coordinates lies outside any target.
    long long right = static_cast<long long>(x) + image->width,
              bottom = static_cast<long long>(y) + image->height;
    if (right > INT32_MAX || bottom > INT32_MAX) return DEV_ERR_CALL_FAILED;
    RECT rect = {x, y, static_cast<LONG>(right), static_cast<LONG>(bottom)};
    HRESULT hr =
        target->Blt(&rect, static_cast<LPDIRECTDRAWSURFACE4>(image->storage), nullptr, 0, nullptr);
    return SUCCEEDED(hr) ? DEV_OK : DEV_ERR_CALL_FAILED;
}

byte DevFreeImage(DeviceImage* image) {
    if (!image) return 0;
    if (image->storage) static_cast<LPDIRECTDRAWSURFACE4>(image->storage)->Release();
    std::memset(image, 0, sizeof *image);
    return 0;
}

float DevReadDepth(int x, int y, byte) {
    if (!dx.open) return 0.0f;
    DevEndScene();
    if (x < 0 || y < 0 || x >= dx.width || y >= dx.height) return 0.0f;  // the lock would fail
    RECT rect = {x, y, x + 1, y + 1};
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    if (FAILED(dx.depth->Lock(&rect, &desc, DDLOCK_WAIT | DDLOCK_READONLY | DDLOCK_NOSYSLOCK,
                              nullptr)))
        return 0.0f;
    uint32_t raw = 0;
    int bytes = static_cast<int>(dx.depthFormat.dwZBufferBitDepth / 8);
    const uint8_t* p = static_cast<const uint8_t*>(desc.lpSurface);
    for (int k = 0; k < bytes && k < 4; ++k) raw |= uint32_t(p[k]) << (8 * k);
    dx.depth->Unlock(&rect);
    return static_cast<float>(raw) / dx.depthScale;
}
