// songs.h: the show's two modules, composed as code: "teufel.it" from frame 12 under the titles
// and the temple, "titles.it" under the final scene. One row plays every 80 ms frame (speed 4,
// tempo 125), so row n of teufel.it sounds at frame 12 + n.
#pragma once

#include "it_writer.h"

ItSong TeufelSong();
ItSong TitlesSong();
