// fuzz_module.cpp: module loading through BASS_MusicLoad of the audio stand-in (offline at 8 kHz):
// a module that loads plays and mixes a quarter of a second.
#include "bass_standin.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FUZZ_CHECK(BassStandIn_InitOffline(8000) && BASS_Start());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const HMUSIC music = BASS_MusicLoad(FALSE, MemFileWith(data, size), 0, 0, BASS_MUSIC_RAMP);
    if (music) {
        FUZZ_CHECK(BASS_MusicPlay(music));
        int16_t out[2 * 2000];
        FUZZ_CHECK(BassStandIn_Render(out, 2000) == 2000);
        BASS_MusicFree(music);
    }
    return 0;
}
