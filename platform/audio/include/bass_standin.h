// bass_standin.h: extensions of the audio stand-in for deterministic capture, tools and tests.
//
// Offline mode replaces the SDL output by explicit rendering calls: BassStandIn_InitOffline takes
// the place of BASS_Init, every BASS_* call then behaves as with a device, and
// BassStandIn_Render pulls the mixed output. The same sequence of calls renders the same output.
//
// Notes that hold for both modes:
// - File names may use Windows separators ("sound\\x.wav"); they are read as "sound/x.wav".
// - BASS_Init leaves the output stopped until BASS_Start, as the program expects.
// - BASS_MusicPlay on a music that is playing does nothing; on one that has ended, it starts over.
// - BASS_Free releases every sample and music; freeing their handles afterwards does nothing.
// - The BASS_* calls are made from one thread; the mixer runs on the SDL audio thread.
#pragma once

#include <cstdint>

#include "bass.h"

// Like BASS_Init(-1, rate, 0, 0), but opens no output device. FALSE (with a message) if already
// initialised or the rate is outside 8000-192000.
BOOL BassStandIn_InitOffline(DWORD rate);

// Capture: while on, BASS_Init opens no output device but an offline session at its rate, as
// BassStandIn_InitOffline does, so that the program's own start-up prepares offline rendering.
void BassStandIn_SetOfflineInit(BOOL on);

// The rate of the open offline session, 0 when none is open (no init yet, or a device output).
DWORD BassStandIn_OfflineRate(void);

// Mixes `frames` stereo frames as interleaved int16 (left, right) into `out`, advancing playback
// exactly as one device callback of that size would. While the output is stopped (before
// BASS_Start, after BASS_Stop) writes silence and advances nothing. Returns `frames`, or 0 with a
// message when not in offline mode or given bad arguments.
int BassStandIn_Render(int16_t* out, int frames);

// How many playbacks of the sample are sounding now; 0 for an unknown handle.
int BassStandIn_SamplePlaybacks(HSAMPLE handle);

// Whether the music is playing (started and not yet at its end); FALSE for an unknown handle.
BOOL BassStandIn_MusicPlaying(HMUSIC handle);
