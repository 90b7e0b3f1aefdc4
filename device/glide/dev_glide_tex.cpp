// dev_glide_tex.cpp: the Glide device's textures. Uploads copy the library entry; the texels go
// into the board's texture memory on the first bind, into a ring per texture unit whose oldest
// residents are evicted when the ring wraps.
#include <cstdlib>
#include <cstring>

#include "dev_glide.h"
#include "dev_glide_state.h"
#include "device.h"
#include "glide.h"
#include "texentry.h"

bool GlideTexShape(int width, int height, GrLOD_t* lod, GrAspectRatio_t* aspect, float* sScale,
                   float* tScale) {
    if (width <= 0 || height <= 0 || (width & (width - 1)) || (height & (height - 1))) return false;
    int longer = width > height ? width : height;
    if (longer > 256) return false;
    int log2w = 0, log2h = 0, log2l = 0;
    while ((1 << log2w) < width) ++log2w;
    while ((1 << log2h) < height) ++log2h;
    while ((1 << log2l) < longer) ++log2l;
    int a = log2w - log2h;
    if (a < -3 || a > 3) return false;
    *lod = log2l;
    *aspect = a;
    // s spans 0..256 along the longer side, 256 / ratio along the shorter.
    *sScale = 256.0f * static_cast<float>(width) / static_cast<float>(longer);
    *tScale = 256.0f * static_cast<float>(height) / static_cast<float>(longer);
    return true;
}

int GlideTableSize(void) { return glide.texTableSize; }

bool GlideResident(int handle, int* unit, uint32_t* address, uint32_t* size) {
    if (!glide.residents || handle < 0 || handle > 0xFFFF || !glide.residents[handle]) return false;
    *unit = glide.residents[handle]->unit;
    *address = glide.residents[handle]->address;
    *size = glide.residents[handle]->size;
    return true;
}

uint32_t GlideNextFree(int unit) { return unit >= 0 && unit < 3 ? glide.units[unit].nextFree : 0; }
void GlideSetNextFree(int unit, uint32_t address) {
    if (unit >= 0 && unit < 3) glide.units[unit].nextFree = address;
}

static void ReleaseEntry(TexEntry* e) {
    std::free(e->pixels);
    std::free(e->palette);
    std::memset(e, 0xFF, sizeof *e);
}

void DevInitTextures(void) {
    glide.fallbackHandle = -1;
    glide.chromaKey = -1;
    glide.texturedMode = 255;
    glide.boundHandle = -1;  // nothing bound: the next bind of any handle happens
    if (glide.residents) return;
    for (TexUnit& u : glide.units) u = TexUnit{nullptr, nullptr, 0};
    glide.texTable = nullptr;
    glide.texTableSize = 0;
    glide.residents = static_cast<Resident**>(std::calloc(65536, sizeof(Resident*)));
}

byte DevUploadTexture(const TexEntry* entry, int handle) {
    if (!entry || handle < 0 || handle > 0xFFFF) return DEV_ERR_FAILURE;
    if (entry->format == TEX_EMPTY) return DEV_OK;
    if (handle >= glide.texTableSize) {
        int size = (handle + 256) / 256 * 256;
        TexEntry* grown =
            static_cast<TexEntry*>(std::realloc(glide.texTable, size * sizeof(TexEntry)));
        if (!grown) return DEV_ERR_REFUSED;
        std::memset(grown + glide.texTableSize, 0xFF,
                    (size - glide.texTableSize) * sizeof(TexEntry));
        glide.texTable = grown;
        glide.texTableSize = size;
    }
    TexEntry* e = &glide.texTable[handle];
    if (e->format != TEX_EMPTY) return DEV_ERR_HANDLE_USED;
    *e = *entry;
    e->pixels = nullptr;
    e->palette = nullptr;
    if (entry->pixels && entry->size) {
        e->pixels = static_cast<uint8_t*>(std::malloc(entry->size));
        if (e->pixels) std::memcpy(e->pixels, entry->pixels, entry->size);
    }
    if (entry->palette) {
        e->palette = static_cast<uint32_t*>(std::malloc(1024));
        if (e->palette) std::memcpy(e->palette, entry->palette, 1024);
    }
    if (!e->pixels) e->size = 0;
    return DEV_OK;
}

byte DevFreeTexture(int handle) {
    if (handle < 0 || handle >= glide.texTableSize || glide.texTable[handle].format == TEX_EMPTY)
        return DEV_OK;
    ReleaseEntry(&glide.texTable[handle]);
    // It leaves the unit's list: a texture uploaded later under the same handle is downloaded
    // afresh, and its bytes are simply reused when the ring comes round.
    if (glide.residents && glide.residents[handle]) {
        Resident* gone = glide.residents[handle];
        TexUnit& u = glide.units[gone->unit];
        Resident* before = nullptr;
        for (Resident* r = u.oldest; r && r != gone; r = r->next) before = r;
        if (before)
            before->next = gone->next;
        else
            u.oldest = gone->next;
        if (u.youngest == gone) u.youngest = before;
        glide.residents[handle] = nullptr;
        std::free(gone);
    }
    if (glide.boundHandle == handle) glide.boundHandle = -1;
    return DEV_OK;
}

const TexEntry* DevGetTexture(int handle) {
    if (handle < 0 || handle >= glide.texTableSize || glide.texTable[handle].format == TEX_EMPTY)
        return nullptr;
    return &glide.texTable[handle];
}

// Finds texture memory for `size` bytes on the unit, evicting the oldest residents in the way.
static FxU32 Allocate(int unit, FxU32 size) {
    FxU32 low = grTexMinAddress(unit), high = grTexMaxAddress(unit);
    TexUnit& u = glide.units[unit];
    FxU32 address = u.nextFree ? u.nextFree : low;
    // A texture must not straddle the 2 MB boundary.
    if (address - low < 0x200000 && address - low + size > 0x200000) address = 0x200000;
    if (address + size > high) address = low;  // the ring wraps
    while (u.oldest && u.oldest->address >= address && u.oldest->address < address + size) {
        Resident* gone = u.oldest;
        u.oldest = gone->next;
        if (!u.oldest) u.youngest = nullptr;
        if (gone->handle >= 0) glide.residents[gone->handle] = nullptr;
        std::free(gone);
    }
    u.nextFree = address + size;
    return address;
}

static bool Download(int unit, int handle, const TexEntry* e) {
    GrLOD_t lod;
    GrAspectRatio_t aspect;
    float sScale, tScale;
    if (!GlideTexShape(e->width, e->height, &lod, &aspect, &sScale, &tScale)) return false;
    int bytes = TexFormatBytes(e->format);
    size_t need = static_cast<size_t>(e->width) * static_cast<size_t>(e->height) * bytes;
    if (bytes == 0 || !e->pixels || e->size < need) return false;
    if ((e->format == TEX_P8 || e->format == TEX_AP88) && !e->palette) return false;

    GrTexInfo info;
    info.smallLodLog2 = lod;
    info.largeLodLog2 = lod;
    info.aspectRatioLog2 = aspect;
    info.format = e->format;
    info.data = e->pixels;
    FxU32 size = grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &info);
    FxU32 address = Allocate(unit, size);
    grTexDownloadMipMap(unit, address, GR_MIPMAPLEVELMASK_BOTH, &info);

    Resident* r = static_cast<Resident*>(std::malloc(sizeof(Resident)));
    if (!r) return false;
    *r = Resident{handle, unit, address, size, info, sScale, tScale, nullptr};
    TexUnit& u = glide.units[unit];
    if (u.youngest)
        u.youngest->next = r;
    else
        u.oldest = r;
    u.youngest = r;
    glide.residents[handle] = r;
    return true;
}

static void CombineTextured(void) {
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL,
                   GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
    grAlphaCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL,
                   GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
}

byte DevSetTexture(int unit, int handle) {
    if (handle == glide.boundHandle) return DEV_OK;
    if (unit < 0 || unit > 2 || !glide.residents) return DEV_ERR_REFUSED;
    while (handle > 0 && handle < glide.texTableSize &&
           glide.texTable[handle].format != TEX_EMPTY) {
        TexEntry* e = &glide.texTable[handle];
        int resolved = TexAnimResolve(handle, e->frames);
        if (resolved != handle) {
            handle = resolved;
            continue;
        }
        if (!glide.residents[handle] && !Download(unit, handle, e)) return DEV_ERR_DOWNLOAD;
        if (glide.texturedMode != 1) {
            CombineTextured();
            glide.texturedMode = 1;
        }
        if (e->palette) grTexDownloadTable(GR_TEXTABLE_PALETTE, e->palette);
        Resident* r = glide.residents[handle];
        grTexSource(unit, r->address, GR_MIPMAPLEVELMASK_BOTH, &r->info);
        glide.sScale = r->sScale;
        glide.tScale = r->tScale;
        if (e->colorkey != glide.chromaKey) {
            if (glide.chromaKey == -1) grChromakeyMode(GR_CHROMAKEY_ENABLE);
            if (e->colorkey == -1) grChromakeyMode(GR_CHROMAKEY_DISABLE);
            glide.chromaKey = e->colorkey;
            if (glide.chromaKey != -1) grChromakeyValue(static_cast<GrColor_t>(glide.chromaKey));
        }
        glide.boundHandle = handle;
        return DEV_OK;
    }
    if (handle != 0) return DEV_ERR_MAKE_TEXTURE;
    if (glide.texturedMode != 0) {
        grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE,
                       GR_COMBINE_LOCAL_CONSTANT, GR_COMBINE_OTHER_ITERATED, FXFALSE);
        grAlphaCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE,
                       GR_COMBINE_LOCAL_CONSTANT, GR_COMBINE_OTHER_ITERATED, FXFALSE);
        grChromakeyMode(GR_CHROMAKEY_DISABLE);
        glide.chromaKey = -1;
        glide.texturedMode = 0;
    }
    glide.boundHandle = 0;
    glide.sScale = glide.tScale = 256.0f;
    return DEV_OK;
}
