// The LZW coder: the known streams, round trips of varied inputs, block ends, corrupt streams.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "lzwc.h"

namespace {

typedef std::vector<uint8_t> Bytes;

// The stream of `in`, or {} when the coder refuses it.
Bytes Pack(const Bytes& in) {
    Bytes out(2 * in.size() + 1, 0);
    EXPECT_EQ(lzw_init(8), 0);
    const int n = lzw_compress(in.data(), out.data(), static_cast<int>(in.size()));
    if (n < 0) return {};
    out.resize(static_cast<size_t>(n));
    return out;
}

// Decodes with room for `room` bytes; the result, or {-1} marker in `ok`.
Bytes Unpack(const Bytes& stream, size_t room, int* result) {
    Bytes out(room + 1, 0xAA);  // one guard byte past the room
    lzw_init(8);
    *result = lzw_decompress(stream.data(), static_cast<int>(stream.size()), out.data(), static_cast<int>(room));
    lzw_free();
    EXPECT_EQ(out[room], 0xAA) << "decoder wrote past the room it was given";
    out.resize(*result > 0 ? static_cast<size_t>(*result) : 0);
    return out;
}

std::string Hex(const Bytes& b) {
    std::string s;
    char buf[4];
    for (uint8_t v : b) {
        std::snprintf(buf, sizeof buf, "%02X ", v);
        s += buf;
    }
    return s;
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

TEST(Lzw, KnownStreams) {
    struct Case {
        const char* name;
        Bytes in;
        Bytes out;
    };
    const Case cases[] = {
        {"32 zero bytes", Bytes(32, 0), {0x00, 0x04, 0x0E, 0x24, 0x58, 0xD0, 0xE0, 0x41, 0x82, 0x01, 0x01}},
        {"TOBEORNOT", Bytes{'T', 'O', 'B', 'E', 'O', 'R', 'N', 'O', 'T', 'T', 'O', 'B', 'E', 'O', 'R', 'T',
                            'O', 'B', 'E', 'O', 'R', 'N', 'O', 'T'},
         {0x54, 0x9E, 0x08, 0x29, 0xF2, 0x44, 0x8A, 0x93, 0x27, 0x54, 0x04, 0x12, 0x34, 0xB8, 0xB0, 0xE0,
          0xC1, 0x84, 0x01, 0x01}},
    };
    for (const Case& c : cases) {
        const Bytes got = Pack(c.in);
        EXPECT_EQ(Hex(got), Hex(c.out)) << c.name;
        int n;
        EXPECT_EQ(Unpack(c.out, c.in.size(), &n), c.in) << c.name;
        EXPECT_EQ(n, static_cast<int>(c.in.size())) << c.name;
    }
    const Bytes zeros = Pack(Bytes(32, 0));
    std::vector<std::pair<int, int>> expect = {{0, 9}, {258, 9}, {259, 9}, {260, 9}, {261, 9},
                                               {262, 9}, {263, 9}, {260, 9}, {257, 9}};
    EXPECT_EQ(Codes(zeros), expect);
}

TEST(Lzw, RefusesStreamsLongerThanInput) {
    struct Case {
        const char* name;
        Bytes in;
    };
    const Case cases[] = {{"1 byte", Bytes{7}}, {"2 bytes", Bytes{7, 8}}, {"run of 4", Bytes(4, 9)},
                          {"8 distinct", Bytes{1, 2, 3, 4, 5, 6, 7, 8}}};
    for (const Case& c : cases) {
        Bytes out(2 * c.in.size(), 0);
        lzw_init(8);
        EXPECT_EQ(lzw_compress(c.in.data(), out.data(), static_cast<int>(c.in.size())), -1) << c.name;
    }
    Bytes out(2, 0);
    lzw_init(8);
    EXPECT_EQ(lzw_compress(out.data(), out.data(), 0), -1) << "empty input";
}

Bytes Random(size_t n, uint32_t seed, int values) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (uint8_t& v : b) v = static_cast<uint8_t>(rng() % values);
    return b;
}

// Input whose encoding adds entry 4095 exactly at its last byte: found by growing a prefix of a
// longer low-entropy input until one more byte would start a second block.
Bytes EndingAtFullDictionary() {
    const Bytes src = Random(40000, 11, 3);
    // Count entries as the encoder adds them: each miss adds one.
    std::vector<std::vector<std::pair<uint8_t, int>>> children(4096);
    int next = 258;
    int pending = src[0];
    for (size_t i = 1; i < src.size(); ++i) {
        int found = -1;
        for (auto& [ch, code] : children[pending])
            if (ch == src[i]) found = code;
        if (found >= 0) {
            pending = found;
            continue;
        }
        children[pending].push_back({src[i], next++});
        pending = src[i];
        if (next == 4096) return Bytes(src.begin(), src.begin() + static_cast<long>(i) + 1);
    }
    return {};
}

TEST(Lzw, RoundTrips) {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "the quick brown fox " + std::to_string(i * 7919 % 1000) + " jumps\n";
    struct Case {
        std::string name;
        Bytes in;
        int blocks;  // expected clear codes + 1, or 0 = not checked
    };
    std::vector<Case> cases = {
        {"9 equal bytes", Bytes(9, 0x41), 1},
        {"runs", [] {
             Bytes b;
             for (int v = 0; v < 256; ++v) b.insert(b.end(), static_cast<size_t>(v % 37 + 3), static_cast<uint8_t>(v));
             return b;
         }(), 1},
        {"long run", Bytes(200000, 0xFF), 0},
        {"text", Bytes(text.begin(), text.end()), 0},
        {"random 4 values", Random(100000, 1, 4), 0},
        {"random bytes, high entropy", Random(300, 2, 256), 0},
        {"fills the dictionary many times", Random(400000, 3, 16), 0},
        {"ends as the dictionary fills", EndingAtFullDictionary(), 1},
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(c.in.empty()) << c.name;
        Bytes out(2 * c.in.size(), 0);
        lzw_init(8);
        int n = lzw_compress(c.in.data(), out.data(), static_cast<int>(c.in.size()));
        if (n < 0) {
            EXPECT_EQ(c.name, "random bytes, high entropy") << "only incompressible input is refused";
            continue;
        }
        EXPECT_LE(n, static_cast<int>(c.in.size())) << c.name;
        out.resize(static_cast<size_t>(n));
        int got;
        EXPECT_TRUE(Unpack(out, c.in.size(), &got) == c.in) << c.name;
        EXPECT_EQ(got, static_cast<int>(c.in.size())) << c.name;

        // Only the two codes closing a full block are 13 bits wide, and a block ends only full.
        const auto codes = Codes(out);
        int clears = 0, wide = 0;
        for (size_t i = 0; i < codes.size(); ++i) {
            if (codes[i].second == 13) ++wide;
            if (codes[i].first == 256 && codes[i].second == 13) ++clears;
        }
        ASSERT_FALSE(codes.empty());
        EXPECT_EQ(codes.back().first, 257) << c.name;
        if (c.blocks) {
            EXPECT_EQ(clears + 1, c.blocks) << c.name;
        }
        EXPECT_EQ(wide, 2 * clears + (codes.back().second == 13 ? 2 : 0)) << c.name;
        // Length rule: floor(E / 8) + 1 bytes.
        size_t bits = 0;
        for (const auto& cw : codes) bits += static_cast<size_t>(cw.second);
        EXPECT_EQ(out.size(), bits / 8 + 1) << c.name;
    }
}

TEST(Lzw, FullBlockLayout) {
    const Bytes in = Random(100000, 3, 16);
    const Bytes s = Pack(in);
    ASSERT_FALSE(s.empty());
    const auto codes = Codes(s);
    // First block: 254 x 9, 512 x 10, 1024 x 11, 2048 x 12, 2 x 13 (the last being the clear).
    int count[14] = {};
    size_t i = 0;
    for (; i < codes.size(); ++i) {
        ++count[codes[i].second];
        if (codes[i].first == 256 && i > 0) break;
    }
    EXPECT_EQ(count[9], 254);
    EXPECT_EQ(count[10], 512);
    EXPECT_EQ(count[11], 1024);
    EXPECT_EQ(count[12], 2048);
    EXPECT_EQ(count[13], 2);
    ASSERT_LT(i + 1, codes.size());
    EXPECT_EQ(codes[i + 1].second, 9) << "the next block starts with 9-bit codes";

    // The input that ends exactly at a full dictionary closes with pending + end, both 13 bits.
    const Bytes edge = Pack(EndingAtFullDictionary());
    const auto tail = Codes(edge);
    ASSERT_GE(tail.size(), 2u);
    EXPECT_EQ(tail.back(), std::make_pair(257, 13));
    EXPECT_NE(tail[tail.size() - 2].first, 256);
}

TEST(Lzw, CorruptStreamsFailCleanly) {
    const Bytes good = Pack(Bytes{'T', 'O', 'B', 'E', 'O', 'R', 'N', 'O', 'T', 'T', 'O', 'B', 'E', 'O',
                                  'R', 'T', 'O', 'B', 'E', 'O', 'R', 'N', 'O', 'T'});
    // Writes 9-bit codes into a stream.
    auto stream = [](std::vector<int> codes) {
        Bytes s(codes.size() * 2 + 2, 0);
        size_t pos = 0;
        for (int c : codes)
            for (int i = 0; i < 9; ++i, ++pos) s[pos / 8] |= static_cast<uint8_t>(((c >> i) & 1) << (pos % 8));
        s.resize(pos / 8 + 1);
        return s;
    };
    struct Case {
        const char* name;
        Bytes in;
        size_t room;
        int expect;
        const char* message;  // on stderr
    };
    const Case cases[] = {
        {"code above the next free code", stream({65, 300, 257}), 100, -1, "code above the next free code"},
        {"first code above the end code", stream({258, 257}), 100, -1, "code above the next free code"},
        {"no end code", Bytes(good.begin(), good.end() - 2), 100, -1, "ends without an end code"},
        {"empty stream", Bytes{}, 100, -1, "ends without an end code"},
        {"unpacks past the room", good, 10, -1, "unpacks to more than 10 bytes"},
        {"clear then end", stream({65, 256, 257}), 100, -1, "ends without an end code"},
        {"first code a root", stream({65, 66, 258, 257}), 100, 4, ""},
        {"code equal to next free", stream({65, 258, 257}), 100, 3, ""},
        {"leading end code is data", stream({257, 257}), 100, 1, ""},
    };
    for (const Case& c : cases) {
        int n;
        testing::internal::CaptureStderr();
        Unpack(c.in, c.room, &n);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(n, c.expect) << c.name;
        EXPECT_NE(err.find(c.message), std::string::npos) << c.name << ": expected \"" << c.message << "\" got \"" << err << "\"";
    }
    // Flipped bits in valid streams (long strings, runs, several blocks): any result, never a
    // read or write outside the buffers, and a decodable stream stays within its room.
    std::mt19937 rng(5);
    std::string text;
    for (int i = 0; i < 2000; ++i) text += "abcabcabd" + std::to_string(i % 13);
    const Bytes sources[] = {Bytes(text.begin(), text.end()), Bytes(30000, 9), Random(60000, 8, 8)};
    for (const Bytes& src : sources) {
        const Bytes packed = Pack(src);
        ASSERT_FALSE(packed.empty());
        for (int t = 0; t < 200; ++t) {
            Bytes bad = packed;
            const size_t bit = rng() % (8 * bad.size());
            bad[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
            int n;
            Unpack(bad, src.size() - t % 2, &n);
            EXPECT_LE(n, static_cast<int>(src.size()));
        }
    }
    // A full-block stream that runs on past entry 4095 without a clear code.
    Bytes full = Pack(Random(100000, 3, 16));
    auto codes = Codes(full);
    size_t bit = 0, i = 0;
    for (; codes[i].first != 256 || i == 0; ++i) bit += static_cast<size_t>(codes[i].second);
    // Replace the clear code by a data code 65.
    for (int k = 0; k < 13; ++k, ++bit) {
        const uint8_t m = static_cast<uint8_t>(1u << (bit % 8));
        full[bit / 8] = static_cast<uint8_t>(((65 >> k) & 1) ? full[bit / 8] | m : full[bit / 8] & ~m);
    }
    int n;
    Unpack(full, 200000, &n);
    EXPECT_EQ(n, -1);
}

TEST(Lzw, InitAndFree) {
    EXPECT_EQ(lzw_init(0), -1);
    EXPECT_EQ(lzw_init(9), -1);
    EXPECT_EQ(lzw_init(8), 0);
    EXPECT_EQ(lzw_init(8), 0);
    lzw_free();
    Bytes out(100, 0);
    EXPECT_EQ(lzw_compress(out.data(), out.data() + 50, 40), -1) << "no dictionary";
    EXPECT_EQ(lzw_decompress(out.data(), 10, out.data() + 50, 40), -1) << "no dictionary";
    // Re-initialising after decoding makes the encoder usable again.
    const Bytes in(32, 0);
    EXPECT_EQ(Pack(in).size(), 11u);
    int got;
    Unpack(Pack(in), 32, &got);
    EXPECT_EQ(Pack(in).size(), 11u);
}

}  // namespace
