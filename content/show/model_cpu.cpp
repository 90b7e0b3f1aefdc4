// model_cpu.cpp: cpu. Animation 0 is the title's chip, a package 240 across with gull-wing pins
// on all four sides (about 285 across in all), tumbling at the origin under the title. Animation
// 2 is the closing landscape for the final camera, which sinks from (0, -10, 37) to (1, -10,
// -23.5) looking along +y: a circuit board 50 below the origin that begins in front of the
// camera's plane, a monolith 80 ahead carrying the six credit plates one above another (the
// camera passes them top to bottom), chips, capacitors and the die's towers on the horizon, and
// buses of running data.
#include <cmath>
#include <string>

#include "catalogue.h"
#include "model_parts.h"

namespace {

// A gull-wing pin leaving the package's edge at `base` in direction `out`.
Shape Pin(V3 base, V3 out, V3 along, int texture, int material) {
    const std::vector<V3> path = {base, base + out * 9, base + out * 12.5f + V3{0, 0, -4},
                                  base + out * 14 + V3{0, 0, -12}, base + out * 22 + V3{0, 0, -13}};
    return Extrude(path, {-0.8f, 0.8f, 0.8f, -0.8f}, {-2.4f, -2.4f, 2.4f, 2.4f}, along, texture,
                   material, 1, 2);
}

// A box standing on the board with its own texture on top and another round the sides.
void Block(MeshBuild* mb, V3 lo, V3 hi, int top, int sides, int material, float sideUnits) {
    Shape s =
        BevelBox(lo, hi, std::min(2.0f, (hi.z - lo.z) * 0.2f), 60, 1, sides, material, sideUnits);
    Patch& roof = s.patches[5];
    roof.texture = top;
    for (MVert& v : roof.verts)
        v.u = (v.p.x - lo.x) / (hi.x - lo.x), v.v = (hi.y - v.p.y) / (hi.y - lo.y);
    Put(mb, s, 60);
}

}  // namespace

MeshBuild ChipLogoMesh(void) {
    MeshBuild mb;
    const int body = Mat(&mb, 1, 1, 1, 0.12f, 0.12f, 0.14f);
    const int gold = Mat(&mb, 1, 0.9f, 0.6f, 0.25f, 0.2f, 0.08f);
    const float h = 120;
    Shape chip = BevelBox({-h, -h, -12}, {h, h, 12}, 4, 30, 2, Tex("chip_side"), body, 60);
    // The printed top reads from above with +y up; the die underneath.
    Patch& top = chip.patches[5];
    top.texture = Tex("chip_top");
    for (MVert& v : top.verts) v.u = (v.p.x + h) / (2 * h), v.v = (h - v.p.y) / (2 * h);
    Patch& bottom = chip.patches[4];
    bottom.texture = Tex("die");
    for (MVert& v : bottom.verts) v.u = (v.p.x + h) / (h), v.v = (v.p.y + h) / (h);
    Put(&mb, chip, 60);
    Shape pins;
    for (int side = 0; side < 4; ++side) {
        const float a = static_cast<float>(side) * kPi / 2;
        const V3 out{std::cos(a), std::sin(a), 0}, along{-std::sin(a), std::cos(a), 0};
        for (int k = 0; k < 14; ++k) {
            const float t = (static_cast<float>(k) - 6.5f) * 15.5f;
            Merge(&pins, Pin(out * (h - 2) + along * t, out, along, Tex("bronze"), gold));
        }
    }
    Put(&mb, pins, 50);
    return mb;
}

MeshBuild FinalSceneMesh(void) {
    MeshBuild mb;
    const int board = Mat(&mb, 1, 1, 1);
    const int part = Mat(&mb, 1, 1, 1, 0.05f, 0.05f, 0.06f);
    const int plate = Mat(&mb, 0.8f, 0.8f, 0.8f, 0.45f, 0.45f, 0.45f);
    const int data = Mat(&mb, 0, 0, 0, 0.9f, 1, 1);
    const int metal = Mat(&mb, 1, 1, 1, 0.1f, 0.1f, 0.1f);
    const float floorZ = -50;
    // The board, out to the horizon. The camera turns a few degrees towards -x as it sinks, so
    // the near edge recedes to the sides and stays ahead of the camera's plane all the way down.
    Shape b = SurfaceShape(24, 34, Tex("board"), board, 1, 1, [=](float u, float t) {
        const float x = -1000 + 2000 * u, edge = 20 + 0.22f * std::fabs(x);
        return V3{x, 1700 - (1700 - edge) * t, floorZ};
    });
    ProjectUV(&b, V3{1, 0, 0}, V3{0, -1, 0}, 160);
    Put(&mb, b, 30);

    // The credits monolith, its front at y 70: six plates let into it, top to bottom.
    const float x0 = -28, x1 = 28, y0 = 70, y1 = 110, top = 48;
    const std::vector<const char*>& lines = CreditLines();
    Shape face;
    const int die = Tex("die");
    Merge(&face,
          GridShape({x0, y0, top}, {8, 0, 0}, {0, 0, floorZ - top}, 1, 8, die, part, 0.25f, 3));
    Merge(&face,
          GridShape({x1 - 8, y0, top}, {8, 0, 0}, {0, 0, floorZ - top}, 1, 8, die, part, 0.25f, 3));
    float z = top;
    for (size_t i = 0; i < lines.size(); ++i) {
        const float c = 36 - 11.5f * static_cast<float>(i);
        Merge(&face,
              GridShape({-20, y0, z}, {40, 0, 0}, {0, 0, (c + 5) - z}, 2, 1, die, part, 1, 0.1f));
        const std::string name = "credit_" + std::to_string(i);
        Shape p = GridShape({-20, y0, c + 5}, {40, 0, 0}, {0, 0, -10}, 4, 1, Tex(name.c_str()),
                            plate, 1, 1);
        Merge(&face, p);
        z = c - 5;
    }
    Merge(&face, GridShape({-20, y0, z}, {40, 0, 0}, {0, 0, floorZ - z}, 2, 2, die, part, 1, 0.5f));
    Put(&mb, face, 30);
    // Its other sides and top (the front face above stays open: it is the face just built).
    Shape rest = BevelBox({x0, y0, floorZ}, {x1, y1, top}, 0, 40, 1, die, part, 40);
    rest.patches.erase(rest.patches.begin() + 2);  // the -y face: replaced by the plates
    Put(&mb, rest, 60);
    AddLampFlare(&mb, {0, y0 + 20, top + 6}, 14, 0.4f, 0.9f, 1.0f);

    // Chips, capacitors and towers across the board, kept off the camera's line.
    struct Item {
        float x, y, w, d, h;
        int kind;  // 0 chip, 1 tower, 2 capacitor
    };
    const Item items[] = {
        {-150, 160, 110, 110, 14, 0},   {150, 200, 90, 130, 12, 0},
        {-330, 320, 160, 160, 18, 0},   {320, 380, 140, 120, 16, 0},
        {-90, 420, 120, 90, 12, 0},     {110, 560, 150, 150, 20, 0},
        {-260, 700, 180, 140, 16, 0},   {420, 760, 160, 160, 16, 0},
        {0, 900, 220, 200, 24, 0},      {-560, 520, 200, 220, 20, 0},
        {620, 560, 200, 200, 18, 0},    {-420, 1050, 90, 90, 220, 1},
        {-180, 1250, 110, 110, 320, 1}, {150, 1150, 100, 100, 260, 1},
        {420, 1300, 120, 120, 380, 1},  {700, 1000, 80, 80, 180, 1},
        {-720, 1200, 90, 90, 260, 1},   {20, 1500, 160, 120, 420, 1},
        {-60, 250, 22, 22, 26, 2},      {70, 300, 18, 18, 22, 2},
        {-200, 480, 26, 26, 32, 2},     {240, 470, 22, 22, 28, 2},
        {300, 650, 26, 26, 34, 2},      {-380, 620, 24, 24, 30, 2},
        {-30, 700, 20, 20, 24, 2},
    };
    for (const Item& it : items) {
        const V3 lo{it.x - it.w / 2, it.y - it.d / 2, floorZ},
            hi{it.x + it.w / 2, it.y + it.d / 2, floorZ + it.h};
        if (it.kind == 0) {
            Block(&mb, lo, hi, Tex("chip_top"), Tex("chip_side"), part, 60);
        } else if (it.kind == 1) {
            Block(&mb, lo, hi, die, die, part, 60);
            AddLampFlare(&mb, {it.x, it.y, hi.z + 8}, 30, 1.0f, 0.35f, 0.2f);
        } else {
            Shape cap = Lathe({it.w / 2, it.w / 2, it.w / 2 - 2, 0}, {0, it.h - 2, it.h, it.h}, 12,
                              Tex("ring_metal"), metal, 2, 1);
            Transform(&cap, Translate({it.x, it.y, floorZ}));
            Put(&mb, cap, 50);
        }
    }
    // Buses of running data, raised above the board on either side of the monolith.
    for (float x : {-70.0f, -52.0f, 52.0f, 70.0f, -600.0f, 600.0f}) {
        Shape bus = GridShape({x - 5, 1600, floorZ + 3}, {10, 0, 0}, {0, -1400, 0}, 1, 28,
                              Tex("dataflow"), data, 1, 12);
        Put(&mb, bus, 30);
    }
    // Cool light over the board and a warm one at the monolith.
    AddEmitter(&mb, {0, 400, 120}, {0, 0, -1}, 0.25f, 0.55f, 0.7f, 900, false);
    AddEmitter(&mb, {0, 30, 30}, {0, 1, 0}, 0.5f, 0.4f, 0.3f, 200, false);
    return mb;
}
