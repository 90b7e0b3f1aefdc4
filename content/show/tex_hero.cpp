// tex_hero.cpp: the hero's textures, the rune ring and the relic.
#include "catalogue.h"

namespace {
Img Cloth(const TexSpec& s, uint32_t seed, uint32_t dark, uint32_t light) {
    Field h = ValueNoise(s.width, s.height, 8, 4, 0.5f, seed);
    return Ramp(h, {{0, dark}, {1, light}});
}
}  // namespace

void MakeRobe(const TexSpec& s, std::vector<Img>* out) { out->push_back(Cloth(s, 20, 0x300808, 0x802020)); }
void MakeSkin(const TexSpec& s, std::vector<Img>* out) { out->push_back(Cloth(s, 21, 0x805040, 0xc09070)); }
void MakeHood(const TexSpec& s, std::vector<Img>* out) { out->push_back(Cloth(s, 22, 0x101018, 0x303040)); }
void MakeBoots(const TexSpec& s, std::vector<Img>* out) { out->push_back(Cloth(s, 23, 0x201008, 0x503018)); }
void MakeStaff(const TexSpec& s, std::vector<Img>* out) { out->push_back(Cloth(s, 24, 0x301808, 0x705030)); }
void MakeTrim(const TexSpec& s, std::vector<Img>* out) { out->push_back(Cloth(s, 25, 0x604010, 0xe0c060)); }
void MakeRuneRing(const TexSpec& s, std::vector<Img>* out) {
    Img im = Cloth(s, 26, 0x4060ff, 0xc0d0ff);
    Field a = GradientNoise(s.width, s.height, 8, 2, 0.5f, 27);
    SetAlpha(&im, a);
    out->push_back(im);
}
void MakeRingMetal(const TexSpec& s, std::vector<Img>* out) { out->push_back(Cloth(s, 28, 0x101828, 0x506080)); }
void MakeRelicMetal(const TexSpec& s, std::vector<Img>* out) { out->push_back(Cloth(s, 29, 0x403010, 0xd0b060)); }
void MakeRelicGlow(const TexSpec& s, std::vector<Img>* out) {
    Field r = RadialGradient(s.width, s.height, 0.5f, 0.5f, 0.5f);
    Invert(&r);
    Levels(&r, 0, 1);
    Img im = MakeImg(s.width, s.height, 0xffe0a0);
    SetAlpha(&im, r);
    out->push_back(im);
}
