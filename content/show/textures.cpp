// textures.cpp: demo.tex from the catalogue, and the builder's top level (see show.h).
#include <cstdio>
#include <string>

#include "audio.h"
#include "catalogue.h"
#include "files.h"
#include "models.h"
#include "show.h"
#include "texconv.h"
#include "texlib.h"

namespace {
FontFiles showFonts;
}

const FontFiles& ShowFonts(void) { return showFonts; }

FontFiles FontsIn(const std::string& dir) {
    return FontFiles{dir + "/DejaVuSans-Bold.ttf", dir + "/DejaVuSerif-Bold.ttf",
                     dir + "/DejaVuSansMono-Bold.ttf"};
}

std::string WriteDemoTex(const std::string& path, const FontFiles& fonts) {
    showFonts = fonts;
    TexLib* lib = NewTexLib();
    if (!lib) return "out of memory";
    std::string failed;
    for (const TexDesc& s : TextureCatalogue()) {
        std::vector<Img> frames;
        s.make(s, &frames);
        if (static_cast<int>(frames.size()) != TextureEntries(s)) {
            failed = std::string(s.name) + ": the generator made " + std::to_string(frames.size()) +
                     " frames";
            break;
        }
        for (int k = 0; k < TextureEntries(s) && failed.empty(); ++k) {
            const Img& im = frames[static_cast<size_t>(k)];
            TexEntry e;
            TexConvert how;
            how.format = s.format;
            how.keyed = s.keyed;
            if (im.w != s.width || im.h != s.height || !ImageToTexture(im, how, &e)) {
                failed =
                    std::string(s.name) + ": frame " + std::to_string(k) + " cannot be converted";
                break;
            }
            e.frames = static_cast<int16_t>(k == 0 ? s.frames : 0);
            if (PutTexture(s.id + k, lib, &e) != 0) {
                std::free(e.pixels);
                std::free(e.palette);
                failed = std::string(s.name) + ": entry " + std::to_string(s.id + k) + " is taken";
            }
        }
        if (!failed.empty()) break;
    }
    if (failed.empty() && SaveTexLib(path.c_str(), lib, "Tambir demo: textures made by code") != 0)
        failed = "cannot write " + path;
    FreeTexLib(lib);
    return failed;
}

std::string WriteShow(const std::string& dir, const FontFiles& fonts) {
    if (!MakeDir(dir)) return "cannot make the directory " + dir;
    std::string failed = WriteDemoTex(dir + "/demo.tex", fonts);
    if (failed.empty()) failed = WriteFont(dir + "/vgasys.fnt", fonts);
    if (failed.empty()) failed = WriteTitles(dir, fonts);
    if (failed.empty()) failed = WriteModels(dir);
    if (failed.empty()) failed = WriteAudio(dir);
    return failed;
}
