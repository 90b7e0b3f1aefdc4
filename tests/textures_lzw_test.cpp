// The LZW coder: the known streams, round trips of varied inputs, block ends, corrupt streams.
#include <algorithm>
#include <map>
#include <random>

#include "lzwc.h"
#include "textures_support.h"

namespace {

const Bytes kTobe = {'T', 'O', 'B', 'E', 'O', 'R', 'N', 'O', 'T', 'T', 'O', 'B',
                     'E', 'O', 'R', 'T', 'O', 'B', 'E', 'O', 'R', 'N', 'O', 'T'};

// The stream of `in`, or {} when the coder refuses it.
Bytes Pack(const Bytes& in) {
    Bytes out(2 * in.size() + 1, 0);
    EXPECT_EQ(lzw_init(8), 0);
    const int n = lzw_compress(in.data(), out.data(), static_cast<int>(in.size()));
    if (n < 0) return {};
    out.resize(static_cast<size_t>(n));
    return out;
}

// Decodes with room for `room` bytes, the result in *result.
Bytes Unpack(const Bytes& stream, size_t room, int* result) {
    Bytes out(room + 1, 0xAA);  // one guard byte past the room
    lzw_init(8);
    *result = lzw_decompress(stream.data(), static_cast<int>(stream.size()), out.data(),
                             static_cast<int>(room));
    lzw_free();
    EXPECT_EQ(out[room], 0xAA) << "decoder wrote past the room it was given";
    out.resize(*result > 0 ? static_cast<size_t>(*result) : 0);
    return out;
}

// Reads the codes of a stream back, tracking the widths as a decoder does.
std::vector<std::pair<int, int>> Codes(const Bytes& s) {
    std::vector<std::pair<int, int>> codes;  // code, width
    size_t pos = 0;
    int width = 9, next = 258;
    bool first = true;
    while (pos + width <= 8 * s.size()) {
        int v = 0;
        for (int i = 0; i < width; ++i, ++pos) v |= ((s[pos / 8] >> (pos % 8)) & 1) << i;
        codes.push_back({v, width});
        if (v == 257 && !first) break;
        if (v == 256 && !first) {
            width = 9, next = 258, first = true;
            continue;
        }
        if (!first && ++next == (1 << width) - 1) ++width;
        first = false;
    }
    return codes;
}

TEST(Lzw, RefusedInputsAndCalls) {
    for (const Bytes& in :
         {Bytes{}, Bytes{7}, Bytes{7, 8}, Bytes(4, 9), Bytes{1, 2, 3, 4, 5, 6, 7, 8}}) {
        Bytes out(2 * in.size() + 2, 0);
        lzw_init(8);
        EXPECT_EQ(lzw_compress(in.data(), out.data(), static_cast<int>(in.size())), -1)
            << in.size() << " bytes";
    }
    EXPECT_EQ((std::vector<int>{lzw_init(0), lzw_init(9), lzw_init(8), lzw_init(8)}),
              (std::vector<int>{-1, -1, 0, 0}));
    lzw_free();
    Bytes out(100, 0);
    EXPECT_EQ(lzw_compress(out.data(), out.data() + 50, 40), -1) << "no dictionary";
    EXPECT_EQ(lzw_decompress(out.data(), 10, out.data() + 50, 40), -1) << "no dictionary";
}

Bytes Random(size_t n, uint32_t seed, int values) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (uint8_t& v : b) v = static_cast<uint8_t>(rng() % values);
    return b;
}

// Input whose encoding adds entry 4095 exactly at its last byte.
Bytes EndingAtFullDictionary() {
    const Bytes src = Random(40000, 11, 3);
    std::map<std::pair<int, uint8_t>, int> entries;  // (prefix code, byte) -> code
    int pending = src[0];
    for (size_t i = 1; i < src.size(); ++i) {
        const auto [at, added] = entries.insert({{pending, src[i]}, 258 + int(entries.size())});
        pending = added ? src[i] : at->second;
        if (entries.size() == 4096 - 258) return Bytes(src.begin(), src.begin() + long(i) + 1);
    }
    return {};
}

// Round trips; only the two codes closing a full block are 13 bits; E bits take E / 8 + 1 bytes.
TEST(Lzw, RoundTripsAndBlockLayout) {
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "the quick brown fox " + std::to_string(i * 7919 % 1000) + " jumps\n";
    const Bytes full = EndingAtFullDictionary();
    Bytes runs;
    for (int v = 0; v < 256; ++v)
        runs.insert(runs.end(), static_cast<size_t>(v % 37 + 3), static_cast<uint8_t>(v));
    const std::pair<std::string, Bytes> cases[] = {
        {"9 equal bytes", Bytes(9, 0x41)},         {"runs", runs},
        {"long run", Bytes(200000, 0xFF)},         {"text", Bytes(text.begin(), text.end())},
        {"random 4 values", Random(100000, 1, 4)}, {"many blocks", Random(400000, 3, 16)},
        {"ends as the dictionary fills", full}};
    for (const auto& [name, in] : cases) {
        ASSERT_FALSE(in.empty()) << name;
        const Bytes out = Pack(in);
        ASSERT_FALSE(out.empty()) << name;
        EXPECT_LE(out.size(), in.size()) << name;
        int got;
        EXPECT_TRUE(Unpack(out, in.size(), &got) == in) << name << ": " << got << " bytes back";
        const auto codes = Codes(out);
        int clears = 0, wide = 0;
        size_t bits = 0;
        for (const auto& [code, width] : codes)
            wide += width == 13, clears += code == 256 && width == 13, bits += size_t(width);
        EXPECT_EQ(codes.back().first, 257) << name;
        EXPECT_EQ(wide, 2 * clears + (codes.back().second == 13 ? 2 : 0)) << name;
        EXPECT_EQ(out.size(), bits / 8 + 1) << name;
    }
    EXPECT_TRUE(Pack(Random(300, 2, 256)).empty()) << "incompressible input is refused";
    // The input that ends exactly at a full dictionary closes with pending + end, both 13 bits.
    const auto tail = Codes(Pack(full));
    ASSERT_GE(tail.size(), 2u);
    const auto pending = tail[tail.size() - 2];
    EXPECT_EQ(tail.back(), std::pair(257, 13)) << "the end code";
    EXPECT_EQ(pending.second, 13) << "the pending code's width";
    EXPECT_NE(pending.first, 256) << "a clear code before the end code";
}

// Runs of random length over a skewed choice of `values` byte values.
Bytes SkewedRuns(size_t n, uint32_t seed, int values, int maxRun) {
    std::mt19937 rng(seed);
    Bytes in(n);
    int run = 0, v = 0;
    for (uint8_t& b : in) {
        if (run-- <= 0)
            run = static_cast<int>(rng() % maxRun),
            v = static_cast<int>(rng() % values) * static_cast<int>(rng() % values) / values;
        b = static_cast<uint8_t>(v);
    }
    return in;
}

uint32_t Fnv1a(const uint8_t* p, size_t n) {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619u;
    return h;
}

// The streams of the trie encoder the coder replaced, byte for byte (length and hash), at every
// symbol width, written into a buffer of garbage never touched beyond 2 x len bytes.
TEST(Lzw, StreamsStayByteForByteAtEveryWidth) {
    const struct {
        size_t n;
        int bits, values, maxRun;
        int length;
        uint32_t hash;
    } cases[] = {
        {5, 8, 3, 3, 5, 0x16809E3Du},
        {31, 8, 12, 3, 23, 0xE74953BAu},
        {200, 8, 256, 40, 66, 0xDA0507F0u},
        {4000, 8, 12, 3, 1405, 0xDFA5D90Bu},
        {4000, 8, 256, 2, 3894, 0xCB1EE5C4u},
        {70000, 8, 12, 3, 22222, 0xF094A94Eu},
        {70000, 8, 200, 40, 12821, 0xF765EBCEu},
        {300000, 8, 16, 3, 109603, 0x077A4615u},
        {300000, 8, 256, 2, 290615, 0xB3AFBB16u},
        {5000, 2, 4, 3, 618, 0xB722CDB0u},
        {5000, 3, 8, 40, 327, 0x1668D139u},
        {20000, 5, 32, 3, 9617, 0x8695B4CFu},
        {70000, 7, 128, 3, 48949, 0xDD64217Du},
        {300000, 4, 16, 40, 20328, 0xF0D8D74Bu},
    };
    for (const auto& c : cases) {
        const Bytes in = SkewedRuns(c.n, static_cast<uint32_t>(c.n + c.bits), c.values, c.maxRun);
        Bytes out(2 * c.n + 16, 0xA5);
        ASSERT_EQ(lzw_init(c.bits), 0);
        const int got = lzw_compress(in.data(), out.data(), static_cast<int>(c.n));
        for (size_t k = 2 * c.n; k < out.size(); ++k)
            ASSERT_EQ(out[k], 0xA5) << "wrote past 2 x len: " << c.n << " bytes";
        EXPECT_EQ(std::pair(got, Fnv1a(out.data(), size_t(std::max(got, 0)))),
                  std::pair(c.length, c.hash))
            << c.n << " bytes of " << c.values << " values, " << c.bits << " bits";
    }
    lzw_init(8);
}

TEST(Lzw, CorruptStreamsFailCleanly) {
    auto stream = [](std::vector<int> codes) {  // 9-bit codes
        Bytes s(codes.size() * 2 + 2, 0);
        size_t pos = 0;
        for (int c : codes)
            for (int i = 0; i < 9; ++i, ++pos)
                s[pos / 8] |= static_cast<uint8_t>(((c >> i) & 1) << (pos % 8));
        s.resize(pos / 8 + 1);
        return s;
    };
    const Bytes good = Pack(kTobe);
    // A full-block stream that runs on past entry 4095: its clear code replaced by data code 65.
    Bytes full = Pack(Random(100000, 3, 16));
    const auto codes = Codes(full);
    size_t bit = 0;
    for (size_t i = 0; codes[i].first != 256 || i == 0; ++i)
        bit += static_cast<size_t>(codes[i].second);
    for (int k = 0; k < 13; ++k, ++bit) {
        const uint8_t m = static_cast<uint8_t>(1u << (bit % 8));
        full[bit / 8] =
            static_cast<uint8_t>(((65 >> k) & 1) ? full[bit / 8] | m : full[bit / 8] & ~m);
    }
    struct Case {
        Bytes in;
        size_t room;
        int expect;
    } cases[] = {
        {stream({65, 300, 257}), 100, -1},               // a code above the next free one
        {stream({258, 257}), 100, -1},                   // the first code above the next free one
        {Bytes(good.begin(), good.end() - 2), 100, -1},  // no end code
        {Bytes{}, 100, -1},
        {good, 10, -1},                        // more than the room
        {stream({65, 66, 257}), 1, -1},        // a root past the room
        {stream({65, 256, 257}), 100, -1},     // clear, then end
        {full, 200000, -1},                    // no clear after a full block
        {stream({65, 66, 258, 257}), 100, 4},  // the first code a root
        {stream({65, 258, 257}), 100, 3},      // a code equal to the next free one
        {stream({257, 257}), 100, 1},          // a leading end code is data
    };
    for (const Case& c : cases) {
        int n;
        Unpack(c.in, c.room, &n);
        EXPECT_EQ(n, c.expect) << "case " << &c - cases;
    }
}

TEST(Lzw, UnpackedSizeIsBoundedByTheStreamLength) {
    for (auto [bytes, most] :
         {std::pair{-5LL, 0LL}, {0LL, 0LL}, {1LL, 0LL}, {2LL, 4096LL}, {9LL, 32768LL}})
        EXPECT_EQ(lzw_max_unpacked(bytes), most) << bytes << " bytes";
    // The most compressible inputs, runs of one byte, stay within the bound at every size.
    for (size_t n : {32u, 4000u, 100000u, 8u << 20}) {
        Bytes stream = Pack(Bytes(n, 0));
        ASSERT_FALSE(stream.empty()) << n;
        EXPECT_LE(static_cast<long long>(n),
                  lzw_max_unpacked(static_cast<long long>(stream.size())))
            << n;
    }
}

}  // namespace
