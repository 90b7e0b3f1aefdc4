// trx_nodevice.cpp: trxtool has no display. The texture library sets the device's texture table
// up when it makes a library; in the tool these calls go nowhere.
#include "device.h"

void DevInitTextures(void) {}
byte DevUploadTexture(const TexEntry*, int) { return DEV_OK; }
byte DevFreeTexture(int) { return DEV_OK; }
