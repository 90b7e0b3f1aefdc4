// catalogue.cpp: the table of the show's textures (see catalogue.h).
#include "catalogue.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "texentry.h"

namespace {

constexpr int P565 = TEX_RGB565, P1555 = TEX_ARGB1555, P4444 = TEX_ARGB4444, PP8 = TEX_P8;

const std::vector<TexDesc> kCatalogue = {
    // Light: the flare sprite drawn on every lamp (the render core binds id 5 for flares).
    {5, "flare", 64, 64, P4444, false, 0, MakeFlare, "soft round glow with alpha"},
    // The temple.
    {16, "floor_stone", 256, 256, P565, false, 0, MakeFloorStone, "worn flagstones of the nave"},
    {17, "floor_emblem", 256, 256, P565, false, 0, MakeFloorEmblem,
     "inlaid emblem where the first shot looks down"},
    {18, "wall_stone", 256, 256, P565, false, 0, MakeWallStone,
     "dressed stone courses of the walls"},
    {19, "wall_relief", 128, 256, P565, false, 0, MakeRelief, "carved relief panel"},
    {20, "column", 128, 256, P565, false, 0, MakeColumn, "fluted stone column shaft"},
    {21, "dais_marble", 256, 256, P565, false, 0, MakeDaisMarble, "dark veined marble of the dais"},
    {22, "dais_step", 256, 64, P565, false, 0, MakeDaisStep,
     "step edge of the dais with a gold band"},
    {23, "roof_beam", 256, 64, P565, false, 0, MakeRoofBeam, "old roof timber"},
    {24, "door_wood", 128, 256, P565, false, 0, MakeDoorWood, "heavy planks of the door"},
    {25, "door_iron", 128, 64, P565, false, 0, MakeDoorIron, "riveted iron strap of the door"},
    {26, "bronze", 128, 128, P565, false, 0, MakeBronze, "hammered bronze of the braziers"},
    {27, "sky", 256, 256, P565, false, 0, MakeSky, "night sky with storm clouds above the opening"},
    {32, "fire", 64, 128, P4444, false, 16, MakeFire, "flames, 16 frames, soft alpha"},
    // The hero.
    {48, "robe", 128, 256, P565, false, 0, MakeRobe, "woven cloth of the robe"},
    {49, "skin", 64, 64, P565, false, 0, MakeSkin, "skin of face and hands"},
    {50, "hood", 128, 128, P565, false, 0, MakeHood, "darker heavy cloth of hood and cloak"},
    {51, "boots", 64, 64, P565, false, 0, MakeBoots, "leather of the boots"},
    {52, "staff", 32, 256, P565, false, 0, MakeStaff, "the staff he carries: wood, metal bands"},
    {53, "trim", 64, 64, PP8, false, 0, MakeTrim, "embroidered gold trim of the robe"},
    // Ruvo and objekt.
    {56, "rune_ring", 256, 32, P4444, false, 0, MakeRuneRing, "glowing runes for the turning ring"},
    {57, "ring_metal", 128, 128, P565, false, 0, MakeRingMetal, "dark blued metal of the ring"},
    {58, "relic_metal", 128, 128, P565, false, 0, MakeRelicMetal,
     "relic metal with engraved glowing lines"},
    {59, "relic_glow", 64, 64, P4444, false, 0, MakeRelicGlow, "halo around the relic"},
    // cpu: the title logo and the final landscape.
    {64, "chip_top", 256, 256, P565, false, 0, MakeChipTop, "chip package with the show's name"},
    {65, "chip_side", 128, 16, P565, false, 0, MakeChipSide, "edge of the chip package"},
    {66, "pins", 64, 64, P1555, true, 0, MakePins, "gold pins with gaps"},
    {67, "die", 128, 128, P565, false, 0, MakeDie, "silicon die surface"},
    {68, "board", 256, 256, PP8, false, 0, MakeBoard, "circuit board with traces and vias"},
    {72, "dataflow", 128, 128, P4444, false, 8, MakeDataFlow,
     "pulses running along traces, 8 frames"},
    {80, "credit_0", 256, 64, P565, false, 0, MakeCreditPlate, "credit plate"},
    {81, "credit_1", 256, 64, P565, false, 0, MakeCreditPlate, "credit plate"},
    {82, "credit_2", 256, 64, P565, false, 0, MakeCreditPlate, "credit plate"},
    {83, "credit_3", 256, 64, P565, false, 0, MakeCreditPlate, "credit plate"},
    {84, "credit_4", 256, 64, P565, false, 0, MakeCreditPlate, "credit plate"},
    {85, "credit_5", 256, 64, P565, false, 0, MakeCreditPlate, "credit plate"},
};

}  // namespace

const std::vector<TexDesc>& TextureCatalogue(void) { return kCatalogue; }

const TexDesc* FindTexture(const char* name) {
    for (const TexDesc& s : kCatalogue)
        if (std::strcmp(s.name, name) == 0) return &s;
    return nullptr;
}

int TextureId(const char* name) {
    const TexDesc* s = FindTexture(name);
    if (!s) {
        std::fprintf(stderr, "tambir-content: no texture \"%s\" in the catalogue\n", name);
        std::exit(1);
    }
    return s->id;
}

const std::vector<const char*>& CreditLines(void) {
    static const std::vector<const char*> lines = {"TAMBIR DEMO",           "CODE: THE TRX ENGINE",
                                                   "TEXTURES MADE BY CODE", "MODELS MADE BY CODE",
                                                   "MUSIC MADE BY CODE",    "THANKS FOR WATCHING"};
    return lines;
}
