// tambir-content: writes every data file of the show into a directory.
//
//   tambir-content [--fonts DIR] OUTDIR
//
// The same bytes on every run. Exit status 0 on success, 1 with a message on stderr.
#include <cstdio>
#include <cstring>
#include <string>

#include "show.h"

#ifndef TAMBIR_FONT_DIR
#define TAMBIR_FONT_DIR "/usr/share/fonts/truetype/dejavu"
#endif

int main(int argc, char** argv) {
    std::string fonts = TAMBIR_FONT_DIR, out;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--fonts") == 0 && i + 1 < argc) {
            fonts = argv[++i];
        } else if (std::strcmp(argv[i], "--help") == 0) {
            std::puts(
                "usage: tambir-content [--fonts DIR] OUTDIR\n"
                "Writes the show's data files (textures, font, title pictures, models, sound) into "
                "OUTDIR.\n"
                "DIR holds the DejaVu TrueType fonts (default " TAMBIR_FONT_DIR ").");
            return 0;
        } else if (argv[i][0] == '-' || !out.empty()) {
            std::fprintf(stderr, "tambir-content: bad usage (tambir-content --help)\n");
            return 1;
        } else {
            out = argv[i];
        }
    }
    if (out.empty()) {
        std::fprintf(stderr, "tambir-content: no output directory (tambir-content --help)\n");
        return 1;
    }
    const std::string failed = WriteShow(out, FontsIn(fonts));
    if (!failed.empty()) {
        std::fprintf(stderr, "tambir-content: %s\n", failed.c_str());
        return 1;
    }
    return 0;
}
