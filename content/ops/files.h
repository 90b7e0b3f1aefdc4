// files.h: writers of the show's small file formats that the engine only reads: 8-bit PCX
// pictures, texture remap files, 16-bit PCM WAV files; and whole-file input and output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Reads the whole file into *out. False when it cannot be opened or read.
bool ReadBytes(const std::string& path, Bytes* out);
// Writes the bytes as the whole file. False (with errno set by the C library) on failure.
bool WriteBytes(const std::string& path, const Bytes& bytes);
// Creates the directory (and its parents) when it does not exist. False when it cannot be made.
bool MakeDir(const std::string& path);

void Put16(Bytes& b, size_t at, uint32_t v);
void Put32(Bytes& b, size_t at, uint32_t v);
void Append16(Bytes& b, uint32_t v);
void Append32(Bytes& b, uint32_t v);

// An 8-bit, one-plane, run-length encoded PCX picture with its 256-colour palette (0xRRGGBB) at the
// end; `indexes` is w x h, rows top to bottom.
Bytes EncodePcx(int w, int h, const std::vector<uint8_t>& indexes,
                const std::vector<uint32_t>& palette);

// A texture remap file: a comment line, then "id->id" for 0 and each id (sorted, once each), so
// every id the model uses maps to itself. Lines end in CR LF.
Bytes EncodeRemap(const char* model, const std::vector<int>& ids);

// A RIFF/WAVE file of 16-bit PCM, `channels` interleaved.
Bytes EncodeWav16(int channels, int rate, const std::vector<int16_t>& samples);
