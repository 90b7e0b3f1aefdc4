// Both programs play the built show to its end as scripts/play.sh starts them, and every
// checkpoint frame the script cuts to is not blank and differs from the one before it.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const int kCheckpoints[] = {30,   90,   310,  360,  420,  470,  520,  600,  700,
                            760,  810,  900,  1000, 1060, 1120, 1240, 1300, 1440,
                            1500, 1600, 1623, 1700, 2000, 2400, 2800};

// Luma (0..255) of every pixel of a PNG, empty when it cannot be read.
std::vector<float> Luma(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_GRAY;
    std::vector<png_byte> px(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, px.data(), 0, nullptr)) return {};
    return std::vector<float>(px.begin(), px.end());
}

void PlayAndLook(const char* program, const char* tag) {
    const std::string dir = testing::TempDir() + "/tambir_shots_" + tag + std::to_string(getpid());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::string list;
    for (int f : kCheckpoints) list += (list.empty() ? "" : ",") + std::to_string(f);
    const std::string cmd = std::string("cd '") + SHOW_DATA_DIR + "' && '" + program +
                            "' --headless --device 0 --frames '" + dir + "' --frames-at " + list +
                            " -- 640 480 0 >/dev/null 2>'" + dir + "/err'";
    const int raw = std::system(cmd.c_str());
    std::ifstream log(dir + "/err");
    std::stringstream err;
    err << log.rdbuf();
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 0) << err.str();
    EXPECT_EQ(err.str(), "") << "nothing to report on the way";
    std::vector<float> previous;
    for (int f : kCheckpoints) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%06d.png", f);
        const std::vector<float> luma = Luma(dir + name);
        ASSERT_EQ(luma.size(), 640u * 480u) << "frame " << f << " was not captured";
        const auto lit = std::count_if(luma.begin(), luma.end(), [](float v) { return v > 24; });
        EXPECT_GT(lit, 640 * 480 / 10) << "frame " << f << " is nearly black";
        if (!previous.empty()) {
            double diff = 0;
            for (size_t i = 0; i < luma.size(); ++i) diff += std::fabs(luma[i] - previous[i]);
            EXPECT_GT(diff / static_cast<double>(luma.size()), 4.0)
                << "frame " << f << " looks like the shot before it";
        }
        previous = luma;
    }
    std::filesystem::remove_all(dir);
}

TEST(ContentProgram, Direct3dPlaysTheBuiltShowToTheEndAndEveryShotShows) {
    PlayAndLook(DEMO_D3D, "d3d");
}

TEST(ContentProgram, GlidePlaysTheBuiltShowToTheEndAndEveryShotShows) {
    PlayAndLook(DEMO_GLIDE, "glide");
}

}  // namespace
