// model_hero.cpp: hrdina, the hooded figure with a staff. About 60 units tall, feet at z 0,
// facing -y; the show scales it 3x. One skinned body (a skeleton of 17 bones, each vertex on one
// or two of them) posed by code for every keyframe, so every key of every animation has the same
// vertices and runs and any two can be blended.
//
// The walk covers 44 local units per 20-frame cycle (132 world units at scale 3): a planted
// foot moves back 2.2 units a frame, exactly against the show's stride, placed by two-bone IK.
#include <cmath>
#include <functional>

#include "model_parts.h"

namespace {

enum {
    ROOT,
    SPINE,
    CHEST,
    HEAD,
    L_SHOULDER,
    L_ELBOW,
    L_WRIST,
    R_SHOULDER,
    R_ELBOW,
    R_WRIST,
    L_HIP,
    L_KNEE,
    L_ANKLE,
    R_HIP,
    R_KNEE,
    R_ANKLE,
    CLOAK,
    BONES
};

constexpr float kHip = 34, kKnee = 18.5f, kAnkle = 3, kHipX = 3.3f;
constexpr float kThigh = kHip - kKnee, kShin = kKnee - kAnkle;

std::vector<Bone> Skeleton(void) {
    std::vector<Bone> b(BONES);
    b[ROOT] = {-1, {0, 0, kHip}};
    b[SPINE] = {ROOT, {0, 0, 37}};
    b[CHEST] = {SPINE, {0, 0, 45}};
    b[HEAD] = {CHEST, {0, 0, 51.5f}};
    b[L_SHOULDER] = {CHEST, {6.4f, 0, 49}};
    b[L_ELBOW] = {L_SHOULDER, {7.6f, 0.4f, 40.5f}};
    b[L_WRIST] = {L_ELBOW, {8.2f, 0, 32.5f}};
    b[R_SHOULDER] = {CHEST, {-6.4f, 0, 49}};
    b[R_ELBOW] = {R_SHOULDER, {-7.6f, 0.4f, 40.5f}};
    b[R_WRIST] = {R_ELBOW, {-8.2f, 0, 32.5f}};
    b[L_HIP] = {ROOT, {kHipX, 0, kHip}};
    b[L_KNEE] = {L_HIP, {kHipX, 0, kKnee}};
    b[L_ANKLE] = {L_KNEE, {kHipX, 0, kAnkle}};
    b[R_HIP] = {ROOT, {-kHipX, 0, kHip}};
    b[R_KNEE] = {R_HIP, {-kHipX, 0, kKnee}};
    b[R_ANKLE] = {R_KNEE, {-kHipX, 0, kAnkle}};
    b[CLOAK] = {ROOT, {0, 0, 36}};
    return b;
}

float Smooth(float e0, float e1, float x) {
    const float t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

SkinWeight W(int a, int b = -1, float w = 0) {
    return SkinWeight{static_cast<uint8_t>(a), static_cast<uint8_t>(b < 0 ? a : b), b < 0 ? 0 : w};
}

// A frame at a whose z axis runs to b.
M34 Along(V3 a, V3 b) {
    const V3 z = Normalized(b - a);
    const V3 ref = std::fabs(z.z) < 0.9f ? V3{0, 0, 1} : V3{1, 0, 0};
    const V3 x = Normalized(Cross(ref, z)), y = Cross(z, x);
    M34 m;
    const V3 cols[4] = {x, y, z, a};
    for (int c = 0; c < 4; ++c) m.m[0][c] = cols[c].x, m.m[1][c] = cols[c].y, m.m[2][c] = cols[c].z;
    return m;
}

struct Body {
    Shape rest;
    std::vector<std::vector<SkinWeight>> weights;
};

void AddPart(Body* body, Shape s, const std::function<SkinWeight(V3)>& weight) {
    for (const Patch& p : s.patches) {
        std::vector<SkinWeight> w;
        for (const MVert& v : p.verts) w.push_back(weight(v.p));
        body->weights.push_back(std::move(w));
        body->rest.patches.push_back(p);
    }
}

// A limb lathe from joint a to joint b: radii at fractions of the length.
Shape Limb(V3 a, V3 b, const std::vector<float>& r, const std::vector<float>& t, int segments,
           int texture, int material) {
    const float len = Length(b - a);
    std::vector<float> z;
    for (float f : t) z.push_back(f * len);
    Shape s = Lathe(r, z, segments, texture, material, 1, 1);
    Transform(&s, Along(a, b));
    return s;
}

// Height of a point along a limb from a (0) to b (1).
float Fraction(V3 p, V3 a, V3 b) { return Dot(p - a, b - a) / Dot(b - a, b - a); }

Body BuildBody(const std::vector<Bone>& bones, int cloth, int skin, int metal, int glow) {
    Body body;
    const int robe = Tex("robe"), hood = Tex("hood"), boots = Tex("boots"), skinTex = Tex("skin"),
              staff = Tex("staff"), trim = Tex("trim");
    for (int side = 0; side < 2; ++side) {
        const float sx = side == 0 ? 1.0f : -1.0f;
        const int hip = side == 0 ? L_HIP : R_HIP, knee = side == 0 ? L_KNEE : R_KNEE,
                  ankle = side == 0 ? L_ANKLE : R_ANKLE;
        // Leg: breeches above the knee, a boot shaft below, a boot on the foot.
        Shape thigh = Lathe({2.3f, 2.6f, 2.9f, 3.1f}, {11, 18.5f, 27, 35}, 8, hood, cloth, 1, 2);
        Transform(&thigh, Translate({sx * kHipX, 0, 0}));
        AddPart(&body, thigh,
                [=](V3 p) { return p.z < 21 ? W(hip, knee, Smooth(21, 16, p.z)) : W(hip); });
        Shape shaft = Lathe({2.1f, 2.3f, 2.5f, 2.4f}, {1.5f, 6, 11, 13}, 8, boots, cloth, 1, 1);
        Transform(&shaft, Translate({sx * kHipX, 0, 0}));
        AddPart(&body, shaft, [=](V3 p) { return p.z < 4.5f ? W(ankle) : W(knee); });
        Shape foot = BevelBox({sx * kHipX - 1.9f, -5.8f, 0}, {sx * kHipX + 1.9f, 1.9f, 3.4f}, 1.1f,
                              10, 1, boots, cloth, 6);
        AddPart(&body, foot, [=](V3) { return W(ankle); });
        // Arm: a sleeve widening to the wrist, a hand.
        const int shoulder = side == 0 ? L_SHOULDER : R_SHOULDER,
                  elbow = side == 0 ? L_ELBOW : R_ELBOW, wrist = side == 0 ? L_WRIST : R_WRIST;
        const V3 s0 = bones[static_cast<size_t>(shoulder)].joint,
                 e0 = bones[static_cast<size_t>(elbow)].joint,
                 w0 = bones[static_cast<size_t>(wrist)].joint;
        Shape upper = Limb(s0 + V3{0, 0, 1.2f}, e0, {1.6f, 2.3f, 2.3f, 2.4f},
                           {0, 0.12f, 0.6f, 1.05f}, 8, robe, cloth);
        AddPart(&body, upper, [=](V3 p) {
            return W(shoulder, CHEST, Smooth(0.15f, -0.05f, Fraction(p, s0, e0)) * 0.5f);
        });
        Shape fore = Limb(e0 + V3{0, 0, 1}, w0 + V3{0, 0, -0.8f}, {2.3f, 2.6f, 3.3f, 3.4f, 2.0f},
                          {0, 0.35f, 0.85f, 1, 1}, 8, robe, cloth);
        AddPart(&body, fore, [=](V3 p) {
            return W(elbow, shoulder, Smooth(0.15f, -0.05f, Fraction(p, e0, w0)) * 0.5f);
        });
        Shape hand =
            Lathe({0, 0.55f, 0.95f, 0.85f, 0}, {0, 0.4f, 1.6f, 2.8f, 3.3f}, 6, skinTex, skin, 1, 1);
        Transform(&hand, Translate(w0 + V3{0, 0, -3.7f}) * ScaleM(0.75f, 1, 1));
        AddPart(&body, hand, [=](V3) { return W(wrist); });
    }
    // The robe: a skirt from the belt to below the knee, moved by the cloak bone and the legs.
    Shape skirt = Lathe({9.6f, 9.3f, 8.2f, 7.0f, 6.0f, 5.6f}, {8.5f, 11, 18, 25, 31, 35.5f}, 22,
                        robe, cloth, 2, 1);
    Transform(&skirt, ScaleM(1, 0.82f, 1));
    AddPart(&body, skirt, [](V3 p) {
        const float side = p.x / std::max(0.5f, std::hypot(p.x, p.y));
        const float leg = Smooth(0.1f, 0.75f, std::fabs(side)) * Smooth(33, 20, p.z) * 0.85f;
        return W(CLOAK, side > 0 ? L_HIP : R_HIP, leg);
    });
    // Torso and neck.
    Shape torso = Lathe({5.5f, 5.6f, 6.3f, 6.7f, 6.2f, 3.6f, 1.9f, 1.6f},
                        {34, 38, 43, 46.5f, 49, 50.8f, 51.6f, 53.5f}, 16, robe, cloth, 2, 1);
    Transform(&torso, ScaleM(1, 0.72f, 1));
    AddPart(&body, torso, [](V3 p) {
        if (p.z < 37) return W(ROOT, SPINE, Smooth(34, 37, p.z));
        if (p.z < 47) return W(SPINE, CHEST, Smooth(42, 47, p.z));
        return W(CHEST, HEAD, Smooth(50.5f, 52.5f, p.z));
    });
    // Belt.
    Shape belt = Lathe({5.4f, 6.1f, 6.3f, 6.1f, 5.4f}, {34.2f, 34.4f, 35.2f, 36, 36.2f}, 16, trim,
                       metal, 3, 1);
    Transform(&belt, ScaleM(1, 0.76f, 1));
    AddPart(&body, belt, [](V3) { return W(ROOT, SPINE, 0.3f); });
    // Head and hood (open at the front, -y), and a cape down the back.
    Shape head = Lathe({0, 1.6f, 2.8f, 3.1f, 2.8f, 1.7f, 0},
                       {51.8f, 52.2f, 53.5f, 55, 56.6f, 57.8f, 58.2f}, 10, skinTex, skin, 1, 1);
    Transform(&head, Translate({0, -0.4f, 0}));
    AddPart(&body, head, [](V3) { return W(HEAD); });
    const float front = -kPi / 2;
    Shape hoodShape =
        Lathe({6.2f, 4.8f, 4.4f, 4.1f, 3.3f, 1.8f, 0.2f}, {49.5f, 51.5f, 54, 56.5f, 59, 61, 62}, 14,
              hood, cloth, 2, 1, front + 0.75f, front + 2 * kPi - 0.75f);
    Transform(&hoodShape, Translate({0, 0.5f, 0}));
    AddPart(&body, hoodShape, [](V3 p) { return W(HEAD, CHEST, Smooth(52, 49.5f, p.z)); });
    Shape cape = Lathe({10.4f, 9.0f, 7.6f, 7.2f, 6.4f}, {9, 20, 36, 45, 50}, 12, hood, cloth, 1, 2,
                       0.35f, kPi - 0.35f);
    Transform(&cape, ScaleM(1, 0.9f, 1) * Translate({0, 0.8f, 0}));
    AddPart(&body, cape, [](V3 p) {
        return p.z > 44 ? W(CHEST, SPINE, Smooth(47, 44, p.z))
                        : W(CLOAK, SPINE, Smooth(36, 44, p.z));
    });
    // The staff in the right hand, its head a glowing orb in a gold crescent.
    const V3 grip = bones[R_WRIST].joint + V3{0, -0.8f, -2.2f};
    Shape staffShape = Cylinder(0.55f, -28, 36, 6, staff, cloth, 1, 6);
    Transform(&staffShape, Translate(grip));
    AddPart(&body, staffShape, [](V3) { return W(R_WRIST); });
    Shape orb = Lathe({0, 1.2f, 1.6f, 1.2f, 0}, {-1.6f, -1.1f, 0, 1.1f, 1.6f}, 8, trim, glow, 1, 1);
    Transform(&orb, Translate(grip + V3{0, 0, 38.5f}));
    AddPart(&body, orb, [](V3) { return W(R_WRIST); });
    Shape crescent = Lathe({0.5f, 2.6f, 3.0f, 2.2f, 0.4f}, {-1.0f, 0.2f, 2.0f, 3.6f, 4.2f}, 8, trim,
                           metal, 1, 1);
    Transform(&crescent, Translate(grip + V3{0, 0, 35.5f}));
    AddPart(&body, crescent, [](V3) { return W(R_WRIST); });
    SmoothNormals(&body.rest, 55);
    return body;
}

// ---- poses ----

Pose Neutral(void) {
    Pose p;
    p.angles.assign(BONES, V3{0, 0, 0});
    return p;
}

// Puts a leg's ankle at (ankleY, ankleZ) relative to the ground under the hip by two-bone IK,
// with the foot pitched by `toe` from flat.
void PlaceLeg(Pose* p, int hip, float hipZ, float ankleY, float ankleZ, float toe) {
    const float dy = ankleY, dz = hipZ - ankleZ;
    float d = std::sqrt(dy * dy + dz * dz);
    d = std::min(d, kThigh + kShin - 0.02f);
    const float bend =
        kPi - std::acos(std::clamp((kThigh * kThigh + kShin * kShin - d * d) / (2 * kThigh * kShin),
                                   -1.0f, 1.0f));
    const float toTarget = std::atan2(dy, dz);
    const float alpha = std::acos(
        std::clamp((kThigh * kThigh + d * d - kShin * kShin) / (2 * kThigh * d), -1.0f, 1.0f));
    const float thigh = toTarget - alpha;  // the knee forward, towards -y
    p->angles[static_cast<size_t>(hip)].x = thigh;
    p->angles[static_cast<size_t>(hip + 1)].x = bend;
    p->angles[static_cast<size_t>(hip + 2)].x = -(thigh + bend) + toe;
}

// Standing with the feet a little apart, the staff held by its side. breath: 0..1.
Pose Standing(float breath, float sway) {
    Pose p = Neutral();
    p.rootMove.z = -0.3f - 0.15f * breath;
    PlaceLeg(&p, L_HIP, kHip + p.rootMove.z, -1.2f, kAnkle, 0);
    PlaceLeg(&p, R_HIP, kHip + p.rootMove.z, 1.2f, kAnkle, 0);
    p.angles[SPINE] = {0.02f * breath, 0, 0.02f * sway};
    p.angles[CHEST] = {-0.03f * breath, 0, 0};
    p.angles[HEAD] = {0.06f, 0, 0.08f * sway};
    p.angles[L_SHOULDER] = {0.05f - 0.04f * breath, -0.1f, 0};
    p.angles[L_ELBOW] = {-0.35f, 0, 0};
    p.angles[R_SHOULDER] = {-0.3f, 0.12f, 0};
    p.angles[R_ELBOW] = {-0.85f, 0, 0};
    p.angles[R_WRIST] = {1.1f, 0, 0};
    p.angles[CLOAK] = {0.03f + 0.03f * sway, 0.02f * breath, 0};
    return p;
}

// The walk at phase 0..1 (the left foot lands in front at 0).
Pose Walking(float phase) {
    Pose p = Neutral();
    const float stride = 22;  // one step: 2.2 units a frame for 10 frames
    p.rootMove.z = -1.6f - 0.8f * std::cos(4 * kPi * phase);
    const float hipZ = kHip + p.rootMove.z;
    for (int side = 0; side < 2; ++side) {
        const float q = std::fmod(phase + (side ? 0.5f : 0.0f), 1.0f);
        float y, z, toe;
        if (q < 0.5f) {  // planted: moves back at the walking speed
            y = -stride / 2 + stride * (q / 0.5f), z = kAnkle, toe = 0;
        } else {  // swinging forward in the air
            const float s = (q - 0.5f) / 0.5f;
            y = stride / 2 - stride * (1 - std::cos(kPi * s)) / 2;
            z = kAnkle + 4.5f * std::sin(kPi * s);
            toe = -0.25f * std::sin(kPi * s);
        }
        PlaceLeg(&p, side ? R_HIP : L_HIP, hipZ, y, z, toe);
    }
    const float c = std::cos(2 * kPi * phase);
    p.angles[SPINE] = {0.06f, 0, 0.07f * c};
    p.angles[HEAD] = {0.04f, 0, -0.05f * c};
    p.angles[L_SHOULDER] = {0.38f * c, -0.08f, 0};
    p.angles[L_ELBOW] = {-0.3f - 0.15f * (1 - c), 0, 0};
    p.angles[R_SHOULDER] = {-0.3f - 0.12f * c, 0.1f, 0};
    p.angles[R_ELBOW] = {-0.8f, 0, 0};
    p.angles[R_WRIST] = {1.0f, 0, 0};
    p.angles[CLOAK] = {0.12f + 0.04f * std::sin(4 * kPi * phase), 0, 0.04f * c};
    return p;
}

// Act one: 0 the pose (standing, head bowed), raising the arms, the V, the summons.
Pose ActOne(int key) {
    Pose p = Standing(0, 0);
    auto arms = [&](float lx, float ly, float rx, float ry, float elbow) {
        p.angles[L_SHOULDER] = {lx, ly, 0};
        p.angles[R_SHOULDER] = {rx, ry, 0};
        p.angles[L_ELBOW] = {elbow, 0, 0};
        p.angles[R_ELBOW] = {elbow, 0, 0};
        p.angles[R_WRIST] = {0.3f, 0, 0};
    };
    switch (key) {
    case 0:
        p.angles[HEAD] = {0.35f, 0, 0};
        p.angles[CHEST] = {0.06f, 0, 0};
        break;
    case 1:
        p.angles[HEAD] = {0.1f, 0, 0};
        arms(-0.9f, -0.15f, -0.9f, 0.15f, -0.5f);
        break;
    case 2:
        p.angles[HEAD] = {-0.25f, 0, 0};
        p.angles[CHEST] = {-0.1f, 0, 0};
        arms(-2.3f, -0.1f, -2.3f, 0.1f, -0.2f);
        break;
    case 3:
        p.angles[HEAD] = {-0.4f, 0, 0};
        p.angles[CHEST] = {-0.16f, 0, 0};
        arms(-2.6f, -0.6f, -2.6f, 0.6f, -0.05f);
        p.angles[CLOAK] = {0.1f, 0, 0};
        break;
    case 4:
        p.angles[HEAD] = {0.15f, 0, 0};
        p.angles[SPINE] = {0.18f, 0, 0};
        arms(-1.45f, -0.25f, -1.45f, 0.25f, -0.05f);
        p.angles[CLOAK] = {0.16f, 0, 0};
        break;
    default:
        p.angles[HEAD] = {0.2f, 0, 0};
        arms(-0.7f, -0.2f, -0.7f, 0.2f, -0.6f);
        break;
    }
    return p;
}

// Act two: 0 the arms up in a V, 1 hands together high, 2 the cast (a lunge, the staff thrust
// forward: held by the show), 3 recovering.
Pose ActTwo(int key) {
    Pose p = ActOne(3);
    if (key == 1) {
        p.angles[L_SHOULDER] = {-2.95f, -0.15f, 0};
        p.angles[R_SHOULDER] = {-2.95f, 0.15f, 0};
        p.angles[L_ELBOW] = p.angles[R_ELBOW] = {-0.35f, 0, 0};
        p.angles[HEAD] = {-0.5f, 0, 0};
        p.angles[CHEST] = {-0.2f, 0, 0};
        p.rootMove.z = -0.2f;
    } else if (key == 2) {
        p = Neutral();
        p.rootMove = {0, 0, -3.2f};
        const float hipZ = kHip + p.rootMove.z;
        PlaceLeg(&p, L_HIP, hipZ, -9.5f, kAnkle, 0);
        PlaceLeg(&p, R_HIP, hipZ, 9.5f, kAnkle, 0);
        p.angles[SPINE] = {0.22f, 0, 0.05f};
        p.angles[CHEST] = {0.08f, 0, 0};
        p.angles[HEAD] = {-0.15f, 0, 0};
        p.angles[R_SHOULDER] = {-1.55f, 0.05f, 0};
        p.angles[R_ELBOW] = {-0.05f, 0, 0};
        p.angles[R_WRIST] = {-1.45f, 0, 0};
        p.angles[L_SHOULDER] = {-1.2f, -0.45f, 0};
        p.angles[L_ELBOW] = {-0.1f, 0, 0};
        p.angles[CLOAK] = {0.25f, 0, 0};
    } else if (key == 3) {
        p = Standing(0.5f, 0.5f);
        p.angles[HEAD] = {0.2f, 0, 0};
        p.angles[R_SHOULDER] = {-0.6f, 0.1f, 0};
    }
    return p;
}

}  // namespace

std::vector<ModelAnim> HeroAnims(void) {
    const std::vector<Bone> bones = Skeleton();
    // Materials live in every keyframe, in the same order.
    MeshBuild materials;
    const int cloth = Mat(&materials, 1, 1, 1);
    const int skin = Mat(&materials, 1, 0.95f, 0.9f, 0.04f, 0.03f, 0.02f);
    const int metal = Mat(&materials, 1, 0.95f, 0.8f, 0.08f, 0.06f, 0.02f);
    const int glow = Mat(&materials, 0.2f, 0.2f, 0.2f, 0.75f, 0.55f, 0.95f);
    const Body body = BuildBody(bones, cloth, skin, metal, glow);
    auto key = [&](int frame, const Pose& pose) {
        MeshBuild mb;
        mb.materials = materials.materials;
        EmitShape(&mb, SkinShape(body.rest, body.weights, PoseMatrices(bones, pose)));
        return ModelKey{frame, std::move(mb)};
    };
    std::vector<ModelAnim> anims = {
        {0, 60, 0, {}}, {1, 20, 0, {}}, {2, 60, 0, {}}, {3, 6000, 0, {}}};
    for (int k = 0; k < 6; ++k) {
        const float a = 2 * kPi * static_cast<float>(k) / 6;
        anims[0].keys.push_back(key(10 * k, Standing(0.5f - 0.5f * std::cos(a), std::sin(a))));
    }
    for (int k = 0; k < 10; ++k)
        anims[1].keys.push_back(key(2 * k, Walking(static_cast<float>(k) / 10)));
    for (int k = 0; k < 6; ++k) anims[2].keys.push_back(key(10 * k, ActOne(k)));
    for (int k = 0; k < 4; ++k) anims[3].keys.push_back(key(1500 * k, ActTwo(k)));
    return anims;
}
