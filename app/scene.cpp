// scene.cpp: the scene set-up helpers (see scene.h).
#include "scene.h"

#include <cmath>

#include "assets.h"
#include "trx_object.h"

Light lightTable[10];
int32_t doorHold;

// The cone cosines every light of the show uses, from the two angles.
static float ConeOuter() { return static_cast<float>(std::cos(1.0471973333333333)); }
static float ConeInner() { return static_cast<float>(std::cos(0.6283184)); }

void CameraMove(float tx0, float ty0, float tz0, float rx0, float ry0, float rz0, float zoom0,
                float tx1, float ty1, float tz1, float rx1, float ry1, float rz1, float zoom1,
                float duration, float elapsed) {
    if (freeCamera) return;
    camTx = tx0 + (tx1 - tx0) * elapsed / duration;
    camTy = ty0 + (ty1 - ty0) * elapsed / duration;
    camTz = tz0 + (tz1 - tz0) * elapsed / duration;
    camRx = rx0 + (rx1 - rx0) * elapsed / duration;
    camRy = ry0 + (ry1 - ry0) * elapsed / duration;
    camRz = rz0 + (rz1 - rz0) * elapsed / duration;
    camZoom = zoom0 + (zoom1 - zoom0) * elapsed / duration;
    Matrix t, rx, ry, rz, s, r;
    MatTranslate(&t, camTx, camTy, camTz);
    MatRotateX(&rx, camRx);
    MatRotateY(&ry, camRy);
    MatRotateZ(&rz, camRz);
    MatScale(&s, camZoom, camZoom, camZoom);
    MatMul(&rx, &ry, &r);
    MatMul(&r, &rz, &r);
    MatMul(&t, &r, &t);
    MatMul(&t, &s, &viewMatrix);
}

void SetPointLight(int slot, float x, float y, float z, float r, float g, float b, float range) {
    if (slot < 0 || slot >= 10) return;
    Light& l = lightTable[slot];
    l.position = Vec4{x, y, z, 1.0f};
    l.color[0] = r;
    l.color[1] = g;
    l.color[2] = b;
    l.range = range;
    l.coneOuter = ConeOuter();
    l.coneInner = ConeInner();
    l.flags = LIGHT_ENABLED | LIGHT_POINT;
    SetLight(slot, &l);
}

static void DrawSpot(float x, float y, float z, float dx, float dy, float dz, float range,
                     float red, float green, float blue) {
    SetInputTransform(nullptr);
    BeginRun(1, PRIM_EMITTER, 0);
    Material m{};
    m.diffuse[0] = range;
    m.diffuse[1] = ConeOuter();
    m.diffuse[2] = ConeInner();
    m.emissive[0] = red;
    m.emissive[1] = green;
    m.emissive[2] = blue;
    m.amplitude[0] = m.amplitude[1] = m.amplitude[2] = 1.0f;
    m.lightFlags = LIGHT_ENABLED | LIGHT_SPOT;
    m.flags = MAT_EMITTER;
    int material = AddMaterial(&m);
    const Vec4 direction{dx, dy, dz, 1.0f}, position{x, y, z, 1.0f};
    int normal = AddNormal(&direction);
    int vertex = AddVertex(&position);
    AddVertexRef(AddLink(vertex, normal), material, 64, 64);
}

void DrawRedSpot(float x, float y, float z, float dx, float dy, float dz, float range) {
    DrawSpot(x, y, z, dx, dy, dz, range, 1, 0, 0);
}

void DrawWhiteSpot(float x, float y, float z, float dx, float dy, float dz, float range) {
    DrawSpot(x, y, z, dx, dy, dz, range, 1, 1, 1);
}

void AppendKey(const Object* obj, const Matrix* matrix) {
    SetInputTransform(nullptr);
    const Keyframe* k = obj->key;
    if (!k) return;
    if ((k->flags & KEY_SHARED) && k->shared) k = k->shared;
    AppendMesh(&k->mesh, matrix, obj->remap, obj->remap_count);
}

void DrawTemple(float frame, byte skipRender) {
    if (!skipRender) {
        SelectAnim(&temple, 0, 1);
        AppendKey(&temple, nullptr);
        SelectAnim(&temple, 1, 1);
        // Animation 1 is a five-step cycle indexed by the show's frame number.
        const int k = static_cast<int>(frame) % 5;
        if (temple.anim && temple.anim->keys) {
            Keyframe* key = temple.anim->keys;
            do {
                if (key->frame == k) {
                    temple.key = key;
                    temple.frame = k;
                    break;
                }
                if (key->frame == temple.anim->span) break;
                key = key->next;
            } while (key != temple.anim->keys);
        }
        Matrix m;
        MatTranslate(&m, 380, 560, 470);
        AppendKey(&temple, &m);
        MatTranslate(&m, -350, 560, 470);
        AppendKey(&temple, &m);
        RenderObject(&door, nullptr, 0);
        MatTranslate(&m, 0, 0, 0);
        RenderObject(&ruvo, &m, 0);
    }
    NextFrame(&ruvo);
    if (door.key && door.key->frame == 2000) {
        if (doorHold++ > 20) NextFrame(&door);
    } else {
        NextFrame(&door);
    }
}
