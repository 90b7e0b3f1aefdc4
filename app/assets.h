// assets.h: what the show loads at start-up: the two title pictures and the six models with
// their texture remap tables.
#pragma once

#include "device.h"
#include "trx_object.h"

// The title pictures: "napis1.pcx" and "hlnapis.pcx" (zeroed when missing).
extern DeviceImage imgNapis1, imgHlnapis;
// The six models of the show.
extern Object temple, hero, door, ruvo, objekt, cpu;

// Loads the pictures into device images and the six models with their set-up and remap files.
// 0, or 1 when a model file cannot be loaded or lacks an animation the show plays, or a remap
// table cannot be held in memory: the message names the file and why (stderr and a message box)
// and the show must not start, since it would draw nothing. A picture that cannot be read is
// said on stderr and left out.
int LoadDemoData(void);

// Reads a remap file of "%d->%d" lines ('#' lines are comments) into the object's texture remap
// table. 0; 1 when the file cannot be opened; the number of the first malformed line (every line
// counted); or SetRemapTable's error (OBJ_NO_MEMORY also when the reading table cannot be made).
int LoadRemap(Object* obj, const char* file);
