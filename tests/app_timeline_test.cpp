// The timeline from frame 1 to 2873 on models built in memory, all frames rendered and with two in
// three as catch-up steps: after every call the sounds, the camera, the lights and the state.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "Navek.h"
#include "assets.h"
#include "bass_standin.h"
#include "files.h"
#include "scene.h"
#include "timeline.h"
#include "tone_module.h"
#include "trx_state.h"

namespace {

void Model(Object* o, std::initializer_list<int> anims, std::initializer_list<int> keys, int span) {
    for (int id : anims) {
        AddAnim(o, id);
        SelectAnim(o, id, 1);
        for (int k : keys) {
            Mesh empty{};
            AddKeyframe(o, &empty, k, nullptr);
        }
        SetAnimSpan(o, span);
        SelectAnim(o, id, 1);
    }
}

HSAMPLE* const samples[] = {&sounds.sampleDoor, &sounds.sampleMagic, &sounds.sampleThunder,
                            &sounds.sampleEnd,  &sounds.sampleBoot,  &sounds.sampleStorm};
HMUSIC* const musics[] = {&sounds.musicTeufel, &sounds.musicTitles};

// Sounds so short that one render ends them, in the handles the timeline plays.
void StartAudio() {
    static bool started;
    if (started) return;
    started = BassStandIn_InitOffline(8000) && BASS_Start();
    const std::string dir =
        testing::TempDir() + "/timeline_audio_" + std::to_string(getpid()) + "/";
    MakeDir(dir);
    WriteBytes(dir + "s.wav", EncodeWav16(1, 8000, {1000, 1000}));
    WriteBytes(dir + "m.it", SquareToneModule(8, 1));
    for (HSAMPLE* s : samples) *s = BASS_SampleLoad(FALSE, (dir + "s.wav").c_str(), 0, 0, 3, 0);
    for (HMUSIC* m : musics) *m = BASS_MusicLoad(FALSE, (dir + "m.it").c_str(), 0, 0, 0);
}

struct Step {
    bool rendered;
    int sounds[8];  // playbacks started: the six samples, then the two musics
    float cam[7];
    int emitters;
    bool white;
    int flash;
    float angles[3];
    Matrix hero;
};

// The whole show; frame f is rendered when render(f).
template <class Pred>
std::vector<Step> Play(Pred render) {
    StartAudio();
    ResetTimeline();
    SetLightCount(10);
    for (Object* o : {&temple, &hero, &door, &ruvo, &objekt, &cpu}) ObjectInit(o);
    Model(&temple, {1}, {0, 1, 2, 3, 4}, 5);
    Model(&temple, {0}, {0}, 5);
    Model(&hero, {0, 1, 2}, {0, 10}, 20);
    Model(&hero, {3}, {0, 3000}, 3200);
    Model(&door, {0}, {0, 2000}, 2010);
    Model(&ruvo, {0}, {0}, 5);
    Model(&objekt, {0}, {0}, 5);
    Model(&cpu, {2, 0}, {0}, 5);
    std::vector<Step> steps(2874);
    for (int f = 1; f <= 2873; ++f) {
        Step& s = steps[static_cast<size_t>(f)];
        s.rendered = render(f);
        ClearScene();
        DemoTimeline(static_cast<float>(f), s.rendered ? 0 : 1);
        for (int i = 0; i < 6; ++i) s.sounds[i] = BassStandIn_SamplePlaybacks(*samples[i]);
        for (int i = 0; i < 2; ++i) s.sounds[6 + i] = BassStandIn_MusicPlaying(*musics[i]);
        int16_t out[2 * 4096];
        if (std::accumulate(s.sounds, s.sounds + 8, 0)) BassStandIn_Render(out, 4096);  // ends all
        const float cam[7] = {camTx, camTy, camTz, camRx, camRy, camRz, camZoom};
        std::memcpy(s.cam, cam, sizeof cam);
        s.emitters = trx.ecount;  // the spot lights are the show's only emitters
        s.white = s.emitters && trx.wmtable[trx.wmcount - 1].emissive[1] == 1;
        s.flash = flashCount;
        s.angles[0] = angle1, s.angles[1] = angle2, s.angles[2] = angle3;
        s.hero = heroMatrix;
    }
    for (Object* o : {&temple, &hero, &door, &ruvo, &objekt, &cpu}) FreeObject(o);
    return steps;
}

// Frame f of run k: run 0 renders every frame, run k = 1..3 only the frames with f % 3 == k - 1.
const Step& At(int k, int f) {
    static std::vector<Step> runs[4];
    if (runs[k].empty()) runs[k] = Play([k](int g) { return k == 0 || g % 3 == k - 1; });
    return runs[k][static_cast<size_t>(f)];
}

TEST(Timeline, EveryEventFiresOnceOnItsFrameAlsoInCatchUpSteps) {
    const std::vector<int> expect[8] = {
        {310}, {805}, {1230}, {1565}, {331, 370, 600, 635, 672, 705, 742}, {482, 730, 950, 1123},
        {12},  {1624}};
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < 8; ++i) {
            std::vector<int> got;
            for (int f = 1; f <= 2873; ++f)
                got.insert(got.end(), static_cast<size_t>(At(k, f).sounds[i]), f);
            EXPECT_EQ(got, expect[i]) << "sound " << i << ", run " << k;
        }
}

TEST(Timeline, LightningCountsRenderedFramesOnly) {
    const int sets[][2] = {{462, 8},  {528, 6},   {710, 6},  {903, 4},
                           {940, 10}, {1103, 10}, {1230, 20}};  // frame, flashCount
    int lit = 0, dark = 0;
    for (int k = 0; k < 4; ++k)
        for (int f = heroStart; f < finalStart; ++f) {
            const Step& s = At(k, f);
            int before = At(k, f - 1).flash;
            for (const auto& e : sets) before = e[0] == f ? e[1] : before;
            const int expect = s.rendered && before > 0 ? before - 1 : before;
            ASSERT_EQ(s.flash, expect) << "frame " << f << ", run " << k;
            if (!s.rendered) {
                ASSERT_EQ(s.emitters, 0) << "frame " << f;
            } else if (before == 0) {
                ASSERT_EQ(s.emitters, 2) << "red at " << f;
                ASSERT_FALSE(s.white) << "red at " << f;
            } else if (s.flash % 2) {
                ASSERT_EQ(s.emitters, 2) << "white at " << f;
                ASSERT_TRUE(s.white) << "white at " << f;
            } else {
                (s.white ? lit : dark) += 1;
            }
        }
    // Even counts flash about one time in three, from rand scaled to 0..32767.
    EXPECT_GT(lit, 10);
    EXPECT_GT(dark, 2 * lit - 20);
    const std::vector<Step> again = Play([](int) { return true; });  // rand seeded alike
    for (int f = 1; f <= 2873; ++f) ASSERT_EQ(again[static_cast<size_t>(f)].white, At(0, f).white);
}

// The title's move ends at 99 and holds, the cut lands on 1440, the last move stops at 2799;
// catch-up steps leave the camera where the last rendered frame put it.
TEST(Timeline, CameraHoldsCutsOnItsFrameAndIgnoresCatchUpSteps) {
    auto same = [](int f, int g) {
        return std::memcmp(At(0, f).cam, At(0, g).cam, sizeof(float[7])) == 0;
    };
    auto jump = [](int f) {
        float d = 0;
        for (int i = 0; i < 4; ++i) d += std::fabs(At(0, f).cam[i] - At(0, f - 1).cam[i]);
        return d;
    };
    EXPECT_TRUE(same(99, 299)) << "held from 99 to 299";
    EXPECT_FALSE(same(98, 99)) << "still moving at 99";
    EXPECT_GT(jump(1440), 10 * std::max(jump(1439), jump(1441)))
        << "cut at 1440: " << jump(1439) << ", " << jump(1440) << ", " << jump(1441);
    EXPECT_TRUE(same(2799, 2873)) << "still from 2799";
    EXPECT_FALSE(same(2798, 2799)) << "moving until 2799";
    for (int f = 2; f <= 2873; ++f) {
        const float* expect = (At(1, f).rendered ? At(0, f) : At(1, f - 1)).cam;
        ASSERT_EQ(0, std::memcmp(At(1, f).cam, expect, sizeof(float[7]))) << "frame " << f;
    }
}

TEST(Timeline, AnglesAndTheHerosWalkAlsoInCatchUpSteps) {
    const float step = 0.07388f;
    EXPECT_FLOAT_EQ(At(0, 1470).angles[0], 3.14f - step);  // reset and reduced in one call
    EXPECT_FLOAT_EQ(At(0, 1470).angles[2], -step);
    EXPECT_LT(At(0, 1469).angles[2], -400 * step);
    const float y0 = 1410 * std::cos(3.14f), stride = std::bit_cast<float>(0x40D33334u);
    EXPECT_NEAR(At(0, 300).hero.m[13], y0 + stride, 1e-3);
    EXPECT_NEAR(At(0, 809).hero.m[13], y0 + 322 * stride, 0.1);  // walk-in and walk-out
    EXPECT_FLOAT_EQ(At(0, 810).hero.m[13], 600);
    for (int k = 1; k < 4; ++k)
        for (int f = 1; f <= 2873; ++f) {
            const Step &s = At(k, f), &full = At(0, f);
            ASSERT_EQ(0, std::memcmp(&s.hero, &full.hero, sizeof(Matrix))) << "frame " << f;
            ASSERT_EQ(0, std::memcmp(s.angles, full.angles, sizeof s.angles)) << "frame " << f;
        }
}

}  // namespace
