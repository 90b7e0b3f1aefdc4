// trx_anim.cpp: keyframe interpolation, morphing, drawing objects into the scene, time-driven
// playback, transitions between animations and the matrix of a point on the animated surface.
#include <climits>
#include <cmath>
#include <cstdlib>

#include "trx_object.h"

static int8_t CheckCurrent(const Object* obj) {
    if (!obj->anim) return OBJ_NO_CURRENT;
    if (obj->anim->id != obj->anim_id) return OBJ_WRONG_ID;
    return OBJ_OK;
}

static int32_t ClampI32(int64_t v) {
    return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

bool KeyTransform(const Keyframe* a, const Keyframe* b, Matrix* out, float t) {
    const int32_t flags = a->flags | b->flags;
    if (!(flags & KEY_TRANSFORMS)) return false;
    if (flags & KEY_EASE) t = (1.0f - std::cos(t * 3.1415f)) * 0.5f;
    const float u = 1.0f - t;
    auto blend = [&](const float* x, const float* y, int i) { return u * x[i] + t * y[i]; };
    Matrix m, step;
    MatIdentity(&m);
    if (flags & KEY_SCALE) {
        MatScale(&step, blend(a->scale, b->scale, 0), blend(a->scale, b->scale, 1),
                 blend(a->scale, b->scale, 2));
        MatMul(&m, &step, &m);
    }
    if (flags & KEY_ROTATE_X) {
        MatRotateX(&step, blend(a->rotation, b->rotation, 0));
        MatMul(&m, &step, &m);
    }
    if (flags & KEY_ROTATE_Y) {
        MatRotateY(&step, blend(a->rotation, b->rotation, 1));
        MatMul(&m, &step, &m);
    }
    if (flags & KEY_ROTATE_Z) {
        MatRotateZ(&step, blend(a->rotation, b->rotation, 2));
        MatMul(&m, &step, &m);
    }
    if (flags & KEY_TRANSLATE) {
        MatTranslate(&step, blend(a->translation, b->translation, 0),
                     blend(a->translation, b->translation, 1),
                     blend(a->translation, b->translation, 2));
        MatMul(&m, &step, &m);
    }
    *out = m;
    return true;
}

int8_t InterpolateKeys(Object* obj, Keyframe** outA, Keyframe** outB, float* outT, Matrix* matrix) {
    int8_t r = CheckCurrent(obj);
    if (r) return r;
    if (!obj->key) return OBJ_NO_KEY;
    Keyframe* a;
    Keyframe* b;
    float t;
    if (obj->flags & OBJ_TRANSITION) {
        b = obj->key;
        a = obj->trans_key ? obj->trans_key : b;
        if (obj->flags & OBJ_CLOCKED) AdvanceObjectTime(obj, nullptr);
        t = obj->trans_length > 0
                ? static_cast<float>(obj->frame) / static_cast<float>(obj->trans_length)
                : 1.0f;
        if (t >= 1.0f) {
            t = 1.0f;
            obj->flags &= ~OBJ_TRANSITION;
            obj->frame = b->frame;
        }
    } else {
        const Anim* anim = obj->anim;
        if (obj->flags & OBJ_CLOCKED) {
            AdvanceObjectTime(obj, obj->anim);
            if (!obj->key) return OBJ_NO_KEY;
        }
        a = obj->key;
        b = a->next;
        const float e = static_cast<float>(a->frame);
        const float f = static_cast<float>(b->frame > a->frame ? b->frame : anim->span);
        const float g = anim->length > 0
                            ? static_cast<float>(obj->frame) * static_cast<float>(anim->span) /
                                  static_cast<float>(anim->length)
                            : 0.0f;
        if (g > f) return OBJ_NO_KEY;
        if (g < e) {
            // SetFrame gives key times before the first keyframe to the first keyframe.
            if (a != anim->keys) return OBJ_NO_KEY;
            t = 0.0f;
        } else {
            t = f == e ? 0.0f : (g - e) / (f - e);
        }
    }
    *outT = t;
    r = KeyTransform(a, b, matrix, t) ? OBJ_OK : OBJ_NO_TRANSFORM;
    if ((a->flags & KEY_SHARED) && a->shared) a = a->shared;
    if ((b->flags & KEY_SHARED) && b->shared) b = b->shared;
    *outA = a;
    *outB = b;
    return r;
}

int8_t MorphMesh(const Mesh* a, const Mesh* b, float t, const Matrix* matrix, const uint16_t* remap,
                 int32_t remapCount) {
    if (a == b) return OBJ_SAME_MESH;
    if (a->wcount != b->wcount) return OBJ_VERTEX_COUNT;
    Mesh shape = *a;
    shape.wcount = 0;  // the blended positions follow, where the links expect them
    if (AppendMesh(&shape, matrix, remap, remapCount) < 0) return OBJ_APPEND;
    if (AddBlendedVertices(a->wtable, b->wtable, t, a->wcount) < 0) return OBJ_APPEND;
    return OBJ_OK;
}

int8_t RenderObject(Object* obj, Matrix* matrix, int mode) {
    Keyframe* a;
    Keyframe* b;
    float t;
    if (mode == 1) {
        if (!matrix) return OBJ_NO_MATRIX;
        return InterpolateKeys(obj, &a, &b, &t, matrix);
    }
    Matrix k, d;
    const int8_t r = InterpolateKeys(obj, &a, &b, &t, &k);
    const Matrix* draw;
    if (r == OBJ_OK) {
        if (matrix)
            MatMul(&k, matrix, &d);
        else
            d = k;
        draw = &d;
    } else if (r == OBJ_NO_TRANSFORM) {
        draw = matrix;
    } else {
        return r;
    }
    const Anim* anim = obj->anim;
    const uint16_t* remap = obj->remap;
    const int32_t remapCount = obj->remap_count;
    // A keyframe without geometry of its own (a transform only) shows the first keyframe's.
    if (a != anim->keys && a->mesh.ccount == 0 && anim->keys) {
        const Keyframe* first = anim->keys;
        if ((first->flags & KEY_SHARED) && first->shared) first = first->shared;
        AppendMesh(&first->mesh, draw, remap, remapCount);
    }
    if (t < 0.00001f) {
        if (AppendMesh(&a->mesh, draw, remap, remapCount) < 0) return OBJ_APPEND;
    } else {
        const int8_t m = MorphMesh(&a->mesh, &b->mesh, t, draw, remap, remapCount);
        if (m == OBJ_SAME_MESH || m == OBJ_VERTEX_COUNT) {
            if (AppendMesh(&a->mesh, draw, remap, remapCount) < 0) return OBJ_APPEND;
        } else if (m) {
            return m;
        }
    }
    if ((anim->flags & ANIM_REPORT_END) && !(obj->flags & OBJ_TRANSITION)) {
        if (obj->direction >= 0 ? obj->frame == anim->length - 1 : obj->frame == 0) return OBJ_END;
    }
    return OBJ_OK;
}

int8_t AdvanceObjectTime(Object* obj, Anim* anim) {
    const int64_t elapsed = int64_t{ObjectClockValue()} - obj->tick_mark;
    int64_t steps, used;
    if (obj->flags & OBJ_TICK_SCALE) {
        const double tpf = obj->ticks_per_frame;
        if (!(tpf > 0.0) || !std::isfinite(tpf)) return OBJ_OK;
        const double s = std::trunc(static_cast<double>(elapsed) / tpf);
        steps = s > INT32_MAX ? INT32_MAX : s < INT32_MIN ? INT32_MIN : static_cast<int64_t>(s);
        used = static_cast<int64_t>(std::trunc(static_cast<double>(steps) * tpf));
    } else {
        steps = used = elapsed;
    }
    if (steps <= 0) return OBJ_OK;
    if (anim) {
        int64_t f =
            obj->direction == -1 ? int64_t{obj->frame} - steps : int64_t{obj->frame} + steps;
        const int32_t length = anim->length;
        if (anim->flags & ANIM_ONCE) {
            if (f > length - 1) f = length - 1;
            if (f < 0) f = 0;
        } else if (f < 0) {
            f += length;
        } else if (f >= length) {
            f -= length;
        }
        SetFrame(obj, ClampI32(f));
    } else {
        obj->frame = ClampI32(int64_t{obj->frame} + steps);
    }
    obj->tick_mark = ClampI32(int64_t{obj->tick_mark} + used);
    return OBJ_OK;
}

int8_t StartTransition(Object* obj, int32_t id, int32_t n) {
    if (!obj->key) return OBJ_NO_KEY;
    // The show calls this on every frame of its transition window: a call naming the animation
    // already blended to lets the running transition go on.
    if ((obj->flags & OBJ_TRANSITION) && obj->anim && obj->anim->id == id && obj->anim_id == id)
        return OBJ_OK;
    obj->trans_key = obj->key;
    obj->frame = 0;
    obj->trans_length = n == INT32_MIN ? INT32_MAX : std::abs(n);
    SelectAnim(obj, id, 0);
    obj->flags |= OBJ_TRANSITION;  // SelectAnim ends transitions; this one has just begun
    return OBJ_OK;
}

int8_t GetPointMatrix(Object* obj, int32_t i, const Matrix* placement, Matrix* out) {
    Keyframe* a;
    Keyframe* b;
    float t;
    Matrix k;
    const int8_t r = InterpolateKeys(obj, &a, &b, &t, &k);
    if (r != OBJ_OK && r != OBJ_NO_TRANSFORM) return r;
    if (i < 0 || i >= a->mesh.lcount) return OBJ_NO_TRANSFORM;
    // Both links and their vertices must exist in their own meshes.
    const int64_t la = int64_t{i} + a->point_base, lb = int64_t{i} + b->point_base;
    if (la < 0 || la >= a->mesh.lcount || lb < 0 || lb >= b->mesh.lcount) return OBJ_NO_TRANSFORM;
    const int32_t ia = a->mesh.ltable[la].vertex, ib = b->mesh.ltable[lb].vertex;
    if (ia < 0 || ia >= a->mesh.wcount || ib < 0 || ib >= b->mesh.wcount) return OBJ_NO_TRANSFORM;
    const Vec4& va = a->mesh.wtable[ia];
    const Vec4& vb = b->mesh.wtable[ib];
    const float sa = (1.0f - t) / va.w, sb = t / vb.w;
    Vec4 q = {sa * va.x + sb * vb.x, sa * va.y + sb * vb.y, sa * va.z + sb * vb.z, 1.0f};
    if (r == OBJ_OK) {
        TransformPoint(&k, &q, &q);
        if (q.w != 1.0f) Homogenize(&q);
    }
    Matrix m;
    MatTranslate(&m, q.x, q.y, q.z);
    if (placement) MatMul(&m, placement, &m);
    *out = m;
    return OBJ_OK;
}
