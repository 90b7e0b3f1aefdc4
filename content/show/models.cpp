// models.cpp: the six model files and their remap files, and the three small models (the door,
// the rune ring, the relic). Every animation the script selects is here with the keyframe
// numbers and flags its set-up relies on; every keyframe of an animation has one vertex and run
// layout, as morphing needs.
#include "models.h"

#include <cmath>
#include <set>
#include <vector>

#include "catalogue.h"
#include "files.h"
#include "model_parts.h"
#include "trx_object.h"

namespace {

// Texture ids the model being built uses, for its remap file.
std::set<int> usedIds;

std::string Save(const std::string& dir, const char* name, std::vector<ModelAnim>& anims) {
    Object model;
    ObjectInit(&model);
    std::string failed;
    for (ModelAnim& a : anims) {
        if (AddAnim(&model, a.id) != 0 || SelectAnim(&model, a.id, 1) != 0) failed = "an animation";
        for (ModelKey& k : a.keys) {
            if (!failed.empty()) break;
            // Every texture a run draws goes into the remap file, the flares' too.
            for (size_t c = 0; c < k.mesh.commands.size();
                 c += 1 + static_cast<size_t>(k.mesh.commands[c].run.count))
                if (k.mesh.commands[c].run.texture > 0)
                    usedIds.insert(k.mesh.commands[c].run.texture);
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
        if (failed.empty() && a.flags && SetAnimFlags(&model, a.flags, 0) != 0)
            failed = "the flags";
        if (!failed.empty()) break;
    }
    const std::string path = dir + "/" + name + ".mdl";
    if (failed.empty() && SaveModel(&model, path.c_str(), nullptr) != 0) failed = "the file";
    FreeObject(&model);
    if (failed.empty() &&
        !WriteBytes(dir + "/" + name + ".txi",
                    EncodeRemap(name, std::vector<int>(usedIds.begin(), usedIds.end()))))
        failed = "the remap file";
    usedIds.clear();
    return failed.empty() ? "" : std::string(name) + ".mdl: " + failed + " failed";
}

// ---- dvere: two iron-bound leaves that swing outwards, hinged at x = +-150 ----

// One leaf closed over x 0..150 (right) or -150..0 (left), turned open by `angle`.
Shape Leaf(bool right, float angle, int wood, int iron) {
    const float y0 = -1446, y1 = -1434, height = 318;
    Shape s;
    // The faces in bands, wood and iron straps side by side rather than one over the other.
    const float bands[] = {0, 40, 62, 140, 162, 240, 262, height};
    for (int i = 0; i < 7; ++i) {
        const int tex = i % 2 ? Tex("door_iron") : Tex("door_wood");
        const int mat = i % 2 ? iron : wood;
        const float z0 = bands[i], z1 = bands[i + 1];
        const int rows = std::max(1, static_cast<int>((z1 - z0) / 40));
        // Outside face (-y) and inside face (+y).
        Merge(&s, GridShape({0, y0, z1}, {150, 0, 0}, {0, 0, z0 - z1}, 3, rows, tex, mat, 1,
                            (z1 - z0) / 160));
        Merge(&s, GridShape({150, y1, z1}, {-150, 0, 0}, {0, 0, z0 - z1}, 3, rows, tex, mat, 1,
                            (z1 - z0) / 160));
    }
    Merge(&s, GridShape({0, y1, height}, {150, 0, 0}, {0, y0 - y1, 0}, 3, 1, Tex("door_wood"), wood,
                        1, 0.1f));
    Merge(&s, GridShape({150, y0, height}, {0, y1 - y0, 0}, {0, 0, -height}, 1, 6, Tex("door_wood"),
                        wood, 0.1f, 2));
    Merge(&s, GridShape({0, y1, height}, {0, y0 - y1, 0}, {0, 0, -height}, 1, 6, Tex("door_wood"),
                        wood, 0.1f, 2));
    // A ring handle on the outside, near the meeting edge.
    Shape ring =
        Lathe({2.2f, 3.2f, 2.2f, 1.2f, 2.2f}, {-1, 0, 1, 0, -1}, 10, Tex("door_iron"), iron, 1, 1);
    Transform(&ring, Translate({32, y0 - 3, 150}) * RotX(kPi / 2) * ScaleM(4, 4, 1));
    Merge(&s, ring);
    if (!right) Mirror(&s, 0);
    // Outwards: the free edge swings to -y about the hinge at x = +-150.
    const float hinge = right ? 150.0f : -150.0f;
    Transform(&s, RotateAbout({hinge, -1440, 0}, RotZ(right ? angle : -angle)));
    return s;
}

MeshBuild DoorMesh(float angle) {
    MeshBuild mb;
    const int wood = Mat(&mb, 1, 0.96f, 0.92f);
    const int iron = Mat(&mb, 0.9f, 0.9f, 0.95f, 0.02f, 0.02f, 0.02f);
    Shape both = Leaf(true, angle, wood, iron);
    Merge(&both, Leaf(false, angle, wood, iron));
    Put(&mb, both, 45);
    return mb;
}

}  // namespace

std::vector<ModelAnim> DoorAnims(void) {
    // Heavy: a slow start, open (105 degrees) at key 2000, where the show holds it, then a small
    // settle; the last key lies past what a 150-frame play-once run reaches, so it stays open.
    std::vector<ModelAnim> a = {{0, 4000, ANIM_ONCE, {}}};
    for (int k = 0; k <= 8; ++k) {
        const float t = static_cast<float>(k) / 8;
        const float eased = t * t * (3 - 2 * t);
        a[0].keys.push_back({250 * k, DoorMesh(1.83f * eased)});
    }
    a[0].keys.push_back({2600, DoorMesh(1.76f)});
    a[0].keys.push_back({3990, DoorMesh(1.80f)});
    return a;
}

// ---- ruvo: a wheel of runes standing above the dais behind the hero ----

namespace {

MeshBuild RuneRing(float turn) {
    MeshBuild mb;
    const int runes = Mat(&mb, 0.3f, 0.3f, 0.3f, 0.55f, 0.4f, 0.85f);
    const int metal = Mat(&mb, 1, 0.95f, 0.85f, 0.1f, 0.08f, 0.05f);
    // The rune band (four repeats round, so a quarter turn closes the loop), and two rims that
    // turn the other way (eight repeats round their texture).
    Shape band = SurfaceShape(48, 1, Tex("rune_ring"), runes, 4, 1, [&](float u, float t) {
        const float a = turn - u * 2 * kPi, r = 118 - 26 * t;
        return V3{r * std::cos(a), 0, r * std::sin(a)};
    });
    Shape rims;
    for (float r : {124.0f, 88.0f}) {
        Shape rim = Lathe({r - 3, r, r + 3, r, r - 3}, {0, -3, 0, 3, 0}, 48, Tex("ring_metal"),
                          metal, 8, 1);
        Transform(&rim, RotZ(-turn / 2));
        Merge(&rims, rim);
    }
    Transform(&rims, RotX(kPi / 2));
    Merge(&band, rims);
    // Four spokes of light towards a small hub.
    Shape hub = Lathe({0, 10, 14, 10, 0}, {-6, -5, 0, 5, 6}, 16, Tex("ring_metal"), metal, 2, 1);
    Transform(&hub, RotX(kPi / 2) * RotZ(turn));
    Merge(&band, hub);
    Transform(&band, Translate({0, 720, 330}));
    Put(&mb, band, 40);
    return mb;
}

// ---- objekt: a relic of four petals round a glowing crystal, opening as it descends ----

MeshBuild Relic(float open, float glow) {
    MeshBuild mb;
    // Lit from inside by the light that follows it, so the petals carry their own sheen.
    const int metal = Mat(&mb, 1, 1, 1, 0.45f, 0.38f, 0.25f);
    const int light = Mat(&mb, 0.2f, 0.2f, 0.2f, 0.9f * glow, 0.8f * glow, 1.0f * glow);
    Shape s =
        Lathe({0, 8 * glow, 0}, {-14 * glow, 0, 14 * glow}, 8, Tex("relic_glow"), light, 2, 1);
    // The crystal shows the bright heart of its glow texture from every side.
    ProjectUV(&s, V3{0.02f / glow, 0.01f / glow, 0}, V3{0, 0, 0.02f / glow}, 1);
    for (MVert& v : s.patches[0].verts) v.u += 0.5f, v.v += 0.5f;
    for (int k = 0; k < 4; ++k) {
        const float a = static_cast<float>(k) * kPi / 2;
        Shape petal =
            Lathe({3, 11, 15, 15, 11, 3}, {-18, -13, -5, 5, 13, 18}, 6, Tex("relic_metal"), metal,
                  0.6f, 1, a - kPi / 4 + 0.06f, a + kPi / 4 - 0.06f);
        // Each petal opens about a hinge under its middle, tangent to the ring.
        const V3 hinge{3 * std::cos(a), 3 * std::sin(a), -18};
        Transform(&petal, RotateAbout(hinge, RotZ(a) * RotY(open) * RotZ(-a)));
        Merge(&s, petal);
    }
    Put(&mb, s, 40);
    AddLampFlare(&mb, {0, 0, 0}, 26 * glow, 0.8f, 0.75f, 1.0f);
    return mb;
}

}  // namespace

std::vector<ModelAnim> RuneRingAnims(void) {
    std::vector<ModelAnim> a = {{0, 20, 0, {}}};
    for (int k = 0; k < 10; ++k)
        a[0].keys.push_back({2 * k, RuneRing(static_cast<float>(k) / 10 * kPi / 2)});
    return a;
}

std::vector<ModelAnim> RelicAnims(void) {
    std::vector<ModelAnim> a = {{0, 60, ANIM_ONCE, {}}};
    const struct {
        int frame;
        float open, glow;
    } keys[] = {
        {0, 0, 1}, {15, 0.15f, 1.05f}, {30, 0.6f, 1.15f}, {45, 1.05f, 1.3f}, {59, 1.2f, 1.35f}};
    for (const auto& k : keys) a[0].keys.push_back({k.frame, Relic(k.open, k.glow)});
    return a;
}

int Tex(const char* name) {
    const int id = TextureId(name);
    const TexDesc* s = FindTexture(name);
    for (int k = 0; k < TextureEntries(*s); ++k) usedIds.insert(id + k);
    return id;
}

std::string WriteModels(const std::string& dir) {
    std::string failed;
    {
        std::vector<ModelAnim> a = {{0, 1, 0, {}}, {1, 5, 0, {}}};
        a[0].keys.push_back({0, TempleMesh()});
        for (int k = 0; k < 5; ++k) a[1].keys.push_back({k, FireMesh(k)});
        failed = Save(dir, "chram", a);
    }
    if (failed.empty()) {
        std::vector<ModelAnim> a = HeroAnims();
        failed = Save(dir, "hrdina", a);
    }
    if (failed.empty()) {
        std::vector<ModelAnim> a = DoorAnims();
        failed = Save(dir, "dvere", a);
    }
    if (failed.empty()) {
        std::vector<ModelAnim> a = RuneRingAnims();
        failed = Save(dir, "ruvo", a);
    }
    if (failed.empty()) {
        std::vector<ModelAnim> a = RelicAnims();
        failed = Save(dir, "objekt", a);
    }
    if (failed.empty()) {
        std::vector<ModelAnim> a = {{0, 1, 0, {}}, {2, 1, 0, {}}};
        a[0].keys.push_back({0, ChipLogoMesh()});
        a[1].keys.push_back({0, FinalSceneMesh()});
        failed = Save(dir, "cpu", a);
    }
    return failed;
}
