// tex_temple.cpp: the temple's textures: stone, wood, bronze, fire, the storm sky.
#include <cmath>

#include "catalogue.h"

namespace {
Img Stone(const TexSpec& s, uint32_t seed, uint32_t dark, uint32_t light) {
    Field h = GradientNoise(s.width, s.height, 4, 5, 0.55f, seed);
    Img im = Ramp(h, {{0, dark}, {1, light}});
    Modulate(&im, Lighting(h, 6));
    Clamp(&im);
    return im;
}
}  // namespace

void MakeFloorStone(const TexSpec& s, std::vector<Img>* out) { out->push_back(Stone(s, 1, 0x302820, 0x8a7d6a)); }
void MakeFloorEmblem(const TexSpec& s, std::vector<Img>* out) { out->push_back(Stone(s, 2, 0x403020, 0xa08050)); }
void MakeWallStone(const TexSpec& s, std::vector<Img>* out) { out->push_back(Stone(s, 3, 0x383028, 0x9a8c78)); }
void MakeRelief(const TexSpec& s, std::vector<Img>* out) { out->push_back(Stone(s, 4, 0x383028, 0x9a8c78)); }
void MakeColumn(const TexSpec& s, std::vector<Img>* out) { out->push_back(Stone(s, 5, 0x383028, 0xb0a088)); }
void MakeDaisMarble(const TexSpec& s, std::vector<Img>* out) { out->push_back(Stone(s, 6, 0x101018, 0x505060)); }
void MakeDaisStep(const TexSpec& s, std::vector<Img>* out) { out->push_back(Stone(s, 7, 0x101018, 0x806020)); }
void MakeRoofBeam(const TexSpec& s, std::vector<Img>* out) { out->push_back(Stone(s, 8, 0x201008, 0x604020)); }
void MakeDoorWood(const TexSpec& s, std::vector<Img>* out) { out->push_back(Stone(s, 9, 0x281408, 0x704828)); }
void MakeDoorIron(const TexSpec& s, std::vector<Img>* out) { out->push_back(Stone(s, 10, 0x101010, 0x505050)); }
void MakeBronze(const TexSpec& s, std::vector<Img>* out) { out->push_back(Stone(s, 11, 0x402010, 0xc08040)); }
void MakeSky(const TexSpec& s, std::vector<Img>* out) { out->push_back(Stone(s, 12, 0x020208, 0x404868)); }

void MakeFire(const TexSpec& s, std::vector<Img>* out) {
    for (const Field& heat : FireFrames(s.width, s.height, s.frames, 0.012f, 77)) {
        Img im = Ramp(heat, {{0, 0x000000}, {0.3f, 0x801000}, {0.6f, 0xff8000}, {1, 0xffffc0}});
        Field a = heat;
        Levels(&a, 0.05f, 0.5f);
        SetAlpha(&im, a);
        out->push_back(im);
    }
}
