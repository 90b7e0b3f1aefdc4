// The data set the content builder writes, read with the engine's loaders against the script.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "assets.h"
#include "catalogue.h"
#include "files.h"
#include "pcx.h"
#include "texconv.h"
#include "texlib.h"
#include "trx_object.h"

namespace fs = std::filesystem;

namespace {

const std::string kData = SHOW_DATA_DIR;

std::string Path(const char* name) { return kData + "/" + name; }

// The library loaded once for all tests of this file.
const TexLib& DemoTex() {
    static TexLib* lib = nullptr;
    EXPECT_TRUE(lib || LoadTexLib(Path("demo.tex").c_str(), &lib) == 0) << "demo.tex";
    return *lib;
}

TEST(ContentShow, TwoRunsWriteTheSameBytesAndBadRunsFail) {
    const std::string base = testing::TempDir() + "/tambir_content_" + std::to_string(getpid());
    fs::remove_all(base);
    for (const char* run : {"/a", "/b"}) {
        const std::string cmd = std::string("'") + TAMBIR_CONTENT + "' '" + base + run + "' 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }
    auto files = [&](const std::string& dir) {
        std::map<std::string, Bytes> out;
        for (const auto& e : fs::recursive_directory_iterator(dir))
            if (e.is_regular_file()) ReadBytes(e.path(), &out[fs::relative(e.path(), dir)]);
        return out;
    };
    EXPECT_TRUE(files(base + "/a") == files(base + "/b")) << "the runs differ";
    fs::remove_all(base);
    // Bad usage and an unwritable directory fail.
    for (const char* args : {"", " /proc/tambir"}) {
        const std::string cmd = std::string("'") + TAMBIR_CONTENT + "'" + args + " >/dev/null 2>&1";
        EXPECT_NE(std::system(cmd.c_str()), 0) << cmd;
    }
}

// Every catalogue entry is in the library with its size, format and frames; nothing else is.
TEST(ContentShow, LibraryHoldsExactlyTheCatalogue) {
    const TexLib& lib = DemoTex();
    std::set<int> expected;
    for (const TexDesc& s : TextureCatalogue()) {
        // A size both devices hold: powers of two up to 256, sides at most 8 : 1.
        auto side = [](int n) { return n <= 256 && (n & (n - 1)) == 0; };
        EXPECT_TRUE(side(s.width)) << s.name << ": " << s.width << " wide";
        EXPECT_TRUE(side(s.height)) << s.name << ": " << s.height << " high";
        EXPECT_LE(std::max(s.width, s.height), 8 * std::min(s.width, s.height)) << s.name;
        for (int k = 0; k < TextureEntries(s); ++k) {
            const TexEntry& e = lib.entry[s.id + k];
            EXPECT_TRUE(expected.insert(s.id + k).second)
                << s.name << " overlaps another texture at " << s.id + k;
            EXPECT_EQ(std::tuple(e.format, e.width, e.height, e.frames, e.colorkey),
                      std::tuple(s.format, s.width, s.height, k == 0 ? s.frames : 0,
                                 s.keyed ? kColorKey : -1))
                << s.name << " frame " << k;
        }
    }
    EXPECT_EQ(lib.entry[5].format, TEX_ARGB4444) << "flares draw texture 5";
    for (int i = 0; i < 256; ++i)
        EXPECT_TRUE(expected.count(i) || lib.entry[i].format == TEX_EMPTY) << "entry " << i;
}

TEST(ContentShow, AnimatedTexturesChangeEveryFrame) {
    const TexLib& lib = DemoTex();
    int animated = 0;
    for (const TexDesc& s : TextureCatalogue()) {
        if (s.frames == 0) continue;
        ++animated;
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
        EXPECT_EQ((std::vector<int>{e.width, e.height, e.advance, e.line_height}),
                  (std::vector<int>{8, 16, 8, 16}));
        int inked = 0, white = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 8; ++x) {
                const uint32_t t = TexelArgb(e, x, y);
                inked += t >> 24 != 0, white += t >> 24 && (t & 0xFFFFFF) == 0xFFFFFF;
            }
        EXPECT_TRUE(c == ' ' ? inked == 0 : inked > 1) << "character " << static_cast<char>(c);
        EXPECT_EQ(white, inked) << "glyphs are white";
        shapes.insert(std::string(reinterpret_cast<const char*>(e.pixels), e.size));
    }
    EXPECT_EQ(shapes.size(), 95u) << "every character has a shape of its own";
    FreeTexLib(font);
}

TEST(ContentShow, TitlePicturesLoadAsTheShowLoadsThem) {
    for (const char* name : {"napis1.pcx", "hlnapis.pcx"}) {
        TexEntry e{};
        ASSERT_EQ(LoadPcxTexture(Path(name).c_str(), nullptr, &e, TEX_RGB565, 0), PCX_OK) << name;
        EXPECT_EQ(e.colorkey, 0) << name << ": index 0 is black";
        size_t lit = 0;
        const uint16_t* t = reinterpret_cast<const uint16_t*>(e.pixels);
        for (int i = 0; i < e.width * e.height; ++i) lit += t[i] != 0;
        EXPECT_GT(lit, static_cast<size_t>(e.width * e.height / 20)) << name << " shows something";
        EXPECT_LT(lit, static_cast<size_t>(e.width * e.height)) << name << " has transparent parts";
        std::free(e.pixels);
    }
}

// Calls fn(animation id, keyframe) for every keyframe of every animation of a model.
template <typename Fn>
void EachKey(const Object& obj, Fn fn) {
    for (const Anim* a = obj.anims; a; a = a->next) {
        const Keyframe* k = a->keys;
        if (k) do {
                fn(a->id, *k);
                k = k->next;
            } while (k != a->keys);
    }
}

void Load(Object* obj, const std::string& name) {
    ObjectInit(obj);
    EXPECT_EQ(LoadModel(obj, (Path(name.c_str()) + ".mdl").c_str(), nullptr), 0)
        << name << ": " << ModelFileError();
}

// The models: the script's animations, keys fit for morphing, every texture drawn mapped and held.
TEST(ContentShow, ModelsCarryTheScriptsAnimationsAndMapEveryTexture) {
    const TexLib& lib = DemoTex();
    const struct {
        const char* name;
        std::set<int> anims;
        int keyed = -1;           // an animation with keyframes the script relies on
        std::set<int> keys = {};  // those keyframes (exactly, for the fire's five steps)
        bool once = false;        // plays once from its file
    } models[] = {{"chram", {0, 1}, 1, {0, 1, 2, 3, 4}, false},
                  {"hrdina", {0, 1, 2, 3}, 3, {3000}},
                  {"dvere", {0}, 0, {2000}, true},
                  {"ruvo", {0}},
                  {"objekt", {0}, -1, {}, true},
                  {"cpu", {0, 2}}};
    for (const auto& m : models) {
        Object obj;
        Load(&obj, m.name);
        ASSERT_EQ(LoadRemap(&obj, (Path(m.name) + ".txi").c_str()), 0) << m.name;
        std::set<int> ids, keys;
        std::map<int, std::pair<int, int>> layout;  // of each animation's first keyframe
        EachKey(obj, [&](int id, const Keyframe& k) {
            const Mesh& mesh = k.mesh;
            ids.insert(id);
            layout.insert({id, {mesh.wcount, mesh.ccount}});
            EXPECT_EQ(CheckMesh(&mesh), 0) << m.name << ": " << ModelFileError();
            EXPECT_EQ(layout[id], std::pair(mesh.wcount, mesh.ccount))
                << m.name << " animation " << id << ": morphing needs one layout";
            for (int c = 0; c < mesh.ccount; c += 1 + mesh.ctable[c].run.count) {
                const int t = mesh.ctable[c].run.texture;
                if (t <= 0) continue;
                ASSERT_LT(t, obj.remap_count) << m.name << " draws texture " << t;
                EXPECT_EQ(obj.remap[t], t) << m.name << ": texture " << t << " maps to itself";
                EXPECT_NE(lib.entry[t & 0xFF].format, TEX_EMPTY) << m.name << ": texture " << t;
            }
            if (id == m.keyed) keys.insert(k.frame);
        });
        EXPECT_TRUE(std::includes(ids.begin(), ids.end(), m.anims.begin(), m.anims.end()))
            << m.name << " lacks an animation the script selects";
        EXPECT_TRUE(m.keyed == 1
                        ? keys == m.keys
                        : std::includes(keys.begin(), keys.end(), m.keys.begin(), m.keys.end()))
            << m.name << ": the keyframes the script holds";
        ASSERT_EQ(SelectAnim(&obj, 0, 1), 0);
        EXPECT_EQ(obj.anim->flags & ANIM_ONCE ? true : false, m.once) << m.name;
        FreeObject(&obj);
    }
}

// Any two hero keys blend (the show morphs between its animations): one layout for all.
TEST(ContentShow, HeroKeysShareOneLayout) {
    Object hero;
    Load(&hero, "hrdina");
    std::set<std::pair<int, int>> layouts;
    EachKey(hero, [&](int, const Keyframe& k) { layouts.insert({k.mesh.wcount, k.mesh.ccount}); });
    EXPECT_EQ(layouts.size(), 1u) << "keys of different layouts";
    FreeObject(&hero);
}

// Each part of the show, every animation frame counted and the flares' texture 5 where they burn,
// fits in the 2 MB of texture memory the Glide device has.
TEST(ContentShow, EachPartFitsTheTextureMemory) {
    const TexLib& lib = DemoTex();
    auto bytes = [&](const std::vector<std::pair<const char*, std::set<int>>>& uses, bool flare) {
        std::set<int> entries;
        if (flare) entries.insert(5);
        for (const auto& [name, anims] : uses) {
            Object obj;
            Load(&obj, name);
            EachKey(obj, [&](int id, const Keyframe& k) {
                for (int c = 0; anims.count(id) && c < k.mesh.ccount;
                     c += 1 + k.mesh.ctable[c].run.count) {
                    const int t = k.mesh.ctable[c].run.texture;
                    for (int f = 0; t > 0 && f < std::max<int>(1, lib.entry[t & 0xFF].frames); ++f)
                        entries.insert((t & 0xFF) + f);
                }
            });
            FreeObject(&obj);
        }
        size_t n = 0;
        for (int e : entries) n += lib.entry[e].size;
        return n;
    };
    const size_t temple = bytes({{"chram", {0, 1}},
                                 {"dvere", {0}},
                                 {"ruvo", {0}},
                                 {"hrdina", {0, 1, 2, 3}},
                                 {"objekt", {0}}},
                                true);
    for (size_t b : {bytes({{"cpu", {0}}}, false), temple, bytes({{"cpu", {2}}}, true)})
        EXPECT_LE(b, 2u * 1024 * 1024);
    EXPECT_GT(temple, 0u);
}

}  // namespace
