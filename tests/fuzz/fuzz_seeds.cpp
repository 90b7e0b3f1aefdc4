// fuzz_seeds: makes the harnesses' seed inputs from the content builder's data directory and the
// test data set, sorted into OUT/<harness>/ (scripts/fuzz.sh runs it, then minimises).
//
//     fuzz_seeds DATA_DIR OUT_DIR
//
// Files are taken by their extension, up to kMaxSeed bytes (a quarter of that for WAV files):
// larger ones, such as the show's texture library, are left out, as the corpus already holds
// inputs made from them. Every model is also written as an indexed model file, and the first
// keyframe of each animation as an unpacked mesh block (see fuzz_model.cpp); the LZW seeds are the
// packed first 64 KB of every file.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "files.h"
#include "lzwc.h"
#include "show_data.h"
#include "texlib.h"
#include "trx_object.h"

namespace {

constexpr size_t kMaxSeed = 256 * 1024;
std::string out;

Bytes Read(const std::string& path) {
    Bytes b;
    return ReadBytes(path, &b) ? b : Bytes();
}

std::string Seed(const char* harness, const std::string& leaf) {
    const std::string dir = out + "/" + harness;
    MakeDir(dir);
    return dir + "/" + leaf;
}

bool Ends(const std::string& s, const char* tail) {
    const size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

void Lzw(const std::string& leaf, const Bytes& b) {
    const int n = static_cast<int>(std::min<size_t>(b.size(), 65536));
    if (n < 1) return;
    Bytes packed(2 * static_cast<size_t>(n));
    lzw_init(8);
    const int s = lzw_compress(b.data(), packed.data(), n);
    lzw_free();
    if (s > 0) WriteBytes(Seed("lzw", leaf + ".lzw"), Bytes(packed.begin(), packed.begin() + s));
}

// A mesh block's unpacked contents, the input the model harnesses wrap into a file themselves.
Bytes UnpackedMesh(const Mesh& m) {
    const MeshFileRecord rec = {0, m.mcount, 0, m.ncount, 0, m.wcount, 0, m.lcount, 0, m.ccount};
    Bytes b(sizeof rec);
    std::memcpy(b.data(), &rec, sizeof rec);
    auto table = [&](const void* t, int32_t n, size_t size) {
        const uint8_t* p = static_cast<const uint8_t*>(t);
        if (n > 0) b.insert(b.end(), p, p + static_cast<size_t>(n) * size);
    };
    table(m.mtable, m.mcount, sizeof(Material));
    table(m.ntable, m.ncount, sizeof(Vec4));
    table(m.wtable, m.wcount, sizeof(Vec4));
    table(m.ltable, m.lcount, sizeof(Link));
    table(m.ctable, m.ccount, sizeof(Command));
    return b;
}

void Model(const std::string& path, const std::string& leaf, const Bytes& b) {
    Object obj;
    ObjectInit(&obj);
    if (LoadModel(&obj, path.c_str(), nullptr) == OBJ_OK) {
        for (const Anim* a = obj.anims; a; a = a->next) {
            if (!a->keys) continue;
            const Bytes mesh = UnpackedMesh(a->keys->mesh);
            if (mesh.size() > kMaxSeed / 4) continue;
            const std::string name = leaf + "-anim" + std::to_string(a->id) + ".mesh";
            WriteBytes(Seed("model", name), mesh);
            WriteBytes(Seed("model_v1", name), mesh);
        }
        if (b.size() <= kMaxSeed) WriteBytes(Seed("model", leaf), b);
        const std::string v1 = Seed("model_v1", leaf);
        if (SaveModelV1(&obj, v1.c_str(), nullptr) != OBJ_OK || Read(v1).size() > kMaxSeed)
            std::remove(v1.c_str());
    }
    FreeObject(&obj);
}

void FromDirectory(const std::string& dir, const std::string& prefix) {
    const struct {
        const char* ext;
        const char* harness;
        size_t max;
    } kinds[] = {{".tex", "texlib", kMaxSeed},  {".fnt", "texlib", kMaxSeed},
                 {".pcx", "pcx", kMaxSeed},     {".txi", "remap", kMaxSeed},
                 {".wav", "wav", kMaxSeed / 4}, {".it", "module", kMaxSeed}};
    std::error_code error;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir, error)) {
        const std::string path = e.path().string();
        std::string leaf = std::filesystem::relative(e.path(), dir).string();
        std::replace(leaf.begin(), leaf.end(), '/', '-');
        leaf = prefix + leaf;
        const Bytes b = e.is_regular_file() ? Read(path) : Bytes();
        if (b.empty()) continue;
        Lzw(leaf, b);
        if (Ends(path, ".mdl")) Model(path, leaf, b);
        for (const auto& k : kinds)
            if (Ends(path, k.ext) && b.size() <= k.max) WriteBytes(Seed(k.harness, leaf), b);
    }
}

// Each text a seed; for `options`, '|' separates the arguments (NUL in the input).
void Texts(const char* harness, const std::vector<std::string>& texts) {
    int i = 0;
    for (std::string t : texts) {
        if (std::string(harness) == "options") std::replace(t.begin(), t.end(), '|', '\0');
        WriteBytes(Seed(harness, "seed-" + std::to_string(i++)), Bytes(t.begin(), t.end()));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: fuzz_seeds DATA_DIR OUT_DIR\n");
        return 1;
    }
    out = argv[2];
    if (!MakeDir(out)) {
        std::fprintf(stderr, "fuzz_seeds: cannot make %s\n", out.c_str());
        return 1;
    }
    FromDirectory(argv[1], "show-");
    const std::string test = out + "/.testdata";
    const std::string failed = showdata::WriteShowData(test);
    if (!failed.empty()) {
        std::fprintf(stderr, "fuzz_seeds: test data set: %s\n", failed.c_str());
        return 1;
    }
    FromDirectory(test, "test-");
    Texts("settings",
          {"640 480 1 72 80 1 0 0 0 0", "320 200 0 60 20 1 5 1 1 2", "-1", "2147483647 +0 -0012",
           "4096 4096 1 1000000 1 1 -2147483648 0 0 8", " 1\t2\n3 x 4"});
    Texts("options",
          {"--window|--device|1|640", "--headless|--frames|/tmp/f|--frames-at|1,50,300-310",
           "--capture|show.mp4|--capture-fps|30000/1001|--capture-crf|23|--capture-frames|9",
           "--capture-wav|s.wav|--card-threads|4|--|640|480", "--help"});
    return 0;
}
