// tone_module.h: a tiny IT module for the audio tests, written by the content builder's writer.
#pragma once

#include <cstdint>

#include "it_writer.h"

// `rows` rows at speed 1, tempo 250 (441 frames per row at 44100 Hz) of one looped square wave of
// `period` frames and 16 periods at C-5 on channel 0 from row 0; `amplitude` is in 8-bit levels.
inline Bytes SquareToneModule(int period, int rows = 32, int amplitude = 100) {
    ItSong song;
    song.name = "tambir test";
    song.speed = 1;
    song.tempo = 250;
    std::vector<int16_t> pcm;
    for (int i = 0; i < 16 * period; ++i)
        pcm.push_back(
            static_cast<int16_t>((i % period < period / 2 ? amplitude : -amplitude) * 256));
    song.samples.push_back({"", pcm, 44100, true, 0, static_cast<int>(pcm.size())});
    AddTimeline(&song, {{0, 0, 60, 1}}, rows, {});
    return EncodeIt(song);
}
