// The capture, read back through FFmpeg's libraries: a small paced program (a periodic timer, the
// software card, the audio stand-in) on virtual time, a flash and a click on one frame.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "bass.h"
#include "bass_standin.h"
#include "cap_encoder.h"
#include "capture.h"
#include "files.h"
#include "media_probe.h"
#include "softcard.h"
#include "win32_standin.h"

namespace {

std::string TestDir() {
    std::string dir = testing::TempDir() + "/capture_" +
                      testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

uint16_t Grey565(int v) { return uint16_t(((v >> 3) << 11) | ((v >> 2) << 5) | (v >> 3)); }

// Bad names, paths, rates and WAV paths: refused before anything starts, nothing left behind.
TEST(CaptureSession, BadSettingsAreRefusedBeforeAnythingStarts) {
    const std::string dir = TestDir();
    const struct {
        std::string video, fps, wav;
        const char* says;
    } cases[] = {
        {dir + "/show.notacontainer", "", "", "cannot tell a container"},
        {dir + "/no/such/dir/show.mp4", "", "", "cannot write"},
        {dir + "/sound.wav", "", "", "takes no video"},
        {dir + "/a.mp4", "0", "", "frame rate"},
        {dir + "/a.mp4", "fast", "", "frame rate"},
        {dir + "/a.mp4", "", dir + "/missing/a.wav", "cannot write"},
    };
    for (const auto& c : cases) {
        CapSettings s;
        s.videoPath = c.video;
        s.fps = c.fps;
        s.wavPath = c.wav;
        std::string error;
        EXPECT_FALSE(CapBegin(s, &error)) << c.video << c.fps << c.wav;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_FALSE(CapActive());
        EXPECT_FALSE(Win32_VirtualTime());
        EXPECT_FALSE(std::filesystem::exists(s.videoPath)) << c.video;
    }
    // An output with nothing presented: finishing fails, and closing removes the empty file.
    CapOutput out;
    std::string error;
    ASSERT_TRUE(CapOutputOpen(&out, dir + "/empty.mp4", CAP_VIDEO, -1, &error)) << error;
    EXPECT_FALSE(CapOutputFinish(&out, &error));
    CapOutputClose(&out, true);
    EXPECT_FALSE(std::filesystem::exists(dir + "/empty.mp4"));
}

std::atomic<int> gTicks;
void CALLBACK Tick(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) { ++gTicks; }

// `frames` frames paced by the timer as the show's loop does: wait for a tick, draw, present.
// Frame `flash` is white with a click on it, the rest black (grey 20 * f with `ramp`) and silent.
// "" or what went wrong.
std::string RunPacedProgram(const CapSettings& settings, int frames, int flash, bool ramp,
                            UINT periodMs = 80, int w = 160, int h = 120) {
    std::string error;
    if (!CapBegin(settings, &error)) return error;
    if (!BASS_Init(-1, 44100, 0, nullptr) || !BASS_Start()) return "BASS_Init";
    const std::string click = testing::TempDir() + "/capture_click.wav";
    std::vector<int16_t> burst(441);
    for (size_t i = 0; i < burst.size(); ++i) burst[i] = (i / 20) % 2 ? 20000 : -20000;
    if (!WriteBytes(click, EncodeWav16(1, 44100, burst))) return "click.wav";
    HSAMPLE sample = BASS_SampleLoad(FALSE, click.c_str(), 0, 0, 3, BASS_SAMPLE_OVER_POS);
    gTicks = 0;
    MMRESULT timer = timeSetEvent(periodMs, 0, Tick, 0, TIME_PERIODIC);
    ScCard* card = ScCreate(w, h);
    if (!sample || !timer || !card) return "set-up";
    MSG msg;
    for (int f = 1; f <= frames && error.empty(); ++f) {
        for (int spins = 0; gTicks < f && spins < 3; ++spins)
            PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
        if (gTicks != f)
            error = "frame " + std::to_string(f) + " saw " + std::to_string(gTicks) + " ticks";
        ScClearColor(card, SC_BACK, f == flash ? 0xFFFF : ramp ? Grey565(20 * f) : 0);
        if (f == flash) BASS_SamplePlay(sample);
        ScSwap(card);
        ScPresent(card, nullptr);
    }
    timeKillEvent(timer);
    ScDestroy(card);
    BASS_Free();
    if (CapEnd() != 0 && error.empty()) error = "CapEnd failed";
    return error;
}

// Each container from the name, its codecs, size (odd ones padded), rate and sound, and the
// flash and the click in both files.
TEST(CaptureSession, AFlashAndAClickOnOneFrameLandTogether) {
    const std::string dir = TestDir();
    const int kFrames = 20, kFlash = 9;
    const struct {
        const char* name;
        int w, h;
        const char *video, *audio;
        int encodedW, encodedH, audioRate;
    } cases[] = {
        {"av.mp4", 160, 120, "h264", "aac", 160, 120, 44100},
        {"av.mkv", 160, 120, "h264", "aac", 160, 120, 44100},
        {"av.webm", 160, 120, "vp9", "opus", 160, 120, 48000},  // Opus has no 44100
        {"odd.mp4", 161, 121, "h264", "aac", 162, 122, 44100},
    };
    for (const auto& c : cases) {
        const char* name = c.name;
        CapSettings s;
        s.videoPath = dir + "/" + name;
        s.wavPath = dir + "/av.wav";
        ASSERT_EQ(RunPacedProgram(s, kFrames, kFlash, false, 80, c.w, c.h), "") << name;
        EXPECT_FALSE(CapActive());

        // The WAV is the mixer's own output: the click begins on the flash frame's first sample.
        probe::Media wav = probe::Read(s.wavPath);
        ASSERT_EQ(wav.error, "");
        EXPECT_EQ(wav.audioRate, 44100);
        EXPECT_EQ(wav.pcm.size(), size_t(kFrames) * 3528 * 2);
        size_t first = 0;
        while (first < wav.pcm.size() && wav.pcm[first] == 0) ++first;
        EXPECT_EQ(first / 2, size_t(kFlash - 1) * 3528);

        // The video: every frame once, the flash at its time, the click heard with it.
        probe::Media m = probe::Read(s.videoPath);
        ASSERT_EQ(m.error, "") << name;
        EXPECT_EQ(m.videoCodec + " " + m.audioCodec, std::string(c.video) + " " + c.audio);
        EXPECT_EQ(m.width, c.encodedW) << name;
        EXPECT_EQ(m.height, c.encodedH) << name;
        EXPECT_EQ(av_cmp_q(m.fps, AVRational{25, 2}), 0)
            << name << ": " << m.fps.num << "/" << m.fps.den;
        EXPECT_EQ(m.audioRate, c.audioRate) << name;
        EXPECT_EQ(m.audioChannels, 2) << name;
        ASSERT_EQ(m.frameLuma.size(), size_t(kFrames)) << name;
        int flashAt = -1;
        for (int i = 0; i < kFrames; ++i)
            if (m.frameLuma[i] > 128 && flashAt < 0) flashAt = i;
        ASSERT_EQ(flashAt, kFlash - 1) << name;
        const double flashTime = m.frameSeconds[flashAt];
        size_t loud = 0;
        while (loud < m.pcm.size() && std::fabs(m.pcm[loud]) < 0.1f) ++loud;
        ASSERT_LT(loud, m.pcm.size()) << name << ": no click";
        const double clickTime = m.audioStart + double(loud / 2) / m.audioRate;
        // MP4 trims the priming exactly, Matroska in whole ms; WebM's Opus comes a few ms early.
        EXPECT_NEAR(clickTime, flashTime, 0.010) << name;
        EXPECT_NEAR(m.videoSeconds, kFrames * 0.08, 0.08) << name;
        EXPECT_NEAR(m.AudioSeconds(), kFrames * 0.08, 0.08) << name;
    }
}

TEST(CaptureSession, ALongTimerPeriodIsSoundedInChunksWithTheClickInPlace) {
    // 10 s a frame: 441,000 samples each, rendered and written a chunk at a time.
    CapSettings s;
    s.wavPath = TestDir() + "/long.wav";
    ASSERT_EQ(RunPacedProgram(s, 3, 2, false, 10000), "");
    probe::Media wav = probe::Read(s.wavPath);
    ASSERT_EQ(wav.error, "");
    EXPECT_EQ(wav.pcm.size(), size_t(3) * 441000 * 2);
    size_t first = 0;
    while (first < wav.pcm.size() && wav.pcm[first] == 0) ++first;
    EXPECT_EQ(first / 2, size_t(441000));
    size_t last = wav.pcm.size();
    while (last > 0 && wav.pcm[last - 1] == 0) --last;
    EXPECT_EQ((last - 1) / 2 - first / 2 + 1, size_t(441)) << "the click once, whole";
}

TEST(CaptureSession, AnOutputRateRepeatsShowFramesAndAFrameLimitClosesTheProgram) {
    const std::string dir = TestDir();
    CapSettings s;
    s.videoPath = dir + "/fps.mkv";
    s.fps = "30";
    s.maxFrames = 10;
    ASSERT_EQ(RunPacedProgram(s, 12, 0, true), "");  // two frames beyond the limit: dropped
    probe::Media m = probe::Read(s.videoPath);
    ASSERT_EQ(m.error, "");
    EXPECT_EQ(av_cmp_q(m.fps, AVRational{30, 1}), 0);
    // 10 frames of 80 ms at 30 a second: 24, output frame k showing show frame k / 2.4 + 1.
    ASSERT_EQ(m.frameLuma.size(), 24u);
    for (int k = 0; k < 24; ++k) {
        const int shown = k * 25 / 60 + 1;
        EXPECT_NEAR(m.frameLuma[k], 16 + 20 * shown * 219.0 / 255, 3) << "output frame " << k;
    }
    EXPECT_NEAR(m.AudioSeconds(), 0.8, 0.08);  // Matroska keeps AAC's 1024 priming samples
    // The limit asked the program's windows to close (none here) and ended the capture there.
    EXPECT_EQ(CapFrames(), 10);
}

}  // namespace
