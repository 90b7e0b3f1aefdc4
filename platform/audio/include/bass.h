// bass.h: the audio library subset the demo calls, as a stand-in over libopenmpt and SDL2 audio.
//
// Implemented (platform/audio): BASS_Init (one SDL2 output, 44100 Hz stereo), BASS_Start,
// BASS_Stop, BASS_Free, BASS_SampleLoad from a PCM WAV file (8/16-bit, mono/stereo, any rate),
// BASS_SamplePlay, BASS_SampleFree, BASS_MusicLoad of a tracker module (Impulse Tracker and the
// other formats libopenmpt reads), BASS_MusicPlay, BASS_MusicFree, BASS_SetGlobalVolumes.
// Not implemented: loading from memory, offsets and lengths other than 0, 3D sound, streams,
// effects, recording, channel attributes. Such arguments print a message on stderr and the call
// fails (handle 0 / FALSE).
//
// A load that fails yields handle 0; playing or freeing handle 0 does nothing.
#pragma once

#include "windows.h"

typedef DWORD HMUSIC;
typedef DWORD HSAMPLE;
typedef DWORD HCHANNEL;

// BASS_SampleLoad flags.
#define BASS_SAMPLE_OVER_VOL 0x10000  // when all playbacks are busy, restart the quietest
#define BASS_SAMPLE_OVER_POS 0x20000  // when all playbacks are busy, restart the longest-playing

// BASS_MusicLoad flags.
#define BASS_MUSIC_RAMP 1  // ramp volume changes to avoid clicks (libopenmpt always ramps)

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win);
BOOL BASS_Start(void);
BOOL BASS_Stop(void);
void BASS_Free(void);

HSAMPLE BASS_SampleLoad(BOOL mem, const char* file, DWORD offset, DWORD length, DWORD max,
                        DWORD flags);
HCHANNEL BASS_SamplePlay(HSAMPLE handle);
void BASS_SampleFree(HSAMPLE handle);

HMUSIC BASS_MusicLoad(BOOL mem, const char* file, DWORD offset, DWORD length, DWORD flags);
BOOL BASS_MusicPlay(HMUSIC handle);
void BASS_MusicFree(HMUSIC handle);

// Volumes 0-100; -1 leaves a value unchanged.
BOOL BASS_SetGlobalVolumes(int musicVolume, int sampleVolume, int streamVolume);
