// The content builder's sound: the synthesiser's blocks, the IT writer read back by libopenmpt,
// and the show's built modules and effects played in the audio stand-in as the script plays them.
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "audio_wav.h"
#include "bass.h"
#include "bass_standin.h"
#include "it_writer.h"
#include "synth.h"
#include "voices.h"

namespace {

template <typename T>
double Rms(const T& w, size_t from, size_t to) {
    double s = 0;
    for (size_t i = from; i < to; ++i) s += static_cast<double>(w[i]) * w[i];
    return std::sqrt(s / static_cast<double>(to - from));
}

Wave SineWave(float hz, size_t n) {
    Wave w(n);
    Osc o{hz};
    for (float& v : w) v = OscStep(&o, OSC_SINE);
    return w;
}

TEST(ContentAudio, FiltersPassTheirBandAndRing) {
    auto through = [](float hz, float cutoff, float q, int out) {
        const Wave in = SineWave(hz, kSynthRate / 2);
        Wave w(in.size());
        Svf f;
        for (size_t i = 0; i < in.size(); ++i) {
            const SvfOut o = SvfStep(&f, in[i], cutoff, q);
            w[i] = out == 0 ? o.low : out == 1 ? o.high : o.norm;
        }
        return Rms(w, w.size() / 2, w.size()) / Rms(in, in.size() / 2, in.size());
    };
    EXPECT_NEAR(through(100, 1000, 0.707f, 0), 1.0, 0.02) << "low-pass keeps what is below";
    EXPECT_LT(through(8000, 1000, 0.707f, 0), 0.02) << "and takes out what is above";
    EXPECT_LT(through(100, 1000, 0.707f, 1), 0.02) << "high-pass the reverse";
    EXPECT_NEAR(through(1000, 1000, 8, 2), 1.0, 0.02) << "band-pass: unity at its centre";
    EXPECT_NEAR(through(1000, 1000, 8, 0), 8.0, 0.3) << "resonant low-pass: q at the cutoff";
    EXPECT_LT(through(2000, 1000, 8, 2), 0.1) << "a narrow band";
}

TEST(ContentAudio, EnvelopesPluckAndReverbShapeTime) {
    // Time, release time, level: in the attack, at its end, sustained, released from the sustain
    // level, released during the attack (falling from there), over.
    const Adsr e{0.1f, 0.2f, 0.5f, 0.4f};
    const float fall = 0.2f * (1 - 0.03f / 0.4f);
    const float at[][3] = {{0.05f, 1, 0.5f}, {0.1f, 1, 1},         {0.6f, 1, 0.5f},
                           {1.2f, 1, 0.25f}, {0.05f, 0.02f, fall}, {2, 1, 0}};
    for (const auto& a : at) EXPECT_NEAR(AdsrAt(e, a[0], a[1]), a[2], 1e-5) << a[0] << ", " << a[1];

    // A pluck of 220 Hz: its strongest autocorrelation lag is the period, and it dies away.
    const Wave p = RenderPluck(220, 1.0f, 0.5f, 0.8f, 1);
    double best = -1;
    int bestLag = 0;
    for (int lag = 150; lag < 260; ++lag) {
        double c = 0;
        for (size_t i = 4410; i < 8820; ++i) c += p[i] * p[i + static_cast<size_t>(lag)];
        if (c > best) best = c, bestLag = lag;
    }
    EXPECT_NEAR(kSynthRate / static_cast<double>(bestLag), 220, 2);
    EXPECT_LT(Rms(p, 39690, 44100), Rms(p, 0, 4410) * 0.1);

    // A click through the reverb: a tail that lasts and then decays.
    Wave click(100, 0.0f);
    click[0] = 1;
    ApplyReverb(&click, {0.85f, 0.3f, 1, 0, 2});
    ASSERT_EQ(click.size(), 100 + Frames(2));
    const double early = Rms(click, Frames(0.1f), Frames(0.3f)),
                 late = Rms(click, Frames(1.6f), Frames(1.8f));
    EXPECT_GT(early, 1e-3) << "the reverb sounds";
    EXPECT_LT(late, early * 0.2) << "and dies away";
    EXPECT_GT(late, 0) << "without a hard stop";
}

TEST(ContentAudio, LoopedVoicesLoopWithoutASeam) {
    // The step across the loop's end into its start is no larger than the steps inside it.
    const ItSampleData voices[] = {Choir(45, 1),   DarkPad(38), WarmPad(50),
                                   Bass(38, 0.8f), Reed(62),    Flute(74)};
    for (const ItSampleData& s : voices) {
        ASSERT_TRUE(s.loop) << s.name;
        ASSERT_LT(s.loopBegin, s.loopEnd) << s.name;
        ASSERT_EQ(s.loopEnd, int(s.pcm.size())) << s.name;
        auto at = [&](int i) { return int(s.pcm[size_t(i)]); };
        int inside = 1;
        for (int i = s.loopBegin + 1; i < s.loopEnd; ++i)
            inside = std::max(inside, std::abs(at(i) - at(i - 1)));
        EXPECT_LE(std::abs(at(s.loopBegin) - at(s.loopEnd - 1)), inside) << s.name;
    }
}

TEST(ContentAudio, NotationReadsNotesHoldsAndOffs) {
    for (auto [name, note] :
         {std::pair{"C5", 60}, {"Eb5", 63}, {"F#3", 42}, {"B2", 35}, {"H4", -1}, {"C", -1}})
        EXPECT_EQ(NoteOf(name), note) << name;
    // Row, note, instrument and volume of every cell.
    using Cells = std::vector<std::vector<int>>;
    auto cells = [](const Score& s) {
        Cells out;
        for (const ItCell& c : s) out.push_back({c.row, c.note, c.ins, c.volume});
        return out;
    };
    Score s;
    EXPECT_EQ(Line(&s, 10, 3, 7, "D5 . - Eb5 ^", 4, 40, -12), 20);
    EXPECT_EQ(
        cells(s),
        (Cells{
            {10, 50, 7, 40}, {18, IT_NOTE_OFF, 0, -1}, {22, 51, 7, 40}, {26, IT_NOTE_CUT, 0, -1}}))
        << "transposed; holds, offs and cuts";
    s.clear();
    Steps(&s, 0, 1, 2, 60, "X.x,_", 2, 0.5f);
    EXPECT_EQ(cells(s), (Cells{{0, 60, 2, 32}, {4, 60, 2, 24}, {6, 60, 2, 11}, {8, 60, 2, 6}}));
}

// ---- the IT writer, read back by libopenmpt ----

// A string libopenmpt handed over, copied and given back.
std::string Taken(const char* s) {
    std::string copy = s ? s : "";
    openmpt_free_string(s);
    return copy;
}

openmpt_module* Load(const Bytes& file) {
    return openmpt_module_create_from_memory2(file.data(), file.size(), nullptr, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr);
}

std::vector<int16_t> Tone16(int frames, float hz) {
    Wave w = SineWave(hz, static_cast<size_t>(frames));
    for (float& v : w) v *= 0.8f;
    return ToPcm16(w);
}

// Every feature the writer has: a key split, an envelope, sustain and ping-pong loops, a message.
ItSong FeatureSong() {
    ItSong song;
    song.name = "round trip";
    song.message = "line one\nline two";
    // Looped; sustain-looped and panned; ping-pong looped at half rate.
    song.samples = {{"low", Tone16(4410, 441), 44100, true, 0, 4410, 60},
                    {"held", Tone16(22050, 882), 44100, false, 0, 0, 64, false, true, 0, 4410, 10},
                    {"swing", Tone16(4410, 441), 22050, true, 100, 4000, 64, true}};
    song.instruments = {{"split", 2, {{59, 1}}, Swell(4, 20), IT_NNA_OFF, 64},
                        {"plain", 3, {}, {}, IT_NNA_CUT, 0, 128, 50}};
    std::vector<ItCell> cells;
    for (int r = 0; r < 96; r += 4) {
        cells.push_back({r, 0, 48 + (r / 4) % 3 * 12, 1, 40});
        cells.push_back({r + 1, 3, 60, 2, -1, IT_FX('D'), 0x0F});
        cells.push_back({r + 2, 3, IT_NOTE_OFF, 0, -1, 0, 0, 20});
    }
    cells.push_back({95, 7, IT_NOTE_CUT, 0, 64, IT_FX('H'), 0x44});
    AddTimeline(&song, cells, 130, {40});
    song.channelPan = {0, 64};
    song.channelVolume = {64, 32};
    return song;
}

TEST(ContentAudio, WriterRoundTripsEveryFeatureThroughLibopenmpt) {
    const ItSong song = FeatureSong();
    ASSERT_EQ(song.orders, (std::vector<int>{0, 1, 2}))
        << "cut at row 40 and every 64 rows after: 40 + 64 + 26";
    const Bytes file = EncodeIt(song);
    openmpt_module* mod = Load(file);
    ASSERT_NE(mod, nullptr);
    // Title, message, channels up to the last one used, instruments and samples, orders and rows.
    std::string got = Taken(openmpt_module_get_metadata(mod, "title")) + "|" +
                      Taken(openmpt_module_get_metadata(mod, "message")) + "|" +
                      std::to_string(openmpt_module_get_num_channels(mod)) + "|" +
                      std::to_string(openmpt_module_get_num_instruments(mod)) +
                      Taken(openmpt_module_get_instrument_name(mod, 1)) + "|" +
                      std::to_string(openmpt_module_get_num_samples(mod)) +
                      Taken(openmpt_module_get_sample_name(mod, 2)) + "|";
    for (int o = 0; o < openmpt_module_get_num_orders(mod); ++o) {
        const int p = openmpt_module_get_order_pattern(mod, o);
        got += std::to_string(p) + ":" +
               std::to_string(openmpt_module_get_pattern_num_rows(mod, p)) + " ";
    }
    EXPECT_EQ(got, "round trip|line one\nline two|8|2plain|3swing|0:40 1:64 2:26 ");
    EXPECT_NEAR(openmpt_module_get_duration_seconds(mod), 130 * 0.08, 0.05)
        << "130 rows at speed 4, tempo 125";

    // Every cell as written, through the pattern compression: libopenmpt counts notes from 1 and
    // keeps 255 off, 254 cut; cells without a field read 0; effects show in hex.
    int checked = 0;
    for (int p = 0; p < 3; ++p)
        for (const ItCell& c : song.patterns[size_t(p)].cells) {
            std::vector<int> fields;
            for (int what : {OPENMPT_MODULE_COMMAND_NOTE, OPENMPT_MODULE_COMMAND_INSTRUMENT,
                             OPENMPT_MODULE_COMMAND_VOLUME, OPENMPT_MODULE_COMMAND_PARAMETER})
                fields.push_back(
                    openmpt_module_get_pattern_row_channel_command(mod, p, c.row, c.channel, what));
            const int note = c.note < 0 ? 0 : c.note < 120 ? c.note + 1 : c.note;
            EXPECT_EQ(fields,
                      (std::vector<int>{note, c.ins, c.pan >= 0 ? c.pan : std::max(c.volume, 0),
                                        c.param}))
                << p << ":" << c.row << ":" << c.channel;
            const std::string text =
                Taken(openmpt_module_format_pattern_row_channel(mod, p, c.row, c.channel, 0, 1));
            const char* effect = c.effect == IT_FX('D')   ? "D0F"
                                 : c.effect == IT_FX('H') ? "H44"
                                 : c.pan >= 0             ? "p14"
                                                          : "";
            EXPECT_NE(text.find(effect), std::string::npos) << "[" << text << "] " << effect;
            ++checked;
        }
    EXPECT_EQ(checked, 73);
    openmpt_module_destroy(mod);
}

// RMS of consecutive 50 ms windows of the module's stereo output.
std::vector<double> Loudness(openmpt_module* mod, double seconds) {
    std::vector<double> out;
    for (int w = 0; w < seconds * 20; ++w) {
        std::vector<float> buf(2205 * 2);  // silence after the end
        openmpt_module_read_interleaved_float_stereo(mod, 44100, 2205, buf.data());
        out.push_back(Rms(buf, 0, buf.size()));
    }
    return out;
}

TEST(ContentAudio, SustainLoopsEnvelopesAndKeySplitsPlay) {
    // One held note on the split instrument's upper zone (the sustain-looped sample), released at
    // row 25 (2 s): it sounds on past the sample's unlooped length, then fades out after release.
    ItSong song = FeatureSong();
    auto play = [&](const std::vector<ItCell>& cells) {
        song.patterns.clear();
        song.orders.clear();
        AddTimeline(&song, cells, 50, {});
        openmpt_module* mod = Load(EncodeIt(song));
        EXPECT_NE(mod, nullptr);
        const std::vector<double> out = mod ? Loudness(mod, 4) : std::vector<double>(80);
        openmpt_module_destroy(mod);
        return out;
    };
    const std::vector<double> held = play({{0, 0, 72, 1, 64}, {25, 0, IT_NOTE_OFF, 0}});
    EXPECT_GT(held[3], held[0]) << "the envelope's attack";
    EXPECT_GT(held[36], 0.05) << "1.8 s: still held by the sustain loop (the sample is 0.5 s)";
    EXPECT_LT(held[75], held[36] * 0.01) << "released: the envelope and the fade-out end it";

    // The lower zone plays the forward-looped sample: it goes on for as long as it is held.
    const std::vector<double> low = play({{0, 0, 48, 1, 64}});
    EXPECT_GT(low[60], 0.05);
    EXPECT_NEAR(low[60], low[20], low[20] * 0.1) << "a steady loop";
}

// ---- the show's built sound ----

const std::string kData = SHOW_DATA_DIR;

// The effects in the order the show's script numbers them, with the lengths they have.
const struct {
    const char* name;
    double minSeconds, maxSeconds;
} kEffects[] = {{"dvere", 2, 3.2}, {"bota", 0.15, 0.6}, {"boure", 4, 6.5},
                {"hrom", 3, 8},    {"kouzlo", 1.5, 4},  {"konec", 2.5, 6}};

// Each effect has its length and level, and starts and ends silent (no click).
TEST(ContentAudio, EffectsHaveTheirLengthsAndLevelsAndDoNotClick) {
    for (const auto& e : kEffects) {
        Bytes bytes;
        audio::WavPcm pcm;
        ASSERT_TRUE(ReadBytes(kData + "/sound/" + e.name + ".wav", &bytes)) << e.name;
        ASSERT_EQ(audio::ParseWav(bytes.data(), bytes.size(), &pcm), "") << e.name;
        ASSERT_EQ((std::vector<int>{int(pcm.rate), pcm.bits, pcm.channels}),
                  (std::vector<int>{44100, 16, 1}));
        const double seconds = pcm.frames / 44100.0;
        EXPECT_TRUE(seconds >= e.minSeconds && seconds <= e.maxSeconds) << e.name << seconds;
        const int16_t* v = reinterpret_cast<const int16_t*>(pcm.data);
        int peak = 0;
        for (uint32_t k = 0; k < pcm.frames; ++k) peak = std::max(peak, std::abs(int(v[k])));
        EXPECT_TRUE(peak >= 16384 && peak <= 29204) << e.name << ": " << peak << ", -6 to -1 dBFS";
        EXPECT_EQ(v[0], 0) << e.name << " starts silent";
        EXPECT_EQ(v[pcm.frames - 1], 0) << e.name << " ends silent";
        EXPECT_LT(std::abs(v[1]), 500) << e.name << " fades in";
    }
}

TEST(ContentAudio, SongsLastTheirSectionsThenEnd) {
    const struct {
        const char* name;
        double minSeconds, maxSeconds;
    } songs[] = {{"teufel.it", 129, 131}, {"titles.it", 99.5, 101.5}};
    for (const auto& s : songs) {
        Bytes bytes;
        openmpt_module* mod = ReadBytes(kData + "/" + s.name, &bytes) ? Load(bytes) : nullptr;
        ASSERT_NE(mod, nullptr) << s.name;
        // The duration runs to the song's end or its first repeat, whichever comes first.
        const double seconds = openmpt_module_get_duration_seconds(mod);
        EXPECT_TRUE(seconds >= s.minSeconds && seconds <= s.maxSeconds) << s.name << seconds;
        if (std::string(s.name) == "teufel.it") {
            // A pattern starts on each of the script's moments (row n sounds at frame 12 + n): the
            // title card, the walk-in, the acts, the dais, the relic, the great lightning, the end.
            std::set<int> starts;
            int row = 0;
            for (int o = 0; o < openmpt_module_get_num_orders(mod); ++o) {
                starts.insert(row);
                row += openmpt_module_get_pattern_num_rows(
                    mod, openmpt_module_get_order_pattern(mod, o));
            }
            EXPECT_EQ(row, 1620);
            for (int frame : {100, 300, 430, 588, 810, 1030, 1230, 1565})
                EXPECT_TRUE(starts.count(frame - 12)) << "frame " << frame;
        }
        openmpt_module_destroy(mod);
    }
}

// The show's sound as the script plays it: every section sounds, none clips under the effects.
TEST(ContentAudio, TheShowPlaysThroughTheStandInWithoutClipping) {
    ASSERT_TRUE(BassStandIn_InitOffline(44100));
    ASSERT_TRUE(BASS_Start());
    HSAMPLE fx[6];
    for (int i = 0; i < 6; ++i) {
        const std::string path = kData + "/sound/" + kEffects[i].name + ".wav";
        fx[i] = BASS_SampleLoad(FALSE, path.c_str(), 0, 0, 3, BASS_SAMPLE_OVER_POS);
        ASSERT_NE(fx[i], 0u) << path;
    }
    auto music = [&](const char* name) {
        return BASS_MusicLoad(FALSE, (kData + name).c_str(), 0, 0, BASS_MUSIC_RAMP);
    };
    const HMUSIC teufel = music("/teufel.it"), titles = music("/titles.it");
    ASSERT_NE(teufel, 0u);
    ASSERT_NE(titles, 0u);
    BASS_SetGlobalVolumes(100, 60, -1);
    const struct {
        int frame, what;
    } events[] = {{12, 6},  {310, 0},  {331, 1},  {370, 1},  {482, 2}, {600, 1},
                  {635, 1}, {672, 1},  {705, 1},  {730, 2},  {742, 1}, {805, 4},
                  {950, 2}, {1123, 2}, {1230, 3}, {1565, 5}, {1624, 7}};
    constexpr int kFrame = 3528, kFrames = 2874;
    std::vector<int16_t> block(kFrame * 2);
    std::vector<double> rms(kFrames);
    int peak = 0;
    bool teufelAtEnd = false;
    for (int f = 0; f < kFrames; ++f) {
        for (const auto& e : events)
            if (e.frame == f)
                e.what < 6 ? (void)BASS_SamplePlay(fx[e.what])
                           : (void)BASS_MusicPlay(e.what == 6 ? teufel : titles);
        if (f == 1620) teufelAtEnd = BassStandIn_MusicPlaying(teufel);
        ASSERT_EQ(BassStandIn_Render(block.data(), kFrame), kFrame);
        double s = 0;
        for (int16_t v : block)
            s += static_cast<double>(v) * v, peak = std::max(peak, std::abs(static_cast<int>(v)));
        rms[static_cast<size_t>(f)] = std::sqrt(s / (kFrame * 2)) / 32768;
    }
    EXPECT_TRUE(teufelAtEnd) << "teufel.it still plays at the end of the temple";
    EXPECT_FALSE(BassStandIn_MusicPlaying(teufel));
    BASS_Free();
    EXPECT_LT(peak, 32000) << "no clipping, effects over the music";
    auto level = [&](int a, int b) { return 20 * std::log10(Rms(rms, size_t(a), size_t(b) + 1)); };
    // The logo, the title card, the walk-in, the ritual, the climax, the closing piece.
    for (auto [a, b] :
         {std::pair{12, 99}, {100, 299}, {300, 429}, {810, 1029}, {1230, 1564}, {1624, 2873}})
        EXPECT_TRUE(level(a, b) > -32 && level(a, b) < -12) << a << ": sound, and headroom";
    EXPECT_LT(level(2860, 2873), -50) << "and has ended with the show";
    for (int f = 12; f < 2840; ++f)
        EXPECT_GT(rms[static_cast<size_t>(f)], 1e-3) << "no gap at frame " << f;
}

}  // namespace
