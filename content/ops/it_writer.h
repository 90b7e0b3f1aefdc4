// it_writer.h: Impulse Tracker modules written from code.
//
// What a file can hold: the song header (name, speed, tempo, volumes, a message, channel panning
// and volume; channels no pattern uses are switched off), the order list, instruments (a
// note-to-sample table, a volume envelope with sustain and loop, new-note action, fade-out, default
// pan), 16-bit mono samples (forward or ping-pong loop, sustain loop, default volume and pan), and
// patterns packed the way IT packs them: per channel, a repeated mask and repeated note,
// instrument, volume and effect values are not stored again.
//
// With no instruments the song plays samples directly (a cell's `ins` is then a sample number).
//
//     ItSong song;
//     song.speed = 4; song.tempo = 125;                   // one row every 80 ms
//     song.samples.push_back({"pad", pcm, 44100, true, 0, (int)pcm.size(), 48});
//     std::vector<ItCell> cells = {{0, 0, 48, 1}};       // row 0, channel 0, C-4, sample 1
//     AddTimeline(&song, cells, 256, {128});             // two patterns of 128 rows
//     Bytes file = EncodeIt(song);
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "files.h"

enum { IT_NOTE_OFF = 255, IT_NOTE_CUT = 254, IT_NOTE_FADE = 246 };
// Effect letters: IT_FX('D') is volume slide, and so on.
constexpr int IT_FX(char letter) { return letter - 'A' + 1; }
// New-note actions of an instrument: what a note still sounding does when the channel gets a new
// one.
enum { IT_NNA_CUT = 0, IT_NNA_CONTINUE = 1, IT_NNA_OFF = 2, IT_NNA_FADE = 3 };

struct ItCell {
    int row;
    int channel;      // 0..63
    int note;         // 0..119 (60 = C-5), IT_NOTE_OFF / CUT / FADE, or -1 none
    int ins = 0;      // 1-based instrument number (sample number without instruments), 0 none
    int volume = -1;  // volume column: 0..64, or -1 none
    int effect = 0;   // IT_FX('A') .. IT_FX('Z'); 0 none
    int param = 0;
    int pan = -1;  // volume column panning 0..64 instead of a volume, or -1 none
};

struct ItPattern {
    int rows = 64;              // 1..200
    std::vector<ItCell> cells;  // any order; one cell per row and channel
};

struct ItSampleData {
    std::string name;
    std::vector<int16_t> pcm;  // mono
    uint32_t c5speed = 44100;  // playback rate of note C-5
    bool loop = false;
    int loopBegin = 0, loopEnd = 0;  // frames; loopEnd exclusive
    int volume = 64;                 // default volume 0..64
    bool pingPong = false;           // the loop runs back and forth
    bool sustainLoop = false;        // loops while the note is held, then plays on
    int sustainBegin = 0, sustainEnd = 0;
    int pan = -1;  // default pan 0..64, or -1 none
};

struct ItEnvNode {
    int tick;   // ticks from the note's start, rising
    int value;  // 0..64
};

struct ItEnvelope {
    std::vector<ItEnvNode> nodes;            // up to 25; none: the envelope is off
    int loopBegin = -1, loopEnd = -1;        // node indexes, or -1 no loop
    int sustainBegin = -1, sustainEnd = -1;  // node indexes, or -1 no sustain loop
};

struct ItInstrument {
    std::string name;
    int sample = 1;  // the sample of every note not in `zones`
    struct Zone {
        int lastNote;  // notes up to this one (after earlier zones) play...
        int sample;    // ...this sample
    };
    std::vector<Zone> zones;  // rising lastNote
    ItEnvelope volumeEnvelope;
    int nna = IT_NNA_CUT;
    int fadeout = 0;         // 0..256 per tick after note-off once the envelope ends, 0 none
    int globalVolume = 128;  // 0..128
    int pan = -1;            // default pan 0..64, or -1 none
};

struct ItSong {
    std::string name;
    std::string message;  // shown by players; lines separated by '\n'
    int speed = 4;        // ticks per row
    int tempo = 125;      // a tick lasts 2.5 / tempo seconds
    int globalVolume = 128;
    int mixVolume = 48;
    std::vector<int> orders;  // pattern numbers in play order
    std::vector<ItPattern> patterns;
    std::vector<ItSampleData> samples;
    std::vector<ItInstrument> instruments;  // empty: sample mode
    std::vector<int> channelPan;     // 0..64 per channel (32 centre); missing channels centre
    std::vector<int> channelVolume;  // 0..64 per channel; missing channels 64
};

// The module file. Bad values (a row outside its pattern, a channel above 63) are left out,
// others are clamped to their range.
Bytes EncodeIt(const ItSong& song);

// The C-5 speed that plays a sample recorded at `rate` with its pitch at `hz` as the note's
// pitch (note 60 sounds at 261.63 Hz).
uint32_t ItC5Speed(float rate, float hz);

// Cuts a score of `rows` rows (cells on absolute rows) into patterns that start at each of the
// sorted `cuts` and at least every `maxRows` rows, and appends them to the song's order list.
// Patterns whose cells come out the same are stored once and ordered again.
void AddTimeline(ItSong* song, const std::vector<ItCell>& cells, int rows,
                 const std::vector<int>& cuts, int maxRows = 64);
