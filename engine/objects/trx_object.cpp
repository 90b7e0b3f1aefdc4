// trx_object.cpp: objects, their models (animations of keyframe rings), frame stepping and the
// object clock.
#include <cstdlib>
#include <cstring>

#include "trx_object.h"

// The object clock and its sub-counter (ObjectClockTick).
static int32_t objectClock = 0;
static int32_t objectClockSub = 0;

// The current animation, checked against the id it was selected under.
static int8_t CheckAnim(const Object* obj) {
    if (!obj->anim) return OBJ_NO_CURRENT;
    if (obj->anim->id != obj->anim_id) return OBJ_WRONG_ID;
    return OBJ_OK;
}

static Anim* FindAnim(const Object* obj, int32_t id) {
    for (Anim* a = obj->anims; a; a = a->next)
        if (a->id == id) return a;
    return nullptr;
}

static Keyframe* LastKey(const Anim* a) {
    Keyframe* k = a->keys;
    if (!k) return nullptr;
    while (k->next != a->keys) k = k->next;
    return k;
}

// Frees every keyframe of the animation's ring; the animation is left without keyframes.
static void FreeKeys(Anim* a) {
    Keyframe* first = a->keys;
    if (!first) return;
    Keyframe* k = first;
    do {
        Keyframe* next = k->next;
        FreeMesh(&k->mesh);  // a shared-mesh keyframe's own mesh is empty
        std::free(k);
        k = next;
    } while (k != first);
    a->keys = nullptr;
}

void ObjectInit(Object* obj) { std::memset(static_cast<void*>(obj), 0, sizeof *obj); }

int8_t AddAnim(Object* obj, int32_t id) {
    if (FindAnim(obj, id)) return OBJ_ANIM_EXISTS;
    Anim* a = static_cast<Anim*>(std::calloc(1, sizeof(Anim)));
    if (!a) return OBJ_NO_MEMORY;
    a->id = id;
    a->refs = 1;
    if (!obj->anims) {
        obj->anims = a;
    } else {
        Anim* last = obj->anims;
        while (last->next) last = last->next;
        last->next = a;
    }
    obj->anim = a;
    obj->anim_id = id;
    obj->key = nullptr;
    obj->frame = 0;
    return OBJ_OK;
}

int8_t SelectAnim(Object* obj, int32_t id, int8_t direction) {
    Anim* a = FindAnim(obj, id);
    if (!a) return OBJ_NO_ANIM;
    obj->anim_id = id;
    obj->anim = a;
    obj->key = a->keys;
    obj->frame = 0;
    obj->flags &= ~OBJ_TRANSITION;
    if (direction < 0) SetFrame(obj, a->length - 1);
    obj->direction = direction;
    return OBJ_OK;
}

int8_t SetAnimLength(Object* obj, int32_t n) {
    int8_t r = CheckAnim(obj);
    if (r) return r;
    obj->anim->length = n;
    return OBJ_OK;
}

int8_t SetAnimSpan(Object* obj, int32_t n) {
    int8_t r = CheckAnim(obj);
    if (r) return r;
    const Keyframe* last = LastKey(obj->anim);
    if (last && n <= last->frame) return OBJ_BAD_FRAME;
    obj->anim->span = n;
    return OBJ_OK;
}

int8_t SetAnimFlags(Object* obj, int32_t set, int32_t mask) {
    int8_t r = CheckAnim(obj);
    if (r) return r;
    obj->anim->flags = set | (obj->anim->flags & ~mask);
    return OBJ_OK;
}

int8_t DeleteAnim(Object* obj, int32_t id) {
    Anim* first = obj->anims;
    Anim* prev = nullptr;
    Anim* a = first;
    while (a && a->id != id) {
        prev = a;
        a = a->next;
    }
    if (!a) return OBJ_NO_ANIM;
    FreeKeys(a);
    if (obj->anim == a) {
        obj->anim = nullptr;
        obj->key = nullptr;
        obj->flags &= ~OBJ_TRANSITION;
    }
    if (prev) {
        prev->next = a->next;
        std::free(a);
        return OBJ_OK;
    }
    if (!a->next) return OBJ_LAST_ANIM;
    // The first record keeps its address: every object of the model points at it.
    Anim* second = a->next;
    const int32_t refs = a->refs;
    *a = *second;
    a->refs = refs;
    if (obj->anim == second) obj->anim = a;
    std::free(second);
    return OBJ_OK;
}

int8_t AddKeyframe(Object* obj, Mesh* mesh, int32_t frame, const KeyInfo* info) {
    int8_t r = CheckAnim(obj);
    if (r) return r;
    Anim* anim = obj->anim;
    Keyframe* k = static_cast<Keyframe*>(std::calloc(1, sizeof(Keyframe)));
    if (!k) return OBJ_NO_MEMORY;
    k->frame = frame;
    if (!info) {
        k->mesh = *mesh;
    } else {
        if (info->flags & KEY_SHARED) {
            Keyframe* s = anim->keys;
            if (s) {
                while (s->frame != info->shared_frame && s->next != anim->keys) s = s->next;
                if (s->frame != info->shared_frame) s = nullptr;
            }
            if (!s) {
                std::free(k);
                return OBJ_NO_SHARED;
            }
            k->shared = s;
            k->shared_frame = info->shared_frame;
        } else {
            k->mesh = *mesh;
        }
        for (int i = 0; i < 3; ++i) {
            k->translation[i] = (info->flags & KEY_TRANSLATE) ? info->translation[i] : 0.0f;
            k->rotation[i] = (info->flags & (KEY_ROTATE_X << i)) ? info->rotation[i] : 0.0f;
            k->scale[i] = (info->flags & KEY_SCALE) ? info->scale[i] : 1.0f;
        }
        k->flags = info->flags;
        k->point_base = info->point_base;
    }
    const bool shared = (k->flags & KEY_SHARED) != 0;

    Keyframe* first = anim->keys;
    if (!first) {
        k->next = k;
        anim->keys = k;
    } else if (frame < first->frame) {
        LastKey(anim)->next = k;
        k->next = first;
        anim->keys = k;
    } else {
        Keyframe* at = first;
        while (at->next != first && at->next->frame <= frame) at = at->next;
        if (at->frame == frame) {
            FreeMesh(&at->mesh);  // empty for a shared-mesh keyframe
            Keyframe* next = at->next;
            *at = *k;
            at->next = next;
            std::free(k);
            k = at;
        } else {
            k->next = at->next;
            at->next = k;
        }
    }
    if (frame > anim->span) anim->span = frame;
    if (anim->span > anim->length) anim->length = anim->span;
    if (!shared) std::memset(static_cast<void*>(mesh), 0, sizeof *mesh);
    return OBJ_OK;
}

int8_t AppendKeyframe(Object* obj, Mesh* mesh) {
    int8_t r = CheckAnim(obj);
    if (r) return r;
    if (obj->anim->span == INT32_MAX) return OBJ_BAD_FRAME;
    return AddKeyframe(obj, mesh, obj->anim->span + 1, nullptr);
}

int8_t SetRemapTable(Object* obj, const uint16_t* table, int32_t count, bool copy) {
    if (obj->flags & OBJ_OWNS_REMAP) std::free(obj->remap);
    obj->flags &= ~OBJ_OWNS_REMAP;
    obj->remap = nullptr;
    obj->remap_count = 0;
    if (copy && table && count > 0) {
        uint16_t* own = static_cast<uint16_t*>(std::malloc(2 * static_cast<size_t>(count)));
        if (!own) return OBJ_NO_MEMORY;
        std::memcpy(own, table, 2 * static_cast<size_t>(count));
        obj->flags |= OBJ_OWNS_REMAP;
        table = own;
    }
    obj->remap = const_cast<uint16_t*>(table);
    obj->remap_count = count;
    return OBJ_OK;
}

int8_t CopyObject(const Object* src, Object* dst) {
    if (src == dst) return OBJ_OK;
    uint16_t* remap = src->remap;
    if ((src->flags & OBJ_OWNS_REMAP) && src->remap && src->remap_count > 0) {
        remap = static_cast<uint16_t*>(std::malloc(2 * static_cast<size_t>(src->remap_count)));
        if (!remap) return OBJ_NO_MEMORY;
        std::memcpy(remap, src->remap, 2 * static_cast<size_t>(src->remap_count));
    }
    *dst = *src;
    dst->remap = remap;
    if (dst->anims) ++dst->anims->refs;
    return OBJ_OK;
}

int8_t FreeObject(Object* obj) {
    Anim* model = obj->anims;
    SetRemapTable(obj, nullptr, 0, false);
    ObjectInit(obj);
    if (!model) return OBJ_OK;
    if (--model->refs > 0) return OBJ_OK;
    while (model) {
        Anim* next = model->next;
        FreeKeys(model);
        std::free(model);
        model = next;
    }
    return OBJ_RELEASED;
}

int8_t NextFrame(Object* obj) {
    if (obj->frame == INT32_MAX) return OBJ_BAD_FRAME;
    int32_t f = obj->frame + 1;
    // During a transition the frame counts the transition's own frames: SetFrame ends it.
    if (!(obj->flags & OBJ_TRANSITION)) {
        int8_t r = CheckAnim(obj);
        if (r) return r;
        if (f >= obj->anim->length) {
            if (obj->anim->flags & ANIM_ONCE) return OBJ_END;
            f = 0;
        }
    }
    return SetFrame(obj, f);
}

int8_t SetFrame(Object* obj, int32_t f) {
    if (obj->flags & OBJ_TRANSITION) {
        obj->frame = f;
        if (f < obj->trans_length) return OBJ_OK;
        f -= obj->trans_length;
    }
    obj->flags &= ~OBJ_TRANSITION;
    int8_t r = CheckAnim(obj);
    if (r) return r;
    const Anim* anim = obj->anim;
    Keyframe* start = obj->key ? obj->key : anim->keys;
    if (!start || f < 0 || f >= anim->length) return OBJ_BAD_FRAME;
    obj->frame = f;
    const int64_t k = static_cast<int64_t>(f) * anim->span / anim->length;
    Keyframe* first = anim->keys;
    if (k < first->frame) {
        // Before the first keyframe no interval holds k: the first keyframe stands for it.
        obj->key = first;
        return OBJ_OK;
    }
    Keyframe* key = start;
    if (k < key->frame) key = first;  // stepping backwards: search from the start of the ring
    for (;;) {
        Keyframe* next = key->next;
        const int64_t bound = next == first ? anim->span : next->frame;
        if (next == first || k < bound) break;
        key = next;
    }
    obj->key = key;
    return OBJ_OK;
}

int8_t ScaleAnimLengths(Object* obj, int32_t permille) {
    for (Anim* a = obj->anims; a; a = a->next)
        a->length = static_cast<int32_t>(static_cast<int64_t>(a->span) * permille / 1000);
    return OBJ_OK;
}

int32_t ObjectClockTick(int32_t n) {
    if (objectClockSub > 0) {
        --objectClockSub;
        return objectClock;
    }
    objectClockSub = n;
    objectClock = static_cast<int32_t>(static_cast<uint32_t>(objectClock) + 1u);
    return objectClock;
}

// The object clock's value, for the time-driven playback of the drawing code.
int32_t ObjectClockValue(void) { return objectClock; }
