// mesh_build.cpp: building meshes from code (see mesh_build.h).
#include "mesh_build.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

V3 Cross(V3 a, V3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

V3 Normalized(V3 a) {
    const float l = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
    return l > 0 ? a * (1 / l) : V3{0, 0, 1};
}

Material LitMaterial(float r, float g, float b, float er, float eg, float eb) {
    Material m{};
    m.diffuse[0] = r, m.diffuse[1] = g, m.diffuse[2] = b;
    m.emissive[0] = er, m.emissive[1] = eg, m.emissive[2] = eb;
    m.alpha = 1.0f;
    return m;
}

int AddMaterial(MeshBuild* mb, const Material& m) {
    mb->materials.push_back(m);
    return static_cast<int>(mb->materials.size()) - 1;
}

int AddPoint(MeshBuild* mb, V3 p, V3 n) {
    mb->vertices.push_back(Vec4{p.x, p.y, p.z, 1});
    mb->normals.push_back(Vec4{n.x, n.y, n.z, 1});
    const int i = static_cast<int>(mb->vertices.size()) - 1;
    mb->links.push_back(Link{static_cast<int32_t>(mb->normals.size()) - 1, i});
    return static_cast<int>(mb->links.size()) - 1;
}

void AddRun(MeshBuild* mb, int type, int count, int texture) {
    Command c;
    c.run = RunHeader{0, static_cast<uint16_t>(type), 0, count, texture};
    mb->commands.push_back(c);
}

void AddRef(MeshBuild* mb, int link, int material, float u, float v) {
    Command c;
    c.ref = VertexRef{material, link, v, u};
    mb->commands.push_back(c);
}

void AddEmitter(MeshBuild* mb, V3 position, V3 direction, float r, float g, float b, float range,
                bool spot) {
    Material m{};
    m.diffuse[0] = range;
    m.diffuse[1] = spot ? 0.5f : 0.0f;   // cone outer cosine (60 degrees)
    m.diffuse[2] = spot ? 0.81f : 0.0f;  // cone inner cosine (36 degrees)
    m.emissive[0] = r, m.emissive[1] = g, m.emissive[2] = b;
    m.lightFlags = LIGHT_ENABLED | (spot ? LIGHT_SPOT : LIGHT_POINT);
    m.flags = MAT_EMITTER;
    const int material = AddMaterial(mb, m);
    const int link = AddPoint(mb, position, Normalized(direction));
    AddRun(mb, PRIM_EMITTER, 1, 0);
    AddRef(mb, link, material, 0, 0);
}

template <typename T>
static T* Block(const std::vector<T>& v) {
    if (v.empty()) return nullptr;
    T* p = static_cast<T*>(std::malloc(v.size() * sizeof(T)));
    if (p) std::memcpy(static_cast<void*>(p), v.data(), v.size() * sizeof(T));
    return p;
}

Mesh ToMesh(const MeshBuild& mb) {
    Mesh m{};
    m.mtable = Block(mb.materials), m.mcount = static_cast<int32_t>(mb.materials.size());
    m.ntable = Block(mb.normals), m.ncount = static_cast<int32_t>(mb.normals.size());
    m.wtable = Block(mb.vertices), m.wcount = static_cast<int32_t>(mb.vertices.size());
    m.ltable = Block(mb.links), m.lcount = static_cast<int32_t>(mb.links.size());
    m.ctable = Block(mb.commands), m.ccount = static_cast<int32_t>(mb.commands.size());
    return m;
}
