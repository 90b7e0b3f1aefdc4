// scaffolding.h: the engine calls the application makes whose modules are not built yet.
//
// Each declaration here moves to its own module's header when that module lands, and the last one
// to land deletes this file and scaffolding.cpp. Until then the definitions in scaffolding.cpp do
// nothing and report success, so the program's start-up, loop and shutdown run complete with an
// empty show. Tests link their own recording versions instead (tests/app_engine_fakes.cpp).
#pragma once

#include <cstdint>

#include "device.h"
#include "trx.h"

// Mesh objects: the six models of the show, loaded by LoadDemoData.
struct Object {
    int loaded;
};
extern Object temple, hero, door, ruvo, objekt, cpu;
int8_t FreeObject(Object* object);

// Asset loading: the title pictures and the models.
extern DeviceImage imgNapis1, imgHlnapis;
int LoadDemoData(void);

// Text overlay bracket.
void BeginOverlay(byte backBuffer);
void EndOverlay(void);

// Debug overlay and free camera.
void DrawOverlay(int frame);
extern Matrix viewMatrix;
void FreeCameraView(void);  // view matrix from the camera values
void FreeCameraKeys(void);  // the free-camera keys of one rendered frame

// Demo timeline.
void DemoTimeline(float frame, byte skipRender);
