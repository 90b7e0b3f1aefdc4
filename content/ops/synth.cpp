// synth.cpp: the synthesiser's building blocks (see synth.h).
#include "synth.h"

#include <algorithm>
#include <cmath>

#include "image.h"

float NoteHz(float note) { return 440.0f * std::exp2((note - 69.0f) / 12.0f); }
float DbToGain(float db) { return std::pow(10.0f, db / 20.0f); }

float LoopHz(float hz, size_t frames) {
    const float cycles = std::max(1.0f, std::round(hz * static_cast<float>(frames) / kSynthRate));
    return cycles * kSynthRate / static_cast<float>(frames);
}

// ---- oscillators ----

namespace {

// The polynomial correction of a unit step at phase 0, for a phase t advancing dt per frame.
float PolyBlep(float t, float dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1;
    }
    if (t > 1 - dt) {
        t = (t - 1) / dt;
        return t * t + t + t + 1;
    }
    return 0;
}

}  // namespace

float OscStep(Osc* o, OscShape shape) {
    const float dt = std::min(o->hz / kSynthRate, 0.5f);
    const float t = o->phase;
    float v = 0;
    switch (shape) {
    case OSC_SINE: v = std::sin(2 * kPi * t); break;
    case OSC_SAW: v = 2 * t - 1 - PolyBlep(t, dt); break;
    case OSC_SQUARE: {
        const float w = std::clamp(o->width, 0.02f, 0.98f);
        float down = t - w;
        if (down < 0) down += 1;
        v = (t < w ? 1.0f : -1.0f) + PolyBlep(t, dt) - PolyBlep(down, dt);
        break;
    }
    case OSC_TRIANGLE: v = 4 * std::fabs(t - 0.5f) - 1; break;
    }
    o->phase += dt;
    if (o->phase >= 1) o->phase -= 1;
    return v;
}

float Noise(uint32_t seed, uint32_t i) { return Rand01(seed, i, 0x5eed) * 2 - 1; }

// ---- envelopes ----

float AdsrAt(const Adsr& e, float t, float held) {
    auto level = [&](float u) {
        if (u < e.attack) return u / e.attack;
        u -= e.attack;
        if (u < e.decay) return 1 - (1 - e.sustain) * u / e.decay;
        return e.sustain;
    };
    if (t < 0) return 0;
    if (t < held) return level(t);
    return level(held) * std::max(0.0f, 1 - (t - held) / std::max(e.release, 1e-4f));
}

float DecayAt(float t, float attack, float tau) {
    if (t < 0) return 0;
    if (t < attack) return t / attack;
    return std::exp(-(t - attack) / tau);
}

// ---- filters ----

SvfOut SvfStep(Svf* f, float in, float cutoffHz, float q) {
    const float fc = std::clamp(cutoffHz, 5.0f, 0.45f * kSynthRate);
    const float g = std::tan(kPi * fc / kSynthRate);
    const float k = 1 / std::max(q, 0.1f);
    const float a1 = 1 / (1 + g * (g + k)), a2 = g * a1, a3 = g * a2;
    const float v3 = in - f->ic2;
    const float v1 = a1 * f->ic1 + a2 * v3;
    const float v2 = f->ic2 + a2 * f->ic1 + a3 * v3;
    f->ic1 = 2 * v1 - f->ic1;
    f->ic2 = 2 * v2 - f->ic2;
    return {v2, v1, in - k * v1 - v2, k * v1};
}

float LowPass1(OnePole* f, float in, float cutoffHz) {
    const float a = 1 - std::exp(-2 * kPi * cutoffHz / kSynthRate);
    f->z += a * (in - f->z);
    return f->z;
}

float HighPass1(OnePole* f, float in, float cutoffHz) { return in - LowPass1(f, in, cutoffHz); }

// ---- instruments ----

Wave RenderFm(const Fm& fm, const Adsr& env, float held, float seconds) {
    Wave w(Frames(seconds));
    float pc = 0, pm = 0;
    const float dc = fm.hz / kSynthRate, dm = fm.hz * fm.ratio / kSynthRate;
    for (size_t i = 0; i < w.size(); ++i) {
        const float t = Seconds(i);
        const float index =
            fm.index * (fm.indexFloor + (1 - fm.indexFloor) * std::exp(-t / fm.indexTau));
        w[i] = std::sin(2 * kPi * pc + index * std::sin(2 * kPi * pm)) * AdsrAt(env, t, held);
        pc += dc;
        pm += dm;
        pc -= std::floor(pc);
        pm -= std::floor(pm);
    }
    return w;
}

Wave RenderPluck(float hz, float seconds, float brightness, float decaySeconds, uint32_t seed) {
    // The loop: N whole frames, a first-order allpass for the fraction, and the two-point average
    // (half a frame of delay).
    const float period = kSynthRate / hz;
    const int n = std::max(2, static_cast<int>(period - 0.5f - 0.1f));
    const float frac = period - 0.5f - static_cast<float>(n);
    const float c = (1 - frac) / (1 + frac);
    const float loss = std::pow(0.001f, 1 / (decaySeconds * hz));
    std::vector<float> line(static_cast<size_t>(n));
    OnePole colour;
    const float burstCut = 400 + 12000 * brightness * brightness;
    for (int i = 0; i < n; ++i)
        line[static_cast<size_t>(i)] =
            LowPass1(&colour, Noise(seed, static_cast<uint32_t>(i)), burstCut);
    float mean = 0;
    for (float v : line) mean += v;
    mean /= static_cast<float>(n);
    for (float& v : line) v -= mean;
    Wave w(Frames(seconds));
    float prev = 0, apIn = 0, apOut = 0;
    size_t at = 0;
    for (float& out : w) {
        const float x = line[at];
        const float avg = 0.5f * (x + prev) * loss;
        prev = x;
        const float y = c * (avg - apOut) + apIn;  // allpass: y = c x + x[-1] - c y[-1]
        apIn = avg;
        apOut = y;
        line[at] = y;
        out = x;
        if (++at == line.size()) at = 0;
    }
    return w;
}

// ---- reverb ----

void ApplyReverb(Wave* w, const ReverbParams& p) {
    static const int kCombs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static const int kAllpasses[4] = {556, 441, 341, 225};
    const size_t dryFrames = w->size();
    w->resize(dryFrames + Frames(p.tail), 0.0f);
    std::vector<float> comb[8], allpass[4];
    size_t ci[8] = {}, ai[4] = {};
    float store[8] = {};
    for (int k = 0; k < 8; ++k) comb[k].assign(static_cast<size_t>(kCombs[k] + p.spread), 0.0f);
    for (int k = 0; k < 4; ++k)
        allpass[k].assign(static_cast<size_t>(kAllpasses[k] + p.spread), 0.0f);
    const float feedback = std::clamp(p.room, 0.0f, 0.98f), damp = std::clamp(p.damp, 0.0f, 1.0f);
    for (float& s : *w) {
        const float in = s * 0.015f;
        float out = 0;
        for (int k = 0; k < 8; ++k) {
            float& cell = comb[k][ci[k]];
            const float y = cell;
            store[k] = y * (1 - damp) + store[k] * damp;
            cell = in + store[k] * feedback;
            out += y;
            if (++ci[k] == comb[k].size()) ci[k] = 0;
        }
        for (int k = 0; k < 4; ++k) {
            float& cell = allpass[k][ai[k]];
            const float b = cell;
            cell = out + b * 0.5f;
            out = b - out;
            if (++ai[k] == allpass[k].size()) ai[k] = 0;
        }
        s = s * p.dry + out * p.wet * 3;
    }
}

// ---- buffers ----

void MixInto(Wave* dst, const Wave& src, size_t at, float gain) {
    if (dst->size() < at + src.size()) dst->resize(at + src.size(), 0.0f);
    for (size_t i = 0; i < src.size(); ++i) (*dst)[at + i] += src[i] * gain;
}

float PeakOf(const Wave& w) {
    float p = 0;
    for (float v : w) p = std::max(p, std::fabs(v));
    return p;
}

float RmsOf(const Wave& w) {
    double sum = 0;
    for (float v : w) sum += static_cast<double>(v) * v;
    return w.empty() ? 0.0f : static_cast<float>(std::sqrt(sum / static_cast<double>(w.size())));
}

void Normalize(Wave* w, float peak) {
    const float p = PeakOf(*w);
    if (p <= 0) return;
    const float g = peak / p;
    for (float& v : *w) v *= g;
}

void FadeEdges(Wave* w, float inSeconds, float outSeconds) {
    const size_t n = w->size();
    if (n == 0) return;
    const size_t fin = std::min(n, std::max<size_t>(1, Frames(inSeconds)));
    const size_t fout = std::min(n, std::max<size_t>(1, Frames(outSeconds)));
    for (size_t i = 0; i < fin; ++i)
        (*w)[i] *= 0.5f - 0.5f * std::cos(kPi * static_cast<float>(i) / static_cast<float>(fin));
    for (size_t i = 0; i < fout; ++i)
        (*w)[n - 1 - i] *=
            0.5f - 0.5f * std::cos(kPi * static_cast<float>(i) / static_cast<float>(fout));
}

void RemoveDc(Wave* w) {
    if (w->empty()) return;
    double sum = 0;
    for (float v : *w) sum += v;
    const float mean = static_cast<float>(sum / static_cast<double>(w->size()));
    for (float& v : *w) v -= mean;
}

std::vector<int16_t> ToPcm16(const Wave& w) {
    std::vector<int16_t> out(w.size());
    for (size_t i = 0; i < w.size(); ++i)
        out[i] = static_cast<int16_t>(std::lrint(std::clamp(w[i] * 32767.0f, -32767.0f, 32767.0f)));
    return out;
}
