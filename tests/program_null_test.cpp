// The null-device program run as a user runs it, headless: the whole show, the options, the exits.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "run_program.h"

namespace {

using runprog::ClosedAfter;

runprog::Outcome Start(const std::string& env, const std::string& args) {
    return runprog::Run(runprog::ShowDir("program_null_"), env, DEMO_NULL, args);
}

TEST(ProgramNull, TheShowTheOptionsAndTheDevice) {
    const struct {
        const char* env;
        const char* args;
        int status;
        const char* says;  // on stdout or stderr
        int frames;        // of "closed after": -1 none, 0 some (a paced show may skip frames)
    } cases[] = {
        {"", "--headless -- 640 480 0", 0, "", 2874},  // as fast as it can
        {"", "--headless 640 480 1 72 1", 0, "", 0},   // 1 ms ticks: catch-up steps, about 3 s
        {"", "--help", 0, "usage: demo_null", -1},
        {"", "--headles", 2, "unknown option --headles", -1},
        {"", "--headless --device 7 -- 640 480 0", 2, "--device 7", -1},
        {"TAMBIR_NULL_ENTRIES=0", "--headless", 0, "", -1},  // no device: a clean exit
        {"TAMBIR_NULL_OPEN=255", "--headless", 1, "Unable to open the display device", -1},
    };
    for (const auto& c : cases) {
        const runprog::Outcome r = Start(c.env, c.args);
        SCOPED_TRACE(std::string(c.env) + " " + c.args + "\n" + r.out + r.err);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE((r.out + r.err).find(c.says), std::string::npos);
        const int frames = ClosedAfter(r.out);
        EXPECT_TRUE(c.frames ? frames == c.frames : frames >= 1 && frames <= 2874) << frames;
    }
}

// Damage to the data set: bad remap files and a missing picture are reported and the
// show goes on; a model without an animation the show plays, or without its keyframes, or missing
// altogether, stops the start-up and names the file.
TEST(ProgramNull, ADamagedDataSetIsReportedByName) {
    const std::string dir = runprog::ShowDir("program_null_");
    const std::string remap = "# ruvo\r\n3->4\r\nthree to four\r\n";
    ASSERT_TRUE(WriteBytes(dir + "/ruvo.txi", Bytes(remap.begin(), remap.end())));
    std::remove((dir + "/dvere.txi").c_str());
    std::remove((dir + "/hlnapis.pcx").c_str());
    runprog::Outcome r = Start("", "--headless -- 640 480 0");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ClosedAfter(r.out), 2874) << r.out;
    for (const char* says : {"The remap file \"ruvo.txi\" is malformed at line 3",
                             "The remap file \"dvere.txi\" cannot be opened",
                             "The picture \"hlnapis.pcx\" cannot be loaded"})
        EXPECT_NE(r.err.find(says), std::string::npos) << r.err;

    // Each on a whole data set again: cpu.mdl's second animation carries id 3 where the show
    // selects 2; hrdina.mdl's animation 2 is there without keyframes; dvere.mdl is gone.
    const struct {
        const char* model;
        std::vector<showdata::AnimPlan> anims;  // none: the file is removed
        const char* says;
    } broken[] = {
        {"cpu",
         {{0, {0, 10}, 20}, {3, {0, 5, 10}, 15}},
         "The model \"cpu.mdl\" has no animation 2"},
        {"hrdina",
         {{0, {0, 10}, 20}, {1, {0, 10}, 20}, {2, {}, 60}, {3, {0, 3000}, 6000}},
         "The model \"hrdina.mdl\" has no keyframes in animation 2"},
        {"dvere", {}, "Unable to load the model \"dvere.mdl\""},
    };
    for (const auto& b : broken) {
        ASSERT_EQ(showdata::WriteShowData(dir), "");
        if (b.anims.empty())
            std::remove((dir + "/" + b.model + ".mdl").c_str());
        else
            ASSERT_EQ(showdata::WriteModel(dir, b.model, b.anims), "");
        r = Start("", "--headless -- 640 480 0");
        EXPECT_EQ(r.status, 1) << b.says;
        EXPECT_NE(r.err.find(b.says), std::string::npos) << r.err;
        EXPECT_LE(ClosedAfter(r.out), 0) << b.says << ": the show did not play";
    }
}

// Integers at their edges: refused by name with status 2 (no device opened), or the whole show
// played (a paced show may skip frames).
TEST(ProgramNull, IntegersAtTheirEdgesAreRefusedByNameOrPlayTheShow) {
    const struct {
        const char* line;
        const char* refusal;  // null: the show plays
        bool paced;
    } cases[] = {
        {"4096 4096 0", nullptr, false},
        {"4097 4096 0", "Setting 1 (screen width) is 4097", false},
        {"640 99999999999 0", "Setting 2 (screen height) is 2147483647", false},
        {"640 480 1 72 -1", "Setting 5 (timer period) is -1", false},
        {"640 480 0 -2147483648 -2147483648 -1 2147483647 2147483647 -1 -2147483648", nullptr,
         false},
        {"640 480 0 2147483647 0 2147483647 -2147483648 -2147483648 2147483647 2147483647", nullptr,
         false},
        {"640 480 1 0 1 0 -2147483648 0 0 0", nullptr, true},
        {"640 480 1 72 1 1 2147483647", nullptr, true},
    };
    for (const auto& c : cases) {
        const runprog::Outcome r = Start("timeout 120", std::string("--headless -- ") + c.line);
        SCOPED_TRACE(c.line + ("\n" + r.out) + r.err);
        const int frames = ClosedAfter(r.out);
        if (c.refusal) {
            EXPECT_EQ(r.status, 2);
            EXPECT_NE(r.err.find(c.refusal), std::string::npos);
            EXPECT_EQ(frames, -1) << "no device opened";
        } else {
            EXPECT_EQ(r.status, 0);
            EXPECT_TRUE(c.paced ? frames >= 1 && frames <= 2874 : frames == 2874) << frames;
        }
    }
}

TEST(ProgramNull, AMissingTextureLibraryStopsWithTheAssertionReport) {
    const std::string dir = testing::TempDir() + "/nolibs";
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "'").c_str()), 0);
    const runprog::Outcome r = runprog::Run(dir, "", DEMO_NULL, "--headless");
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("Assertion failed: !LoadTexLib(\"demo.tex\",&lib)"), std::string::npos)
        << r.err;
}

}  // namespace
