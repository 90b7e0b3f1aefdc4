// dev_none.cpp: no display at all, for the programs that make or inspect data files (trxtool, the
// content builder). The texture library sets the device's texture table up when it makes a
// library; here those calls go nowhere.
#include "device.h"

void DevInitTextures(void) {}
byte DevUploadTexture(const TexEntry*, int) { return DEV_OK; }
byte DevFreeTexture(int) { return DEV_OK; }
