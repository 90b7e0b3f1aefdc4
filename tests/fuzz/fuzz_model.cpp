// fuzz_model.cpp: LoadModel (LoadModelV1 when built with FUZZ_MODEL_V1). A model that loads passes
// the mesh check in every keyframe and draws through the null device: every animation selected,
// rendered and stepped, and rendered at its last frame. Mesh blocks are LZW streams, which
// mutations rarely keep valid, so an input without the file's magic is taken as the unpacked
// contents of one mesh block, packed and wrapped into a model file of one keyframe.
#include <cstring>
#include <vector>

#include "dev_null.h"
#include "fuzz_support.h"
#include "lzwc.h"
#include "trx_object.h"
#include "trx_state.h"

namespace {

#ifdef FUZZ_MODEL_V1
const char kMagic[] = "TRXMODEL1.0";
#else
const char kMagic[] = "TRXMODEL";
#endif

void Put32(std::vector<uint8_t>* f, size_t at, int32_t v) { std::memcpy(f->data() + at, &v, 4); }

void Append32(std::vector<uint8_t>* f, int32_t v) {
    f->resize(f->size() + 4);
    Put32(f, f->size() - 4, v);
}

// The model file around one mesh block of `mesh`; empty when the coder cannot pack it.
std::vector<uint8_t> WrapMesh(const uint8_t* mesh, size_t size) {
    std::vector<uint8_t> f;
    if (size < 1 || size > (1u << 20)) return f;
    std::vector<uint8_t> packed(2 * size);
    lzw_init(8);
    const int s = lzw_compress(mesh, packed.data(), static_cast<int>(size));
    lzw_free();
    if (s < 0) return f;
#ifdef FUZZ_MODEL_V1
    f.assign(83, 0);
    Put32(&f, 79, 1);  // one index entry; the index offset is set below
#else
    f.assign(105, 0);
    f[75] = f[76] = 1;  // version 1.1
    Put32(&f, 77, 52);  // keyframe and animation records as the writer makes them
    Put32(&f, 81, 12);
    for (int32_t v : {0, 1, 0}) Append32(&f, v);  // animation 0, span 1, no flags
    Append32(&f, 0);                              // keyframe at frame 0 without transform
    f.resize(f.size() + 48);
#endif
    std::memcpy(f.data() + 64, kMagic, sizeof kMagic - 1);
    Append32(&f, s);
    Append32(&f, static_cast<int32_t>(size));
    f.insert(f.end(), packed.begin(), packed.begin() + s);
#ifdef FUZZ_MODEL_V1
    Put32(&f, 75, static_cast<int32_t>(f.size()));
    Append32(&f, 0);   // animation 0
    Append32(&f, 83);  // its keyframe's block
#else
    Append32(&f, -1);  // end of the keyframes
    f.resize(f.size() + 48);
    for (int32_t v : {-1, -1, 0}) Append32(&f, v);  // end of the animations
#endif
    return f;
}

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
    static const uint16_t remap[4] = {0, 2, 1, 3};
    SetRemapTable(obj, remap, 4, false);
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
            if (r == OBJ_OK || r == OBJ_END)
                FUZZ_CHECK(RenderFrame(&view, &projection, step & 1) != -2);
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
    std::vector<uint8_t> wrapped;
    if (size < 64 + sizeof kMagic - 1 || std::memcmp(data + 64, kMagic, sizeof kMagic - 1) != 0) {
        wrapped = WrapMesh(data, size);
        if (wrapped.empty()) return 0;
        data = wrapped.data();
        size = wrapped.size();
    }
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
