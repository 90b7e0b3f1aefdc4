// debug_overlay.cpp: the overlay of each rendered frame and the free camera (see debug_overlay.h).
#include "debug_overlay.h"

#include <cstdio>

#include "assets.h"
#include "overlay.h"
#include "timeline.h"

// The camera values and their start pose. They live here until the scene helpers, which move the
// camera along the script, take them over.

namespace {

// The title part (frame constants in timeline.h): the first picture shows for the first 97 frames
// of the first title, the second for the first 180 of the second.
void DrawCentred(DeviceImage* image, const OverlayStatus* status) {
    DevDrawImage(image, DEV_IMG_POS, (status->screenWidth - image->width) / 2,
                 (status->screenHeight - image->height) / 2, 0);
}

void PrintAt(TextBox* box, int x, int y, int align, uint32_t colour, const char* text) {
    box->font = 2;  // "vgasys.fnt"
    box->colour = colour;
    box->cursor_x = x;
    box->cursor_y = y;
    box->align = static_cast<uint8_t>(align);
    PrintText(box, text);
}

// The camera keys in the order they are read: virtual key, value, step per rendered frame.
struct CameraKey {
    int key;
    float* value;
    double step;
};
const CameraKey cameraKeys[14] = {
    {VK_UP, &camRx, 0.1},     {VK_DOWN, &camRx, -0.1},       {VK_LEFT, &camRy, 0.1},
    {VK_RIGHT, &camRy, -0.1}, {VK_F11, &camRz, 0.1},         {VK_F12, &camRz, -0.1},
    {VK_ADD, &camZoom, 1.1},  {VK_SUBTRACT, &camZoom, -1.1}, {VK_INSERT, &camTx, 30},
    {VK_DELETE, &camTx, -30}, {VK_HOME, &camTy, 30},         {VK_END, &camTy, -30},
    {VK_PRIOR, &camTz, 30},   {VK_NEXT, &camTz, -30},
};

}  // namespace

void DrawOverlay(int frame, const OverlayStatus* status) {
    TextBox box;
    InitTextBoxScreen(&box);

    if (frame >= titleStart && frame < titleStart + title1Length - 3)
        DrawCentred(&imgNapis1, status);
    if (frame >= titleStart + title1Length && frame < titleStart + title1Length + title2Length - 20)
        DrawCentred(&imgHlnapis, status);

    if (status->showDebugInfo != 1) return;
    char overlayText[512];  // the camera text with any seven floats (at most 43 characters each)
    std::snprintf(overlayText, sizeof overlayText, "%.2d fps\nframe %.1d\ntime:%d\nwtime:%d",
                  static_cast<int>(status->frameRate), frame, static_cast<int>(status->tickCount),
                  static_cast<int>(status->framesDone));
    PrintAt(&box, box.left + 639, box.top, ALIGN_RIGHT | ALIGN_TOP, 0xFFFFFFFFu, overlayText);
    std::snprintf(overlayText, sizeof overlayText,
                  "Camera:\ntx=%.2f ty=%.2f tz=%.2f\nrx=%.2f ry=%.2f rz=%.2f\nz=%.2f", camTx, camTy,
                  camTz, camRx, camRy, camRz, camZoom);
    PrintAt(&box, box.left, box.top, ALIGN_LEFT | ALIGN_TOP, 0xFFFFFFFFu, overlayText);
    PrintAt(&box, box.left, box.top + 300, ALIGN_LEFT | ALIGN_TOP, 0xFFFF1819u,
            "Ovladani kamery:\nRotace X/Y - sipky\nRotace Z - F11/F12\n"
            "Pohyb XYZ - Ins/Del,Home/End,PgUp/PgDn\n?Zoom +/-");
}

void FreeCameraView(void) {
    Matrix step, view;
    MatTranslate(&view, camTx, camTy, camTz);
    MatRotateX(&step, camRx);
    MatMul(&view, &step, &view);
    MatRotateY(&step, camRy);
    MatMul(&view, &step, &view);
    MatRotateZ(&step, camRz);
    MatMul(&view, &step, &view);
    MatScale(&step, camZoom, camZoom, camZoom);
    MatMul(&view, &step, &viewMatrix);
}

void FreeCameraKeys(int32_t keyDown[256]) {
    for (const CameraKey& k : cameraKeys) {
        if (keyDown[k.key]) *k.value = static_cast<float>(*k.value + k.step);
        if (GetAsyncKeyState(k.key) == 0) keyDown[k.key] = 0;
    }
}
