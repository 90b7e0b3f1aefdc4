// dev_glide_tex.cpp: the Glide device's textures. Uploads copy the library entry; the texels go
// into the board's texture memory on the first bind, into a ring per texture unit whose oldest
// residents are evicted when the ring wraps.
#include <cstdlib>
#include <cstring>

#include "dev_glide.h"
#include "device.h"
#include "glide.h"
#include "texentry.h"

// One texture's place in a unit's texture memory.
struct Resident {
    int handle;
    int unit;
    FxU32 address;
    FxU32 size;
    GrTexInfo info;
    float sScale, tScale;  // u, v (0..1) to Glide's s, t
    Resident* next;        // the next younger resident of the unit
};

struct TexUnit {
    Resident* oldest;
    Resident* youngest;
    FxU32 nextFree;  // 0 = not set yet
};

float glideSScale = 256.0f, glideTScale = 256.0f;

static TexEntry* texTable;   // texTableSize copies; format -1 = free
static int texTableSize;     // a multiple of 256
static Resident** residents;  // 65536 pointers, one per handle
static TexUnit units[3];
static int boundHandle;
static byte texturedMode = 255;  // 1 textured, 0 vertex colour alone, 255 not set yet
static int32_t chromaKey = -1;   // -1: chroma keying off
static int fallbackHandle = -1;

bool GlideTexShape(int width, int height, GrLOD_t* lod, GrAspectRatio_t* aspect, float* sScale,
                   float* tScale) {
    if (width <= 0 || height <= 0 || (width & (width - 1)) || (height & (height - 1)))
        return false;
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

int GlideTableSize(void) { return texTableSize; }

bool GlideResident(int handle, int* unit, uint32_t* address, uint32_t* size) {
    if (!residents || handle < 0 || handle > 0xFFFF || !residents[handle]) return false;
    *unit = residents[handle]->unit;
    *address = residents[handle]->address;
    *size = residents[handle]->size;
    return true;
}

uint32_t GlideNextFree(int unit) { return unit >= 0 && unit < 3 ? units[unit].nextFree : 0; }
void GlideSetNextFree(int unit, uint32_t address) {
    if (unit >= 0 && unit < 3) units[unit].nextFree = address;
}

static void ReleaseEntry(TexEntry* e) {
    std::free(e->pixels);
    std::free(e->palette);
    std::memset(e, 0xFF, sizeof *e);
}

void DevInitTextures(void) {
    fallbackHandle = -1;
    chromaKey = -1;
    texturedMode = 255;
    boundHandle = -1;  // nothing bound: the next bind of any handle happens
    if (residents) return;
    for (TexUnit& u : units) u = TexUnit{nullptr, nullptr, 0};
    texTable = nullptr;
    texTableSize = 0;
    residents = static_cast<Resident**>(std::calloc(65536, sizeof(Resident*)));
}

byte DevUploadTexture(const TexEntry* entry, int handle) {
    if (!entry || handle < 0 || handle > 0xFFFF) return DEV_ERR_FAILURE;
    if (entry->format == TEX_EMPTY) return DEV_OK;
    if (handle >= texTableSize) {
        int size = (handle + 256) / 256 * 256;
        TexEntry* grown = static_cast<TexEntry*>(std::realloc(texTable, size * sizeof(TexEntry)));
        if (!grown) return DEV_ERR_REFUSED;
        std::memset(grown + texTableSize, 0xFF, (size - texTableSize) * sizeof(TexEntry));
        texTable = grown;
        texTableSize = size;
    }
    TexEntry* e = &texTable[handle];
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
    if (handle < 0 || handle >= texTableSize || texTable[handle].format == TEX_EMPTY) return DEV_OK;
    ReleaseEntry(&texTable[handle]);
    // It leaves the unit's list: a texture uploaded later under the same handle is downloaded
    // afresh, and its bytes are simply reused when the ring comes round.
    if (residents && residents[handle]) {
        Resident* gone = residents[handle];
        TexUnit& u = units[gone->unit];
        Resident* before = nullptr;
        for (Resident* r = u.oldest; r && r != gone; r = r->next) before = r;
        if (before)
            before->next = gone->next;
        else
            u.oldest = gone->next;
        if (u.youngest == gone) u.youngest = before;
        residents[handle] = nullptr;
        std::free(gone);
    }
    if (boundHandle == handle) boundHandle = -1;
    return DEV_OK;
}

const TexEntry* DevGetTexture(int handle) {
    if (handle < 0 || handle >= texTableSize || texTable[handle].format == TEX_EMPTY) return nullptr;
    return &texTable[handle];
}

// Finds texture memory for `size` bytes on the unit, evicting the oldest residents in the way.
static FxU32 Allocate(int unit, FxU32 size) {
    FxU32 low = grTexMinAddress(unit), high = grTexMaxAddress(unit);
    TexUnit& u = units[unit];
    FxU32 address = u.nextFree ? u.nextFree : low;
    // A texture must not straddle the 2 MB boundary.
    if (address - low < 0x200000 && address - low + size > 0x200000) address = 0x200000;
    if (address + size > high) address = low;  // the ring wraps
    while (u.oldest && u.oldest->address >= address && u.oldest->address < address + size) {
        Resident* gone = u.oldest;
        u.oldest = gone->next;
        if (!u.oldest) u.youngest = nullptr;
        if (gone->handle >= 0) residents[gone->handle] = nullptr;
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
    TexUnit& u = units[unit];
    if (u.youngest)
        u.youngest->next = r;
    else
        u.oldest = r;
    u.youngest = r;
    residents[handle] = r;
    return true;
}

static void CombineTextured(void) {
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL,
                   GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
    grAlphaCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL,
                   GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
}

byte DevSetTexture(int unit, int handle) {
    if (handle == boundHandle) return DEV_OK;
    if (unit < 0 || unit > 2 || !residents) return DEV_ERR_REFUSED;
    while (handle > 0 && handle < texTableSize && texTable[handle].format != TEX_EMPTY) {
        TexEntry* e = &texTable[handle];
        int resolved = TexAnimResolve(handle, e->frames);
        if (resolved != handle) {
            handle = resolved;
            continue;
        }
        if (!residents[handle] && !Download(unit, handle, e)) return DEV_ERR_DOWNLOAD;
        if (texturedMode != 1) {
            CombineTextured();
            texturedMode = 1;
        }
        if (e->palette) grTexDownloadTable(GR_TEXTABLE_PALETTE, e->palette);
        Resident* r = residents[handle];
        grTexSource(unit, r->address, GR_MIPMAPLEVELMASK_BOTH, &r->info);
        glideSScale = r->sScale;
        glideTScale = r->tScale;
        if (e->colorkey != chromaKey) {
            if (chromaKey == -1) grChromakeyMode(GR_CHROMAKEY_ENABLE);
            if (e->colorkey == -1) grChromakeyMode(GR_CHROMAKEY_DISABLE);
            chromaKey = e->colorkey;
            if (chromaKey != -1) grChromakeyValue(static_cast<GrColor_t>(chromaKey));
        }
        boundHandle = handle;
        return DEV_OK;
    }
    if (handle != 0) return DEV_ERR_MAKE_TEXTURE;
    if (texturedMode != 0) {
        grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE,
                       GR_COMBINE_LOCAL_CONSTANT, GR_COMBINE_OTHER_ITERATED, FXFALSE);
        grAlphaCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE,
                       GR_COMBINE_LOCAL_CONSTANT, GR_COMBINE_OTHER_ITERATED, FXFALSE);
        grChromakeyMode(GR_CHROMAKEY_DISABLE);
        chromaKey = -1;
        texturedMode = 0;
    }
    boundHandle = 0;
    glideSScale = glideTScale = 256.0f;
    return DEV_OK;
}
