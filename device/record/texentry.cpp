// texentry.cpp: texture format sizes and the texture animation phase (see texentry.h).
#include "texentry.h"

namespace {

// Animation state: the phase that animated textures follow, and the sub-counter that lets a caller
// advance the phase every (n + 1)th tick.
struct TexAnimState {
    uint16_t phase;
    uint16_t sub;
};
TexAnimState texAnim = {0, 0};

}  // namespace

int TexFormatBytes(int format) {
    switch (format) {
    case TEX_RGB332:
    case TEX_ALPHA8:
    case TEX_INTENSITY8:
    case TEX_AI44:
    case TEX_P8: return 1;
    case TEX_ARGB8332:
    case TEX_RGB565:
    case TEX_ARGB1555:
    case TEX_ARGB4444:
    case TEX_AI88:
    case TEX_AP88: return 2;
    default: return 0;
    }
}

uint16_t TexAnimTick(int n) {
    if (n > texAnim.sub) {
        ++texAnim.sub;
    } else {
        ++texAnim.phase;
        texAnim.sub = 0;
    }
    return texAnim.phase;
}

int TexAnimResolve(int id, int frames) {
    if (frames <= 0) return id;
    return id + texAnim.phase % frames;
}

uint16_t TexAnimPhase(void) { return texAnim.phase; }
