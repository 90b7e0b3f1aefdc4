// glide_tex.cpp: the texture unit: 4 MB of texture memory filled by downloads, the palette, the
// source the next draw samples and the chroma key. Texels are sampled from the memory the source
// names, so a texture overwritten by a later download shows the newer texels. The card samples
// its own converted copy, made again whenever the texels, palette or key under it change.
#include <cstring>

#include "glide_internal.h"
#include "win32_standin.h"

namespace {

const uint32_t kNoKey = 0xFFFFFFFFu;  // chroma values have 24 bits

bool Paletted(int format) { return format == GR_TEXFMT_P_8 || format == GR_TEXFMT_AP_88; }

FxU32 SizeOf(int width, int height, int bytes) {
    FxU32 size = static_cast<FxU32>(width) * static_cast<FxU32>(height) * static_cast<FxU32>(bytes);
    return (size + 7u) & ~7u;  // textures start on 8-byte boundaries
}

void CheckTmu(const char* call, GrChipID_t tmu) {
    if (tmu != GR_TMU0) Win32Unsupported(call, "a texture unit other than GR_TMU0");
}

void CheckOneLevel(const char* call, FxU32 evenOdd, const GrTexInfo* info) {
    if (evenOdd != GR_MIPMAPLEVELMASK_BOTH) Win32Unsupported(call, "split even/odd levels");
    if (!info) Win32Unsupported(call, "no texture description");
    if (info->smallLodLog2 != info->largeLodLog2) Win32Unsupported(call, "mipmaps");
}

}  // namespace

bool GlTexShape(const GrTexInfo* info, int* width, int* height, int* bytes) {
    if (!info || info->largeLodLog2 < GR_LOD_LOG2_1 || info->largeLodLog2 > GR_LOD_LOG2_256 ||
        info->aspectRatioLog2 < GR_ASPECT_LOG2_1x8 || info->aspectRatioLog2 > GR_ASPECT_LOG2_8x1)
        return false;
    int b = ScFormatBytes(static_cast<ScFormat>(info->format));
    if (b == 0 || info->format == SC_FMT_ARGB8888) return false;
    int longer = 1 << info->largeLodLog2;
    int shorter =
        longer >> (info->aspectRatioLog2 < 0 ? -info->aspectRatioLog2 : info->aspectRatioLog2);
    if (shorter < 1) shorter = 1;
    *width = info->aspectRatioLog2 >= 0 ? longer : shorter;
    *height = info->aspectRatioLog2 >= 0 ? shorter : longer;
    *bytes = b;
    return true;
}

void GlDropTextureCache(void) {
    if (gl.card) ScSetTexture(gl.card, nullptr);
    for (auto& [address, entry] : gl.cache) ScTextureDestroy(entry.texture);
    gl.cache.clear();
    gl.textureDirty = true;
}

void GlResolveTexture(void) {
    gl.textureDirty = false;
    if (!gl.card) return;
    int w, h, b;
    if (!gl.colorTextured || !gl.sourceSet || !GlTexShape(&gl.sourceInfo, &w, &h, &b) ||
        gl.sourceAddress + SizeOf(w, h, b) > kGlTexMemory) {
        ScSetTexture(gl.card, nullptr);
        return;
    }
    GlTexCache& c = gl.cache[gl.sourceAddress];
    bool paletted = Paletted(gl.sourceInfo.format);
    if (!c.texture || c.width != w || c.height != h) {
        ScTextureDestroy(c.texture);
        c.texture = ScTextureCreate(w, h);
        c.width = w;
        c.height = h;
        c.stale = true;
    }
    if (c.format != gl.sourceInfo.format) c.stale = true;
    // The key is part of the conversion (keyed texels are dropped there): none while keying is off.
    uint32_t key = gl.chromaOn ? gl.chromaValue : kNoKey;
    if (c.key != key) c.stale = true;
    if (paletted && c.palette != gl.palette) c.stale = true;
    if (c.stale) {
        c.format = gl.sourceInfo.format;
        c.size = SizeOf(w, h, b);
        c.key = key;
        if (paletted) c.palette = gl.palette;
        ScTextureLoad(c.texture, static_cast<ScFormat>(c.format), &gl.texMemory[gl.sourceAddress],
                      0, paletted ? gl.palette.data() : nullptr,
                      key == kNoKey ? SC_KEY_NONE : SC_KEY_RGB, key == kNoKey ? 0 : key);
        c.stale = false;
        ++gl.conversions;
    }
    ScSetTexture(gl.card, c.texture);
}

FxU32 grTexMinAddress(GrChipID_t tmu) {
    GlRecord("grTexMinAddress", {tmu});
    CheckTmu("grTexMinAddress", tmu);
    return 0;
}

FxU32 grTexMaxAddress(GrChipID_t tmu) {
    GlRecord("grTexMaxAddress", {tmu});
    CheckTmu("grTexMaxAddress", tmu);
    return kGlTexMemory;
}

FxU32 grTexTextureMemRequired(FxU32 evenOdd, GrTexInfo* info) {
    CheckOneLevel("grTexTextureMemRequired", evenOdd, info);
    GlRecord("grTexTextureMemRequired", {evenOdd, info->smallLodLog2, info->largeLodLog2,
                                         info->aspectRatioLog2, info->format});
    int w, h, b;
    if (!GlTexShape(info, &w, &h, &b))
        Win32Unsupported("grTexTextureMemRequired", "a LOD, aspect or texel format it cannot hold");
    return SizeOf(w, h, b);
}

void grTexDownloadMipMap(GrChipID_t tmu, FxU32 startAddress, FxU32 evenOdd, GrTexInfo* info) {
    CheckOneLevel("grTexDownloadMipMap", evenOdd, info);
    GlRecord("grTexDownloadMipMap", {tmu, startAddress, evenOdd, info->smallLodLog2,
                                     info->largeLodLog2, info->aspectRatioLog2, info->format});
    CheckTmu("grTexDownloadMipMap", tmu);
    int w, h, b;
    if (!GlTexShape(info, &w, &h, &b))
        Win32Unsupported("grTexDownloadMipMap", "a LOD, aspect or texel format it cannot hold");
    FxU32 size = SizeOf(w, h, b);
    if (startAddress > kGlTexMemory || size > kGlTexMemory - startAddress)
        Win32Unsupported("grTexDownloadMipMap", "a texture past the end of texture memory");
    if (!info->data) Win32Unsupported("grTexDownloadMipMap", "no texels");
    std::memcpy(&gl.texMemory[startAddress], info->data, static_cast<size_t>(w) * h * b);
    ++gl.downloads;
    // Converted copies over the overwritten bytes are out of date.
    FxU32 end = startAddress + size;
    for (auto it = gl.cache.begin(); it != gl.cache.end() && it->first < end; ++it)
        if (it->first + it->second.size > startAddress || it->first == startAddress) {
            it->second.stale = true;
            if (gl.sourceSet && it->first == gl.sourceAddress) gl.textureDirty = true;
        }
}

void grTexDownloadTable(GrTexTable_t type, void* data) {
    GlRecord("grTexDownloadTable", {type});
    if (type != GR_TEXTABLE_PALETTE) Win32Unsupported("grTexDownloadTable", "NCC tables");
    if (!data) return;
    std::array<uint32_t, 256> p;
    std::memcpy(p.data(), data, sizeof p);
    for (uint32_t& v : p) v &= 0xFFFFFF;
    if (p != gl.palette) {
        gl.palette = p;
        if (gl.sourceSet && Paletted(gl.sourceInfo.format)) gl.textureDirty = true;
    }
}

void grTexSource(GrChipID_t tmu, FxU32 startAddress, FxU32 evenOdd, GrTexInfo* info) {
    CheckOneLevel("grTexSource", evenOdd, info);
    GlRecord("grTexSource", {tmu, startAddress, evenOdd, info->smallLodLog2, info->largeLodLog2,
                             info->aspectRatioLog2, info->format});
    CheckTmu("grTexSource", tmu);
    gl.sourceSet = true;
    gl.sourceAddress = startAddress;
    gl.sourceInfo = *info;
    gl.textureDirty = true;
}
