// model_parts.h: what the model files (models.cpp) take from the model designs (model_*.cpp).
#pragma once

#include <vector>

#include "mesh_ops.h"

// The texture id of a catalogue name, noted for the model's remap file (all its frames).
int Tex(const char* name);

struct ModelKey {
    int frame;
    MeshBuild mesh;
};

struct ModelAnim {
    int id;
    int span;
    int flags;  // ANIM_*
    std::vector<ModelKey> keys;
};

// chram: the temple as it stands; one fire shape of five (k = 0..4), its base at the origin.
MeshBuild TempleMesh(void);
MeshBuild FireMesh(int k);
// hrdina: animations 0 (standing), 1 (walking), 2 (act one) and 3 (act two), one layout for all.
std::vector<ModelAnim> HeroAnims(void);
// cpu: the title's chip (animation 0) and the closing landscape (animation 2).
MeshBuild ChipLogoMesh(void);
MeshBuild FinalSceneMesh(void);
// dvere, ruvo and objekt.
std::vector<ModelAnim> DoorAnims(void);
std::vector<ModelAnim> RuneRingAnims(void);
std::vector<ModelAnim> RelicAnims(void);

// A material of diffuse colour and emitted light.
inline int Mat(MeshBuild* mb, float r, float g, float b, float er = 0, float eg = 0, float eb = 0) {
    return AddMaterial(mb, LitMaterial(r, g, b, er, eg, eb));
}
// Emits the shape after smoothing its normals with the crease angle.
inline void Put(MeshBuild* mb, Shape s, float crease = 50) {
    SmoothNormals(&s, crease);
    EmitShape(mb, s);
}
