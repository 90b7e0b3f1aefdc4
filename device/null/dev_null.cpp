// dev_null.cpp: the recording null device (see dev_null.h).
#include "dev_null.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <new>

NullDevice nullDevice;

namespace {
// The null-device program takes its configuration from the environment, so that program tests
// can exercise every path of start-up: TAMBIR_NULL_ENTRIES (device list length) and
// TAMBIR_NULL_OPEN (DevOpen's answer).
int ConfigFromEnvironment() {
    if (const char* v = std::getenv("TAMBIR_NULL_ENTRIES"))
        nullDevice.config.entries = std::atoi(v);
    if (const char* v = std::getenv("TAMBIR_NULL_OPEN"))
        nullDevice.config.openResult = static_cast<byte>(std::atoi(v));
    return 0;
}
[[maybe_unused]] const int configured = ConfigFromEnvironment();
}  // namespace

namespace {

DeviceEntry gEntries[8];
const char* const kNames[8] = {"Null device A", "Null device B", "Null device C", "Null device D",
                               "Null device E", "Null device F", "Null device G", "Null device H"};

// A call the record has no room for is not recorded (a scratch record takes it, and the device
// says once that its record is incomplete); the device goes on as a device would.
NullCall& Record(NullOp op, int a = 0, int b = 0, int c = 0, int d = 0, const void* ptr = nullptr) {
    static NullCall scratch;
    static bool said = false;
    try {
        nullDevice.calls.push_back(NullCall{op, a, b, c, d, {0, 0, 0}, ptr});
    } catch (const std::bad_alloc&) {
        if (!said)
            std::fputs("null device: out of memory; calls are no longer all recorded\n", stderr);
        said = true;
        scratch = NullCall{op, a, b, c, d, {0, 0, 0}, ptr};
        return scratch;
    }
    return nullDevice.calls.back();
}

bool ValidHandle(int handle) {
    return handle > 0 && handle < static_cast<int>(nullDevice.textures.size());
}

}  // namespace

void NullDevice_Reset(const NullDeviceConfig& config) {
    nullDevice = NullDevice{};
    nullDevice.config = config;
}

int NullDevice_Count(NullOp op) {
    int n = 0;
    for (const NullCall& c : nullDevice.calls) n += c.op == op;
    return n;
}

int DevEnumDevices(DeviceEntry** list) {
    Record(NULL_ENUM);
    int n = nullDevice.config.entries;
    if (n <= 0) return 0;
    if (n > 8) n = 8;
    for (int i = 0; i < n; ++i) gEntries[i] = DeviceEntry{kNames[i], &gEntries[i]};
    *list = gEntries;
    return n;
}

byte DevSelectDevice(const DeviceEntry* entry) {
    Record(NULL_SELECT, entry ? static_cast<int>(entry - gEntries) : -1, 0, 0, 0, entry);
    nullDevice.selected = entry;
    return 0;
}

byte DevOpen(HWND window, int width, int height, int refresh_hz) {
    Record(NULL_OPEN, width, height, refresh_hz, 0, window);
    if (!window) window = GetActiveWindow();
    if (!window) window = GetForegroundWindow();
    if (!window || nullDevice.open) return DEV_ERR_FAILURE;
    if (nullDevice.config.openResult != 0) return nullDevice.config.openResult;
    nullDevice.open = true;
    nullDevice.window = window;
    nullDevice.width = width;
    nullDevice.height = height;
    nullDevice.refresh = refresh_hz;
    nullDevice.cullMode = -1;
    nullDevice.depthTest = 1;
    nullDevice.renderBuffer = 1;
    nullDevice.clip[0] = 0;
    nullDevice.clip[1] = static_cast<unsigned>(width);
    nullDevice.clip[2] = 0;
    nullDevice.clip[3] = static_cast<unsigned>(height);
    DevInitTextures();
    return 0;
}

void DevClose(void) {
    Record(NULL_CLOSE);
    if (nullDevice.open) std::printf("null device: closed after %d frames\n", nullDevice.frames);
    nullDevice.open = false;
}

void DevClear(float r, float g, float b) {
    NullCall& c = Record(NULL_CLEAR);
    c.f[0] = r;
    c.f[1] = g;
    c.f[2] = b;
}

int DevDrawPrimitive(unsigned primtype, int count, DeviceVertex* primitiv) {
    int kept = primtype == DEV_SPRITE ? 1 : count;
    if (kept < 0 || !primitiv) kept = 0;
    Record(NULL_DRAW, static_cast<int>(primtype), count, kept,
           static_cast<int>(nullDevice.vertices.size()));
    nullDevice.vertices.insert(nullDevice.vertices.end(), primitiv, primitiv + kept);
    return 0;
}

void DevEndScene(void) { Record(NULL_END_SCENE); }

byte DevFlip(int retraces) {
    Record(NULL_FLIP, retraces);
    ++nullDevice.frames;
    GdiFlush();  // a frame is done: the message loop and the capture pace on it
    return 0;
}

int DevSetCullMode(int mode) {
    Record(NULL_CULL, mode);
    int previous = nullDevice.cullMode;
    nullDevice.cullMode = mode;
    return previous;
}

byte DevSetDepthTest(byte on) {
    Record(NULL_DEPTH_TEST, on);
    byte previous = nullDevice.depthTest;
    nullDevice.depthTest = on;
    return previous;
}

void DevSetClipWindow(unsigned x0, unsigned y0, unsigned x1, unsigned y1) {
    Record(NULL_CLIP, static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1),
           static_cast<int>(y1));
    nullDevice.clip[0] = x0;
    nullDevice.clip[1] = x1;
    nullDevice.clip[2] = y0;
    nullDevice.clip[3] = y1;
}

byte DevSetRenderBuffer(byte which) {
    Record(NULL_RENDER_BUFFER, which);
    if (which > 1) return DEV_ERR_BAD_SELECTOR;
    nullDevice.renderBuffer = which;
    return which;
}

byte DevGetCaps(void) { return 4; }

int DevGetScreenInfo(unsigned what) {
    switch (what) {
    case INFO_MAX_X: return nullDevice.width - 1;
    case INFO_MAX_Y: return nullDevice.height - 1;
    case INFO_WIDTH: return nullDevice.width;
    case INFO_HEIGHT: return nullDevice.height;
    case INFO_CLIP_X0: return static_cast<int>(nullDevice.clip[0]);
    case INFO_CLIP_X1: return static_cast<int>(nullDevice.clip[1]);
    case INFO_CLIP_Y0: return static_cast<int>(nullDevice.clip[2]);
    case INFO_CLIP_Y1: return static_cast<int>(nullDevice.clip[3]);
    case INFO_DEPTH_NEAR: return 0;
    case INFO_DEPTH_FAR: return nullDevice.config.depthFar;
    default: return 0;
    }
}

void DevInitTextures(void) {
    Record(NULL_INIT_TEXTURES);
    if (nullDevice.textures.empty()) {
        try {  // without room for the table no texture can be made (uploads fail)
            nullDevice.kept.resize(65536);
            nullDevice.textures.assign(65536, nullptr);
        } catch (const std::bad_alloc&) {
            nullDevice.kept.clear();
            nullDevice.textures.clear();
        }
    }
    nullDevice.boundTexture = 0;
}

byte DevUploadTexture(const TexEntry* entry, int handle) {
    Record(NULL_UPLOAD, handle, 0, 0, 0, entry);
    if (entry && entry->format == TEX_EMPTY) return 0;
    if (!ValidHandle(handle) || !entry) return DEV_ERR_MAKE_TEXTURE;
    if (nullDevice.textures[static_cast<size_t>(handle)]) return DEV_ERR_HANDLE_USED;
    std::unique_ptr<NullTexture> copy;
    try {  // a texture there is no memory for is not made, as on a card
        copy = std::make_unique<NullTexture>();
        if (entry->palette) copy->palette.assign(entry->palette, entry->palette + 256);
        if (entry->pixels) copy->pixels.assign(entry->pixels, entry->pixels + entry->size);
    } catch (const std::bad_alloc&) {
        return DEV_ERR_MAKE_TEXTURE;
    }
    copy->entry = *entry;
    copy->entry.palette = entry->palette ? copy->palette.data() : nullptr;
    copy->entry.pixels = entry->pixels ? copy->pixels.data() : nullptr;
    nullDevice.textures[static_cast<size_t>(handle)] = &copy->entry;
    nullDevice.kept[static_cast<size_t>(handle)] = std::move(copy);
    return 0;
}

byte DevFreeTexture(int handle) {
    Record(NULL_FREE_TEXTURE, handle);
    if (ValidHandle(handle)) {
        nullDevice.textures[static_cast<size_t>(handle)] = nullptr;
        nullDevice.kept[static_cast<size_t>(handle)].reset();
    }
    if (handle == nullDevice.boundTexture) nullDevice.boundTexture = 0;
    return 0;
}

byte DevSetTexture(int stage, int handle) {
    NullCall& c = Record(NULL_SET_TEXTURE, stage, handle);
    if (handle == nullDevice.boundTexture) return 0;
    if (handle != 0 && !(ValidHandle(handle) && nullDevice.textures[static_cast<size_t>(handle)])) {
        if (nullDevice.config.bindMissing) return nullDevice.config.bindMissing;
        handle = 0;
        if (nullDevice.boundTexture == 0) return 0;
    }
    nullDevice.boundTexture = handle;
    c.c = 1;
    return 0;
}

const TexEntry* DevGetTexture(int handle) {
    return ValidHandle(handle) ? nullDevice.textures[static_cast<size_t>(handle)] : nullptr;
}

byte DevCreateImage(DeviceImage* image, const TexEntry* picture) {
    Record(NULL_CREATE_IMAGE, 0, 0, 0, 0, picture);
    if (!image) return DEV_ERR_CALL_FAILED;
    *image = DeviceImage{};
    return picture ? 0 : DEV_ERR_CALL_FAILED;
}

byte DevDrawImage(DeviceImage* image, ...) {
    int x = image ? image->x : 0, y = image ? image->y : 0, front = 0;
    va_list args;
    va_start(args, image);
    byte result = 0;
    for (;;) {
        int tag = va_arg(args, int);
        if (tag == 0) break;
        if (tag == DEV_IMG_POS) {
            x = va_arg(args, int);
            y = va_arg(args, int);
        } else if (tag == DEV_IMG_IGNORED1) {
            (void)va_arg(args, int);
        } else if (tag == DEV_IMG_IGNORED2) {
            (void)va_arg(args, int);
            (void)va_arg(args, int);
        } else if (tag == DEV_IMG_FRONT || tag == DEV_IMG_BACK) {
            front = tag == DEV_IMG_FRONT;
        } else {
            result = DEV_ERR_BAD_SELECTOR;
            break;
        }
    }
    va_end(args);
    Record(NULL_DRAW_IMAGE, x, y, front, result, image);
    return result;
}

byte DevFreeImage(DeviceImage* image) {
    Record(NULL_FREE_IMAGE, 0, 0, 0, 0, image);
    if (image) *image = DeviceImage{};
    return 0;
}

float DevReadDepth(int x, int y, byte flush) {
    Record(NULL_READ_DEPTH, x, y, flush);
    if (!nullDevice.open || x < 0 || y < 0 || x >= nullDevice.width || y >= nullDevice.height)
        return 0.0f;
    return nullDevice.config.readDepth;
}
