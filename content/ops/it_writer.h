// it_writer.h: Impulse Tracker modules written from code: header, order list, samples (16-bit
// mono, optionally looped), and packed patterns with notes, volumes and effects. Samples are used
// directly (no instruments), which every IT player supports.
//
//     ItSong song;
//     song.speed = 4; song.tempo = 125;            // one row every 80 ms
//     song.samples.push_back({"pad", pcm, 44100, true, 0, (int)pcm.size(), 48});
//     ItPattern p{64, {}};
//     p.cells.push_back({0, 0, 48, 1});              // row 0, channel 0, C-4, sample 1
//     song.patterns.push_back(p);
//     song.orders = {0, 0, 0};
//     Bytes file = EncodeIt(song);
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "files.h"

enum { IT_NOTE_OFF = 255, IT_NOTE_CUT = 254 };

struct ItCell {
    int row;
    int channel;      // 0..63
    int note;         // 0..119 (60 = C-5), IT_NOTE_OFF, IT_NOTE_CUT, or -1 none
    int sample = 0;   // 1-based sample number, 0 none
    int volume = -1;  // 0..64, or -1 none
    int effect = 0;   // 1 = A, 2 = B, ... 26 = Z; 0 none
    int param = 0;
};

struct ItPattern {
    int rows = 64;                // 1..200
    std::vector<ItCell> cells;    // any order; one cell per row and channel
};

struct ItSampleData {
    std::string name;
    std::vector<int16_t> pcm;  // mono
    uint32_t c5speed = 44100;  // playback rate of note C-5
    bool loop = false;
    int loopBegin = 0, loopEnd = 0;  // frames; loopEnd exclusive
    int volume = 64;                 // default volume 0..64
};

struct ItSong {
    std::string name;
    int speed = 4;    // ticks per row
    int tempo = 125;  // a tick lasts 2.5 / tempo seconds
    int globalVolume = 128;
    int mixVolume = 48;
    std::vector<int> orders;  // pattern numbers in play order
    std::vector<ItPattern> patterns;
    std::vector<ItSampleData> samples;
    std::vector<int> channelPan;  // 0..64 per channel (32 centre); missing channels centre
};

// The module file. Bad values (a row outside its pattern, a channel above 63) are left out.
Bytes EncodeIt(const ItSong& song);
