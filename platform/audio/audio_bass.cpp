// audio_bass.cpp: the BASS_* entry points and the offline extensions: the SDL output or offline
// mode, loading of WAV samples and tracker musics from files, and the locking between the calling
// thread and the audio callback.
//
// Locking: one mutex guards the mixer. The callback holds it for one buffer; the calling thread
// holds it only to add, remove or start objects (files are read and decoded outside it, objects are
// destroyed outside it). SDL calls that take SDL's device lock (pause, close) are made without our
// mutex held, since the callback runs under SDL's lock and then takes ours.
#include <SDL.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "audio_mixer.h"
#include "audio_wav.h"
#include "bass.h"
#include "bass_standin.h"

namespace {

enum class Mode { None, Device, Offline };

struct State {
    std::mutex lock;
    Mode mode = Mode::None;
    bool running = false;
    SDL_AudioDeviceID device = 0;
    audio::Mixer mixer;
    int musicVolume = 100;
    int sampleVolume = 100;
    int streamVolume = 100;    // kept for the caller; there are no streams
    uint32_t nextHandle = 1;   // never reused, so stale handles stay stale across BASS_Free
    bool offlineInit = false;  // BASS_Init opens an offline session (capture)
    // BASS_Init found no audio output and said the show goes on without sound: the calls that
    // need the output then fail without a message each.
    bool silent = false;
    bool lostSaid = false;  // the output was lost while playing, and this was said
};

State g;

constexpr uint32_t kMinRate = 8000;
constexpr uint32_t kMaxRate = 192000;
constexpr off_t kMaxFileBytes = 256 << 20;

void Fail(const std::string& where, const std::string& what) {
    std::fprintf(stderr, "audio: %s: %s\n", where.c_str(), what.c_str());
}

uint32_t NewHandle() {  // with g.lock held
    uint32_t h = g.nextHandle++;
    if (g.nextHandle == 0) g.nextHandle = 1;
    return h;
}

std::string PosixPath(const char* path) {
    std::string p = path;
    for (char& c : p)
        if (c == '\\') c = '/';
    return p;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* out, std::string* error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = std::string("cannot open the file: ") + std::strerror(errno);
        return false;
    }
    struct stat st {};
    bool ok = false;
    if (::fstat(fd, &st) != 0) {
        *error = std::string("cannot stat the file: ") + std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        *error = "not a regular file";
    } else if (st.st_size > kMaxFileBytes) {
        *error = "file is larger than " + std::to_string(kMaxFileBytes >> 20) + " MiB";
    } else {
        out->resize(static_cast<size_t>(st.st_size));
        size_t done = 0;
        ok = true;
        while (done < out->size()) {
            const ssize_t n = ::read(fd, out->data() + done, out->size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                *error = n < 0 ? std::string("read error: ") + std::strerror(errno)
                               : std::string("file shrank while being read");
                ok = false;
                break;
            }
            done += static_cast<size_t>(n);
        }
    }
    ::close(fd);
    return ok;
}

// Checks that the library is initialised and returns the mixer rate, or 0 after a message.
uint32_t InitialisedRate(const std::string& where) {
    std::lock_guard<std::mutex> hold(g.lock);
    if (g.mode == Mode::None) {
        if (!g.silent)
            Fail(where, "the audio output is not initialised (BASS_Init failed or was not called)");
        return 0;
    }
    return g.mixer.Rate();
}

// An output lost while the show runs (a device unplugged, the sound server gone): SDL stops
// feeding it and the show goes on silent, said once. SDL reports the removal only of opened
// devices, and the stand-in opens one output.
int SDLCALL DeviceEvents(void*, SDL_Event* e) {
    if (e->type != SDL_AUDIODEVICEREMOVED || e->adevice.iscapture) return 1;
    std::lock_guard<std::mutex> hold(g.lock);
    if (g.mode == Mode::Device && g.device && !g.lostSaid) {
        g.lostSaid = true;
        std::fputs("audio: the audio output was lost; the show goes on without sound\n", stderr);
    }
    return 1;
}

void SDLCALL DeviceCallback(void*, Uint8* stream, int len) {
    std::lock_guard<std::mutex> hold(g.lock);
    g.mixer.Render(reinterpret_cast<int16_t*>(stream), static_cast<size_t>(len) / 4);
}

// Common part of BASS_Init and BassStandIn_InitOffline, with g.lock held.
bool BeginSession(const char* where, uint32_t rate, Mode mode) {
    if (rate < kMinRate || rate > kMaxRate) {
        Fail(where, "rate " + std::to_string(rate) + " Hz is outside 8000-192000");
        return false;
    }
    if (g.mode != Mode::None) {
        Fail(where, "already initialised; call BASS_Free first");
        return false;
    }
    g.mixer.Configure(rate);
    g.musicVolume = g.sampleVolume = g.streamVolume = 100;
    g.mixer.SetVolumes(100, 100);
    g.mode = mode;
    g.running = false;
    g.silent = false;
    g.lostSaid = false;
    return true;
}

BOOL SetRunning(bool run) {
    SDL_AudioDeviceID device = 0;
    {
        std::lock_guard<std::mutex> hold(g.lock);
        if (g.mode == Mode::None) {
            if (!g.silent)
                Fail(run ? "BASS_Start" : "BASS_Stop", "the audio output is not initialised");
            return FALSE;
        }
        g.running = run;
        device = g.device;
    }
    if (device) SDL_PauseAudioDevice(device, run ? 0 : 1);
    return TRUE;
}

}  // namespace

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND) {
    const char* where = "BASS_Init";
    if (device != -1 && device != 1) {
        Fail(where, "device " + std::to_string(device) +
                        " is not supported (-1 or 1: the default output)");
        return FALSE;
    }
    if (flags != 0) {
        Fail(where, "flags " + std::to_string(flags) + " are not supported");
        return FALSE;
    }
    try {
        std::lock_guard<std::mutex> hold(g.lock);
        if (g.offlineInit) return BeginSession(where, freq, Mode::Offline) ? TRUE : FALSE;
        if (!BeginSession(where, freq, Mode::Device)) return FALSE;
    } catch (const std::bad_alloc&) {  // the mixer's buffers
        std::fputs("audio: BASS_Init: out of memory; continuing without sound\n", stderr);
        std::lock_guard<std::mutex> hold(g.lock);
        g.silent = true;
        return FALSE;
    }
    auto fail = [&](const std::string& what) {
        Fail(where, what);
        std::lock_guard<std::mutex> hold(g.lock);
        g.mode = Mode::None;
        g.silent = true;
        return FALSE;
    };
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return fail(std::string("cannot start SDL audio: ") + SDL_GetError() +
                    "; continuing without sound");
    SDL_AudioSpec want{};
    SDL_AudioSpec have{};
    want.freq = static_cast<int>(freq);
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = DeviceCallback;
    // No allowed changes: SDL converts to whatever the device really takes.
    const SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (id == 0) {
        const std::string why = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return fail("cannot open an audio output: " + why + "; continuing without sound");
    }
    SDL_AddEventWatch(DeviceEvents, nullptr);
    std::lock_guard<std::mutex> hold(g.lock);
    g.device = id;
    return TRUE;
}

BOOL BASS_Start(void) { return SetRunning(true); }

BOOL BASS_Stop(void) { return SetRunning(false); }

void BASS_Free(void) {
    SDL_AudioDeviceID device = 0;
    {
        std::lock_guard<std::mutex> hold(g.lock);
        if (g.mode == Mode::None) return;
        device = g.device;
        g.device = 0;
    }
    if (device) {
        SDL_DelEventWatch(DeviceEvents, nullptr);
        SDL_CloseAudioDevice(device);  // waits for a running callback; none runs after this
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    std::vector<std::unique_ptr<audio::Sample>> samples;
    std::vector<std::unique_ptr<audio::Music>> musics;
    {
        std::lock_guard<std::mutex> hold(g.lock);
        g.mixer.TakeAll(&samples, &musics);
        g.mode = Mode::None;
        g.running = false;
    }
}  // samples and musics are destroyed here, outside the lock

static HSAMPLE SampleLoad(BOOL mem, const char* file, DWORD offset, DWORD length, DWORD max,
                          DWORD flags) {
    if (!file || mem) {
        Fail("BASS_SampleLoad", mem ? "loading from memory is not supported" : "no file name");
        return 0;
    }
    const std::string path = PosixPath(file);
    const std::string where = "BASS_SampleLoad(\"" + path + "\")";
    if (offset != 0 || length != 0) {
        Fail(where, "offset and length other than 0 are not supported");
        return 0;
    }
    if (max < 1 || max > 65535) {
        Fail(where, "max " + std::to_string(max) + " is outside 1-65535");
        return 0;
    }
    if (flags & ~static_cast<DWORD>(BASS_SAMPLE_OVER_POS)) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%X", static_cast<unsigned>(flags));
        Fail(where, std::string("flags ") + hex + " are not supported (only BASS_SAMPLE_OVER_POS)");
        return 0;
    }
    const uint32_t rate = InitialisedRate(where);
    if (rate == 0) return 0;

    std::vector<uint8_t> bytes;
    std::string error;
    audio::WavPcm pcm;
    auto sample = std::make_unique<audio::Sample>();
    if (!ReadWholeFile(path, &bytes, &error) ||
        !(error = audio::ParseWav(bytes.data(), bytes.size(), &pcm)).empty() ||
        !(error = audio::ConvertWav(pcm, rate, &sample->pcm)).empty()) {
        Fail(where, error);
        return 0;
    }
    sample->frames = static_cast<uint32_t>(sample->pcm.size() / 2);
    sample->voices.resize(max);
    sample->restartLongest = (flags & BASS_SAMPLE_OVER_POS) != 0;

    std::lock_guard<std::mutex> hold(g.lock);
    if (g.mode == Mode::None || g.mixer.Rate() != rate) {
        Fail(where, "the audio output was closed while loading");
        return 0;
    }
    sample->handle = NewHandle();
    const HSAMPLE handle = sample->handle;
    g.mixer.Add(std::move(sample));
    return handle;
}

// A sample or module there is no memory for is not loaded (handle 0), as a file that cannot be
// read; the message is built without allocating.
static void OutOfMemory(const char* call, const char* file) {
    std::fprintf(stderr, "audio: %s(\"%s\"): out of memory\n", call, file ? file : "");
}

HSAMPLE BASS_SampleLoad(BOOL mem, const char* file, DWORD offset, DWORD length, DWORD max,
                        DWORD flags) {
    try {
        return SampleLoad(mem, file, offset, length, max, flags);
    } catch (const std::bad_alloc&) {
        OutOfMemory("BASS_SampleLoad", file);
        return 0;
    }
}

HCHANNEL BASS_SamplePlay(HSAMPLE handle) {
    if (handle == 0) return 0;
    std::lock_guard<std::mutex> hold(g.lock);
    if (g.mode == Mode::None || !g.mixer.PlaySample(handle)) return 0;
    return NewHandle();
}

void BASS_SampleFree(HSAMPLE handle) {
    std::unique_ptr<audio::Sample> gone;
    std::lock_guard<std::mutex> hold(g.lock);
    gone = g.mixer.TakeSample(handle);
}

static HMUSIC MusicLoad(BOOL mem, const char* file, DWORD offset, DWORD length, DWORD flags) {
    if (!file || mem) {
        Fail("BASS_MusicLoad", mem ? "loading from memory is not supported" : "no file name");
        return 0;
    }
    const std::string path = PosixPath(file);
    const std::string where = "BASS_MusicLoad(\"" + path + "\")";
    if (offset != 0 || length != 0) {
        Fail(where, "offset and length other than 0 are not supported");
        return 0;
    }
    if (flags & ~static_cast<DWORD>(BASS_MUSIC_RAMP)) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%X", static_cast<unsigned>(flags));
        Fail(where, std::string("flags ") + hex + " are not supported (only BASS_MUSIC_RAMP)");
        return 0;
    }
    const uint32_t rate = InitialisedRate(where);
    if (rate == 0) return 0;

    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadWholeFile(path, &bytes, &error)) {
        Fail(where, error);
        return 0;
    }
    std::unique_ptr<audio::Music> music = audio::Music::Load(bytes.data(), bytes.size(), &error);
    if (!music) {
        Fail(where, "not a module libopenmpt can play: " + error);
        return 0;
    }

    std::lock_guard<std::mutex> hold(g.lock);
    if (g.mode == Mode::None || g.mixer.Rate() != rate) {
        Fail(where, "the audio output was closed while loading");
        return 0;
    }
    music->handle = NewHandle();
    const HMUSIC handle = music->handle;
    g.mixer.Add(std::move(music));
    return handle;
}

HMUSIC BASS_MusicLoad(BOOL mem, const char* file, DWORD offset, DWORD length, DWORD flags) {
    try {
        return MusicLoad(mem, file, offset, length, flags);
    } catch (const std::bad_alloc&) {
        OutOfMemory("BASS_MusicLoad", file);
        return 0;
    }
}

BOOL BASS_MusicPlay(HMUSIC handle) {
    if (handle == 0) return FALSE;
    std::lock_guard<std::mutex> hold(g.lock);
    return g.mode != Mode::None && g.mixer.PlayMusic(handle) ? TRUE : FALSE;
}

void BASS_MusicFree(HMUSIC handle) {
    std::unique_ptr<audio::Music> gone;
    std::lock_guard<std::mutex> hold(g.lock);
    gone = g.mixer.TakeMusic(handle);
}

BOOL BASS_SetGlobalVolumes(int musicVolume, int sampleVolume, int streamVolume) {
    const char* where = "BASS_SetGlobalVolumes";
    for (int v : {musicVolume, sampleVolume, streamVolume}) {
        if (v < -1 || v > 100) {
            Fail(where, "volume " + std::to_string(v) + " is outside 0-100 (or -1 for unchanged)");
            return FALSE;
        }
    }
    std::lock_guard<std::mutex> hold(g.lock);
    if (g.mode == Mode::None) {
        if (!g.silent) Fail(where, "the audio output is not initialised");
        return FALSE;
    }
    if (musicVolume >= 0) g.musicVolume = musicVolume;
    if (sampleVolume >= 0) g.sampleVolume = sampleVolume;
    if (streamVolume >= 0) g.streamVolume = streamVolume;
    g.mixer.SetVolumes(g.musicVolume, g.sampleVolume);
    return TRUE;
}

BOOL BassStandIn_InitOffline(DWORD rate) {
    std::lock_guard<std::mutex> hold(g.lock);
    return BeginSession("BassStandIn_InitOffline", rate, Mode::Offline) ? TRUE : FALSE;
}

void BassStandIn_SetOfflineInit(BOOL on) {
    std::lock_guard<std::mutex> hold(g.lock);
    g.offlineInit = on != FALSE;
}

DWORD BassStandIn_OfflineRate(void) {
    std::lock_guard<std::mutex> hold(g.lock);
    return g.mode == Mode::Offline ? g.mixer.Rate() : 0;
}

int BassStandIn_Render(int16_t* out, int frames) {
    const char* where = "BassStandIn_Render";
    if (!out || frames < 0) {
        Fail(where, "needs an output buffer and a frame count of 0 or more");
        return 0;
    }
    std::lock_guard<std::mutex> hold(g.lock);
    if (g.mode != Mode::Offline) {
        Fail(where, "works only after BassStandIn_InitOffline");
        return 0;
    }
    if (g.running)
        g.mixer.Render(out, static_cast<size_t>(frames));
    else
        std::memset(out, 0, static_cast<size_t>(frames) * 2 * sizeof(int16_t));
    return frames;
}

int BassStandIn_SamplePlaybacks(HSAMPLE handle) {
    std::lock_guard<std::mutex> hold(g.lock);
    return g.mixer.ActivePlaybacks(handle);
}

BOOL BassStandIn_MusicPlaying(HMUSIC handle) {
    std::lock_guard<std::mutex> hold(g.lock);
    return g.mixer.MusicPlaying(handle) ? TRUE : FALSE;
}
