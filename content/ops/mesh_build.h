// mesh_build.h: the five scene tables of a model mesh in growable arrays. Points, runs and their
// references are added one by one (surfaces come from mesh_ops.h); ToMesh hands the tables over
// as a Mesh in the malloc'ed blocks a keyframe owns.
//
// Texture coordinates are in texture repeats (0..1 across one copy); texels wrap.
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

// A light-emitting run (type 7): a point light (cone cosines 0) or a spot along `direction`.
void AddEmitter(MeshBuild* mb, V3 position, V3 direction, float r, float g, float b, float range,
                bool spot);
// The tables as a Mesh of malloc'ed blocks (the caller or a keyframe owns them). Empty tables
// give null blocks.
Mesh ToMesh(const MeshBuild& mb);
