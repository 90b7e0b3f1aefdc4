// audio.cpp: the show's sound. For now plain sounds that fit each event (a noise burst shaped
// for the door, the steps, the storm, the thunder, the spell and the end) and two quiet drone
// modules of the show's lengths; the composed music and designed effects replace them.
#include "audio.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "files.h"
#include "image.h"
#include "it_writer.h"

namespace {

constexpr int kRate = 44100;

// A shaped sound: noise through a one-pole low-pass of cutoff `tone` (0..1) mixed with a sine of
// `pitch` Hz, under an attack / exponential decay envelope, with short fades at both ends.
std::vector<int16_t> Shaped(float seconds, float attack, float decay, float tone, float pitch, float noiseMix, uint32_t seed) {
    const int n = static_cast<int>(seconds * kRate);
    std::vector<int16_t> out(static_cast<size_t>(n));
    float lp = 0;
    for (int i = 0; i < n; ++i) {
        const float t = static_cast<float>(i) / kRate;
        const float env = std::min(1.0f, t / std::max(attack, 1e-4f)) * std::exp(-std::max(0.0f, t - attack) / decay);
        const float edge = std::min(1.0f, std::min(static_cast<float>(i), static_cast<float>(n - 1 - i)) / 220.0f);
        const float noise = Rand01(seed, static_cast<uint32_t>(i)) * 2 - 1;
        lp += (noise - lp) * tone;
        const float v = (lp * noiseMix * 2.5f + std::sin(2 * kPi * pitch * t) * (1 - noiseMix)) * env * edge;
        out[static_cast<size_t>(i)] = static_cast<int16_t>(std::clamp(v, -1.0f, 1.0f) * 26000);
    }
    return out;
}

std::vector<int16_t> PadSample(float hz, int frames) {
    std::vector<int16_t> pcm(static_cast<size_t>(frames));
    // Whole periods of every partial over the loop, so the loop point does not click.
    for (int i = 0; i < frames; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(frames);
        const float v = std::sin(2 * kPi * t * 40) * 0.6f + std::sin(2 * kPi * t * 80) * 0.25f + std::sin(2 * kPi * t * 121) * 0.1f;
        pcm[static_cast<size_t>(i)] = static_cast<int16_t>(v * 12000);
    }
    (void)hz;
    return pcm;
}

// A drone module of `rows` rows at one row per 80 ms: a looped pad whose chord moves every 64 rows.
Bytes Drone(const char* name, int rows, const std::vector<int>& roots) {
    ItSong song;
    song.name = name;
    const int loopFrames = kRate * 40 / 261;  // 40 periods of C-5 = 261.6 Hz
    ItSampleData pad{"pad", PadSample(261.6f, loopFrames), static_cast<uint32_t>(kRate), true, 0, loopFrames, 40};
    song.samples.push_back(pad);
    const int patterns = (rows + 63) / 64;
    for (int p = 0; p < patterns; ++p) {
        ItPattern pat;
        pat.rows = std::min(64, rows - p * 64);
        const int root = roots[static_cast<size_t>(p) % roots.size()];
        pat.cells.push_back({0, 0, root, 1, 30});
        pat.cells.push_back({0, 1, root + 7, 1, 22});
        pat.cells.push_back({0, 2, root + 12 + (p % 2 ? 3 : 5), 1, 16});
        song.patterns.push_back(pat);
        song.orders.push_back(p);
    }
    song.channelPan = {24, 40, 32};
    return EncodeIt(song);
}

}  // namespace

std::string WriteAudio(const std::string& dir) {
    if (!MakeDir(dir + "/sound")) return "cannot make " + dir + "/sound";
    const struct {
        const char* name;
        std::vector<int16_t> pcm;
    } samples[] = {
        {"dvere", Shaped(2.5f, 0.3f, 0.9f, 0.05f, 70, 0.7f, 1)},
        {"bota", Shaped(0.25f, 0.004f, 0.05f, 0.3f, 90, 0.8f, 2)},
        {"boure", Shaped(5.0f, 1.2f, 2.0f, 0.15f, 50, 0.95f, 3)},
        {"hrom", Shaped(4.5f, 0.01f, 1.2f, 0.04f, 40, 0.9f, 4)},
        {"kouzlo", Shaped(2.0f, 0.8f, 0.6f, 0.5f, 880, 0.3f, 5)},
        {"konec", Shaped(3.0f, 0.005f, 0.9f, 0.03f, 45, 0.6f, 6)},
    };
    for (const auto& s : samples)
        if (!WriteBytes(dir + "/sound/" + s.name + ".wav", EncodeWav16(1, kRate, s.pcm))) return std::string(s.name) + ".wav not written";
    // One row every 80 ms: teufel.it carries frames 12 to 1623, titles.it the final 1250 frames.
    if (!WriteBytes(dir + "/teufel.it", Drone("teufel", 1620, {36, 36, 39, 34, 36, 41, 39, 34})))
        return "teufel.it not written";
    if (!WriteBytes(dir + "/titles.it", Drone("titles", 1260, {43, 40, 45, 41}))) return "titles.it not written";
    return "";
}
