// audio_wav.cpp: a bounds-checked RIFF/WAVE reader for uncompressed PCM (8-bit unsigned, 16-bit
// signed, mono or stereo, any rate) and its one-time conversion to the mixer's stereo float format.
#include "audio_wav.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "le_bytes.h"

namespace audio {
namespace {

std::string ChunkName(const uint8_t* id) {
    std::string s = "'";
    for (int i = 0; i < 4; ++i)
        s += (id[i] >= 0x20 && id[i] < 0x7f) ? static_cast<char>(id[i]) : '?';
    return s + "'";
}

// The tail of the KSDATAFORMAT_SUBTYPE_PCM GUID that follows its leading 16-bit format tag.
constexpr uint8_t kPcmGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                      0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

}  // namespace

std::string ParseWav(const uint8_t* bytes, size_t size, WavPcm* out) {
    if (size < 12)
        return "file is " + std::to_string(size) + " bytes, too short for a RIFF/WAVE header";
    if (std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return "not a RIFF/WAVE file";
    // We are strict about sizes: a RIFF or chunk size that runs past the end of the file means the
    // file was cut short, and it is refused rather than played in part. Bytes after the RIFF chunk
    // are ignored.
    const uint32_t riffSize = GetLe32(bytes + 4);
    if (riffSize < 4 || riffSize > size - 8)
        return "RIFF size " + std::to_string(riffSize) + " does not fit the file of " +
               std::to_string(size) + " bytes (truncated?)";
    const size_t end = 8 + static_cast<size_t>(riffSize);

    const uint8_t* fmt = nullptr;
    uint32_t fmtSize = 0;
    const uint8_t* data = nullptr;
    uint32_t dataSize = 0;
    size_t pos = 12;
    while (pos < end) {
        if (end - pos < 8) return "truncated chunk header at offset " + std::to_string(pos);
        const uint8_t* id = bytes + pos;
        const uint32_t chunkSize = GetLe32(bytes + pos + 4);
        pos += 8;
        if (chunkSize > end - pos)
            return "chunk " + ChunkName(id) + " of " + std::to_string(chunkSize) +
                   " bytes at offset " + std::to_string(pos - 8) + " runs past the end of the file";
        if (std::memcmp(id, "fmt ", 4) == 0 && !fmt) {
            fmt = bytes + pos;
            fmtSize = chunkSize;
        } else if (std::memcmp(id, "data", 4) == 0 && !data) {
            data = bytes + pos;
            dataSize = chunkSize;
        }
        pos += chunkSize;
        // Odd-sized chunks are followed by a pad byte; writers often omit it on the last chunk.
        if ((chunkSize & 1) && pos < end) ++pos;
    }

    if (!fmt) return "no 'fmt ' chunk";
    if (fmtSize < 16) return "'fmt ' chunk is " + std::to_string(fmtSize) + " bytes, need 16";
    uint16_t tag = GetLe16(fmt);
    const uint16_t channels = GetLe16(fmt + 2);
    const uint32_t rate = GetLe32(fmt + 4);
    const uint16_t blockAlign = GetLe16(fmt + 12);
    const uint16_t bits = GetLe16(fmt + 14);
    if (tag == 0xFFFE) {  // WAVE_FORMAT_EXTENSIBLE: the real format is in the sub-format GUID
        if (fmtSize < 40) return "extensible 'fmt ' chunk is too short";
        tag = std::memcmp(fmt + 26, kPcmGuidTail, sizeof kPcmGuidTail) == 0 ? GetLe16(fmt + 24) : 0;
    }
    if (tag != 1) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%04X", GetLe16(fmt));
        return std::string("format ") + hex + " is not uncompressed PCM";
    }
    if (channels == 0) return "zero channels";
    if (channels > 2) return std::to_string(channels) + " channels (only mono and stereo are read)";
    if (rate == 0) return "sample rate 0";
    if (bits != 8 && bits != 16)
        return std::to_string(bits) + "-bit samples (only 8 and 16 bits are read)";
    if (blockAlign != channels * bits / 8)
        return "block align " + std::to_string(blockAlign) + " does not match " +
               std::to_string(channels) + " channels of " + std::to_string(bits) + " bits";
    if (!data) return "no 'data' chunk";
    if (dataSize / blockAlign == 0) return "the 'data' chunk holds no complete frame";

    out->channels = channels;
    out->bits = bits;
    out->rate = rate;
    out->data = data;
    out->frames = dataSize / blockAlign;
    return {};
}

std::string ConvertWav(const WavPcm& in, uint32_t outRate, std::vector<float>* out) {
    if (in.frames == 0 || in.rate == 0 || outRate == 0) return "nothing to convert";
    uint64_t outFrames = (static_cast<uint64_t>(in.frames) * outRate + in.rate / 2) / in.rate;
    if (outFrames == 0) outFrames = 1;
    if (outFrames > static_cast<uint64_t>(kMaxSampleSeconds) * outRate)
        return "longer than " + std::to_string(kMaxSampleSeconds) + " seconds";

    const size_t bytesPerSample = static_cast<size_t>(in.bits / 8);
    const size_t blockAlign = bytesPerSample * static_cast<size_t>(in.channels);
    auto at = [&](size_t frame, int ch) -> float {
        const uint8_t* p = in.data + frame * blockAlign + static_cast<size_t>(ch) * bytesPerSample;
        if (in.bits == 8) return (static_cast<float>(p[0]) - 128.0f) / 128.0f;
        return static_cast<float>(static_cast<int16_t>(GetLe16(p))) / 32768.0f;
    };

    out->assign(static_cast<size_t>(outFrames) * 2, 0.0f);
    float* dst = out->data();
    const size_t last = in.frames - 1;
    for (uint64_t i = 0; i < outFrames; ++i) {
        // Source position i * in.rate / outRate, split exactly into whole frame and fraction.
        const uint64_t num = i * in.rate;
        const size_t idx = static_cast<size_t>(std::min<uint64_t>(num / outRate, last));
        const size_t next = std::min(idx + 1, last);
        const float frac = static_cast<float>(num % outRate) / static_cast<float>(outRate);
        for (int c = 0; c < 2; ++c) {
            const int src = in.channels == 2 ? c : 0;
            const float a = at(idx, src);
            const float b = at(next, src);
            *dst++ = a + (b - a) * frac;
        }
    }
    return {};
}

}  // namespace audio
