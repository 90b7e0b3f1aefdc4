// mesh_ops.h: modelling by operators. A Shape is a list of patches (grids, fans, loose
// triangles), each with its own texture and material; shapes are made by primitives (grid, box
// with bevel, lathe, cylinder, extrusion), changed by operators (subdivide, displace, mirror,
// instance under a matrix, merge), given normals and texture coordinates, and finally emitted
// into a MeshBuild as strips (grid rows), fans and triangle lists of at most 127 references.
//
// The front of a surface is where its normal points: for a grid it is dv x du (u along a row,
// v from row to row), for a fan (centre, r0, r1, ...) and for a triangle (a, b, c) it is
// (b - a) x (c - a). Emitting keeps the vertex order, so shapes built by the same code give
// meshes of the same layout (what keyframe morphing needs). The devices cull triangles whose
// order (b - a) x (c - a) turns away from the camera, so every run is emitted with that order
// along its normals: a surface seen from behind is not drawn.
#pragma once

#include <cstdint>
#include <vector>

#include "image.h"
#include "mesh_build.h"

struct MVert {
    V3 p{0, 0, 0};
    V3 n{0, 0, 1};
    float u = 0, v = 0;
};

enum PatchKind { PATCH_GRID = 0, PATCH_FAN = 1, PATCH_TRIS = 2 };

struct Patch {
    int kind = PATCH_GRID;
    int nu = 0, nv = 0;        // grid: (nu + 1) x (nv + 1) vertices, row after row
    std::vector<MVert> verts;  // fan: the centre first, then the rim
    std::vector<int> tris;     // PATCH_TRIS: three vertex indexes per triangle
    int texture = 0, material = 0;
};

struct Shape {
    std::vector<Patch> patches;
};

// ---- matrices (3 x 4, column vectors: p' = R p + t) ----

struct M34 {
    float m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
};

M34 Translate(V3 t);
M34 ScaleM(float sx, float sy, float sz);
M34 RotX(float a);
M34 RotY(float a);
M34 RotZ(float a);
M34 operator*(const M34& a, const M34& b);  // b first, then a
V3 Apply(const M34& m, V3 p);
V3 ApplyDir(const M34& m, V3 d);
// Rotation about the axis through `pivot`.
M34 RotateAbout(V3 pivot, const M34& rotation);

float Dot(V3 a, V3 b);
float Length(V3 a);

// ---- primitives ----

// A grid from origin along eu (nu cells) and ev (nv cells); texture repeats ru x rv.
Shape GridShape(V3 origin, V3 eu, V3 ev, int nu, int nv, int texture, int material, float ru = 1,
                float rv = 1);
// A grid whose vertex (i, j) lies at f(i / nu, j / nv); the same texture mapping.
template <typename F>
Shape SurfaceShape(int nu, int nv, int texture, int material, float ru, float rv, F f) {
    Patch p;
    p.kind = PATCH_GRID, p.nu = nu, p.nv = nv, p.texture = texture, p.material = material;
    for (int j = 0; j <= nv; ++j)
        for (int i = 0; i <= nu; ++i) {
            const float s = static_cast<float>(i) / static_cast<float>(nu),
                        t = static_cast<float>(j) / static_cast<float>(nv);
            MVert v;
            v.p = f(s, t);
            v.u = s * ru, v.v = t * rv;
            p.verts.push_back(v);
        }
    Shape out;
    out.patches.push_back(std::move(p));
    return out;
}
// A box from lo to hi whose twelve edges are rounded with radius `bevel` (0: sharp) over
// `bevelCells` cells; the flat parts in cells of at most `cellSize` along each edge (at most 60).
// Texture: `unitsPerRepeat`. Patches in the order -x, +x, -y, +y, -z, +z.
Shape BevelBox(V3 lo, V3 hi, float bevel, float cellSize, int bevelCells, int texture, int material,
               float unitsPerRepeat);
// A surface of revolution about the z axis: profile points (radius, z) from the first to the
// last, `segments` around, from angle a0 to a1 (a full turn: 0, 2 pi). u runs around (uRepeat
// per turn), v along the profile by arc length (vRepeat over it). A profile point repeated
// makes a hard edge there. Profile running upwards with the radius outwards faces out.
Shape Lathe(const std::vector<float>& radius, const std::vector<float>& z, int segments,
            int texture, int material, float uRepeat, float vRepeat, float a0 = 0,
            float a1 = 2 * kPi);
// A closed cylinder about z from z0 to z1 with flat caps (fans).
Shape Cylinder(float r, float z0, float z1, int segments, int texture, int material, float uRepeat,
               float vRepeat);
// A disc about z at height z facing up (or down), as a fan.
Shape Disc(float r, float z, int segments, bool up, int texture, int material, float uvScale);
// A closed profile (points in the path's frame: x sideways, y up) swept along a path of points;
// the frame follows the path's direction with `up` kept. u along the profile, v along the path.
Shape Extrude(const std::vector<V3>& path, const std::vector<float>& px,
              const std::vector<float>& py, V3 up, int texture, int material, float uRepeat,
              float vRepeat);

// ---- operators ----

// Every grid cell and triangle split in four (fans become triangle lists).
void Subdivide(Shape* s);
// Moves every vertex along its normal by amount x (height - 0.5), the height read at the
// vertex's texture coordinates (one repeat = the whole field). Recompute normals afterwards.
void Displace(Shape* s, const Field& height, float amount);
// Mirrors across the plane axis = 0 (0: x, 1: y, 2: z), keeping fronts facing out.
void Mirror(Shape* s, int axis);
void Transform(Shape* s, const M34& m);
void Merge(Shape* into, const Shape& more);
Shape Instance(const Shape& s, const M34& m);
// Per-vertex normals: each vertex averages the faces around it, then vertices at one position
// (seams, shared edges between patches) share normals where their directions differ by less
// than `creaseDegrees`.
void SmoothNormals(Shape* s, float creaseDegrees);
// Texture coordinates by projection: planar along an axis (0 x, 1 y, 2 z), box (each vertex by
// its normal's main axis), or cylindrical about z through `centre` (u = angle, v = z).
void PlanarUV(Shape* s, int axis, float unitsPerRepeat);
// u = p . uAxis / unitsPerRepeat, v = p . vAxis / unitsPerRepeat: textures that run on across pieces.
void ProjectUV(Shape* s, V3 uAxis, V3 vAxis, float unitsPerRepeat);
void BoxUV(Shape* s, float unitsPerRepeat);
void CylinderUV(Shape* s, V3 centre, float uRepeat, float unitsPerRepeatV);
void SetSurface(Shape* s, int texture, int material);

int TriangleCount(const Shape& s);
int VertexCount(const Shape& s);

// Appends the shape: one link per vertex, grid rows as strips (split at 62 cells), fans (split at
// 126 rim points) and triangle lists (42 per run).
void EmitShape(MeshBuild* mb, const Shape& s);
// A flare of type 0x29 (drawn after the depth test, partly hidden behind what covers it).
void AddLampFlare(MeshBuild* mb, V3 position, float size, float r, float g, float b);

// ---- a skeleton for skinned figures ----

struct Bone {
    int parent;  // -1 for the root
    V3 joint;    // where it turns, in the rest pose
};
// A vertex follows one or two bones: a with weight 1 - w, b with weight w.
struct SkinWeight {
    uint8_t a = 0, b = 0;
    float w = 0;
};
// Rotations per bone (radians about x, then y, then z, at the joint) and a move of the root.
struct Pose {
    std::vector<V3> angles;
    V3 rootMove{0, 0, 0};
};
// World matrices of the bones in a pose: each bone turns about its joint, after its parent.
std::vector<M34> PoseMatrices(const std::vector<Bone>& bones, const Pose& pose);
// The rest shape deformed: positions and normals blended between the two bones' matrices.
// weights holds one list per patch, one entry per vertex.
Shape SkinShape(const Shape& rest, const std::vector<std::vector<SkinWeight>>& weights,
                const std::vector<M34>& bones);
