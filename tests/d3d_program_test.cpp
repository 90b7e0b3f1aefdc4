// demo_d3d run as a user runs it, headless, on the show's data set, with frame capture.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <zlib.h>

#include "run_program.h"

namespace {

using runprog::Slurp;

// Width and height of a PNG file of 8-bit RGB rows, and whether every pixel is black; 0 x 0 when
// it is not such a file.
void ReadPng(const std::string& path, unsigned* w, unsigned* h, bool* black) {
    std::string s = Slurp(path);
    *w = *h = 0;
    *black = false;
    if (s.size() < 33 || s.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return;
    auto be = [&](size_t at) {
        return (unsigned(uint8_t(s[at])) << 24) | (unsigned(uint8_t(s[at + 1])) << 16) |
               (unsigned(uint8_t(s[at + 2])) << 8) | unsigned(uint8_t(s[at + 3]));
    };
    std::string idat;
    for (size_t at = 8; at + 12 <= s.size();) {
        unsigned len = be(at);
        std::string type = s.substr(at + 4, 4);
        if (at + 12 + len > s.size()) return;
        if (type == "IHDR" && (s[at + 16] != 8 || s[at + 17] != 2)) return;  // 8-bit RGB only
        if (type == "IHDR") *w = be(at + 8), *h = be(at + 12);
        if (type == "IDAT") idat += s.substr(at + 8, len);
        at += 12 + len;
    }
    std::vector<uint8_t> rows(size_t(*h) * (1 + size_t(*w) * 3));
    uLongf size = rows.size();
    if (uncompress(rows.data(), &size, reinterpret_cast<const Bytef*>(idat.data()), idat.size()) != Z_OK ||
        size != rows.size()) {
        *w = *h = 0;  // not decodable
        return;
    }
    *black = true;
    for (size_t i = 0; i < rows.size(); ++i)
        if (i % (1 + size_t(*w) * 3) != 0 && rows[i] != 0) *black = false;  // filters leave 0 as 0
}

TEST(ProgramD3d, PlaysTheShowHeadlessAndCapturesFrames) {
    std::string dir = testing::TempDir() + "/program_d3d_" + std::to_string(getpid());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir + "/frames");
    ASSERT_EQ(showdata::WriteShowData(dir), "");
    std::string cmd = "cd '" + dir + "' && '" DEMO_D3D "' --headless --frames frames --frames-at 1,3,2874 -- 640 480 0 >out.txt 2>err.txt";
    int raw = std::system(cmd.c_str());
    int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    EXPECT_EQ(status, 0) << Slurp(dir + "/err.txt");
    for (const char* name : {"frame-000001.png", "frame-000003.png", "frame-002874.png"}) {
        unsigned w, h;
        bool black;
        ReadPng(dir + "/frames/" + name, &w, &h, &black);
        EXPECT_TRUE(w == 640 && h == 480) << name << ": " << w << " x " << h;
        // The first title picture is on the first frame.
        if (std::strcmp(name, "frame-000001.png") == 0) {
            EXPECT_FALSE(black) << name << " is black";
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir + "/frames/frame-000002.png"));
    std::filesystem::remove_all(dir);
}

TEST(ProgramD3d, TheDisplayLostAtTwoFlipsComesBackWithTheSamePictures) {
    // The stand-in loses the display's surfaces at flips 5 and 6 (those frames are not shown);
    // the device restores them with the next frame, and the show goes on picture for picture.
    std::string dir = testing::TempDir() + "/program_d3d_lost_" + std::to_string(getpid());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir + "/kept");
    std::filesystem::create_directories(dir + "/lost");
    ASSERT_EQ(showdata::WriteShowData(dir), "");
    for (const char* run : {"kept", "lost"}) {
        std::string env = std::strcmp(run, "lost") == 0 ? "TAMBIR_DDRAW_LOSE_AT=5,6 " : "";
        std::string cmd = "cd '" + dir + "' && " + env + "'" DEMO_D3D "' --headless --frames " + run +
                          " --frames-at 1-12 -- 640 480 0 >out.txt 2>err.txt";
        int raw = std::system(cmd.c_str());
        EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 0) << run << ": " << Slurp(dir + "/err.txt");
    }
    auto frame = [&](const char* run, int n) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%06d.png", n);
        return Slurp(dir + "/" + run + name);
    };
    ASSERT_NE(frame("kept", 5), frame("kept", 7)) << "the frames around the loss differ";
    for (int n = 1; n <= 10; ++n) {
        const int shown = n < 5 ? n : n + 2;
        EXPECT_FALSE(frame("lost", n).empty()) << "frame " << n;
        EXPECT_EQ(frame("lost", n), frame("kept", shown)) << "presented frame " << n << " is show frame " << shown;
    }
    std::filesystem::remove_all(dir);
}

TEST(ProgramD3d, RunsOnEachListedDevice) {
    // 3: the second DirectDraw driver (a hardware device class, bilinear magnification and a
    // desktop mode change); 1: the software MMX device.
    for (const char* device : {"3", "1"}) {
        std::string dir = testing::TempDir() + "/program_d3d_dev" + device + "_" + std::to_string(getpid());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir + "/frames");
        ASSERT_EQ(showdata::WriteShowData(dir), "");
        std::string cmd = "cd '" + dir + "' && '" DEMO_D3D "' --headless --device " + device +
                          " --frames frames --frames-at 2874 -- 320 200 0 >out.txt 2>err.txt";
        int raw = std::system(cmd.c_str());
        EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 0) << "device " << device << ": " << Slurp(dir + "/err.txt");
        unsigned w, h;
        bool black;
        ReadPng(dir + "/frames/frame-002874.png", &w, &h, &black);
        EXPECT_TRUE(w == 320 && h == 200) << "device " << device << ": " << w << " x " << h;
        std::filesystem::remove_all(dir);
    }
}

TEST(ProgramD3d, AFailedOpenIsReported) {
    // 5000 x 5000 is no display mode of the card: the device does not open.
    std::string dir = testing::TempDir() + "/program_d3d_big_" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    ASSERT_EQ(showdata::WriteShowData(dir), "");
    std::string cmd = "cd '" + dir + "' && '" DEMO_D3D "' --headless -- 5000 5000 0 >out.txt 2>err.txt";
    int raw = std::system(cmd.c_str());
    EXPECT_NE(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 0);
    std::filesystem::remove_all(dir);
}

}  // namespace
