// sfx.cpp: the six sound effects the script plays on its event frames, synthesised.
#include "sfx.h"

#include <algorithm>
#include <cmath>

#include "image.h"
#include "synth.h"

namespace {

constexpr float kSfxPeak = 0.85f;  // -1.4 dBFS

// Fades, a DC-free body and the common peak level.
Wave Finish(Wave w, float fadeIn, float fadeOut, float peak = kSfxPeak) {
    RemoveDc(&w);
    FadeEdges(&w, fadeIn, fadeOut);
    Normalize(&w, peak);
    return w;
}

// The heavy door: the hinge's stick-slip creak (a pulse train at a wandering rate through the
// wood's resonances), the stone edge grinding on the floor, and the thud as it comes to rest.
Wave Door() {
    Wave w(Frames(2.8f));
    Svf wood[3], grind, thud;
    static const float kWood[3][3] = {{320, 9, 1.0f}, {760, 12, 0.7f}, {1650, 14, 0.35f}};
    float slip = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        const float t = Seconds(i);
        const uint32_t u = static_cast<uint32_t>(i);
        // The hinge catches and releases 35-110 times a second, the rate rising and falling.
        const float rate =
            55 + 35 * std::sin(2 * kPi * 0.45f * t + 1) + 20 * std::sin(2 * kPi * 1.7f * t);
        slip += rate * (1 + 0.25f * Noise(3, u / 300)) / kSynthRate;
        float pulse = 0;
        if (slip >= 1) {
            slip -= 1;
            pulse = 1;
        }
        const float creakEnv =
            std::min(1.0f, t / 0.15f) * (t < 2.1f ? 1.0f : std::exp(-(t - 2.1f) / 0.12f));
        float creak = 0;
        for (int k = 0; k < 3; ++k)
            creak += SvfStep(&wood[k], pulse, kWood[k][0] * (1 + 0.05f * std::sin(t * 2.3f)),
                             kWood[k][1])
                         .band *
                     kWood[k][2];
        const float grindEnv =
            std::min(1.0f, t / 0.4f) *
            (t < 2.2f ? 0.9f + 0.1f * std::sin(2 * kPi * 3.1f * t) : std::exp(-(t - 2.2f) / 0.1f));
        const float stone = SvfStep(&grind, Noise(4, u), 180, 0.9f).low * grindEnv;
        const float hit =
            t > 2.25f ? std::sin(2 * kPi * 48 * (t - 2.25f)) * DecayAt(t - 2.25f, 0.003f, 0.15f)
                      : 0.0f;
        const float hitNoise = t > 2.25f ? SvfStep(&thud, Noise(5, u), 300, 0.7f).low *
                                               DecayAt(t - 2.25f, 0.001f, 0.03f)
                                         : 0.0f;
        w[i] = creak * creakEnv * 2.2f + stone * 0.9f + hit * 0.8f + hitNoise * 1.2f;
    }
    ApplyReverb(&w, {0.85f, 0.45f, 0.3f, 1.0f, 0.0f});
    return Finish(w, 0.005f, 0.15f);
}

// One footstep on stone: the heel's hard click, the low thud of the weight, a short grit of the
// sole, in the temple's echo.
Wave Step() {
    Wave w(Frames(0.45f));
    Svf click, grit;
    for (size_t i = 0; i < w.size(); ++i) {
        const float t = Seconds(i);
        const uint32_t u = static_cast<uint32_t>(i);
        const float heel =
            SvfStep(&click, Noise(7, u), 2600, 2.5f).norm * DecayAt(t, 0.0003f, 0.006f);
        const float thud = std::sin(2 * kPi * (95 - 30 * std::min(t / 0.05f, 1.0f)) * t) *
                           DecayAt(t - 0.012f, 0.004f, 0.035f);
        const float sole =
            SvfStep(&grit, Noise(8, u), 4500, 0.8f).band * DecayAt(t - 0.02f, 0.01f, 0.03f);
        w[i] = heel * 1.5f + thud * 0.8f + sole * 0.25f;
    }
    ApplyReverb(&w, {0.8f, 0.4f, 0.3f, 1.0f, 0.0f});
    return Finish(w, 0.0005f, 0.1f, DbToGain(-2));
}

// The storm: wind as noise through a slowly wandering resonant band, gusting; rain as a mist of
// small drops; a far rumble underneath.
Wave Storm() {
    const float len = 5.5f;
    Wave w(Frames(len));
    Svf wind, wind2, drop, rumble;
    OnePole mist;
    for (size_t i = 0; i < w.size(); ++i) {
        const float t = Seconds(i);
        const uint32_t u = static_cast<uint32_t>(i);
        const float gust = 0.55f + 0.3f * std::sin(2 * kPi * 0.31f * t) +
                           0.15f * std::sin(2 * kPi * 0.83f * t + 2);
        const float howl = SvfStep(&wind, Noise(9, u), 380 + 260 * gust, 5).norm * gust;
        const float hiss = SvfStep(&wind2, Noise(10, u), 1400 + 600 * gust, 1.5f).band * 0.4f;
        // Drops: a sparse random click train through a bright band, over a softer mist.
        const float drops = Rand01(12, u) < 0.004f ? Noise(13, u) * 3 : 0.0f;
        const float rain =
            SvfStep(&drop, drops, 3800, 3).band + HighPass1(&mist, Noise(14, u), 5000) * 0.25f;
        const float far = SvfStep(&rumble, Noise(15, u), 70, 0.8f).low *
                          (0.6f + 0.4f * std::sin(2 * kPi * 0.2f * t));
        w[i] = howl * 1.1f + hiss + rain * 0.6f + far * 1.8f;
    }
    return Finish(w, 0.6f, 1.4f);
}

// Thunder: a crack of several tearing bursts in the first few hundred milliseconds, then a long
// low rumble that rolls (slow amplitude swells) and dies away.
Wave Thunder() {
    const float len = 6.0f;
    Wave w(Frames(len));
    Svf crackBand, roll, roll2;
    for (size_t i = 0; i < w.size(); ++i) {
        const float t = Seconds(i);
        const uint32_t u = static_cast<uint32_t>(i);
        float crack = 0;
        for (int k = 0; k < 5; ++k) {
            const float at = 0.03f * static_cast<float>(k * k) + 0.01f * static_cast<float>(k);
            crack += DecayAt(t - at, 0.0008f, 0.025f + 0.01f * static_cast<float>(k)) /
                     (1 + 0.4f * static_cast<float>(k));
        }
        const float tear =
            SvfStep(&crackBand, Noise(16, u), 2500 - 1800 * std::min(1.0f, t / 0.4f), 0.6f).low;
        const float rollEnv =
            DecayAt(t - 0.05f, 0.35f, 1.6f) *
            (0.7f + 0.3f * std::sin(2 * kPi * 0.9f * t) * std::sin(2 * kPi * 0.37f * t + 1));
        const float low = SvfStep(&roll, Noise(17, u), 110, 0.9f).low;
        const float mid = SvfStep(&roll2, Noise(18, u), 320, 0.7f).low;
        w[i] = tear * crack * 1.6f + (low * 3.0f + mid * 0.8f) * rollEnv;
    }
    ApplyReverb(&w, {0.88f, 0.5f, 0.3f, 1.0f, 0.0f});
    return Finish(w, 0.002f, 1.0f);
}

// The spell: a cluster of partials gliding up two octaves, shimmering (each with its own
// tremolo), with sparkles of high pings, swelling then fading into a wide echo.
Wave Spell() {
    const float len = 2.4f;
    Wave w(Frames(len));
    static const float kPartials[6] = {1.0f, 1.5f, 2.0f, 3.0f, 4.0f, 5.04f};
    float phase[6] = {};
    for (size_t i = 0; i < w.size(); ++i) {
        const float t = Seconds(i);
        const float u = t / len;
        const float base = 330 * std::exp2(2 * u);
        const float env = std::sin(kPi * std::min(1.0f, u * 1.15f));
        float v = 0;
        for (int k = 0; k < 6; ++k) {
            phase[k] += base * kPartials[k] / kSynthRate;
            phase[k] -= std::floor(phase[k]);
            const float trem =
                0.6f + 0.4f * std::sin(2 * kPi * (7 + 2.3f * static_cast<float>(k)) * t);
            v += std::sin(2 * kPi * phase[k]) * trem / (1 + 0.6f * static_cast<float>(k));
        }
        w[i] = v * env * 0.5f;
    }
    // Sparkles: short high pings at hashed times, denser as it rises.
    for (int k = 0; k < 40; ++k) {
        const float at = len * 0.85f * std::sqrt(Rand01(20, static_cast<uint32_t>(k)));
        const float hz = 2000 + 4000 * Rand01(21, static_cast<uint32_t>(k));
        Wave ping(Frames(0.12f));
        for (size_t i = 0; i < ping.size(); ++i)
            ping[i] = std::sin(2 * kPi * hz * Seconds(i)) * DecayAt(Seconds(i), 0.002f, 0.03f);
        MixInto(&w, ping, Frames(at), 0.12f);
    }
    w.resize(Frames(len));
    ApplyReverb(&w, {0.9f, 0.3f, 0.4f, 0.9f, 1.2f});
    return Finish(w, 0.01f, 0.6f);
}

// The relic's end: a deep impact (a falling sine, a burst of low noise), debris, and a long dark
// tail in the temple.
Wave End() {
    const float len = 4.5f;
    Wave w(Frames(len));
    Svf dust, sub;
    float phase = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        const float t = Seconds(i);
        const uint32_t u = static_cast<uint32_t>(i);
        phase += (32 + 60 * std::exp(-t / 0.08f)) / kSynthRate;
        const float boom = std::tanh(2.5f * std::sin(2 * kPi * phase)) * DecayAt(t, 0.002f, 0.7f);
        const float blast = SvfStep(&dust, Noise(22, u), 600 - 400 * std::min(1.0f, t), 0.7f).low *
                            DecayAt(t, 0.001f, 0.25f);
        const float rumble = SvfStep(&sub, Noise(23, u), 60, 1.0f).low * DecayAt(t, 0.2f, 1.5f);
        w[i] = boom * 0.9f + blast * 1.5f + rumble * 2.5f;
    }
    // Debris: a few small stone knocks after the blow.
    for (int k = 0; k < 9; ++k) {
        const float at = 0.25f + 1.2f * Rand01(24, static_cast<uint32_t>(k));
        Wave knock(Frames(0.05f));
        Svf f;
        for (size_t i = 0; i < knock.size(); ++i)
            knock[i] = SvfStep(&f, Noise(25 + static_cast<uint32_t>(k), static_cast<uint32_t>(i)),
                               1500 + 1500 * Rand01(26, static_cast<uint32_t>(k)), 3)
                           .norm *
                       DecayAt(Seconds(i), 0.0005f, 0.01f);
        MixInto(&w, knock, Frames(at), 0.2f * (1 - static_cast<float>(k) / 10));
    }
    ApplyReverb(&w, {0.92f, 0.5f, 0.35f, 1.0f, 0.0f});
    // Loud in body already: a lower peak leaves the music's last chord room on the same frame.
    return Finish(w, 0.002f, 1.5f, DbToGain(-3));
}

}  // namespace

std::vector<SoundEffect> SoundEffects() {
    return {{"dvere", ToPcm16(Door())},   {"bota", ToPcm16(Step())},    {"boure", ToPcm16(Storm())},
            {"hrom", ToPcm16(Thunder())}, {"kouzlo", ToPcm16(Spell())}, {"konec", ToPcm16(End())}};
}
