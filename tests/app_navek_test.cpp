// The application spine against the recording null device and recording engine fakes: settings,
// frame pacing, the end of the show, the window and dialog procedures, start-up and shutdown.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "Navek.h"
#include "app_engine_fakes.h"
#include "assets.h"
#include "debug_overlay.h"
#include "dev_null.h"
#include "resource.h"
#include "timeline.h"
#include "win32_standin.h"

namespace {

class App : public ::testing::Test {
protected:
    void SetUp() override {
        ResetNavek();
        NullDevice_Reset();
        ResetEngineFakes();
        Headless();
    }
    void TearDown() override {
        Win32_Reset();
        Win32_SetOptions(Win32StandInOptions{});
    }

    static void Headless(int device = -1) {
        Win32StandInOptions options;
        options.headless = true;
        options.device = device;
        Win32_SetOptions(options);
    }
    // The timeline calls so far: (frame, skip-render).
    static std::vector<std::pair<float, int>> Timeline() {
        std::vector<std::pair<float, int>> list;
        for (const EngineCall& c : engineCalls)
            if (c.name == "DemoTimeline") list.emplace_back(c.a, c.b);
        return list;
    }
    static std::vector<std::string> CallNames() {
        std::vector<std::string> names;
        for (const EngineCall& c : engineCalls) names.push_back(c.name);
        return names;
    }
    static void Pace(int framesBefore, int ticks) {
        pacing.framesDone = framesBefore;
        pacing.frameNumber = static_cast<float>(framesBefore);
        pacing.tickCount = ticks;
    }
};

using Frames = std::vector<std::pair<float, int>>;

TEST_F(App, SettingsScanKeepsDefaultsWhereTheLineEnds) {
    const struct {
        const char* line;
        int expect[10];
    } cases[] = {
        {"", {640, 480, 1, 72, 80, 1, 0, 0, 0, 0}},
        {"800 600 x 5", {800, 600, 1, 72, 80, 1, 0, 0, 0, 0}},
        {"1 2 3 4 5 6 7 8 9 10 11", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {"  -5\t7", {-5, 7, 1, 72, 80, 1, 0, 0, 0, 0}},
        {"99999999999 -99999999999 1 72 2147483648 1 -2147483649",  // held at the range ends
         {INT32_MAX, INT32_MIN, 1, 72, INT32_MAX, 1, INT32_MIN, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        ResetNavek();
        ScanSettings(c.line);
        const DemoSettings& v = settings;
        int got[10] = {v.screenWidth,  v.screenHeight, v.syncToTimer,  v.refreshRate,
                       v.timerPeriod,  v.spareSetting, v.lagTolerance, v.showDebugInfo,
                       v.anyKeyCamera, v.retraceWaits};
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(got[i], c.expect[i]) << "line \"" << c.line << "\", setting " << i + 1;
    }
    ResetNavek();
    ScanSettings(nullptr);
    EXPECT_EQ(settings.screenWidth, 640);
}

// The ranges' ends, the sync values that need no tick, and the clamp of the retrace waits.
TEST_F(App, HostileSettingsAreRefusedByNameOrClamped) {
    const struct {
        const char* line;
        const char* refusal;  // a part of the message, or null when the show may run
        int retraces;         // retrace waits after the check
    } cases[] = {
        {"", nullptr, 0},
        {"4096 4096 1 72 1 1 0 0 0 8", nullptr, 8},
        {"4097 480", "Setting 1 (screen width) is 4097, outside 1 to 4096", 0},
        {"640 480 1 72 1000001", "Setting 5 (timer period) is 1000001, outside 1 to 1000000 ms", 0},
        {"640 480 1 72 1000000", nullptr, 0},
        {"640 480 2 72 -1", nullptr, 0},  // only sync 1 waits for ticks
        {"640 480 1 -2147483648 80 -1 -2147483648 -1 2147483647 2147483647", nullptr, 8},
        {"640 480 1 0 80 2147483647 2147483647 2147483647 -2147483648 -2147483648", nullptr, 0},
        {"640 480 1 72 80 1 0 0 0 -1", nullptr, 0},
        {"640 480 1 72 80 1 0 0 0 3", nullptr, 3},
    };
    for (const auto& c : cases) {
        ResetNavek();
        ScanSettings(c.line);
        const char* got = CheckSettings();
        if (c.refusal) {
            ASSERT_NE(got, nullptr) << "line \"" << c.line << "\"";
            EXPECT_NE(std::string(got).find(c.refusal), std::string::npos)
                << "line \"" << c.line << "\": " << got;
        } else {
            EXPECT_EQ(got, nullptr) << "line \"" << c.line << "\": " << got;
        }
        EXPECT_EQ(settings.retraceWaits, c.retraces) << "line \"" << c.line << "\"";
    }
}

TEST_F(App, FirstTickDrawsFrameOneInTheFrameOrder) {
    settings.retraceWaits = 2;
    pacing.tickCount = 1;
    DemoFrame();
    std::vector<std::string> expect = {"ClearScene", "DemoTimeline", "RenderFrame"};
    EXPECT_EQ(CallNames(), expect);
    EXPECT_EQ(Timeline(), (Frames{{1.0f, 0}}));
    // Clear, the 2D bracket into the back buffer with frame 1's title picture, then the 3D scene.
    std::vector<NullOp> ops;
    for (const NullCall& c : nullDevice.calls) ops.push_back(c.op);
    EXPECT_EQ(ops, (std::vector<NullOp>{NULL_CLEAR, NULL_RENDER_BUFFER, NULL_DEPTH_TEST, NULL_CULL,
                                        NULL_SET_TEXTURE, NULL_DRAW_IMAGE, NULL_RENDER_BUFFER,
                                        NULL_DEPTH_TEST, NULL_CULL, NULL_FLIP, NULL_END_SCENE}));
    EXPECT_EQ(engineCalls[0].b, 9);  // ClearScene after the nine calls up to the bracket's end
    EXPECT_EQ(nullDevice.calls[1].a, 1);
    EXPECT_EQ(nullDevice.calls[0].f[0] + nullDevice.calls[0].f[1] + nullDevice.calls[0].f[2], 0.0f);
    EXPECT_EQ(nullDevice.calls[9].a, 2);
    DemoFrame();  // no new tick: nothing runs
    EXPECT_EQ(nullDevice.frames, 1);
    EXPECT_EQ(Timeline().size(), 1u);
}

TEST_F(App, CatchUpStepsRunTheTimelineWithoutDrawing) {
    const struct {
        int tolerance, framesBefore, ticks;
        Frames expect;
    } cases[] = {
        {0, 10, 13, {{11, 1}, {12, 1}, {13, 0}}},  // lag 3: two catch-up steps, then frame 13
        {0, 10, 11, {{11, 0}}},                    // lag 1: no catch-up
        {2, 10, 13, {{11, 1}, {12, 1}, {13, 0}}},  // lag 3 beyond a tolerance of 2
        {3, 10, 13, {{11, 0}}},                    // lag 3 at a tolerance of 3
        {INT32_MIN, 10, 13, {{11, 1}, {12, 1}, {13, 0}}},  // any lag of 2 or more is beyond it
        {INT32_MAX, 10, 13, {{11, 0}}},
        {0, 2872, 2877, {{2873, 1}, {2874, 1}, {2875, 1}, {2876, 1}, {2877, 0}}},  // past the end
    };
    for (const auto& c : cases) {
        ResetEngineFakes();
        NullDevice_Reset();
        settings.lagTolerance = c.tolerance;
        Pace(c.framesBefore, c.ticks);
        DemoFrame();
        EXPECT_EQ(Timeline(), c.expect)
            << "tolerance " << c.tolerance << ", lag " << c.ticks - c.framesBefore;
        EXPECT_EQ(nullDevice.frames, 1);
        EXPECT_EQ(pacing.framesDone, c.framesBefore + static_cast<int>(c.expect.size()));
        EXPECT_EQ(pacing.frameNumber, c.expect.back().first);
    }
}

// The debug read-out's rate: rendered frames only, and no nonsense from periods out of range.
TEST_F(App, FrameRateSampleCountsRenderedFramesOnly) {
    for (int t = 1; t <= 10; ++t) {
        pacing.tickCount = t;
        DemoFrame();
    }
    EXPECT_EQ(FrameRateValue(), 24);  // 10000 / (5 * 80 + 1)
    pacing.fpsTickPrev = 0;
    pacing.fpsTickLast = 3;
    for (int period : {INT32_MAX, INT32_MIN}) {
        settings.timerPeriod = period;
        EXPECT_EQ(FrameRateValue(), 0) << period;
    }
    pacing.fpsTickLast = 1;
    settings.timerPeriod = -1;  // a sum of 0
    EXPECT_EQ(FrameRateValue(), 10000);
}

TEST_F(App, TitlePicturesShowCentredOnTheirFrames) {
    imgNapis1.width = 200;
    imgNapis1.height = 100;
    imgHlnapis.width = 700;  // larger than the screen: a negative position
    imgHlnapis.height = 501;
    const struct {
        int frame;
        std::vector<int> draw;  // image (1 or 2), x, y; empty: none
    } cases[] = {{0, {1, 220, 190}},   {96, {1, 220, 190}},  {97, {}}, {99, {}},
                 {100, {2, -30, -10}}, {279, {2, -30, -10}}, {280, {}}};
    for (const auto& c : cases) {
        NullDevice_Reset();
        const OverlayStatus status = {640, 480, 0, 0, 0, 0};
        DrawOverlay(c.frame, &status);  // no debug text: nothing else reaches the device
        std::vector<int> got;
        for (const NullCall& d : nullDevice.calls)
            got = {d.op == NULL_DRAW_IMAGE ? (d.ptr == &imgNapis1 ? 1 : 2) : -1, d.a, d.b};
        EXPECT_EQ(got, c.draw) << "frame " << c.frame;
    }
}

TEST_F(App, FreeCameraKeysStepTheirValueOnceAndClearTheirFlag) {
    float* values[7] = {&camTx, &camTy, &camTz, &camRx, &camRy, &camRz, &camZoom};
    const float start[7] = {0, 0, 0, -1.5f, 3.14f, 3.14f, 1};
    const struct {
        int key, value;
        float step;  // the zoom may pass zero
    } keys[] = {{VK_UP, 3, 0.1f},
                {VK_F12, 5, -0.1f},
                {VK_INSERT, 0, 30},
                {VK_NEXT, 2, -30},
                {VK_SUBTRACT, 6, -1.1f}};
    const int keyA = 'A';
    for (const auto& k : keys) {
        for (int i = 0; i < 7; ++i) *values[i] = start[i];
        input.keyDown[k.key] = input.keyDown[keyA] = 1;
        FreeCameraKeys(input.keyDown);
        FreeCameraKeys(input.keyDown);  // the flag went with the key: no second step
        for (int i = 0; i < 7; ++i)
            EXPECT_FLOAT_EQ(*values[i], start[i] + (i == k.value ? k.step : 0))
                << "key " << k.key << ", value " << i;
        EXPECT_EQ(input.keyDown[k.key] * 2 + input.keyDown[keyA], 1) << "key " << k.key;
    }
}

TEST_F(App, MainWindowIsCreatedHiddenWithTheClassOfTheProgram) {
    HWND w = CreateMainWindow(nullptr, MainWndProc, "Tambir demo");
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(IsWindowVisible(w));
    WNDCLASSA wc;
    ASSERT_TRUE(GetClassInfoA(nullptr, "Tambir demo", &wc));
    EXPECT_NE(wc.hCursor, nullptr);
    EXPECT_EQ(wc.lpfnWndProc, MainWndProc);
    // The class exists now: a second window fails, and the program cannot start.
    EXPECT_EQ(CreateMainWindow(nullptr, MainWndProc, "Tambir demo"), nullptr);
    char cmd[] = "";
    testing::internal::CaptureStderr();
    EXPECT_EQ(WinMain(nullptr, nullptr, cmd, SW_SHOWDEFAULT), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Unable to create main window"),
              std::string::npos);
    EXPECT_EQ(NullDevice_Count(NULL_OPEN), 0);
}

TEST_F(App, WindowProcedureKeysEscapeAndActivation) {
    HWND w = CreateMainWindow(nullptr, MainWndProc, "Tambir demo");
    EXPECT_EQ(SendMessageA(w, WM_KEYDOWN, VK_LEFT, 0), 1);
    EXPECT_EQ(input.keyDown[VK_LEFT], 1);
    EXPECT_EQ(freeCamera, 0);
    SendMessageA(w, WM_KEYDOWN, 256, 0);
    SendMessageA(w, WM_KEYDOWN, 0x12345, 0);
    int set = 0;
    for (int k = 0; k < 256; ++k) set += input.keyDown[k];
    EXPECT_EQ(set, 1) << "codes of 256 and above touch nothing";

    EXPECT_EQ(SendMessageA(w, WM_ACTIVATEAPP, FALSE, 0), 1);
    EXPECT_EQ(handles.audioState, 0) << "start-up leaves the audio state alone: nothing pauses";
    handles.audioState = 1;
    SendMessageA(w, WM_ACTIVATEAPP, FALSE, 0);
    EXPECT_EQ(handles.audioState, 2);
    SendMessageA(w, WM_ACTIVATEAPP, TRUE, 0);
    EXPECT_EQ(handles.audioState, 1);

    settings.anyKeyCamera = 1;
    SendMessageA(w, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(freeCamera, 1) << "Escape is a key too";
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(NullDevice_Count(NULL_CLOSE), 1);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 0u);
}

INT_PTR CALLBACK PressExitAfterInit(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    INT_PTR r = DeviceDlgProc(dialog, msg, wParam, lParam);
    if (msg == WM_INITDIALOG) {
        EXPECT_EQ(DeviceDlgProc(dialog, WM_COMMAND, 77, 0), TRUE);  // another id: nothing
        EXPECT_EQ(DeviceDlgProc(dialog, WM_SETFOCUS, 0, 0), FALSE);
        DeviceDlgProc(dialog, WM_COMMAND, MAKEWPARAM(2, BN_CLICKED), 0);
    }
    return r;
}

TEST_F(App, DialogPaths) {
    HWND w = CreateMainWindow(nullptr, MainWndProc, "Tambir demo");
    const struct {
        int entries;
        int device;  // --device, -1 without
        INT_PTR result;
        int selected;  // entry handed to DevSelectDevice, -1 for none
    } cases[] = {
        {0, -1, 0, -1},  // "Run" disabled: only "Exit" is left
        {1, -1, 1, 0},   // one entry: chosen at once, the dialog never shows
        {3, -1, 1, 0},   // "Run" without a selection takes the first entry
        {3, 2, 1, 2},    // the chosen entry
    };
    for (const auto& c : cases) {
        NullDeviceConfig config;
        config.entries = c.entries;
        NullDevice_Reset(config);
        Headless(c.device);
        INT_PTR result =
            DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_SELECT_DEVICE), w, DeviceDlgProc, 0);
        EXPECT_EQ(result, c.result) << c.entries << " entries";
        ASSERT_EQ(NullDevice_Count(NULL_SELECT), c.selected < 0 ? 0 : 1) << c.entries << " entries";
        if (c.selected >= 0) {
            EXPECT_EQ(nullDevice.calls.back().a, c.selected) << c.entries << " entries";
        }
    }
    NullDevice_Reset();
    EXPECT_EQ(
        DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_SELECT_DEVICE), w, PressExitAfterInit, 0), 0);
    EXPECT_EQ(NullDevice_Count(NULL_SELECT), 0);
}

// The show ends by the Escape it sends itself after frame 2874, and shuts down in order.
TEST_F(App, WinMainStartsPlaysToTheEndAndShutsDownInOrder) {
    char cmd[] = "320 240 0";
    EXPECT_EQ(WinMain(nullptr, nullptr, cmd, SW_SHOWDEFAULT), 0);
    EXPECT_EQ(nullDevice.width, 320);
    EXPECT_EQ(nullDevice.refresh, 72);
    EXPECT_EQ(nullDevice.frames, 2874);
    EXPECT_EQ(pacing.frameNumber, 2874.0f);

    std::vector<std::string> names = CallNames();
    std::vector<std::string> start(names.begin(), names.begin() + 10);
    EXPECT_EQ(start,
              (std::vector<std::string>{"demo.tex", "UploadTexLib", "FreeTexLib", "vgasys.fnt",
                                        "UploadTexLib", "FreeTexLib", "LoadDemoData", "SetAmbient",
                                        "SetViewport", "SetLightCount"}));
    EXPECT_EQ(engineCalls[1].b, 0);
    EXPECT_EQ(engineCalls[4].b, 2);
    EXPECT_EQ(engineCalls[8].a, 160.0f);   // centre x
    EXPECT_EQ(engineCalls[8].b, 120 * 2);  // centre y, no clip rectangle
    Matrix projection;
    MatPerspective(&projection, 0.01f, 20.0f, 0.00016666666f);
    EXPECT_EQ(engineCalls[12].name, "RenderFrame");  // after ClearScene, DemoTimeline
    EXPECT_EQ(engineCalls[12].a, projection.m[0]);
    std::vector<std::string> end(names.end() - 8, names.end());
    EXPECT_EQ(end,
              (std::vector<std::string>{"ReleaseTexLib", "ReleaseTexLib", "FreeObject objekt",
                                        "FreeObject hero", "FreeObject temple", "FreeObject door",
                                        "FreeObject cpu", "FreeObject ruvo"}));

    // Device calls outside the frames: cull and depth at start-up, close before the images go.
    std::vector<NullOp> ops;
    bool inFrames = false;
    for (const NullCall& c : nullDevice.calls) {
        inFrames = (inFrames || c.op == NULL_CLEAR) && c.op != NULL_CLOSE;
        if (!inFrames) ops.push_back(c.op);
    }
    EXPECT_EQ(ops,
              (std::vector<NullOp>{NULL_ENUM, NULL_SELECT, NULL_OPEN, NULL_INIT_TEXTURES, NULL_CULL,
                                   NULL_DEPTH_TEST, NULL_CLOSE, NULL_FREE_IMAGE, NULL_FREE_IMAGE}));
}

}  // namespace
