// capture.h: the show written to a video file with its sound, frame-exact and repeatable.
//
// Implements: one capture per process, set up by the program's main() before the show starts.
//   - virtual time: the multimedia timer ticks once per presented frame (Win32_SetVirtualTime),
//     so every frame of the script is rendered exactly once, however fast the machine;
//   - sound from the same clock: the audio stand-in renders offline (BassStandIn_SetOfflineInit),
//     one timer period of samples per presented frame, after that frame's sound events, so a
//     sound started on frame n begins on the first sample of frame n's picture;
//   - encoding through FFmpeg's libraries: the container from the file name (.mp4, .mkv, .mov:
//     H.264 and AAC; .webm and other containers: their own default codecs), constant quality,
//     yuv420p in BT.709 limited range; frames repeated to reach a frame rate other than the show's;
//   - a 16-bit PCM WAV of the sound alone, with or without the video;
//   - a progress line on stderr (frame n of N, time elapsed, estimated time left);
//   - an end at a frame limit (the program is asked to close), at the program's own end, and,
//     through the stand-ins' fatal hook, at an assertion report: the files are always finished
//     (encoders flushed, trailer written).
// Does not implement: a picture that changes size during the show (the capture ends there),
//   hardware encoders, audio other than the stand-in's stereo mix.
//
// Use (win32_main.cpp): CapBegin before WinMain, CapEnd after it; the software card calls
// CapFrame at every present. Everything runs on the program's main thread.
#pragma once

#include <cstdint>
#include <string>

// What to capture; comes from the stand-in options (--capture, --capture-wav, ...).
struct CapSettings {
    std::string videoPath;  // video with sound; empty: none
    std::string wavPath;    // the sound alone as a WAV file; empty: none
    std::string fps;    // frame rate of the video ("25", "29.97", "30000/1001"); empty: the show's
    int crf = -1;       // constant-quality value of the video encoder; -1: our default for it
    int maxFrames = 0;  // end after this many frames; 0: when the program ends
    int showFrames = 2874;  // frames the show is expected to last, for the progress line
};

// Opens the output files (container and codecs chosen, files created) and turns on virtual time
// and offline sound. False with a one-line reason in *error (a name without a known container,
// a file that cannot be written, a bad frame rate or quality value); nothing is left on. Called
// once, before any timer starts.
bool CapBegin(const CapSettings& settings, std::string* error);
// True between a successful CapBegin and CapEnd.
bool CapActive(void);
// One presented frame of width x height RGB 5-6-5 pixels, rows pitchBytes apart. The first
// frame fixes the picture size and starts the encoders; then the frame's picture and one timer
// period of sound are encoded. Does nothing when no capture is active or it has ended.
void CapFrame(const uint16_t* pixels, int width, int height, int pitchBytes);
// Frames captured so far.
int CapFrames(void);
// Flushes the encoders, writes the trailers and closes the files; prints a summary. A capture
// that received no frame removes its files. Returns 0 when every file is complete, 1 otherwise
// (the reason was printed). Later calls return the first result.
int CapEnd(void);
