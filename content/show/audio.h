// audio.h: the show's sound: the six samples under sound/ and the two modules.
#pragma once

#include <string>

// Writes sound/{dvere,bota,boure,hrom,kouzlo,konec}.wav, teufel.it and titles.it into dir. "" on
// success, else what failed.
std::string WriteAudio(const std::string& dir);
