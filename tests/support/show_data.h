// show_data.h: the show's whole data set, made by our own code, written into a directory of its
// own for each program test (they run in parallel).
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "files.h"
#include "texlib.h"
#include "tone_module.h"
#include "trx_object.h"

namespace showdata {

// A texture of w x h texels of `bytes` bytes each, filled with a pattern.
inline TexEntry Texture(int format, int w, int h, int bytes, int32_t colorkey = -1) {
    TexEntry e{};
    e.format = static_cast<int16_t>(format);
    e.width = e.advance = static_cast<int16_t>(w);
    e.height = e.line_height = static_cast<int16_t>(h);
    e.size = static_cast<uint32_t>(w * h * bytes);
    e.pixels = static_cast<uint8_t*>(std::malloc(e.size));
    for (uint32_t i = 0; i < e.size; ++i) e.pixels[i] = static_cast<uint8_t>(i * 7 + i / 13);
    e.colorkey = colorkey;
    return e;
}

// demo.tex: a square 5-6-5 texture, a non-square paletted one with a colour key and a small keyed
// 5-6-5 one. vgasys.fnt: a glyph (taller than wide) for every printable character.
inline std::string WriteTextures(const std::string& dir) {
    TexLib *lib = NewTexLib(), *font = NewTexLib();
    if (!lib || !font) return "NewTexLib failed";
    TexEntry paletted = Texture(TEX_P8, 32, 64, 1, 0);
    paletted.palette = static_cast<uint32_t*>(std::malloc(256 * 4));
    for (uint32_t i = 0; i < 256; ++i) paletted.palette[i] = i * 0x010203u & 0xFFFFFF;
    TexEntry t[3] = {Texture(TEX_RGB565, 64, 64, 2), paletted,
                     Texture(TEX_RGB565, 8, 8, 2, 0x00FF00FF)};
    int bad = 0;
    for (int i = 0; i < 3; ++i) bad |= PutTexture(i + 1, lib, &t[i]);
    for (int c = 32; c < 127; ++c) {
        TexEntry glyph = Texture(TEX_ARGB4444, 8, 16, 2);
        bad |= PutTexture(c, font, &glyph);
    }
    bad |= SaveTexLib((dir + "/demo.tex").c_str(), lib) |
           SaveTexLib((dir + "/vgasys.fnt").c_str(), font);
    FreeTexLib(lib);
    FreeTexLib(font);
    return bad ? "demo.tex or vgasys.fnt not written" : "";
}

template <typename T>
T* Table(int n) {
    return static_cast<T*>(std::calloc(static_cast<size_t>(n), sizeof(T)));
}

// A textured square of side 40 + shift (four vertices, normals and links, one material, one
// polygon run with texture coordinates), so keyframes differ and morphing has work to do.
inline Mesh Square(float shift, int texture) {
    Mesh m = {Table<Material>(1), 1, Table<Vec4>(4),    4, Table<Vec4>(4), 4,
              Table<Link>(4),     4, Table<Command>(5), 5};
    m.mtable[0] = Material{{0.8f, 0.7f, 0.5f}, {0.1f, 0.1f, 0.1f}, {}, {}, 0, {1.0f}, 0, {}};
    m.ctable[0].run = RunHeader{0, PRIM_POLYGON, 0, 4, texture};
    const float s = 20 + shift / 2;
    const float corner[4][2] = {{-s, -s}, {s, -s}, {s, s}, {-s, s}};
    for (int i = 0; i < 4; ++i) {
        m.wtable[i] = Vec4{corner[i][0], corner[i][1], 0, 1};
        m.ntable[i] = Vec4{0, 0.6f, 0.8f, 1};
        m.ltable[i] = Link{i, i};
        m.ctable[i + 1].ref =
            VertexRef{0, i, corner[i][1] < 0 ? 0.0f : 1.0f, corner[i][0] < 0 ? 0.0f : 1.0f};
    }
    return m;
}

struct AnimPlan {
    int id;
    std::vector<int> frames;  // keyframes, ascending
    int span;
};

// A model of the given animations, each keyframe with its own mesh and a small translation.
inline std::string WriteModel(const std::string& dir, const char* name,
                              const std::vector<AnimPlan>& anims) {
    Object model;
    ObjectInit(&model);
    bool ok = true;
    for (const AnimPlan& a : anims) {
        ok = ok && AddAnim(&model, a.id) == 0 && SelectAnim(&model, a.id, 1) == 0;
        for (size_t k = 0; ok && k < a.frames.size(); ++k) {
            Mesh mesh = Square(static_cast<float>(k) * 4, 1 + static_cast<int>(k % 2));
            KeyInfo info{};
            info.flags = KEY_TRANSLATE, info.translation[0] = static_cast<float>(k) * 2;
            info.scale[0] = info.scale[1] = info.scale[2] = 1;
            ok = AddKeyframe(&model, &mesh, a.frames[k], &info) == 0;
        }
        ok = ok && SetAnimSpan(&model, a.span) == 0;
    }
    ok = ok && SaveModel(&model, (dir + "/" + name + ".mdl").c_str(), nullptr) == 0;
    FreeObject(&model);
    return ok ? "" : std::string(name) + ".mdl not written";
}

// A PCX picture of a diagonal pattern with long runs.
inline Bytes Pcx(int w, int h) {
    std::vector<uint8_t> indexes(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            indexes[static_cast<size_t>(y * w + x)] = static_cast<uint8_t>(((x + y) / 8) * 37);
    std::vector<uint32_t> palette(256);
    for (uint32_t i = 0; i < 256; ++i) palette[i] = i << 16 | (255 - i) << 8 | ((i * 3) & 0xFF);
    return EncodePcx(w, h, indexes, palette);
}

inline std::string WriteShowData(const std::string& dir) {
    mkdir(dir.c_str(), 0755);
    mkdir((dir + "/sound").c_str(), 0755);
    std::string failed = WriteTextures(dir);
    const std::vector<std::pair<const char*, std::vector<AnimPlan>>> models = {
        {"cpu", {{0, {0, 10}, 20}, {2, {0, 5, 10}, 15}}},
        {"chram", {{0, {0}, 1}, {1, {0, 1, 2, 3, 4}, 5}}},
        {"hrdina",
         {{0, {0, 10}, 20}, {1, {0, 10}, 20}, {2, {0, 20, 40}, 60}, {3, {0, 3000}, 6000}}},
        {"dvere", {{0, {0, 2000}, 4000}}},
        {"ruvo", {{0, {0, 10}, 20}}},
        {"objekt", {{0, {0, 20, 40}, 60}}}};
    for (const auto& [name, anims] : models) {
        if (failed.empty()) failed = WriteModel(dir, name, anims);
        const std::string remap = "# " + std::string(name) + " texture remap\r\n1->1\r\n2->3\r\n";
        if (!WriteBytes(dir + "/" + name + ".txi", Bytes(remap.begin(), remap.end())))
            failed = std::string(name) + ".txi not written";
    }
    if (!WriteBytes(dir + "/napis1.pcx", Pcx(96, 40)) ||
        !WriteBytes(dir + "/hlnapis.pcx", Pcx(63, 17)))
        failed = "a title picture not written";
    int period = 40;
    for (const char* sample : {"dvere", "kouzlo", "hrom", "konec", "bota", "boure"}) {
        std::vector<int16_t> pcm(2205);
        for (size_t i = 0; i < pcm.size(); ++i)
            pcm[i] = static_cast<int16_t>((i / static_cast<size_t>(period)) % 2 ? 6000 : -6000);
        if (!WriteBytes(dir + "/sound/" + sample + ".wav", EncodeWav16(1, 22050, pcm)))
            failed = std::string(sample) + ".wav not written";
        period += 10;
    }
    if (!WriteBytes(dir + "/teufel.it", SquareToneModule(100)) ||
        !WriteBytes(dir + "/titles.it", SquareToneModule(150, 16)))
        failed = "a module not written";
    return failed;
}

}  // namespace showdata
