// bench_audio.cpp: cost of the mixer per second of audio, with two tracker musics and six samples
// playing, measured through offline rendering of 44100 frames per iteration.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "bass_standin.h"
#include "files.h"
#include "it_writer.h"

namespace {

// Eight channels of notes on every other row, 64 rows at speed 6 / tempo 125, pattern played 16
// times: about two minutes, so a music rarely ends inside a measurement.
Bytes BusyModule(int seed) {
    ItSong song;
    song.speed = 6;
    song.tempo = 125;
    song.orders.assign(16, 0);
    ItSampleData square, saw;
    for (int i = 0; i < 8 * (64 + seed); ++i)
        square.pcm.push_back(
            static_cast<int16_t>(i % (64 + seed) < (64 + seed) / 2 ? 90 * 256 : -90 * 256));
    square.c5speed = 22050;
    for (int i = 0; i < 2000; ++i)
        saw.pcm.push_back(static_cast<int16_t>(((i * 7 + seed) % 200 - 100) * 256));
    saw.c5speed = 8363;
    for (ItSampleData* s : {&square, &saw}) {
        s->loop = true;
        s->loopEnd = static_cast<int>(s->pcm.size());
        song.samples.push_back(*s);
    }
    ItPattern p;
    for (int row = 0; row < p.rows; row += 2)
        for (int ch = 0; ch < 8; ++ch)
            p.cells.push_back({row, ch, 36 + (row + ch * 5 + seed) % 48, 1 + ch % 2});
    song.patterns.push_back(p);
    return EncodeIt(song);
}

Bytes OneSecondWav(double hz, uint32_t rate) {
    std::vector<int16_t> pcm;
    for (uint32_t i = 0; i < rate; ++i)
        pcm.push_back(static_cast<int16_t>(8000 * std::sin(2 * M_PI * hz * i / rate)));
    return EncodeWav16(1, static_cast<int>(rate), pcm);
}

void BM_MixOneSecond(benchmark::State& state) {
    std::string dir = std::filesystem::temp_directory_path().string() + "/tambir_audio_XXXXXX";
    if (!mkdtemp(dir.data())) dir.clear();
    if (dir.empty() || !BassStandIn_InitOffline(44100) || !BASS_Start()) {
        state.SkipWithError("offline init failed");
        return;
    }
    HMUSIC musics[2];
    for (int i = 0; i < 2; ++i) {
        const std::string path = dir + "/m" + std::to_string(i) + ".it";
        WriteBytes(path, BusyModule(i * 3));
        musics[i] = BASS_MusicLoad(FALSE, path.c_str(), 0, 0, BASS_MUSIC_RAMP);
    }
    HSAMPLE samples[6];
    for (int i = 0; i < 6; ++i) {
        const std::string path = dir + "/s" + std::to_string(i) + ".wav";
        WriteBytes(path, OneSecondWav(220.0 * (i + 1), i % 2 ? 22050 : 44100));
        samples[i] = BASS_SampleLoad(FALSE, path.c_str(), 0, 0, 3, BASS_SAMPLE_OVER_POS);
    }
    for (HMUSIC m : musics)
        if (!m) state.SkipWithError("module load failed");
    for (HSAMPLE s : samples)
        if (!s) state.SkipWithError("sample load failed");
    BASS_SetGlobalVolumes(100, 60, -1);
    std::vector<int16_t> out(44100 * 2);
    for (auto _ : state) {
        for (HMUSIC m : musics)
            if (!BassStandIn_MusicPlaying(m)) BASS_MusicPlay(m);
        for (HSAMPLE s : samples) BASS_SamplePlay(s);
        BassStandIn_Render(out.data(), 44100);
        benchmark::DoNotOptimize(out.data());
    }
    // Audio seconds mixed per second of wall time: the margin over real time.
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    BASS_Free();
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_MixOneSecond)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
