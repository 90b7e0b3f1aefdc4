// fuzz_wav.cpp: the WAV loader, through BASS_SampleLoad of the audio stand-in (offline at 8 kHz).
// The PCM a file parses to lies inside the file; a sample that loads plays and mixes.
#include "audio_wav.h"
#include "bass_standin.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FUZZ_CHECK(BassStandIn_InitOffline(8000) && BASS_Start());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    audio::WavPcm pcm;
    if (audio::ParseWav(data, size, &pcm).empty()) {
        const size_t frameBytes =
            static_cast<size_t>(pcm.channels) * static_cast<size_t>(pcm.bits / 8);
        FUZZ_CHECK(pcm.frames > 0 && frameBytes > 0 && pcm.data >= data && pcm.data <= data + size);
        FUZZ_CHECK(pcm.frames <= static_cast<size_t>(data + size - pcm.data) / frameBytes);
    }
    const HSAMPLE sample =
        BASS_SampleLoad(FALSE, MemFileWith(data, size), 0, 0, 2, BASS_SAMPLE_OVER_POS);
    if (sample) {
        for (int i = 0; i < 3; ++i) BASS_SamplePlay(sample);
        int16_t out[2 * 256];
        FUZZ_CHECK(BassStandIn_Render(out, 256) == 256);
        BASS_SampleFree(sample);
    }
    return 0;
}
