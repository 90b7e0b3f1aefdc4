// media_probe.h: a video or sound file read back through FFmpeg's libraries as a player sees it:
// stream facts, every decoded picture (hash, mean luma) and every decoded sound sample.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/samplefmt.h>
}

#include <cstdint>
#include <string>
#include <vector>

namespace probe {

struct Media {
    std::string error;  // empty when the file was read to its end
    std::string videoCodec, audioCodec;
    // Video: size, rate, and per decoded frame its time, a hash of its planes, its mean luma.
    int width = 0, height = 0;
    AVRational fps{0, 1};
    std::vector<double> frameSeconds;
    std::vector<uint64_t> frameHash;
    std::vector<double> frameLuma;
    double videoSeconds = 0;  // the last frame's time plus its duration
    // Audio: rate, channels, and the decoded samples, interleaved, -1..1.
    int audioRate = 0, audioChannels = 0;
    std::vector<float> pcm;
    double audioStart = 0;  // time of the first decoded sample
    double AudioSeconds() const {
        return audioRate && audioChannels ? double(pcm.size()) / audioChannels / audioRate : 0;
    }
};

// Sample i of channel ch, of the formats the decoders here give (WAV, AAC, Opus).
inline float Sample(const AVFrame* f, int ch, int i) {
    const int channels = f->ch_layout.nb_channels;
    const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(f->format));
    const uint8_t* base = planar ? f->data[ch] : f->data[0];
    const int at = planar ? i : i * channels + ch;
    switch (av_get_packed_sample_fmt(static_cast<AVSampleFormat>(f->format))) {
    case AV_SAMPLE_FMT_S16: return reinterpret_cast<const int16_t*>(base)[at] / 32768.0f;
    case AV_SAMPLE_FMT_FLT: return reinterpret_cast<const float*>(base)[at];
    default: return 0;
    }
}

inline Media Read(const std::string& path) {
    Media m;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) {
        m.error = "cannot open " + path;
        return m;
    }
    AVCodecContext* dec[2] = {nullptr, nullptr};  // video, audio
    int index[2] = {-1, -1};
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto finish = [&](const std::string& error) {
        if (m.error.empty()) m.error = error;
        avcodec_free_context(&dec[0]);
        avcodec_free_context(&dec[1]);
        av_frame_free(&frame);
        av_packet_free(&pkt);
        avformat_close_input(&fmt);
        return m;
    };
    if (avformat_find_stream_info(fmt, nullptr) < 0) return finish("no stream info");
    for (int k = 0; k < 2; ++k) {
        const AVMediaType type = k == 0 ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO;
        index[k] = av_find_best_stream(fmt, type, -1, -1, nullptr, 0);
        if (index[k] < 0) continue;
        const AVStream* st = fmt->streams[index[k]];
        const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
        dec[k] = codec ? avcodec_alloc_context3(codec) : nullptr;
        if (!dec[k] || avcodec_parameters_to_context(dec[k], st->codecpar) < 0 ||
            avcodec_open2(dec[k], codec, nullptr) < 0)
            return finish("no decoder");
        dec[k]->pkt_timebase = st->time_base;
        (k == 0 ? m.videoCodec : m.audioCodec) = codec->name;
        if (k == 0) {
            m.width = st->codecpar->width;
            m.height = st->codecpar->height;
            m.fps = st->avg_frame_rate;
        } else {
            m.audioRate = st->codecpar->sample_rate;
            m.audioChannels = st->codecpar->ch_layout.nb_channels;
        }
    }
    auto drain = [&](int k) {
        while (avcodec_receive_frame(dec[k], frame) == 0) {
            const AVRational tb = fmt->streams[index[k]]->time_base;
            const int64_t ts =
                frame->pts != AV_NOPTS_VALUE ? frame->pts : frame->best_effort_timestamp;
            const double t = ts == AV_NOPTS_VALUE ? 0 : double(ts) * av_q2d(tb);
            if (k == 0) {
                uint64_t h = 0xcbf29ce484222325ull;  // FNV-1a over the planes
                double sum = 0;
                for (int p = 0; p < 3; ++p) {
                    const int w = p ? (frame->width + 1) / 2 : frame->width;
                    const int rows = p ? (frame->height + 1) / 2 : frame->height;
                    for (int y = 0; y < rows; ++y) {
                        const uint8_t* row = frame->data[p] + size_t(y) * frame->linesize[p];
                        for (int x = 0; x < w; ++x) {
                            h = (h ^ row[x]) * 0x100000001b3ull;
                            sum += p == 0 ? row[x] : 0;
                        }
                    }
                }
                m.frameSeconds.push_back(t);
                m.frameHash.push_back(h);
                m.frameLuma.push_back(sum / (double(frame->width) * frame->height));
                const double d = frame->pkt_duration > 0
                                     ? double(frame->pkt_duration) * av_q2d(tb)
                                     : (m.fps.num ? av_q2d(av_inv_q(m.fps)) : 0);
                m.videoSeconds = t + d;
            } else {
                if (m.pcm.empty()) m.audioStart = t;
                for (int i = 0; i < frame->nb_samples; ++i)
                    for (int c = 0; c < frame->ch_layout.nb_channels; ++c)
                        m.pcm.push_back(Sample(frame, c, i));
            }
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        for (int k = 0; k < 2; ++k) {
            if (pkt->stream_index != index[k]) continue;
            if (avcodec_send_packet(dec[k], pkt) < 0) {
                av_packet_unref(pkt);
                return finish("undecodable packet");
            }
            drain(k);
        }
        av_packet_unref(pkt);
    }
    for (int k = 0; k < 2; ++k) {
        if (!dec[k]) continue;
        avcodec_send_packet(dec[k], nullptr);
        drain(k);
    }
    return finish("");
}

}  // namespace probe
