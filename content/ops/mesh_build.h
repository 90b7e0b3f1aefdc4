// mesh_build.h: building model meshes from code. A MeshBuild collects the five scene tables in
// growable arrays; surfaces are added as grids (strips of at most 127 references per run, as the
// render core takes them), boxes and single polygons; ToMesh hands the tables over as a Mesh in
// the malloc'ed blocks a keyframe owns.
//
// Texture coordinates are in texture repeats (0..1 across one copy); a grid's texels wrap.
#pragma once

#include <vector>

#include "trx.h"

struct MeshBuild {
    std::vector<Material> materials;
    std::vector<Vec4> normals;
    std::vector<Vec4> vertices;
    std::vector<Link> links;
    std::vector<Command> commands;
};

struct V3 {
    float x, y, z;
};

inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator*(V3 a, float k) { return {a.x * k, a.y * k, a.z * k}; }
V3 Cross(V3 a, V3 b);
V3 Normalized(V3 a);

// A lit material: diffuse colour, emissive colour added after lighting.
Material LitMaterial(float r, float g, float b, float er = 0, float eg = 0, float eb = 0);
int AddMaterial(MeshBuild* mb, const Material& m);
// A link of a new vertex and a new normal; its index.
int AddPoint(MeshBuild* mb, V3 position, V3 normal);
// A run of `count` references of prim type `type` on `texture`; then AddRef `count` times.
void AddRun(MeshBuild* mb, int type, int count, int texture);
void AddRef(MeshBuild* mb, int link, int material, float u, float v);

// A flat grid from `origin` along edges eu (nu cells) and ev (nv cells), drawn as triangle strips,
// one run per row of cells (nu at most 62). Texture repeats ru x rv over it, u along eu and v along
// ev, so seen from its front (the side ev x eu points to) eu runs right and ev down, as the
// texture's rows do: a picture reads the right way round.
void AddGrid(MeshBuild* mb, V3 origin, V3 eu, V3 ev, int nu, int nv, int texture, int material, float ru, float rv);
// An axis-aligned box from lo to hi, its six faces facing out (grids of `cells` per side); `repeat`
// texels per world unit scale the texture on each face.
void AddBox(MeshBuild* mb, V3 lo, V3 hi, int cells, int texture, int material, float unitsPerRepeat);
// A light-emitting run (type 7): a point light (cone cosines 0) or a spot along `direction`.
void AddEmitter(MeshBuild* mb, V3 position, V3 direction, float r, float g, float b, float range, bool spot);
// A flare (type 9, drawn after a depth test) of world size `size` on texture 5.
void AddFlare(MeshBuild* mb, V3 position, float size, float r, float g, float b);

// The tables as a Mesh of malloc'ed blocks (the caller or a keyframe owns them). Empty tables
// give null blocks.
Mesh ToMesh(const MeshBuild& mb);
