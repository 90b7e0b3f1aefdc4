// scaffolding.h: the engine calls the application makes whose modules are not built yet.
//
// Each declaration here moves to its own module's header when that module lands, and the last one
// to land deletes this file and scaffolding.cpp. Until then the definitions in scaffolding.cpp do
// nothing and report success, so the program's start-up, loop and shutdown run complete with an
// empty show. Tests link their own recording versions instead (tests/app_engine_fakes.cpp).
#pragma once

#include <cstdint>

#include "debug_overlay.h"
#include "device.h"
#include "overlay.h"
#include "trx.h"
#include "trx_object.h"

// The six model objects of the show, loaded by LoadDemoData.
extern Object temple, hero, door, ruvo, objekt, cpu;

// Asset loading: the title pictures and the models.
extern DeviceImage imgNapis1, imgHlnapis;
int LoadDemoData(void);

// The overlay bracket, the debug overlay and the free camera are built (overlay.h,
// debug_overlay.h); the view matrix is still defined here.
extern Matrix viewMatrix;

// Demo timeline.
void DemoTimeline(float frame, byte skipRender);
