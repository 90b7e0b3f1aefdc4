// trxtool model info / check end to end on files written by the object module.
#include <sys/wait.h>

#include "objects_support.h"

static int RunTool(const std::string& args, std::string* out) {
    FILE* p = popen((std::string(TRXTOOL) + " " + args + " 2>&1").c_str(), "r");
    out->clear();
    char buf[512];
    for (size_t n; p && (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out->append(buf, n);
    const int status = p ? pclose(p) : -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(ObjectTest, TrxtoolModelInfoAndCheck) {
    AddKeys(&obj, 4, {0, 6}, 3, KEY_TRANSLATE);
    Mesh none = {};
    KeyInfo s = Info(KEY_SHARED, 0, 6);
    AddKeyframe(&obj, &none, 9, &s);
    SetAnimFlags(&obj, ANIM_ONCE, 0);
    const std::string path = TempPath("m.mdl"), v1 = TempPath("v1.mdl");
    ASSERT_EQ(SaveModel(&obj, path.c_str(), "door"), 0);
    ASSERT_EQ(SaveModelV1(&obj, v1.c_str(), "door v1"), 0);
    std::string out, v1out, check;
    EXPECT_EQ(RunTool("model info " + path, &out), 0) << out;
    EXPECT_EQ(RunTool("model info " + v1, &v1out), 0) << v1out;
    EXPECT_EQ(RunTool("model check " + path, &check), 0) << check;
    for (const char* want : {"keyframe model file (TRXMODEL) version 1.1, record bytes 52/12\nbanner: door\n",
                             "anim 4: span 9, flags 0x2, 3 keyframes",
                             "frame 6: flags 0x01, move 60 0 0, mesh 1 materials, 3 normals, 3 vertices, 3 links, 4 commands",
                             "frame 9: flags 0x20, mesh of frame 6, mesh 0 materials"})
        EXPECT_NE(out.find(want), std::string::npos) << want << "\n in:\n" << out;
    EXPECT_NE(v1out.find("indexed model file (TRXMODEL1.0)\nbanner: door v1\nanim 4: span 3"), std::string::npos) << v1out;
    EXPECT_NE(check.find("ok, 1 animations, 3 keyframes"), std::string::npos) << check;

    Bytes b = ReadFile(path);
    const struct { size_t keep; int at; uint8_t value; const char* reason; } cases[] = {
        {b.size() - 1, 0, 0, "truncated or corrupt (-43): file ends before its end record"},
        {b.size(), 75, 3, "unsupported version (-48)"},
        {b.size(), 75, 0xFF, "unsupported version (-48)"},  // 255, not -1
        {b.size(), 76, 0xFF, "unsupported version (-48)"},
        {b.size(), 105 + 12 + 52 + 4, 0xFF, "does not unpack to its"},
        {0, 0, 0, "cannot open"}};
    for (const auto& c : cases) {
        Bytes broken(b.begin(), b.begin() + static_cast<long>(c.keep));
        if (c.at) broken[c.at] = c.value;
        WriteFile(path, broken);
        EXPECT_EQ(RunTool("model check " + path + (c.keep ? "" : ".none"), &out), 1) << out;
        EXPECT_NE(out.find(c.reason), std::string::npos) << c.reason << "\n in: " << out;
    }
}
