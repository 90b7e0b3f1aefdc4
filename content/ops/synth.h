// synth.h: a small software synthesiser for the show's instrument samples and sound effects.
//
// Everything works on mono float buffers (Wave) at 44100 Hz, nominally -1..1. The blocks are free
// functions over plain records, stepped one frame at a time so that a generator can wire them as
// it likes:
//   oscillators (sine, band-limited saw and square by PolyBLEP, triangle), hashed white noise,
//   ADSR envelopes, a resonant state-variable filter (low, band, high), one-pole filters,
//   two-operator FM, Karplus-Strong plucks, a Schroeder/Freeverb-style reverb,
// and buffer helpers: mixing, peak normalisation, edge fades, conversion to 16-bit PCM.
//
// Randomness comes only from seeds (a hash, no global state) and nothing reads the clock, so the
// same calls give the same samples on every run.
//
//     Wave w(Frames(2.0f));
//     Osc saw{NoteHz(45)};
//     Svf lp;
//     for (size_t i = 0; i < w.size(); ++i) {
//         const float t = Seconds(i);
//         const float cut = 200 + 3000 * AdsrAt({0.01f, 0.4f, 0.2f, 0.3f}, t, 1.5f);
//         w[i] = SvfStep(&lp, OscStep(&saw, OSC_SAW), cut, 4).low;
//     }
//     Normalize(&w, DbToGain(-3));
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int kSynthRate = 44100;
using Wave = std::vector<float>;

inline size_t Frames(float seconds) { return static_cast<size_t>(seconds * kSynthRate + 0.5f); }
inline float Seconds(size_t frame) { return static_cast<float>(frame) / kSynthRate; }
// Frequency of a tracker note: 60 is C-5 (261.63 Hz), 69 is A-5 (440 Hz).
float NoteHz(float note);
float DbToGain(float db);
// The frequency nearest hz with a whole number of cycles in `frames`: oscillators and LFOs at such
// frequencies repeat exactly over a loop of that many frames, so the loop has no seam.
float LoopHz(float hz, size_t frames);

// ---- oscillators ----

enum OscShape { OSC_SINE, OSC_SAW, OSC_SQUARE, OSC_TRIANGLE };

struct Osc {
    float hz = 0;
    float phase = 0;     // cycles, 0..1
    float width = 0.5f;  // pulse width of the square
};

// One frame of the oscillator at its current frequency; advances the phase. Saw and square are
// band-limited (PolyBLEP), so they stay clean high up.
float OscStep(Osc* o, OscShape shape);

// White noise in -1..1, a pure function of seed and frame.
float Noise(uint32_t seed, uint32_t i);

// ---- envelopes ----

struct Adsr {
    float attack = 0.005f, decay = 0.1f, sustain = 1, release = 0.1f;  // seconds, level, seconds
};
// Level 0..1 at time t after the note starts, the note being released at `held` seconds.
float AdsrAt(const Adsr& e, float t, float held);
// Exponential decay to 1/e over `tau` seconds, after a linear attack of `attack` seconds.
float DecayAt(float t, float attack, float tau);

// ---- filters ----

struct Svf {
    float ic1 = 0, ic2 = 0;
};
struct SvfOut {
    float low, band, high;
    float norm;  // band-pass with unity gain at the cutoff
};
// One frame through a state-variable filter (trapezoidal, stable for any cutoff below Nyquist).
// q 0.5 is soft, 0.707 flat, 5 and up ring.
SvfOut SvfStep(Svf* f, float in, float cutoffHz, float q);

struct OnePole {
    float z = 0;
};
float LowPass1(OnePole* f, float in, float cutoffHz);
float HighPass1(OnePole* f, float in, float cutoffHz);

// ---- instruments ----

// Two-operator FM: a sine carrier at hz, phase-modulated by a sine at hz * ratio with an index
// that falls from `index` towards `index * indexFloor` with time constant `indexTau` seconds.
struct Fm {
    float hz = 440, ratio = 1, index = 1, indexFloor = 0, indexTau = 1;
};
Wave RenderFm(const Fm& fm, const Adsr& env, float held, float seconds);

// A plucked string (Karplus-Strong): a noise burst circulating in a tuned delay line through an
// averaging filter. brightness 0..1 colours the burst and the loss; decaySeconds is the time to
// fall by 60 dB at 440 Hz.
Wave RenderPluck(float hz, float seconds, float brightness, float decaySeconds, uint32_t seed);

// ---- reverb ----

struct ReverbParams {
    float room = 0.8f;  // comb feedback 0..0.98: longer tails as it grows
    float damp = 0.3f;  // high-frequency loss in the tail 0..1
    float wet = 0.3f, dry = 1.0f;
    float tail = 2.0f;  // seconds added at the end for the tail
    int spread = 0;     // added to every delay length, for a second decorrelated copy
};
// Eight damped combs in parallel and four allpasses in series (Freeverb's tunings) over the
// buffer, which grows by the tail.
void ApplyReverb(Wave* w, const ReverbParams& p);

// ---- buffers ----

// Adds src * gain into dst from frame `at`, growing dst when src runs past its end.
void MixInto(Wave* dst, const Wave& src, size_t at, float gain);
float PeakOf(const Wave& w);
float RmsOf(const Wave& w);
// Scales the buffer so its peak is `peak` (silent buffers stay silent).
void Normalize(Wave* w, float peak);
// Raised-cosine fades over the first and last seconds; the first and last frames become 0.
void FadeEdges(Wave* w, float inSeconds, float outSeconds);
// Removes a constant offset.
void RemoveDc(Wave* w);
// Rounds to 16-bit PCM, clipping at full scale.
std::vector<int16_t> ToPcm16(const Wave& w);
