// sfx.h: the show's sound effects, played on the script's event frames: the door, a footstep,
// the storm, the thunder, the spell and the relic's end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SoundEffect {
    std::string name;          // the file is sound/<name>.wav
    std::vector<int16_t> pcm;  // mono, 44100 Hz; starts and ends at 0, peaks below -1 dBFS
};

std::vector<SoundEffect> SoundEffects();
