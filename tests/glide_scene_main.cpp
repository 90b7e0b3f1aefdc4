// A small fixed scene drawn through whichever display device this program is linked with (built
// once with the Direct3D device, once with the Glide device). Writes the presented frame as raw
// 5-6-5 pixels, then the depth read at (100, 100) as a fraction of the farthest depth.
//   glide_scene_<device> OUT.raw
#include <cstdio>
#include <cstring>
#include <vector>

#include "device.h"
#include "softcard.h"
#include "texentry.h"
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
            texels[size_t(y) * w + x] = y < h / 2 ? (x < w / 2 ? 0xF800 : 0x07E0)
                                                  : (x < w / 2 ? 0x001F : 0xF81F);
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
    DeviceVertex q[4] = {{x0, y0, z, 1, color, 0, 0}, {x0, y1, z, 1, color, 0, 1},
                         {x1, y1, z, 1, color, 1, 1}, {x1, y0, z, 1, color, 1, 0}};
    DevDrawPrimitive(DEV_FAN, 4, q);
}

int main(int argc, char** argv) {
    if (argc != 2) return 2;
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
    float far = float(DevGetScreenInfo(10));

    std::vector<uint16_t> tall, wide, keyed;
    TexEntry t1 = Quadrants(tall, 8, 16, -1), t2 = Quadrants(wide, 16, 4, -1),
             t3 = Quadrants(keyed, 8, 8, 0xFF00FF);
    DevInitTextures();
    if (DevUploadTexture(&t1, 0x0201) || DevUploadTexture(&t2, 0x0202) || DevUploadTexture(&t3, 0x0203))
        return 5;

    DevClear(0.2f, 0.4f, 0.6f);
    DevSetCullMode(0);
    DevSetTexture(0, 0);
    DeviceVertex tri[3] = {{20, 20, 0.5f * far, 1, 0xFFFF0000, 0, 0},
                           {300, 40, 0.5f * far, 1, 0xFF00FF00, 0, 0},
                           {60, 200, 0.5f * far, 1, 0xFF0000FF, 0, 0}};
    DevDrawPrimitive(DEV_TRIANGLES, 3, tri);
    Rect(80, 80, 160, 160, 0.3f * far, 0xFFFFFF00);   // nearer: over the triangle
    Rect(120, 120, 200, 200, 0.6f * far, 0xFF00FFFF);  // farther: under the yellow square
    Rect(20, 300, 100, 320, 0.5f * far, 0x80FFFFFF);   // half-transparent white
    DevSetTexture(0, 0x0201);
    Rect(340, 20, 468, 276, 0.5f * far, 0xFFFFFFFF);   // tall texture, magnified 16x
    DevSetTexture(0, 0x0202);
    Rect(480, 20, 496, 24, 0.5f * far, 0xFFFFFFFF);    // wide texture at one texel per pixel
    DeviceVertex sprite = {560, 100, 0.5f * far, 1, 0xFFFFFFFF, 32, 128};
    DevDrawPrimitive(DEV_SPRITE, 1, &sprite);          // wide texture as a 128 x 32 sprite
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
    DevFreeImage(&image);
    DevClose();
    for (int h : {0x0201, 0x0202, 0x0203}) DevFreeTexture(h);
    DestroyWindow(window);
    return 0;
}
