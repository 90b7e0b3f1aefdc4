// The null-device program run as a user runs it, headless: the whole show, the options, the exits.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "run_program.h"

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

using runprog::Slurp;

std::string DataSet() { return runprog::ShowDir("program_null_"); }

Outcome Start(const std::string& env, const std::string& args) {
    Outcome r;
    r.status = runprog::Run(DataSet(), env, DEMO_NULL, args, &r.out, &r.err);
    return r;
}

TEST(ProgramNull, PlaysTheWholeShowAsFastAsItCan) {
    Outcome r = Start("", "--headless -- 640 480 0");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("closed after 2874 frames"), std::string::npos) << r.out;
}

TEST(ProgramNull, PlaysPacedByTheTimer) {
    // One-millisecond ticks: the paced show with catch-up steps, in about three seconds.
    Outcome r = Start("", "--headless 640 480 1 72 1");
    EXPECT_EQ(r.status, 0) << r.err;
    int frames = -1;
    size_t at = r.out.find("closed after ");
    ASSERT_NE(at, std::string::npos) << r.out;
    std::sscanf(r.out.c_str() + at, "closed after %d", &frames);
    EXPECT_GE(frames, 1);
    EXPECT_LE(frames, 2874);
}

TEST(ProgramNull, OptionsAndUsage) {
    Outcome help = Start("", "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: demo_null"), std::string::npos);
    Outcome bad = Start("", "--headles");
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("unknown option --headles"), std::string::npos);
    Outcome device = Start("", "--headless --device 7 -- 640 480 0");
    EXPECT_EQ(device.status, 2);
    EXPECT_NE(device.err.find("--device 7"), std::string::npos);
}

TEST(ProgramNull, ExitsCleanlyWithoutADeviceAndFailsWhenTheDeviceDoesNotOpen) {
    Outcome none = Start("TAMBIR_NULL_ENTRIES=0", "--headless");
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out.find("closed"), std::string::npos);
    Outcome closed = Start("TAMBIR_NULL_OPEN=255", "--headless");
    EXPECT_EQ(closed.status, 1);
    EXPECT_NE(closed.err.find("Unable to open the display device"), std::string::npos);
}

TEST(ProgramNull, AMissingModelStopsTheStartUpAndNamesTheFile) {
    // The models before it load; the missing one is named.
    std::string dir = DataSet();
    std::remove((dir + "/dvere.mdl").c_str());
    std::string cmd = "cd '" + dir + "' && '" DEMO_NULL "' --headless >/dev/null 2>err.txt";
    int raw = std::system(cmd.c_str());
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 1);
    EXPECT_NE(Slurp(dir + "/err.txt").find("Unable to load the model \"dvere.mdl\""),
              std::string::npos);
}

TEST(ProgramNull, AModelWithoutAnAnimationTheShowPlaysStopsTheStartUpAndNamesBoth) {
    // cpu.mdl's second animation carries id 3 where the show selects 2.
    std::string dir = DataSet();
    ASSERT_EQ(showdata::WriteModel(dir, "cpu", {{0, {0, 10}, 20}, {3, {0, 5, 10}, 15}}), "");
    Outcome r = Start("", "--headless -- 640 480 0");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("The model \"cpu.mdl\" has no animation 2"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("closed after 2874"), std::string::npos) << "the show did not play";
    // An animation that is there without keyframes cannot be drawn either.
    ASSERT_EQ(showdata::WriteModel(dir, "cpu", {{0, {0, 10}, 20}, {2, {0, 5, 10}, 15}}), "");
    ASSERT_EQ(
        showdata::WriteModel(
            dir, "hrdina", {{0, {0, 10}, 20}, {1, {0, 10}, 20}, {2, {}, 60}, {3, {0, 3000}, 6000}}),
        "");
    r = Start("", "--headless -- 640 480 0");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("The model \"hrdina.mdl\" has no keyframes in animation 2"),
              std::string::npos)
        << r.err;
}

TEST(ProgramNull, BadRemapFilesAndAMissingPictureAreReportedAndTheShowGoesOn) {
    std::string dir = DataSet();
    std::FILE* f = std::fopen((dir + "/ruvo.txi").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("# ruvo\r\n3->4\r\nthree to four\r\n", f);
    std::fclose(f);
    std::remove((dir + "/dvere.txi").c_str());
    std::remove((dir + "/hlnapis.pcx").c_str());
    Outcome r = Start("", "--headless -- 640 480 0");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("closed after 2874 frames"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("The remap file \"ruvo.txi\" is malformed at line 3"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("The remap file \"dvere.txi\" cannot be opened"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("The picture \"hlnapis.pcx\" cannot be loaded"), std::string::npos)
        << r.err;
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
    std::vector<Case> cases;
    for (int i = 0; i < 10; ++i) {
        for (const char* v : {"0", "-1", "-2147483648", "2147483647"}) {
            std::string fields[10] = {"640", "480", "0", "72", "80", "1", "0", "0", "0", "0"};
            fields[i] = v;
            const bool paced = i == 6 || i == 4;
            if (paced) fields[2] = "1", fields[4] = i == 4 ? v : "1";
            std::string line;
            for (const std::string& f : fields) line += (line.empty() ? "" : " ") + f;
            std::string refusal;
            if (i == 0) refusal = std::string("Setting 1 (screen width) is ") + v;
            if (i == 1) refusal = std::string("Setting 2 (screen height) is ") + v;
            if (i == 4) refusal = std::string("Setting 5 (timer period) is ") + v;
            cases.push_back({line, refusal, paced});
            if (i == 4) cases.push_back({std::string("640 480 0 72 ") + v, "", false});  // no sync
        }
    }
    cases.push_back({"4096 4096 0", "", false});
    cases.push_back({"4097 4096 0", "Setting 1 (screen width) is 4097", false});
    cases.push_back({"640 99999999999 0", "Setting 2 (screen height) is 2147483647", false});
    for (const Case& c : cases) {
        Outcome r = Start("timeout 120", "--headless -- " + c.line);
        if (!c.refusal.empty()) {
            EXPECT_EQ(r.status, 2) << c.line << ": " << r.err;
            EXPECT_NE(r.err.find(c.refusal), std::string::npos) << c.line << ": " << r.err;
            EXPECT_EQ(r.out.find("closed"), std::string::npos) << c.line << ": no device opened";
            continue;
        }
        EXPECT_EQ(r.status, 0) << c.line << ": " << r.err;
        int frames = -1;
        const size_t at = r.out.find("closed after ");
        if (at != std::string::npos) std::sscanf(r.out.c_str() + at, "closed after %d", &frames);
        EXPECT_TRUE(c.paced ? frames >= 1 && frames <= 2874 : frames == 2874)
            << c.line << ": " << r.out;
    }
}

TEST(ProgramNull, AMissingTextureLibraryStopsWithTheAssertionReport) {
    std::string dir = testing::TempDir() + "/nolibs";
    std::string cmd = "mkdir -p '" + dir + "' && cd '" + dir +
                      "' && '" DEMO_NULL "' --headless >/dev/null 2>err.txt";
    int raw = std::system(cmd.c_str());
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 3);
    EXPECT_NE(Slurp(dir + "/err.txt")
                  .find("Assertion failed: !LoadTexLib(\"demo.tex\",&lib), file Navek, line 1582"),
              std::string::npos);
}

}  // namespace
