// it_writer.cpp: Impulse Tracker module encoding (see it_writer.h).
#include "it_writer.h"

#include <algorithm>
#include <cstring>

namespace {

void PutName(Bytes& b, size_t at, const std::string& name, size_t room) {
    for (size_t i = 0; i < name.size() && i + 1 < room; ++i) b[at + i] = static_cast<uint8_t>(name[i]);
}

Bytes PackPattern(const ItPattern& p) {
    std::vector<ItCell> cells;
    for (const ItCell& c : p.cells)
        if (c.row >= 0 && c.row < p.rows && c.channel >= 0 && c.channel < 64) cells.push_back(c);
    std::stable_sort(cells.begin(), cells.end(), [](const ItCell& a, const ItCell& b) {
        return a.row != b.row ? a.row < b.row : a.channel < b.channel;
    });
    Bytes data;
    size_t next = 0;
    for (int row = 0; row < p.rows; ++row) {
        for (; next < cells.size() && cells[next].row == row; ++next) {
            const ItCell& c = cells[next];
            uint8_t mask = 0;
            if (c.note >= 0) mask |= 1;
            if (c.sample > 0) mask |= 2;
            if (c.volume >= 0) mask |= 4;
            if (c.effect > 0) mask |= 8;
            if (!mask) continue;
            data.push_back(static_cast<uint8_t>((c.channel + 1) | 0x80));
            data.push_back(mask);
            if (mask & 1) data.push_back(static_cast<uint8_t>(c.note));
            if (mask & 2) data.push_back(static_cast<uint8_t>(c.sample));
            if (mask & 4) data.push_back(static_cast<uint8_t>(std::clamp(c.volume, 0, 64)));
            if (mask & 8) {
                data.push_back(static_cast<uint8_t>(c.effect));
                data.push_back(static_cast<uint8_t>(c.param));
            }
        }
        data.push_back(0);  // end of row
    }
    return data;
}

}  // namespace

Bytes EncodeIt(const ItSong& song) {
    const size_t numOrders = song.orders.size() + 1;  // + the end marker
    const size_t numSamples = song.samples.size();
    const size_t numPatterns = song.patterns.size();
    Bytes b(0xC0, 0);
    std::memcpy(b.data(), "IMPM", 4);
    PutName(b, 4, song.name, 26);
    Put16(b, 0x1E, 0x1004);  // row highlights
    Put16(b, 0x20, static_cast<uint32_t>(numOrders));
    Put16(b, 0x22, 0);  // instruments
    Put16(b, 0x24, static_cast<uint32_t>(numSamples));
    Put16(b, 0x26, static_cast<uint32_t>(numPatterns));
    Put16(b, 0x28, 0x0214);  // made with
    Put16(b, 0x2A, 0x0214);  // compatible with
    Put16(b, 0x2C, 0x0009);  // stereo, linear slides
    b[0x30] = static_cast<uint8_t>(song.globalVolume);
    b[0x31] = static_cast<uint8_t>(song.mixVolume);
    b[0x32] = static_cast<uint8_t>(song.speed);
    b[0x33] = static_cast<uint8_t>(song.tempo);
    b[0x34] = 128;  // panning separation
    for (int c = 0; c < 64; ++c) {
        b[0x40 + c] = static_cast<uint8_t>(c < static_cast<int>(song.channelPan.size()) ? song.channelPan[static_cast<size_t>(c)] : 32);
        b[0x80 + c] = 64;
    }
    for (int o : song.orders) b.push_back(static_cast<uint8_t>(o));
    b.push_back(255);
    const size_t sampleTable = b.size();
    b.resize(b.size() + 4 * numSamples);
    const size_t patternTable = b.size();
    b.resize(b.size() + 4 * numPatterns);

    std::vector<size_t> headers;
    for (size_t s = 0; s < numSamples; ++s) {
        const ItSampleData& smp = song.samples[s];
        const size_t at = b.size();
        headers.push_back(at);
        Put32(b, sampleTable + 4 * s, static_cast<uint32_t>(at));
        b.resize(at + 0x50, 0);
        std::memcpy(b.data() + at, "IMPS", 4);
        PutName(b, at + 0x14, smp.name, 26);
        b[at + 0x11] = 64;  // sample global volume
        const bool loop = smp.loop && smp.loopEnd > smp.loopBegin && smp.loopEnd <= static_cast<int>(smp.pcm.size());
        b[at + 0x12] = static_cast<uint8_t>(0x01 | 0x02 | (loop ? 0x10 : 0));  // data, 16-bit, loop
        b[at + 0x13] = static_cast<uint8_t>(std::clamp(smp.volume, 0, 64));
        b[at + 0x2E] = 0x01;  // signed
        b[at + 0x2F] = 32;
        Put32(b, at + 0x30, static_cast<uint32_t>(smp.pcm.size()));
        Put32(b, at + 0x34, static_cast<uint32_t>(loop ? smp.loopBegin : 0));
        Put32(b, at + 0x38, static_cast<uint32_t>(loop ? smp.loopEnd : 0));
        Put32(b, at + 0x3C, smp.c5speed);
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
