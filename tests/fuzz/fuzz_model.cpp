// fuzz_model.cpp: LoadModel (and, built with FUZZ_MODEL_V1 by fuzz_model_v1.cpp, LoadModelV1).
// A model that loads passes the mesh check in every keyframe and draws through the null device:
// every animation selected, a few frames of it rendered and stepped, without a fault.
#include "dev_null.h"
#include "fuzz_support.h"
#include "trx_object.h"
#include "trx_state.h"

namespace {

void FreshCore() {
    TrxReset();
    NullDevice_Reset();
    nullDevice.open = true;
    nullDevice.width = nullDevice.clip[1] = 640;
    nullDevice.height = nullDevice.clip[3] = 480;
    SetLightCount(2);
    SetViewport(320, 240, 640, 480, 0);
}

void CheckAndDraw(Object* obj) {
    for (const Anim* a = obj->anims; a; a = a->next) {
        const Keyframe* k = a->keys;
        if (!k) continue;
        do {
            FUZZ_CHECK(CheckMesh(&k->mesh) == OBJ_OK);
            k = k->next;
        } while (k != a->keys);
    }
    Matrix view, projection, place;
    MatIdentity(&view);
    MatIdentity(&place);
    place.m[14] = 5.0f;  // in front of the camera
    MatPerspective(&projection, 0.01f, 20.0f, 0.00016666666f);
    for (const Anim* a = obj->anims; a; a = a->next) {
        if (SelectAnim(obj, a->id, 1) != OBJ_OK) continue;
        for (int step = 0; step < 3; ++step) {
            ClearScene();
            const int8_t r = RenderObject(obj, &place, 0);
            if (r == OBJ_OK || r == OBJ_END) FUZZ_CHECK(RenderFrame(&view, &projection, step & 1) != -2);
            NextFrame(obj);
        }
        SetFrame(obj, obj->anim ? obj->anim->length - 1 : 0);
        ClearScene();
        RenderObject(obj, &place, 0);
    }
    nullDevice.calls.clear();
    nullDevice.vertices.clear();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FreshCore();
    Object obj;
    ObjectInit(&obj);
    char banner[64];
#ifdef FUZZ_MODEL_V1
    const int8_t r = LoadModelV1(&obj, MemFileWith(data, size), banner);
#else
    const int8_t r = LoadModel(&obj, MemFileWith(data, size), banner);
#endif
    if (r == OBJ_OK) CheckAndDraw(&obj);
    FreeObject(&obj);
    TrxReset();
    return 0;
}
