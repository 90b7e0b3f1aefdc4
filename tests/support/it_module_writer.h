// it_module_writer.h: builds small Impulse Tracker modules and RIFF/WAVE files in memory, so the
// audio tests and benchmark make their own inputs instead of shipping files. The modules go through
// the content builder's IT writer (content/ops/it_writer.h).
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "it_writer.h"

namespace testaudio {

using Bytes = ::Bytes;

inline void Put16(Bytes& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(Bytes& b, size_t at, uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}
inline void Append16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Append32(Bytes& b, uint32_t v) {
    Append16(b, v & 0xFFFF);
    Append16(b, v >> 16);
}
inline void AppendId(Bytes& b, const char* id) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(id[i]));
}

// ---- Impulse Tracker ------------------------------------------------------------------------
// Small modules for the mixer's tests, written by the content builder's IT writer.

struct ItNote {
    int row;
    int channel;  // 0-63
    int note;     // 0-119, 60 = C-5; 255 = note off
    int sample = 1;
};

struct ItSample {
    std::vector<int8_t> pcm;  // signed 8-bit mono
    uint32_t c5speed = 44100;  // a note C-5 plays the sample at this rate
    bool loop = true;          // loop the whole sample
    int volume = 64;
};

struct ItModule {
    int rows = 32;
    int speed = 1;    // ticks per row
    int tempo = 250;  // a tick lasts 2.5 / tempo seconds
    int orders = 1;   // pattern 0 is played this many times
    std::vector<ItSample> samples;
    std::vector<ItNote> notes;
};

inline std::vector<int8_t> SquareWave(int period, int periods, int amplitude) {
    std::vector<int8_t> pcm;
    for (int p = 0; p < periods; ++p)
        for (int i = 0; i < period; ++i)
            pcm.push_back(static_cast<int8_t>(i < period / 2 ? amplitude : -amplitude));
    return pcm;
}

// Samples are used directly (no instruments); 8-bit values become the same 16-bit levels.
inline Bytes WriteItModule(const ItModule& m) {
    ItSong song;
    song.name = "tambir test";
    song.speed = m.speed;
    song.tempo = m.tempo;
    for (const ItSample& s : m.samples) {
        ItSampleData d;
        for (int8_t v : s.pcm) d.pcm.push_back(static_cast<int16_t>(v * 256));
        d.c5speed = s.c5speed;
        d.loop = s.loop;
        d.loopEnd = static_cast<int>(s.pcm.size());
        d.volume = s.volume;
        song.samples.push_back(d);
    }
    ItPattern p;
    p.rows = m.rows;
    for (const ItNote& n : m.notes) p.cells.push_back({n.row, n.channel, n.note, n.sample});
    song.patterns.push_back(p);
    song.orders.assign(static_cast<size_t>(m.orders), 0);
    return EncodeIt(song);
}

// A module of `rows` rows at speed 1, tempo 250 (441 frames per row at 44100 Hz) holding one
// looped square wave of `period` frames at C-5 on channel 0 from row 0.
inline Bytes SquareToneModule(int period, int rows = 32, int amplitude = 100) {
    ItModule m;
    m.rows = rows;
    m.samples.push_back({SquareWave(period, 16, amplitude)});
    m.notes.push_back({0, 0, 60});
    return WriteItModule(m);
}

// ---- RIFF/WAVE ------------------------------------------------------------------------------

inline Bytes Chunk(const char* id, const Bytes& body, uint32_t declaredSize, bool pad = true) {
    Bytes b;
    AppendId(b, id);
    Append32(b, declaredSize);
    b.insert(b.end(), body.begin(), body.end());
    if (pad && (body.size() & 1)) b.push_back(0);
    return b;
}
inline Bytes Chunk(const char* id, const Bytes& body) {
    return Chunk(id, body, static_cast<uint32_t>(body.size()));
}

inline Bytes FmtBody(uint32_t format, uint32_t channels, uint32_t rate, uint32_t bits) {
    Bytes b;
    Append16(b, format);
    Append16(b, channels);
    Append32(b, rate);
    Append32(b, rate * channels * bits / 8);
    Append16(b, channels * bits / 8);
    Append16(b, bits);
    return b;
}

inline Bytes Riff(const std::vector<Bytes>& chunks) {
    Bytes b;
    AppendId(b, "RIFF");
    Append32(b, 0);
    AppendId(b, "WAVE");
    for (const Bytes& c : chunks) b.insert(b.end(), c.begin(), c.end());
    Put32(b, 4, static_cast<uint32_t>(b.size() - 8));
    return b;
}

inline Bytes Pcm16(const std::vector<int16_t>& v) {
    Bytes b;
    for (int16_t s : v) Append16(b, static_cast<uint16_t>(s));
    return b;
}

// A plain 16-bit PCM WAV file; `samples` interleaved when stereo.
inline Bytes Wav16(uint32_t channels, uint32_t rate, const std::vector<int16_t>& samples) {
    return Riff({Chunk("fmt ", FmtBody(1, channels, rate, 16)), Chunk("data", Pcm16(samples))});
}

// ---- files ----------------------------------------------------------------------------------

inline bool WriteFile(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// Creates a fresh directory under `base` (which ends in '/'); empty string on failure.
inline std::string MakeTempDir(const std::string& base) {
    std::string tmpl = base + "tambir_audio_XXXXXX";
    return mkdtemp(tmpl.data()) ? tmpl : std::string();
}

}  // namespace testaudio
