// cap_session.cpp: the one capture of the process: settings, the per-frame work, progress, end.
//
// Time: show frame i (from 0) covers [i * P, (i + 1) * P) ms of the video, P being the period of
// the program's periodic timer (80 ms for the show). Its sound is the mixer's output over the
// same span, samples floor(i * P * rate / 1000) up to the next frame's first, rendered after
// the frame's events were triggered, so an event of frame i starts on the frame's first sample.
// At an output rate F frames a second, output frame k shows the show frame whose span holds
// k / F: show frame i is repeated ceil((i + 1) * P * F / 1000) - ceil(i * P * F / 1000) times
// (once each at the show's own rate, none now and then when F is lower).
extern "C" {
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/parseutils.h>
#include <libavutil/rational.h>
}

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "bass_standin.h"
#include "cap_encoder.h"
#include "capture.h"
#include "win32_standin.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned kDefaultPeriodMs = 80;  // when no periodic timer runs
constexpr int kDefaultRate = 44100;        // when the program opened no sound
// A frame's sound is rendered and encoded this many samples at a time: a timer period of up to
// 1,000 s a frame holds one chunk, not the whole frame's sound, in memory.
constexpr int kSoundChunk = 4096;

struct CapSession {
    bool active = false;
    bool started = false;  // outputs started at the first frame
    bool ended = false;    // no more frames are taken (limit, failure, size change)
    bool failed = false;   // a file is incomplete
    bool finished = false;
    int endResult = 0;
    CapSettings settings;
    CapOutput video, wav;
    bool haveVideo = false, haveWav = false;
    int width = 0, height = 0;
    unsigned periodMs = kDefaultPeriodMs;
    int rate = kDefaultRate;
    AVRational fps{0, 1};      // output frame rate; 0: the show's own
    int64_t frames = 0;        // show frames captured
    std::vector<int16_t> pcm;  // one chunk of a frame's sound
    Clock::time_point begin, lastReport;
    bool tty = false;
    bool progressShown = false;  // a \r line waits for its newline
};

CapSession gCap;

std::string Clocktime(double seconds) {
    if (seconds < 0) seconds = 0;
    long s = static_cast<long>(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

void Progress(bool last) {
    const Clock::time_point now = Clock::now();
    const double since = std::chrono::duration<double>(now - gCap.lastReport).count();
    if (!last && since < (gCap.tty ? 0.5 : 10.0)) return;
    gCap.lastReport = now;
    const double elapsed = std::chrono::duration<double>(now - gCap.begin).count();
    int64_t total = gCap.settings.showFrames;
    if (gCap.settings.maxFrames > 0 && gCap.settings.maxFrames < total)
        total = gCap.settings.maxFrames;
    if (total < gCap.frames) total = gCap.frames;
    const double left = gCap.frames > 0 ? elapsed / gCap.frames * (total - gCap.frames) : 0;
    std::fprintf(stderr, "%scapture: frame %lld of %lld, %s elapsed, about %s left%s",
                 gCap.tty ? "\r" : "", static_cast<long long>(gCap.frames),
                 static_cast<long long>(total), Clocktime(elapsed).c_str(), Clocktime(left).c_str(),
                 gCap.tty ? "\x1b[K" : "\n");
    gCap.progressShown = gCap.tty;
    std::fflush(stderr);
}

// Ends a \r progress line before another message.
void EndProgressLine() {
    if (gCap.progressShown) std::fputc('\n', stderr);
    gCap.progressShown = false;
}

// A failure while the show runs: said once, the program asked to close, the files finished
// with what they have.
void Stop(const std::string& why) {
    EndProgressLine();
    std::fprintf(stderr, "capture: %s; the capture ends at frame %lld\n", why.c_str(),
                 static_cast<long long>(gCap.frames));
    gCap.ended = true;
    gCap.failed = true;
    Win32_RequestClose();
}

bool Start(int width, int height) {
    gCap.width = width;
    gCap.height = height;
    unsigned period = Win32_TimerPeriod();
    gCap.periodMs = period ? period : kDefaultPeriodMs;
    DWORD rate = BassStandIn_OfflineRate();
    gCap.rate = rate ? static_cast<int>(rate) : kDefaultRate;
    if (gCap.fps.num == 0) {
        av_reduce(&gCap.fps.num, &gCap.fps.den, 1000, gCap.periodMs, 1 << 30);
    }
    std::string error;
    if (gCap.haveVideo && !CapOutputStart(&gCap.video, width, height, gCap.fps.num, gCap.fps.den,
                                          gCap.rate, &error)) {
        Stop(error);
        return false;
    }
    if (gCap.haveWav && !CapOutputStart(&gCap.wav, 0, 0, 1, 1, gCap.rate, &error)) {
        Stop(error);
        return false;
    }
    gCap.started = true;
    return true;
}

// First output frame of show frame i.
int64_t FirstOutputFrame(int64_t i) {
    return av_rescale_rnd(i, int64_t(gCap.periodMs) * gCap.fps.num, int64_t(1000) * gCap.fps.den,
                          AV_ROUND_UP);
}

// First sound sample of show frame i.
int64_t FirstSample(int64_t i) {
    return av_rescale_rnd(i, int64_t(gCap.periodMs) * gCap.rate, 1000, AV_ROUND_DOWN);
}

bool gFatal = false;

// The program is ending at once (its timer may still run): the files are finished all the same.
void FatalHook() {
    gFatal = true;
    CapEnd();
}

}  // namespace

bool CapBegin(const CapSettings& settings, std::string* error) {
    if (gCap.active) {
        *error = "capture: already running";
        return false;
    }
    gCap = CapSession{};
    gCap.settings = settings;
    // Our messages say what failed; the libraries' notes and statistics are not for the user.
    av_log_set_level(AV_LOG_ERROR);
    if (!settings.fps.empty()) {
        AVRational r{0, 1};
        if (av_parse_video_rate(&r, settings.fps.c_str()) < 0 || r.num <= 0 || r.den <= 0 ||
            av_cmp_q(r, AVRational{1, 1}) < 0 || av_cmp_q(r, AVRational{240, 1}) > 0) {
            *error = "capture: --capture-fps " + settings.fps +
                     ": a frame rate from 1 to 240 is needed (25, 29.97, 30000/1001, ...)";
            return false;
        }
        gCap.fps = r;
    }
    if (settings.videoPath.empty() && settings.wavPath.empty()) {
        *error = "capture: no file to write";
        return false;
    }
    std::string why;
    if (!settings.videoPath.empty()) {
        if (!CapOutputOpen(&gCap.video, settings.videoPath, CAP_VIDEO, settings.crf, &why)) {
            *error = "capture: " + why;
            return false;
        }
        gCap.haveVideo = true;
    }
    if (!settings.wavPath.empty()) {
        if (!CapOutputOpen(&gCap.wav, settings.wavPath, CAP_WAV, -1, &why)) {
            CapOutputClose(&gCap.video, true);
            gCap.haveVideo = false;
            *error = "capture: " + why;
            return false;
        }
        gCap.haveWav = true;
    }
    Win32_SetVirtualTime(true);
    BassStandIn_SetOfflineInit(TRUE);
    Win32_SetFatalHook(FatalHook);
    gCap.active = true;
    gCap.tty = isatty(STDERR_FILENO) != 0;
    gCap.begin = gCap.lastReport = Clock::now();
    return true;
}

bool CapActive() { return gCap.active; }

int CapFrames() { return static_cast<int>(gCap.frames); }

void CapFrame(const uint16_t* pixels, int width, int height, int pitchBytes) {
    if (!gCap.active || gCap.ended) return;
    if (!gCap.started && !Start(width, height)) return;
    if (width != gCap.width || height != gCap.height) {
        Stop("the picture changed size from " + std::to_string(gCap.width) + "x" +
             std::to_string(gCap.height) + " to " + std::to_string(width) + "x" +
             std::to_string(height));
        gCap.failed = false;  // what was written is complete
        return;
    }
    const int64_t i = gCap.frames;
    std::string error;
    if (gCap.haveVideo &&
        !CapOutputVideo(&gCap.video, pixels, pitchBytes,
                        static_cast<int>(FirstOutputFrame(i + 1) - FirstOutputFrame(i)), &error)) {
        Stop(error);
        return;
    }
    const int64_t samples = FirstSample(i + 1) - FirstSample(i);
    gCap.pcm.resize(size_t(kSoundChunk) * 2);
    for (int64_t done = 0; done < samples;) {
        const int n = static_cast<int>(std::min<int64_t>(samples - done, kSoundChunk));
        if (BassStandIn_OfflineRate() == DWORD(gCap.rate))
            BassStandIn_Render(gCap.pcm.data(), n);
        else
            std::fill(gCap.pcm.begin(), gCap.pcm.end(), int16_t(0));  // no sound was opened
        if ((gCap.haveVideo && !CapOutputAudio(&gCap.video, gCap.pcm.data(), n, &error)) ||
            (gCap.haveWav && !CapOutputAudio(&gCap.wav, gCap.pcm.data(), n, &error))) {
            Stop(error);
            return;
        }
        done += n;
    }
    ++gCap.frames;
    Progress(false);
    if (gCap.settings.maxFrames > 0 && gCap.frames >= gCap.settings.maxFrames) {
        gCap.ended = true;
        Win32_RequestClose();
    }
}

int CapEnd() {
    if (gCap.finished) return gCap.endResult;
    if (!gCap.active) return 0;
    gCap.finished = true;
    gCap.active = false;
    Win32_SetFatalHook(nullptr);
    BassStandIn_SetOfflineInit(FALSE);
    if (!gFatal) Win32_SetVirtualTime(false);
    bool ok = !gCap.failed;
    if (gCap.frames > 0) Progress(true);
    EndProgressLine();
    const double elapsed = std::chrono::duration<double>(Clock::now() - gCap.begin).count();
    const double seconds = double(gCap.frames) * gCap.periodMs / 1000.0;
    struct Out {
        CapOutput* out;
        bool have;
    };
    for (Out o : {Out{&gCap.video, gCap.haveVideo}, Out{&gCap.wav, gCap.haveWav}}) {
        if (!o.have) continue;
        const std::string path = o.out->path, what = CapOutputDescribe(o.out);
        if (!gCap.started || gCap.frames == 0) {
            std::fprintf(stderr, "capture: no frame was presented; %s not written\n", path.c_str());
            CapOutputClose(o.out, true);
            ok = false;
            continue;
        }
        std::string error;
        if (!CapOutputFinish(o.out, &error)) {
            std::fprintf(stderr, "capture: %s\n", error.c_str());
            ok = false;
        } else {
            std::error_code ec;
            const auto bytes = std::filesystem::file_size(path, ec);
            std::fprintf(stderr, "capture: %s: %lld frames, %.1f s of %s, %.1f MB\n", path.c_str(),
                         static_cast<long long>(gCap.frames), seconds, what.c_str(),
                         ec ? 0.0 : double(bytes) / 1e6);
        }
        CapOutputClose(o.out, false);
    }
    if (gCap.frames > 0)
        std::fprintf(stderr, "capture: took %s, %.1fx real time\n", Clocktime(elapsed).c_str(),
                     elapsed > 0 ? seconds / elapsed : 0.0);
    gCap.endResult = ok ? 0 : 1;
    return gCap.endResult;
}
