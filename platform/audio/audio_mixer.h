// audio_mixer.h: the mixer's objects (samples with their playbacks, tracker musics) and the block
// renderer that the device callback and offline rendering share (private).
//
// The mixer knows nothing of threads: the caller serialises access (see audio_bass.cpp). Render()
// never allocates; everything it touches is sized at Configure() or when an object is loaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct openmpt_module;

namespace audio {

// One playback of a sample.
struct Voice {
    bool active = false;
    uint32_t pos = 0;      // next frame to mix
    uint64_t started = 0;  // mixer-wide serial of the play call, to find the oldest on a tie
};

struct Sample {
    uint32_t handle = 0;
    bool restartLongest = false;  // BASS_SAMPLE_OVER_POS
    std::vector<float> pcm;       // interleaved stereo at the mixer rate
    uint32_t frames = 0;
    std::vector<Voice> voices;  // one slot per allowed simultaneous playback
    int active = 0;
};

// A tracker module decoded by libopenmpt; plays once from its start.
class Music {
public:
    // Parses a module image; on failure returns null and says why in *error.
    static std::unique_ptr<Music> Load(const uint8_t* bytes, size_t size, std::string* error);
    ~Music();
    Music(const Music&) = delete;
    Music& operator=(const Music&) = delete;

    uint32_t handle = 0;
    openmpt_module* module = nullptr;
    bool playing = false;
    bool ended = false;  // reached its end; the next play starts it over

private:
    Music() = default;
};

class Mixer {
public:
    static constexpr size_t kBlockFrames = 512;

    // Sets the output rate and sizes the work buffers. Call with no objects loaded.
    void Configure(uint32_t rate);
    uint32_t Rate() const { return rate_; }

    void Add(std::unique_ptr<Sample> sample) { samples_.push_back(std::move(sample)); }
    void Add(std::unique_ptr<Music> music) { musics_.push_back(std::move(music)); }
    // Remove an object and hand it back, so the caller can destroy it outside its lock.
    std::unique_ptr<Sample> TakeSample(uint32_t handle);
    std::unique_ptr<Music> TakeMusic(uint32_t handle);
    void TakeAll(std::vector<std::unique_ptr<Sample>>* samples,
                 std::vector<std::unique_ptr<Music>>* musics);

    // Starts a playback. False if the handle is unknown, or every playback slot is busy and the
    // sample has no override flag.
    bool PlaySample(uint32_t handle);
    // Starts a music from its beginning; a music already playing plays on. False if unknown.
    bool PlayMusic(uint32_t handle);

    int ActivePlaybacks(uint32_t handle) const;
    bool MusicPlaying(uint32_t handle) const;

    // Global volumes 0-100.
    void SetVolumes(int music, int sample);

    // Mixes `frames` interleaved stereo frames into `out`, clipped to int16.
    void Render(int16_t* out, size_t frames);

private:
    Sample* FindSample(uint32_t handle) const;
    Music* FindMusic(uint32_t handle) const;
    void MixSamples(float* mix, size_t frames);
    void MixMusics(float* mix, size_t frames);

    uint32_t rate_ = 0;
    std::vector<std::unique_ptr<Sample>> samples_;
    std::vector<std::unique_ptr<Music>> musics_;
    std::vector<float> mix_;      // kBlockFrames stereo accumulator
    std::vector<float> scratch_;  // kBlockFrames stereo, one music's output
    uint64_t playSerial_ = 0;
    float musicGain_ = 1.0f;
    float sampleGain_ = 1.0f;
};

}  // namespace audio
