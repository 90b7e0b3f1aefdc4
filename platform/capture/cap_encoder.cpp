// cap_encoder.cpp: an output file through libavformat, libavcodec, libswscale and libswresample.
//
// Codecs: H.264 (libx264) when the container takes it, else the container's own default video
// codec (VP9 in WebM); AAC when the container takes it, else its default (Opus in WebM); 16-bit
// PCM in a WAV. Quality is constant (crf), never a bit rate, so the file follows the picture.
// Video frames carry their pts in frames of the output rate and last one frame each; audio pts
// count samples at the encoder's rate. Every buffer is made at start and reused per frame.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cap_encoder.h"

namespace {

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

bool Fail(std::string* error, const std::string& what, int code = 0) {
    *error = code ? what + ": " + AvError(code) : what;
    return false;
}

bool HasOption(const AVCodec* codec, const char* name) {
    return codec && codec->priv_class &&
           av_opt_find2(const_cast<AVClass**>(&codec->priv_class), name, nullptr, 0,
                        AV_OPT_SEARCH_FAKE_OBJ, nullptr) != nullptr;
}

bool Takes(const AVOutputFormat* format, AVCodecID id) {
    return avformat_query_codec(format, id, FF_COMPLIANCE_NORMAL) == 1;
}

const AVCodec* VideoEncoder(const AVOutputFormat* format) {
    if (Takes(format, AV_CODEC_ID_H264)) {
        // By name first: the generic look-up may find a hardware encoder this machine lacks.
        const AVCodec* c = avcodec_find_encoder_by_name("libx264");
        if (!c) c = avcodec_find_encoder(AV_CODEC_ID_H264);
        if (c) return c;
    }
    return format->video_codec == AV_CODEC_ID_NONE ? nullptr
                                                   : avcodec_find_encoder(format->video_codec);
}

const AVCodec* AudioEncoder(const AVOutputFormat* format, CapKind kind) {
    if (kind == CAP_WAV) return avcodec_find_encoder(AV_CODEC_ID_PCM_S16LE);
    if (Takes(format, AV_CODEC_ID_AAC)) {
        const AVCodec* c = avcodec_find_encoder(AV_CODEC_ID_AAC);
        if (c) return c;
    }
    return format->audio_codec == AV_CODEC_ID_NONE ? nullptr
                                                   : avcodec_find_encoder(format->audio_codec);
}

// Sends one frame (null: flush) and writes every packet the encoder has ready.
bool Encode(CapOutput* out, AVCodecContext* enc, AVStream* st, AVFrame* frame, std::string* error) {
    int r = avcodec_send_frame(enc, frame);
    if (r < 0) return Fail(error, std::string("cannot encode ") + enc->codec->name, r);
    for (;;) {
        r = avcodec_receive_packet(enc, out->pkt);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) return Fail(error, std::string("cannot encode ") + enc->codec->name, r);
        if (enc == out->venc) out->pkt->duration = 1;  // every video frame lasts one frame
        av_packet_rescale_ts(out->pkt, enc->time_base, st->time_base);
        out->pkt->stream_index = st->index;
        r = av_interleaved_write_frame(out->fmt, out->pkt);  // takes the packet's data
        if (r < 0) return Fail(error, "cannot write " + out->path, r);
    }
}

bool StartVideo(CapOutput* out, int width, int height, int fpsNum, int fpsDen, std::string* error) {
    const AVCodec* codec = out->videoCodec;
    AVCodecContext* enc = out->venc = avcodec_alloc_context3(codec);
    out->vst = avformat_new_stream(out->fmt, nullptr);
    out->vframe = av_frame_alloc();
    if (!enc || !out->vst || !out->vframe) return Fail(error, "out of memory");
    out->width = width;
    out->height = height;
    // 4:2:0 needs even sides: an odd picture gets one black column or row.
    enc->width = (width + 1) & ~1;
    enc->height = (height + 1) & ~1;
    enc->pix_fmt = AV_PIX_FMT_YUV420P;
    enc->time_base = AVRational{fpsDen, fpsNum};
    enc->framerate = AVRational{fpsNum, fpsDen};
    enc->sample_aspect_ratio = AVRational{1, 1};
    enc->color_range = AVCOL_RANGE_MPEG;
    enc->colorspace = AVCOL_SPC_BT709;
    enc->color_primaries = AVCOL_PRI_BT709;
    enc->color_trc = AVCOL_TRC_BT709;
    enc->gop_size = fpsNum / fpsDen * 5 + 1;  // a key frame every 5 seconds or so, for seeking
    enc->flags |= AV_CODEC_FLAG_BITEXACT;
    if (out->fmt->oformat->flags & AVFMT_GLOBALHEADER) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

    AVDictionary* opts = nullptr;
    const bool x264 = std::strcmp(codec->name, "libx264") == 0;
    const bool vpx = std::strncmp(codec->name, "libvpx", 6) == 0;
    int crf = out->crf;
    // x264's own default: lower kept the 5-6-5 dither pattern at half again the size and time.
    if (crf < 0) crf = x264 ? 23 : 32;
    if (HasOption(codec, "crf")) av_dict_set_int(&opts, "crf", crf, 0);
    if (x264) av_dict_set(&opts, "preset", "veryfast", 0);
    if (vpx) {
        enc->bit_rate = 0;  // crf alone: constant quality
        av_dict_set(&opts, "deadline", "good", 0);
        av_dict_set(&opts, "cpu-used", "5", 0);
        av_dict_set(&opts, "row-mt", "1", 0);
    }
    int r = avcodec_open2(enc, codec, &opts);
    av_dict_free(&opts);
    if (r < 0) {
        return Fail(error,
                    std::string("cannot open the ") + codec->name + " encoder at " +
                        std::to_string(enc->width) + "x" + std::to_string(enc->height),
                    r);
    }
    r = avcodec_parameters_from_context(out->vst->codecpar, enc);
    if (r < 0) return Fail(error, "cannot set up the video stream", r);
    out->vst->time_base = enc->time_base;
    out->vst->avg_frame_rate = enc->framerate;
    out->vst->r_frame_rate = enc->framerate;

    out->vframe->format = enc->pix_fmt;
    out->vframe->width = enc->width;
    out->vframe->height = enc->height;
    out->vframe->color_range = enc->color_range;
    out->vframe->colorspace = enc->colorspace;
    out->vframe->color_primaries = enc->color_primaries;
    out->vframe->color_trc = enc->color_trc;
    r = av_frame_get_buffer(out->vframe, 0);
    if (r < 0) return Fail(error, "cannot make a video frame", r);

    // Only chroma is resampled (2:1); the fast filter is as good as any for 5- and 6-bit input.
    out->sws = sws_getContext(width, height, AV_PIX_FMT_RGB565, width, height, AV_PIX_FMT_YUV420P,
                              SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
    if (!out->sws) return Fail(error, "cannot convert 5-6-5 pictures to yuv420p");
    // Full-range RGB in, BT.709 limited range out, as the stream says.
    sws_setColorspaceDetails(out->sws, sws_getCoefficients(SWS_CS_DEFAULT), 1,
                             sws_getCoefficients(SWS_CS_ITU709), 0, 0, 1 << 16, 1 << 16);
    return true;
}

bool StartAudio(CapOutput* out, int rate, std::string* error) {
    const AVCodec* codec = out->audioCodec;
    AVCodecContext* enc = out->aenc = avcodec_alloc_context3(codec);
    out->ast = avformat_new_stream(out->fmt, nullptr);
    out->aframe = av_frame_alloc();
    out->fifo = nullptr;
    if (!enc || !out->ast || !out->aframe) return Fail(error, "out of memory");
    // The encoder's own sample format, planar float when it offers it.
    enc->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    for (const AVSampleFormat* f = codec->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == AV_SAMPLE_FMT_FLTP) enc->sample_fmt = *f;
    // The mixer's rate when the encoder takes it, else 48000 (Opus), else its highest.
    int outRate = rate;
    if (codec->supported_samplerates) {
        bool takes = false;
        int best = 0;
        for (const int* r = codec->supported_samplerates; *r; ++r) {
            takes |= *r == rate;
            if (*r == 48000 || (best != 48000 && *r > best)) best = *r;
        }
        if (!takes) outRate = best;
    }
    enc->sample_rate = outRate;
    enc->time_base = AVRational{1, outRate};
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    av_channel_layout_copy(&enc->ch_layout, &stereo);
    if (out->kind != CAP_WAV) enc->bit_rate = codec->id == AV_CODEC_ID_AAC ? 192000 : 160000;
    enc->flags |= AV_CODEC_FLAG_BITEXACT;
    if (out->fmt->oformat->flags & AVFMT_GLOBALHEADER) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* opts = nullptr;
    // FFmpeg's AAC encoder searches its quantisers with a slow two-loop coder by default: at
    // 192 kbit/s the fast one sounds the same and takes a fifth of the time.
    if (HasOption(codec, "aac_coder")) av_dict_set(&opts, "aac_coder", "fast", 0);
    int r = avcodec_open2(enc, codec, &opts);
    av_dict_free(&opts);
    if (r < 0) return Fail(error, std::string("cannot open the ") + codec->name + " encoder", r);
    r = avcodec_parameters_from_context(out->ast->codecpar, enc);
    if (r < 0) return Fail(error, "cannot set up the audio stream", r);
    out->ast->time_base = enc->time_base;

    out->inRate = rate;
    const bool anySize =
        enc->frame_size <= 0 || (codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
    out->chunk = anySize ? 4096 : enc->frame_size;
    AVChannelLayout inLayout = AV_CHANNEL_LAYOUT_STEREO;
    r = swr_alloc_set_opts2(&out->swr, &enc->ch_layout, enc->sample_fmt, outRate, &inLayout,
                            AV_SAMPLE_FMT_S16, rate, 0, nullptr);
    if (r < 0 || (r = swr_init(out->swr)) < 0) return Fail(error, "cannot convert the sound", r);
    out->fifo = av_audio_fifo_alloc(enc->sample_fmt, 2, out->chunk * 4);
    if (!out->fifo) return Fail(error, "out of memory");
    out->aframe->format = enc->sample_fmt;
    out->aframe->sample_rate = outRate;
    out->aframe->nb_samples = out->chunk;
    av_channel_layout_copy(&out->aframe->ch_layout, &enc->ch_layout);
    r = av_frame_get_buffer(out->aframe, 0);
    if (r < 0) return Fail(error, "cannot make an audio frame", r);
    return true;
}

// Encodes whole chunks from the fifo; with `last`, the rest too (the encoder pads it).
bool DrainFifo(CapOutput* out, bool last, std::string* error) {
    while (av_audio_fifo_size(out->fifo) >= out->chunk ||
           (last && av_audio_fifo_size(out->fifo) > 0)) {
        const int n = std::min(av_audio_fifo_size(out->fifo), out->chunk);
        int r = av_frame_make_writable(out->aframe);
        if (r < 0) return Fail(error, "cannot reuse the audio frame", r);
        out->aframe->nb_samples = n;
        if (av_audio_fifo_read(out->fifo, reinterpret_cast<void**>(out->aframe->data), n) != n)
            return Fail(error, "audio queue underrun");
        out->aframe->pts = out->apts;
        out->apts += n;
        if (!Encode(out, out->aenc, out->ast, out->aframe, error)) return false;
    }
    return true;
}

// Converts `frames` int16 stereo frames (null: what the resampler still holds) into the fifo.
bool Convert(CapOutput* out, const int16_t* pcm, int frames, std::string* error) {
    const int room = swr_get_out_samples(out->swr, frames);
    if (room > out->convCapacity) {
        if (out->conv) av_freep(&out->conv[0]);
        av_freep(&out->conv);
        int r = av_samples_alloc_array_and_samples(&out->conv, nullptr, 2, room,
                                                   out->aenc->sample_fmt, 0);
        if (r < 0) return Fail(error, "out of memory", r);
        out->convCapacity = room;
    }
    const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(pcm)};
    const int got = swr_convert(out->swr, out->conv, out->convCapacity, pcm ? in : nullptr, frames);
    if (got < 0) return Fail(error, "cannot convert the sound", got);
    if (got > 0 && av_audio_fifo_write(out->fifo, reinterpret_cast<void**>(out->conv), got) != got)
        return Fail(error, "out of memory");
    return true;
}

}  // namespace

bool CapOutputOpen(CapOutput* out, const std::string& path, CapKind kind, int crf,
                   std::string* error) {
    CapOutputClose(out, false);
    out->path = path;
    out->kind = kind;
    out->crf = crf;
    int r = avformat_alloc_output_context2(&out->fmt, nullptr, kind == CAP_WAV ? "wav" : nullptr,
                                           path.c_str());
    if (r < 0 || !out->fmt) {
        out->fmt = nullptr;
        return Fail(error, "cannot tell a container from the name \"" + path +
                               "\" (use .mp4, .mkv, .webm, ...)");
    }
    const AVOutputFormat* format = out->fmt->oformat;
    auto fail = [&](const std::string& what, int code = 0) {
        CapOutputClose(out, false);
        return Fail(error, what, code);
    };
    if (kind == CAP_VIDEO) {
        out->videoCodec = VideoEncoder(format);
        if (!out->videoCodec)
            return fail("the " + std::string(format->name) + " container of \"" + path +
                        "\" takes no video that this machine can encode");
        if (crf >= 0 && !HasOption(out->videoCodec, "crf"))
            return fail(std::string("the ") + out->videoCodec->name +
                        " encoder has no constant-quality setting for --capture-crf");
    }
    out->audioCodec = AudioEncoder(format, kind);
    if (kind == CAP_WAV && !out->audioCodec) return fail("no 16-bit PCM encoder");
    out->pkt = av_packet_alloc();
    if (!out->pkt) return fail("out of memory");
    out->fmt->flags |= AVFMT_FLAG_BITEXACT;
    if (!(format->flags & AVFMT_NOFILE)) {
        r = avio_open(&out->fmt->pb, path.c_str(), AVIO_FLAG_WRITE);
        if (r < 0) return fail("cannot write \"" + path + "\"", r);
    }
    return true;
}

bool CapOutputStart(CapOutput* out, int width, int height, int fpsNum, int fpsDen, int audioRate,
                    std::string* error) {
    if (!out->fmt || out->started) return Fail(error, "the output is not open, or started twice");
    if (out->kind == CAP_VIDEO) {
        if (width < 1 || height < 1 || fpsNum < 1 || fpsDen < 1)
            return Fail(error, "bad picture size or frame rate");
        if (!StartVideo(out, width, height, fpsNum, fpsDen, error)) return false;
    }
    if (out->audioCodec && !StartAudio(out, audioRate, error)) return false;
    AVDictionary* opts = nullptr;
    // MP4 and MOV put their index first, so players can start before the whole file is read.
    const char* name = out->fmt->oformat->name;
    if (std::strcmp(name, "mp4") == 0 || std::strcmp(name, "mov") == 0)
        av_dict_set(&opts, "movflags", "+faststart", 0);
    int r = avformat_write_header(out->fmt, &opts);
    av_dict_free(&opts);
    if (r < 0) return Fail(error, "cannot write the header of " + out->path, r);
    out->started = true;
    return true;
}

bool CapOutputVideo(CapOutput* out, const uint16_t* pixels, int pitchBytes, int repeats,
                    std::string* error) {
    if (!out->started || !out->venc || repeats <= 0) return true;
    if (!pixels || pitchBytes < out->width * 2) return Fail(error, "no picture");
    AVFrame* f = out->vframe;
    int r = av_frame_make_writable(f);
    if (r < 0) return Fail(error, "cannot reuse the video frame", r);
    const uint8_t* src[1] = {reinterpret_cast<const uint8_t*>(pixels)};
    const int srcStride[1] = {pitchBytes};
    sws_scale(out->sws, src, srcStride, 0, out->height, f->data, f->linesize);
    // The black edge of an odd picture (chroma of the edge comes from the last pixels already).
    if (f->width > out->width)
        for (int y = 0; y < out->height; ++y)
            f->data[0][size_t(y) * f->linesize[0] + out->width] = 16;
    if (f->height > out->height)
        std::memset(f->data[0] + size_t(out->height) * f->linesize[0], 16, size_t(f->width));
    for (int i = 0; i < repeats; ++i) {
        f->pts = out->vpts++;
        if (!Encode(out, out->venc, out->vst, f, error)) return false;
    }
    return true;
}

bool CapOutputAudio(CapOutput* out, const int16_t* pcm, int frames, std::string* error) {
    if (!out->started || !out->aenc || frames <= 0) return true;
    if (!pcm) return Fail(error, "no sound");
    return Convert(out, pcm, frames, error) && DrainFifo(out, false, error);
}

bool CapOutputFinish(CapOutput* out, std::string* error) {
    if (!out->started) return Fail(error, "nothing was written to " + out->path);
    bool ok = true;
    if (out->aenc) {
        ok = Convert(out, nullptr, 0, error) && DrainFifo(out, true, error) &&
             Encode(out, out->aenc, out->ast, nullptr, error);
    }
    if (ok && out->venc) ok = Encode(out, out->venc, out->vst, nullptr, error);
    int r = av_write_trailer(out->fmt);
    if (ok && r < 0) ok = Fail(error, "cannot finish " + out->path, r);
    if (out->fmt->pb) {
        r = avio_closep(&out->fmt->pb);
        if (ok && r < 0) ok = Fail(error, "cannot close " + out->path, r);
    }
    out->started = false;
    return ok;
}

void CapOutputClose(CapOutput* out, bool removeFile) {
    if (out->fmt) {
        if (out->fmt->pb) avio_closep(&out->fmt->pb);
        avformat_free_context(out->fmt);
        if (removeFile) std::remove(out->path.c_str());
    }
    avcodec_free_context(&out->venc);
    avcodec_free_context(&out->aenc);
    av_frame_free(&out->vframe);
    av_frame_free(&out->aframe);
    av_packet_free(&out->pkt);
    sws_freeContext(out->sws);
    swr_free(&out->swr);
    if (out->fifo) av_audio_fifo_free(out->fifo);
    if (out->conv) av_freep(&out->conv[0]);
    av_freep(&out->conv);
    *out = CapOutput{};
}

std::string CapOutputDescribe(const CapOutput* out) {
    if (!out->fmt) return "nothing";
    std::string s;
    if (out->videoCodec) s = out->videoCodec->name;
    if (out->audioCodec) s += (s.empty() ? "" : " + ") + std::string(out->audioCodec->name);
    return s + " in " + out->fmt->oformat->name;
}
