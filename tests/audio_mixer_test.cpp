// The mixer through the BASS_* calls offline, and once through SDL's dummy output.
#include <SDL.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "bass_standin.h"
#include "files.h"
#include "tone_module.h"

namespace {

// RIFF/WAVE pieces, to build files the reader must refuse (16-bit data written out as bytes).
Bytes Id(const char* id) { return Bytes(id, id + 4); }
Bytes Chunk(const char* id, const Bytes& body, int64_t declaredSize = -1) {
    Bytes b = Id(id);
    Append32(b, declaredSize < 0 ? uint32_t(body.size()) : uint32_t(declaredSize));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1) b.push_back(0);
    return b;
}
Bytes FmtBody(uint32_t format, uint32_t channels, uint32_t rate, uint32_t bits) {
    Bytes b;
    for (uint32_t v : {format, channels}) Append16(b, v);
    for (uint32_t v : {rate, rate * channels * bits / 8}) Append32(b, v);
    for (uint32_t v : {channels * bits / 8, bits}) Append16(b, v);
    return b;
}
Bytes Riff(const std::vector<Bytes>& chunks) {
    Bytes b = Id("RIFF");
    Append32(b, 0);
    for (uint8_t c : Id("WAVE")) b.push_back(c);
    for (const Bytes& c : chunks) b.insert(b.end(), c.begin(), c.end());
    Put32(b, 4, uint32_t(b.size() - 8));
    return b;
}

using Frames = std::vector<int16_t>;

// A sample whose value is its position.
Frames Ramp(int n, int16_t first = 0) {
    Frames v(n);
    std::iota(v.begin(), v.end(), first);
    return v;
}
Frames Render(int frames) {
    Frames out(static_cast<size_t>(frames) * 2);
    EXPECT_EQ(BassStandIn_Render(out.data(), frames), frames);
    return out;
}
bool Loud(const Frames& f) {
    return std::any_of(f.begin(), f.end(), [](int s) { return s; });
}

class Mixer : public ::testing::Test {
protected:
    void SetUp() override { Restart(); }
    void TearDown() override {
        BASS_Free();
        std::filesystem::remove_all(dir_);
    }
    void Restart() {
        BASS_Free();
        ASSERT_TRUE(BassStandIn_InitOffline(44100));
        ASSERT_TRUE(BASS_Start());
    }
    std::string Write(const std::string& name, const Bytes& bytes) {
        EXPECT_TRUE(WriteBytes(dir_ + "/" + name, bytes));
        return dir_ + "/" + name;
    }
    HSAMPLE Load(const Bytes& wav, DWORD max = 1, DWORD flags = 0) {
        return BASS_SampleLoad(FALSE, Write("s.wav", wav).c_str(), 0, 0, max, flags);
    }
    HSAMPLE Sample(const Frames& mono, DWORD max, DWORD flags = 0) {
        return Load(EncodeWav16(1, 44100, mono), max, flags);
    }
    HMUSIC Tone(int period) {  // 32 rows of 441 frames
        const std::string path = Write(std::to_string(period) + ".it", SquareToneModule(period));
        return BASS_MusicLoad(FALSE, path.c_str(), 0, 0, BASS_MUSIC_RAMP);
    }

    std::string dir_ = [] {
        std::string t = ::testing::TempDir() + "/tambir_audio_XXXXXX";
        return mkdtemp(t.data()) ? t : std::string();
    }();
};

TEST_F(Mixer, WavCorruptFilesGiveHandleZeroAndSayWhy) {
    const Bytes good = EncodeWav16(1, 44100, {1, 2, 3, 4});
    const Bytes fmt = Chunk("fmt ", FmtBody(1, 1, 44100, 16)),
                data = Chunk("data", Bytes{1, 0, 2, 0});
    auto withFmt = [&](int format, int channels, int rate, int bits) {
        return Riff({Chunk("fmt ", FmtBody(format, channels, rate, bits)), data});
    };
    Bytes notRiff = good, shortFmt = FmtBody(1, 1, 44100, 16);
    std::memcpy(notRiff.data(), "RIFX", 4);
    shortFmt.resize(14);
    const struct {
        Bytes bytes;
        const char* message;
    } cases[] = {
        {{}, "too short"},
        {Bytes(good.begin(), good.begin() + 10), "too short"},
        {notRiff, "not a RIFF/WAVE"},
        {Bytes(good.begin(), good.end() - 3), "does not fit"},
        {Riff({fmt, Chunk("data", Bytes{1, 0, 2, 0}, 400)}), "runs past the end"},
        {Riff({fmt, data, Bytes{'L', 'I', 'S'}}), "truncated chunk header"},
        {withFmt(1, 0, 44100, 16), "zero channels"},
        {withFmt(1, 1, 0, 16), "rate 0"},
        {withFmt(1, 3, 44100, 16), "3 channels"},
        {withFmt(1, 1, 44100, 24), "24-bit"},
        {withFmt(2, 1, 44100, 16), "not uncompressed PCM"},
        {Riff({Chunk("fmt ", shortFmt), data}), "need 16"},
        {Riff({data}), "no 'fmt '"},
        {Riff({fmt}), "no 'data'"},
        {Riff({fmt, Chunk("data", {})}), "no complete frame"},
    };
    for (const auto& c : cases) {
        ::testing::internal::CaptureStderr();
        const HSAMPLE h = Load(c.bytes);
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(h, 0u) << c.message;
        EXPECT_NE(err.find(c.message), err.npos) << "want \"" << c.message << "\", got: " << err;
        EXPECT_NE(err.find("BASS_SampleLoad"), err.npos) << "from BASS_SampleLoad, got: " << err;
    }
}

TEST_F(Mixer, WavValidFilesMixToExactValues) {
    const struct {
        const char* what;
        Bytes bytes;
        Frames want;
    } cases[] = {
        {"8-bit mono is centred and duplicated",
         Riff({Chunk("fmt ", FmtBody(1, 1, 44100, 8)), Chunk("data", Bytes{0, 128, 255, 64})}),
         {-32768, -32768, 0, 0, 32512, 32512, -16384, -16384, 0, 0}},
        {"16-bit stereo keeps its channels",
         EncodeWav16(2, 44100, {1000, -1000, 32767, -32768}),
         {1000, -1000, 32767, -32768, 0, 0}},
        {"odd unknown chunk skipped with its pad byte",
         Riff({Chunk("LIST", Bytes{'a', 'b', 'c'}), Chunk("fmt ", FmtBody(1, 1, 44100, 16)),
               Chunk("junk", {}), Chunk("data", Bytes{7, 0, 8, 0})}),
         {7, 7, 8, 8, 0, 0}},
        {"half rate", EncodeWav16(1, 22050, {0, 10, 20, 30}), {0, 0, 5, 5, 10, 10, 15, 15, 20, 20}},
    };
    for (const auto& c : cases) {
        ASSERT_NE(BASS_SamplePlay(Load(c.bytes)), 0u) << c.what;
        EXPECT_EQ(Render(static_cast<int>(c.want.size() / 2)), c.want) << c.what;
    }
}

TEST_F(Mixer, MaxPlaybacksAndStop) {
    const HSAMPLE over = Sample(Ramp(1000), 3, BASS_SAMPLE_OVER_POS);
    for (int i = 0; i < 3; ++i, Render(100)) EXPECT_NE(BASS_SamplePlay(over), 0u);
    EXPECT_NE(BASS_SamplePlay(over), 0u);  // all 3 busy (at 300, 200, 100): restarts the first
    EXPECT_EQ(BassStandIn_SamplePlaybacks(over), 3);
    EXPECT_EQ(Render(1)[0], 0 + 200 + 100);
    ASSERT_TRUE(BASS_Stop());  // silent, and holds the position
    EXPECT_FALSE(Loud(Render(50)));
    ASSERT_TRUE(BASS_Start());
    EXPECT_EQ(Render(1)[0], 1 + 201 + 101);
    Render(1000);
    EXPECT_EQ(BassStandIn_SamplePlaybacks(over), 0);
    const HSAMPLE two = Sample(Ramp(1000), 2);  // without an override, a third play fails
    EXPECT_TRUE(BASS_SamplePlay(two)) << "first play";
    EXPECT_TRUE(BASS_SamplePlay(two)) << "second play";
    EXPECT_FALSE(BASS_SamplePlay(two)) << "third play, without an override";
    EXPECT_EQ(Render(2)[2], 2);  // two playbacks at frame 1
}

TEST_F(Mixer, Volumes) {
    const HSAMPLE s = Sample(Ramp(4410, -2205), 1);
    BASS_SamplePlay(s);
    const Frames full = Render(4410);
    ASSERT_TRUE(BASS_SetGlobalVolumes(-1, 60, -1));
    BASS_SamplePlay(s);
    const Frames part = Render(4410);
    for (size_t i = 0; i < full.size(); ++i) ASSERT_NEAR(part[i], 0.6 * full[i], 1.0) << i;
    ASSERT_TRUE(BASS_MusicPlay(Tone(100)));  // music volume 0 silences the music only
    EXPECT_TRUE(Loud(Render(4410)));
    ASSERT_TRUE(BASS_SetGlobalVolumes(0, 100, -1));
    EXPECT_FALSE(Loud(Render(4410)));
    BASS_SamplePlay(Sample({1234, 1234}, 1));
    EXPECT_EQ(Render(1)[0], 1234);
}

TEST_F(Mixer, MusicsPlayTogetherAndOnce) {
    auto render = [&](bool a, bool b) {
        Restart();
        const HMUSIC ma = Tone(100), mb = Tone(37);
        EXPECT_TRUE(!a || BASS_MusicPlay(ma)) << "music a";
        EXPECT_TRUE(!b || BASS_MusicPlay(mb)) << "music b";
        return Render(8820);
    };
    const Frames a = render(true, false), b = render(false, true), both = render(true, true);
    EXPECT_TRUE(Loud(a)) << "music a alone";
    EXPECT_TRUE(Loud(b)) << "music b alone";
    EXPECT_TRUE(a != b) << "the two musics sound alike";
    for (size_t i = 0; i < both.size(); ++i) ASSERT_NEAR(both[i], a[i] + b[i], 1.0) << i;
    const HMUSIC m = Tone(100);
    ASSERT_TRUE(BASS_MusicPlay(m));
    int played = 0;
    for (; played < 44100 && BassStandIn_MusicPlaying(m); played += 441) Render(441);
    EXPECT_GE(played, 32 * 441);  // the song's length; libopenmpt may add a short tail
    EXPECT_LT(played, 44100);
}

TEST_F(Mixer, HandleZeroStaleWrongKindAndFreesAfterBassFreeDoNothing) {
    const HSAMPLE s = Sample(Ramp(10), 1);
    const HMUSIC m = Tone(100);
    BASS_SampleFree(0);
    BASS_MusicFree(0);
    BASS_SampleFree(m);  // not a sample: the music survives
    EXPECT_TRUE(BASS_MusicPlay(m));
    BASS_SampleFree(s);
    BASS_SampleFree(s);
    BASS_MusicFree(m);
    for (HSAMPLE h : {0u, s, s + 1000, m}) EXPECT_EQ(BASS_SamplePlay(h), 0u) << h;
    for (HMUSIC h : {0u, s, m}) EXPECT_FALSE(BASS_MusicPlay(h)) << h;
    EXPECT_FALSE(Loud(Render(1000)));
    // Handles freed after the mixer shut down, playing; a new session does not revive them.
    const HMUSIC a = Tone(100), b = Tone(37);
    const HSAMPLE over = Sample(Ramp(500), 3, BASS_SAMPLE_OVER_POS);
    EXPECT_TRUE(BASS_MusicPlay(a)) << "music a";
    EXPECT_TRUE(BASS_MusicPlay(b)) << "music b";
    EXPECT_TRUE(BASS_SamplePlay(over)) << "sample";
    Render(100);
    BASS_Stop();
    BASS_Free();
    BASS_MusicFree(a);
    BASS_MusicFree(b);
    BASS_SampleFree(over);
    Restart();
    EXPECT_FALSE(BASS_MusicPlay(a));
    EXPECT_EQ(BASS_SamplePlay(over), 0u);
}

// Refused calls return 0 or false and say why; a Windows path still finds its file.
TEST_F(Mixer, BadArgumentsModulesAndInitsAreRefusedAndSayWhy) {
    const std::string path = Write("s.wav", EncodeWav16(1, 44100, {5}));
    std::string windows = path;
    for (char& c : windows) c = c == '/' ? '\\' : c;
    EXPECT_NE(BASS_SampleLoad(FALSE, windows.c_str(), 0, 0, 1, 0), 0u);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(BASS_SampleLoad(FALSE, (dir_ + "/missing.wav").c_str(), 0, 0, 1, 0), 0u);
    EXPECT_EQ(BASS_SampleLoad(FALSE, dir_.c_str(), 0, 0, 1, 0), 0u);  // a directory
    EXPECT_EQ(BASS_SampleLoad(TRUE, path.c_str(), 0, 0, 1, 0), 0u);
    EXPECT_EQ(BASS_SampleLoad(FALSE, path.c_str(), 4, 0, 1, 0), 0u);
    EXPECT_EQ(BASS_SampleLoad(FALSE, path.c_str(), 0, 0, 0, 0), 0u);
    EXPECT_EQ(BASS_SampleLoad(FALSE, path.c_str(), 0, 0, 1, BASS_SAMPLE_OVER_VOL), 0u);
    EXPECT_EQ(BASS_SampleLoad(FALSE, nullptr, 0, 0, 1, 0), 0u);
    EXPECT_FALSE(BASS_SetGlobalVolumes(101, -1, -1));
    EXPECT_EQ(BASS_MusicLoad(FALSE, Write("junk.it", Bytes(300, 0x55)).c_str(), 0, 0, 1), 0u);
    EXPECT_EQ(BASS_MusicLoad(FALSE, Write("t.it", SquareToneModule(50)).c_str(), 0, 0, 4), 0u);
    EXPECT_FALSE(BassStandIn_InitOffline(44100)) << "twice";
    EXPECT_FALSE(BASS_Init(-1, 44100, 0, nullptr)) << "twice";
    BASS_Free();
    EXPECT_FALSE(BASS_Init(5, 44100, 0, nullptr)) << "device 5";
    EXPECT_FALSE(BassStandIn_InitOffline(0)) << "rate 0";
    EXPECT_FALSE(BASS_Start()) << "not initialised";
    EXPECT_EQ(BASS_SampleLoad(FALSE, "sound\\dvere.wav", 0, 0, 3, BASS_SAMPLE_OVER_POS), 0u);
    const std::string err = ::testing::internal::GetCapturedStderr();
    for (const char* m : {"cannot open", "not a regular file", "flags 0x10000", "outside 0-100",
                          "junk.it", "already initialised", "device 5",
                          "BASS_SampleLoad(\"sound/dvere.wav\"): the audio output is not"})
        EXPECT_NE(err.find(m), std::string::npos) << "want \"" << m << "\", got: " << err;
}

// The real output path, with SDL's dummy driver: the device callback mixes a playback to its end.
TEST_F(Mixer, RealOutputWithSdlDummyDriver) {
    BASS_Free();
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
    ASSERT_TRUE(BASS_Start());
    const HSAMPLE h = Sample(Ramp(441), 3, BASS_SAMPLE_OVER_POS);
    ASSERT_NE(BASS_SamplePlay(h), 0u);
    for (int i = 0; i < 200 && BassStandIn_SamplePlaybacks(h) > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(BassStandIn_SamplePlaybacks(h), 0);
    EXPECT_TRUE(BASS_Stop());

    // The output lost while playing: said once; the calls go on working.
    ::testing::internal::CaptureStderr();
    SDL_Event lost{};
    lost.type = SDL_AUDIODEVICEREMOVED;
    for (int i = 0; i < 2; ++i) SDL_PushEvent(&lost);
    EXPECT_TRUE(BASS_Start());
    EXPECT_NE(BASS_SamplePlay(h), 0u);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "audio: the audio output was lost; the show goes on without sound\n");
}

}  // namespace
