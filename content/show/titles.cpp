// titles.cpp: the two title pictures, napis1.pcx (the backdrop the tumbling logo crosses) and
// hlnapis.pcx (the title card), 8-bit with a 256-colour palette and index 0 transparent.
#include "files.h"
#include "show.h"
#include "texconv.h"
#include "text.h"

namespace {

std::string WritePicture(const std::string& path, const Img& im) {
    std::vector<uint8_t> indexes;
    std::vector<uint32_t> palette;
    ImageToIndexed(im, 0x000000, &indexes, &palette);
    return WriteBytes(path, EncodePcx(im.w, im.h, indexes, palette)) ? "" : "cannot write " + path;
}

Img Lettering(int w, int h, const char* text, float size, float baseline, const FontFiles& fonts) {
    Field cover = MakeField(w, h);
    if (TextOpen(fonts.sans_bold)) {
        DrawText(&cover, text, size, static_cast<float>(w) / 2, baseline, TEXT_CENTRE);
        TextClose();
    }
    Img im = Ramp(cover, {{0, 0x000000}, {1, 0xe0c080}});
    SetAlpha(&im, cover);
    return im;
}

}  // namespace

std::string WriteTitles(const std::string& dir, const FontFiles& fonts) {
    std::string failed = WritePicture(dir + "/napis1.pcx", Lettering(640, 480, "TAMBIR", 120, 120, fonts));
    if (failed.empty()) failed = WritePicture(dir + "/hlnapis.pcx", Lettering(512, 256, "TAMBIR", 110, 160, fonts));
    return failed;
}
