// The null-device program under faults: allocations failing, signals, data files removed, no
// audio output.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "run_program.h"

namespace {

using runprog::ClosedAfter;
using runprog::Outcome;

Outcome Start(const std::string& dir, const std::string& env, const std::string& args,
              const char* program = DEMO_NULL_FAULTS,
              const std::string& tag = runprog::TestName()) {
    return runprog::Run(dir, env, program, args, tag);
}

bool Clean(const std::string& err) {
    return err.find("Sanitizer") == std::string::npos &&
           err.find("runtime error") == std::string::npos;
}

// The report demo_null_faults prints at exit.
struct Report {
    long allocations = -1, opensAfter = -1;
    std::vector<long> opens;  // allocations made before each file the start-up opened
};

Report Read(const std::string& err) {
    Report r;
    for (size_t at = err.find("faults: "); at != std::string::npos;
         at = err.find("faults: ", at + 1)) {
        const char* line = err.c_str() + at;
        long k = 0;
        char name[256];
        if (std::sscanf(line, "faults: opened %255s after allocation %ld", name, &k) == 2)
            r.opens.push_back(k);
        else
            std::sscanf(line, "faults: %ld allocations in the start-up, %ld files", &r.allocations,
                        &r.opensAfter);
    }
    return r;
}

// The start-up's allocations fail in turn: every third one, and the two before and after each
// file it opens (each loader fails opening and reading). Four runs at a time.
TEST(ProgramFaults, EveryStepOfTheStartUpOutOfMemoryEndsWithAMessageOrAGap) {
    const std::string dir = runprog::ShowDir("program_faults_");
    const std::string env = "TAMBIR_END_AFTER_STARTUP=1";
    const Outcome whole = Start(dir, env, "--headless -- 640 480 0");
    ASSERT_EQ(whole.status, 0) << whole.err;
    const Report plan = Read(whole.err);
    ASSERT_GT(plan.allocations, 0) << whole.err;
    ASSERT_EQ(plan.opens.size(), 24u)
        << "two libraries, two pictures, six models and remap files, eight sounds\n"
        << whole.err;
    std::set<long> chosen;
    for (long n = 1; n <= plan.allocations; n += 3) chosen.insert(n);
    for (long k : plan.opens)
        for (long n = k - 1; n <= k + 2; ++n)
            if (n >= 1 && n <= plan.allocations) chosen.insert(n);

    std::vector<long> todo(chosen.begin(), chosen.end());
    std::vector<Outcome> results(todo.size());
    std::atomic<size_t> next = 0;
    auto worker = [&] {
        for (size_t i; (i = next++) < todo.size();) {
            const std::string n = std::to_string(todo[i]);
            results[i] = Start(dir, env + " TAMBIR_FAIL_ALLOC=" + n, "--headless -- 640 480 0",
                               DEMO_NULL_FAULTS, "alloc" + n);
        }
    };
    std::vector<std::thread> pool;
    for (int t = 0; t < 4; ++t) pool.emplace_back(worker);
    for (std::thread& t : pool) t.join();

    int stopped = 0, gaps = 0;
    for (size_t i = 0; i < todo.size(); ++i) {
        const Outcome& r = results[i];
        SCOPED_TRACE("allocation " + std::to_string(todo[i]) + " of " +
                     std::to_string(plan.allocations));
        // 0: a gap (picture, sample, module); 1: a model, table or upload; 3: a texture library.
        EXPECT_TRUE(r.status == 0 || r.status == 1 || r.status == 3)
            << "status " << r.status << "\n"
            << r.err;
        EXPECT_TRUE(Clean(r.err)) << r.err;
        // What failed is said before the report of the counts.
        EXPECT_NE(r.err.find_first_not_of("\n"), r.err.find("faults: ")) << "nothing said\n"
                                                                         << r.err;
        (r.status == 0 ? gaps : stopped)++;
    }
    std::printf("%ld allocations, %zu made to fail: %d stopped the start-up, %d left a gap\n",
                plan.allocations, todo.size(), stopped, gaps);
}

TEST(ProgramFaults, SignalsAtAnyFrameCloseTheShowAsEscapeDoes) {
    const std::string dir = runprog::ShowDir("program_faults_");
    const struct {
        int frame, signal;
        const char* settings;
    } cases[] = {
        {0, SIGTERM, "640 480 0"},      {0, SIGINT, "640 480 0"},
        {1, SIGINT, "640 480 0"},       {2, SIGTERM, "640 480 0"},
        {777, SIGINT, "640 480 0"},     {2873, SIGTERM, "640 480 0"},
        {2874, SIGINT, "640 480 0"},    {40, SIGTERM, "640 480 1 72 1"},
        {41, SIGINT, "640 480 1 72 1"},
    };
    for (const auto& c : cases) {
        const std::string what =
            std::to_string(c.signal) + " at frame " + std::to_string(c.frame) + ", " + c.settings;
        Outcome r = Start(
            dir, "TAMBIR_SIGNAL_AT=" + std::to_string(c.frame) + ":" + std::to_string(c.signal),
            std::string("--headless -- ") + c.settings);
        EXPECT_EQ(r.status, 0) << what << "\n" << r.err;
        EXPECT_TRUE(Clean(r.err)) << what << "\n" << r.err;
        const int frames = ClosedAfter(r.out);
        EXPECT_GE(frames, c.frame) << what << "\n" << r.out;
        EXPECT_LE(frames, c.frame + 2) << what << ": the show went on\n" << r.out;
    }
}

TEST(ProgramFaults, DataFilesRemovedWhileTheShowRunsAreNotMissed) {
    // Every file the start-up opened is removed once it is done: the show opens nothing more.
    const std::string dir = runprog::ShowDir("program_faults_");
    Outcome r = Start(dir, "TAMBIR_REMOVE_DATA=1", "--headless -- 640 480 1 72 1");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Clean(r.err)) << r.err;
    EXPECT_GT(ClosedAfter(r.out), 0) << r.out;
    EXPECT_EQ(Read(r.err).opensAfter, 0) << r.err;
    for (const char* file : {"demo.tex", "vgasys.fnt", "cpu.mdl", "cpu.txi", "napis1.pcx",
                             "sound/hrom.wav", "titles.it"})
        EXPECT_NE(access((dir + "/" + file).c_str(), F_OK), 0) << file << " was not removed";
}

TEST(ProgramFaults, WithoutAnAudioOutputTheShowPlaysSilentAndSaysSo) {
    // Not headless (which opens a silent output of its own): SDL has no such audio driver.
    const std::string dir = runprog::ShowDir("program_faults_");
    Outcome r = Start(dir, "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=nosuchdriver",
                      "--device 0 -- 640 480 0", DEMO_NULL);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ClosedAfter(r.out), 2874) << r.out;
    EXPECT_NE(r.err.find("continuing without sound"), std::string::npos) << r.err;
}

}  // namespace
