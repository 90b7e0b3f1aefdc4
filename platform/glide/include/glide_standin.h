// glide_standin.h: what the Glide stand-in offers beyond Glide, for tests, benchmarks and tools.
// The system's own code never includes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ScCard;

// How many boards grGet(GR_NUM_BOARDS) reports: 1 by default; 0 starts without a board. The
// environment variable TAMBIR_GLIDE_BOARDS (0 or 1), read at the first grGet, sets it for programs.
void GlideStandIn_SetBoards(int boards);

// One recorded Glide call: its name and up to 8 integer arguments in the call's order (floats
// and pointers are not recorded; a GrTexInfo argument records small LOD, large LOD, aspect,
// format after the call's own integers).
struct GlideCall {
    const char* name;
    int64_t a[8];
};
// Starts (true: with an empty list) or stops recording every call.
void GlideStandIn_Record(bool on);
const std::vector<GlideCall>& GlideStandIn_Calls(void);
// How many recorded calls are named `name`.
int GlideStandIn_Count(const char* name);

// The card of the open window (null when none), for reading pixels in tests.
ScCard* GlideStandIn_Card(void);
// The texture unit's memory (4 MB), for tests.
const uint8_t* GlideStandIn_TexMemory(void);
// Texture downloads and texture (re)conversions done so far.
uint64_t GlideStandIn_Downloads(void);
uint64_t GlideStandIn_Conversions(void);
// Shuts down if needed and forgets everything (state, memory, board count, records).
void GlideStandIn_Reset(void);
