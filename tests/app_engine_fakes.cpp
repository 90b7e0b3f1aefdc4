// Recording versions of the engine calls the application makes (see app_engine_fakes.h).
#include "app_engine_fakes.h"

#include "assets.h"
#include "dev_null.h"
#include "scene.h"
#include "texlib.h"
#include "timeline.h"

std::vector<EngineCall> engineCalls;

Object temple, hero, door, ruvo, objekt, cpu;
DeviceImage imgNapis1, imgHlnapis;

namespace {
// Records a call; 0, the engine's success, for the fakes to return.
int Log(const std::string& name, float a = 0, int b = 0) {
    engineCalls.push_back(EngineCall{name, a, b});
    return 0;
}
}  // namespace

void ResetEngineFakes(void) { engineCalls.clear(); }

int LoadTexLib(const char* name, TexLib** lib, char*) {
    *lib = nullptr;
    return Log(name);
}
int UploadTexLib(int number, TexLib*) { return Log("UploadTexLib", 0, number); }
int FreeTexLib(TexLib*) { return Log("FreeTexLib"); }
int ReleaseTexLib(int number) { return Log("ReleaseTexLib", 0, number); }
int8_t FreeObject(Object* object) {
    const char* names[] = {"temple", "hero", "door", "ruvo", "objekt", "cpu"};
    Object* objects[] = {&temple, &hero, &door, &ruvo, &objekt, &cpu};
    for (int i = 0; i < 6; ++i)
        if (objects[i] == object) Log(std::string("FreeObject ") + names[i]);
    return 0;
}
int LoadDemoData(void) { return Log("LoadDemoData"); }
void SetAmbient(float level) { Log("SetAmbient", level); }
void SetViewport(float cx, float cy, float, float, byte setrect) {
    Log("SetViewport", cx, static_cast<int>(cy) * 2 + setrect);
}
int SetLightCount(int count) { return Log("SetLightCount", 0, count); }
// Logs how many device calls came before it, to place the 3D scene among the 2D drawing.
void ClearScene(void) { Log("ClearScene", 0, static_cast<int>(nullDevice.calls.size())); }
// Logs the projection's first element, which tells the demo's projection from another.
int RenderFrame(const Matrix*, const Matrix* projection, int flags) {
    return Log("RenderFrame", projection ? projection->m[0] : 0.0f, flags);
}
void DemoTimeline(float frame, byte skipRender) { Log("DemoTimeline", frame, skipRender); }
