// models.cpp: the six models, each with the animations the script selects and keyframes of one
// vertex and run layout per animation (as morphing needs). These are plain stand-ins of boxes and
// panels carrying the catalogue's textures, placed where the script looks; the designed models
// replace them.
#include "models.h"

#include <cmath>
#include <set>
#include <vector>

#include "catalogue.h"
#include "files.h"
#include "mesh_build.h"
#include "trx_object.h"

namespace {

struct Key {
    int frame;
    MeshBuild mesh;
};

struct AnimOut {
    int id;
    int span;
    std::vector<Key> keys;
};

// Texture ids the model uses, for its remap file.
std::set<int> usedIds;

int Tex(const char* name) {
    const int id = TextureId(name);
    const TexDesc* s = FindTexture(name);
    for (int k = 0; k < TextureEntries(*s); ++k) usedIds.insert(id + k);
    return id;
}

std::string Save(const std::string& dir, const char* name, std::vector<AnimOut>& anims) {
    Object model;
    ObjectInit(&model);
    std::string failed;
    for (AnimOut& a : anims) {
        if (AddAnim(&model, a.id) != 0 || SelectAnim(&model, a.id, 1) != 0) failed = "an animation";
        for (Key& k : a.keys) {
            if (!failed.empty()) break;
            // Every texture a run draws goes into the remap file, the flares' too.
            for (size_t c = 0; c < k.mesh.commands.size(); c += 1 + static_cast<size_t>(k.mesh.commands[c].run.count))
                if (k.mesh.commands[c].run.texture > 0) usedIds.insert(k.mesh.commands[c].run.texture);
            Mesh mesh = ToMesh(k.mesh);
            if (CheckMesh(&mesh) != 0) {
                failed = std::string("a mesh: ") + ModelFileError();
                FreeMesh(&mesh);
                break;
            }
            KeyInfo info{};
            info.flags = KEY_TRANSLATE;
            info.scale[0] = info.scale[1] = info.scale[2] = 1;
            if (AddKeyframe(&model, &mesh, k.frame, &info) != 0) failed = "a keyframe";
        }
        if (failed.empty() && SetAnimSpan(&model, a.span) != 0) failed = "the span";
        if (!failed.empty()) break;
    }
    const std::string path = dir + "/" + name + ".mdl";
    if (failed.empty() && SaveModel(&model, path.c_str(), nullptr) != 0) failed = "the file";
    FreeObject(&model);
    if (failed.empty() && !WriteBytes(dir + "/" + name + ".txi", EncodeRemap(name, std::vector<int>(usedIds.begin(), usedIds.end()))))
        failed = "the remap file";
    usedIds.clear();
    return failed.empty() ? "" : std::string(name) + ".mdl: " + failed + " failed";
}

// ---- chram: the temple and its fire ----

MeshBuild Temple() {
    MeshBuild mb;
    const int stone = AddMaterial(&mb, LitMaterial(0.9f, 0.85f, 0.8f));
    const int warm = AddMaterial(&mb, LitMaterial(1, 1, 1, 0.05f, 0.03f, 0.02f));
    const int sky = AddMaterial(&mb, LitMaterial(0, 0, 0, 0.8f, 0.8f, 0.9f));
    // Floor in three bands so the emblem sits where the first shot looks down (y near -870).
    AddGrid(&mb, {-500, -1020, 0}, {1000, 0, 0}, {0, -430, 0}, 20, 8, Tex("floor_stone"), stone, 4, 1.72f);
    AddGrid(&mb, {-500, -720, 0}, {350, 0, 0}, {0, -300, 0}, 7, 6, Tex("floor_stone"), stone, 1.4f, 1.2f);
    AddGrid(&mb, {150, -720, 0}, {350, 0, 0}, {0, -300, 0}, 7, 6, Tex("floor_stone"), stone, 1.4f, 1.2f);
    AddGrid(&mb, {-150, -720, 0}, {300, 0, 0}, {0, -300, 0}, 6, 6, Tex("floor_emblem"), stone, 1, 1);
    AddGrid(&mb, {-500, 1000, 0}, {1000, 0, 0}, {0, -1720, 0}, 20, 34, Tex("floor_stone"), stone, 4, 6.88f);
    // Walls, with relief panels along them.
    AddGrid(&mb, {-500, -1450, 700}, {0, 2450, 0}, {0, 0, -700}, 49, 14, Tex("wall_stone"), stone, 9.8f, 2.8f);
    AddGrid(&mb, {500, 1000, 700}, {0, -2450, 0}, {0, 0, -700}, 49, 14, Tex("wall_stone"), stone, 9.8f, 2.8f);
    AddGrid(&mb, {-500, 1000, 700}, {1000, 0, 0}, {0, 0, -700}, 20, 14, Tex("wall_stone"), stone, 4, 2.8f);
    AddGrid(&mb, {500, -1450, 700}, {-1000, 0, 0}, {0, 0, -700}, 20, 14, Tex("wall_stone"), stone, 4, 2.8f);
    for (int i = 0; i < 5; ++i) {
        const float y = -1100 + static_cast<float>(i) * 400;
        AddGrid(&mb, {-499, y, 380}, {0, 120, 0}, {0, 0, -240}, 2, 6, Tex("wall_relief"), stone, 1, 1);
        AddGrid(&mb, {499, y + 120, 380}, {0, -120, 0}, {0, 0, -240}, 2, 6, Tex("wall_relief"), stone, 1, 1);
    }
    // Columns along the nave.
    for (int i = 0; i < 6; ++i) {
        const float y = -1200 + static_cast<float>(i) * 360;
        for (float x : {-380.0f, 380.0f}) AddBox(&mb, {x - 30, y - 30, 0}, {x + 30, y + 30, 700}, 4, Tex("column"), stone, 200);
    }
    // The dais, its step and the braziers the fires burn on.
    AddBox(&mb, {-260, 440, 0}, {260, 760, 48}, 8, Tex("dais_marble"), warm, 260);
    AddBox(&mb, {-300, 400, 0}, {300, 440, 16}, 8, Tex("dais_step"), warm, 300);
    for (float x : {380.0f, -350.0f}) AddBox(&mb, {x - 40, 520, 0}, {x + 40, 600, 470}, 4, Tex("bronze"), warm, 80);
    // Roof at z 700 with an opening above the dais; beams across it.
    AddGrid(&mb, {-500, -1450, 700}, {1000, 0, 0}, {0, 1800, 0}, 20, 36, Tex("wall_stone"), stone, 4, 7.2f);
    AddGrid(&mb, {-500, 850, 700}, {1000, 0, 0}, {0, 150, 0}, 20, 3, Tex("wall_stone"), stone, 4, 0.6f);
    AddGrid(&mb, {-500, 350, 700}, {300, 0, 0}, {0, 500, 0}, 6, 10, Tex("wall_stone"), stone, 1.2f, 2);
    AddGrid(&mb, {200, 350, 700}, {300, 0, 0}, {0, 500, 0}, 6, 10, Tex("wall_stone"), stone, 1.2f, 2);
    for (int i = 0; i < 8; ++i) {
        const float y = -1400 + static_cast<float>(i) * 220;
        AddBox(&mb, {-500, y, 660}, {500, y + 30, 700}, 4, Tex("roof_beam"), stone, 250);
    }
    // The storm sky above the opening, facing down.
    AddGrid(&mb, {-1200, -600, 1500}, {2400, 0, 0}, {0, 2400, 0}, 12, 12, Tex("sky"), sky, 2, 2);
    // Warm lights and flares at the two fires.
    for (float x : {380.0f, -350.0f}) {
        AddEmitter(&mb, {x, 560, 520}, {0, 0, 1}, 1.0f, 0.55f, 0.2f, 900, false);
        AddFlare(&mb, {x, 560, 540}, 60, 1.0f, 0.7f, 0.4f);
    }
    return mb;
}

MeshBuild Fire(int k) {
    MeshBuild mb;
    const int flame = AddMaterial(&mb, LitMaterial(0, 0, 0, 1, 1, 1));
    const float h = 110 + 18 * std::sin(static_cast<float>(k) * 1.3f), w = 70 + 8 * std::cos(static_cast<float>(k) * 2.1f);
    AddGrid(&mb, {-w / 2, 0, h}, {w, 0, 0}, {0, 0, -h}, 2, 4, Tex("fire"), flame, 1, 1);
    AddGrid(&mb, {0, -w / 2, h}, {0, w, 0}, {0, 0, -h}, 2, 4, Tex("fire"), flame, 1, 1);
    return mb;
}

// ---- the others ----

MeshBuild Door(float lift) {
    MeshBuild mb;
    const int wood = AddMaterial(&mb, LitMaterial(1, 0.95f, 0.9f));
    AddGrid(&mb, {150, -1440, 320 + lift}, {-300, 0, 0}, {0, 0, -320}, 6, 8, Tex("door_wood"), wood, 2, 1.25f);
    for (float z : {60.0f, 250.0f}) AddGrid(&mb, {150, -1439, z + 30 + lift}, {-300, 0, 0}, {0, 0, -30}, 6, 1, Tex("door_iron"), wood, 2.3f, 0.5f);
    return mb;
}

MeshBuild Hero(float sway, float lift) {
    MeshBuild mb;
    const int cloth = AddMaterial(&mb, LitMaterial(1, 1, 1));
    AddBox(&mb, {-9, -5, 0}, {9, 5, 6}, 1, Tex("boots"), cloth, 10);
    AddBox(&mb, {-10 + sway, -6, 6}, {10 + sway, 6, 44 + lift}, 2, Tex("robe"), cloth, 20);
    AddBox(&mb, {-11 + sway, -7, 40 + lift}, {11 + sway, 7, 44 + lift}, 1, Tex("trim"), cloth, 10);
    AddBox(&mb, {-5 + sway, -5, 44 + lift}, {5 + sway, 5, 54 + lift}, 1, Tex("skin"), cloth, 10);
    AddBox(&mb, {-6 + sway, -4, 50 + lift}, {6 + sway, 7, 60 + lift}, 1, Tex("hood"), cloth, 10);
    AddBox(&mb, {12 + sway, -8, 0}, {14 + sway, -6, 62}, 1, Tex("staff"), cloth, 60);
    return mb;
}

MeshBuild Ring(float turn) {
    MeshBuild mb;
    const int glow = AddMaterial(&mb, LitMaterial(0.3f, 0.3f, 0.3f, 0.6f, 0.5f, 0.9f));
    const int n = 24;
    const float r = 110, cz = 420, cy = 600;
    const int base = static_cast<int>(mb.links.size());
    for (int i = 0; i <= n; ++i) {
        const float a = turn + 2 * kPi * static_cast<float>(i) / n;
        const V3 out{std::cos(a), 0, std::sin(a)};
        AddPoint(&mb, V3{out.x * r, cy, cz + out.z * r} + V3{0, 0, 0}, V3{0, -1, 0});
        AddPoint(&mb, V3{out.x * (r - 24), cy, cz + out.z * (r - 24)}, V3{0, -1, 0});
    }
    AddRun(&mb, PRIM_STRIP, 2 * (n + 1), Tex("rune_ring"));
    for (int i = 0; i <= n; ++i) {
        AddRef(&mb, base + 2 * i, glow, static_cast<float>(i) / n * 4, 0);
        AddRef(&mb, base + 2 * i + 1, glow, static_cast<float>(i) / n * 4, 1);
    }
    return mb;
}

MeshBuild Relic(float turn) {
    MeshBuild mb;
    const int metal = AddMaterial(&mb, LitMaterial(1, 1, 1, 0.15f, 0.12f, 0.05f));
    const float s = 25 + 3 * std::sin(turn);
    AddBox(&mb, {-s, -s, -s}, {s, s, s}, 2, Tex("relic_metal"), metal, 2 * s);
    return mb;
}

MeshBuild ChipLogo() {
    MeshBuild mb;
    const int body = AddMaterial(&mb, LitMaterial(1, 1, 1, 0.1f, 0.1f, 0.1f));
    // The printed top, the die underneath, the package's four edges and a row of pins on each.
    AddGrid(&mb, {-150, 150, 15}, {300, 0, 0}, {0, -300, 0}, 6, 6, Tex("chip_top"), body, 1, 1);
    AddGrid(&mb, {-150, -150, -15}, {300, 0, 0}, {0, 300, 0}, 6, 6, Tex("die"), body, 2, 2);
    for (int side = 0; side < 4; ++side) {
        const float a = static_cast<float>(side) * kPi / 2, c = std::cos(a), s = std::sin(a);
        // Corner at the side's left end seen from outside, the edge running right along it.
        const V3 corner{150 * c + 150 * s, 150 * s - 150 * c, 15}, along{-300 * s, 300 * c, 0};
        AddGrid(&mb, corner, along, {0, 0, -30}, 6, 1, Tex("chip_side"), body, 1, 1);
        AddGrid(&mb, corner + V3{0, 0, -10} + V3{c, s, 0} * 0.5f, along, V3{c * 30, s * 30, 0} * 1.0f, 6, 1, Tex("pins"), body, 6, 1);
    }
    return mb;
}

MeshBuild FinalScene() {
    MeshBuild mb;
    const int board = AddMaterial(&mb, LitMaterial(1, 1, 1));
    const int plate = AddMaterial(&mb, LitMaterial(1, 1, 1, 0.2f, 0.2f, 0.2f));
    AddGrid(&mb, {-400, 1550, -40}, {800, 0, 0}, {0, -1600, 0}, 16, 32, Tex("board"), board, 4, 8);
    AddGrid(&mb, {-400, 1550, -39}, {800, 0, 0}, {0, -1600, 0}, 16, 32, Tex("dataflow"), plate, 8, 16);
    const std::vector<const char*>& lines = CreditLines();
    for (size_t i = 0; i < lines.size(); ++i) {
        const float y = 60 + static_cast<float>(i) * 90, x = (i % 2 ? 10.0f : -90.0f);
        const std::string name = "credit_" + std::to_string(i);
        AddGrid(&mb, {x, y, 10}, {80, 0, 0}, {0, 0, -20}, 4, 1, Tex(name.c_str()), plate, 1, 1);
    }
    return mb;
}

}  // namespace

std::string WriteModels(const std::string& dir) {
    std::string failed;
    {
        std::vector<AnimOut> a = {{0, 1, {}}, {1, 5, {}}};
        a[0].keys.push_back({0, Temple()});
        for (int k = 0; k < 5; ++k) a[1].keys.push_back({k, Fire(k)});
        failed = Save(dir, "chram", a);
    }
    if (failed.empty()) {
        std::vector<AnimOut> a = {{0, 20, {}}, {1, 20, {}}, {2, 60, {}}, {3, 6000, {}}};
        a[0].keys = {{0, Hero(0, 0)}, {10, Hero(0, 0.8f)}};
        a[1].keys = {{0, Hero(-1.5f, 0)}, {10, Hero(1.5f, 0.5f)}};
        a[2].keys = {{0, Hero(0, 0)}, {20, Hero(0, 4)}, {40, Hero(2, 2)}};
        a[3].keys = {{0, Hero(2, 2)}, {3000, Hero(0, 5)}};
        failed = Save(dir, "hrdina", a);
    }
    if (failed.empty()) {
        std::vector<AnimOut> a = {{0, 4000, {}}};
        a[0].keys = {{0, Door(0)}, {2000, Door(300)}};
        failed = Save(dir, "dvere", a);
    }
    if (failed.empty()) {
        std::vector<AnimOut> a = {{0, 20, {}}};
        a[0].keys = {{0, Ring(0)}, {10, Ring(kPi / 24)}};
        failed = Save(dir, "ruvo", a);
    }
    if (failed.empty()) {
        std::vector<AnimOut> a = {{0, 60, {}}};
        a[0].keys = {{0, Relic(0)}, {20, Relic(2)}, {40, Relic(4)}};
        failed = Save(dir, "objekt", a);
    }
    if (failed.empty()) {
        std::vector<AnimOut> a = {{0, 1, {}}, {2, 1, {}}};
        a[0].keys.push_back({0, ChipLogo()});
        a[1].keys.push_back({0, FinalScene()});
        failed = Save(dir, "cpu", a);
    }
    return failed;
}
