// scaffolding.cpp: empty stand-ins for the engine modules that are not built yet (scaffolding.h).
#include "scaffolding.h"

Object temple, hero, door, ruvo, objekt, cpu;
DeviceImage imgNapis1, imgHlnapis;
Matrix viewMatrix;

int LoadDemoData(void) { return 0; }

void DemoTimeline(float, byte) {}
