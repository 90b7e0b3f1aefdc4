// catalogue.h: every texture of "demo.tex" (library 0): its id, name, size, format, colour key,
// animation frames and the generator that draws it. The models refer to textures by name through
// TextureId, so an id lives in this table only.
//
// An animated texture of n frames takes n consecutive entries: the first carries frames = n and
// the devices bind entry id + (animation phase mod n); the others carry frames = 0.
#pragma once

#include <vector>

#include "image.h"

struct TexSpec;
// Draws the texture: one image for a still texture, `frames` images for an animated one, each of
// the entry's size.
typedef void (*TexMaker)(const TexSpec& spec, std::vector<Img>* frames);

struct TexSpec {
    int id;            // entry in demo.tex (texture id: library 0)
    const char* name;  // what the models call it
    int width, height;
    int format;        // TexFormat code
    bool keyed;        // texels with alpha below one half are the colour key
    int frames;        // 0 still; else consecutive entries id .. id + frames - 1
    TexMaker make;
    const char* what;  // what it shows, for people
};

// The whole catalogue, sorted by id.
const std::vector<TexSpec>& TextureCatalogue(void);
// The id of the texture of that name; stops the builder with a message when there is none (a
// model asking for a texture the catalogue lacks is a fault of the builder's own tables).
int TextureId(const char* name);
// The catalogue entry of that name, or null.
const TexSpec* FindTexture(const char* name);
// Which entries the texture's frames take: id .. id + max(frames, 1) - 1.
inline int TextureEntries(const TexSpec& s) { return s.frames > 0 ? s.frames : 1; }

// The generators, by the part of the show they serve (tex_*.cpp).
void MakeFlare(const TexSpec&, std::vector<Img>*);
void MakeFloorStone(const TexSpec&, std::vector<Img>*);
void MakeFloorEmblem(const TexSpec&, std::vector<Img>*);
void MakeWallStone(const TexSpec&, std::vector<Img>*);
void MakeRelief(const TexSpec&, std::vector<Img>*);
void MakeColumn(const TexSpec&, std::vector<Img>*);
void MakeDaisMarble(const TexSpec&, std::vector<Img>*);
void MakeDaisStep(const TexSpec&, std::vector<Img>*);
void MakeRoofBeam(const TexSpec&, std::vector<Img>*);
void MakeDoorWood(const TexSpec&, std::vector<Img>*);
void MakeDoorIron(const TexSpec&, std::vector<Img>*);
void MakeBronze(const TexSpec&, std::vector<Img>*);
void MakeSky(const TexSpec&, std::vector<Img>*);
void MakeFire(const TexSpec&, std::vector<Img>*);
void MakeRobe(const TexSpec&, std::vector<Img>*);
void MakeSkin(const TexSpec&, std::vector<Img>*);
void MakeHood(const TexSpec&, std::vector<Img>*);
void MakeBoots(const TexSpec&, std::vector<Img>*);
void MakeStaff(const TexSpec&, std::vector<Img>*);
void MakeTrim(const TexSpec&, std::vector<Img>*);
void MakeRuneRing(const TexSpec&, std::vector<Img>*);
void MakeRingMetal(const TexSpec&, std::vector<Img>*);
void MakeRelicMetal(const TexSpec&, std::vector<Img>*);
void MakeRelicGlow(const TexSpec&, std::vector<Img>*);
void MakeChipTop(const TexSpec&, std::vector<Img>*);
void MakeChipSide(const TexSpec&, std::vector<Img>*);
void MakePins(const TexSpec&, std::vector<Img>*);
void MakeDie(const TexSpec&, std::vector<Img>*);
void MakeBoard(const TexSpec&, std::vector<Img>*);
void MakeDataFlow(const TexSpec&, std::vector<Img>*);
void MakeCreditPlate(const TexSpec&, std::vector<Img>*);

// The lines of the credit plates, in order (plate k shows line k).
const std::vector<const char*>& CreditLines(void);
