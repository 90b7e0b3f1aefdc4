// demo_d3d run as a user runs it, headless, on the test data set, with frame capture.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "png_size.h"
#include "run_program.h"

namespace {

std::string DataSet() { return runprog::ShowDir("d3d_program_"); }

TEST(ProgramD3d, EachListedDevicePlaysTheShowAndCapturesTheFramesAsked) {
    // 0: first driver's hardware device; 3: the second driver (mode change); 1: software MMX.
    for (const char* device : {"0", "3", "1"}) {
        const std::string frames = DataSet() + "/frames" + device;
        std::filesystem::remove_all(frames);  // a failed run's frames must not count
        std::string out, err;
        const std::string args = std::string("--headless --device ") + device + " --frames '" +
                                 frames + "' --frames-at 1,2874 -- 320 200 0";
        EXPECT_EQ(runprog::Run(DataSet(), "", DEMO_D3D, args, &out, &err), 0)
            << "device " << device << ": " << err;
        EXPECT_EQ(PngSize(frames + "/frame-000001.png"), "320x200") << "device " << device;
        EXPECT_EQ(PngSize(frames + "/frame-002874.png"), "320x200")
            << "device " << device << ": the last frame";
        EXPECT_FALSE(std::filesystem::exists(frames + "/frame-000002.png")) << "device " << device;
    }
}

TEST(ProgramD3d, TheDisplayLostAtTwoFlipsComesBackWithTheSamePictures) {
    // Surfaces lost at flips 5 and 6 (not shown) come back: the show goes on picture for picture.
    const std::string dir = DataSet();
    for (const char* run : {"kept", "lost"}) {
        const std::string env = std::string(run) == "lost" ? "TAMBIR_DDRAW_LOSE_AT=5,6" : "";
        const std::string args =
            "--headless --frames '" + dir + "/" + run + "' --frames-at 1-12 -- 640 480 0";
        std::string out, err;
        EXPECT_EQ(runprog::Run(dir, env, DEMO_D3D, args, &out, &err), 0) << run << ": " << err;
    }
    auto frame = [&](const char* run, int n) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%06d.png", n);
        return runprog::Slurp(dir + "/" + run + name);
    };
    ASSERT_NE(frame("kept", 5), frame("kept", 7)) << "the frames around the loss differ";
    for (int n = 1; n <= 10; ++n) {
        const int shown = n < 5 ? n : n + 2;
        EXPECT_FALSE(frame("lost", n).empty()) << "frame " << n;
        EXPECT_EQ(frame("lost", n), frame("kept", shown))
            << "presented frame " << n << " is show frame " << shown;
    }
}

}  // namespace
