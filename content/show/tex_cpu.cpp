// tex_cpu.cpp: the chip logo, the circuit landscape of the final scene, its credits, and the flare.
#include "catalogue.h"
#include "show.h"
#include "text.h"

void MakeFlare(const TexSpec& s, std::vector<Img>* out) {
    Field r = RadialGradient(s.width, s.height, 0.5f, 0.5f, 0.5f);
    Invert(&r);
    Levels(&r, 0, 1);
    Pow(&r, 2);
    Img im = MakeImg(s.width, s.height, 0xffffff);
    SetAlpha(&im, r);
    out->push_back(im);
}

namespace {
Img Plain(const TexSpec& s, uint32_t seed, uint32_t dark, uint32_t light) {
    Field h = ValueNoise(s.width, s.height, 8, 4, 0.5f, seed);
    return Ramp(h, {{0, dark}, {1, light}});
}
}  // namespace

void MakeChipTop(const TexSpec& s, std::vector<Img>* out) {
    Img im = Plain(s, 40, 0x101010, 0x303030);
    Field t = MakeField(s.width, s.height);
    if (TextOpen(ShowFonts().sans_bold)) {
        DrawText(&t, "TAMBIR", 56, 128, 150, TEXT_CENTRE);
        TextClose();
    }
    AddColor(&im, t, 0xd0d0d0);
    Clamp(&im);
    out->push_back(im);
}
void MakeChipSide(const TexSpec& s, std::vector<Img>* out) { out->push_back(Plain(s, 41, 0x101010, 0x303030)); }
void MakePins(const TexSpec& s, std::vector<Img>* out) {
    Img im = Plain(s, 42, 0x806010, 0xffd040);
    Field a = Bricks(s.width, s.height, 1, 4, 0, 8, 1, 43);
    SetAlpha(&im, a);
    out->push_back(im);
}
void MakeDie(const TexSpec& s, std::vector<Img>* out) { out->push_back(Plain(s, 44, 0x202040, 0x6060a0)); }
void MakeBoard(const TexSpec& s, std::vector<Img>* out) { out->push_back(Plain(s, 45, 0x042010, 0x108040)); }
void MakeDataFlow(const TexSpec& s, std::vector<Img>* out) {
    for (int k = 0; k < s.frames; ++k) {
        Field a = MakeField(s.width, s.height);
        DrawLine(&a, 0, static_cast<float>(k * 16), static_cast<float>(s.width), static_cast<float>(k * 16), 3);
        Img im = MakeImg(s.width, s.height, 0x40ff80);
        SetAlpha(&im, a);
        out->push_back(im);
    }
}
void MakeCreditPlate(const TexSpec& s, std::vector<Img>* out) {
    Img im = Plain(s, 46, 0x202020, 0x404040);
    Field t = MakeField(s.width, s.height);
    const int index = s.id - TextureId("credit_0");
    if (TextOpen(ShowFonts().sans_bold)) {
        DrawText(&t, CreditLines()[static_cast<size_t>(index)], 22, 128, 40, TEXT_CENTRE);
        TextClose();
    }
    AddColor(&im, t, 0xf0e0a0);
    Clamp(&im);
    out->push_back(im);
}
