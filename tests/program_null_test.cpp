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

// Each of the ten integers at 0, -1, -2147483648 and 2147483647, and screens of 4096 and 4097
// pixels a side: refused by name with status 2, or the show played to its end. The line is
// "640 480 0 72 80 1 0 0 0 0" (as fast as possible) with one integer changed; the timer period is
// tried with sync 0 and 1, the lag tolerance paced by a 1 ms timer (which may skip frames).
TEST(ProgramNull, EveryIntegerAtItsEdgesIsRefusedByNameOrPlaysTheShow) {
    struct Case {
        std::string line, refusal;
        bool paced;
    };
    std::vector<Case> cases = {
        {"4096 4096 0", "", false},
        {"4097 4096 0", "Setting 1 (screen width) is 4097", false},
        {"640 99999999999 0", "Setting 2 (screen height) is 2147483647", false}};
    const char* names[10] = {"1 (screen width)", "2 (screen height)", "", "", "5 (timer period)"};
    for (int i = 0; i < 10; ++i)
        for (const char* v : {"0", "-1", "-2147483648", "2147483647"}) {
            std::string fields[10] = {"640", "480", "0", "72", "80", "1", "0", "0", "0", "0"};
            fields[i] = v;
            const bool paced = i == 6 || i == 4;
            if (paced) fields[2] = "1", fields[4] = i == 4 ? v : "1";
            std::string line = fields[0];
            for (int k = 1; k < 10; ++k) line += " " + fields[k];
            const bool refused = i == 0 || i == 1 || i == 4;
            cases.push_back(
                {line, refused ? std::string("Setting ") + names[i] + " is " + v : "", paced});
            if (i == 4) cases.push_back({std::string("640 480 0 72 ") + v, "", false});  // no sync
        }
    for (const Case& c : cases) {
        const runprog::Outcome r = Start("timeout 120", "--headless -- " + c.line);
        SCOPED_TRACE(c.line + "\n" + r.out + r.err);
        const int frames = ClosedAfter(r.out);
        if (!c.refusal.empty()) {
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
    EXPECT_NE(r.err.find("Assertion failed: !LoadTexLib(\"demo.tex\",&lib), file Navek, line 1582"),
              std::string::npos)
        << r.err;
}

}  // namespace
