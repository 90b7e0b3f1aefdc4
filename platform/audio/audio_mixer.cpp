// audio_mixer.cpp: sample playbacks, libopenmpt musics and the int16 block mixer.
#include "audio_mixer.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>

namespace audio {

std::unique_ptr<Music> Music::Load(const uint8_t* bytes, size_t size, std::string* error) {
    std::unique_ptr<Music> music(new Music);  // first: nothing to release if it cannot be made
    int code = 0;
    const char* message = nullptr;
    // Silent log: libopenmpt's warnings about odd but playable modules are not our errors.
    openmpt_module* mod = openmpt_module_create_from_memory2(bytes, size, openmpt_log_func_silent,
                                                             nullptr, openmpt_error_func_default,
                                                             nullptr, &code, &message, nullptr);
    if (!mod) {
        *error = message && *message
                     ? message
                     : "libopenmpt cannot read it (error " + std::to_string(code) + ")";
        openmpt_free_string(message);
        return nullptr;
    }
    openmpt_free_string(message);
    openmpt_module_set_repeat_count(mod, 0);  // play once
    music->module = mod;
    return music;
}

Music::~Music() {
    if (module) openmpt_module_destroy(module);
}

void Mixer::Configure(uint32_t rate) {
    rate_ = rate;
    mix_.assign(kBlockFrames * 2, 0.0f);
    scratch_.assign(kBlockFrames * 2, 0.0f);
    musicGain_ = sampleGain_ = 1.0f;
}

Sample* Mixer::FindSample(uint32_t handle) const {
    if (handle == 0) return nullptr;
    for (const auto& s : samples_)
        if (s->handle == handle) return s.get();
    return nullptr;
}

Music* Mixer::FindMusic(uint32_t handle) const {
    if (handle == 0) return nullptr;
    for (const auto& m : musics_)
        if (m->handle == handle) return m.get();
    return nullptr;
}

std::unique_ptr<Sample> Mixer::TakeSample(uint32_t handle) {
    for (auto it = samples_.begin(); it != samples_.end(); ++it) {
        if ((*it)->handle == handle && handle != 0) {
            std::unique_ptr<Sample> s = std::move(*it);
            samples_.erase(it);
            return s;
        }
    }
    return nullptr;
}

std::unique_ptr<Music> Mixer::TakeMusic(uint32_t handle) {
    for (auto it = musics_.begin(); it != musics_.end(); ++it) {
        if ((*it)->handle == handle && handle != 0) {
            std::unique_ptr<Music> m = std::move(*it);
            musics_.erase(it);
            return m;
        }
    }
    return nullptr;
}

void Mixer::TakeAll(std::vector<std::unique_ptr<Sample>>* samples,
                    std::vector<std::unique_ptr<Music>>* musics) {
    samples->swap(samples_);
    musics->swap(musics_);
    samples_.clear();
    musics_.clear();
}

bool Mixer::PlaySample(uint32_t handle) {
    Sample* s = FindSample(handle);
    if (!s) return false;
    Voice* voice = nullptr;
    for (Voice& v : s->voices) {
        if (!v.active) {
            voice = &v;
            break;
        }
    }
    if (voice) {
        ++s->active;
    } else {
        if (!s->restartLongest) return false;
        // All slots busy: the one that has played longest starts over.
        voice = &s->voices[0];
        for (Voice& v : s->voices)
            if (v.pos > voice->pos || (v.pos == voice->pos && v.started < voice->started))
                voice = &v;
    }
    voice->active = true;
    voice->pos = 0;
    voice->started = ++playSerial_;
    return true;
}

bool Mixer::PlayMusic(uint32_t handle) {
    Music* m = FindMusic(handle);
    if (!m) return false;
    if (m->playing) return true;
    if (m->ended) {
        openmpt_module_set_position_seconds(m->module, 0.0);
        m->ended = false;
    }
    m->playing = true;
    return true;
}

int Mixer::ActivePlaybacks(uint32_t handle) const {
    const Sample* s = FindSample(handle);
    return s ? s->active : 0;
}

bool Mixer::MusicPlaying(uint32_t handle) const {
    const Music* m = FindMusic(handle);
    return m && m->playing;
}

void Mixer::SetVolumes(int music, int sample) {
    musicGain_ = static_cast<float>(music) / 100.0f;
    sampleGain_ = static_cast<float>(sample) / 100.0f;
}

void Mixer::MixSamples(float* mix, size_t frames) {
    const float gain = sampleGain_;
    for (const auto& sp : samples_) {
        Sample& s = *sp;
        if (s.active == 0) continue;
        for (Voice& v : s.voices) {
            if (!v.active) continue;
            const size_t n = std::min<size_t>(frames, s.frames - v.pos);
            const float* src = s.pcm.data() + static_cast<size_t>(v.pos) * 2;
            for (size_t i = 0; i < n * 2; ++i) mix[i] += src[i] * gain;
            v.pos += static_cast<uint32_t>(n);
            if (v.pos >= s.frames) {
                v.active = false;
                --s.active;
            }
        }
    }
}

void Mixer::MixMusics(float* mix, size_t frames) {
    const float gain = musicGain_;
    float* buf = scratch_.data();
    for (const auto& mp : musics_) {
        Music& m = *mp;
        if (!m.playing) continue;
        const size_t got = openmpt_module_read_interleaved_float_stereo(
            m.module, static_cast<int32_t>(rate_), frames, buf);
        for (size_t i = 0; i < got * 2; ++i) mix[i] += buf[i] * gain;
        if (got < frames) {
            m.playing = false;
            m.ended = true;
        }
    }
}

void Mixer::Render(int16_t* out, size_t frames) {
    while (frames > 0) {
        const size_t n = std::min(frames, kBlockFrames);
        float* mix = mix_.data();
        std::fill(mix, mix + n * 2, 0.0f);
        MixSamples(mix, n);
        MixMusics(mix, n);
        for (size_t i = 0; i < n * 2; ++i) {
            const float v = std::clamp(mix[i] * 32768.0f, -32768.0f, 32767.0f);
            out[i] = static_cast<int16_t>(std::lrint(v));
        }
        out += n * 2;
        frames -= n;
    }
}

}  // namespace audio
