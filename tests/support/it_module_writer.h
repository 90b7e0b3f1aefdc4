// it_module_writer.h: builds small Impulse Tracker modules and RIFF/WAVE files in memory, so the
// audio tests and benchmark make their own inputs instead of shipping files.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace testaudio {

using Bytes = std::vector<uint8_t>;

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
    std::vector<ItNote> notes;  // sorted by row, then channel
};

inline std::vector<int8_t> SquareWave(int period, int periods, int amplitude) {
    std::vector<int8_t> pcm;
    for (int p = 0; p < periods; ++p)
        for (int i = 0; i < period; ++i)
            pcm.push_back(static_cast<int8_t>(i < period / 2 ? amplitude : -amplitude));
    return pcm;
}

// Samples are used directly (no instruments); the file is laid out as: header, orders, offset
// tables, sample headers, one packed pattern, sample data.
inline Bytes WriteItModule(const ItModule& m) {
    const size_t numOrders = static_cast<size_t>(m.orders) + 1;  // + the end marker
    const size_t numSamples = m.samples.size();
    Bytes b(0xC0, 0);
    std::memcpy(b.data(), "IMPM", 4);
    std::memcpy(b.data() + 4, "tambir test", 11);
    Put16(b, 0x1E, 0x1004);            // row highlights
    Put16(b, 0x20, static_cast<uint32_t>(numOrders));
    Put16(b, 0x22, 0);                 // instruments
    Put16(b, 0x24, static_cast<uint32_t>(numSamples));
    Put16(b, 0x26, 1);                 // patterns
    Put16(b, 0x28, 0x0214);            // made with
    Put16(b, 0x2A, 0x0214);            // compatible with
    Put16(b, 0x2C, 0x0009);            // stereo, linear slides
    b[0x30] = 128;                     // global volume
    b[0x31] = 48;                      // mix volume
    b[0x32] = static_cast<uint8_t>(m.speed);
    b[0x33] = static_cast<uint8_t>(m.tempo);
    b[0x34] = 128;                     // panning separation
    for (int c = 0; c < 64; ++c) {
        b[0x40 + c] = 32;  // centre
        b[0x80 + c] = 64;  // full volume
    }
    for (int i = 0; i < m.orders; ++i) b.push_back(0);
    b.push_back(255);
    const size_t sampleTable = b.size();
    b.resize(b.size() + 4 * numSamples);
    const size_t patternTable = b.size();
    b.resize(b.size() + 4);

    std::vector<size_t> sampleHeaders;
    for (size_t s = 0; s < numSamples; ++s) {
        const ItSample& smp = m.samples[s];
        const size_t at = b.size();
        sampleHeaders.push_back(at);
        Put32(b, sampleTable + 4 * s, static_cast<uint32_t>(at));
        b.resize(at + 0x50, 0);
        std::memcpy(b.data() + at, "IMPS", 4);
        b[at + 0x11] = 64;                               // sample global volume
        b[at + 0x12] = 0x01 | (smp.loop ? 0x10 : 0x00);  // has data, 8-bit, loop
        b[at + 0x13] = static_cast<uint8_t>(smp.volume);
        b[at + 0x2E] = 0x01;  // signed
        b[at + 0x2F] = 32;    // default pan, unused
        Put32(b, at + 0x30, static_cast<uint32_t>(smp.pcm.size()));
        Put32(b, at + 0x34, 0);
        Put32(b, at + 0x38, static_cast<uint32_t>(smp.pcm.size()));
        Put32(b, at + 0x3C, smp.c5speed);
    }

    const size_t pattern = b.size();
    Put32(b, patternTable, static_cast<uint32_t>(pattern));
    b.resize(pattern + 8, 0);
    size_t next = 0;
    for (int row = 0; row < m.rows; ++row) {
        for (; next < m.notes.size() && m.notes[next].row == row; ++next) {
            const ItNote& n = m.notes[next];
            b.push_back(static_cast<uint8_t>((n.channel + 1) | 0x80));
            b.push_back(0x03);  // note and sample follow
            b.push_back(static_cast<uint8_t>(n.note));
            b.push_back(static_cast<uint8_t>(n.sample));
        }
        b.push_back(0);  // end of row
    }
    Put16(b, pattern, static_cast<uint32_t>(b.size() - pattern - 8));
    Put16(b, pattern + 2, static_cast<uint32_t>(m.rows));

    for (size_t s = 0; s < numSamples; ++s) {
        Put32(b, sampleHeaders[s] + 0x48, static_cast<uint32_t>(b.size()));
        for (int8_t v : m.samples[s].pcm) b.push_back(static_cast<uint8_t>(v));
    }
    return b;
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
