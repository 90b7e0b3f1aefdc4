// texupload.cpp: texture libraries onto the display device and off it again (see texlib.h). Kept
// apart from the library itself, so the tools that only read and write library files link no
// device.
#include "device.h"
#include "texlib.h"

// Whether the device's texture table has been set up by this module.
static bool texTableReady = false;

int UploadTexLib(int number, TexLib* lib) {
    if (!lib) return DEV_ERR_FAILURE;
    if (!texTableReady) {
        DevInitTextures();
        texTableReady = true;
    }
    for (int i = 0; i < 256; ++i) {
        const byte r = DevUploadTexture(&lib->entry[i], number * 256 + i);
        if (r) return r;
    }
    return 0;
}

int ReleaseTexLib(int number) {
    for (int i = 0; i < 256; ++i) {
        const byte r = DevFreeTexture(number * 256 + i);
        if (r) return r;
    }
    return 0;
}
