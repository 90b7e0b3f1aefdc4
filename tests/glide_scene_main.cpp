// A small fixed scene drawn through whichever display device this program is linked with (built
// once with the Direct3D device, once with the Glide device). Writes the presented frame as raw
// 5-6-5 pixels, then the depth read at (100, 100) as a fraction of the farthest depth. With a
// second file: then a small box around the camera through the render core with the demo's
// projection, its presented frame as raw 5-6-5 pixels.
//   glide_scene_<device> OUT.raw [BOX.raw]
#include <cstdio>
#include <cstring>
#include <vector>

#include "device.h"
#include "softcard.h"
#include "texentry.h"
#include "trx.h"
#include "win32_standin.h"
#ifdef SCENE_GLIDE
#include "glide_standin.h"
static ScCard* Card() { return GlideStandIn_Card(); }
#else
#include "ddraw_standin.h"
static ScCard* Card() { return DDrawStandIn_Card(); }
#endif

static TexEntry Quadrants(std::vector<uint16_t>& texels, int w, int h, int32_t key) {
    texels.assign(size_t(w) * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            texels[size_t(y) * w + x] =
                y < h / 2 ? (x < w / 2 ? 0xF800 : 0x07E0) : (x < w / 2 ? 0x001F : 0xF81F);
    TexEntry e;
    std::memset(&e, 0, sizeof e);
    e.format = TEX_RGB565;
    e.width = int16_t(w);
    e.height = int16_t(h);
    e.size = uint32_t(w * h * 2);
    e.pixels = reinterpret_cast<uint8_t*>(texels.data());
    e.colorkey = key;
    return e;
}

static void Rect(float x0, float y0, float x1, float y1, float z, uint32_t color) {
    DeviceVertex q[4] = {{x0, y0, z, 1, color, 0, 0},
                         {x0, y1, z, 1, color, 0, 1},
                         {x1, y1, z, 1, color, 1, 1},
                         {x1, y0, z, 1, color, 1, 0}};
    DevDrawPrimitive(DEV_FAN, 4, q);
}

// One wall of the box: a grid of kGrid x kGrid corners O + T r/(kGrid-1) + S c/(kGrid-1) (row r,
// column c), every triangle turned like (O, O + T, O + S), which faces into the box. Corner
// colours: the wall's colour, darker towards O.
constexpr int kGrid = 4;
struct Wall {
    Vec4 o, t, s;
    uint32_t color;
    int prim;  // PRIM_STRIP (one strip per row), PRIM_FAN (around the centre), PRIM_POLYGON (the
               // four corners), PRIM_TRIANGLES
};

static int Corner(const Wall& w, float r, float c) {
    Vec4 p = {w.o.x + w.t.x * r + w.s.x * c, w.o.y + w.t.y * r + w.s.y * c,
              w.o.z + w.t.z * r + w.s.z * c, 1.0f};
    Vec4 n = {0, 0, 1, 1};
    int link = AddLink(AddVertex(&p), AddNormal(&n));
    Material m;
    std::memset(&m, 0, sizeof m);
    const float k = 0.45f + 0.55f * (r + c) / 2.0f;
    for (int i = 0; i < 3; ++i)
        m.emissive[i] = float((w.color >> (16 - 8 * i)) & 0xFF) / 255.0f * k;
    AddVertexRef(link, AddMaterial(&m), 0, 0);
    return link;
}

static void AddWall(const Wall& w) {
    const float step = 1.0f / (kGrid - 1);
    switch (w.prim) {
    case PRIM_STRIP:
        for (int r = 0; r + 1 < kGrid; ++r) {
            BeginRun(2 * kGrid, PRIM_STRIP, 0);
            for (int c = 0; c < kGrid; ++c) {
                Corner(w, r * step, c * step);
                Corner(w, (r + 1) * step, c * step);
            }
        }
        break;
    case PRIM_FAN: {
        // Around the centre from the T side towards the S side, back to the start.
        const float rim[9][2] = {{1, .5f}, {1, 1},   {.5f, 1}, {0, 1},  {0, .5f},
                                 {0, 0},   {.5f, 0}, {1, 0},   {1, .5f}};
        BeginRun(10, PRIM_FAN, 0);
        Corner(w, 0.5f, 0.5f);
        for (const auto& p : rim) Corner(w, p[0], p[1]);
        break;
    }
    case PRIM_POLYGON:
        BeginRun(4, PRIM_POLYGON, 0);
        Corner(w, 0, 0), Corner(w, 1, 0), Corner(w, 1, 1), Corner(w, 0, 1);
        break;
    default:
        for (int r = 0; r + 1 < kGrid; ++r)
            for (int c = 0; c + 1 < kGrid; ++c) {
                const float r0 = r * step, r1 = (r + 1) * step, c0 = c * step, c1 = (c + 1) * step;
                BeginRun(6, PRIM_TRIANGLES, 0);
                Corner(w, r0, c0), Corner(w, r1, c0), Corner(w, r0, c1);
                Corner(w, r0, c1), Corner(w, r1, c0), Corner(w, r1, c1);
            }
    }
}

// The camera at the origin looking down +z, inside the box x -0.45..0.35, y -0.3..0.4,
// z -1.5..0.6. The projection puts w = z + 1: the near wall (z -1.5) lies behind the eye (w < 0),
// the far wall wholly in front of the near plane (z 0.01), and the other four run from behind
// the eye through the near plane.
static void DrawBox() {
    const float x0 = -0.45f, x1 = 0.35f, y0 = -0.3f, y1 = 0.4f, z0 = -1.5f, z1 = 0.6f;
    const float dx = x1 - x0, dy = y1 - y0, dz = z1 - z0;
    const Wall walls[6] = {
        {{x0, y0, z0, 1}, {0, dy, 0, 0}, {0, 0, dz, 0}, 0xFF3060E0, PRIM_STRIP},      // x0
        {{x1, y0, z0, 1}, {0, 0, dz, 0}, {0, dy, 0, 0}, 0xFFE04030, PRIM_FAN},        // x1
        {{x0, y0, z0, 1}, {0, 0, dz, 0}, {dx, 0, 0, 0}, 0xFF40C040, PRIM_STRIP},      // y0
        {{x0, y1, z0, 1}, {dx, 0, 0, 0}, {0, 0, dz, 0}, 0xFFE0E0E0, PRIM_POLYGON},    // y1
        {{x0, y0, z1, 1}, {0, dy, 0, 0}, {dx, 0, 0, 0}, 0xFFE0C020, PRIM_TRIANGLES},  // z1
        {{x0, y0, z0, 1}, {dx, 0, 0, 0}, {0, dy, 0, 0}, 0xFFC040C0, PRIM_FAN},        // z0
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
    Win32StandInOptions o;
    o.headless = true;
    Win32_SetOptions(o);
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "Scene";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "Scene", "Tambir demo", 0, 0, 0, 640, 480, nullptr, nullptr,
                                  nullptr, nullptr);
    DeviceEntry* list = nullptr;
    if (DevEnumDevices(&list) < 1) return 3;
    DevSelectDevice(&list[0]);
    if (DevOpen(window, 640, 480, 72) != 0) return 4;
    ScSetDither(Card(), false);
    float far = float(DevGetScreenInfo(INFO_DEPTH_FAR));

    std::vector<uint16_t> tall, wide, keyed;
    TexEntry t1 = Quadrants(tall, 8, 16, -1), t2 = Quadrants(wide, 16, 4, -1),
             t3 = Quadrants(keyed, 8, 8, 0xFF00FF);
    DevInitTextures();
    if (DevUploadTexture(&t1, 0x0201) || DevUploadTexture(&t2, 0x0202) ||
        DevUploadTexture(&t3, 0x0203))
        return 5;

    DevClear(0.2f, 0.4f, 0.6f);
    DevSetCullMode(0);
    DevSetTexture(0, 0);
    DeviceVertex tri[3] = {{20, 20, 0.5f * far, 1, 0xFFFF0000, 0, 0},
                           {300, 40, 0.5f * far, 1, 0xFF00FF00, 0, 0},
                           {60, 200, 0.5f * far, 1, 0xFF0000FF, 0, 0}};
    DevDrawPrimitive(DEV_TRIANGLES, 3, tri);
    Rect(80, 80, 160, 160, 0.3f * far, 0xFFFFFF00);    // nearer: over the triangle
    Rect(120, 120, 200, 200, 0.6f * far, 0xFF00FFFF);  // farther: under the yellow square
    Rect(20, 300, 100, 320, 0.5f * far, 0x80FFFFFF);   // half-transparent white
    DevSetTexture(0, 0x0201);
    Rect(340, 20, 468, 276, 0.5f * far, 0xFFFFFFFF);  // tall texture, magnified 16x
    DevSetTexture(0, 0x0202);
    Rect(480, 20, 496, 24, 0.5f * far, 0xFFFFFFFF);  // wide texture at one texel per pixel
    DeviceVertex sprite = {560, 100, 0.5f * far, 1, 0xFFFFFFFF, 32, 128};
    DevDrawPrimitive(DEV_SPRITE, 1, &sprite);  // wide texture as a 128 x 32 sprite
    DevSetTexture(0, 0x0203);
    Rect(340, 300, 404, 364, 0.5f * far, 0xFFFFFFFF);  // keyed magenta quadrant shows through
    DevSetTexture(0, 0);

    std::vector<uint16_t> pic;
    TexEntry picture = Quadrants(pic, 40, 20, -1);
    DeviceImage image;
    if (DevCreateImage(&image, &picture) == 0) DevDrawImage(&image, DEV_IMG_POS, 500, 400, 0);
    float depth = DevReadDepth(100, 100, 1) / far;
    DevFlip(0);
    DevEndScene();

    FILE* f = std::fopen(argv[1], "wb");
    if (!f) return 6;
    std::fwrite(ScPixels(Card(), SC_FRONT), 2, 640 * 480, f);
    std::fwrite(&depth, 4, 1, f);
    std::fclose(f);
    if (argc == 3) {
        DrawBox();
        f = std::fopen(argv[2], "wb");
        if (!f) return 7;
        std::fwrite(ScPixels(Card(), SC_FRONT), 2, 640 * 480, f);
        std::fclose(f);
        FreeScene();
    }
    DevFreeImage(&image);
    DevClose();
    for (int h : {0x0201, 0x0202, 0x0203}) DevFreeTexture(h);
    DestroyWindow(window);
    return 0;
}
