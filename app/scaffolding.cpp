// scaffolding.cpp: empty stand-ins for the engine modules that are not built yet (scaffolding.h).
#include "scaffolding.h"

void DemoTimeline(float, byte) {}
