// Navek.cpp: the program's entry, start-up, main loop, frame pacing and shutdown (see Navek.h).
#include "Navek.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "assert_report.h"
#include "assets.h"
#include "debug_overlay.h"
#include "overlay.h"
#include "resource.h"
#include "scene.h"
#include "texlib.h"
#include "timeline.h"
#include "trx.h"

DemoSettings settings = kDefaultSettings;
DemoPacing pacing;
DemoInput input;
DemoHandles handles;
DemoSounds sounds;  // loaded by StartAudio, played by the script

static Matrix projMatrix;

void ResetNavek(void) {
    settings = kDefaultSettings;
    const DemoPacing start;
    pacing.tickCount = start.tickCount.load();
    pacing.framesDone = start.framesDone;
    pacing.frameNumber = start.frameNumber;
    pacing.fpsTickLast = start.fpsTickLast;
    pacing.fpsTickPrev = start.fpsTickPrev;
    pacing.fpsCountdown = start.fpsCountdown;
    input = DemoInput{};
    freeCamera = 0;
    handles = DemoHandles{};
}

void ScanSettings(const char* cmdLine) {
    if (!cmdLine) return;
    // Only converted numbers are stored: the settings after the first non-number keep their values.
    // Numbers are read as "%d" reads them (blanks, a sign, digits); one beyond the 32-bit range
    // is held at the range's end, where CheckSettings refuses or clamps it like any other.
    int32_t* fields[10] = {&settings.screenWidth,  &settings.screenHeight,  &settings.syncToTimer,
                           &settings.refreshRate,  &settings.timerPeriod,   &settings.spareSetting,
                           &settings.lagTolerance, &settings.showDebugInfo, &settings.anyKeyCamera,
                           &settings.retraceWaits};
    const char* p = cmdLine;
    for (int32_t* setting : fields) {
        char* end = nullptr;
        long long value = std::strtoll(p, &end, 10);
        if (end == p) return;
        if (value > INT32_MAX) value = INT32_MAX;
        if (value < INT32_MIN) value = INT32_MIN;
        *setting = static_cast<int32_t>(value);
        p = end;
    }
}

const char* CheckSettings(void) {
    static char message[160];
    auto refuse = [](const char* name, int32_t value, const char* range) {
        std::snprintf(message, sizeof message, "Setting %s is %d, outside %s", name,
                      static_cast<int>(value), range);
        return message;
    };
    // The devices' largest side: the software card draws at most 4096 pixels either way.
    if (settings.screenWidth < 1 || settings.screenWidth > kMaxScreenSide)
        return refuse("1 (screen width)", settings.screenWidth, "1 to 4096");
    if (settings.screenHeight < 1 || settings.screenHeight > kMaxScreenSide)
        return refuse("2 (screen height)", settings.screenHeight, "1 to 4096");
    // The timer takes periods of 1 ms to 1,000,000 ms; without a tick a synced show never starts.
    if (settings.syncToTimer == 1 &&
        (settings.timerPeriod < 1 || settings.timerPeriod > kMaxTimerPeriod))
        return refuse("5 (timer period)", settings.timerPeriod,
                      "1 to 1000000 ms (sync to timer is on)");
    if (settings.retraceWaits < 0) settings.retraceWaits = 0;
    if (settings.retraceWaits > kMaxRetraceWaits) settings.retraceWaits = kMaxRetraceWaits;
    return nullptr;
}

HWND CreateMainWindow(HINSTANCE instance, WNDPROC proc, const char* title) {
    if (!instance) instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc;
    wc.style = CS_BYTEALIGNCLIENT | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;  // 0x100B
    wc.lpfnWndProc = proc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = instance;
    wc.hIcon = nullptr;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_WINDOWFRAME + 1));
    wc.lpszMenuName = title;
    wc.lpszClassName = title;
    if (!RegisterClassA(&wc)) return nullptr;
    return CreateWindowExA(0, title, title, WS_THICKFRAME, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                           nullptr, nullptr, instance, nullptr);
}

INT_PTR CALLBACK DeviceDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM) {
    static DeviceEntry* list;
    switch (msg) {
    case WM_INITDIALOG: {
        int count = DevEnumDevices(&list);
        if (count == 0) {
            EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
            return TRUE;
        }
        if (count == 1) {
            DevSelectDevice(&list[0]);
            EndDialog(dialog, 1);
            return FALSE;
        }
        for (int i = 0; i < count; ++i)
            SendDlgItemMessageA(dialog, IDC_DEVICE_LIST, LB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(list[i].name));
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: {
            LRESULT selected = SendDlgItemMessageA(dialog, IDC_DEVICE_LIST, LB_GETCURSEL, 0, 0);
            if (selected < 0) selected = 0;
            DevSelectDevice(&list[selected]);
            EndDialog(dialog, 1);
            return TRUE;
        }
        case IDCANCEL: EndDialog(dialog, 0); return TRUE;
        default: return TRUE;
        }
    default: return FALSE;
    }
}

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_KEYDOWN:
        if (wParam < 256) input.keyDown[wParam] = 1;
        if (settings.anyKeyCamera == 1) freeCamera = 1;
        if (wParam == VK_ESCAPE) DestroyWindow(hwnd);
        return 1;
    case WM_DESTROY:
        DevClose();
        PostQuitMessage(0);
        return 1;
    case WM_ACTIVATEAPP:
        // Start-up leaves handles.audioState at 0, so the music plays on while the program is inactive:
        // pausing it would leave it behind the picture for the rest of the show.
        if (!wParam && handles.audioState == 1) {
            BASS_Stop();
            handles.audioState = 2;
        } else if (wParam && handles.audioState == 2) {
            BASS_Start();
            handles.audioState = 1;
        }
        return 1;
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

void CALLBACK TimerTick(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) { ++pacing.tickCount; }

int FrameRateValue(void) {
    // Wide enough for any sample and period; a sum of 0 (a negative period) reads as no sample.
    int64_t span =
        (static_cast<int64_t>(pacing.fpsTickLast) - pacing.fpsTickPrev) * settings.timerPeriod + 1;
    if (span == 0) span = 1;
    return static_cast<int>(10000 / span);
}

void DemoFrame(void) {
    if (pacing.frameNumber >= endFrame) {
        SendMessageA(handles.mainWindow, WM_KEYDOWN, VK_ESCAPE, 0);
        return;
    }
    if (settings.syncToTimer == 1) {
        if (pacing.framesDone == pacing.tickCount) return;
        // In 64 bits: any tolerance, INT32_MIN included, gives the lag it says.
        const int64_t ticks = pacing.tickCount;
        if (pacing.framesDone < ticks - settings.lagTolerance && pacing.framesDone < ticks - 1) {
            do {
                pacing.frameNumber += 1.0f;
                DemoTimeline(pacing.frameNumber, 1);
                ++pacing.framesDone;
            } while (pacing.framesDone < pacing.tickCount - 1);
        }
    }
    pacing.frameNumber += 1.0f;
    ++pacing.framesDone;

    DevClear(0, 0, 0);
    BeginOverlay(1);
    const OverlayStatus status = {settings.screenWidth,   settings.screenHeight,
                                  settings.showDebugInfo, FrameRateValue(),
                                  pacing.tickCount,       pacing.framesDone};
    DrawOverlay(static_cast<int>(pacing.frameNumber), &status);
    EndOverlay();
    ClearScene();
    DemoTimeline(pacing.frameNumber, 0);
    if (freeCamera) FreeCameraView();
    RenderFrame(&viewMatrix, &projMatrix, 0);
    DevFlip(settings.retraceWaits);
    DevEndScene();

    if (--pacing.fpsCountdown == 0) {
        pacing.fpsTickPrev = pacing.fpsTickLast;
        pacing.fpsTickLast = pacing.tickCount;
        pacing.fpsCountdown = 5;
    }
    if (freeCamera) FreeCameraKeys(input.keyDown);
}

// Texture handles, models and title pictures, after the device was closed.
static void ReleaseData(void) {
    ReleaseTexLib(0);
    ReleaseTexLib(2);
    FreeObject(&objekt);
    FreeObject(&hero);
    FreeObject(&temple);
    FreeObject(&door);
    FreeObject(&cpu);
    FreeObject(&ruvo);
    DevFreeImage(&imgNapis1);
    DevFreeImage(&imgHlnapis);
}

static void StartAudio(void) {
    BASS_Init(-1, 44100, 0, handles.mainWindow);
    BASS_Start();
    sounds.sampleDoor = BASS_SampleLoad(FALSE, "sound\\dvere.wav", 0, 0, 3, BASS_SAMPLE_OVER_POS);
    sounds.sampleMagic = BASS_SampleLoad(FALSE, "sound\\kouzlo.wav", 0, 0, 3, BASS_SAMPLE_OVER_POS);
    sounds.sampleThunder = BASS_SampleLoad(FALSE, "sound\\hrom.wav", 0, 0, 3, BASS_SAMPLE_OVER_POS);
    sounds.sampleEnd = BASS_SampleLoad(FALSE, "sound\\konec.wav", 0, 0, 3, BASS_SAMPLE_OVER_POS);
    sounds.sampleBoot = BASS_SampleLoad(FALSE, "sound\\bota.wav", 0, 0, 3, BASS_SAMPLE_OVER_POS);
    sounds.sampleStorm = BASS_SampleLoad(FALSE, "sound\\boure.wav", 0, 0, 3, BASS_SAMPLE_OVER_POS);
    sounds.musicTeufel = BASS_MusicLoad(FALSE, "teufel.it", 0, 0, BASS_MUSIC_RAMP);
    sounds.musicTitles = BASS_MusicLoad(FALSE, "titles.it", 0, 0, BASS_MUSIC_RAMP);
    BASS_SetGlobalVolumes(100, 60, -1);
}

static void StopAudio(void) {
    BASS_Stop();
    BASS_Free();
    BASS_MusicFree(sounds.musicTeufel);
    BASS_MusicFree(sounds.musicTitles);
    BASS_SampleFree(sounds.sampleDoor);
    BASS_SampleFree(sounds.sampleEnd);
    BASS_SampleFree(sounds.sampleMagic);
    BASS_SampleFree(sounds.sampleThunder);
    BASS_SampleFree(sounds.sampleBoot);
    BASS_SampleFree(sounds.sampleStorm);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int) {
    if (cmdLine) ScanSettings(cmdLine);
    if (const char* refused = CheckSettings()) {
        MessageBoxA(nullptr, refused, nullptr, MB_OK | MB_ICONERROR);
        return 2;
    }

    handles.mainWindow = CreateMainWindow(instance, MainWndProc, "Tambir demo");
    if (!handles.mainWindow) {
        // Nothing can run without it: a failure, like a display that does not open.
        MessageBoxA(nullptr, "Unable to create main window", nullptr, MB_OK);
        return 1;
    }
    if (!DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SELECT_DEVICE), handles.mainWindow,
                         DeviceDlgProc, 0))
        return 0;

    // The show cannot run on a device that did not open: say so and end with a failure status.
    if (DevOpen(nullptr, settings.screenWidth, settings.screenHeight, settings.refreshRate) != 0) {
        MessageBoxA(nullptr, "Unable to open the display device", nullptr, MB_OK | MB_ICONERROR);
        return 1;
    }

    // A texture the device could not make (out of memory, a format it lacks) would leave holes
    // in every scene that uses it: the show stops and says which library.
    TexLib* lib;
    if (LoadTexLib("demo.tex", &lib)) AssertReport("!LoadTexLib(\"demo.tex\",&lib)", "Navek", 1582);
    int uploaded = UploadTexLib(0, lib);
    FreeTexLib(lib);
    const char* failedLib = uploaded ? "demo.tex" : nullptr;
    if (!failedLib) {
        if (LoadTexLib("vgasys.fnt", &lib))
            AssertReport("!LoadTexLib(\"vgasys.fnt\",&lib)", "Navek", 1585);
        uploaded = UploadTexLib(2, lib);
        FreeTexLib(lib);
        if (uploaded) failedLib = "vgasys.fnt";
    }
    if (failedLib) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "The display device could not make the textures of \"%s\" (result %d)",
                      failedLib, uploaded);
        MessageBoxA(nullptr, text, nullptr, MB_OK | MB_ICONERROR);
        DestroyWindow(handles.mainWindow);  // closes the device
        ReleaseData();
        return 1;
    }

    // A show without its models would draw nothing: LoadDemoData has said which file is missing.
    if (LoadDemoData() != 0) {
        DestroyWindow(handles.mainWindow);  // closes the device
        ReleaseData();
        return 1;
    }
    DevSetCullMode(-1);
    SetAmbient(0.5f);
    MatPerspective(&projMatrix, 0.01f, 20.0f, 0.00016666666f);
    SetViewport(static_cast<float>(settings.screenWidth / 2),
                static_cast<float>(settings.screenHeight / 2), 300.0f, 300.0f, 0);
    if (SetLightCount(10) != 0) {  // without its light slots the show would be drawn unlit
        MessageBoxA(nullptr, "Unable to set up the scene's lights: out of memory", nullptr,
                    MB_OK | MB_ICONERROR);
        DestroyWindow(handles.mainWindow);
        ReleaseData();
        return 1;
    }
    DevSetDepthTest(1);
    StartAudio();
    handles.timerId =
        timeSetEvent(static_cast<UINT>(settings.timerPeriod), 0, TimerTick, 0, TIME_PERIODIC);
    SetFocus(handles.mainWindow);

    MSG msg;
    for (;;) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) break;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else {
            DemoFrame();
        }
    }

    timeKillEvent(handles.timerId);
    StopAudio();
    ReleaseData();
    return 0;
}
