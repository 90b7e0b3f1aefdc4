// trx_model.cpp: the keyframe model file ("TRXMODEL"), the indexed model file ("TRXMODEL1.0") and
// their mesh blocks (the 40-byte Mesh record and its five tables in one LZW stream).
//
// Files are little-endian and packed; records are assembled byte by byte in buffers. Readers trust
// nothing: every length is checked against the file and every index against its own mesh before
// a table is handed out, so a corrupt file gives -43 and never an out-of-bounds access.
#include <bit>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "le_bytes.h"
#include "lzwc.h"
#include "trx_object.h"

static_assert(std::endian::native == std::endian::little, "model files are read in place");

namespace {

enum {
    kHeaderSize = 105,
    kBannerSize = 64,
    kAnimRecord = 12,
    kKeyRecord = 52,
    kMeshRecord = 40,
    kV1Header = 83,
    kMaxRun = 127
};

// Header fields: both files start with the banner and their magic; then the keyframe file has its
// version and the sizes of its key and animation records, the indexed file where its index lies
// and how many entries it has.
enum {
    kMagicAt = kBannerSize,
    kMajorAt = 75,
    kMinorAt = 76,
    kKeyUsedAt = 77,
    kAnimUsedAt = 81,
    kIndexAt = 75,
    kIndexCountAt = 79
};

const char kMagic[] = "TRXMODEL";
const char kMagicV1[] = "TRXMODEL1.0";
const char kDefaultBanner[] = "TRX model file, written by the Tambir engine";

char errorText[200];

int8_t Corrupt(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(errorText, sizeof errorText, fmt, args);
    va_end(args);
    return MDL_READ;
}

bool ReadBytes(FILE* f, void* p, size_t n) { return std::fread(p, 1, n, f) == n; }
bool WriteBytes(FILE* f, const void* p, size_t n) { return std::fwrite(p, 1, n, f) == n; }

// Bytes from the current position to the end of the file, or -1.
long Remaining(FILE* f) {
    const long at = std::ftell(f);
    if (at < 0 || std::fseek(f, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(f);
    if (std::fseek(f, at, SEEK_SET) != 0 || end < at) return -1;
    return end - at;
}

// Reads a whole record of `size` bytes of which the first `used` carry data; the rest reads as 0.
bool ReadRecord(FILE* f, uint8_t* record, size_t size, uint32_t used) {
    if (!ReadBytes(f, record, size)) return false;
    if (used < size) std::memset(record + used, 0, size - used);
    return true;
}

void CopyBanner(uint8_t* field, const char* banner) {
    std::memset(field, 0, kBannerSize);
    const char* text = banner ? banner : kDefaultBanner;
    std::strncpy(reinterpret_cast<char*>(field), text, kBannerSize - 1);
}

// Unpacked size of a mesh block; -1 for a negative count.
int64_t UnpackedSize(const Mesh* m) {
    if (m->mcount < 0 || m->ncount < 0 || m->wcount < 0 || m->lcount < 0 || m->ccount < 0)
        return -1;
    return kMeshRecord + 60 * int64_t{m->mcount} +
           16 * (int64_t{m->ncount} + m->wcount + m->ccount) + 8 * int64_t{m->lcount};
}

// An LZW stream of literal codes only, for a block that the coder cannot shrink (the format has
// no stored-raw form). It follows the coder's width and block rules, so lzw_decompress reads it
// like any other stream. out: zeroed, at least 2 x len + 16 bytes. Returns the stream length.
int LiteralStream(const uint8_t* in, int len, uint8_t* out) {
    int64_t pos = 0;
    int width = 9, next = 258;
    auto put = [&](uint32_t code) {
        const int64_t at = pos >> 3;
        const uint32_t v = code << (pos & 7);
        out[at] |= static_cast<uint8_t>(v);
        out[at + 1] = static_cast<uint8_t>(v >> 8);
        out[at + 2] = static_cast<uint8_t>(v >> 16);
        pos += width;
    };
    uint32_t pending = in[0];
    int i = 1;
    while (i < len) {
        const uint32_t c = in[i++];
        put(pending);
        if (++next == 1 << width) ++width;
        pending = c;
        if (next == 4096) {
            if (i == len) break;  // closed by the pending code and the end code
            put(pending);
            put(256);
            width = 9;
            next = 258;
            pending = in[i++];
        }
    }
    put(pending);
    put(257);
    return static_cast<int>(pos >> 3) + 1;
}

struct IndexEntry {
    int32_t id;
    int32_t offset;
};

// The indexed model file's index, one per process (one model file is handled at a time).
struct ModelIndex {
    IndexEntry* entries;
    int32_t count, capacity;
} modelIndex;

void FreeIndex() {
    std::free(modelIndex.entries);
    modelIndex = ModelIndex{};
}

bool AppendIndex(int32_t id, int32_t offset) {
    if (modelIndex.count == modelIndex.capacity) {
        void* p =
            std::realloc(modelIndex.entries,
                         (static_cast<size_t>(modelIndex.capacity) + 256) * sizeof(IndexEntry));
        if (!p) return false;
        modelIndex.entries = static_cast<IndexEntry*>(p);
        modelIndex.capacity += 256;
    }
    modelIndex.entries[modelIndex.count++] = IndexEntry{id, offset};
    return true;
}

int8_t CloseWith(FILE* f, int8_t result) {
    std::fclose(f);
    return result;
}

}  // namespace

const char* ModelFileError(void) { return errorText; }

int8_t CheckMesh(const Mesh* m) {
    for (int32_t i = 0; i < m->lcount; ++i) {
        const Link& l = m->ltable[i];
        if (l.normal < 0 || l.normal >= m->ncount)
            return Corrupt("link %d names normal %d of %d", i, l.normal, m->ncount);
        if (l.vertex < 0 || l.vertex >= m->wcount)
            return Corrupt("link %d names vertex %d of %d", i, l.vertex, m->wcount);
    }
    int32_t c = 0;
    while (c < m->ccount) {
        const int32_t n = m->ctable[c].run.count;
        if (n < 1 || n > kMaxRun) return Corrupt("run at command %d counts %d references", c, n);
        if (n > m->ccount - c - 1)
            return Corrupt("command list ends inside the run at command %d", c);
        for (int32_t r = c + 1; r <= c + n; ++r) {
            const VertexRef& v = m->ctable[r].ref;
            if (v.link < 0 || v.link >= m->lcount)
                return Corrupt("reference %d names link %d of %d", r, v.link, m->lcount);
            if (v.material >= m->mcount)
                return Corrupt("reference %d names material %d of %d", r, v.material, m->mcount);
        }
        c += 1 + n;
    }
    return OBJ_OK;
}

int8_t WriteMeshBlock(FILE* f, const Mesh* mesh) {
    errorText[0] = 0;
    // What the reader would refuse is not written: tables beyond the bound, indexes outside the mesh.
    if (mesh->mcount > kMaxMeshElements || mesh->ncount > kMaxMeshElements ||
        mesh->wcount > kMaxMeshElements || mesh->lcount > kMaxMeshElements ||
        mesh->ccount > kMaxMeshElements) {
        Corrupt(
            "mesh tables (%d, %d, %d, %d, %d) exceed the %d elements per table one model may draw",
            mesh->mcount, mesh->ncount, mesh->wcount, mesh->lcount, mesh->ccount, kMaxMeshElements);
        return MDL_WRITE;
    }
    if (CheckMesh(mesh) != OBJ_OK) return MDL_WRITE;
    const int64_t u = UnpackedSize(mesh);
    if (u < 0 || u > (INT32_MAX - 16) / 2) return MDL_NO_MEMORY;
    const int len = static_cast<int>(u);
    uint8_t* unpacked = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(len)));
    uint8_t* out = static_cast<uint8_t*>(std::calloc(2 * static_cast<size_t>(len) + 16, 1));
    if (!unpacked || !out) {
        std::free(unpacked);
        std::free(out);
        return MDL_NO_MEMORY;
    }
    // The pointer slots carry no meaning in a file; they are written as 0.
    MeshFileRecord rec = {0, mesh->mcount, 0, mesh->ncount, 0, mesh->wcount,
                          0, mesh->lcount, 0, mesh->ccount};
    uint8_t* p = unpacked;
    std::memcpy(p, &rec, kMeshRecord);
    p += kMeshRecord;
    auto table = [&](const void* t, int32_t count, size_t size) {
        if (count > 0) std::memcpy(p, t, static_cast<size_t>(count) * size);
        p += static_cast<size_t>(count) * size;
    };
    table(mesh->mtable, mesh->mcount, sizeof(Material));
    table(mesh->ntable, mesh->ncount, sizeof(Vec4));
    table(mesh->wtable, mesh->wcount, sizeof(Vec4));
    table(mesh->ltable, mesh->lcount, sizeof(Link));
    table(mesh->ctable, mesh->ccount, sizeof(Command));

    if (lzw_init(8) != 0) {
        std::free(unpacked);
        std::free(out);
        return MDL_NO_MEMORY;
    }
    int s = lzw_compress(unpacked, out, len);
    if (s < 0) {
        std::memset(out, 0, 2 * static_cast<size_t>(len) + 16);
        s = LiteralStream(unpacked, len, out);
    }
    uint8_t head[8];
    PutLe32(head, static_cast<uint32_t>(s));
    PutLe32(head + 4, static_cast<uint32_t>(len));
    const bool ok = WriteBytes(f, head, 8) && WriteBytes(f, out, static_cast<size_t>(s));
    std::free(unpacked);
    std::free(out);
    return ok ? OBJ_OK : MDL_WRITE;
}

static int8_t ReadMeshBlockWithin(FILE* f, Mesh* mesh, int64_t* budget);

int8_t ReadMeshBlock(FILE* f, Mesh* mesh) {
    int64_t budget = kMaxModelBytes;
    return ReadMeshBlockWithin(f, mesh, &budget);
}

// ReadMeshBlock for a block of a model file whose meshes may unpack to *budget more bytes; the
// block's share is taken off it.
static int8_t ReadMeshBlockWithin(FILE* f, Mesh* mesh, int64_t* budget) {
    std::memset(static_cast<void*>(mesh), 0, sizeof *mesh);
    uint8_t head[8];
    if (!ReadBytes(f, head, 8)) return Corrupt("file ends inside a mesh block");
    const int32_t s = GetLeI32(head), u = GetLeI32(head + 4);
    const long left = Remaining(f);
    if (s < 1 || s > left)
        return Corrupt("mesh block stores %d bytes, %ld left in the file", s, left);
    // Every code takes at least 9 bits and stands for at most 4095 bytes.
    if (u < kMeshRecord || int64_t{u} > int64_t{s} * 4096)
        return Corrupt("mesh block of %d bytes claims to unpack to %d", s, u);
    // Nothing is allocated for a block larger than the largest mesh one model may draw.
    const Mesh largest = {nullptr, kMaxMeshElements, nullptr, kMaxMeshElements,
                          nullptr, kMaxMeshElements, nullptr, kMaxMeshElements,
                          nullptr, kMaxMeshElements};
    if (int64_t{u} > UnpackedSize(&largest))
        return Corrupt("mesh block unpacks to %d bytes, more than a mesh of %d elements per table",
                       u, kMaxMeshElements);
    if (int64_t{u} > *budget)
        return Corrupt("mesh blocks unpack to more than the %d bytes one model may hold",
                       kMaxModelBytes);
    uint8_t* src = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(s)));
    uint8_t* buf = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(u)));
    int8_t result = OBJ_OK;
    if (!src || !buf) {
        result = MDL_NO_MEMORY;
    } else if (!ReadBytes(f, src, static_cast<size_t>(s))) {
        result = Corrupt("file ends inside a mesh block");
    } else if (lzw_init(8) != 0) {
        result = MDL_NO_MEMORY;
    } else {
        const int n = lzw_decompress(src, s, buf, u);
        lzw_free();
        if (n != u) result = Corrupt("mesh block stream does not unpack to its %d bytes", u);
    }
    if (result == OBJ_OK) {
        MeshFileRecord rec;
        std::memcpy(&rec, buf, kMeshRecord);
        Mesh m = {nullptr,    rec.mcount, nullptr,    rec.ncount, nullptr,
                  rec.wcount, nullptr,    rec.lcount, nullptr,    rec.ccount};
        const int64_t need = UnpackedSize(&m);
        if (need < 0 || need > u) {
            result = Corrupt("mesh tables (%d, %d, %d, %d, %d) do not fit %d bytes", m.mcount,
                             m.ncount, m.wcount, m.lcount, m.ccount, u);
        } else if (m.mcount > kMaxMeshElements || m.ncount > kMaxMeshElements ||
                   m.wcount > kMaxMeshElements || m.lcount > kMaxMeshElements ||
                   m.ccount > kMaxMeshElements) {
            result = Corrupt(
                "mesh tables (%d, %d, %d, %d, %d) exceed the %d elements per table one model may "
                "draw",
                m.mcount, m.ncount, m.wcount, m.lcount, m.ccount, kMaxMeshElements);
        } else {
            const uint8_t* p = buf + kMeshRecord;
            bool ok = true;
            auto table = [&](void** t, int32_t count, size_t size) {
                const size_t bytes = static_cast<size_t>(count) * size;
                if (count > 0 && ok) {
                    *t = std::malloc(bytes);
                    if (*t)
                        std::memcpy(*t, p, bytes);
                    else
                        ok = false;
                }
                p += bytes;
            };
            table(reinterpret_cast<void**>(&m.mtable), m.mcount, sizeof(Material));
            table(reinterpret_cast<void**>(&m.ntable), m.ncount, sizeof(Vec4));
            table(reinterpret_cast<void**>(&m.wtable), m.wcount, sizeof(Vec4));
            table(reinterpret_cast<void**>(&m.ltable), m.lcount, sizeof(Link));
            table(reinterpret_cast<void**>(&m.ctable), m.ccount, sizeof(Command));
            if (!ok)
                result = MDL_NO_MEMORY;
            else
                result = CheckMesh(&m);
            if (result == OBJ_OK) {
                *mesh = m;
                *budget -= u;
            } else {
                FreeMesh(&m);
            }
        }
    }
    std::free(src);
    std::free(buf);
    return result;
}

int8_t SkipMeshBlock(FILE* f) {
    uint8_t head[8];
    if (!ReadBytes(f, head, 8)) return Corrupt("file ends inside a mesh block");
    const int32_t s = GetLeI32(head);
    const long left = Remaining(f);
    if (s < 0 || s > left)
        return Corrupt("mesh block stores %d bytes, %ld left in the file", s, left);
    if (std::fseek(f, s, SEEK_CUR) != 0) return Corrupt("cannot skip a mesh block");
    return OBJ_OK;
}

int8_t SaveModel(const Object* obj, const char* file, const char* banner) {
    FILE* f = std::fopen(file, "wb");
    if (!f) return MDL_CREATE;
    uint8_t header[kHeaderSize] = {};
    CopyBanner(header, banner);
    std::memcpy(header + kMagicAt, kMagic, 8);
    header[kMajorAt] = 1;
    header[kMinorAt] = 1;
    PutLe32(header + kKeyUsedAt, static_cast<uint32_t>(kKeyRecord));
    PutLe32(header + kAnimUsedAt, static_cast<uint32_t>(kAnimRecord));
    if (!WriteBytes(f, header, kHeaderSize)) return CloseWith(f, MDL_WRITE);
    uint8_t rec[kKeyRecord];
    for (const Anim* a = obj->anims; a; a = a->next) {
        PutLe32(rec, static_cast<uint32_t>(a->id));
        PutLe32(rec + 4, static_cast<uint32_t>(a->span));
        PutLe32(rec + 8, static_cast<uint32_t>(a->flags));
        if (!WriteBytes(f, rec, kAnimRecord)) return CloseWith(f, MDL_WRITE);
        const Keyframe* k = a->keys;
        if (k) {
            do {
                KeyInfo info;
                info.flags = k->flags;
                info.shared_frame = k->shared_frame;
                std::memcpy(info.translation, k->translation, sizeof info.translation);
                std::memcpy(info.rotation, k->rotation, sizeof info.rotation);
                std::memcpy(info.scale, k->scale, sizeof info.scale);
                info.point_base = k->point_base;
                PutLe32(rec, static_cast<uint32_t>(k->frame));
                std::memcpy(rec + 4, &info, sizeof info);
                if (!WriteBytes(f, rec, kKeyRecord)) return CloseWith(f, MDL_WRITE);
                int8_t r = WriteMeshBlock(f, &k->mesh);
                if (r) return CloseWith(f, r);
                k = k->next;
            } while (k != a->keys);
        }
        std::memset(rec, 0, sizeof rec);
        PutLe32(rec, static_cast<uint32_t>(-1));
        if (!WriteBytes(f, rec, kKeyRecord)) return CloseWith(f, MDL_WRITE);
    }
    std::memset(rec, 0, sizeof rec);
    PutLe32(rec, static_cast<uint32_t>(-1));
    PutLe32(rec + 4, static_cast<uint32_t>(-1));
    if (!WriteBytes(f, rec, kAnimRecord)) return CloseWith(f, MDL_WRITE);
    return std::fclose(f) == 0 ? OBJ_OK : MDL_WRITE;
}

int8_t LoadModel(Object* obj, const char* file, char* banner) {
    errorText[0] = 0;
    FILE* f = std::fopen(file, "rb");
    if (!f) return MDL_OPEN;
    uint8_t header[kHeaderSize];
    if (!ReadBytes(f, header, kHeaderSize))
        return CloseWith(f, Corrupt("file shorter than its header"));
    if (banner) std::memcpy(banner, header, kBannerSize);
    if (std::memcmp(header + kMagicAt, kMagic, 8) != 0) return CloseWith(f, MDL_MAGIC);
    // Version bytes are unsigned: 0xFF is version 255, not -1, and is newer than this reader.
    const uint8_t major = header[kMajorAt], minor = header[kMinorAt];
    if (major > 1 || (major == 1 && minor > 1)) return CloseWith(f, MDL_VERSION);
    uint32_t keyUsed, animUsed;
    std::memcpy(&keyUsed, header + kKeyUsedAt, 4);
    std::memcpy(&animUsed, header + kAnimUsedAt, 4);

    int64_t budget = kMaxModelBytes;
    uint8_t rec[kKeyRecord];
    if (!ReadRecord(f, rec, kAnimRecord, animUsed))
        return CloseWith(f, Corrupt("file ends before its end record"));
    while (GetLeI32(rec) != -1) {
        const int32_t id = GetLeI32(rec), span = GetLeI32(rec + 4), flags = GetLeI32(rec + 8);
        int8_t r = AddAnim(obj, id);
        const bool duplicate = r == OBJ_ANIM_EXISTS;
        if (r && !duplicate) return CloseWith(f, r);
        for (;;) {
            if (!ReadRecord(f, rec, kKeyRecord, keyUsed))
                return CloseWith(f, Corrupt("file ends inside animation %d", id));
            const int32_t frame = GetLeI32(rec);
            if (frame == -1) break;
            if (duplicate) {
                r = SkipMeshBlock(f);
                if (r) return CloseWith(f, r);
                continue;
            }
            KeyInfo info;
            std::memcpy(&info, rec + 4, sizeof info);
            Mesh mesh;
            r = ReadMeshBlockWithin(f, &mesh, &budget);
            if (r) return CloseWith(f, r);
            r = AddKeyframe(obj, &mesh, frame, &info);
            FreeMesh(&mesh);  // empty unless the keyframe did not take it
            if (r) return CloseWith(f, r);
        }
        if (!duplicate) {
            SetAnimSpan(obj, span);
            SetAnimFlags(obj, flags, 0x7FFFFFFF);
        }
        if (!ReadRecord(f, rec, kAnimRecord, animUsed))
            return CloseWith(f, Corrupt("file ends before its end record"));
    }
    return CloseWith(f, OBJ_OK);
}

int8_t SaveModelV1(const Object* obj, const char* file, const char* banner) {
    FILE* f = std::fopen(file, "wb");
    if (!f) return MDL_CREATE;
    FreeIndex();
    uint8_t header[kV1Header] = {};
    CopyBanner(header, banner);
    std::memcpy(header + kMagicAt, kMagicV1, 11);
    int8_t result = WriteBytes(f, header, kV1Header) ? OBJ_OK : MDL_WRITE;
    for (const Anim* a = obj->anims; a && !result; a = a->next) {
        const Keyframe* k = a->keys;
        if (!k) continue;
        do {
            const long at = std::ftell(f);
            if (at < 0 || at > INT32_MAX)
                result = MDL_WRITE;
            else if (!AppendIndex(a->id, static_cast<int32_t>(at)))
                result = MDL_NO_MEMORY;
            else
                result = WriteMeshBlock(f, &k->mesh);
            k = k->next;
        } while (k != a->keys && !result);
    }
    if (!result) {
        const long at = std::ftell(f);
        uint8_t place[8];
        PutLe32(place, (uint32_t) static_cast<int32_t>(at));
        PutLe32(place + 4, static_cast<uint32_t>(modelIndex.count));
        const size_t n = static_cast<size_t>(modelIndex.count);
        if (at < 0 || at > INT32_MAX ||
            (n && std::fwrite(modelIndex.entries, sizeof(IndexEntry), n, f) != n) ||
            std::fseek(f, kIndexAt, SEEK_SET) != 0 || !WriteBytes(f, place, 8))
            result = MDL_WRITE;
    }
    FreeIndex();
    if (std::fclose(f) != 0 && !result) result = MDL_WRITE;
    return result;
}

int8_t LoadModelV1(Object* obj, const char* file, char* banner) {
    errorText[0] = 0;
    FILE* f = std::fopen(file, "rb");
    if (!f) return MDL_OPEN;
    uint8_t header[kV1Header];
    if (!ReadBytes(f, header, kBannerSize))
        return CloseWith(f, Corrupt("file shorter than its banner"));
    if (banner) std::memcpy(banner, header, kBannerSize);
    if (!ReadBytes(f, header + kMagicAt, 11))
        return CloseWith(f, Corrupt("file shorter than its magic"));
    if (std::memcmp(header + kMagicAt, kMagicV1, 11) != 0) return CloseWith(f, MDL_MAGIC);
    if (!ReadBytes(f, header + kIndexAt, 8))
        return CloseWith(f, Corrupt("file shorter than its header"));
    const int32_t offset = GetLeI32(header + kIndexAt), count = GetLeI32(header + kIndexCountAt);
    if (std::fseek(f, 0, SEEK_END) != 0) return CloseWith(f, Corrupt("cannot seek"));
    const long size = std::ftell(f);
    if (offset < 0 || count < 0 || offset > size || int64_t{count} * 8 > size - offset)
        return CloseWith(f,
                         Corrupt("index of %d entries at %d lies outside the file", count, offset));
    FreeIndex();
    int8_t result = OBJ_OK;
    if (count > 0) {
        modelIndex.entries =
            static_cast<IndexEntry*>(std::malloc(static_cast<size_t>(count) * sizeof(IndexEntry)));
        if (!modelIndex.entries) return CloseWith(f, MDL_NO_MEMORY);
        modelIndex.count = modelIndex.capacity = count;
        if (std::fseek(f, offset, SEEK_SET) != 0 ||
            std::fread(modelIndex.entries, sizeof(IndexEntry), static_cast<size_t>(count), f) !=
                static_cast<size_t>(count))
            result = Corrupt("file ends inside the index");
    }
    bool skipping = false;
    int64_t budget = kMaxModelBytes;
    for (int32_t i = 0; i < count && !result; ++i) {
        const IndexEntry e = modelIndex.entries[i];
        if (i == 0 || e.id != modelIndex.entries[i - 1].id) {
            const int8_t r = AddAnim(obj, e.id);
            if (r && r != OBJ_ANIM_EXISTS) {
                result = r;
                break;
            }
            skipping = r == OBJ_ANIM_EXISTS;  // an animation the object has already: not touched
        }
        if (skipping) continue;
        if (e.offset < 0 || e.offset >= size || std::fseek(f, e.offset, SEEK_SET) != 0) {
            result = Corrupt("index entry %d points at %d, outside the file", i, e.offset);
            break;
        }
        Mesh mesh;
        result = ReadMeshBlockWithin(f, &mesh, &budget);
        if (!result) {
            result = AppendKeyframe(obj, &mesh);
            FreeMesh(&mesh);
        }
    }
    FreeIndex();
    if (!result) SetFrame(obj, 0);
    return CloseWith(f, result);
}
