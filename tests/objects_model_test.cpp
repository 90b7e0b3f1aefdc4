// Model files: both formats round trip, header variants, and corrupt or truncated input.
#include <random>

#include "lzwc.h"
#include "objects_support.h"

// Animation 0: keyframes 0, 5 (moved), 7 (5's mesh); 2: none, span 9, flags 4; 1: one, flags 2.
static void BuildModel(Object* o) {
    AddKeys(o, 0, {0, 5}, 3, KEY_TRANSLATE);
    Mesh none = {};
    KeyInfo s = Info(KEY_SHARED | KEY_EASE, 0, 5);
    s.point_base = 4;
    AddKeyframe(o, &none, 7, &s);
    AddAnim(o, 2);
    SetAnimSpan(o, 9);
    SetAnimFlags(o, 4, 0);
    AddKeys(o, 1, {0}, 2);
    SetAnimFlags(o, 2, 0);
}

// One line per animation: "id span flags: [frame flags source tx point-base wcount last-x ccount]"
static std::string Describe(const Object* o) {
    std::string d;
    char buf[200];
    for (const Anim* a = o->anims; a; a = a->next) {
        d += std::to_string(a->id) + " " + std::to_string(a->span) + " " +
             std::to_string(a->flags) + ":";
        int n = 0;
        for (const Keyframe* k = a->keys; k && (n++ == 0 || k != a->keys); k = k->next) {
            const Mesh& m = (k->flags & KEY_SHARED) ? k->shared->mesh : k->mesh;
            std::snprintf(buf, sizeof buf, " [%d %x %d %g %d %d %g %d]", k->frame, k->flags,
                          k->shared ? k->shared->frame : -1, k->translation[0], k->point_base,
                          m.wcount, m.wcount ? m.wtable[m.wcount - 1].x : -1.0f, m.ccount);
            d += buf;
        }
        d += "\n";
    }
    return d;
}

TEST_F(ObjectTest, KeyframeFileRoundTripsAndHeaderVariants) {
    BuildModel(&obj);
    const std::string path = TempPath("a.mdl");
    ASSERT_EQ(SaveModel(&obj, path.c_str(), "hero, made by hand"), 0);
    Bytes file = ReadFile(path);
    EXPECT_EQ(std::string(file.begin() + 64, file.begin() + 72), "TRXMODEL");
    EXPECT_EQ((Bytes{file[75], file[76], file[77], file[81]}), (Bytes{1, 1, 52, 12}));
    char banner[64];
    ASSERT_EQ(LoadModel(&other, path.c_str(), banner), 0);
    EXPECT_STREQ(banner, "hero, made by hand");
    EXPECT_EQ(Describe(&other), Describe(&obj));
    ASSERT_EQ(LoadModel(&other, path.c_str(), nullptr), 0);
    EXPECT_EQ(Describe(&other), Describe(&obj));
    FreeObject(&other);

    auto patched = [&](int at, Bytes bytes) {
        Bytes b = file;
        std::copy(bytes.begin(), bytes.end(), b.begin() + at);
        WriteFile(path, b);
        const int r = LoadModel(&other, path.c_str(), nullptr);
        const std::string got = std::to_string(r) + " " + Describe(&other);
        FreeObject(&other);
        return got;
    };
    std::string noFlags = Describe(&obj);
    for (auto at : {noFlags.find(" 9 4:"), noFlags.find(" 0 2:")}) noFlags[at + 3] = '0';
    EXPECT_EQ(patched(81, {8}), "0 " + noFlags) << "flags not kept";
    EXPECT_EQ(patched(75, {0, 9}), "0 " + Describe(&obj)) << "version 0.9";
    EXPECT_EQ(patched(64, {'X'}), std::to_string(MDL_MAGIC) + " ");
    for (auto [major, minor] : {std::pair{2, 0}, {1, 2}, {0xFF, 1}, {0x80, 0}, {1, 0xFF}})
        EXPECT_EQ(patched(75, {uint8_t(major), uint8_t(minor)}), std::to_string(MDL_VERSION) + " ")
            << "version " << major << "." << minor;
    EXPECT_EQ(LoadModel(&other, (path + "missing").c_str(), nullptr), MDL_OPEN);
    EXPECT_EQ(SaveModel(&obj, "/nonexistent-dir/x.mdl", nullptr), MDL_CREATE);
}

TEST_F(ObjectTest, IndexedFileRoundTrips) {
    BuildModel(&obj);
    const std::string path = TempPath("v1.mdl");
    ASSERT_EQ(SaveModelV1(&obj, path.c_str(), nullptr), 0);
    ASSERT_EQ(LoadModelV1(&other, path.c_str(), nullptr), 0);
    EXPECT_EQ(Describe(&other),
              "0 3 0: [1 0 -1 0 0 3 2 4] [2 0 -1 0 0 3 502 4] [3 0 -1 0 0 0 -1 0]\n"
              "1 1 0: [1 0 -1 0 0 2 1 3]\n");
    EXPECT_EQ(other.key, other.anims->next->keys) << "frame 0 selects the first keyframe";
    EXPECT_EQ(LoadModelV1(&other, path.c_str(), nullptr), 0) << "known animations are skipped";
    EXPECT_EQ(other.anims->keys->next->next->next->frame, 1);
    Bytes b = ReadFile(path);
    b[78] = 0x7F;  // index offset
    WriteFile(path, b);
    EXPECT_EQ(LoadModelV1(&other, path.c_str(), nullptr), MDL_READ);
}

TEST_F(ObjectTest, TruncatedFilesFail) {
    BuildModel(&obj);
    const std::string path = TempPath("t.mdl");
    for (auto format : {0, 1}) {
        ASSERT_EQ(format ? SaveModelV1(&obj, path.c_str(), nullptr)
                         : SaveModel(&obj, path.c_str(), nullptr),
                  0);
        const Bytes file = ReadFile(path);
        for (size_t n = 0; n < file.size(); ++n) {
            WriteFile(path, Bytes(file.begin(), file.begin() + static_cast<long>(n)));
            ASSERT_EQ(format ? LoadModelV1(&other, path.c_str(), nullptr)
                             : LoadModel(&other, path.c_str(), nullptr),
                      MDL_READ)
                << "format " << format << " truncated to " << n;
            FreeObject(&other);
        }
    }
    // A shared keyframe whose source comes later in the ring.
    obj.anims->keys->flags |= KEY_SHARED;
    obj.anims->keys->shared_frame = 5;
    ASSERT_EQ(SaveModel(&obj, path.c_str(), nullptr), 0);
    EXPECT_EQ(LoadModel(&other, path.c_str(), nullptr), OBJ_NO_SHARED);
}

// A mesh block (head, LZW stream) packed without the writer's checks, as the writer would refuse.
static Bytes PackBlock(const Mesh& m) {
    Bytes plain(40);
    const int32_t record[10] = {0, m.mcount, 0, m.ncount, 0, m.wcount, 0, m.lcount, 0, m.ccount};
    std::memcpy(plain.data(), record, 40);
    const std::pair<const void*, size_t> tables[] = {{m.mtable, m.mcount * sizeof(Material)},
                                                     {m.ntable, m.ncount * sizeof(Vec4)},
                                                     {m.wtable, m.wcount * sizeof(Vec4)},
                                                     {m.ltable, m.lcount * sizeof(Link)},
                                                     {m.ctable, m.ccount * sizeof(Command)}};
    for (auto [t, size] : tables)
        if (t)
            plain.insert(plain.end(), static_cast<const uint8_t*>(t),
                         static_cast<const uint8_t*>(t) + size);
    const int len = static_cast<int>(plain.size());
    Bytes b(8 + 2 * plain.size() + 16, 0);
    lzw_init(8);
    const int s = lzw_compress(plain.data(), b.data() + 8, len);
    EXPECT_GT(s, 0);
    std::memcpy(b.data(), &s, 4);
    std::memcpy(b.data() + 4, &len, 4);
    b.resize(8 + static_cast<size_t>(s));
    return b;
}

// Writes m as a block (packed here if the writer refuses), adds delta at `at`, reads it back.
static int8_t BlockRoundTrip(const std::string& path, const Mesh& m, Mesh* got, int at = 0,
                             int delta = 0) {
    *got = Mesh{};
    FILE* f = std::fopen(path.c_str(), "wb");
    const int8_t w = WriteMeshBlock(f, &m);
    std::fclose(f);
    Bytes b = w == 0 ? ReadFile(path) : PackBlock(m);  // what the writer refuses, packed here
    b[at] = static_cast<uint8_t>(b[at] + delta);
    WriteFile(path, b);
    f = std::fopen(path.c_str(), "rb");
    const int8_t r = ReadMeshBlock(f, got);
    std::fclose(f);
    EXPECT_TRUE(at || delta || w == (r == 0 ? 0 : MDL_WRITE))
        << "writer and reader disagree: " << ModelFileError();
    return r;
}

// Mesh blocks with broken indexes or lengths are refused; the intact one reads back as written.
TEST_F(ObjectTest, MeshBlocksAreValidated) {
    const struct {
        const char* what;
        void (*breakIt)(Mesh*);
        int at, delta;
    } cases[] = {
        {"intact", [](Mesh*) {}, 0, 0},
        {"link normal", [](Mesh* m) { m->ltable[1].normal = m->ncount; }, 0, 0},
        {"link vertex", [](Mesh* m) { m->ltable[0].vertex = -1; }, 0, 0},
        {"reference link", [](Mesh* m) { m->ctable[2].ref.link = m->lcount; }, 0, 0},
        {"reference material", [](Mesh* m) { m->ctable[3].ref.material = 1; }, 0, 0},
        {"run of 0", [](Mesh* m) { m->ctable[0].run.count = 0; }, 0, 0},
        {"run of 128", [](Mesh* m) { m->ctable[0].run.count = 128; }, 0, 0},
        {"list ends in a run", [](Mesh* m) { m->ccount -= 1; }, 0, 0},
        {"stored length beyond the file", [](Mesh*) {}, 0, 1},
        {"unpacked length too short", [](Mesh*) {}, 4, -1},
        {"unpacked length too long", [](Mesh*) {}, 4, 1},
    };
    for (const auto& c : cases) {
        Mesh m = MakeMesh(4), got;
        m.ctable[3].ref.material = -1;  // no material is fine
        c.breakIt(&m);
        const bool intact = &c == &cases[0];
        EXPECT_EQ(BlockRoundTrip(TempPath("m.bin"), m, &got, c.at, c.delta), intact ? 0 : MDL_READ)
            << c.what;
        EXPECT_EQ(got.wcount, intact ? 4 : 0) << c.what;
        EXPECT_TRUE(!intact || std::memcmp(got.ctable, m.ctable, 5 * sizeof(Command)) == 0);
        FreeMesh(&got);
        FreeMesh(&m);
    }
}

// A small file cannot make the reader allocate more than the largest mesh one model may draw.
TEST_F(ObjectTest, MeshBlocksBeyondWhatAModelMayDrawAreRefused) {
    const std::string path = TempPath("big.bin");
    for (int32_t count : {kMaxMeshElements, kMaxMeshElements + 1}) {
        Mesh m{}, got;
        m.wcount = count;
        m.wtable = HeapTable<Vec4>(count);
        const bool fits = count == kMaxMeshElements;
        EXPECT_EQ(BlockRoundTrip(path, m, &got), fits ? 0 : MDL_READ) << ModelFileError();
        EXPECT_EQ(got.wcount, fits ? count : 0);
        EXPECT_EQ(got.wtable != nullptr, fits);
        EXPECT_EQ(fits, !std::strstr(ModelFileError(), "exceed the 1048576 elements per table"))
            << ModelFileError();
        FreeMesh(&got);
        FreeMesh(&m);
    }
    // 640 MB unpacked from 200,000 stored bytes: refused on the header, before allocating.
    Bytes b(8 + 200000, 0);
    const uint32_t stored = 200000, unpacked = 640000040;
    std::memcpy(b.data(), &stored, 4);  // little-endian, as PackBlock writes them
    std::memcpy(b.data() + 4, &unpacked, 4);
    WriteFile(path, b);
    FILE* f = std::fopen(path.c_str(), "rb");
    Mesh got;
    EXPECT_EQ(ReadMeshBlock(f, &got), MDL_READ);
    std::fclose(f);
    EXPECT_TRUE(std::strstr(ModelFileError(), "unpacks to 640000040 bytes, more than a mesh of"))
        << ModelFileError();
}

// Keyframes each within the mesh bound, together beyond what one model may hold: refused.
TEST_F(ObjectTest, ModelsOfManyLargeKeyframesAreRefused) {
    Mesh m{};
    m.wcount = kMaxMeshElements;  // 16 MiB of vertices, packed small
    m.wtable = HeapTable<Vec4>(m.wcount);
    const KeyInfo info = Info(0, 0, 0);
    ASSERT_EQ(AddAnim(&obj, 0), 0);
    ASSERT_EQ(SelectAnim(&obj, 0, 1), 0);
    ASSERT_EQ(AddKeyframe(&obj, &m, 0, &info), 0);
    const std::string path = TempPath("many.mdl");
    ASSERT_EQ(SaveModel(&obj, path.c_str(), nullptr), 0);
    FreeObject(&obj);
    // Header (105), animation record (12), then keyframe record (52) and block, end records.
    const Bytes one = ReadFile(path);
    const size_t key = 105 + 12, tail = one.size() - 52 - 12;
    const int copies = static_cast<int>(kMaxModelBytes / (40 + 16 * int64_t{kMaxMeshElements})) + 1;
    Bytes many(one.begin(), one.begin() + static_cast<long>(key));
    for (int k = 0; k < copies; ++k) {
        many.insert(many.end(), one.begin() + static_cast<long>(key),
                    one.begin() + static_cast<long>(tail));
        std::memcpy(&many[many.size() - (tail - key)], &k, 4);  // frame k
    }
    many.insert(many.end(), one.begin() + static_cast<long>(tail), one.end());
    WriteFile(path, many);
    EXPECT_EQ(LoadModel(&obj, path.c_str(), nullptr), MDL_READ);
    EXPECT_TRUE(std::strstr(ModelFileError(), "more than the 268435456 bytes one model may hold"))
        << ModelFileError();
}

TEST_F(ObjectTest, IncompressibleBlocksStillRoundTrip) {
    std::mt19937 rng(7);
    const int n = 5000;
    Mesh m = {nullptr, 0, nullptr, 0, HeapTable<Vec4>(n), n, nullptr, 0, nullptr, 0}, got;
    uint8_t* bytes = reinterpret_cast<uint8_t*>(m.wtable);
    for (int i = 0; i < 16 * n; ++i) bytes[i] = static_cast<uint8_t>(rng());
    ASSERT_EQ(BlockRoundTrip(TempPath("r.bin"), m, &got), 0);
    const Bytes b = ReadFile(TempPath("r.bin"));
    EXPECT_GT(b[0] | b[1] << 8 | b[2] << 16, 40 + 16 * n) << "a stream longer than its input";
    ASSERT_EQ(got.wcount, n);
    EXPECT_EQ(std::memcmp(got.wtable, m.wtable, 16 * static_cast<size_t>(n)), 0);
    FreeMesh(&got);
    FreeMesh(&m);
}
