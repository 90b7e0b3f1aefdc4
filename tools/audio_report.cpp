// audio_report: renders the show's whole sound offline through the audio stand-in, the way the
// script plays it (the two modules and the six samples on their event frames, at the program's
// volumes), and reports what a listener would check: loudness, peaks and clipping, silences and
// the low/mid/high balance of every section, with a waveform and a spectrogram as a PNG.
//
//     audio_report DATA_DIR [OUT.png]
//
// The event frames mirror app/timeline.cpp; a frame is 80 ms.
#include <png.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <string>
#include <vector>

#include "bass.h"
#include "bass_standin.h"

namespace {

constexpr int kRate = 44100;
constexpr int kFrameSamples = kRate * 80 / 1000;  // 3528
constexpr int kShowFrames = 2874;

struct Event {
    int frame;
    int what;  // 0..5 samples as below, 6 teufel.it, 7 titles.it
};
const char* const kSamples[6] = {"dvere", "bota", "boure", "hrom", "kouzlo", "konec"};

std::vector<Event> Events() {
    std::vector<Event> e = {{12, 6},  {1624, 7}, {310, 0}, {331, 1},  {370, 1},  {482, 2},
                            {730, 2}, {1123, 2}, {950, 2}, {1230, 3}, {1565, 5}, {805, 4}};
    for (int at : {300, 335, 372, 405, 442}) e.push_back({300 + at, 1});
    return e;
}

struct Section {
    const char* name;
    int from, to;  // frames, inclusive
};
const Section kSections[] = {
    {"logo", 12, 99},        {"title card", 100, 299},   {"walk-in", 300, 429},
    {"acts", 430, 587},      {"walk to dais", 588, 809}, {"ritual", 810, 1029},
    {"relic", 1030, 1229},   {"climax", 1230, 1564},     {"relic's end", 1565, 1623},
    {"final 1", 1624, 2135}, {"final 2", 2136, 2647},    {"final 3", 2648, 2873},
};

struct Bands {
    double low = 0, mid = 0, high = 0;
};

// Crossovers at 250 Hz and 4 kHz (one-pole pairs, enough for a balance).
struct Split {
    float lp1 = 0, lp2 = 0;
};
void SplitStep(Split* s, float x, float* low, float* mid, float* high) {
    const float a1 = 1 - std::exp(-2 * 3.14159265f * 250 / kRate),
                a2 = 1 - std::exp(-2 * 3.14159265f * 4000 / kRate);
    s->lp1 += a1 * (x - s->lp1);
    s->lp2 += a2 * (x - s->lp2);
    *low = s->lp1;
    *mid = s->lp2 - s->lp1;
    *high = x - s->lp2;
}

double Db(double power) { return power > 1e-20 ? 10 * std::log10(power) : -200; }

void Fft(std::vector<std::complex<float>>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const float ang = -2 * 3.14159265f / static_cast<float>(len);
        const std::complex<float> wl(std::cos(ang), std::sin(ang));
        for (size_t i = 0; i < n; i += len) {
            std::complex<float> w(1);
            for (size_t k = 0; k < len / 2; ++k) {
                const std::complex<float> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= wl;
            }
        }
    }
}

bool WritePng(const std::string& path, int w, int h, const std::vector<uint8_t>& rgb) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < h; ++y)
        png_write_row(png, rgb.data() + static_cast<size_t>(y) * static_cast<size_t>(w) * 3);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

void Picture(const std::vector<float>& mono, const std::string& path) {
    const int w = 1600, waveH = 160, gramH = 320, h = waveH + gramH;
    std::vector<uint8_t> rgb(static_cast<size_t>(w * h * 3), 0);
    auto px = [&](int x, int y, int r, int g, int b) {
        if (x < 0 || x >= w || y < 0 || y >= h) return;
        uint8_t* p = &rgb[(static_cast<size_t>(y) * w + static_cast<size_t>(x)) * 3];
        p[0] = static_cast<uint8_t>(r), p[1] = static_cast<uint8_t>(g),
        p[2] = static_cast<uint8_t>(b);
    };
    const size_t n = mono.size();
    for (int x = 0; x < w; ++x) {
        const size_t a = n * static_cast<size_t>(x) / w, b = n * static_cast<size_t>(x + 1) / w;
        float lo = 0, hi = 0;
        double sq = 0;
        for (size_t i = a; i < b; ++i)
            lo = std::min(lo, mono[i]), hi = std::max(hi, mono[i]), sq += mono[i] * mono[i];
        const float rms = static_cast<float>(std::sqrt(sq / std::max<size_t>(1, b - a)));
        const int mid = waveH / 2;
        for (int y = mid - static_cast<int>(hi * mid); y <= mid - static_cast<int>(lo * mid); ++y)
            px(x, y, 90, 140, 220);
        for (int y = mid - static_cast<int>(rms * mid); y <= mid + static_cast<int>(rms * mid); ++y)
            px(x, y, 200, 220, 255);
        if (hi >= 0.999f || lo <= -0.999f) px(x, 0, 255, 0, 0), px(x, 1, 255, 0, 0);
    }
    const size_t fftN = 4096;
    std::vector<std::complex<float>> buf(fftN);
    for (int x = 0; x < w; ++x) {
        const size_t centre = n * static_cast<size_t>(x) / w;
        for (size_t i = 0; i < fftN; ++i) {
            const size_t at = centre + i >= fftN / 2 ? centre + i - fftN / 2 : 0;
            const float win =
                0.5f - 0.5f * std::cos(2 * 3.14159265f * static_cast<float>(i) / fftN);
            buf[i] = at < n ? mono[at] * win : 0.0f;
        }
        Fft(buf);
        for (int y = 0; y < gramH; ++y) {
            const float hz =
                30 * std::pow(20000.0f / 30, static_cast<float>(gramH - 1 - y) / (gramH - 1));
            const size_t bin = std::min(fftN / 2 - 1, static_cast<size_t>(hz * fftN / kRate));
            const float db = 20 * std::log10(std::abs(buf[bin]) / (fftN / 4) + 1e-9f);
            const float v = std::clamp((db + 90) / 80, 0.0f, 1.0f);
            px(x, waveH + y, static_cast<int>(255 * std::min(1.0f, v * 1.6f)),
               static_cast<int>(255 * std::clamp(v * 1.6f - 0.5f, 0.0f, 1.0f)),
               static_cast<int>(255 * std::clamp(v * 3 - 2.2f, 0.0f, 1.0f) + 60 * (1 - v)));
        }
    }
    for (const Section& s : kSections) {
        const int x = static_cast<int>(static_cast<double>(s.from) * kFrameSamples * w /
                                       static_cast<double>(n));
        for (int y = 0; y < h; y += 3) px(x, y, 0, 255, 0);
    }
    if (!WritePng(path, w, h, rgb)) std::fprintf(stderr, "cannot write %s\n", path.c_str());
}

// Plays the show's sound offline as the script does: the modules and (when asked) the effects on
// their frames, at the program's volumes. The wall time of the mixing goes to *seconds.
bool Render(const std::string& dir, bool effects, std::vector<int16_t>* out, double* seconds,
            std::vector<double>* frameCost = nullptr) {
    if (!BassStandIn_InitOffline(kRate) || !BASS_Start()) return false;
    HSAMPLE samples[6];
    for (int i = 0; i < 6; ++i) {
        samples[i] = BASS_SampleLoad(FALSE, (dir + "/sound/" + kSamples[i] + ".wav").c_str(), 0, 0,
                                     3, BASS_SAMPLE_OVER_POS);
        if (!samples[i]) return false;
    }
    const HMUSIC teufel =
        BASS_MusicLoad(FALSE, (dir + "/teufel.it").c_str(), 0, 0, BASS_MUSIC_RAMP);
    const HMUSIC titles =
        BASS_MusicLoad(FALSE, (dir + "/titles.it").c_str(), 0, 0, BASS_MUSIC_RAMP);
    if (!teufel || !titles) return false;
    BASS_SetGlobalVolumes(100, 60, -1);  // as the program sets them
    const std::vector<Event> events = Events();
    out->assign(static_cast<size_t>(kShowFrames) * kFrameSamples * 2, 0);
    const auto t0 = std::chrono::steady_clock::now();
    for (int f = 0; f < kShowFrames; ++f) {
        for (const Event& e : events)
            if (e.frame == f) {
                if (e.what < 6 && effects) BASS_SamplePlay(samples[e.what]);
                if (e.what >= 6) BASS_MusicPlay(e.what == 6 ? teufel : titles);
            }
        const auto f0 = std::chrono::steady_clock::now();
        BassStandIn_Render(out->data() + static_cast<size_t>(f) * kFrameSamples * 2, kFrameSamples);
        if (frameCost)
            frameCost->push_back(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - f0).count());
    }
    if (seconds)
        *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    BASS_Free();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: audio_report DATA_DIR [OUT.png]\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::vector<int16_t> out, music;
    double secs = 0;
    std::vector<double> cost;
    if (!Render(dir, true, &out, &secs, &cost) || !Render(dir, false, &music, nullptr)) {
        std::fprintf(stderr, "cannot load the show's sound from %s\n", dir.c_str());
        return 1;
    }
    const double showSecs = kShowFrames * 0.08;
    std::printf("rendered %.1f s of the show in %.3f s: %.2f%% of one core, %.0fx real time\n",
                showSecs, secs, 100 * secs / showSecs, showSecs / secs);
    double worst = 0;
    int worstAt = 0;
    for (size_t f = 0; f + 12 <= cost.size();
         ++f) {  // 12.5 frames a second: the costliest 12-frame stretch
        double c = 0;
        for (size_t k = 0; k < 12; ++k) c += cost[f + k];
        if (c > worst) worst = c, worstAt = static_cast<int>(f);
    }
    std::printf("costliest 0.96 s: frames %d-%d, %.2f ms to mix (%.2f%% of one core)\n", worstAt,
                worstAt + 11, worst * 1000, 100 * worst / 0.96);

    // Each effect against the music under it, over its first second: what the mix adds on the
    // event frame (the two renders differ only by the effects) over the music alone.
    std::printf("\n%-8s %6s %14s %14s %12s\n", "effect", "frame", "effect dBFS", "music dBFS",
                "over music");
    for (const Event& e : Events()) {
        if (e.what >= 6) continue;
        const size_t a = static_cast<size_t>(e.frame) * kFrameSamples * 2, b = a + kRate * 2;
        double fx = 0, mu = 0;
        for (size_t i = a; i < b && i < out.size(); ++i) {
            const double d = (out[i] - music[i]) / 32768.0, m = music[i] / 32768.0;
            fx += d * d, mu += m * m;
        }
        std::printf("%-8s %6d %14.1f %14.1f %+11.1f dB\n", kSamples[e.what], e.frame,
                    Db(fx / (b - a)), Db(mu / (b - a)), Db(fx / (b - a)) - Db(mu / (b - a)));
    }

    std::vector<float> mono(out.size() / 2);
    for (size_t i = 0; i < mono.size(); ++i) mono[i] = (out[2 * i] + out[2 * i + 1]) / 65536.0f;

    std::printf("\n%-14s %11s %8s %8s %8s %7s %7s %7s %7s %6s\n", "section", "frames", "RMS dB",
                "peak dB", "music pk", "low dB", "mid dB", "high dB", "clips", "quiet");
    Split split;
    size_t cursor = 0;
    double prevLow = 0, prevMid = 0, prevHigh = 0, prevRms = 0;
    for (const Section& s : kSections) {
        const size_t a = static_cast<size_t>(s.from) * kFrameSamples,
                     b = static_cast<size_t>(s.to + 1) * kFrameSamples;
        for (; cursor < a; ++cursor) {
            float l, m, h;
            SplitStep(&split, mono[cursor], &l, &m, &h);
        }
        double sq = 0, pl = 0, pm = 0, ph = 0;
        int peak = 0, musicPeak = 0, clips = 0, quietFrames = 0;
        for (size_t i = a; i < b; ++i, ++cursor) {
            float l, m, h;
            SplitStep(&split, mono[i], &l, &m, &h);
            sq += static_cast<double>(mono[i]) * mono[i];
            pl += l * l, pm += m * m, ph += h * h;
            for (int c = 0; c < 2; ++c) {
                const int v = std::abs(static_cast<int>(out[2 * i + static_cast<size_t>(c)]));
                peak = std::max(peak, v);
                musicPeak = std::max(
                    musicPeak, std::abs(static_cast<int>(music[2 * i + static_cast<size_t>(c)])));
                clips += v >= 32767;
            }
        }
        for (int f = s.from; f <= s.to; ++f) {  // frames quieter than -50 dBFS
            double q = 0;
            for (size_t i = static_cast<size_t>(f) * kFrameSamples;
                 i < static_cast<size_t>(f + 1) * kFrameSamples; ++i)
                q += mono[i] * mono[i];
            quietFrames += Db(q / kFrameSamples) < -50;
        }
        const double len = static_cast<double>(b - a);
        const double rms = Db(sq / len), low = Db(pl / len), mid = Db(pm / len),
                     high = Db(ph / len);
        std::printf("%-14s %5d-%5d %8.1f %8.1f %8.1f %7.1f %7.1f %7.1f %7d %6d", s.name, s.from,
                    s.to, rms, 20 * std::log10(std::max(peak, 1) / 32768.0),
                    20 * std::log10(std::max(musicPeak, 1) / 32768.0), low, mid, high, clips,
                    quietFrames);
        if (&s != kSections)
            std::printf("   change: %+.1f dB, bands %+.1f/%+.1f/%+.1f", rms - prevRms,
                        low - prevLow, mid - prevMid, high - prevHigh);
        std::printf("\n");
        prevRms = rms, prevLow = low, prevMid = mid, prevHigh = high;
    }
    // Silent stretches anywhere from frame 12 on (half a second or more below -60 dBFS).
    int run = 0;
    for (int f = 12; f <= kShowFrames; ++f) {
        double q = 0;
        if (f < kShowFrames)
            for (size_t i = static_cast<size_t>(f) * kFrameSamples;
                 i < static_cast<size_t>(f + 1) * kFrameSamples; ++i)
                q += mono[i] * mono[i];
        if (f < kShowFrames && Db(q / kFrameSamples) < -60) {
            ++run;
        } else {
            if (run >= 6)
                std::printf("silence: frames %d-%d (%.2f s)\n", f - run, f - 1, run * 0.08);
            run = 0;
        }
    }
    if (argc > 2) Picture(mono, argv[2]);
    return 0;
}
