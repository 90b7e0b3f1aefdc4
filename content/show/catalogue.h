// catalogue.h: every texture of "demo.tex" (library 0): its id, name, size, format, colour key,
// animation frames and the generator that draws it. The models refer to textures by name through
// TextureId, so an id lives in this table only.
//
// An animated texture of n frames takes n consecutive entries: the first carries frames = n and
// the devices bind entry id + (animation phase mod n); the others carry frames = 0.
#pragma once

#include <vector>

#include "image.h"

struct TexDesc;
// Draws the texture: one image for a still texture, `frames` images for an animated one, each of
// the entry's size.
typedef void (*TexMaker)(const TexDesc& desc, std::vector<Img>* frames);

struct TexDesc {
    int id;            // entry in demo.tex (texture id: library 0)
    const char* name;  // what the models call it
    int width, height;
    int format;  // TexFormat code
    bool keyed;  // texels with alpha below one half are the colour key
    int frames;  // 0 still; else consecutive entries id .. id + frames - 1
    TexMaker make;
    const char* what;  // what it shows, for people
};

// The whole catalogue, sorted by id.
const std::vector<TexDesc>& TextureCatalogue(void);
// The id of the texture of that name; stops the builder with a message when there is none (a
// model asking for a texture the catalogue lacks is a fault of the builder's own tables).
int TextureId(const char* name);
// The catalogue entry of that name, or null.
const TexDesc* FindTexture(const char* name);
// Which entries the texture's frames take: id .. id + max(frames, 1) - 1.
inline int TextureEntries(const TexDesc& s) { return s.frames > 0 ? s.frames : 1; }

// The generators, by the part of the show they serve (tex_*.cpp).
void MakeFlare(const TexDesc&, std::vector<Img>*);
void MakeFloorStone(const TexDesc&, std::vector<Img>*);
void MakeFloorEmblem(const TexDesc&, std::vector<Img>*);
void MakeWallStone(const TexDesc&, std::vector<Img>*);
void MakeRelief(const TexDesc&, std::vector<Img>*);
void MakeColumn(const TexDesc&, std::vector<Img>*);
void MakeDaisMarble(const TexDesc&, std::vector<Img>*);
void MakeDaisStep(const TexDesc&, std::vector<Img>*);
void MakeRoofBeam(const TexDesc&, std::vector<Img>*);
void MakeDoorWood(const TexDesc&, std::vector<Img>*);
void MakeDoorIron(const TexDesc&, std::vector<Img>*);
void MakeBronze(const TexDesc&, std::vector<Img>*);
void MakeSky(const TexDesc&, std::vector<Img>*);
void MakeFire(const TexDesc&, std::vector<Img>*);
void MakeRobe(const TexDesc&, std::vector<Img>*);
void MakeSkin(const TexDesc&, std::vector<Img>*);
void MakeHood(const TexDesc&, std::vector<Img>*);
void MakeBoots(const TexDesc&, std::vector<Img>*);
void MakeStaff(const TexDesc&, std::vector<Img>*);
void MakeTrim(const TexDesc&, std::vector<Img>*);
void MakeRuneRing(const TexDesc&, std::vector<Img>*);
void MakeRingMetal(const TexDesc&, std::vector<Img>*);
void MakeRelicMetal(const TexDesc&, std::vector<Img>*);
void MakeRelicGlow(const TexDesc&, std::vector<Img>*);
void MakeChipTop(const TexDesc&, std::vector<Img>*);
void MakeChipSide(const TexDesc&, std::vector<Img>*);
void MakePins(const TexDesc&, std::vector<Img>*);
void MakeDie(const TexDesc&, std::vector<Img>*);
void MakeBoard(const TexDesc&, std::vector<Img>*);
void MakeDataFlow(const TexDesc&, std::vector<Img>*);
void MakeCreditPlate(const TexDesc&, std::vector<Img>*);

// The lines of the credit plates, in order (plate k shows line k).
const std::vector<const char*>& CreditLines(void);
