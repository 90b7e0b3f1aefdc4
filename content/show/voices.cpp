// voices.cpp: the songs' instruments and notation (see voices.h).
//
// Looped tones are rendered so the loop has no seam: every oscillator and LFO runs at a frequency
// with a whole number of cycles over the loop (LoopHz), noise repeats with the loop, and the
// filters and reverb are time-invariant, so after a warm-up the output repeats exactly; the
// sample keeps the warm-up's last stretch as its attack and loops over the final loop length.
#include "voices.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image.h"

namespace {

constexpr float kPeak = 0.97f;

ItSampleData OneShot(const char* name, Wave w, float hz, float fadeOut = 0.02f) {
    RemoveDc(&w);
    FadeEdges(&w, 0.0005f, fadeOut);
    Normalize(&w, kPeak);
    ItSampleData s;
    s.name = name;
    s.pcm = ToPcm16(w);
    s.c5speed = ItC5Speed(kSynthRate, hz);
    return s;
}

// Keeps the last `head + loop` frames of w, looping over the last `loop`.
ItSampleData Looped(const char* name, const Wave& w, size_t head, size_t loop, float hz) {
    Wave keep(w.end() - static_cast<long>(head + loop), w.end());
    Normalize(&keep, kPeak);
    ItSampleData s;
    s.name = name;
    s.pcm = ToPcm16(keep);
    s.c5speed = ItC5Speed(kSynthRate, hz);
    s.loop = true;
    s.loopBegin = static_cast<int>(head);
    s.loopEnd = static_cast<int>(head + loop);
    return s;
}

// A frequency sweep from a to b with time constant tau, as the phase advance of one frame.
float Sweep(float t, float a, float b, float tau) {
    return (b + (a - b) * std::exp(-t / tau)) / kSynthRate;
}

// Band-passed noise hits: `count` bursts of `len` seconds spread over `spread` seconds.
Wave Bursts(uint32_t seed, int count, float spread, float len, float centre, float q) {
    Wave w(Frames(spread + len));
    for (int k = 0; k < count; ++k) {
        const size_t at =
            Frames(spread * static_cast<float>(k) / static_cast<float>(std::max(1, count - 1)));
        Svf f;
        for (size_t i = 0; i < Frames(len); ++i) {
            const float env = DecayAt(Seconds(i), 0.0005f, len / 4);
            w[at + i] +=
                SvfStep(&f, Noise(seed + static_cast<uint32_t>(k), static_cast<uint32_t>(i)),
                        centre, q)
                    .norm *
                env;
        }
    }
    return w;
}

// Detuned saws (cents) at the loop's frequencies, summed.
struct SawStack {
    Osc osc[8];
    int n = 0;
};
SawStack Saws(float hz, const std::vector<float>& cents, size_t loop) {
    SawStack s;
    for (float c : cents) {
        s.osc[s.n].hz = LoopHz(hz * std::exp2(c / 1200), loop);
        s.osc[s.n].phase = Rand01(static_cast<uint32_t>(s.n), 77);
        ++s.n;
    }
    return s;
}
float SawsStep(SawStack* s) {
    float v = 0;
    for (int k = 0; k < s->n; ++k) v += OscStep(&s->osc[k], OSC_SAW);
    return v / static_cast<float>(s->n);
}

}  // namespace

// ---- drums and hits ----

ItSampleData Taiko() {
    Wave w(Frames(1.3f));
    float phase = 0;
    Svf skin;
    for (size_t i = 0; i < w.size(); ++i) {
        const float t = Seconds(i);
        phase += Sweep(t, 120, 58, 0.05f);
        const float body = std::sin(2 * kPi * phase) * DecayAt(t, 0.002f, 0.32f);
        const float over = std::sin(2 * kPi * phase * 1.58f) * DecayAt(t, 0.001f, 0.08f) * 0.3f;
        const float slap = SvfStep(&skin, Noise(11, static_cast<uint32_t>(i)), 900, 0.8f).low *
                           DecayAt(t, 0.0005f, 0.018f);
        w[i] = body + over + slap * 0.9f;
    }
    ApplyReverb(&w, {0.84f, 0.45f, 0.22f, 1.0f, 1.2f});
    return OneShot("taiko", w, 261.63f, 0.3f);
}

ItSampleData Kick(float punch) {
    Wave w(Frames(0.6f));
    float phase = 0;
    OnePole click;
    for (size_t i = 0; i < w.size(); ++i) {
        const float t = Seconds(i);
        phase += Sweep(t, 90 + 140 * punch, 44, 0.03f);
        const float body = std::sin(2 * kPi * phase) * DecayAt(t, 0.001f, 0.18f);
        const float tick = LowPass1(&click, Noise(21, static_cast<uint32_t>(i)), 4000) *
                           DecayAt(t, 0.0002f, 0.004f);
        w[i] = std::tanh(body * (1.2f + punch)) + tick * punch * 1.5f;
    }
    return OneShot("kick", w, 261.63f, 0.1f);
}

ItSampleData FrameDrum() {
    Wave w(Frames(0.5f));
    float phase = 0;
    Svf snare;
    for (size_t i = 0; i < w.size(); ++i) {
        const float t = Seconds(i);
        phase += Sweep(t, 260, 185, 0.02f);
        const float body = std::sin(2 * kPi * phase) * DecayAt(t, 0.001f, 0.06f);
        const float rattle = SvfStep(&snare, Noise(31, static_cast<uint32_t>(i)), 2200, 0.7f).band *
                             DecayAt(t, 0.001f, 0.09f);
        w[i] = body * 0.8f + rattle * 1.4f;
    }
    ApplyReverb(&w, {0.78f, 0.5f, 0.25f, 1.0f, 0.6f});
    return OneShot("frame drum", w, 261.63f, 0.2f);
}

ItSampleData Clap() {
    Wave w = Bursts(41, 4, 0.024f, 0.16f, 1400, 1.4f);
    ApplyReverb(&w, {0.7f, 0.5f, 0.2f, 1.0f, 0.4f});
    return OneShot("clap", w, 261.63f, 0.15f);
}

ItSampleData Shaker() {
    Wave w(Frames(0.14f));
    OnePole hp;
    Svf band;
    for (size_t i = 0; i < w.size(); ++i) {
        const float t = Seconds(i);
        const float env = t < 0.012f ? t / 0.012f : std::exp(-(t - 0.012f) / 0.03f);
        w[i] = SvfStep(&band, HighPass1(&hp, Noise(51, static_cast<uint32_t>(i)), 3000), 7500, 0.9f)
                   .band *
               env;
    }
    return OneShot("shaker", w, 261.63f, 0.01f);
}

ItSampleData Tom() {
    Wave w(Frames(0.8f));
    float phase = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        const float t = Seconds(i);
        phase += Sweep(t, 170, 110, 0.08f);
        w[i] = std::sin(2 * kPi * phase) * DecayAt(t, 0.001f, 0.2f) +
               Noise(61, static_cast<uint32_t>(i)) * DecayAt(t, 0.0005f, 0.01f) * 0.4f;
    }
    ApplyReverb(&w, {0.8f, 0.45f, 0.2f, 1.0f, 0.6f});
    return OneShot("tom", w, 261.63f, 0.2f);
}

ItSampleData Gong() {
    // Inharmonic partials of a thick plate, each with its own decay, and an FM shimmer on top.
    static const float kRatios[] = {1.0f, 1.51f, 2.03f, 2.44f, 3.17f, 4.05f, 5.3f};
    const float f0 = 65;
    Wave w(Frames(5.0f));
    for (size_t k = 0; k < sizeof kRatios / sizeof kRatios[0]; ++k) {
        const float hz = f0 * kRatios[k], tau = 2.6f / (1 + 0.5f * static_cast<float>(k)),
                    amp = 1 / (1 + 0.4f * static_cast<float>(k));
        float phase = Rand01(static_cast<uint32_t>(k), 3);
        for (size_t i = 0; i < w.size(); ++i) {
            const float t = Seconds(i);
            const float wobble =
                1 + 0.002f * std::sin(2 * kPi * (0.7f + 0.3f * static_cast<float>(k)) * t);
            phase += hz * wobble / kSynthRate;
            w[i] += std::sin(2 * kPi * phase) * amp *
                    DecayAt(t, 0.004f + 0.03f * static_cast<float>(k), tau);
        }
    }
    const Wave shimmer = RenderFm({f0 * 6.1f, 1.41f, 3, 0.1f, 0.4f}, {0.01f, 1.5f, 0, 0.1f}, 2, 2);
    MixInto(&w, shimmer, 0, 0.25f);
    ApplyReverb(&w, {0.9f, 0.35f, 0.3f, 1.0f, 1.5f});
    return OneShot("gong", w, 261.63f, 1.0f);
}

ItSampleData Cymbal() {
    Wave w(Frames(3.0f));
    Svf hi;
    Osc sq[6];
    static const float kHz[6] = {587, 845, 1127, 1433, 1761, 2205};
    for (int k = 0; k < 6; ++k) sq[k].hz = kHz[k];
    for (size_t i = 0; i < w.size(); ++i) {
        const float t = Seconds(i);
        float metal = 0;
        for (Osc& o : sq) metal += OscStep(&o, OSC_SQUARE);
        const float in = metal * 0.15f + Noise(71, static_cast<uint32_t>(i));
        w[i] = SvfStep(&hi, in, 7000, 0.6f).high * DecayAt(t, 0.002f, 0.7f);
    }
    ApplyReverb(&w, {0.85f, 0.3f, 0.25f, 1.0f, 1.0f});
    return OneShot("cymbal", w, 261.63f, 0.5f);
}

ItSampleData Riser(float seconds) {
    Wave w(Frames(seconds));
    Svf band;
    for (size_t i = 0; i < w.size(); ++i) {
        const float u = Seconds(i) / seconds;
        const float cut = 200 * std::exp2(5.5f * u);
        w[i] = SvfStep(&band, Noise(81, static_cast<uint32_t>(i)), cut, 3).norm * u * u;
    }
    ApplyReverb(&w, {0.8f, 0.4f, 0.3f, 1.0f, 0.5f});
    return OneShot("riser", w, 261.63f, 0.3f);
}

// ---- tones ----

ItSampleData Choir(int note, uint32_t seed) {
    // Five slightly detuned saws with a shared vibrato, breath, through the formants of "aah".
    const size_t loop = Frames(2.0f), warm = Frames(3.0f);
    const float hz = NoteHz(static_cast<float>(note));
    SawStack voices = Saws(hz, {-14, -6, 0, 5, 12}, loop);
    Osc vib{LoopHz(4.5f, loop)};
    static const float kFormant[4][3] = {
        {730, 7, 1.0f}, {1150, 10, 0.55f}, {2500, 14, 0.28f}, {3400, 16, 0.12f}};
    Svf formant[4], body;
    Wave w(warm + loop);
    for (size_t i = 0; i < w.size(); ++i) {
        const float v = 1 + 0.004f * OscStep(&vib, OSC_SINE);
        float saw = 0;
        for (int k = 0; k < voices.n; ++k) {
            const float keep = voices.osc[k].hz;
            voices.osc[k].hz = keep * v;
            saw += OscStep(&voices.osc[k], OSC_SAW);
            voices.osc[k].hz = keep;
        }
        saw = saw / static_cast<float>(voices.n) +
              0.06f * Noise(seed, static_cast<uint32_t>(i % loop));
        float out = SvfStep(&body, saw, 500, 0.7f).low * 0.25f;
        for (int k = 0; k < 4; ++k)
            out += SvfStep(&formant[k], saw, kFormant[k][0], kFormant[k][1]).norm * kFormant[k][2];
        w[i] = out;
    }
    ApplyReverb(&w, {0.86f, 0.4f, 0.35f, 0.8f, 0.0f});
    return Looped("choir aah", w, Frames(0.3f), loop, hz);
}

ItSampleData DarkPad(int note) {
    const size_t loop = Frames(2.0f), warm = Frames(2.5f);
    const float hz = NoteHz(static_cast<float>(note));
    SawStack saws = Saws(hz, {-11, -4, 3, 9}, loop);
    SawStack sub = Saws(hz / 2, {0}, loop);
    Osc lfo{LoopHz(0.5f, loop)};
    Svf lp;
    Wave w(warm + loop);
    for (float& s : w) {
        const float cut = 520 + 260 * OscStep(&lfo, OSC_SINE);
        s = SvfStep(&lp, SawsStep(&saws) + 0.5f * SawsStep(&sub), cut, 1.4f).low;
    }
    ApplyReverb(&w, {0.82f, 0.5f, 0.25f, 0.9f, 0.0f});
    return Looped("dark pad", w, Frames(0.3f), loop, hz);
}

ItSampleData WarmPad(int note) {
    const size_t loop = Frames(2.0f), warm = Frames(2.5f);
    const float hz = NoteHz(static_cast<float>(note));
    SawStack saws = Saws(hz, {-9, -3, 4, 10}, loop);
    Osc tri{LoopHz(hz * 2, loop)}, lfo{LoopHz(1.0f, loop)};
    Svf lp;
    Wave w(warm + loop);
    for (float& s : w) {
        const float cut = 1500 + 400 * OscStep(&lfo, OSC_SINE);
        s = SvfStep(&lp, SawsStep(&saws) + 0.3f * OscStep(&tri, OSC_TRIANGLE), cut, 0.8f).low;
    }
    ApplyReverb(&w, {0.85f, 0.45f, 0.3f, 0.85f, 0.0f});
    return Looped("warm pad", w, Frames(0.3f), loop, hz);
}

ItSampleData Bass(int note, float bite) {
    const size_t loop = Frames(0.5f), head = Frames(0.4f);
    const float hz = LoopHz(NoteHz(static_cast<float>(note)) / 2, loop) * 2;  // the sub too loops
    Osc saw{hz}, sq{hz * 1.003f}, sub{hz / 2};
    sq.hz = LoopHz(sq.hz, loop);
    Svf lp;
    Wave w(head + 2 * loop);
    for (size_t i = 0; i < w.size(); ++i) {
        const float t = std::min(Seconds(i), Seconds(head));
        const float cut = 260 + 2400 * bite * std::exp(-t / 0.09f);
        const float in = OscStep(&saw, OSC_SAW) * 0.6f + OscStep(&sq, OSC_SQUARE) * 0.3f * bite;
        w[i] = std::tanh(1.6f * SvfStep(&lp, in, cut, 1.6f).low) + 0.55f * OscStep(&sub, OSC_SINE);
    }
    // The attack and the first loop stay as the head; the second loop repeats.
    return Looped("bass", w, head + loop, loop, hz);
}

ItSampleData Reed(int note) {
    const size_t loop = Frames(1.0f), head = Frames(0.15f);
    const float hz = NoteHz(static_cast<float>(note));
    Osc sq{LoopHz(hz, loop), 0, 0.3f}, saw{LoopHz(hz * 1.004f, loop)};
    Svf lp, nasal;
    Wave w(head + 2 * loop);
    for (size_t i = 0; i < w.size(); ++i) {
        const float t = std::min(Seconds(i), Seconds(head));
        const float in = OscStep(&sq, OSC_SQUARE) * 0.5f + OscStep(&saw, OSC_SAW) * 0.5f;
        const float cut = 1800 + 2600 * std::exp(-t / 0.04f);
        const SvfOut o = SvfStep(&lp, in, cut, 1.2f);
        w[i] = o.low + 0.6f * SvfStep(&nasal, o.low, 1300, 4).norm;
    }
    ApplyReverb(&w, {0.7f, 0.5f, 0.15f, 1.0f, 0.0f});
    return Looped("reed", w, head + loop, loop, LoopHz(hz, loop));
}

ItSampleData Flute(int note) {
    const size_t loop = Frames(1.0f), head = Frames(0.1f);
    const float hz = LoopHz(NoteHz(static_cast<float>(note)), loop);
    Osc sine{hz}, tri{hz * 2};
    Svf breath;
    Wave w(head + 2 * loop);
    for (size_t i = 0; i < w.size(); ++i) {
        const float t = Seconds(i);
        const float chiff = t < 0.08f ? 1 - t / 0.08f : 0;
        const float air =
            SvfStep(&breath, Noise(91, static_cast<uint32_t>(i % loop)), hz * 2, 2).norm;
        w[i] = OscStep(&sine, OSC_SINE) + 0.15f * OscStep(&tri, OSC_TRIANGLE) +
               air * (0.12f + 0.5f * chiff);
    }
    ApplyReverb(&w, {0.75f, 0.5f, 0.2f, 1.0f, 0.0f});
    return Looped("flute", w, head + loop, loop, hz);
}

ItSampleData Bell(int note, float ratio) {
    const float hz = NoteHz(static_cast<float>(note));
    Wave w = RenderFm({hz, ratio, 2.4f, 0.15f, 0.8f}, {0.002f, 3.0f, 0.0f, 0.2f}, 3.0f, 3.2f);
    const Wave partial =
        RenderFm({hz * 2.01f, 1.0f, 0.3f, 0.0f, 0.5f}, {0.002f, 1.0f, 0.0f, 0.1f}, 1.0f, 1.2f);
    MixInto(&w, partial, 0, 0.3f);
    ApplyReverb(&w, {0.84f, 0.35f, 0.3f, 1.0f, 1.0f});
    return OneShot("bell", w, hz, 0.5f);
}

ItSampleData Pluck(int note, uint32_t seed) {
    const float hz = NoteHz(static_cast<float>(note));
    Wave w = RenderPluck(hz, 1.6f, 0.55f, 1.4f, seed);
    Svf warm;
    for (float& v : w) v = SvfStep(&warm, v, 3500, 0.7f).low;
    ApplyReverb(&w, {0.78f, 0.4f, 0.2f, 1.0f, 0.5f});
    return OneShot("pluck", w, hz, 0.3f);
}

// ---- instruments ----

ItEnvelope Swell(int attackTicks, int releaseTicks) {
    ItEnvelope e;
    e.nodes = {{0, 0}, {attackTicks, 64}, {attackTicks + releaseTicks, 0}};
    e.sustainBegin = e.sustainEnd = 1;
    return e;
}

ItEnvelope Hold(int releaseTicks) {
    ItEnvelope e;
    e.nodes = {{0, 64}, {1, 64}, {1 + releaseTicks, 0}};
    e.sustainBegin = e.sustainEnd = 1;
    return e;
}

int AddInstrument(ItSong* song, const std::string& name, std::vector<ItSampleData> samples,
                  const std::vector<int>& lastNotes, const ItEnvelope& envelope, int nna,
                  int fadeout) {
    const int first = static_cast<int>(song->samples.size()) + 1;
    ItInstrument ins;
    ins.name = name;
    ins.sample = first + static_cast<int>(samples.size()) - 1;
    for (size_t k = 0; k < lastNotes.size() && k + 1 < samples.size(); ++k)
        ins.zones.push_back({lastNotes[k], first + static_cast<int>(k)});
    ins.volumeEnvelope = envelope;
    ins.nna = nna;
    ins.fadeout = fadeout;
    for (ItSampleData& s : samples) song->samples.push_back(std::move(s));
    song->instruments.push_back(ins);
    return static_cast<int>(song->instruments.size());
}

// ---- notation ----

void Put(Score* s, int row, int ch, int note, int ins, int vol, int fx, int param) {
    s->push_back({row, ch, note, ins, vol, fx, param});
}

void Steps(Score* s, int row, int ch, int ins, int note, const char* lane, int step, float gain) {
    for (int i = 0; lane[i]; ++i) {
        int vol = 0;
        switch (lane[i]) {
        case 'X': vol = 64; break;
        case 'x': vol = 48; break;
        case 'o': vol = 34; break;
        case ',': vol = 22; break;
        case '_': vol = 12; break;
        default: continue;
        }
        Put(s, row + i * step, ch, note, ins,
            std::clamp(static_cast<int>(std::lround(static_cast<float>(vol) * gain)), 0, 64));
    }
}

int NoteOf(const std::string& name) {
    static const int kSemis[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
    if (name.size() < 2 || name[0] < 'A' || name[0] > 'G') return -1;
    int note = kSemis[name[0] - 'A'];
    size_t i = 1;
    if (name[i] == '#')
        ++note, ++i;
    else if (name[i] == 'b')
        --note, ++i;
    if (i + 1 != name.size() || name[i] < '0' || name[i] > '9') return -1;
    return note + 12 * (name[i] - '0');
}

int Line(Score* s, int row, int ch, int ins, const char* tokens, int step, int vol, int transpose) {
    int at = row;
    const char* p = tokens;
    while (*p) {
        while (*p == ' ') ++p;
        if (!*p) break;
        const char* end = p;
        while (*end && *end != ' ') ++end;
        const std::string tok(p, end);
        if (tok == "-")
            Put(s, at, ch, IT_NOTE_OFF, 0);
        else if (tok == "^")
            Put(s, at, ch, IT_NOTE_CUT, 0);
        else if (tok != ".") {
            const int n = NoteOf(tok);
            if (n >= 0) Put(s, at, ch, n + transpose, ins, vol);
        }
        at += step;
        p = end;
    }
    return at - row;
}
