// fuzz_lzw.cpp: the LZW coder. The input is decoded as a stream (into a buffer bounded by what its
// length can unpack to) and packed as data. A stream that decodes re-encodes to a stream that
// decodes to the same bytes; any bytes the coder packs decode to themselves.
#include <algorithm>
#include <cstring>

#include "fuzz_support.h"
#include "lzwc.h"

namespace {

constexpr long long kMaxOut = 1 << 18;  // output bound of one run: keeps runs fast

// Exactly sized blocks, so that the sanitizer sees a coder that oversteps them.
uint8_t* Block(long long n) {
    return static_cast<uint8_t*>(std::malloc(static_cast<size_t>(std::max(n, 1LL))));
}

void PackAndUnpack(const uint8_t* bytes, int n) {
    if (n < 1) return;
    uint8_t* packed = Block(2LL * n);
    FUZZ_CHECK(lzw_init(8) == 0);
    const int s = lzw_compress(bytes, packed, n);
    // At most 8 x n bits, which with the byte that holds the bit after the end code is n + 1 bytes.
    FUZZ_CHECK(s >= -1 && s <= n + 1);
    if (s > 0) {
        uint8_t* back = Block(n);
        FUZZ_CHECK(lzw_init(8) == 0);
        FUZZ_CHECK(lzw_decompress(packed, s, back, n) == n);
        FUZZ_CHECK(std::memcmp(back, bytes, static_cast<size_t>(n)) == 0);
        std::free(back);
    }
    std::free(packed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    const int len = static_cast<int>(size);
    const long long room = std::min(lzw_max_unpacked(len), kMaxOut);
    uint8_t* out = Block(room);
    FUZZ_CHECK(lzw_init(8) == 0);
    const int n = lzw_decompress(data, len, out, static_cast<int>(room));
    FUZZ_CHECK(n >= -1 && n <= room);
    if (n > 0) PackAndUnpack(out, n);
    std::free(out);
    PackAndUnpack(data, len);
    lzw_free();
    return 0;
}
