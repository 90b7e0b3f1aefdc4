// audio_mixer_test.cpp: the mixer through the BASS_* calls in offline mode (playback limits,
// volumes, musics written as tiny IT modules, determinism, stale handles, shutdown order) and one
// pass through the real SDL output with the dummy driver.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bass_standin.h"
#include "it_module_writer.h"

using namespace testaudio;

namespace {

using Frames = std::vector<int16_t>;

class Mixer : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = MakeTempDir(::testing::TempDir());
        ASSERT_FALSE(dir_.empty());
        Restart();
    }
    void TearDown() override {
        BASS_Free();
        std::filesystem::remove_all(dir_);
    }
    void Restart() {
        BASS_Free();
        ASSERT_TRUE(BassStandIn_InitOffline(44100));
        ASSERT_TRUE(BASS_Start());
    }
    std::string Write(const char* name, const Bytes& bytes) {
        const std::string path = dir_ + "/" + name;
        EXPECT_TRUE(WriteFile(path, bytes));
        return path;
    }
    HSAMPLE LoadSample(const std::vector<int16_t>& mono, DWORD max, DWORD flags) {
        return BASS_SampleLoad(FALSE, Write("s.wav", Wav16(1, 44100, mono)).c_str(), 0, 0, max, flags);
    }
    HMUSIC LoadTone(int period) {
        const std::string name = "tone" + std::to_string(period) + ".it";
        return BASS_MusicLoad(FALSE, Write(name.c_str(), SquareToneModule(period)).c_str(), 0, 0,
                              BASS_MUSIC_RAMP);
    }
    static Frames Render(int frames) {
        Frames out(static_cast<size_t>(frames) * 2);
        EXPECT_EQ(BassStandIn_Render(out.data(), frames), frames);
        return out;
    }
    static double Energy(const Frames& f) {
        double e = 0;
        for (int16_t s : f) e += static_cast<double>(s) * s;
        return e;
    }

    std::string dir_;
};

std::vector<int16_t> Ramp(int n) {
    std::vector<int16_t> v;
    for (int i = 0; i < n; ++i) v.push_back(static_cast<int16_t>(i));
    return v;
}

TEST_F(Mixer, OverPosRestartsTheLongestPlayingWhenAllAreBusy) {
    const HSAMPLE h = LoadSample(Ramp(1000), 3, BASS_SAMPLE_OVER_POS);
    ASSERT_NE(h, 0u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(BASS_SamplePlay(h), 0u);
        Render(100);
    }
    EXPECT_EQ(BassStandIn_SamplePlaybacks(h), 3);  // at frames 300, 200, 100
    EXPECT_NE(BASS_SamplePlay(h), 0u);
    EXPECT_EQ(BassStandIn_SamplePlaybacks(h), 3);
    // The ramp's value is its position: the one at 300 went back to 0.
    EXPECT_EQ(Render(1)[0], 0 + 200 + 100);
    Render(1000);
    EXPECT_EQ(BassStandIn_SamplePlaybacks(h), 0);
}

TEST_F(Mixer, WithoutOverrideAPlayBeyondMaxFails) {
    const HSAMPLE h = LoadSample(Ramp(1000), 2, 0);
    EXPECT_NE(BASS_SamplePlay(h), 0u);
    EXPECT_NE(BASS_SamplePlay(h), 0u);
    EXPECT_EQ(BASS_SamplePlay(h), 0u);
    EXPECT_EQ(BassStandIn_SamplePlaybacks(h), 2);
    EXPECT_EQ(Render(1)[0], 0);
    EXPECT_EQ(Render(1)[0], 2);  // two playbacks at frame 1
}

TEST_F(Mixer, SampleVolumeScalesOutput) {
    std::vector<int16_t> sine;
    for (int i = 0; i < 4410; ++i) sine.push_back(static_cast<int16_t>(20000 * std::sin(i * 0.05)));
    const HSAMPLE h = LoadSample(sine, 1, 0);
    BASS_SamplePlay(h);
    const Frames full = Render(4410);
    ASSERT_TRUE(BASS_SetGlobalVolumes(-1, 60, -1));
    BASS_SamplePlay(h);
    const Frames part = Render(4410);
    for (size_t i = 0; i < full.size(); ++i) ASSERT_NEAR(part[i], 0.6 * full[i], 1.0) << i;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(BASS_SetGlobalVolumes(101, -1, -1));
    EXPECT_FALSE(BASS_SetGlobalVolumes(-1, -2, -1));
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("outside 0-100"), std::string::npos);
}

TEST_F(Mixer, MusicVolumeZeroSilencesOnlyTheMusic) {
    const HMUSIC m = LoadTone(100);
    ASSERT_NE(m, 0u);
    ASSERT_TRUE(BASS_MusicPlay(m));
    EXPECT_GT(Energy(Render(4410)), 0.0);
    ASSERT_TRUE(BASS_SetGlobalVolumes(0, -1, -1));
    EXPECT_EQ(Energy(Render(4410)), 0.0);
    const HSAMPLE s = LoadSample({1234, 1234}, 1, 0);
    BASS_SamplePlay(s);
    EXPECT_EQ(Render(1)[0], 1234);
}

TEST_F(Mixer, TwoMusicsPlayTogether) {
    auto renderMusics = [&](bool a, bool b) {
        Restart();
        const HMUSIC ma = LoadTone(100), mb = LoadTone(37);
        EXPECT_EQ(!a || BASS_MusicPlay(ma), true);
        EXPECT_EQ(!b || BASS_MusicPlay(mb), true);
        return Render(8820);
    };
    const Frames a = renderMusics(true, false);
    const Frames b = renderMusics(false, true);
    const Frames both = renderMusics(true, true);
    EXPECT_GT(Energy(a), 0.0);
    EXPECT_GT(Energy(b), 0.0);
    EXPECT_NE(a, b);
    for (size_t i = 0; i < both.size(); ++i) ASSERT_NEAR(both[i], a[i] + b[i], 1.0) << i;
}

TEST_F(Mixer, MusicPlaysOnceThenCanStartOver) {
    const HMUSIC m = LoadTone(100);  // 32 rows of 441 frames
    ASSERT_TRUE(BASS_MusicPlay(m));
    int played = 0;
    for (; played < 44100 && BassStandIn_MusicPlaying(m); played += 441) Render(441);
    EXPECT_GE(played, 32 * 441);  // the song's length; libopenmpt may add a short tail
    EXPECT_LT(played, 44100);
    EXPECT_EQ(Energy(Render(1000)), 0.0);
    ASSERT_TRUE(BASS_MusicPlay(m));
    EXPECT_GT(Energy(Render(1000)), 0.0);
}

TEST_F(Mixer, SameCallsRenderTheSameOutput) {
    auto session = [&] {
        Restart();
        const HMUSIC m = LoadTone(100);
        const HSAMPLE s = LoadSample(Ramp(3000), 2, BASS_SAMPLE_OVER_POS);
        BASS_SetGlobalVolumes(80, 60, -1);
        BASS_MusicPlay(m);
        Frames out = Render(1500);
        BASS_SamplePlay(s);
        const Frames more = Render(2500);
        BASS_SamplePlay(s);
        out.insert(out.end(), more.begin(), more.end());
        return out;
    };
    const Frames first = session();
    EXPECT_GT(Energy(first), 0.0);
    EXPECT_EQ(first, session());
}

TEST_F(Mixer, StoppedOutputIsSilentAndHoldsPosition) {
    const HSAMPLE h = LoadSample(Ramp(100), 1, 0);
    BASS_SamplePlay(h);
    Render(10);
    ASSERT_TRUE(BASS_Stop());
    EXPECT_EQ(Energy(Render(50)), 0.0);
    ASSERT_TRUE(BASS_Start());
    EXPECT_EQ(Render(1)[0], 10);
}

TEST_F(Mixer, HandleZeroStaleAndWrongKindDoNothing) {
    const HSAMPLE s = LoadSample(Ramp(10), 1, 0);
    const HMUSIC m = LoadTone(100);
    EXPECT_EQ(BASS_SamplePlay(0), 0u);
    EXPECT_FALSE(BASS_MusicPlay(0));
    BASS_SampleFree(0);
    BASS_MusicFree(0);
    EXPECT_FALSE(BASS_MusicPlay(s));
    EXPECT_EQ(BASS_SamplePlay(m), 0u);
    BASS_SampleFree(m);  // not a sample: the music survives
    EXPECT_TRUE(BASS_MusicPlay(m));
    BASS_SampleFree(s);
    BASS_SampleFree(s);
    EXPECT_EQ(BASS_SamplePlay(s), 0u);
    EXPECT_EQ(BASS_SamplePlay(s + 1000), 0u);
    BASS_MusicFree(m);
    EXPECT_FALSE(BASS_MusicPlay(m));
    EXPECT_EQ(Energy(Render(1000)), 0.0);
}

TEST_F(Mixer, FreesAfterBassFreeAreSafe) {
    const HMUSIC a = LoadTone(100), b = LoadTone(37);
    const HSAMPLE s = LoadSample(Ramp(500), 3, BASS_SAMPLE_OVER_POS);
    BASS_MusicPlay(a);
    BASS_MusicPlay(b);
    BASS_SamplePlay(s);
    Render(100);
    BASS_Stop();
    BASS_Free();
    BASS_MusicFree(a);
    BASS_MusicFree(b);
    BASS_SampleFree(s);
    EXPECT_EQ(BASS_SamplePlay(s), 0u);
    EXPECT_FALSE(BASS_MusicPlay(a));
    ::testing::internal::CaptureStderr();
    int16_t frame[2];
    EXPECT_EQ(BassStandIn_Render(frame, 1), 0);
    ::testing::internal::GetCapturedStderr();
    // A new session does not revive the old handles.
    Restart();
    EXPECT_FALSE(BASS_MusicPlay(a));
}

TEST_F(Mixer, BadModulesAndInitArgumentsAreRefused) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(BASS_MusicLoad(FALSE, Write("junk.it", Bytes(300, 0x55)).c_str(), 0, 0, 1), 0u);
    EXPECT_EQ(BASS_MusicLoad(FALSE, (dir_ + "/none.it").c_str(), 0, 0, 1), 0u);
    EXPECT_EQ(BASS_MusicLoad(FALSE, Write("t.it", SquareToneModule(50)).c_str(), 0, 0, 4), 0u);
    EXPECT_FALSE(BassStandIn_InitOffline(44100));  // already initialised
    EXPECT_FALSE(BASS_Init(-1, 44100, 0, nullptr));
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("junk.it"), std::string::npos) << err;
    EXPECT_NE(err.find("cannot open"), std::string::npos) << err;
    EXPECT_NE(err.find("already initialised"), std::string::npos) << err;
    BASS_Free();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(BASS_Init(5, 44100, 0, nullptr));
    EXPECT_FALSE(BassStandIn_InitOffline(0));
    EXPECT_FALSE(BASS_Start());
    EXPECT_EQ(BASS_SampleLoad(FALSE, "sound\\dvere.wav", 0, 0, 3, BASS_SAMPLE_OVER_POS), 0u);
    const std::string err2 = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err2.find("device 5"), std::string::npos) << err2;
    EXPECT_NE(err2.find("BASS_SampleLoad(\"sound/dvere.wav\"): the audio output is not initialised"),
              std::string::npos) << err2;
}

// The real output path, with SDL's dummy driver: the device callback mixes a playback to its end.
TEST(AudioDevice, InitStartStopFreeWithDummyDriver) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const std::string dir = MakeTempDir(::testing::TempDir());
    ASSERT_TRUE(WriteFile(dir + "/click.wav", Wav16(1, 44100, Ramp(441))));
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
    ASSERT_TRUE(BASS_Start());
    const HSAMPLE h = BASS_SampleLoad(FALSE, (dir + "/click.wav").c_str(), 0, 0, 3, BASS_SAMPLE_OVER_POS);
    ASSERT_NE(h, 0u);
    ASSERT_NE(BASS_SamplePlay(h), 0u);
    for (int i = 0; i < 200 && BassStandIn_SamplePlaybacks(h) > 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(BassStandIn_SamplePlaybacks(h), 0);
    EXPECT_TRUE(BASS_Stop());
    EXPECT_TRUE(BASS_Start());
    BASS_Stop();
    BASS_Free();
    BASS_SampleFree(h);
    std::filesystem::remove_all(dir);
}

}  // namespace
