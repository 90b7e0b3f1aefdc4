// timeline.cpp: the script of the show (see timeline.h).
#include "timeline.h"

#include <bit>
#include <cstdlib>
#include <initializer_list>

#include "assets.h"
#include "scene.h"
#include "texentry.h"
#include "trx.h"
#include "trx_object.h"

float angle1, angle2, angle3;
Matrix heroMatrix, heroStep;
int32_t flashCount;
int32_t heroHold;

// The lightning's random sequence starts from this seed on the first call, so every run flashes
// alike.
static const unsigned lightningSeed = 1999;
static bool seeded;

void ResetTimeline(void) {
    angle1 = angle2 = angle3 = 0;
    heroMatrix = Matrix{};
    heroStep = Matrix{};
    flashCount = 0;
    heroHold = 0;
    seeded = false;
}

// A pseudo-random number 0 to 32767 from rand, whatever the runtime's RAND_MAX.
static int Random15(void) { return std::rand() / (RAND_MAX / 32768 + 1); }

// frames a to b
static bool In(float f, int32_t a, int32_t b) {
    return static_cast<float>(a) <= f && f <= static_cast<float>(b);
}

// ---- events ----

// objekt's descent: it turns to face the camera and opens, stops over the dais, and sinks into the
// shaft; the final camera stops before the end.
constexpr int32_t objektOpens = objectStart + 440;
constexpr int32_t objektStops = objectStart + 525;
constexpr int32_t objektSinks = objectStart + 535;
constexpr int32_t objektEnd = finalStart - 25;
constexpr int32_t finalCameraStop = finalStart + 1176;

// Every event frame counts from the start of the part it belongs to (timeline.h).
static void Events(float f) {
    if (f == titleStart + 12) BASS_MusicPlay(sounds.musicTeufel);
    if (f == finalStart) BASS_MusicPlay(sounds.musicTitles);
    if (f == heroStart + 10) BASS_SamplePlay(sounds.sampleDoor);
    if (f == heroStart + 31) BASS_SamplePlay(sounds.sampleBoot);
    if (f == heroStart + 70) BASS_SamplePlay(sounds.sampleBoot);
    for (int32_t at : {300, 335, 372, 405, 442})
        if (f == heroStart + at) BASS_SamplePlay(sounds.sampleBoot);
    if (f == heroStart + 162) flashCount = 8;
    if (f == heroStart + 182) BASS_SamplePlay(sounds.sampleStorm);
    if (f == heroStart + 228) flashCount = 6;
    if (f == heroStart + 410) flashCount = 6;
    if (f == heroStart + 430) BASS_SamplePlay(sounds.sampleStorm);
    if (f == heroStart + 603) flashCount = 4;
    if (f == heroStart + 803) flashCount = 10;
    if (f == heroStart + 823) BASS_SamplePlay(sounds.sampleStorm);
    if (f == heroStart + 640) flashCount = 10;
    if (f == heroStart + 650) BASS_SamplePlay(sounds.sampleStorm);
    if (f == objectStart + 200) {
        flashCount = 20;
        BASS_SamplePlay(sounds.sampleThunder);
    }
    if (f == objektSinks) BASS_SamplePlay(sounds.sampleEnd);
    if (f == heroExitStart - 5) BASS_SamplePlay(sounds.sampleMagic);
}

// ---- title part ----

static void TitlePart(float f, byte skipRender) {
    if (!In(f, titleStart, titleStart + title1Length - 1)) return;  // the second title: see below
    angle1 += 0.06f;
    angle2 += 0.067f;
    if (skipRender) return;
    CameraMove(0, 0, -800, -0.5f, 3.14f, 3.14f, 1, 0, 0, -50, 0.2f, 3.14f, 3.14f, 1, 100,
               f - titleStart);
    Matrix z, x, y, xy, zxy, t, l;
    MatRotateZ(&z, 0);
    MatRotateX(&x, angle1);
    MatRotateY(&y, angle2);
    MatMul(&x, &y, &xy);
    MatMul(&z, &xy, &zxy);
    MatTranslate(&t, 0, 0, 0);
    MatMul(&zxy, &t, &l);
    SelectAnim(&cpu, 0, 1);
    AppendKey(&cpu, &l);
}

// The second title may carry a screen sprite made from light slot 0 of the show's light table.
// Nothing in the show sets that slot, and a zero position (w = 0) cannot be projected, so the
// sprite is added only while the slot holds a light with a real position.
static void TitleSprite(float f, byte skipRender) {
    if (skipRender || !In(f, titleStart + title1Length, heroStart - 1)) return;
    const Light& entry = lightTable[0];
    if (!(entry.flags & LIGHT_ENABLED) || entry.position.w == 0) return;
    Material m{};
    m.emissive[0] = entry.color[0];
    m.emissive[1] = entry.color[1];
    m.emissive[2] = entry.color[2];
    SetInputTransform(nullptr);
    const int material = AddMaterial(&m);
    const int vertex = AddVertex(&entry.position);
    BeginRun(1, PRIM_SPRITE, 2);
    AddVertexRef(AddLink(vertex, 0), material, 40, 40);
}

// ---- main part: camera ----

namespace {

// One row of the camera table. Rows are tested in order: the first whose limit lies beyond the
// frame (d = frames since heroStart, or f itself) moves the camera; the last row has no limit.
struct CameraRow {
    bool limitByD;  // the limit is a d value (else a frame number; 0 with the last row)
    int32_t limit;
    bool startByD;  // elapsed = d - start (else f - start)
    int32_t start;
    float from[7], to[7];
    float duration;
};

// One row per shot, as wide as its two poses.
// clang-format off
const CameraRow cameraTable[] = {
    {true, 60, true, 0, {0, 820, -480, 0.1f, 3.04f, 3.14f, 1}, {0, 850, -480, 0.15f, 3.04f, 3.14f, 1}, 60},
    {true, 100, true, 60, {180, 822, -120, -0.3f, 2.34f, 1.94f, 1}, {170, 812, -100, -0.3f, 2.34f, 1.94f, 1}, 40},
    {true, 140, true, 100, {170, 812, -100, -0.3f, 2.34f, 1.94f, 1}, {37, 650, -105, -1.47f, 0.47f, 3.18f, 1}, 40},
    {true, 190, true, 140, {37, 650, -105, -1.47f, 0.47f, 3.18f, 1}, {-123, 683, -172, -2.15f, -1.25f, 2.68f, 1}, 50},
    {true, 240, true, 190, {-123, 683, -172, -2.15f, -1.25f, 2.68f, 1}, {-85, 710, -162, -2.05f, -1.25f, 2.68f, 1}, 50},
    {true, 260, true, 240, {-85, 710, -162, -2.05f, -1.25f, 2.68f, 1}, {-85, 710, -162, -2.05f, -1.25f, 2.68f, 1}, 20},
    {true, 300, true, 260, {-85, 710, -162, -2.05f, -1.25f, 2.68f, 1}, {-52, 797, -108, -1.32f, -2.95f, 3.28f, 1}, 40},
    {true, 310, true, 300, {-52, 797, -108, -1.32f, -2.95f, 3.28f, 1}, {-52, 787, -118, -1.32f, -2.9f, 3.2f, 1}, 10},
    {true, 325, true, 310, {-52, 787, -118, -1.32f, -2.9f, 3.2f, 1}, {-52, 597, -116, -1.32f, -2.71f, 3.22f, 1}, 15},
    {true, 345, true, 325, {-52, 597, -116, -1.32f, -2.71f, 3.22f, 1}, {-112, 382, -356, -0.52f, -2.74f, 4.02f, 1}, 20},
    {true, 370, true, 345, {-112, 382, -356, -0.52f, -2.74f, 4.02f, 1}, {161, 47, -344, 0.54f, -3.44f, 6.58f, 1}, 25},
    {true, 400, true, 370, {161, 47, -344, 0.54f, -3.44f, 6.58f, 1}, {218, 47, -360, 0.31f, -3.75f, 7.67f, 1}, 30},
    {true, 420, true, 400, {218, 47, -360, 0.31f, -3.75f, 7.67f, 1}, {216, 47, -299, -0.88f, -4.04f, 9.03f, 1}, 20},
    {true, 450, true, 420, {216, 47, -299, -0.88f, -4.04f, 9.03f, 1}, {0, -152, -196, -1.32f, -3.3f, 9.43f, 1}, 30},
    {true, 475, true, 450, {0, -152, -196, -1.32f, -3.3f, 9.43f, 1}, {2, -320, -218, -2.13f, -3.27f, 9.45f, 1}, 25},
    {true, 505, true, 475, {2, -320, -218, -2.13f, -3.27f, 9.45f, 1}, {-2, -324, -218, -2.23f, -3.27f, 9.45f, 1}, 30},
    {true, 520, true, 505, {-2, -324, -218, -2.23f, -3.27f, 9.45f, 1}, {0, -380, -248, -0.92f, -3.27f, 9.43f, 1}, 15},
    {true, 550, true, 520, {0, -380, -248, -0.92f, -3.27f, 9.43f, 1}, {0, -380, -252, -0.8f, -3.27f, 9.43f, 1}, 30},
    {true, 580, true, 550, {0, -380, -248, -0.8f, -3.27f, 9.43f, 1}, {0, -361, -558, -0.56f, -3.27f, 9.44f, 1}, 30},
    {true, 595, true, 580, {0, -361, -558, -0.56f, -3.27f, 9.44f, 1}, {-3, -363, -558, -0.46f, -3.27f, 9.44f, 1}, 15},
    {true, 635, true, 595, {-3, -363, -558, -0.46f, -3.27f, 9.44f, 1}, {-60, -522, -122, -1.78f, -2.57f, 9.44f, 1}, 40},
    {true, 690, true, 635, {-60, -522, -122, -1.78f, -2.57f, 9.44f, 1}, {-27, -544, -143, -1.92f, -2.61f, 9.38f, 1}, 55},
    {true, 699, true, 690, {121, -453, -142, -1.52f, -3.91f, 9.38f, 1}, {121, -453, -147, -1.52f, -3.91f, 9.38f, 1}, 9},
    {true, 708, true, 699, {-119, -363, -206, -1.32f, -2.71f, 9.38f, 1}, {-119, -363, -200, -1.32f, -2.71f, 9.38f, 1}, 9},
    {true, 717, true, 708, {351, -43, -242, -1.32f, -3.91f, 9.38f, 1}, {351, -43, -247, -1.32f, -3.91f, 9.38f, 1}, 9},
    {true, 760, true, 717, {-399, -13, -332, -1.12f, -2.61f, 9.58f, 1}, {-399, -13, -378, -1.02f, -2.61f, 9.58f, 1}, 43},
    {true, 780, true, 760, {-9, 47, -660, -0.72f, -3.21f, 9.38f, 1}, {-9, 47, -660, -1.3f, -3.21f, 9.38f, 1}, 20},
    {false, 1100, true, 780, {-9, 47, -660, -1.3f, -3.21f, 9.38f, 1}, {-9, -253, -660, -1.1f, -3.21f, 9.48f, 1}, 20},
    {false, 1140, false, 1100, {-9, -253, -660, -1.1f, -3.21f, 9.48f, 1}, {0, -483, -660, -0.13f, -3.21f, 9.48f, 1}, 40},
    {false, 1190, false, 1140, {0, -483, -660, -0.13f, -3.21f, 9.48f, 1}, {0, -483, -657, -0.13f, -3.21f, 9.48f, 1}, 50},
    {false, 1230, false, 1190, {0, -380, -248, -0.92f, -3.27f, 9.43f, 1}, {-8, -370, -252, -0.8f, -3.27f, 9.43f, 1}, 40},
    {false, 1290, false, 1230, {121, -334, -525, -1.52f, 2.39f, 9.38f, 1}, {121, -334, -490, -1.52f, 2.39f, 9.38f, 1}, 60},
    {false, 1330, false, 1290, {-97, -460, -251, -0.3f, -2.57f, 10.37f, 1}, {-92, -465, -251, -0.3f, -2.57f, 10.37f, 1}, 40},
    {false, 1380, false, 1330, {-149, -334, -331, -1.72f, 3.69f, 9.38f, 1}, {-130, -334, -325, -1.52f, 3.69f, 9.38f, 1}, 50},
    {false, 1420, false, 1380, {-27, -544, -143, -1.92f, -2.61f, 9.38f, 1}, {-29, -544, -147, -1.92f, -2.61f, 9.38f, 1}, 40},
    {false, 1440, false, 1420, {31, -544, -206, -2.62f, 0.39f, 9.38f, 1}, {33, -544, -216, -2.62f, 0.39f, 9.38f, 1}, 30},
    {false, 1470, false, 1440, {0, 866, -240, -1.52f, 3.19f, 3.14f, 1}, {0, -400, -240, -1.67f, 3.14f, 3.14f, 1}, 30},
    {false, 1570, false, 1470, {0, -400, -240, -1.67f, 3.14f, 3.14f, 1}, {0, -400, -220, -1.53f, 3.14f, 3.14f, 1}, 100},
    {false, 0, false, 1570, {0, -400, -210, -1.53f, 3.14f, 3.14f, 1}, {0, -400, -230, -3.14f, 3.14f, 3.14f, 1}, 54},
};
// clang-format on
constexpr int cameraRows = sizeof cameraTable / sizeof cameraTable[0];

}  // namespace

static void MainCamera(float f) {
    const int32_t d = static_cast<int32_t>(f - heroStart);
    int i = 0;
    while (i < cameraRows - 1) {
        const CameraRow& r = cameraTable[i];
        if (r.limitByD ? d < r.limit : f < static_cast<float>(r.limit)) break;
        ++i;
    }
    const CameraRow& r = cameraTable[i];
    const float elapsed =
        r.startByD ? static_cast<float>(d - r.start) : f - static_cast<float>(r.start);
    CameraMove(r.from[0], r.from[1], r.from[2], r.from[3], r.from[4], r.from[5], r.from[6], r.to[0],
               r.to[1], r.to[2], r.to[3], r.to[4], r.to[5], r.to[6], r.duration, elapsed);
}

// ---- main part: the hero ----

static void DrawHero(byte skipRender) {
    if (!skipRender) RenderObject(&hero, &heroMatrix, 0);
}

static void HeroWalks(void) {
    Matrix next;
    MatMul(&heroMatrix, &heroStep, &next);
    heroMatrix = next;
}

// Selects animation id and the playback speed the phase runs at.
static void HeroPhase(int32_t id, float ticksPerFrame, int32_t length, bool fromStart) {
    SelectAnim(&hero, id, 1);
    if (fromStart) SetFrame(&hero, 0);
    hero.flags |= OBJ_TICK_SCALE;
    hero.ticks_per_frame = ticksPerFrame;
    SetAnimLength(&hero, length);
}

static void Hero(float f, byte skipRender) {
    const int32_t poseStart = heroStart + walkInLength;
    const int32_t blendStart = heroActStart + act1Length;
    const int32_t act2Start = blendStart + blendLength;
    const int32_t walkOutStart = act2Start + act2Length;
    if (In(f, heroStart, poseStart - 1)) {
        if (f == heroStart) {
            SetAmbient(0.15f);
            Matrix t, s, z, sz;
            MatTranslate(&t, 0, 470, 0);
            MatScale(&s, 3, 3, 3);
            MatRotateZ(&z, 3.14f);
            MatMul(&s, &z, &sz);
            MatMul(&t, &sz, &heroMatrix);
            // The stride is the float just above 6.6.
            MatTranslate(&heroStep, 0, std::bit_cast<float>(0x40D33334u), 0);
            HeroPhase(1, 1.5f, 20, true);
        }
        DrawHero(skipRender);
        HeroWalks();
        NextFrame(&hero);
    } else if (In(f, poseStart, heroActStart - 1)) {
        if (skipRender) return;
        SelectAnim(&hero, 2, 1);
        AppendKey(&hero, &heroMatrix);
    } else if (In(f, heroActStart, blendStart - 1)) {
        if (f == heroActStart) HeroPhase(2, 0.2f, 60, true);
        DrawHero(skipRender);
        NextFrame(&hero);
    } else if (In(f, blendStart, act2Start - 1)) {
        StartTransition(&hero, 3, 20);
        DrawHero(skipRender);
        NextFrame(&hero);
    } else if (In(f, act2Start, walkOutStart - 1)) {
        if (f == act2Start) {
            HeroPhase(3, 0.2f, 50, true);
            heroHold = 0;
        }
        DrawHero(skipRender);
        // The keyframe at 3000 is held for 11 frames.
        if (hero.key && hero.key->frame == 3000) {
            if (heroHold++ > 10) NextFrame(&hero);
        } else {
            NextFrame(&hero);
        }
    } else if (In(f, walkOutStart, heroExitStart - 1)) {
        if (f == walkOutStart) HeroPhase(1, 0.2f, 20, false);
        DrawHero(skipRender);
        HeroWalks();
        NextFrame(&hero);
    } else if (In(f, heroExitStart, finalStart - 1)) {
        if (f == heroExitStart) {
            HeroPhase(0, 0.2f, 60, false);
            Matrix t, s;
            MatTranslate(&t, 0, 200, 16);
            MatScale(&s, 3, 3, 3);
            MatMul(&t, &s, &heroMatrix);
        }
        DrawHero(skipRender);
        NextFrame(&hero);
    }
}

// ---- main part: objekt ----

static void Objekt(float f, byte skipRender) {
    if (!In(f, objectStart, objektEnd)) return;
    if (f == objektOpens) {
        angle1 = 3.14f;
        angle2 = 0;
        angle3 = 0;
    }
    if (f <= objektStops) {
        angle1 -= 0.07388f;
        angle2 -= 0.07388f;
        angle3 -= 0.07388f;
    }
    const int32_t e = static_cast<int32_t>(f - objectStart);
    if (!skipRender) {
        const float rest = static_cast<float>(objectStart - 835);
        float z;
        if (f < objektStops)
            z = static_cast<float>(720 - e);
        else if (f < objektSinks)
            z = rest;
        else
            z = rest - (f - objektSinks) * 8;
        Matrix y, x, zr, xz, yxz, t, o;
        MatRotateY(&y, angle2);
        MatRotateX(&x, angle1);
        MatRotateZ(&zr, angle3);
        MatMul(&x, &zr, &xz);
        MatMul(&y, &xz, &yxz);
        MatTranslate(&t, 0, 480, z);
        MatMul(&yxz, &t, &o);
        RenderObject(&objekt, &o, 0);
        // The light goes on down after the object has stopped.
        SetPointLight(3, 0, 480, static_cast<float>(720 - e), 1, 1, 1, 500);
    }
    if (f > objektOpens) NextFrame(&objekt);
}

// ---- main part: spot lights ----

static void SpotLights(void) {
    SetInputTransform(nullptr);
    if (flashCount == 0) {
        DrawRedSpot(0, -500, 0, 0, 1, 0, 7200);
        DrawRedSpot(0, -500, 0, 0, -1, 0, 7200);
        return;
    }
    --flashCount;
    // Flash on odd counts, and on about one in three of the even ones.
    if (flashCount % 2 == 1 || Random15() / 10922 == 0) {
        DrawWhiteSpot(0, -500, 0, 0, 1, 0, 7200);
        DrawWhiteSpot(0, -500, 0, 0, -1, 0, 7200);
    }
}

// ---- final part ----

static void FinalPart(float f, byte skipRender) {
    if (f == finalStart) {
        SetAmbient(0.5f);
        SelectAnim(&cpu, 2, 1);
    }
    if (skipRender) return;
    AppendKey(&cpu, nullptr);
    if (f < finalCameraStop)
        CameraMove(0, 10, -37, -1.4f, 3.14f, 3.14f, 1, -1, 10, 23.5f, -1.7f, 3.24f, 3.04f, 1,
                   finalCameraLength, f - finalStart);
}

void DemoTimeline(float frame, byte skipRender) {
    if (!seeded) {
        std::srand(lightningSeed);
        seeded = true;
    }
    const float f = frame;
    Events(f);
    AnimClockTick(0);
    TexAnimTick(0);

    if (In(f, titleStart, heroStart - 1)) {
        TitlePart(f, skipRender);
        TitleSprite(f, skipRender);
        return;
    }
    if (f >= finalStart) {
        FinalPart(f, skipRender);
        return;
    }
    if (f < heroStart) return;

    if (!skipRender) MainCamera(f);
    Hero(f, skipRender);
    Objekt(f, skipRender);
    DrawTemple(f, skipRender);
    if (!skipRender) SpotLights();
}
