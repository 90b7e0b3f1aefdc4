// models.h: the six models of the show and their remap files.
#pragma once

#include <string>

// Writes chram, hrdina, dvere, ruvo, objekt and cpu (.mdl and .txi) into dir. "" on success, else
// what failed.
std::string WriteModels(const std::string& dir);
