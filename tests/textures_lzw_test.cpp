// The LZW coder: the known streams, round trips of varied inputs, block ends, corrupt streams.
#include <algorithm>
#include <cstring>
#include <random>

#include "lzwc.h"
#include "textures_support.h"

namespace {

const Bytes kTobe = {'T', 'O', 'B', 'E', 'O', 'R', 'N', 'O', 'T', 'T', 'O', 'B', 'E', 'O', 'R', 'T',
                     'O', 'B', 'E', 'O', 'R', 'N', 'O', 'T'};

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

TEST(Lzw, KnownStreamsAndRefusals) {
    const std::pair<Bytes, Bytes> cases[] = {
        {Bytes(32, 0), {0x00, 0x04, 0x0E, 0x24, 0x58, 0xD0, 0xE0, 0x41, 0x82, 0x01, 0x01}},
        {kTobe, {0x54, 0x9E, 0x08, 0x29, 0xF2, 0x44, 0x8A, 0x93, 0x27, 0x54, 0x04, 0x12, 0x34, 0xB8, 0xB0, 0xE0,
                 0xC1, 0x84, 0x01, 0x01}},
    };
    for (const auto& [in, stream] : cases) {
        EXPECT_EQ(Pack(in), stream) << in.size() << " bytes";
        int n;
        EXPECT_EQ(Unpack(stream, in.size(), &n), in);
        EXPECT_EQ(n, static_cast<int>(in.size()));
    }
    // Streams longer than the input are refused (-1).
    for (const Bytes& in : {Bytes{}, Bytes{7}, Bytes{7, 8}, Bytes(4, 9), Bytes{1, 2, 3, 4, 5, 6, 7, 8}}) {
        Bytes out(2 * in.size() + 2, 0);
        lzw_init(8);
        EXPECT_EQ(lzw_compress(in.data(), out.data(), static_cast<int>(in.size())), -1) << in.size() << " bytes";
    }
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

// Round trips of varied inputs; only the two codes closing a full block are 13 bits wide; the
// length is floor(E / 8) + 1 bytes.
TEST(Lzw, RoundTripsAndBlockLayout) {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "the quick brown fox " + std::to_string(i * 7919 % 1000) + " jumps\n";
    Bytes runs;
    for (int v = 0; v < 256; ++v) runs.insert(runs.end(), static_cast<size_t>(v % 37 + 3), static_cast<uint8_t>(v));
    const std::pair<std::string, Bytes> cases[] = {
        {"9 equal bytes", Bytes(9, 0x41)}, {"runs", runs}, {"long run", Bytes(200000, 0xFF)},
        {"text", Bytes(text.begin(), text.end())}, {"random 4 values", Random(100000, 1, 4)},
        {"fills the dictionary many times", Random(400000, 3, 16)}, {"ends as the dictionary fills", EndingAtFullDictionary()},
    };
    for (const auto& [name, in] : cases) {
        ASSERT_FALSE(in.empty()) << name;
        const Bytes out = Pack(in);
        ASSERT_FALSE(out.empty()) << name;
        EXPECT_LE(out.size(), in.size()) << name;
        int got;
        EXPECT_TRUE(Unpack(out, in.size(), &got) == in) << name;
        EXPECT_EQ(got, static_cast<int>(in.size())) << name;
        const auto codes = Codes(out);
        int clears = 0, wide = 0;
        size_t bits = 0;
        for (const auto& [code, width] : codes) {
            wide += width == 13, clears += code == 256 && width == 13, bits += static_cast<size_t>(width);
        }
        EXPECT_EQ(codes.back().first, 257) << name;
        EXPECT_EQ(wide, 2 * clears + (codes.back().second == 13 ? 2 : 0)) << name;
        EXPECT_EQ(out.size(), bits / 8 + 1) << name;
    }
    EXPECT_TRUE(Pack(Random(300, 2, 256)).empty()) << "incompressible input is refused";
    // First block: 254 x 9, 512 x 10, 1024 x 11, 2048 x 12, 2 x 13 (the last being the clear).
    const auto codes = Codes(Pack(Random(100000, 3, 16)));
    int count[14] = {};
    size_t i = 0;
    for (; i < codes.size() && (codes[i].first != 256 || i == 0); ++i) ++count[codes[i].second];
    ASSERT_LT(i + 1, codes.size());
    EXPECT_EQ((std::vector<int>{254, 512, 1024, 2048, 1, 9}),
              (std::vector<int>{count[9], count[10], count[11], count[12], count[13], codes[i + 1].second}))
        << "the clear is the second 13-bit code; the next block starts with 9-bit codes";
    // The input that ends exactly at a full dictionary closes with pending + end, both 13 bits.
    const auto tail = Codes(Pack(EndingAtFullDictionary()));
    ASSERT_GE(tail.size(), 2u);
    EXPECT_EQ(tail.back(), std::make_pair(257, 13));
    EXPECT_EQ(tail[tail.size() - 2].second, 13);
    EXPECT_NE(tail[tail.size() - 2].first, 256);
}

// The encoder as first written: the trie with a linked list of children per entry, walked
// newest first, writing into a cleared buffer. The streams of the coder must stay these, byte for
// byte, however it finds its children. `bits` is the symbol width.
Bytes ReferencePack(const Bytes& in, int bits) {
    const int clear = 1 << bits, first_free = clear + 2;
    std::vector<int> group(4096), character(4096), child(4096), sibling(4096);
    Bytes out(2 * in.size() + 3, 0);
    size_t pos = 0;
    int width = bits + 1, next = first_free;
    auto reset = [&] {
        std::fill(child.begin(), child.end(), -1);
        width = bits + 1, next = first_free;
    };
    auto put = [&](int code) {
        for (int i = 0; i < width; ++i, ++pos) out[pos / 8] |= static_cast<uint8_t>(((code >> i) & 1) << (pos % 8));
    };
    reset();
    size_t i = 0;
    int pending = in[i++];
    while (i < in.size()) {
        if (pos > 8 * in.size()) return {};
        const int c = in[i++];
        int k = child[pending];
        while (k >= 0 && character[k] != c) k = sibling[k];
        if (k >= 0) {
            pending = k;
            continue;
        }
        put(pending);
        group[next] = pending, character[next] = c, child[next] = -1, sibling[next] = child[pending];
        child[pending] = next++;
        if (next == 1 << width) ++width;
        pending = c;
        if (next == 4096 && i < in.size()) {
            put(pending);
            put(clear);
            reset();
            pending = in[i++];
        }
    }
    put(pending);
    put(clear + 1);
    if (pos > 8 * in.size()) return {};
    out.resize(pos / 8 + 1);
    return out;
}

// Streams identical to the reference encoder's on seeded random inputs of every shape: short and
// long, few and many byte values, skewed, with long runs; written into a buffer full of garbage,
// never touched beyond 2 x len bytes. Narrower symbol widths (2 to 7 bits) too.
TEST(Lzw, StreamsMatchTheReferenceEncoder) {
    std::mt19937 rng(17);
    int compared = 0;
    for (int t = 0; t < 400; ++t) {
        const size_t sizes[] = {1, 2, 3, 4, 5, 8, 31, 200, 4000, 70000, 300000};
        const size_t n = t < 40 ? sizes[t % 11] : t < 360 ? 1 + rng() % 5000 : sizes[9 + t % 2];
        const int bits = t % 9 == 8 ? 2 + static_cast<int>(rng() % 6) : 8;  // width 1 never widens: no stream
        const int values = std::min(1 << bits, 1 + static_cast<int>(rng() % (t % 3 == 0 ? 256 : 12)));
        Bytes in(n);
        int run = 0, v = 0;
        for (uint8_t& b : in) {  // runs of random length over a skewed choice of values
            if (run-- <= 0) run = static_cast<int>(rng() % (t % 4 == 0 ? 40 : 3)), v = static_cast<int>(rng() % values) * static_cast<int>(rng() % values) / values;
            b = static_cast<uint8_t>(v);
        }
        const Bytes want = ReferencePack(in, bits);
        Bytes out(2 * n + 16, 0xA5);
        ASSERT_EQ(lzw_init(bits), 0);
        const int got = lzw_compress(in.data(), out.data(), static_cast<int>(n));
        for (size_t k = 2 * n; k < out.size(); ++k) ASSERT_EQ(out[k], 0xA5) << "wrote past 2 x len, case " << t;
        if (want.empty()) {
            EXPECT_EQ(got, -1) << "case " << t << ": " << n << " bytes, " << bits << " bits";
            continue;
        }
        ASSERT_EQ(got, static_cast<int>(want.size())) << "case " << t << ": " << n << " bytes, " << bits << " bits";
        out.resize(static_cast<size_t>(got));
        ASSERT_TRUE(out == want) << "case " << t << ": " << n << " bytes, " << bits << " bits";
        ++compared;
    }
    lzw_init(8);
    EXPECT_GT(compared, 250) << "most cases must pack, or the comparison says little";
}

TEST(Lzw, CorruptStreamsFailCleanly) {
    auto stream = [](std::vector<int> codes) {  // 9-bit codes
        Bytes s(codes.size() * 2 + 2, 0);
        size_t pos = 0;
        for (int c : codes)
            for (int i = 0; i < 9; ++i, ++pos) s[pos / 8] |= static_cast<uint8_t>(((c >> i) & 1) << (pos % 8));
        s.resize(pos / 8 + 1);
        return s;
    };
    const Bytes good = Pack(kTobe);
    // A full-block stream that runs on past entry 4095: its clear code replaced by data code 65.
    Bytes full = Pack(Random(100000, 3, 16));
    const auto codes = Codes(full);
    size_t bit = 0;
    for (size_t i = 0; codes[i].first != 256 || i == 0; ++i) bit += static_cast<size_t>(codes[i].second);
    for (int k = 0; k < 13; ++k, ++bit) {
        const uint8_t m = static_cast<uint8_t>(1u << (bit % 8));
        full[bit / 8] = static_cast<uint8_t>(((65 >> k) & 1) ? full[bit / 8] | m : full[bit / 8] & ~m);
    }
    struct Case {
        const char* name;
        Bytes in;
        size_t room;
        int expect;
        const char* message;  // on stderr
    } cases[] = {
        {"code above the next free code", stream({65, 300, 257}), 100, -1, "code above the next free code"},
        {"first code above the end code", stream({258, 257}), 100, -1, "code above the next free code"},
        {"no end code", Bytes(good.begin(), good.end() - 2), 100, -1, "ends without an end code"},
        {"empty stream", Bytes{}, 100, -1, "ends without an end code"},
        {"unpacks past the room", good, 10, -1, "unpacks to more than 10 bytes"},
        {"clear then end", stream({65, 256, 257}), 100, -1, "ends without an end code"},
        {"no clear after a full block", full, 200000, -1, ""},
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
    for (const Bytes& src : {Bytes(text.begin(), text.end()), Bytes(30000, 9), Random(60000, 8, 8)}) {
        const Bytes packed = Pack(src);
        for (int t = 0; t < 200; ++t) {
            Bytes bad = packed;
            const size_t flip = rng() % (8 * bad.size());
            bad[flip / 8] ^= static_cast<uint8_t>(1u << (flip % 8));
            int n;
            Unpack(bad, src.size() - t % 2, &n);
            EXPECT_LE(n, static_cast<int>(src.size()));
        }
    }
}

TEST(Lzw, UnpackedSizeIsBoundedByTheStreamLength) {
    EXPECT_EQ((std::vector<long long>{0, 0, 0, 4096, 32768}),
              (std::vector<long long>{lzw_max_unpacked(-5), lzw_max_unpacked(0), lzw_max_unpacked(1),
                                      lzw_max_unpacked(2), lzw_max_unpacked(9)}));
    // The most compressible inputs, runs of one byte, stay within the bound at every size.
    for (size_t n : {32u, 4000u, 100000u, 8u << 20}) {
        Bytes stream = Pack(Bytes(n, 0));
        ASSERT_FALSE(stream.empty()) << n;
        EXPECT_LE(static_cast<long long>(n), lzw_max_unpacked(static_cast<long long>(stream.size()))) << n;
    }
}

TEST(Lzw, InitAndFree) {
    EXPECT_EQ((std::vector<int>{-1, -1, 0, 0}), (std::vector<int>{lzw_init(0), lzw_init(9), lzw_init(8), lzw_init(8)}));
    lzw_free();
    Bytes out(100, 0);
    EXPECT_EQ(lzw_compress(out.data(), out.data() + 50, 40), -1) << "no dictionary";
    EXPECT_EQ(lzw_decompress(out.data(), 10, out.data() + 50, 40), -1) << "no dictionary";
    // Re-initialising after decoding makes the encoder usable again.
    int got;
    Unpack(Pack(Bytes(32, 0)), 32, &got);
    EXPECT_EQ(Pack(Bytes(32, 0)).size(), 11u);
}

}  // namespace
