// trx_light.cpp: the frame's light list, per-link lighting and the vertex colour.
#include <cmath>
#include <cstring>

#include "trx_state.h"

static const LightCacheRecord unlitSum = {0.0f, 0.0f, 0.0f, 0};

static int32_t WordAt52(const Material* m) {
    int32_t word;
    std::memcpy(&word, &m->lightFlags, sizeof word);
    return word;
}

static void Oscillate(Light* l) {
    for (int k = 0; k < 3; ++k)
        l->color[k] += SineLookup(trx.animClock, l->speed, l->phase[k]) * l->amplitude[k];
}

int PrepareLights(void) {
    FillSineTable();
    int64_t wanted = static_cast<int64_t>(trx.slotCount) + trx.ecount;
    if (wanted > trx.lightCapacity) {
        void* p = TrxRealloc(trx.lights, static_cast<size_t>(wanted) * sizeof(Light));
        if (!p) return TRX_NO_MEMORY;
        trx.lights = static_cast<Light*>(p);
        trx.lightCapacity = static_cast<int32_t>(wanted);
    }
    trx.lightCount = 0;

    for (int32_t s = 0; s < trx.slotCount; ++s) {
        const Light& slot = trx.slots[s];
        if (!(slot.flags & LIGHT_ENABLED)) continue;
        Light& l = trx.lights[trx.lightCount++];
        l = slot;
        TransformPoint(&trx.invModel, &slot.position, &l.position);
        Homogenize(&l.position);
        TransformDirection(&trx.invModel, &slot.direction, &l.direction);
        Homogenize(&l.direction);
        if (l.flags & LIGHT_OSCILLATE) Oscillate(&l);
    }

    // Emitter runs: the first VertexRef's material and link define the light. Entries that no
    // longer name a type 7 header with a valid reference behind it define nothing.
    for (int32_t e = 0; e < trx.ecount; ++e) {
        int32_t h = trx.emitters[e];
        if (h < 0 || h + 1 >= trx.wccount) continue;
        if ((trx.wctable[h].run.type & 0xF) != PRIM_EMITTER) continue;
        const VertexRef& ref = trx.wctable[h + 1].ref;
        if (ref.material < 0 || ref.material >= trx.wmcount) continue;
        if (ref.link < 0 || ref.link >= trx.wlcount) continue;
        const Material& m = trx.wmtable[ref.material];
        int32_t lightFlags = WordAt52(&m);
        if (!(lightFlags & LIGHT_ENABLED) || !(m.flags & MAT_EMITTER)) continue;
        const Link& link = trx.wltable[ref.link];
        if (link.vertex < 0 || link.vertex >= trx.wvcount || link.normal < 0 ||
            link.normal >= trx.wncount)
            continue;
        Light& l = trx.lights[trx.lightCount++];
        l.position = trx.wvtable[link.vertex];
        l.direction = trx.wntable[link.normal];
        l.flags = lightFlags;
        std::memcpy(l.color, m.emissive, sizeof l.color);
        std::memcpy(l.amplitude, m.amplitude, sizeof l.amplitude);
        std::memcpy(l.phase, m.phase, sizeof l.phase);
        l.speed = m.speed;
        l.range = m.diffuse[0];
        l.coneOuter = m.diffuse[1];
        l.coneInner = m.diffuse[2];
        if (l.flags & LIGHT_OSCILLATE) Oscillate(&l);
    }
    return TRX_OK;
}

void LightLink(int link) {
    const Link& lk = trx.wltable[link];
    Vec4* vp = &trx.wvtable[lk.vertex];
    LightCacheRecord& out = trx.cache[link];
    float sr = 0.0f, sg = 0.0f, sb = 0.0f;
    if (lk.normal >= 0 && lk.normal < trx.wncount) {
        const float vx = vp->x, vy = vp->y, vz = vp->z;
        const Vec4 n = trx.wntable[lk.normal];
        const ShadowCallback shadow = trx.shadow;
        const Light* lights = trx.lights;
        for (int32_t i = 0, count = trx.lightCount; i < count; ++i) {
            const Light& l = lights[i];
            const int32_t fl = l.flags;
            if (!(fl & LIGHT_ENABLED)) continue;
            float f;
            if (fl & (LIGHT_POINT | LIGHT_SPOT)) {
                const float dx = l.position.x - vx, dy = l.position.y - vy, dz = l.position.z - vz;
                const float r = l.range;
                if (!(r > std::fabs(dx) && r > std::fabs(dy) && r > std::fabs(dz))) continue;
                const float d2 = dx * dx + dy * dy + dz * dz;
                if (!(d2 < r * r)) continue;
                const float dist = std::sqrt(d2);
                const float inv = 1.0f / dist;
                float spot = 1.0f;
                if (fl & LIGHT_SPOT) {
                    const float cs =
                        -(l.direction.x * dx + l.direction.y * dy + l.direction.z * dz) * inv;
                    if (cs < l.coneOuter) continue;
                    if (!(cs > l.coneInner)) {
                        const float span = l.coneInner - l.coneOuter;
                        spot = span > 0.0f ? (cs - l.coneOuter) / span : 1.0f;
                    }
                }
                const float nd = n.x * dx + n.y * dy + n.z * dz;
                if (!(nd > 0.0f)) continue;
                byte answer = 0;
                if (shadow) {
                    answer = shadow(vp, &l);
                    if (answer == 2) continue;
                }
                if (fl & LIGHT_POINT)
                    f = nd / dist - nd / r;
                else
                    f = (nd * inv - nd / r) * spot;
                if (answer == 1) f *= 0.5f;
            } else if (fl & LIGHT_DIRECTIONAL) {
                const Vec4& d = l.direction;
                f = -(n.x * d.x + n.y * d.y + n.z * d.z) /
                    std::sqrt((n.x * n.x + n.y * n.y + n.z * n.z) *
                              (d.x * d.x + d.y * d.y + d.z * d.z));
                if (!(f > 0.0f)) f = 0.0f;
            } else {
                continue;
            }
            if (f != 0.0f) {
                sr += f * l.color[0];
                sg += f * l.color[1];
                sb += f * l.color[2];
            }
        }
    }
    out.r = sr + trx.ambient;
    out.g = sg + trx.ambient;
    out.b = sb + trx.ambient;
    out.stamp = trx.frameStamp;
}

// Clamped channel to 0..255; NaN counts as 0.
static inline uint32_t Channel(float c) {
    if (!(c > 0.0f)) return 0;
    if (c >= 1.0f) return 255;
    return static_cast<uint32_t>(c * 255.0f);
}

// trunc(alpha * 255), low 8 bits; values beyond the int range or NaN give 0.
static inline uint32_t AlphaByte(float alpha) {
    float a = alpha * 255.0f;
    if (!(a > -2147483648.0f && a < 2147483648.0f)) return 0;
    return static_cast<uint32_t>(static_cast<int32_t>(a)) & 0xFF;
}

uint32_t VertexColor(const VertexRef* ref) {
    const Material* m = ref->material >= 0 ? &trx.wmtable[ref->material] : nullptr;
    const LightCacheRecord* sum;
    if (m && (m->flags & MAT_EMITTER)) {
        sum = &unlitSum;
    } else {
        sum = &trx.cache[ref->link];
        if (sum->stamp != trx.frameStamp) LightLink(ref->link);
    }
    float c[3] = {sum->r, sum->g, sum->b};
    uint32_t alpha = 255;
    if (m) {
        const uint8_t flags = m->flags;
        if (!(flags & MAT_OSCILLATE)) {
            for (int k = 0; k < 3; ++k) c[k] = m->diffuse[k] * c[k] + m->emissive[k];
        } else {
            for (int k = 0; k < 3; ++k) {
                const float o = SineLookup(trx.animClock, m->speed, m->phase[k]) * m->amplitude[k];
                if (flags & MAT_OSC_DIFFUSE)
                    c[k] = (m->diffuse[k] + o) * c[k] + m->emissive[k];
                else
                    c[k] = m->diffuse[k] * c[k] + m->emissive[k] + o;
            }
        }
        if (flags & MAT_ALPHA) alpha = AlphaByte(m->alpha);
    }
    return alpha << 24 | Channel(c[0]) << 16 | Channel(c[1]) << 8 | Channel(c[2]);
}
