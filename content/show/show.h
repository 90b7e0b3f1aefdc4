// show.h: the writers of the show's data set, one per group of files. Each returns "" on success,
// else what failed; each fills `report` with a line per file (name and size) when given.
#pragma once

#include <string>

// Where the lettering fonts are (a directory holding the DejaVu TrueType files).
struct FontFiles {
    std::string sans_bold;   // DejaVuSans-Bold.ttf: titles, chip, credits
    std::string serif_bold;  // DejaVuSerif-Bold.ttf: runes and engraving
    std::string mono_bold;   // DejaVuSansMono-Bold.ttf: the 8x16 console font
};
FontFiles FontsIn(const std::string& dir);

// demo.tex from the texture catalogue.
std::string WriteDemoTex(const std::string& path, const FontFiles& fonts);
// vgasys.fnt: glyph k for the characters 32-126 and 160-255, 8x16, white with alpha.
std::string WriteFont(const std::string& path, const FontFiles& fonts);
// napis1.pcx and hlnapis.pcx.
std::string WriteTitles(const std::string& dir, const FontFiles& fonts);
// Everything: demo.tex, vgasys.fnt, the titles, the six models with remap files, the sound.
std::string WriteShow(const std::string& dir, const FontFiles& fonts);

// Shared by the texture generators that letter: the fonts of this run.
const FontFiles& ShowFonts(void);
