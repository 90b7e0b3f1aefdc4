// it_writer.cpp: Impulse Tracker module encoding (see it_writer.h).
//
// Layout: header (0xC0 bytes), order list, offset tables of instruments, samples and patterns,
// the message, instrument headers (554 bytes each), sample headers (0x50 each), packed patterns,
// then the sample data (16-bit signed little-endian).
#include "it_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr size_t kInstrumentBytes = 554;
constexpr size_t kSampleHeaderBytes = 0x50;

void PutName(Bytes& b, size_t at, const std::string& name, size_t room) {
    for (size_t i = 0; i < name.size() && i + 1 < room; ++i)
        b[at + i] = static_cast<uint8_t>(name[i]);
}

uint8_t Clamped(int v, int lo, int hi) { return static_cast<uint8_t>(std::clamp(v, lo, hi)); }

bool ValidCell(const ItCell& c, int rows) {
    return c.row >= 0 && c.row < rows && c.channel >= 0 && c.channel < 64;
}

bool CellLess(const ItCell& a, const ItCell& b) {
    return a.row != b.row ? a.row < b.row : a.channel < b.channel;
}

bool SameCell(const ItCell& a, const ItCell& b) {
    return a.row == b.row && a.channel == b.channel && a.note == b.note && a.ins == b.ins &&
           a.volume == b.volume && a.effect == b.effect && a.param == b.param && a.pan == b.pan;
}

// What a channel's last explicit values were in the pattern so far, for IT's compression.
struct ChannelMemory {
    int mask = -1, note = -1, ins = -1, vol = -1, effect = -1, param = -1;
};

Bytes PackPattern(const ItPattern& p) {
    std::vector<ItCell> cells;
    for (const ItCell& c : p.cells)
        if (ValidCell(c, p.rows)) cells.push_back(c);
    std::stable_sort(cells.begin(), cells.end(), CellLess);
    ChannelMemory memory[64];
    Bytes data;
    size_t next = 0;
    for (int row = 0; row < p.rows; ++row) {
        for (; next < cells.size() && cells[next].row == row; ++next) {
            const ItCell& c = cells[next];
            if (next + 1 < cells.size() && cells[next + 1].row == row &&
                cells[next + 1].channel == c.channel)
                continue;
            ChannelMemory& m = memory[c.channel];
            const int note = c.note >= 0 ? std::min(c.note, 255) : -1;
            const int ins = c.ins > 0 ? std::min(c.ins, 99) : -1;
            const int vol = c.pan >= 0      ? 128 + std::min(c.pan, 64)
                            : c.volume >= 0 ? std::min(c.volume, 64)
                                            : -1;
            const int effect = c.effect > 0 ? std::min(c.effect, 26) : -1;
            const int param = std::clamp(c.param, 0, 255);
            int mask = 0;
            if (note >= 0) mask |= note == m.note ? 0x10 : 0x01;
            if (ins >= 0) mask |= ins == m.ins ? 0x20 : 0x02;
            if (vol >= 0) mask |= vol == m.vol ? 0x40 : 0x04;
            if (effect >= 0) mask |= effect == m.effect && param == m.param ? 0x80 : 0x08;
            if (!mask) continue;
            if (mask == m.mask) {
                data.push_back(static_cast<uint8_t>(c.channel + 1));
            } else {
                data.push_back(static_cast<uint8_t>((c.channel + 1) | 0x80));
                data.push_back(static_cast<uint8_t>(mask));
                m.mask = mask;
            }
            if (mask & 0x01) data.push_back(static_cast<uint8_t>(m.note = note));
            if (mask & 0x02) data.push_back(static_cast<uint8_t>(m.ins = ins));
            if (mask & 0x04) data.push_back(static_cast<uint8_t>(m.vol = vol));
            if (mask & 0x08) {
                data.push_back(static_cast<uint8_t>(m.effect = effect));
                data.push_back(static_cast<uint8_t>(m.param = param));
            }
        }
        data.push_back(0);  // end of row
    }
    return data;
}

void PutEnvelope(Bytes& b, size_t at, const ItEnvelope& e) {
    const int n = std::min(static_cast<int>(e.nodes.size()), 25);
    auto node = [n](int i) { return i >= 0 && i < n; };
    uint8_t flags = n > 0 ? 1 : 0;
    if (n > 0 && node(e.loopBegin) && node(e.loopEnd) && e.loopBegin <= e.loopEnd) flags |= 2;
    if (n > 0 && node(e.sustainBegin) && node(e.sustainEnd) && e.sustainBegin <= e.sustainEnd)
        flags |= 4;
    b[at] = flags;
    b[at + 1] = static_cast<uint8_t>(n);
    b[at + 2] = flags & 2 ? static_cast<uint8_t>(e.loopBegin) : 0;
    b[at + 3] = flags & 2 ? static_cast<uint8_t>(e.loopEnd) : 0;
    b[at + 4] = flags & 4 ? static_cast<uint8_t>(e.sustainBegin) : 0;
    b[at + 5] = flags & 4 ? static_cast<uint8_t>(e.sustainEnd) : 0;
    int tick = 0;  // an envelope starts at its note's first tick, and its ticks rise
    for (int i = 0; i < n; ++i) {
        if (i > 0)
            tick = std::max(tick + 1, std::min(e.nodes[static_cast<size_t>(i)].tick, 0xFFFF));
        b[at + 6 + 3 * static_cast<size_t>(i)] =
            Clamped(e.nodes[static_cast<size_t>(i)].value, 0, 64);
        Put16(b, at + 7 + 3 * static_cast<size_t>(i), static_cast<uint32_t>(tick));
    }
}

void PutInstrument(Bytes& b, size_t at, const ItInstrument& ins, int numSamples) {
    std::memcpy(b.data() + at, "IMPI", 4);
    b[at + 0x11] = Clamped(ins.nna, 0, 3);
    Put16(b, at + 0x14, static_cast<uint32_t>(std::clamp(ins.fadeout, 0, 256)));
    b[at + 0x17] = 60;  // pitch-pan centre
    b[at + 0x18] = Clamped(ins.globalVolume, 0, 128);
    b[at + 0x19] = ins.pan >= 0 ? Clamped(ins.pan, 0, 64) : static_cast<uint8_t>(0x80 | 32);
    Put16(b, at + 0x1C, 0x0214);
    PutName(b, at + 0x20, ins.name, 26);
    b[at + 0x3A] = 0x7F;  // no filter
    b[at + 0x3D] = 0xFF;  // no MIDI program
    Put16(b, at + 0x3E, 0xFFFF);
    std::vector<bool> used(static_cast<size_t>(numSamples) + 1, false);
    for (int note = 0; note < 120; ++note) {
        int sample = ins.sample;
        for (const ItInstrument::Zone& z : ins.zones)
            if (note <= z.lastNote) {
                sample = z.sample;
                break;
            }
        if (sample < 0 || sample > numSamples) sample = 0;
        used[static_cast<size_t>(sample)] = true;
        b[at + 0x40 + 2 * static_cast<size_t>(note)] = static_cast<uint8_t>(note);
        b[at + 0x41 + 2 * static_cast<size_t>(note)] = static_cast<uint8_t>(sample);
    }
    b[at + 0x1E] = static_cast<uint8_t>(std::count(used.begin() + 1, used.end(), true));
    PutEnvelope(b, at + 0x130, ins.volumeEnvelope);
    PutEnvelope(b, at + 0x182, {});
    PutEnvelope(b, at + 0x1D4, {});
}

void PutSampleHeader(Bytes& b, size_t at, const ItSampleData& smp) {
    const int frames = static_cast<int>(smp.pcm.size());
    const bool loop =
        smp.loop && smp.loopBegin >= 0 && smp.loopEnd > smp.loopBegin && smp.loopEnd <= frames;
    const bool sustain = smp.sustainLoop && smp.sustainBegin >= 0 &&
                         smp.sustainEnd > smp.sustainBegin && smp.sustainEnd <= frames;
    std::memcpy(b.data() + at, "IMPS", 4);
    PutName(b, at + 0x14, smp.name, 26);
    b[at + 0x11] = 64;  // sample global volume
    b[at + 0x12] = static_cast<uint8_t>(0x01 | 0x02 | (loop ? 0x10 : 0) | (sustain ? 0x20 : 0) |
                                        (loop && smp.pingPong ? 0x40 : 0));
    b[at + 0x13] = Clamped(smp.volume, 0, 64);
    b[at + 0x2E] = 0x01;  // signed
    b[at + 0x2F] = smp.pan >= 0 ? static_cast<uint8_t>(0x80 | Clamped(smp.pan, 0, 64)) : 32;
    Put32(b, at + 0x30, static_cast<uint32_t>(frames));
    Put32(b, at + 0x34, static_cast<uint32_t>(loop ? smp.loopBegin : 0));
    Put32(b, at + 0x38, static_cast<uint32_t>(loop ? smp.loopEnd : 0));
    Put32(b, at + 0x3C, smp.c5speed);
    Put32(b, at + 0x40, static_cast<uint32_t>(sustain ? smp.sustainBegin : 0));
    Put32(b, at + 0x44, static_cast<uint32_t>(sustain ? smp.sustainEnd : 0));
}

}  // namespace

uint32_t ItC5Speed(float rate, float hz) {
    return static_cast<uint32_t>(std::lround(rate * 261.6256f / hz));
}

Bytes EncodeIt(const ItSong& song) {
    const size_t numOrders = song.orders.size() + 1;  // + the end marker
    const size_t numInstruments = song.instruments.size();
    const size_t numSamples = song.samples.size();
    const size_t numPatterns = song.patterns.size();
    int channels = 1;
    for (const ItPattern& p : song.patterns)
        for (const ItCell& c : p.cells)
            if (ValidCell(c, p.rows)) channels = std::max(channels, c.channel + 1);

    Bytes b(0xC0, 0);
    std::memcpy(b.data(), "IMPM", 4);
    PutName(b, 4, song.name, 26);
    Put16(b, 0x1E, 0x1004);  // row highlights
    Put16(b, 0x20, static_cast<uint32_t>(numOrders));
    Put16(b, 0x22, static_cast<uint32_t>(numInstruments));
    Put16(b, 0x24, static_cast<uint32_t>(numSamples));
    Put16(b, 0x26, static_cast<uint32_t>(numPatterns));
    Put16(b, 0x28, 0x0214);  // made with
    Put16(b, 0x2A, 0x0214);  // compatible with
    Put16(b, 0x2C,
          0x0001 | (numInstruments ? 0x0004 : 0) | 0x0008);  // stereo, instruments, linear slides
    b[0x30] = Clamped(song.globalVolume, 0, 128);
    b[0x31] = Clamped(song.mixVolume, 0, 128);
    b[0x32] = Clamped(song.speed, 1, 255);
    b[0x33] = Clamped(song.tempo, 32, 255);
    b[0x34] = 128;  // panning separation
    for (int c = 0; c < 64; ++c) {
        const size_t ci = static_cast<size_t>(c);
        const int pan = ci < song.channelPan.size() ? std::clamp(song.channelPan[ci], 0, 64) : 32;
        b[0x40 + ci] =
            static_cast<uint8_t>(pan | (c < channels ? 0 : 0x80));  // unused channels off
        b[0x80 + ci] = ci < song.channelVolume.size() ? Clamped(song.channelVolume[ci], 0, 64) : 64;
    }
    for (int o : song.orders) b.push_back(Clamped(o, 0, 199));
    b.push_back(255);
    const size_t instrumentTable = b.size();
    b.resize(b.size() + 4 * numInstruments);
    const size_t sampleTable = b.size();
    b.resize(b.size() + 4 * numSamples);
    const size_t patternTable = b.size();
    b.resize(b.size() + 4 * numPatterns);

    if (!song.message.empty()) {
        std::string text = song.message;
        std::replace(text.begin(), text.end(), '\n', '\r');
        b[0x2E] = 1;  // a message is attached
        Put16(b, 0x36, static_cast<uint32_t>(text.size() + 1));
        Put32(b, 0x38, static_cast<uint32_t>(b.size()));
        b.insert(b.end(), text.begin(), text.end());
        b.push_back(0);
    }
    for (size_t i = 0; i < numInstruments; ++i) {
        const size_t at = b.size();
        Put32(b, instrumentTable + 4 * i, static_cast<uint32_t>(at));
        b.resize(at + kInstrumentBytes, 0);
        PutInstrument(b, at, song.instruments[i], static_cast<int>(numSamples));
    }
    std::vector<size_t> headers;
    for (size_t s = 0; s < numSamples; ++s) {
        const size_t at = b.size();
        headers.push_back(at);
        Put32(b, sampleTable + 4 * s, static_cast<uint32_t>(at));
        b.resize(at + kSampleHeaderBytes, 0);
        PutSampleHeader(b, at, song.samples[s]);
    }
    for (size_t p = 0; p < numPatterns; ++p) {
        const Bytes data = PackPattern(song.patterns[p]);
        const size_t at = b.size();
        Put32(b, patternTable + 4 * p, static_cast<uint32_t>(at));
        b.resize(at + 8, 0);
        Put16(b, at, static_cast<uint32_t>(data.size()));
        Put16(b, at + 2, static_cast<uint32_t>(std::clamp(song.patterns[p].rows, 1, 200)));
        b.insert(b.end(), data.begin(), data.end());
    }
    for (size_t s = 0; s < numSamples; ++s) {
        Put32(b, headers[s] + 0x48, static_cast<uint32_t>(b.size()));
        for (int16_t v : song.samples[s].pcm) Append16(b, static_cast<uint16_t>(v));
    }
    return b;
}

void AddTimeline(ItSong* song, const std::vector<ItCell>& cells, int rows,
                 const std::vector<int>& cuts, int maxRows) {
    maxRows = std::clamp(maxRows, 1, 200);
    std::vector<ItCell> sorted;
    for (const ItCell& c : cells)
        if (ValidCell(c, rows)) sorted.push_back(c);
    std::stable_sort(sorted.begin(), sorted.end(), CellLess);
    size_t next = 0, cut = 0;
    for (int start = 0; start < rows;) {
        while (cut < cuts.size() && cuts[cut] <= start) ++cut;
        const int end = std::min({rows, start + maxRows, cut < cuts.size() ? cuts[cut] : rows});
        ItPattern p;
        p.rows = end - start;
        for (; next < sorted.size() && sorted[next].row < end; ++next) {
            ItCell c = sorted[next];
            c.row -= start;
            p.cells.push_back(c);
        }
        int number = -1;
        for (size_t i = 0; i < song->patterns.size() && number < 0; ++i) {
            const ItPattern& q = song->patterns[i];
            if (q.rows == p.rows && q.cells.size() == p.cells.size() &&
                std::equal(q.cells.begin(), q.cells.end(), p.cells.begin(), SameCell))
                number = static_cast<int>(i);
        }
        if (number < 0) {
            number = static_cast<int>(song->patterns.size());
            song->patterns.push_back(std::move(p));
        }
        song->orders.push_back(number);
        start = end;
    }
}
