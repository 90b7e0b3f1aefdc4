// lzwc.cpp: the LZW coder (see lzwc.h).
#include "lzwc.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kDicSize = 4096;  // entries; codes are at most 12 bits, written with up to 13
// The encoder finds the child of (prefix code, byte) in an open-addressed table of 2^16 slots,
// at most a sixteenth full, instead of walking the trie's child lists. A slot holds
// (prefix << 8 | byte) << 12 | code, or kFreeSlot: no lookup ever has the key 0xFFFFF, since a
// block ends as soon as entry 4095 exists. Larger tables do not fit the 16-bit slot numbers of
// encode_slot; smaller ones (measured: 2^13 to 2^15) collide more and pack more slowly.
constexpr int kHashBits = 16;
constexpr int kHashSize = 1 << kHashBits;
constexpr uint32_t kFreeSlot = 0xFFFFFFFFu;

// The coder's state, one per process.
struct LzwState {
    int bits;        // symbol width the dictionary is set up for; 0 = no dictionary
    int clear_code;  // 2^bits
    int end_code;    // 2^bits + 1
    int first_free;  // 2^bits + 2
    int init_width;  // bits + 1
    int cur_width;   // width of the next code
    int next_free;   // next dictionary code to assign
    int last_first;  // decoder: first byte of the string expanded last
};

// The dictionary, followed in the same block by the decoder's table of where in its output each
// entry's string was last written, the encoder's hash of the trie and the slot of each entry in
// the hash (so that a new block frees just the used slots).
LzwEntry* compress_dic = nullptr;
int32_t* decode_at = nullptr;
uint32_t* encode_hash = nullptr;
uint16_t* encode_slot = nullptr;
LzwState lzw = {};

void Reset() {
    lzw.cur_width = lzw.init_width;
    lzw.next_free = lzw.first_free;
    for (int i = 0; i < lzw.clear_code; ++i)
        compress_dic[i] = LzwEntry{static_cast<int16_t>(i), -1, -1, -1};
}

int Corrupt(const char* check, long at) {
    std::fprintf(stderr, "lzwc: corrupt stream at bit %ld: %s\n", at, check);
    return -1;
}

}  // namespace

int lzw_init(int bits) {
    if (bits < 1 || bits > 8) return -1;
    if (compress_dic && bits == lzw.bits) {
        Reset();
        return 0;
    }
    if (!compress_dic) {
        compress_dic = static_cast<LzwEntry*>(
            std::malloc(kDicSize * (sizeof(LzwEntry) + sizeof(int32_t) + sizeof(uint16_t)) +
                        kHashSize * sizeof(uint32_t)));
        if (!compress_dic) {
            lzw.bits = 0;
            return -1;
        }
        decode_at = reinterpret_cast<int32_t*>(compress_dic + kDicSize);
        encode_hash = reinterpret_cast<uint32_t*>(decode_at + kDicSize);
        encode_slot = reinterpret_cast<uint16_t*>(encode_hash + kHashSize);
    }
    lzw.clear_code = 1 << bits;
    lzw.end_code = lzw.clear_code + 1;
    lzw.first_free = lzw.clear_code + 2;
    lzw.init_width = bits + 1;
    Reset();
    lzw.bits = bits;
    return 0;
}

void lzw_free(void) {
    std::free(compress_dic);
    compress_dic = nullptr;
    decode_at = nullptr;
    encode_hash = nullptr;
    encode_slot = nullptr;
    lzw.bits = 0;
}

namespace {

// lzw_compress for len >= kShortInput: dst then has room for the 8-byte stores.
constexpr int kShortInput = 16;

int Compress(const uint8_t* in, uint8_t* const out, int len) {
    const uint8_t* const end = in + len;
    const int64_t limit = 8 * static_cast<int64_t>(len);
    const int clear = lzw.clear_code;
    uint32_t* const hash = encode_hash;
    int width = lzw.init_width;
    int next = lzw.first_free;

    // Codes go into a 64-bit accumulator of at most 20 bits between codes. Each code stores the
    // whole accumulator (8 bytes, without a branch: when a store is due depends on the data) and
    // keeps its whole bytes. A stream past 8 x len bits is refused as soon as a code takes it
    // there, so stored stays within len + 3 and every store within len + 11 bytes, inside the
    // 2 x len that dst holds for len >= 16. Each byte of the stream is assigned: dst need not be
    // cleared first.
    uint64_t acc = 0;
    int acc_bits = 0;
    int64_t stored = 0;  // whole bytes stored
    auto put = [&](uint32_t code) {
        acc |= static_cast<uint64_t>(code) << acc_bits;
        acc_bits += width;
        std::memcpy(out + stored, &acc, 8);
        const int whole = acc_bits >> 3;
        stored += whole;
        acc >>= 8 * whole;
        acc_bits &= 7;
    };
    auto over = [&]() { return 8 * stored + acc_bits > limit; };

    // The byte's share of the hash, a multiply off the chain from one lookup to the next; the
    // prefix's share is the code just found itself, one xor from the next lookup.
    auto mix = [](uint32_t c) { return (c * 0x9E3779B1u) >> (32 - kHashBits); };
    std::memset(hash, 0xFF, kHashSize * sizeof(uint32_t));
    int pending = *in++;
    if (pending >= clear) return -1;
    while (in < end) {
        const uint32_t c = *in++;
        const uint32_t key = (static_cast<uint32_t>(pending) << 8 | c) << 12;
        uint32_t h = static_cast<uint32_t>(pending) ^ mix(c);
        uint32_t slot;
        while (((slot = hash[h]) ^ key) >= 4096 && slot != kFreeSlot) h = (h + 1) & (kHashSize - 1);
        if (slot != kFreeSlot) {
            pending = static_cast<int>(slot & 0xFFF);
            continue;
        }
        if (static_cast<int>(c) >= clear) return -1;  // a symbol wider than the dictionary's width
        put(static_cast<uint32_t>(pending));
        if (over()) return -1;
        hash[h] = key | static_cast<uint32_t>(next);
        encode_slot[next] = static_cast<uint16_t>(h);
        ++next;
        if (next == 1 << width) ++width;
        pending = static_cast<int>(c);
        if (next == kDicSize) {
            if (in == end) break;  // closed below by the pending code and the end code
            put(static_cast<uint32_t>(pending));
            put(static_cast<uint32_t>(clear));
            if (over()) return -1;
            for (int k = lzw.first_free; k < kDicSize; ++k) hash[encode_slot[k]] = kFreeSlot;
            width = lzw.init_width;
            next = lzw.first_free;
            pending = *in++;
            if (pending >= clear) return -1;
        }
    }
    put(static_cast<uint32_t>(pending));
    put(static_cast<uint32_t>(lzw.end_code));
    lzw.cur_width = width;
    lzw.next_free = next;
    if (over()) return -1;
    // The byte that holds the bit after the end code (zero when the codes end on a byte
    // boundary): floor(E / 8) + 1 bytes in all.
    out[stored] = static_cast<uint8_t>(acc);
    return static_cast<int>(stored + 1);
}

}  // namespace

int lzw_compress(const void* src, void* dst, int len) {
    if (!compress_dic || !lzw.bits || len < 1) return -1;
    const uint8_t* const in = static_cast<const uint8_t*>(src);
    if (len >= kShortInput) return Compress(in, static_cast<uint8_t*>(dst), len);
    // A short input's stream goes through a buffer with room for the 8-byte stores.
    uint8_t buffer[kShortInput + 16];
    const int n = Compress(in, buffer, len);
    if (n > 0) std::memcpy(dst, buffer, static_cast<size_t>(n));
    return n;
}

long long lzw_max_unpacked(long long src_len) {
    if (src_len <= 0) return 0;
    return src_len * 8 / 9 * 4096;
}

int lzw_decompress(const void* src, int src_len, void* dst, int dst_len) {
    if (!compress_dic || !lzw.bits) {
        std::fprintf(stderr, "lzwc: decoding without a dictionary (lzw_init first)\n");
        return -1;
    }
    if (src_len < 0 || dst_len < 0) return -1;
    const uint8_t* const in = static_cast<const uint8_t*>(src);
    uint8_t* const out = static_cast<uint8_t*>(dst);
    LzwEntry* const dic = compress_dic;
    int32_t* const at_out = decode_at;
    const int clear = lzw.clear_code, end_code = lzw.end_code, first_free = lzw.first_free;
    const int64_t in_bits = 8 * static_cast<int64_t>(src_len);
    const int64_t fast_end =
        static_cast<int64_t>(src_len) - 3;  // last byte a 24-bit load may start at
    int64_t pos = 0;
    int n = 0;  // bytes written
    int width = 0, next = 0;
    uint32_t mask = 0;

    // Reads the next code, or -1 when it does not lie wholly inside the stream. Bytes beyond the
    // stream count as zero and are never touched.
    auto get = [&]() -> int {
        if (pos + width > in_bits) return -1;
        const int64_t at = pos >> 3;
        uint32_t v;
        if (at <= fast_end) {
            v = in[at] | (in[at + 1] << 8) | (in[at + 2] << 16);
        } else {
            v = in[at];
            if (at + 1 < src_len) v |= in[at + 1] << 8;
            if (at + 2 < src_len) v |= in[at + 2] << 16;
        }
        v = (v >> (pos & 7)) & mask;
        pos += width;
        return static_cast<int>(v);
    };
    auto too_long = [&]() {
        std::fprintf(stderr, "lzwc: stream unpacks to more than %d bytes\n", dst_len);
        return -1;
    };

    // Each entry's string is the old code's string and the next byte after it, so it lies in the
    // output already: the entry records where (`decode_at`) and how long (`first_child`), and
    // expanding it is a forward copy from there, without recursion or a reversal buffer. `group`
    // and `character` keep the prefix code and the appended byte.
    for (;;) {
        // A block: its first code is data, never the clear or the end code.
        width = lzw.init_width;
        next = first_free;
        mask = (1u << width) - 1;
        int code = get();
        if (code < 0) return Corrupt("stream ends without an end code", static_cast<long>(pos));
        if (code > end_code)
            return Corrupt("code above the next free code", static_cast<long>(pos - width));
        if (n >= dst_len) return too_long();
        int old_at = n, old_len = 1, old = code;
        out[n++] = static_cast<uint8_t>(code);
        for (;;) {
            code = get();
            if (code < 0) return Corrupt("stream ends without an end code", static_cast<long>(pos));
            if (code == end_code) {
                lzw.cur_width = width;
                lzw.next_free = next;
                lzw.last_first = out[old_at];
                return n;
            }
            if (code == clear) break;
            if (code > next)
                return Corrupt("code above the next free code", static_cast<long>(pos - width));
            if (next >= kDicSize)
                return Corrupt("code after a full dictionary without a clear code",
                               static_cast<long>(pos - width));
            if (!(old < next))
                return Corrupt("compress_dic[code].group<code", static_cast<long>(pos - width));
            const int at = n;
            int len;
            if (code < first_free) {
                if (n >= dst_len) return too_long();
                out[n++] = static_cast<uint8_t>(code);
                len = 1;
            } else {
                // code == next is the string just being made: the old string and its own first
                // byte, which the forward copy produces as it goes.
                len = code == next ? old_len + 1 : dic[code].first_child;
                const int from = code == next ? old_at : at_out[code];
                if (len > dst_len - n) return too_long();
                const uint8_t* s = out + from;
                uint8_t* d = out + n;
                if (n - from >= 8 && dst_len - n >= len + 7) {
                    for (int i = 0; i < len; i += 8)
                        std::memcpy(d + i, s + i, 8);  // may run up to 7 bytes on
                } else {
                    for (int i = 0; i < len; ++i) d[i] = s[i];
                }
                n += len;
            }
            dic[next] = LzwEntry{static_cast<int16_t>(old), static_cast<int16_t>(out[at]),
                                 static_cast<int16_t>(old_len + 1), -1};
            at_out[next] = old_at;
            ++next;
            if (static_cast<uint32_t>(next) == mask) {
                mask = 2 * mask + 1;
                ++width;
            }
            old = code;
            old_at = at;
            old_len = len;
        }
    }
}
