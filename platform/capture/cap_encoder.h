// cap_encoder.h: one output file through FFmpeg's libraries (private to platform/capture).
//
// A CapOutput is a container with a video stream (RGB 5-6-5 pictures, converted by libswscale)
// and an audio stream (interleaved int16 stereo, converted by libswresample and cut into the
// encoder's frame size), or an audio stream alone. Open it before the show (the file is created
// and the codecs chosen, so a bad name fails early), start it at the first frame (streams,
// encoders, header), feed it, and finish it (encoders flushed, trailer written).
#pragma once

#include <cstdint>
#include <string>

struct AVFormatContext;
struct AVCodec;
struct AVCodecContext;
struct AVStream;
struct AVFrame;
struct AVPacket;
struct AVAudioFifo;
struct SwsContext;
struct SwrContext;

enum CapKind : int {
    CAP_VIDEO = 0,  // video and sound, the container from the file name
    CAP_WAV = 1     // the sound alone as 16-bit PCM in a WAV file, whatever the name
};

struct CapOutput {
    std::string path;
    CapKind kind = CAP_VIDEO;
    int crf = -1;
    AVFormatContext* fmt = nullptr;
    const AVCodec* videoCodec = nullptr;
    const AVCodec* audioCodec = nullptr;  // null: the container takes no sound
    bool started = false;                 // header written
    AVPacket* pkt = nullptr;

    // Video.
    AVCodecContext* venc = nullptr;
    AVStream* vst = nullptr;
    AVFrame* vframe = nullptr;
    SwsContext* sws = nullptr;
    int width = 0, height = 0;  // the pictures handed in; the encoded size is rounded up to even
    int64_t vpts = 0;           // next video frame, in frames of the output rate

    // Audio.
    AVCodecContext* aenc = nullptr;
    AVStream* ast = nullptr;
    AVFrame* aframe = nullptr;
    SwrContext* swr = nullptr;
    AVAudioFifo* fifo = nullptr;
    uint8_t** conv = nullptr;  // converted samples of one block, grown when a block is larger
    int convCapacity = 0;
    int inRate = 0;
    int chunk = 0;     // samples per encoded frame
    int64_t apts = 0;  // next audio sample at the encoder's rate
};

// Creates the file and chooses the container and codecs. For CAP_VIDEO, crf >= 0 needs an
// encoder with a constant-quality setting. False with the reason in *error (the output is then
// closed and its file removed).
bool CapOutputOpen(CapOutput* out, const std::string& path, CapKind kind, int crf,
                   std::string* error);
// Adds the streams, opens the encoders and writes the header: pictures of width x height shown
// at fpsNum/fpsDen frames a second (ignored for CAP_WAV), sound at audioRate.
bool CapOutputStart(CapOutput* out, int width, int height, int fpsNum, int fpsDen, int audioRate,
                    std::string* error);
// Encodes one picture (width x height of CapOutputStart, rows pitchBytes apart) as `repeats`
// consecutive frames (0: none).
bool CapOutputVideo(CapOutput* out, const uint16_t* pixels, int pitchBytes, int repeats,
                    std::string* error);
// Encodes `frames` stereo frames of interleaved int16 sound at the rate of CapOutputStart.
bool CapOutputAudio(CapOutput* out, const int16_t* pcm, int frames, std::string* error);
// Flushes the encoders, writes the trailer and closes the file. False with the reason.
bool CapOutputFinish(CapOutput* out, std::string* error);
// Frees everything; removes the file when asked (an output that was never started, say).
void CapOutputClose(CapOutput* out, bool removeFile);
// "H.264 + AAC in mp4": what CapOutputOpen chose, for messages.
std::string CapOutputDescribe(const CapOutput* out);
