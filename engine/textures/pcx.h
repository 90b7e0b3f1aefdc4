// pcx.h: PCX pictures (one 8-bit plane, run-length encoded, 256-colour palette at the end of the
// file) made into texture records of any of the eleven texture formats.
//
// Only XMin, YMin, XMax, YMax (offsets 4 to 10) and the bytes per scan line (66) of the header are
// read; scan lines start at byte 128; the palette is the file's last 768 bytes (red, green, blue).
// A run that crosses the end of a scan line stops there and the rest of it is dropped: the next
// line starts with the next encoded byte.
#pragma once

#include <cstdint>

#include "texentry.h"

// Result codes of LoadPcxTexture and ConvertTexels.
enum {
    PCX_OK = 0,
    PCX_ERR_FILE = 1,    // a file cannot be opened or is not a readable PCX picture; out of memory
    PCX_ERR_FORMAT = 4,  // the format is not one of 0, 2, 3, 4, 5, 8, 10 to 14
    PCX_ERR_SIZE = 6,    // image and alpha image differ in size
    PCX_ERR_NO_IMAGE = 7,  // the format needs the image and none is given
    PCX_ERR_NO_ALPHA = 8   // the format needs the alpha image and none is given
};

// Flags of ConvertTexels.
enum { PCX_USES_PALETTE = 1, PCX_16BIT = 2 };

// Reads `image` (and `alpha`, whose indexes are the alpha values) and fills the entry's format,
// width, height, advance (= width), size, pixels, palette (formats 5 and 14, 0x00RRGGBB entries)
// and colorkey (the colour of palette index `transparent`, or -1 for -1). Other fields are left as
// the caller set them. The blocks are malloc'ed and belong to the caller (FreeTexture or
// PutTexture). Either file may be null. Returns a PCX_* code; on failure the entry is untouched.
// Called by the asset loader for the title pictures and by trxtool.
int LoadPcxTexture(const char* image, const char* alpha, TexEntry* entry, int format,
                   int transparent);
// Reads a whole file and decodes it: the pixel count, or -1 when it cannot be opened or decoded.
// *indexes is malloc'ed (width x height palette indexes, rows top to bottom); `palette` (768
// bytes) may be null.
int ReadPcx(const char* name, uint8_t** indexes, uint8_t* palette, int* width, int* height);
// Decodes a PCX file held in memory: the pixel count, or -1 (shorter than its header and palette,
// a bad size, bytes per line below the width, scan data ending early, out of memory).
int DecodePcx(const uint8_t* data, int length, uint8_t** indexes, uint8_t* palette, int* width,
              int* height);
// Decodes one scan line of `count` bytes from at most `avail` encoded bytes. Returns the bytes
// produced (count unless the data ran out) and the encoded bytes used in *consumed.
int DecodePcxLine(const uint8_t* src, int avail, uint8_t* dst, int count, int* consumed);
// Converts `count` indexes (and/or alpha values) through the 768-byte palette into texels of
// `format`, malloc'ed into *texels; *flags gets PCX_USES_PALETTE and PCX_16BIT. Returns 0, 4, 7, 8,
// or 1 when out of memory.
int ConvertTexels(const uint8_t* image, const uint8_t* alpha, const uint8_t* palette, int count,
                  int format, uint8_t** texels, int* flags);
