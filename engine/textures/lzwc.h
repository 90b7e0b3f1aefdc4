// lzwc.h: the LZW coder, the system's only compressor (module lzwc).
//
// Turns one whole in-memory block into a stream of LSB-first codes of 9 to 13 bits and back. The
// stream has no header: the file format around it records the stored and the unpacked length.
//   - Codes 0-255 are bytes, 256 the clear code, 257 the end code, 258-4095 dictionary strings.
//   - No leading clear code; the first code of every block is 9 bits wide; the encoder widens
//     right after adding the entry that makes the next free code equal 2^width. When entry 4095
//     has been added, the pending code and a clear code follow with 13 bits and a new block
//     begins. If the input ends exactly there, the pending code and the end code close the stream
//     with 13 bits (never a clear code directly followed by the end code).
//   - The stream ends with the end code; its length is floor(E / 8) + 1 bytes, E being the bit
//     just after the end code.
//
// Use, always with symbol width 8:
//     lzw_init(8); memset(dst, 0, 2 * len); n = lzw_compress(src, dst, len);      // -1: no gain
//     lzw_init(8); n = lzw_decompress(stream, stored, dst, unpacked); lzw_free();  // -1: corrupt
// (The encoder assigns every byte of the stream it reports, so clearing dst is only customary.)
// One process-wide dictionary, allocated once as one 312 KiB block: 4096 entries of 8 bytes, the
// decoder's 4096 output positions, and the encoder's hash of (prefix code, byte) -> code with
// 2^16 slots and the slot of each code. Nothing is re-entrant. Neither coder allocates anything
// beyond the dictionary.
#pragma once

#include <cstdint>

// One dictionary entry, as the decoder keeps it (`first_child` holds the length of the entry's
// string there, `next_sibling` is unused). The encoder finds an entry's children through its hash
// instead of these links; the stream does not depend on how children are found.
struct LzwEntry {
    int16_t group;         // code of the prefix string; a root entry's own code
    int16_t character;     // byte appended to the prefix; -1 in a root entry
    int16_t first_child;   // encoder: head of the list of entries whose group is this one, -1 none
    int16_t next_sibling;  // encoder: next entry with the same group, -1 ends the list
};

// Sets the dictionary up for `bits`-wide symbols (1 to 8): allocates it when none exists, then
// resets it. A repeated call with the same width only resets. 0, or -1 when the width is not
// supported or the dictionary cannot be allocated.
int lzw_init(int bits);
// Releases the dictionary; the next lzw_init allocates again.
void lzw_free(void);
// Encodes len source bytes into dst, which must hold 2 x len bytes; every byte of the reported
// stream is written (dst need not be cleared). Each call starts a fresh dictionary. Returns the
// stream's length in bytes, or -1 when the stream would be longer than the input (more than
// 8 x len bits), when len < 1, or without a dictionary. Never writes beyond 2 x len bytes.
int lzw_compress(const void* src, void* dst, int len);
// Decodes the stream of `src_len` bytes into dst, which holds `dst_len` bytes. Returns the number
// of bytes written, or -1 for a corrupt stream (a code above the next free code, an entry whose
// group is not below its code, a code after a full dictionary, no end code within src_len bytes)
// or one that unpacks to more than dst_len bytes; the broken check is named on stderr. Never
// reads outside the stream nor writes outside dst.
int lzw_decompress(const void* src, int src_len, void* dst, int dst_len);
// The most bytes a stream of src_len bytes can unpack to: every code takes at least 9 bits and
// stands for at most 4096 bytes (the longest string a full dictionary holds). Callers bound their
// output buffers by it before allocating.
long long lzw_max_unpacked(long long src_len);
