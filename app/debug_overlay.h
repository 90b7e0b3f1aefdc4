// debug_overlay.h: the overlay of each rendered frame (title pictures, debug texts) and the free
// camera, which takes the camera away from the script.
//
// The frame step calls DrawOverlay between BeginOverlay and EndOverlay, before the 3D scene;
// with the free camera on it calls FreeCameraView after the timeline (instead of the script's
// camera) and FreeCameraKeys at the end of every rendered frame.
#pragma once

#include "scene.h"  // the camera values and the view matrix

// What the overlay needs of the frame step: the screen to centre on, the debug switch and the
// pacing figures the debug texts show.
struct OverlayStatus {
    int32_t screenWidth, screenHeight;
    int32_t showDebugInfo;
    int32_t frameRate;
    int32_t tickCount, framesDone;
};

// Title pictures on their frames, centred; with showDebugInfo = 1 the frame-rate, camera and help
// texts in font library 2. frame is the frame number truncated to an integer.
void DrawOverlay(int frame, const OverlayStatus* status);
// viewMatrix from the camera values: translate, rotate x, y, z, then zoom.
void FreeCameraView(void);
// The fourteen camera keys of one rendered frame: each key whose keyDown flag is set changes its
// camera value once, and its flag is cleared when the key is neither down now nor was pressed
// since the last query, so a held key acts once per rendered frame.
void FreeCameraKeys(int32_t keyDown[256]);
