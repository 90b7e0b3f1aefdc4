// Both programs play the show to its end on the data set the build makes, as scripts/play.sh
// starts them (headless, the first device, 640x480, as fast as possible).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

int Play(const char* program, std::string* err) {
    const std::string log = testing::TempDir() + "/tambir_play_" + std::to_string(getpid()) + ".err";
    const std::string cmd = std::string("cd '") + SHOW_DATA_DIR + "' && '" + program +
                            "' --headless --device 0 -- 640 480 0 >/dev/null 2>'" + log + "'";
    const int raw = std::system(cmd.c_str());
    std::ifstream f(log);
    std::stringstream s;
    s << f.rdbuf();
    *err = s.str();
    std::remove(log.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(ContentProgram, Direct3dPlaysTheBuiltShowToTheEnd) {
    std::string err;
    EXPECT_EQ(Play(DEMO_D3D, &err), 0) << err;
    EXPECT_EQ(err, "") << "nothing to report on the way";
}

TEST(ContentProgram, GlidePlaysTheBuiltShowToTheEnd) {
    std::string err;
    EXPECT_EQ(Play(DEMO_GLIDE, &err), 0) << err;
    EXPECT_EQ(err, "") << "nothing to report on the way";
}

}  // namespace
