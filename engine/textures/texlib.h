// texlib.h: texture libraries: make, fill, load, save, upload to the display device and release.
//
// A library is 256 texture records (texentry.h). The application loads one from a file, uploads
// it under a library number (0 to 255) and frees it again, since the device keeps its own copies;
// texture id = library number x 256 + entry index.
//
// File: 48-byte description (NUL-padded; 48 characters have no terminator), "TEXLIB\0", a
// stored-raw flag byte (0 = LZW body, non-zero = body stored as is), uint32 unpacked length,
// uint32 stored length, then the body: the 256 records of 36 bytes with palette and pixel offsets
// from the start of the body (0 = none), then per used entry its palette (256 x blue, green, red)
// and its pixels. All little-endian.
#pragma once

#include "texentry.h"

// Results of the library functions (UploadTexLib and ReleaseTexLib pass on the device's codes).
enum TexLibResult {
    TEXLIB_OK = 0,
    TEXLIB_FAILED = 1,  // LoadTexLib, SaveTexLib: see there
    TEXLIB_IN_USE = 2,  // PutTexture: the entry is in use, or the index is outside 0..255
    TEXLIB_EMPTY = 3    // FreeTexture: the entry is empty, or the index is outside 0..255
};

// Makes a library of 256 empty entries. The library, or null when out of memory.
TexLib* NewTexLib(void);
// Frees every entry's blocks and the library. Null is ignored. Returns TEXLIB_OK.
int FreeTexLib(TexLib* lib);
// Empties entry `index`: frees its blocks, zeroes it and sets format -1. 0, or 3 when the entry
// is empty already (or the index is outside 0..255).
int FreeTexture(int index, TexLib* lib);
// Copies the record into entry `index`; the library takes over its palette and pixel blocks
// (malloc'ed). 0, or 2 when the entry is in use (or the index is outside 0..255).
int PutTexture(int index, TexLib* lib, const TexEntry* record);
// The largest texture side the devices take (the software card's), and the most a library's
// body may unpack to: what a small file may make the loader allocate is bounded by them.
constexpr int kTexMaxSide = 4096;
constexpr uint32_t kTexLibMaxBody = 64u << 20;
// Loads a library file. 0 and *lib, or 1 on any failure (missing file, short read, wrong magic,
// a corrupt or mis-sized body, a body over kTexLibMaxBody, a block outside the body, entries
// sharing blocks, a texture side outside 1..kTexMaxSide, out of memory), with nothing left
// allocated and the reason on stderr ("texlib: NAME: why"). When `description` is given its 48 bytes receive the file's description field.
// An empty entry (format -1) comes without palette and pixels whatever offsets it records, as
// SaveTexLib writes it: blocks given to it could not be freed or replaced through the library.
// Called by the application at start-up for "demo.tex" and "vgasys.fnt".
int LoadTexLib(const char* name, TexLib** lib, char* description = nullptr);
// Saves a library; the body is LZW-packed unless that would not shrink it. `description` null
// writes "Default texture library builded for TRXTEX". 0, or 1 on failure, also for a library
// the loader would refuse (sides, body size).
int SaveTexLib(const char* name, const TexLib* lib, const char* description = nullptr);
// Creates device textures number x 256 + i from entries 0..255 (empty entries create nothing),
// setting the device's texture table up on the first call.
// Stops at the device's first non-zero result and returns it; 0 otherwise.
int UploadTexLib(int number, TexLib* lib);
// Releases device textures number x 256 .. number x 256 + 255; stops at the first non-zero result.
int ReleaseTexLib(int number);
