// The data set the content builder writes: the same bytes on every run, every file loads with the
// engine's own loaders, and what is in the files is what the catalogue and the script expect.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "assets.h"
#include "catalogue.h"
#include "pcx.h"
#include "scene.h"
#include "texconv.h"
#include "texlib.h"
#include "trx_object.h"

namespace fs = std::filesystem;

namespace {

const std::string kData = SHOW_DATA_DIR;

std::string Slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string Path(const char* name) { return kData + "/" + name; }

// The library loaded once for all tests of this file.
const TexLib& DemoTex() {
    static TexLib* lib = nullptr;
    if (!lib) {
        EXPECT_EQ(LoadTexLib(Path("demo.tex").c_str(), &lib), 0);
    }
    return *lib;
}

TEST(ContentShow, TwoRunsWriteTheSameBytes) {
    const std::string base = testing::TempDir() + "/tambir_content_" + std::to_string(getpid());
    fs::remove_all(base);
    for (const char* run : {"/a", "/b"}) {
        const std::string cmd = std::string("'") + TAMBIR_CONTENT + "' '" + base + run + "' 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }
    std::map<std::string, std::string> a;
    for (const auto& e : fs::recursive_directory_iterator(base + "/a"))
        if (e.is_regular_file()) a[fs::relative(e.path(), base + "/a").string()] = Slurp(e.path());
    size_t files = 0;
    for (const auto& e : fs::recursive_directory_iterator(base + "/b")) {
        if (!e.is_regular_file()) continue;
        ++files;
        const std::string name = fs::relative(e.path(), base + "/b").string();
        ASSERT_TRUE(a.count(name)) << name << " only in the second run";
        EXPECT_TRUE(a[name] == Slurp(e.path())) << name << " differs between runs";
    }
    EXPECT_EQ(files, a.size());
    EXPECT_EQ(files, 2u + 2 + 6 * 2 + 6 + 2)
        << "libraries, pictures, models with remaps, samples, modules";
    fs::remove_all(base);
}

TEST(ContentShow, BadUsageAndAnUnwritableDirectoryFailWithAMessage) {
    EXPECT_NE(std::system((std::string("'") + TAMBIR_CONTENT + "' >/dev/null 2>&1").c_str()), 0);
    EXPECT_NE(
        std::system((std::string("'") + TAMBIR_CONTENT + "' /proc/tambir >/dev/null 2>&1").c_str()),
        0);
}

// Every catalogue entry is in the library with its size, format and frames; nothing else is.
TEST(ContentShow, LibraryHoldsExactlyTheCatalogue) {
    const TexLib& lib = DemoTex();
    std::set<int> expected;
    for (const TexDesc& s : TextureCatalogue()) {
        // A size both devices hold: powers of two up to 256, sides at most 8 : 1.
        for (int side : {s.width, s.height}) {
            EXPECT_LE(side, 256) << s.name;
            EXPECT_EQ(side & (side - 1), 0) << s.name << ": " << side << " is not a power of two";
        }
        EXPECT_LE(s.width, 8 * s.height) << s.name;
        EXPECT_LE(s.height, 8 * s.width) << s.name;
        for (int k = 0; k < TextureEntries(s); ++k) {
            const TexEntry& e = lib.entry[s.id + k];
            EXPECT_TRUE(expected.insert(s.id + k).second)
                << s.name << " overlaps another texture at " << s.id + k;
            EXPECT_EQ(e.format, s.format) << s.name;
            EXPECT_EQ(e.width, s.width) << s.name;
            EXPECT_EQ(e.height, s.height) << s.name;
            EXPECT_EQ(e.frames, k == 0 ? s.frames : 0) << s.name << " frame " << k;
            EXPECT_EQ(e.colorkey, s.keyed ? kColorKey : -1) << s.name;
        }
    }
    EXPECT_EQ(lib.entry[5].format, TEX_ARGB4444) << "flares draw texture 5";
    for (int i = 0; i < 256; ++i)
        if (!expected.count(i)) {
            EXPECT_EQ(lib.entry[i].format, TEX_EMPTY)
                << "entry " << i << " is not in the catalogue";
        }
}

// Textures that repeat over their surfaces must not show a seam: the colour step across each wrap
// edge stays in the range of the steps between neighbours inside the texture.
TEST(ContentShow, RepeatingTexturesTileWithoutASeam) {
    const TexLib& lib = DemoTex();
    for (const char* name :
         {"floor_stone", "wall_stone",  "column",    "dais_marble", "dais_step",
          "roof_beam",   "door_wood",   "door_iron", "bronze",      "sky",
          "robe",        "hood",        "boots",     "trim",        "rune_ring",
          "ring_metal",  "relic_metal", "die",       "board",       "dataflow"}) {
        const TexDesc* s = FindTexture(name);
        ASSERT_NE(s, nullptr) << name;
        const TexEntry& e = lib.entry[s->id];
        auto step = [&](int x0, int y0, int x1, int y1) {
            const uint32_t a = TexelArgb(e, x0, y0), b = TexelArgb(e, x1, y1);
            double d = 0;
            for (int sh = 0; sh < 32; sh += 8)
                d += std::abs(static_cast<int>(a >> sh & 255) - static_cast<int>(b >> sh & 255));
            return d;
        };
        double acrossX = 0, insideX = 0, acrossY = 0, insideY = 0;
        for (int y = 0; y < e.height; ++y) {
            acrossX += step(e.width - 1, y, 0, y);
            for (int x = 0; x + 1 < e.width; ++x) insideX += step(x, y, x + 1, y);
        }
        for (int x = 0; x < e.width; ++x) {
            acrossY += step(x, e.height - 1, x, 0);
            for (int y = 0; y + 1 < e.height; ++y) insideY += step(x, y, x, y + 1);
        }
        acrossX /= e.height, insideX /= static_cast<double>(e.height) * (e.width - 1);
        acrossY /= e.width, insideY /= static_cast<double>(e.width) * (e.height - 1);
        EXPECT_LT(acrossX, insideX * 4 + 8) << name << ": a seam at the left and right edges";
        EXPECT_LT(acrossY, insideY * 4 + 8) << name << ": a seam at the top and bottom edges";
    }
}

TEST(ContentShow, AnimatedTexturesChangeEveryFrame) {
    const TexLib& lib = DemoTex();
    int animated = 0;
    for (const TexDesc& s : TextureCatalogue()) {
        if (s.frames == 0) continue;
        ++animated;
        EXPECT_GE(s.frames, 8) << s.name;
        for (int k = 0; k < s.frames; ++k) {
            const TexEntry& a = lib.entry[s.id + k];
            const TexEntry& b = lib.entry[s.id + (k + 1) % s.frames];
            size_t changed = 0;
            for (uint32_t i = 0; i < a.size; ++i) changed += a.pixels[i] != b.pixels[i];
            EXPECT_GT(changed, a.size / 50) << s.name << ": frame " << k << " and the next";
        }
    }
    EXPECT_GE(animated, 2) << "the fire and the data flow";
}

TEST(ContentShow, FontCoversThePrintableCharacters) {
    TexLib* font = nullptr;
    ASSERT_EQ(LoadTexLib(Path("vgasys.fnt").c_str(), &font), 0);
    std::set<std::string> shapes;
    for (int c = 32; c <= 126; ++c) {
        const TexEntry& e = font->entry[c];
        ASSERT_EQ(e.format, TEX_ARGB4444) << "character " << c;
        EXPECT_EQ(e.width, 8);
        EXPECT_EQ(e.height, 16);
        EXPECT_EQ(e.advance, 8);
        EXPECT_EQ(e.line_height, 16);
        int inked = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 8; ++x) {
                const uint32_t t = TexelArgb(e, x, y);
                if (t >> 24) {
                    ++inked;
                    EXPECT_EQ(t & 0xFFFFFF, 0xFFFFFFu) << "glyphs are white";
                }
            }
        if (c == ' ') {
            EXPECT_EQ(inked, 0);
        } else {
            EXPECT_GT(inked, 1) << "character " << static_cast<char>(c);
        }
        shapes.insert(std::string(reinterpret_cast<const char*>(e.pixels), e.size));
    }
    EXPECT_EQ(shapes.size(), 95u) << "every character has a shape of its own";
    FreeTexLib(font);
}

TEST(ContentShow, TitlePicturesLoadAsTheShowLoadsThem) {
    for (const char* name : {"napis1.pcx", "hlnapis.pcx"}) {
        TexEntry e{};
        ASSERT_EQ(LoadPcxTexture(Path(name).c_str(), nullptr, &e, TEX_RGB565, 0), PCX_OK) << name;
        EXPECT_GE(e.width, 256) << name;
        EXPECT_LE(e.width, 640) << name;
        EXPECT_GE(e.height, 128) << name;
        EXPECT_LE(e.height, 480) << name;
        EXPECT_EQ(e.colorkey, 0) << name << ": index 0 is black";
        size_t lit = 0;
        const uint16_t* t = reinterpret_cast<const uint16_t*>(e.pixels);
        for (int i = 0; i < e.width * e.height; ++i) lit += t[i] != 0;
        EXPECT_GT(lit, static_cast<size_t>(e.width * e.height / 20)) << name << " shows something";
        EXPECT_LT(lit, static_cast<size_t>(e.width * e.height))
            << name << " keeps transparent parts";
        std::free(e.pixels);
    }
}

// The six models with the animations the script selects, keyframes fit for morphing, and remap
// files that map every texture a model draws to a texture the library has.
TEST(ContentShow, ModelsCarryTheScriptsAnimationsAndMapEveryTexture) {
    const TexLib& lib = DemoTex();
    const struct {
        const char* name;
        std::vector<int> anims;
    } models[] = {{"chram", {0, 1}}, {"hrdina", {0, 1, 2, 3}}, {"dvere", {0}},
                  {"ruvo", {0}},     {"objekt", {0}},          {"cpu", {0, 2}}};
    for (const auto& m : models) {
        Object obj;
        ObjectInit(&obj);
        const std::string file = Path(m.name) + ".mdl";
        ASSERT_EQ(LoadModel(&obj, file.c_str(), nullptr), 0) << file << ": " << ModelFileError();
        ASSERT_EQ(LoadRemap(&obj, (Path(m.name) + ".txi").c_str()), 0) << m.name;
        std::set<int> keys;
        for (int id : m.anims) {
            ASSERT_EQ(SelectAnim(&obj, id, 1), 0) << m.name << " animation " << id;
            const Keyframe* first = obj.anim->keys;
            ASSERT_NE(first, nullptr);
            const Keyframe* k = first;
            do {
                const Mesh& mesh = k->mesh;
                EXPECT_EQ(CheckMesh(&mesh), 0) << m.name << ": " << ModelFileError();
                EXPECT_EQ(mesh.wcount, first->mesh.wcount)
                    << m.name << " animation " << id << ": morphing needs one layout";
                EXPECT_EQ(mesh.ccount, first->mesh.ccount) << m.name << " animation " << id;
                for (int c = 0; c < mesh.ccount;) {
                    const RunHeader& run = mesh.ctable[c].run;
                    if (run.texture > 0) {
                        ASSERT_LT(run.texture, obj.remap_count)
                            << m.name << " texture " << run.texture << " is not mapped";
                        EXPECT_EQ(obj.remap[run.texture], run.texture) << m.name;
                        EXPECT_NE(lib.entry[run.texture & 0xFF].format, TEX_EMPTY)
                            << m.name << " draws missing texture " << run.texture;
                    }
                    c += 1 + run.count;
                }
                if (id == 1 && std::string(m.name) == "chram") keys.insert(k->frame);
                if (std::string(m.name) == "dvere" || (std::string(m.name) == "hrdina" && id == 3))
                    keys.insert(k->frame);
                k = k->next;
            } while (k != first);
        }
        const std::string name = m.name;
        if (name == "chram") {
            EXPECT_EQ(keys, (std::set<int>{0, 1, 2, 3, 4})) << "the fire's five steps";
        } else if (name == "dvere") {
            EXPECT_TRUE(keys.count(2000)) << "the door's held keyframe";
        } else if (name == "hrdina") {
            EXPECT_TRUE(keys.count(3000)) << "the hero's held keyframe";
        }
        if (name == "dvere" || name == "objekt") {
            ASSERT_EQ(SelectAnim(&obj, 0, 1), 0);
            EXPECT_TRUE(obj.anim->flags & ANIM_ONCE) << name << " plays once from its file";
        }
        FreeObject(&obj);
        // The model files pass the tool's own check.
        const std::string cmd =
            std::string("'") + TRXTOOL + "' model check '" + file + "' >/dev/null 2>&1";
        const int raw = std::system(cmd.c_str());
        EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 0) << "trxtool model check " << file;
    }
}

namespace {

// Triangles the runs of a mesh draw.
int Triangles(const Mesh& m) {
    int n = 0;
    for (int c = 0; c < m.ccount; c += 1 + m.ctable[c].run.count) {
        const RunHeader& h = m.ctable[c].run;
        const int type = h.type & 0xF;
        if (type == PRIM_STRIP || type == PRIM_FAN || type == PRIM_POLYGON)
            n += std::max(0, h.count - 2);
        if (type == PRIM_TRIANGLES) n += h.count / 3;
    }
    return n;
}

// Calls fn(keyframe) for every keyframe of every animation of a loaded model.
template <typename Fn>
void EachKey(Object* obj, Fn fn) {
    for (Anim* a = obj->anims; a; a = a->next) {
        const Keyframe* k = a->keys;
        if (!k) continue;
        do {
            fn(a->id, *k);
            k = k->next;
        } while (k != a->keys);
    }
}

}  // namespace

// Any two hero keys can be blended (the show moves between animations by transitions), the walk
// leaves a planted foot where it is, and the temple's part stays within its triangle budget.
TEST(ContentShow, HeroKeysBlendAndItsWalkDoesNotSlide) {
    Object hero;
    ObjectInit(&hero);
    ASSERT_EQ(LoadModel(&hero, Path("hrdina.mdl").c_str(), nullptr), 0);
    int vertices = -1, commands = -1;
    EachKey(&hero, [&](int, const Keyframe& k) {
        if (vertices < 0) vertices = k.mesh.wcount, commands = k.mesh.ccount;
        EXPECT_EQ(k.mesh.wcount, vertices);
        EXPECT_EQ(k.mesh.ccount, commands);
    });
    // Walk keys are two frames apart; the show moves the hero 6.6 world units a frame at scale
    // 3, so a sole on the ground moves back (+y) by 4.4 local units from key to key.
    ASSERT_EQ(SelectAnim(&hero, 1, 1), 0);
    const Keyframe* k = hero.anim->keys;
    int planted = 0;
    do {
        const Keyframe* n = k->next;
        if (n->frame > k->frame) {
            EXPECT_EQ(n->frame - k->frame, 2);
            for (int v = 0; v < k->mesh.wcount; ++v) {
                const Vec4 &a = k->mesh.wtable[v], &b = n->mesh.wtable[v];
                if (a.z < 0.05f && b.z < 0.05f) {
                    ++planted;
                    EXPECT_NEAR(b.y - a.y, 4.4f, 0.05f)
                        << "a sole slides between keys " << k->frame << " and " << n->frame;
                    EXPECT_NEAR(b.x, a.x, 0.05f);
                }
            }
        }
        k = n;
    } while (k != hero.anim->keys);
    EXPECT_GT(planted, 0) << "a foot is on the ground in every step";
    FreeObject(&hero);
}

TEST(ContentShow, NoFrameDrawsMoreThanItsTriangleBudget) {
    auto worst = [&](const char* name, std::vector<int> anims) {
        Object obj;
        ObjectInit(&obj);
        EXPECT_EQ(LoadModel(&obj, Path(name).c_str(), nullptr), 0) << name;
        int most = 0;
        EachKey(&obj, [&](int id, const Keyframe& k) {
            for (int a : anims)
                if (a == id) most = std::max(most, Triangles(k.mesh));
        });
        FreeObject(&obj);
        return most;
    };
    // The temple part draws the temple, its fire twice, the door, the ring, the hero and the relic.
    const int temple = worst("chram.mdl", {0}) + 2 * worst("chram.mdl", {1}) +
                       worst("dvere.mdl", {0}) + worst("ruvo.mdl", {0}) +
                       worst("hrdina.mdl", {0, 1, 2, 3}) + worst("objekt.mdl", {0});
    std::printf(
        "triangles: temple part %d (temple %d, fire %d, door %d, ring %d, hero %d, relic %d), chip "
        "%d, final %d\n",
        temple, worst("chram.mdl", {0}), worst("chram.mdl", {1}), worst("dvere.mdl", {0}),
        worst("ruvo.mdl", {0}), worst("hrdina.mdl", {0, 1, 2, 3}), worst("objekt.mdl", {0}),
        worst("cpu.mdl", {0}), worst("cpu.mdl", {2}));
    EXPECT_LE(temple, 30000);
    EXPECT_LE(worst("cpu.mdl", {0}), 30000);
    EXPECT_LE(worst("cpu.mdl", {2}), 30000);
    EXPECT_GT(temple, 5000) << "a temple worth the name";
}

// The final camera sinks through the landscape: every vertex of it stays ahead of the camera's
// plane on the whole path (the camera of the final part, as the script moves it).
TEST(ContentShow, TheFinalDescentPassesNothingThroughTheNearPlane) {
    Object cpu;
    ObjectInit(&cpu);
    ASSERT_EQ(LoadModel(&cpu, Path("cpu.mdl").c_str(), nullptr), 0);
    ASSERT_EQ(SelectAnim(&cpu, 2, 1), 0);
    const Mesh& m = cpu.anim->keys->mesh;
    float nearest = 1e9f;
    for (int f = 1624; f < 2800; f += 4) {
        CameraMove(0, 10, -37, -1.4f, 3.14f, 3.14f, 1, -1, 10, 23.5f, -1.7f, 3.24f, 3.04f, 1, 1100,
                   static_cast<float>(f - 1624));
        const float* e = viewMatrix.m;
        for (int v = 0; v < m.wcount; ++v) {
            const Vec4& p = m.wtable[v];
            nearest = std::min(nearest, p.x * e[2] + p.y * e[6] + p.z * e[10] + e[14]);
        }
    }
    EXPECT_GT(nearest, 5.0f) << "the nearest vertex's depth in front of the camera";
    FreeObject(&cpu);
}

// Bytes of texture memory the textures of each part of the show take (every animation frame
// counted), against the 2 MB the Glide device has.
TEST(ContentShow, EachPartsTexturesFitTheGlideTextureMemory) {
    const TexLib& lib = DemoTex();
    auto bytesOf = [&](const std::vector<std::pair<const char*, std::vector<int>>>& models,
                       bool flare) {
        std::set<int> entries;
        if (flare) entries.insert(5);
        for (const auto& [name, anims] : models) {
            Object obj;
            ObjectInit(&obj);
            EXPECT_EQ(LoadModel(&obj, (Path(name) + ".mdl").c_str(), nullptr), 0);
            for (int id : anims) {
                if (SelectAnim(&obj, id, 1) != 0) continue;
                const Keyframe* k = obj.anim->keys;
                do {
                    for (int c = 0; c < k->mesh.ccount; c += 1 + k->mesh.ctable[c].run.count) {
                        const int t = k->mesh.ctable[c].run.texture;
                        if (t <= 0) continue;
                        const int frames = std::max<int>(1, lib.entry[t & 0xFF].frames);
                        for (int f = 0; f < frames; ++f) entries.insert((t & 0xFF) + f);
                    }
                    k = k->next;
                } while (k != obj.anim->keys);
            }
            FreeObject(&obj);
        }
        size_t bytes = 0;
        for (int e : entries) bytes += lib.entry[e].size;
        return bytes;
    };
    const size_t title = bytesOf({{"cpu", {0}}}, false);
    const size_t temple = bytesOf({{"chram", {0, 1}},
                                   {"hrdina", {0, 1, 2, 3}},
                                   {"dvere", {0}},
                                   {"ruvo", {0}},
                                   {"objekt", {0}}},
                                  true);
    const size_t final = bytesOf({{"cpu", {2}}}, true);
    std::printf("texture working set: title %zu, temple %zu, final %zu bytes\n", title, temple,
                final);
    for (size_t b : {title, temple, final}) EXPECT_LE(b, 2u * 1024 * 1024);
    EXPECT_GT(temple, 0u);
}

}  // namespace
