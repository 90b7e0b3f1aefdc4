// A fixed scene through the device linked in (raw 5-6-5, then the depth at (100, 100) as a
// fraction), then a box around the camera through the render core: OUT.raw [BOX.raw]
#include <cstdio>
#include <vector>

#include "device_support.h"
#include "trx.h"
#ifdef SCENE_GLIDE
#include "glide_standin.h"
static ScCard* Card() { return GlideStandIn_Card(); }
#else
#include "ddraw_standin.h"
static ScCard* Card() { return DDrawStandIn_Card(); }
#endif

// One wall of the box: kGrid x kGrid corners O + T r + S c (r, c in 0..1), every triangle turned
// like (O, O + T, O + S), facing into the box, in the wall's colour, darker towards O.
constexpr int kGrid = 4;
struct Wall {
    Vec4 o, t, s;
    uint32_t color;
};

static void Corner(const Wall& w, float r, float c) {
    Vec4 p = {w.o.x + w.t.x * r + w.s.x * c, w.o.y + w.t.y * r + w.s.y * c,
              w.o.z + w.t.z * r + w.s.z * c, 1.0f};
    Vec4 n = {0, 0, 1, 1};
    int link = AddLink(AddVertex(&p), AddNormal(&n));
    Material m = {};
    const float k = 0.45f + 0.55f * (r + c) / 2.0f;
    for (int i = 0; i < 3; ++i)
        m.emissive[i] = float((w.color >> (16 - 8 * i)) & 0xFF) / 255.0f * k;
    AddVertexRef(link, AddMaterial(&m), 0, 0);
}

static void AddWall(const Wall& w) {
    const float step = 1.0f / (kGrid - 1);
    for (int r = 0; r + 1 < kGrid; ++r)
        for (int c = 0; c + 1 < kGrid; ++c) {
            const float r0 = r * step, r1 = (r + 1) * step, c0 = c * step, c1 = (c + 1) * step;
            BeginRun(6, PRIM_TRIANGLES, 0);
            Corner(w, r0, c0), Corner(w, r1, c0), Corner(w, r0, c1);
            Corner(w, r0, c1), Corner(w, r1, c0), Corner(w, r1, c1);
        }
}

// The camera in the box, w = z + 1: near wall behind the eye, four through the near plane.
static void DrawBox() {
    const float x0 = -0.45f, x1 = 0.35f, y0 = -0.3f, y1 = 0.4f, z0 = -1.5f, z1 = 0.6f;
    const float dx = x1 - x0, dy = y1 - y0, dz = z1 - z0;
    const Wall walls[6] = {
        {{x0, y0, z0, 1}, {0, dy, 0, 0}, {0, 0, dz, 0}, 0xFF3060E0},
        {{x1, y0, z0, 1}, {0, 0, dz, 0}, {0, dy, 0, 0}, 0xFFE04030},
        {{x0, y0, z0, 1}, {0, 0, dz, 0}, {dx, 0, 0, 0}, 0xFF40C040},
        {{x0, y1, z0, 1}, {dx, 0, 0, 0}, {0, 0, dz, 0}, 0xFFE0E0E0},
        {{x0, y0, z1, 1}, {0, dy, 0, 0}, {dx, 0, 0, 0}, 0xFFE0C020},
        {{x0, y0, z0, 1}, {dx, 0, 0, 0}, {0, dy, 0, 0}, 0xFFC040C0},
    };
    ClearScene();
    SetLightCount(10);
    SetAmbient(0.5f);
    for (const Wall& w : walls) AddWall(w);
    Matrix view, projection;
    MatIdentity(&view);
    MatPerspective(&projection, 0.01f, 20.0f, 0.00016666666f);
    SetViewport(320, 240, 300, 300, 0);
    DevSetCullMode(-1);
    DevSetDepthTest(1);
    DevClear(0.2f, 0.4f, 0.6f);
    RenderFrame(&view, &projection, 0);
    DevFlip(0);
    DevEndScene();
}

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) return 2;
    HWND window = TestWindow("Scene");
    DeviceEntry* list = nullptr;
    if (DevEnumDevices(&list) < 1) return 3;
    DevSelectDevice(&list[0]);
    if (DevOpen(window, 640, 480, 72) != 0) return 4;
    ScSetDither(Card(), false);
    const float far = float(DevGetScreenInfo(INFO_DEPTH_FAR));
    auto quadrants = [](int w, int h, int32_t key) {  // red, green over blue, magenta
        auto q = [=](int x, int y) {
            return y < h / 2 ? (x < w / 2 ? 0xF800 : 0x07E0) : (x < w / 2 ? 0x001F : 0xF81F);
        };
        return Rgb565Texture(w, h, q, key);
    };
    TexRecord tall = quadrants(8, 16, -1), wide = quadrants(16, 4, -1);
    TexRecord keyed = quadrants(8, 8, 0xFF00FF), tall8 = quadrants(4, 32, -1);
    TexRecord wide8 = quadrants(32, 4, -1);
    DevInitTextures();
    int handle = 0x0201;
    for (TexRecord* t : {&tall, &wide, &keyed, &tall8, &wide8})
        if (DevUploadTexture(t->entry(), handle++)) return 5;

    DevClear(0.2f, 0.4f, 0.6f);
    DevSetCullMode(0);
    DevSetTexture(0, 0);
    DeviceVertex tri[3] = {{20, 20, 0.5f * far, 1, 0xFFFF0000, 0, 0},
                           {300, 40, 0.5f * far, 1, 0xFF00FF00, 0, 0},
                           {60, 200, 0.5f * far, 1, 0xFF0000FF, 0, 0}};
    DevDrawPrimitive(DEV_TRIANGLES, 3, tri);
    DeviceRect(80, 80, 160, 160, 0.3f * far, 0xFFFFFF00);    // nearer: over the triangle
    DeviceRect(120, 120, 200, 200, 0.6f * far, 0xFF00FFFF);  // farther: under the yellow square
    DeviceRect(20, 300, 100, 320, 0.5f * far, 0x80FFFFFF);   // half-transparent white
    DevSetTexture(0, 0x0201);
    DeviceRect(340, 20, 468, 276, 0.5f * far);  // tall texture, magnified 16x
    DevSetTexture(0, 0x0202);
    DeviceRect(480, 20, 496, 24, 0.5f * far);  // wide texture at one texel per pixel
    DeviceVertex sprite = {560, 100, 0.5f * far, 1, 0xFFFFFFFF, 32, 128};
    DevDrawPrimitive(DEV_SPRITE, 1, &sprite);  // wide texture as a 128 x 32 sprite
    DevSetTexture(0, 0x0203);
    DeviceRect(340, 300, 404, 364, 0.5f * far);  // keyed magenta quadrant shows through
    DevSetTexture(0, 0x0204);
    DeviceRect(120, 340, 136, 468, 0.5f * far);  // 1:8 and 8:1 textures magnified 4x
    DevSetTexture(0, 0x0205);
    DeviceRect(160, 340, 288, 356, 0.5f * far);
    DevSetTexture(0, 0);
    const float depth = DevReadDepth(100, 100, 1) / far;
    DevFlip(0);
    DevEndScene();

    FILE* f = std::fopen(argv[1], "wb");
    if (!f) return 6;
    std::fwrite(ScPixels(Card(), SC_FRONT), 2, 640 * 480, f);
    std::fwrite(&depth, 4, 1, f);
    std::fclose(f);
    if (argc == 3) {
        DrawBox();
        if (!(f = std::fopen(argv[2], "wb"))) return 7;
        std::fwrite(ScPixels(Card(), SC_FRONT), 2, 640 * 480, f);
        std::fclose(f);
        FreeScene();
    }
    DevClose();
    for (int h = 0x0201; h < handle; ++h) DevFreeTexture(h);
    DestroyWindow(window);
    return 0;
}
