// audio_wav.h: RIFF/WAVE parsing and conversion of PCM to the mixer's format (private).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace audio {

// The PCM payload of a parsed WAV file. `data` points into the parsed buffer.
struct WavPcm {
    int channels = 0;   // 1 or 2
    int bits = 0;       // 8 (unsigned) or 16 (signed little-endian)
    uint32_t rate = 0;  // frames per second
    const uint8_t* data = nullptr;
    size_t frames = 0;  // whole frames in `data`
};

// Parses a RIFF/WAVE image. Returns an empty string on success, else what is wrong with it.
std::string ParseWav(const uint8_t* bytes, size_t size, WavPcm* out);

// Converts to interleaved stereo float (L R, nominal range -1..1) at `outRate`, resampling with
// linear interpolation. Refuses results longer than kMaxSampleSeconds. Returns an empty string on
// success.
constexpr uint32_t kMaxSampleSeconds = 600;
std::string ConvertWav(const WavPcm& in, uint32_t outRate, std::vector<float>* out);

}  // namespace audio
