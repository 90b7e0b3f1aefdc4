// run_program.h: the program tests run a program in a directory holding the show's data set.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "show_data.h"

namespace runprog {

inline std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// The running test's name, its parameter's slash made a '_' (it names files and directories).
inline std::string TestName() {
    std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name) c = c == '/' ? '_' : c;
    return name;
}

// TempDir/<prefix><test name> with the show's data set written into it (once per directory).
inline std::string ShowDir(const std::string& prefix) {
    std::string dir = testing::TempDir() + "/" + prefix + TestName();
    static std::string written;
    if (written == dir) return dir;
    EXPECT_EQ(showdata::WriteShowData(dir), "");
    written = dir;
    return dir;
}

// Runs `env program args` in dir, its output kept in <tag>.out and <tag>.err there. The exit
// status, or -1 when it did not exit normally.
inline int Run(const std::string& dir, const std::string& env, const std::string& program,
               const std::string& args, std::string* out, std::string* err,
               std::string tag = TestName()) {
    std::string o = dir + "/" + tag + ".out", e = dir + "/" + tag + ".err";
    std::string cmd =
        "cd '" + dir + "' && " + env + " '" + program + "' " + args + " >'" + o + "' 2>'" + e + "'";
    int raw = std::system(cmd.c_str());
    *out = Slurp(o);
    *err = Slurp(e);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

struct Outcome {
    int status = -1;
    std::string out, err;
};
inline Outcome Run(const std::string& dir, const std::string& env, const std::string& program,
                   const std::string& args, const std::string& tag = TestName()) {
    Outcome r;
    r.status = Run(dir, env, program, args, &r.out, &r.err, tag);
    return r;
}

// The frame count of the program's "closed after N frames", or -1 when it did not say so.
inline int ClosedAfter(const std::string& out) {
    int frames = -1;
    const size_t at = out.find("closed after ");
    if (at != std::string::npos) std::sscanf(out.c_str() + at, "closed after %d", &frames);
    return frames;
}

}  // namespace runprog
