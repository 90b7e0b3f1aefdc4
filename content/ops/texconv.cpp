// texconv.cpp: image to texture record conversion (see texconv.h).
#include "texconv.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

const float kBayer[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};

// The dither offset of texel (x, y): -0.5..0.5 of one quantisation step.
inline float DitherAt(int x, int y) {
    return (kBayer[(y & 3) * 4 + (x & 3)] + 0.5f) / 16.0f - 0.5f;
}

// A channel 0..1 to `bits` bits with the given dither offset.
inline uint32_t Quant(float c, int bits, float d) {
    const float levels = static_cast<float>((1 << bits) - 1);
    const float q = std::floor(std::clamp(c, 0.0f, 1.0f) * levels + 0.5f + d);
    return static_cast<uint32_t>(std::clamp(q, 0.0f, levels));
}

// A `bits`-bit channel to 8 bits by repeating its bits (31 -> 255, 7 -> 255).
inline uint32_t Expand(uint32_t v, int bits) {
    uint32_t r = 0;
    for (int shift = 8 - bits; shift > -bits; shift -= bits)
        r |= shift >= 0 ? v << shift : v >> -shift;
    return r & 0xFF;
}

inline int Byte(float c) {
    return static_cast<int>(std::floor(std::clamp(c, 0.0f, 1.0f) * 255.0f + 0.5f));
}

struct Box {
    size_t begin, end;  // into the colour list
};

struct Counted {
    uint32_t rgb;
    uint32_t count;
};

inline int Chan(uint32_t rgb, int c) { return static_cast<int>((rgb >> (16 - 8 * c)) & 0xFF); }

// The 5-6-5 value of a colour, as the devices compare keys.
inline uint32_t To565(uint32_t rgb) {
    return ((rgb >> 8) & 0xF800) | ((rgb >> 5) & 0x07E0) | ((rgb >> 3) & 0x001F);
}

// Moves a colour whose 5-6-5 value equals the key's off it (one step of green toward grey).
uint32_t OffKey(uint32_t rgb, uint32_t key) {
    if (To565(rgb) != To565(key)) return rgb;
    int g = Chan(rgb, 1);
    g = g < 128 ? g + 4 : g - 4;
    return (rgb & 0xFF00FF) | (static_cast<uint32_t>(g) << 8);
}

}  // namespace

std::vector<uint32_t> MedianCutPalette(const Img& im, int colours, float minAlpha) {
    std::vector<uint32_t> all;
    for (size_t i = 0; i < im.px.size(); i += 4) {
        if (im.px[i + 3] < minAlpha) continue;
        all.push_back(static_cast<uint32_t>(Byte(im.px[i]) << 16 | Byte(im.px[i + 1]) << 8 |
                                            Byte(im.px[i + 2])));
    }
    std::sort(all.begin(), all.end());
    std::vector<Counted> list;
    for (uint32_t c : all) {
        if (!list.empty() && list.back().rgb == c)
            ++list.back().count;
        else
            list.push_back({c, 1});
    }
    std::vector<uint32_t> palette;
    if (list.empty() || colours <= 0) return palette;
    if (static_cast<int>(list.size()) <= colours) {
        for (const Counted& c : list) palette.push_back(c.rgb);
        return palette;
    }
    std::vector<Box> boxes{{0, list.size()}};
    while (static_cast<int>(boxes.size()) < colours) {
        // Split the box with the widest channel range weighted by its texel count.
        int best = -1, axis = 0;
        double bestScore = 0;
        for (size_t b = 0; b < boxes.size(); ++b) {
            if (boxes[b].end - boxes[b].begin < 2) continue;
            int lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
            uint64_t n = 0;
            for (size_t i = boxes[b].begin; i < boxes[b].end; ++i) {
                for (int c = 0; c < 3; ++c) {
                    lo[c] = std::min(lo[c], Chan(list[i].rgb, c));
                    hi[c] = std::max(hi[c], Chan(list[i].rgb, c));
                }
                n += list[i].count;
            }
            for (int c = 0; c < 3; ++c) {
                const double score =
                    static_cast<double>(hi[c] - lo[c]) * std::sqrt(static_cast<double>(n));
                if (score > bestScore) bestScore = score, best = static_cast<int>(b), axis = c;
            }
        }
        if (best < 0) break;
        Box& box = boxes[static_cast<size_t>(best)];
        std::sort(list.begin() + static_cast<long>(box.begin),
                  list.begin() + static_cast<long>(box.end),
                  [axis](const Counted& a, const Counted& b) {
                      const int ca = Chan(a.rgb, axis), cb = Chan(b.rgb, axis);
                      return ca != cb ? ca < cb : a.rgb < b.rgb;
                  });
        uint64_t total = 0, half = 0;
        for (size_t i = box.begin; i < box.end; ++i) total += list[i].count;
        size_t cut = box.begin + 1;
        for (size_t i = box.begin; i < box.end - 1; ++i) {
            half += list[i].count;
            cut = i + 1;
            if (half * 2 >= total) break;
        }
        const Box upper{cut, box.end};
        box.end = cut;
        boxes.push_back(upper);
    }
    for (const Box& b : boxes) {
        uint64_t sum[3] = {0, 0, 0}, n = 0;
        for (size_t i = b.begin; i < b.end; ++i) {
            for (int c = 0; c < 3; ++c)
                sum[c] += static_cast<uint64_t>(Chan(list[i].rgb, c)) * list[i].count;
            n += list[i].count;
        }
        uint32_t rgb = 0;
        for (int c = 0; c < 3; ++c)
            rgb |= static_cast<uint32_t>((sum[c] + n / 2) / n) << (16 - 8 * c);
        palette.push_back(rgb);
    }
    return palette;
}

int NearestIndex(const std::vector<uint32_t>& palette, int first, int r, int g, int b) {
    int best = first;
    int bestD = 1 << 30;
    for (int i = first; i < static_cast<int>(palette.size()); ++i) {
        const int dr = Chan(palette[static_cast<size_t>(i)], 0) - r,
                  dg = Chan(palette[static_cast<size_t>(i)], 1) - g,
                  db = Chan(palette[static_cast<size_t>(i)], 2) - b;
        const int d = dr * dr * 3 + dg * dg * 4 + db * db * 2;
        if (d < bestD) bestD = d, best = i;
    }
    return best;
}

void ImageToIndexed(const Img& im, uint32_t zero, std::vector<uint8_t>* indexes,
                    std::vector<uint32_t>* palette) {
    std::vector<uint32_t> pal = MedianCutPalette(im, 255);
    for (uint32_t& c : pal) c = OffKey(c, zero);
    palette->assign(256, 0);
    (*palette)[0] = zero;
    for (size_t i = 0; i < pal.size(); ++i) (*palette)[i + 1] = pal[i];
    const std::vector<uint32_t> used(palette->begin(),
                                     palette->begin() + static_cast<long>(pal.size() + 1));
    indexes->assign(static_cast<size_t>(im.w) * static_cast<size_t>(im.h), 0);
    for (size_t i = 0; i < indexes->size(); ++i) {
        const float* p = &im.px[i * 4];
        if (p[3] < 0.5f || pal.empty()) continue;
        (*indexes)[i] =
            static_cast<uint8_t>(NearestIndex(used, 1, Byte(p[0]), Byte(p[1]), Byte(p[2])));
    }
}

bool ImageToTexture(const Img& im, const TexConvert& how, TexEntry* out) {
    std::memset(out, 0, sizeof *out);
    out->format = TEX_EMPTY;
    const int bytes = TexFormatBytes(how.format);
    if (im.w <= 0 || im.h <= 0 || bytes == 0 ||
        im.px.size() != static_cast<size_t>(im.w * im.h) * 4)
        return false;
    const size_t count = static_cast<size_t>(im.w) * static_cast<size_t>(im.h);
    uint8_t* pixels = static_cast<uint8_t*>(std::malloc(count * static_cast<size_t>(bytes)));
    if (!pixels) return false;
    uint32_t* palette = nullptr;
    const bool paletted = how.format == TEX_P8 || how.format == TEX_AP88;
    std::vector<uint32_t> pal;
    if (paletted) {
        palette = static_cast<uint32_t*>(std::calloc(256, sizeof(uint32_t)));
        if (!palette) {
            std::free(pixels);
            return false;
        }
        const int first = how.keyed ? 1 : 0;
        // Keyed: the holes' colours do not count. Alpha with the palette: invisible texels do not.
        const float minAlpha = how.keyed ? 0.5f : how.format == TEX_AP88 ? 1.0f / 255 : 0.0f;
        pal = MedianCutPalette(im, std::clamp(how.colours, 1, 256) - first, minAlpha);
        if (pal.empty()) pal.push_back(0);
        if (how.keyed) {
            for (uint32_t& c : pal) c = OffKey(c, kColorKey);
            pal.insert(pal.begin(), static_cast<uint32_t>(kColorKey));
        }
        for (size_t i = 0; i < pal.size(); ++i) palette[i] = pal[i];
    }
    const uint32_t key = static_cast<uint32_t>(kColorKey);
    for (int y = 0; y < im.h; ++y)
        for (int x = 0; x < im.w; ++x) {
            const size_t i = static_cast<size_t>(y * im.w + x);
            const float* p = &im.px[i * 4];
            const float d = how.dither ? DitherAt(x, y) : 0.0f;
            const bool hole = how.keyed && p[3] < 0.5f;
            const float a = how.keyed ? (hole ? 0.0f : 1.0f) : p[3];
            const float lum = 0.299f * p[0] + 0.587f * p[1] + 0.114f * p[2];
            uint32_t t = 0;
            switch (how.format) {
            case TEX_RGB332:
                t = hole ? 0xE3
                         : Quant(p[0], 3, d) << 5 | Quant(p[1], 3, d) << 2 | Quant(p[2], 2, d);
                if (!hole && how.keyed && t == 0xE3) t = 0xE7;
                break;
            case TEX_ALPHA8: t = Quant(a, 8, 0); break;
            case TEX_INTENSITY8: t = Quant(lum, 8, 0); break;
            case TEX_AI44: t = Quant(a, 4, d) << 4 | Quant(lum, 4, d); break;
            case TEX_ARGB8332:
                t = (hole ? 0xE3
                          : Quant(p[0], 3, d) << 5 | Quant(p[1], 3, d) << 2 | Quant(p[2], 2, d)) |
                    Quant(a, 8, 0) << 8;
                break;
            case TEX_RGB565:
                t = hole ? To565(key)
                         : Quant(p[0], 5, d) << 11 | Quant(p[1], 6, d) << 5 | Quant(p[2], 5, d);
                if (!hole && how.keyed && t == To565(key)) t ^= 1 << 5;
                break;
            case TEX_ARGB1555: {
                const uint32_t rgb =
                    hole ? 0x7C1F
                         : Quant(p[0], 5, d) << 10 | Quant(p[1], 5, d) << 5 | Quant(p[2], 5, d);
                t = rgb | (a >= 0.5f ? 0x8000u : 0u);
                if (!hole && how.keyed && rgb == 0x7C1F) t ^= 1 << 5;
                break;
            }
            case TEX_ARGB4444: {
                const uint32_t rgb =
                    hole ? 0xF0F
                         : Quant(p[0], 4, d) << 8 | Quant(p[1], 4, d) << 4 | Quant(p[2], 4, d);
                t = rgb | Quant(a, 4, hole ? 0 : d) << 12;
                if (!hole && how.keyed && rgb == 0xF0F) t ^= 1 << 4;
                break;
            }
            case TEX_AI88: t = Quant(lum, 8, 0) | Quant(a, 8, 0) << 8; break;
            case TEX_P8:
            case TEX_AP88: {
                const int first = how.keyed ? 1 : 0;
                uint32_t index = 0;
                if (!hole)
                    index = static_cast<uint32_t>(
                        NearestIndex(pal, first, Byte(p[0]), Byte(p[1]), Byte(p[2])));
                t = how.format == TEX_P8 ? index : index | Quant(a, 8, 0) << 8;
                break;
            }
            default: break;
            }
            for (int b = 0; b < bytes; ++b)
                pixels[i * static_cast<size_t>(bytes) + static_cast<size_t>(b)] =
                    static_cast<uint8_t>(t >> (8 * b));
        }
    out->format = static_cast<int16_t>(how.format);
    out->width = out->advance = static_cast<int16_t>(im.w);
    out->height = out->line_height = static_cast<int16_t>(im.h);
    out->size = static_cast<uint32_t>(count * static_cast<size_t>(bytes));
    out->pixels = pixels;
    out->palette = palette;
    out->colorkey = how.keyed ? kColorKey : -1;
    return true;
}

uint32_t TexelArgb(const TexEntry& e, int x, int y) {
    const int bytes = TexFormatBytes(e.format);
    if (!e.pixels || bytes == 0 || x < 0 || y < 0 || x >= e.width || y >= e.height) return 0;
    const uint8_t* p = e.pixels + (static_cast<size_t>(y) * static_cast<size_t>(e.width) +
                                   static_cast<size_t>(x)) *
                                      static_cast<size_t>(bytes);
    const uint32_t t = bytes == 1 ? p[0] : static_cast<uint32_t>(p[0] | p[1] << 8);
    uint32_t a = 255, r = 0, g = 0, b = 0;
    switch (e.format) {
    case TEX_RGB332:
        r = Expand(t >> 5 & 7, 3), g = Expand(t >> 2 & 7, 3), b = Expand(t & 3, 2);
        break;
    case TEX_ALPHA8: a = t, r = g = b = 255; break;
    case TEX_INTENSITY8: r = g = b = t; break;
    case TEX_AI44: a = Expand(t >> 4, 4), r = g = b = Expand(t & 15, 4); break;
    case TEX_P8: {
        const uint32_t c = e.palette ? e.palette[t & 0xFF] : 0;
        r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
        break;
    }
    case TEX_ARGB8332:
        a = t >> 8, r = Expand(t >> 5 & 7, 3), g = Expand(t >> 2 & 7, 3), b = Expand(t & 3, 2);
        break;
    case TEX_RGB565:
        r = Expand(t >> 11, 5), g = Expand(t >> 5 & 63, 6), b = Expand(t & 31, 5);
        break;
    case TEX_ARGB1555:
        a = t & 0x8000 ? 255 : 0, r = Expand(t >> 10 & 31, 5), g = Expand(t >> 5 & 31, 5),
        b = Expand(t & 31, 5);
        break;
    case TEX_ARGB4444:
        a = Expand(t >> 12, 4), r = Expand(t >> 8 & 15, 4), g = Expand(t >> 4 & 15, 4),
        b = Expand(t & 15, 4);
        break;
    case TEX_AI88: a = t >> 8, r = g = b = t & 0xFF; break;
    case TEX_AP88: {
        const uint32_t c = e.palette ? e.palette[t & 0xFF] : 0;
        a = t >> 8, r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
        break;
    }
    default: return 0;
    }
    const uint32_t argb = a << 24 | r << 16 | g << 8 | b;
    if (e.colorkey != -1 && (argb & 0xFFFFFF) == (static_cast<uint32_t>(e.colorkey) & 0xFFFFFF))
        return 0;
    return argb;
}
