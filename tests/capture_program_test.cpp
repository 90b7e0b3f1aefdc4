// demo_d3d and demo_glide capturing the test data set to video, as a user runs them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>

#include "media_probe.h"
#include "run_program.h"

namespace {

namespace fs = std::filesystem;

class ProgramCapture : public testing::TestWithParam<const char*> {
protected:
    std::string Dir() {
        return runprog::ShowDir("capture_" + fs::path(GetParam()).filename().string() + "_");
    }
    runprog::Outcome Run(const std::string& args) {
        return runprog::Run(Dir(), "", GetParam(), args);
    }
};

// A short capture with its WAV, paced by the show's timer: every frame once, and a second capture
// decoding to the same pictures and sound.
TEST_P(ProgramCapture, AShortCaptureReadsBackWholeAndRepeatsExactly) {
    const std::string dir = Dir();
    fs::remove_all(dir + "/frames");
    const int kFrames = 30;
    runprog::Outcome r =
        Run("--capture one.mp4 --capture-wav one.wav --capture-frames 30 --frames frames "
            "--frames-at 1-31 -- 320 240");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("frame 30 of 30"), std::string::npos) << r.err;
    // The timer ticked once per frame: frames 1 to 30 were all presented, none after the limit.
    EXPECT_TRUE(fs::exists(dir + "/frames/frame-000030.png"));
    EXPECT_FALSE(fs::exists(dir + "/frames/frame-000031.png"));

    probe::Media m = probe::Read(dir + "/one.mp4");
    ASSERT_EQ(m.error, "");
    EXPECT_EQ(m.width, 320);
    EXPECT_EQ(m.height, 240);
    EXPECT_EQ(av_cmp_q(m.fps, AVRational{25, 2}), 0) << m.fps.num << "/" << m.fps.den;
    EXPECT_EQ(m.frameHash.size(), size_t(kFrames));
    EXPECT_NEAR(m.videoSeconds, kFrames * 0.08, 0.08);
    EXPECT_NEAR(m.AudioSeconds(), kFrames * 0.08, 0.08);
    EXPECT_NEAR(m.AudioSeconds(), m.videoSeconds, 0.08);

    probe::Media wav = probe::Read(dir + "/one.wav");
    ASSERT_EQ(wav.error, "");
    EXPECT_EQ(wav.pcm.size(), size_t(kFrames) * 3528 * 2);  // 80 ms of sound per frame exactly
    float peak = 0;
    for (float v : wav.pcm) peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.01f) << "the music from frame 12 on is missing";

    r = Run("--capture two.mp4 --capture-wav two.wav --capture-frames 30 -- 320 240");
    ASSERT_EQ(r.status, 0) << r.err;
    probe::Media again = probe::Read(dir + "/two.mp4");
    EXPECT_TRUE(again.frameHash == m.frameHash) << "the pictures differ";
    EXPECT_TRUE(again.pcm == m.pcm) << "the sound differs";
    EXPECT_TRUE(probe::Read(dir + "/two.wav").pcm == wav.pcm) << "the WAV differs";
}

TEST_P(ProgramCapture, AnOutputThatCannotBeWrittenStopsBeforeTheShow) {
    const std::string dir = Dir();
    fs::remove_all(dir + "/frames");
    const runprog::Outcome r = Run("--capture show.unknown --frames frames -- 320 240 0");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("show.unknown"), std::string::npos) << r.err;
    EXPECT_TRUE(!fs::exists(dir + "/frames") || fs::is_empty(dir + "/frames")) << "a frame drawn";
    EXPECT_FALSE(fs::exists(dir + "/show.unknown"));
}

// Ctrl+C during a capture of the whole show: the program ends as by Escape and the file holds
// every frame up to there, playable, its sound as long as its pictures.
TEST_P(ProgramCapture, AnInterruptedCaptureIsAPlayableFile) {
    const std::string dir = Dir();
    fs::remove_all(dir + "/frames");
    fs::remove(dir + "/cut.mp4");
    const std::string program = GetParam();
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0 || !freopen("cut.err", "w", stderr)) _exit(126);
        execl(program.c_str(), program.c_str(), "--capture", "cut.mp4", "--frames", "frames",
              "--frames-at", "12", "--", "320", "240", static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    int status = 0;
    bool exited = false;
    for (int i = 0; i < 6000 && !fs::exists(dir + "/frames/frame-000012.png"); ++i) {
        if ((exited = waitpid(pid, &status, WNOHANG) == pid)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_FALSE(exited) << "ended before frame 12: " << runprog::Slurp(dir + "/cut.err");
    kill(pid, SIGINT);
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    const std::string err = runprog::Slurp(dir + "/cut.err");
    ASSERT_TRUE(WIFEXITED(status)) << err;
    EXPECT_EQ(WEXITSTATUS(status), 0) << err;

    probe::Media m = probe::Read(dir + "/cut.mp4");
    ASSERT_EQ(m.error, "") << err;
    EXPECT_GE(m.frameHash.size(), 12u);
    EXPECT_LT(m.frameHash.size(), 2874u);
    EXPECT_NE(err.find("cut.mp4: " + std::to_string(m.frameHash.size()) + " frames"),
              std::string::npos)
        << err;
    EXPECT_NEAR(m.videoSeconds, m.frameHash.size() * 0.08, 0.08);
    EXPECT_NEAR(m.AudioSeconds(), m.videoSeconds, 0.08);
}

INSTANTIATE_TEST_SUITE_P(BothDevices, ProgramCapture, testing::Values(DEMO_D3D, DEMO_GLIDE),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.index == 0 ? "d3d" : "glide");
                         });

}  // namespace
