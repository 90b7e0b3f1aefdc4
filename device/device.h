// device.h: the display device interface. Everything above the device (render core, overlay,
// texture library, application) draws through these functions and nothing else.
//
// Exactly one implementation is linked into a program (the Direct3D device in demo_d3d, the Glide
// device in demo_glide, the recording null device in tests); the operations are plain functions.
// The device is a singleton used from the main thread only. Above it everything works on
// pre-transformed, pre-lit screen-space vertices; the device rasterises, textures, blends, tests
// depth and presents.
#pragma once

#include <cstdint>

#include "windows.h"

struct TexEntry;  // texture record, owned by the texture library

typedef uint8_t byte;

// The only vertex format: screen position in pixels (origin top-left), depth in device units
// (INFO_DEPTH_NEAR to INFO_DEPTH_FAR), 1/w, colour 0xAARRGGBB, texture coordinates.
// For a sprite (type 5) u holds the height and v the width in pixels, and x, y the centre.
// The device may overwrite the vertices during a draw: callers rebuild them for every draw.
struct DeviceVertex {
    float x;
    float y;
    float z;
    float rhw;
    uint32_t color;
    float u;
    float v;
};
static_assert(sizeof(DeviceVertex) == 28, "DeviceVertex is 28 bytes");

// One selectable device of the list built by DevEnumDevices; `id` means something to the device
// only. The list belongs to the device and stays valid until the next DevEnumDevices.
struct DeviceEntry {
    const char* name;
    void* id;
};

// A picture kept by the device for copying into a frame buffer. A zeroed record is empty.
struct DeviceImage {
    int x;  // default destination column
    int y;  // default destination row
    int width;
    int height;
    int format;     // 0: 16-bit 5-6-5 RGB
    int pitch;      // bytes from one row to the next in the store
    void* storage;  // device-owned pixels, null when empty
};

// Status bytes.
enum {
    DEV_OK = 0,
    DEV_ERR_OPEN = 1,            // open (Glide): mode, refresh, board or window
    DEV_ERR_HANDLE_USED = 2,     // upload: the handle holds a texture already
    DEV_ERR_MAKE_TEXTURE = 3,    // upload: making the texture failed; set (Glide): no texture
    DEV_ERR_DOWNLOAD = 4,        // set texture (Glide): download failed
    DEV_ERR_REFUSED = 9,         // set texture refused; upload (Glide): out of memory
    DEV_ERR_BAD_SELECTOR = 247,  // a selector or tag is not one of the listed values
    DEV_ERR_CALL_FAILED = 249,   // image creation or drawing failed
    DEV_ERR_FAILURE = 255        // a step of open, render buffer or upload failed; out of memory
};

// Primitive types of DevDrawPrimitive.
enum {
    DEV_TRIANGLES = 1,  // count a multiple of 3
    DEV_STRIP = 2,      // count >= 3
    DEV_FAN = 3,        // count >= 3
    DEV_POLYGON = 4,    // convex, count >= 3
    DEV_SPRITE = 5,     // one vertex; count ignored
    DEV_LINES = 6       // line strip, count >= 2
};

// Tags of DevDrawImage's list, which ends with 0.
enum {
    DEV_IMG_POS = 1,
    DEV_IMG_IGNORED1 = 2,
    DEV_IMG_IGNORED2 = 3,
    DEV_IMG_FRONT = 4,
    DEV_IMG_BACK = 5
};

// ---- selection and life cycle ----

// Rebuilds the device list, stores it in *list and returns the count (0: none; *list untouched).
// Called by the device dialog on WM_INITDIALOG.
int DevEnumDevices(DeviceEntry** list);
// Chooses the entry the next DevOpen uses. Called by the device dialog. Returns 0.
byte DevSelectDevice(const DeviceEntry* entry);
// Opens full screen at width x height, 16-bit colour, back and depth buffers; window null takes
// the active, else the foreground window. 0 on success. Called once at start-up.
byte DevOpen(HWND window, int width, int height, int refresh_hz);
// Releases what DevOpen made and gives the screen back. Called on WM_DESTROY of the main window.
void DevClose(void);

// ---- per frame ----

// Clears the back buffer to the colour (channels 0..1, alpha 255) and depth to the farthest value.
void DevClear(float r, float g, float b);
// Draws count vertices as one primitive with the current texture and states; 0 on success.
int DevDrawPrimitive(unsigned primtype, int count, DeviceVertex* primitiv);
// Closes the current batch of drawing; drawing afterwards opens a new one.
void DevEndScene(void);
// Ends the batch and presents the back buffer; retraces is the command line's pacing value.
byte DevFlip(int retraces);

// ---- states (each setter returns the previous value) ----

// -1 culls clockwise screen triangles, +1 counter-clockwise, 0 none.
int DevSetCullMode(int mode);
// 1: draw where depth is less than stored; 0: always. Depth writes stay on.
byte DevSetDepthTest(byte on);
// Limits drawing to columns x0..x1-1 and rows y0..y1-1.
void DevSetClipWindow(unsigned x0, unsigned y0, unsigned x1, unsigned y1);
// 1 draws into the back buffer, 0 into the front buffer. Returns `which`, or a failure code.
byte DevSetRenderBuffer(byte which);
// Bit 0: sprite sizes in 1/256 pixel. Both real devices answer 4.
byte DevGetCaps(void);
// What DevGetScreenInfo answers; other selectors answer 0.
enum ScreenInfo : unsigned {
    INFO_MAX_X = 1,  // width - 1
    INFO_MAX_Y = 2,  // height - 1
    INFO_WIDTH = 3,
    INFO_HEIGHT = 4,
    INFO_CLIP_X0 = 5,  // the clip window (DevSetClipWindow)
    INFO_CLIP_X1 = 6,
    INFO_CLIP_Y0 = 7,
    INFO_CLIP_Y1 = 8,
    INFO_DEPTH_NEAR = 9,  // the depth of the nearest point
    INFO_DEPTH_FAR = 10,  // ... and of the farthest
};
int DevGetScreenInfo(unsigned what);

// ---- textures (handle = library number x 256 + entry index; 0 = no texture) ----

// Makes the handle table on first use and forgets the bound texture.
void DevInitTextures(void);
// Makes the handle's texture from a copy of the entry. 0, 2 when used already, or a failure code.
byte DevUploadTexture(const TexEntry* entry, int handle);
// Releases the handle's texture; a free handle is ignored. Safe after DevClose. Returns 0.
byte DevFreeTexture(int handle);
// Binds the handle's texture (animated textures bind their current frame). Returns a status.
byte DevSetTexture(int stage, int handle);
// The entry kept for the handle, or null.
const TexEntry* DevGetTexture(int handle);

// ---- images and pixel reads ----

// Makes a device-owned 16-bit copy of a picture (format 5 or 10) at x = y = 0.
byte DevCreateImage(DeviceImage* image, const TexEntry* picture);
// Copies the image into a frame buffer; tags (DEV_IMG_*) with their values, ending with 0.
byte DevDrawImage(DeviceImage* image, ...);
// Releases the image's storage and zeroes the record. Safe after DevClose. Returns 0.
byte DevFreeImage(DeviceImage* image);
// The depth stored at a pixel in DeviceVertex z units; flush bit 0 finishes drawing first.
// 0 when the pixel cannot be read.
float DevReadDepth(int x, int y, byte flush);
