// scaffolding.h: the engine calls the application makes whose modules are not built yet.
//
// Each declaration here moves to its own module's header when that module lands, and the last one
// to land deletes this file and scaffolding.cpp. Until then the definitions in scaffolding.cpp do
// nothing and report success, so the program's start-up, loop and shutdown run complete with an
// empty show. Tests link their own recording versions instead (tests/app_engine_fakes.cpp).
#pragma once

#include "device.h"

// Demo timeline.
void DemoTimeline(float frame, byte skipRender);
