// dev_glide.h: the Glide device's internals that tests and benchmarks look at. The rest of the
// system sees only device.h.
#pragma once

#include <cstdint>

#include "glide.h"

// Resolution and refresh codes for a mode; -1 when the mode is not in the device's tables.
int GlideResolution(int width, int height);
int GlideRefresh(int hz);

// How a texture of width x height is described to Glide: LOD of the longer side and aspect
// log2(width / height) (positive when wider), and the factors that turn u and v (0..1 across the
// texture) into Glide's s and t. False for a side that is not a power of two, a ratio over 8 or a
// side over 256.
bool GlideTexShape(int width, int height, GrLOD_t* lod, GrAspectRatio_t* aspect, float* sScale,
                   float* tScale);

// The texture table's size in entries.
int GlideTableSize(void);
// Where a handle's texels live in texture memory: true with unit, address and size when resident.
bool GlideResident(int handle, int* unit, uint32_t* address, uint32_t* size);
// The unit's next free texture address (0 = not set yet); the setter is for tests of placement.
uint32_t GlideNextFree(int unit);
void GlideSetNextFree(int unit, uint32_t address);
