// audio_wav_test.cpp: WAV sample loading through BASS_SampleLoad in offline mode: refusal of
// corrupt files with a message, and the exact mixer output of valid 8/16-bit mono/stereo files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bass_standin.h"
#include "it_module_writer.h"

using namespace testaudio;

namespace {

class WavLoad : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = MakeTempDir(::testing::TempDir());
        ASSERT_FALSE(dir_.empty());
        ASSERT_TRUE(BassStandIn_InitOffline(44100));
        ASSERT_TRUE(BASS_Start());
    }
    void TearDown() override {
        BASS_Free();
        std::filesystem::remove_all(dir_);
    }
    std::string Write(const Bytes& bytes) {
        const std::string path = dir_ + "/s" + std::to_string(files_++) + ".wav";
        EXPECT_TRUE(WriteFile(path, bytes));
        return path;
    }
    HSAMPLE Load(const Bytes& bytes) { return BASS_SampleLoad(FALSE, Write(bytes).c_str(), 0, 0, 1, 0); }
    // Plays the sample and renders `frames` frames of it.
    std::vector<int16_t> PlayAndRender(HSAMPLE h, int frames) {
        EXPECT_NE(BASS_SamplePlay(h), 0u);
        std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
        EXPECT_EQ(BassStandIn_Render(out.data(), frames), frames);
        return out;
    }

    std::string dir_;
    int files_ = 0;
};

struct BadWav {
    const char* name;
    Bytes bytes;
    const char* message;  // part of the expected stderr line
};

void PrintTo(const BadWav& w, std::ostream* os) { *os << w.name; }

std::vector<BadWav> BadWavs() {
    const Bytes good = Wav16(1, 44100, {1, 2, 3, 4});
    const Bytes fmt = Chunk("fmt ", FmtBody(1, 1, 44100, 16));
    const Bytes data = Chunk("data", Pcm16({1, 2, 3, 4}));
    Bytes cut(good.begin(), good.end() - 3);
    Bytes notRiff = good;
    std::memcpy(notRiff.data(), "RIFX", 4);
    Bytes shortFmt = FmtBody(1, 1, 44100, 16);
    shortFmt.resize(14);
    return {
        {"Empty", {}, "too short"},
        {"TruncatedHeader", Bytes(good.begin(), good.begin() + 10), "too short"},
        {"NotRiff", notRiff, "not a RIFF/WAVE"},
        {"CutInData", cut, "does not fit"},
        {"ChunkSizePastEof", Riff({fmt, Chunk("data", Pcm16({1, 2}), 400)}), "runs past the end"},
        {"TruncatedChunkHeader", Riff({fmt, data, Bytes{'L', 'I', 'S'}}), "truncated chunk header"},
        {"ZeroChannels", Riff({Chunk("fmt ", FmtBody(1, 0, 44100, 16)), data}), "zero channels"},
        {"ZeroRate", Riff({Chunk("fmt ", FmtBody(1, 1, 0, 16)), data}), "rate 0"},
        {"ThreeChannels", Riff({Chunk("fmt ", FmtBody(1, 3, 44100, 16)), data}), "3 channels"},
        {"TwentyFourBit", Riff({Chunk("fmt ", FmtBody(1, 1, 44100, 24)), data}), "24-bit"},
        {"NonPcm", Riff({Chunk("fmt ", FmtBody(2, 1, 44100, 16)), data}), "not uncompressed PCM"},
        {"ShortFmt", Riff({Chunk("fmt ", shortFmt), data}), "need 16"},
        {"MissingFmt", Riff({data}), "no 'fmt '"},
        {"MissingData", Riff({fmt}), "no 'data'"},
        {"EmptyData", Riff({fmt, Chunk("data", {})}), "no complete frame"},
    };
}

class WavRejected : public WavLoad, public ::testing::WithParamInterface<BadWav> {};

TEST_P(WavRejected, GivesHandleZeroAndSaysWhy) {
    ::testing::internal::CaptureStderr();
    const HSAMPLE h = Load(GetParam().bytes);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(h, 0u);
    EXPECT_NE(err.find(GetParam().message), std::string::npos) << err;
    EXPECT_NE(err.find("BASS_SampleLoad"), std::string::npos) << err;
}

INSTANTIATE_TEST_SUITE_P(Corrupt, WavRejected, ::testing::ValuesIn(BadWavs()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WavLoad, EightBitMonoIsCenteredAndDuplicated) {
    const Bytes pcm = {0, 128, 255, 64};
    const HSAMPLE h = Load(Riff({Chunk("fmt ", FmtBody(1, 1, 44100, 8)), Chunk("data", pcm)}));
    ASSERT_NE(h, 0u);
    const std::vector<int16_t> expect = {-32768, -32768, 0, 0, 32512, 32512, -16384, -16384, 0, 0};
    EXPECT_EQ(PlayAndRender(h, 5), expect);
}

TEST_F(WavLoad, SixteenBitStereoKeepsChannels) {
    const HSAMPLE h = Load(Wav16(2, 44100, {1000, -1000, 32767, -32768}));
    ASSERT_NE(h, 0u);
    const std::vector<int16_t> expect = {1000, -1000, 32767, -32768, 0, 0};
    EXPECT_EQ(PlayAndRender(h, 3), expect);
}

TEST_F(WavLoad, SkipsUnknownOddChunkWithItsPadByte) {
    const Bytes list = Chunk("LIST", Bytes{'a', 'b', 'c'});  // 3 bytes + pad
    const HSAMPLE h = Load(Riff({list, Chunk("fmt ", FmtBody(1, 1, 44100, 16)), Chunk("junk", {}),
                                 Chunk("data", Pcm16({7, 8}))}));
    ASSERT_NE(h, 0u);
    const std::vector<int16_t> expect = {7, 7, 8, 8};
    EXPECT_EQ(PlayAndRender(h, 2), expect);
}

TEST_F(WavLoad, ResamplesHalfRateToTwiceTheFrames) {
    std::vector<int16_t> ramp;
    for (int i = 0; i < 1000; ++i) ramp.push_back(static_cast<int16_t>(i * 10));
    const HSAMPLE h = Load(Wav16(1, 22050, ramp));
    ASSERT_NE(h, 0u);
    const std::vector<int16_t> head = PlayAndRender(h, 4);
    const std::vector<int16_t> expect = {0, 0, 5, 5, 10, 10, 15, 15};  // interpolated midpoints
    EXPECT_EQ(head, expect);
    std::vector<int16_t> rest(2 * 1996);
    BassStandIn_Render(rest.data(), 1995);
    EXPECT_EQ(BassStandIn_SamplePlaybacks(h), 1);  // 1999 of 2000 frames played
    BassStandIn_Render(rest.data(), 1);
    EXPECT_EQ(BassStandIn_SamplePlaybacks(h), 0);
}

TEST_F(WavLoad, MapsWindowsSeparators) {
    const std::string path = Write(Wav16(1, 44100, {5}));
    std::string windows = path;
    for (char& c : windows)
        if (c == '/') c = '\\';
    EXPECT_NE(BASS_SampleLoad(FALSE, windows.c_str(), 0, 0, 1, 0), 0u);
}

TEST_F(WavLoad, RefusesUnsupportedArgumentsAndMissingFiles) {
    const std::string path = Write(Wav16(1, 44100, {5}));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(BASS_SampleLoad(FALSE, (dir_ + "/missing.wav").c_str(), 0, 0, 1, 0), 0u);
    EXPECT_EQ(BASS_SampleLoad(FALSE, dir_.c_str(), 0, 0, 1, 0), 0u);  // a directory
    EXPECT_EQ(BASS_SampleLoad(TRUE, path.c_str(), 0, 0, 1, 0), 0u);
    EXPECT_EQ(BASS_SampleLoad(FALSE, path.c_str(), 4, 0, 1, 0), 0u);
    EXPECT_EQ(BASS_SampleLoad(FALSE, path.c_str(), 0, 0, 0, 0), 0u);
    EXPECT_EQ(BASS_SampleLoad(FALSE, path.c_str(), 0, 0, 1, BASS_SAMPLE_OVER_VOL), 0u);
    EXPECT_EQ(BASS_SampleLoad(FALSE, nullptr, 0, 0, 1, 0), 0u);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("cannot open"), std::string::npos) << err;
    EXPECT_NE(err.find("not a regular file"), std::string::npos) << err;
    EXPECT_NE(err.find("flags 0x10000"), std::string::npos) << err;
}

}  // namespace
