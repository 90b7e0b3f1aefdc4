// model_temple.cpp: chram. The nave runs along y from the entrance (y -1450) to the back wall
// (y 1000), 1000 wide and 700 high, its floor at z 0. Columns stand in two rows at x +-380, the
// dais (48 high, with a shaft for the relic at (0, 480)) near the back, the fire braziers at
// (380, 560) and (-350, 560) carry their bowls at z 470, and the roof opens above the dais onto a
// storm sky. Surfaces the lights should shape have vertices every 50 units; nothing stands where
// the script's camera flies (the beams clear the flight at z 660, no column near x 399, y 13).
#include <cmath>

#include "model_parts.h"

namespace {

constexpr float kX = 500, kEntrance = -1450, kBack = 1000, kHeight = 700;
constexpr float kCell = 50;

int Cells(float length, float cell) {
    return std::max(1, static_cast<int>(std::ceil(std::fabs(length) / cell - 0.01f)));
}

// A flat piece from origin along eu and ev, cells of about `cell` units, its front ev x eu.
Shape Piece(V3 origin, V3 eu, V3 ev, int texture, int material, float cell = kCell) {
    return GridShape(origin, eu, ev, Cells(Length(eu), cell), Cells(Length(ev), cell), texture,
                     material);
}

// A wall at x = x0 facing the nave between y0 and y1 and heights z0..z1 (texture by world place).
Shape SideWall(float x0, float y0, float y1, float z0, float z1, int texture, int material) {
    const bool left = x0 < 0;
    // Left wall (faces +x): u runs along +y; right wall (faces -x): along -y.
    Shape s = left ? Piece({x0, y0, z1}, {0, y1 - y0, 0}, {0, 0, z0 - z1}, texture, material)
                   : Piece({x0, y1, z1}, {0, y0 - y1, 0}, {0, 0, z0 - z1}, texture, material);
    ProjectUV(&s, V3{0, left ? 1.0f : -1.0f, 0}, V3{0, 0, -1}, 250);
    return s;
}

// A wall across the nave at y = y0 between x0 < x1: the back wall faces -y, the entrance +y.
Shape CrossWall(float y0, float x0, float x1, float z0, float z1, int texture, int material) {
    const bool back = y0 > 0;
    Shape s = back ? Piece({x0, y0, z1}, {x1 - x0, 0, 0}, {0, 0, z0 - z1}, texture, material)
                   : Piece({x1, y0, z1}, {x0 - x1, 0, 0}, {0, 0, z0 - z1}, texture, material);
    ProjectUV(&s, V3{back ? 1.0f : -1.0f, 0, 0}, V3{0, 0, -1}, 250);
    return s;
}

// Floor (facing up) over x0..x1, y0..y1.
Shape Floor(float x0, float x1, float y0, float y1, float z, int texture, int material,
            float units) {
    Shape s = Piece({x0, y1, z}, {x1 - x0, 0, 0}, {0, y0 - y1, 0}, texture, material);
    ProjectUV(&s, V3{1, 0, 0}, V3{0, -1, 0}, units);
    return s;
}

// Ceiling (facing down) over x0..x1, y0..y1 at z; little light reaches it, so coarser cells.
Shape Ceiling(float x0, float x1, float y0, float y1, float z, int texture, int material) {
    Shape s = Piece({x0, y0, z}, {x1 - x0, 0, 0}, {0, y1 - y0, 0}, texture, material, 100);
    ProjectUV(&s, V3{1, 0, 0}, V3{0, 1, 0}, 250);
    return s;
}

// A relief panel let into a side wall (flush, so no depth fighting) and its bronze frame.
void ReliefPanel(MeshBuild* mb, Shape* wall, float x0, float yc, int stone, int bronze) {
    const float y0 = yc - 70, y1 = yc + 70, z0 = 160, z1 = 400;
    const bool left = x0 < 0;
    Shape panel = left ? GridShape({x0, y0, z1}, {0, 140, 0}, {0, 0, z0 - z1}, 3, 5,
                                   Tex("wall_relief"), stone)
                       : GridShape({x0, y1, z1}, {0, -140, 0}, {0, 0, z0 - z1}, 3, 5,
                                   Tex("wall_relief"), stone);
    Merge(wall, panel);
    const float in = left ? x0 : x0 - 8, out = left ? x0 + 8 : x0;
    Shape frame =
        BevelBox({in, y0 - 10, z0 - 10}, {out, y1 + 10, z0}, 2, 60, 1, Tex("bronze"), bronze, 60);
    Merge(&frame, BevelBox({in, y0 - 10, z1}, {out, y1 + 10, z1 + 10}, 2, 60, 1, Tex("bronze"),
                           bronze, 60));
    Merge(&frame, BevelBox({in, y0 - 10, z0}, {out, y0, z1}, 2, 60, 1, Tex("bronze"), bronze, 60));
    Merge(&frame, BevelBox({in, y1, z0}, {out, y1 + 10, z1}, 2, 60, 1, Tex("bronze"), bronze, 60));
    Put(mb, frame, 60);
}

// One side wall with its four panels, between columns.
void SideWallWithPanels(MeshBuild* mb, float x0, const float* panels, int count, int stone,
                        int bronze) {
    Shape wall;
    float y = kEntrance;
    for (int i = 0; i < count; ++i) {
        const float y0 = panels[i] - 70, y1 = panels[i] + 70;
        Merge(&wall, SideWall(x0, y, y0, 0, kHeight, Tex("wall_stone"), stone));
        Merge(&wall, SideWall(x0, y0, y1, 0, 160, Tex("wall_stone"), stone));
        Merge(&wall, SideWall(x0, y0, y1, 400, kHeight, Tex("wall_stone"), stone));
        ReliefPanel(mb, &wall, x0, panels[i], stone, bronze);
        y = y1;
    }
    Merge(&wall, SideWall(x0, y, kBack, 0, kHeight, Tex("wall_stone"), stone));
    Put(mb, wall, 30);
}

Shape Column(float x, float y, int texture, int material) {
    // Plinth, torus, tapering shaft, echinus and abacus; repeated points are hard edges.
    const std::vector<float> r = {46, 46, 46, 38, 31, 31, 27, 27, 33, 44, 44, 44};
    const std::vector<float> z = {0, 22, 22, 28, 38, 38, 616, 616, 632, 662, 662, 700};
    Shape s = Lathe(r, z, 12, texture, material, 2, 4);
    Transform(&s, Translate({x, y, 0}));
    return s;
}

Shape Brazier(float x, float y, int texture, int material) {
    const std::vector<float> r = {42, 42, 42, 28, 17, 14, 12, 12, 21,
                                  21, 12, 14, 34, 48, 48, 42, 24, 0};
    const std::vector<float> z = {0,   14,  14,  24,  40,  60,  400, 418, 422,
                                  436, 440, 448, 462, 480, 486, 484, 472, 468};
    Shape s = Lathe(r, z, 16, texture, material, 3, 3);
    Transform(&s, Translate({x, y, 0}));
    return s;
}

// The dais: top at 48 with the relic's shaft around (0, 480), sides, two steps in front.
void Dais(MeshBuild* mb, int marble, int stepTex, int dark) {
    const float top = 48, hole = 40, cy = 480;
    Shape s;
    // The ring from the shaft's edge out to the square x -80..80, y 400..560.
    Merge(&s, SurfaceShape(32, 2, Tex("dais_marble"), marble, 1, 1, [&](float a, float t) {
        const float ang = a * 2 * kPi;
        const float dx = std::cos(ang), dy = std::sin(ang);
        const float k = 80 / std::max(std::fabs(dx), std::fabs(dy));
        const V3 inner{dx * hole, cy + dy * hole, top}, outer{dx * k, cy + dy * k, top};
        return inner + (outer - inner) * t;
    }));
    Merge(&s, Floor(-300, -80, 400, 780, top, Tex("dais_marble"), marble, 260));
    Merge(&s, Floor(80, 300, 400, 780, top, Tex("dais_marble"), marble, 260));
    Merge(&s, Floor(-80, 80, 560, 780, top, Tex("dais_marble"), marble, 260));
    ProjectUV(&s, V3{1, 0, 0}, V3{0, -1, 0}, 260);
    Put(mb, s, 30);
    Shape sides;
    Merge(&sides, GridShape({-300, 400, top}, {600, 0, 0}, {0, 0, -top}, 12, 1, Tex("dais_step"),
                            marble, 6, 0.5f));
    Merge(&sides, GridShape({300, 780, top}, {-600, 0, 0}, {0, 0, -top}, 12, 1, Tex("dais_step"),
                            marble, 6, 0.5f));
    Merge(&sides, GridShape({-300, 780, top}, {0, -380, 0}, {0, 0, -top}, 8, 1, Tex("dais_step"),
                            marble, 4, 0.5f));
    Merge(&sides, GridShape({300, 400, top}, {0, 380, 0}, {0, 0, -top}, 8, 1, Tex("dais_step"),
                            marble, 4, 0.5f));
    Put(mb, sides, 30);
    Put(mb, BevelBox({-300, 360, 0}, {300, 400, 32}, 2, 60, 1, stepTex, marble, 100), 60);
    Put(mb, BevelBox({-300, 320, 0}, {300, 360, 16}, 2, 60, 1, stepTex, marble, 100), 60);
    // The shaft: a cylinder facing inwards (its profile runs down) and a dark floor.
    Shape shaft = Lathe({hole, hole, hole}, {top, 0, -160}, 24, Tex("dais_step"), dark, 4, 2);
    Merge(&shaft, Disc(hole, -160, 24, true, Tex("dais_step"), dark, 0.01f));
    Transform(&shaft, Translate({0, cy, 0}));
    Put(mb, shaft, 60);
    // A bronze lip around the shaft's mouth.
    Shape lip = Lathe({hole, hole + 6, hole + 9, hole + 6}, {top - 2, top + 2, top + 1, top}, 24,
                      Tex("bronze"), marble, 6, 1);
    Transform(&lip, Translate({0, cy, 0}));
    Put(mb, lip, 70);
}

// The entrance: the wall around the doorway (x -150..150, z 0..320), its stone frame, and the
// night outside: ground and a sky backdrop seen through the open door.
void Entrance(MeshBuild* mb, int stone, int sky) {
    Shape w;
    Merge(&w, CrossWall(kEntrance, 150, kX, 0, kHeight, Tex("wall_stone"), stone));
    Merge(&w, CrossWall(kEntrance, -kX, -150, 0, kHeight, Tex("wall_stone"), stone));
    Merge(&w, CrossWall(kEntrance, -150, 150, 320, kHeight, Tex("wall_stone"), stone));
    Put(mb, w, 30);
    Shape frame = BevelBox({-180, kEntrance - 20, 0}, {-150, kEntrance + 14, 350}, 3, 60, 1,
                           Tex("column"), stone, 120);
    Merge(&frame, BevelBox({150, kEntrance - 20, 0}, {180, kEntrance + 14, 350}, 3, 60, 1,
                           Tex("column"), stone, 120));
    Merge(&frame, BevelBox({-190, kEntrance - 24, 320}, {190, kEntrance + 18, 356}, 3, 60, 1,
                           Tex("column"), stone, 120));
    Put(mb, frame, 60);
    Put(mb, Floor(-400, 400, kEntrance - 400, kEntrance, 0, Tex("floor_stone"), stone, 250), 30);
    Shape backdrop = GridShape({500, kEntrance - 400, 700}, {-1000, 0, 0}, {0, 0, -800}, 8, 6,
                               Tex("sky"), sky, 1.5f, 1.2f);
    Put(mb, backdrop, 30);
}

// The roof at 700 with the opening above the dais (x -250..250, y 150..650), a light well up
// to 790, beams across the nave clear of the camera's flight, and the sky far above.
void Roof(MeshBuild* mb, int stone, int beam, int sky) {
    Shape c;
    Merge(&c, Ceiling(-kX, kX, kEntrance, 150, kHeight, Tex("wall_stone"), stone));
    Merge(&c, Ceiling(-kX, kX, 650, kBack, kHeight, Tex("wall_stone"), stone));
    Merge(&c, Ceiling(-kX, -250, 150, 650, kHeight, Tex("wall_stone"), stone));
    Merge(&c, Ceiling(250, kX, 150, 650, kHeight, Tex("wall_stone"), stone));
    Put(mb, c, 30);
    // The well's four sides facing into the opening.
    Shape well;
    Merge(&well, GridShape({250, 150, 790}, {-500, 0, 0}, {0, 0, -90}, 10, 2, Tex("wall_stone"),
                           stone, 2, 0.36f));
    Merge(&well, GridShape({-250, 650, 790}, {500, 0, 0}, {0, 0, -90}, 10, 2, Tex("wall_stone"),
                           stone, 2, 0.36f));
    Merge(&well, GridShape({-250, 150, 790}, {0, 500, 0}, {0, 0, -90}, 10, 2, Tex("wall_stone"),
                           stone, 2, 0.36f));
    Merge(&well, GridShape({250, 650, 790}, {0, -500, 0}, {0, 0, -90}, 10, 2, Tex("wall_stone"),
                           stone, 2, 0.36f));
    Put(mb, well, 30);
    // A carved frame hanging round the opening.
    Shape frame =
        BevelBox({-280, 120, 670}, {280, 150, 700}, 3, 60, 1, Tex("roof_beam"), beam, 120);
    Merge(&frame,
          BevelBox({-280, 650, 670}, {280, 680, 700}, 3, 60, 1, Tex("roof_beam"), beam, 120));
    Merge(&frame,
          BevelBox({-280, 150, 670}, {-250, 650, 700}, 3, 60, 1, Tex("roof_beam"), beam, 120));
    Merge(&frame,
          BevelBox({250, 150, 670}, {280, 650, 700}, 3, 60, 1, Tex("roof_beam"), beam, 120));
    Put(mb, frame, 60);
    // Beams across the nave, 25 deep, between the columns' rows.
    for (float y : {-1225.0f, -975.0f, -725.0f, -475.0f, -225.0f, 25.0f, 800.0f})
        Put(mb,
            BevelBox({-kX, y - 14, 675}, {kX, y + 14, 700}, 0, 100, 1, Tex("roof_beam"), beam, 200),
            60);
    // The storm sky, lit by itself, facing down.
    Shape s =
        GridShape({-1100, -700, 1400}, {2200, 0, 0}, {0, 2200, 0}, 10, 10, Tex("sky"), sky, 2, 2);
    Put(mb, s, 30);
}

// A wall lamp: an iron bracket, a bronze cup, a flare and a warm point light.
void Sconce(MeshBuild* mb, float x, float y, int bronze) {
    const float dir = x < 0 ? 1.0f : -1.0f;
    Shape bracket =
        BevelBox({std::min(x, x + dir * 26), y - 4, 420}, {std::max(x, x + dir * 26), y + 4, 428},
                 0, 60, 1, Tex("bronze"), bronze, 30);
    Shape cup = Lathe({0, 6, 12, 13, 11}, {-8, -6, 0, 4, 3}, 10, Tex("bronze"), bronze, 2, 1);
    Transform(&cup, Translate({x + dir * 30, y, 432}));
    Merge(&bracket, cup);
    Put(mb, bracket, 60);
    AddLampFlare(mb, {x + dir * 30, y, 448}, 46, 1.0f, 0.62f, 0.3f);
    AddEmitter(mb, {x + dir * 34, y, 450}, {0, 0, 1}, 0.9f, 0.5f, 0.22f, 420, false);
}

// A standing lamp on the nave floor: a bronze stand with a bowl, its flame a flare and a light.
void FloorLamp(MeshBuild* mb, float x, float y, int bronze) {
    const std::vector<float> r = {20, 20, 20, 9, 5, 4, 4, 9, 14, 15, 12};
    const std::vector<float> z = {0, 6, 6, 14, 24, 40, 150, 154, 160, 166, 163};
    Shape s = Lathe(r, z, 10, Tex("bronze"), bronze, 2, 3);
    Transform(&s, Translate({x, y, 0}));
    Put(mb, s, 55);
    AddLampFlare(mb, {x, y, 176}, 40, 1.0f, 0.65f, 0.3f);
    AddEmitter(mb, {x, y, 180}, {0, 0, 1}, 1.0f, 0.6f, 0.28f, 520, false);
}

}  // namespace

MeshBuild TempleMesh(void) {
    MeshBuild mb;
    const int stone = Mat(&mb, 0.9f, 0.86f, 0.8f, 0.04f, 0.035f, 0.03f);
    const int marble = Mat(&mb, 1, 0.97f, 0.92f, 0.03f, 0.02f, 0.015f);
    const int bronze = Mat(&mb, 1, 0.9f, 0.75f, 0.04f, 0.03f, 0.01f);
    const int dark = Mat(&mb, 0.4f, 0.35f, 0.3f);
    const int sky = Mat(&mb, 0, 0, 0, 0.85f, 0.85f, 0.95f);
    const int dimSky = Mat(&mb, 0, 0, 0, 0.35f, 0.36f, 0.45f);
    // Floor: the entrance, a band with the emblem where the first shot looks down (y -1020..-720),
    // the nave, and round the dais.
    Shape floor;
    Merge(&floor, Floor(-kX, kX, kEntrance, -1020, 0, Tex("floor_stone"), stone, 250));
    Merge(&floor, Floor(-kX, -150, -1020, -720, 0, Tex("floor_stone"), stone, 250));
    Merge(&floor, Floor(150, kX, -1020, -720, 0, Tex("floor_stone"), stone, 250));
    Shape emblem = GridShape({-150, -720, 0}, {300, 0, 0}, {0, -300, 0}, 6, 6, Tex("floor_emblem"),
                             marble, 1, 1);
    Merge(&floor, emblem);
    Merge(&floor, Floor(-kX, kX, -720, 320, 0, Tex("floor_stone"), stone, 250));
    Merge(&floor, Floor(-kX, -300, 320, 780, 0, Tex("floor_stone"), stone, 250));
    Merge(&floor, Floor(300, kX, 320, 780, 0, Tex("floor_stone"), stone, 250));
    Merge(&floor, Floor(-kX, kX, 780, kBack, 0, Tex("floor_stone"), stone, 250));
    Put(&mb, floor, 30);

    const float panels[4] = {-925, -575, -225, 125};
    SideWallWithPanels(&mb, -kX, panels, 4, stone, bronze);
    SideWallWithPanels(&mb, kX, panels, 4, stone, bronze);
    // The back wall behind the dais carries the great relief.
    Shape back;
    Merge(&back, CrossWall(kBack, -kX, -200, 0, kHeight, Tex("wall_stone"), stone));
    Merge(&back, CrossWall(kBack, 200, kX, 0, kHeight, Tex("wall_stone"), stone));
    Merge(&back, CrossWall(kBack, -200, 200, 0, 150, Tex("wall_stone"), stone));
    Merge(&back, CrossWall(kBack, -200, 200, 550, kHeight, Tex("wall_stone"), stone));
    Merge(&back, GridShape({-200, kBack, 550}, {400, 0, 0}, {0, 0, -400}, 8, 8, Tex("wall_relief"),
                           stone, 2, 2));
    Put(&mb, back, 30);
    Shape relief =
        BevelBox({-220, kBack - 12, 130}, {-200, kBack, 570}, 3, 60, 1, Tex("bronze"), bronze, 80);
    Merge(&relief,
          BevelBox({200, kBack - 12, 130}, {220, kBack, 570}, 3, 60, 1, Tex("bronze"), bronze, 80));
    Merge(&relief, BevelBox({-220, kBack - 12, 130}, {220, kBack, 150}, 3, 60, 1, Tex("bronze"),
                            bronze, 80));
    Merge(&relief, BevelBox({-220, kBack - 12, 550}, {220, kBack, 570}, 3, 60, 1, Tex("bronze"),
                            bronze, 80));
    Put(&mb, relief, 60);

    Entrance(&mb, stone, dimSky);
    for (float y : {-1100.0f, -750.0f, -400.0f, -50.0f, 300.0f})
        for (float x : {-380.0f, 380.0f}) Put(&mb, Column(x, y, Tex("column"), stone), 55);
    Dais(&mb, marble, Tex("dais_step"), dark);
    for (float x : {380.0f, -350.0f}) Put(&mb, Brazier(x, 560, Tex("bronze"), bronze), 55);
    Roof(&mb, stone, stone, sky);
    for (float y : panels)
        for (float x : {-kX, kX}) Sconce(&mb, x, y, bronze);
    // Lamps standing along the way in, clear of the walk and of the camera.
    for (float y : {-1050.0f, -620.0f})
        for (float x : {-300.0f, 300.0f}) FloorLamp(&mb, x, y, bronze);
    // The fires' glow: warm lights above the bowls and their flares.
    for (float x : {380.0f, -350.0f}) {
        AddEmitter(&mb, {x, 560, 540}, {0, 0, 1}, 1.0f, 0.55f, 0.2f, 900, false);
        AddLampFlare(&mb, {x, 560, 530}, 70, 1.0f, 0.7f, 0.4f);
    }
    return mb;
}

// Three crossed flame sheets on the fire texture; each key leans and stretches them differently.
MeshBuild FireMesh(int k) {
    MeshBuild mb;
    const int flame = Mat(&mb, 0, 0, 0, 1, 1, 1);
    const float fk = static_cast<float>(k);
    Shape s;
    for (int sheet = 0; sheet < 3; ++sheet) {
        const float a = static_cast<float>(sheet) * kPi / 3 +
                        0.2f * std::sin(fk * 1.7f + static_cast<float>(sheet));
        const V3 across{std::cos(a), std::sin(a), 0};
        const float h = 120 + 22 * std::sin(fk * 2.3f + static_cast<float>(sheet) * 2.1f);
        const float w = 78 + 10 * std::cos(fk * 1.9f + static_cast<float>(sheet));
        const V3 lean{10 * std::sin(fk * 2.9f + static_cast<float>(sheet)),
                      10 * std::cos(fk * 2.2f + static_cast<float>(sheet) * 1.3f), 0};
        Merge(&s, SurfaceShape(2, 4, Tex("fire"), flame, 1, 1, [&](float u, float t) {
            const float up = 1 - t;  // rows from the top down
            const float narrow = 1 - 0.35f * up * up;
            const V3 side = across * ((u - 0.5f) * w * narrow);
            return side + lean * (up * up) + V3{0, 0, h * up};
        }));
    }
    for (Patch& p : s.patches)
        for (MVert& v : p.verts) v.n = V3{0, 0, 1};
    EmitShape(&mb, s);
    return mb;
}
