// The modelling operators: surfaces, the runs they emit, displacement and skinning.
#include <gtest/gtest.h>

#include <cmath>

#include "mesh_ops.h"
#include "trx_object.h"

namespace {

// The position, or the normal, of a link.
V3 At(const MeshBuild& mb, int ref, bool normal = false) {
    const Link& l = mb.links[size_t(ref)];
    const Vec4& v = normal ? mb.normals[size_t(l.normal)] : mb.vertices[size_t(l.vertex)];
    return {v.x, v.y, v.z};
}

// Calls fn(a, b, c) with the links of every triangle the runs draw, in drawing order.
template <typename Fn>
void EachDrawnTriangle(const MeshBuild& mb, Fn fn) {
    for (size_t c = 0; c < mb.commands.size();) {
        const RunHeader& h = mb.commands[c].run;
        EXPECT_TRUE(h.count >= 1 && h.count <= 127) << h.count << ": a run the render core refuses";
        auto link = [&](int k) { return mb.commands[c + 1 + static_cast<size_t>(k)].ref.link; };
        const int type = h.type & 0xF;
        if (type == PRIM_STRIP) {
            for (int k = 0; k + 2 < h.count; ++k)
                k % 2 ? fn(link(k + 1), link(k), link(k + 2))
                      : fn(link(k), link(k + 1), link(k + 2));
        } else if (type == PRIM_FAN) {
            for (int k = 1; k + 1 < h.count; ++k) fn(link(0), link(k), link(k + 1));
        } else if (type == PRIM_TRIANGLES) {
            for (int k = 0; k + 2 < h.count; k += 3) fn(link(k), link(k + 1), link(k + 2));
        }
        c += 1 + static_cast<size_t>(h.count);
    }
}

// Every drawn triangle's vertex order turns along its normals: what the devices keep as a front.
void ExpectFrontsKept(const MeshBuild& mb, const char* what) {
    int wrong = 0, total = 0;
    EachDrawnTriangle(mb, [&](int a, int b, int c) {
        const V3 pa = At(mb, a), order = Cross(At(mb, b) - pa, At(mb, c) - pa);
        if (Length(order) < 1e-6f) return;
        ++total;
        if (Dot(order, At(mb, a, true) + At(mb, b, true) + At(mb, c, true)) <= 0) ++wrong;
    });
    EXPECT_GT(total, 0) << what;
    EXPECT_EQ(wrong, 0) << what << ": triangles a device would cull from the front, of " << total;
}

void ExpectNormalsOut(const Shape& s, V3 centre, const char* what) {
    int inward = 0;
    for (const Patch& p : s.patches)
        for (const MVert& v : p.verts) {
            const V3 d = v.p - centre;
            if (Length(d) > 1e-3f && Dot(v.n, d) <= 0) ++inward;
            EXPECT_NEAR(Length(v.n), 1.0f, 1e-3f) << what;
        }
    EXPECT_EQ(inward, 0) << what << ": normals pointing inwards";
}

}  // namespace

TEST(ContentMesh, ClosedShapesFaceOutAndDrawTheirFronts) {
    struct Case {
        const char* what;
        Shape shape;
        V3 centre;
    };
    Shape mirrored = Lathe({0, 10, 12, 10, 0}, {-10, -6, 0, 6, 10}, 12, 1, 0, 1, 1);
    Transform(&mirrored, Translate({20, 0, 0}));
    Mirror(&mirrored, 0);
    Case cases[] = {
        {"bevelled box", BevelBox({-10, -20, -5}, {10, 20, 5}, 2, 8, 2, 1, 0, 10), {0, 0, 0}},
        {"sharp box", BevelBox({0, 0, 0}, {4, 4, 4}, 0, 2, 1, 1, 0, 4), {2, 2, 2}},
        {"cylinder", Cylinder(5, -3, 3, 16, 1, 0, 1, 1), {0, 0, 0}},
        {"lathed ball", Lathe({0, 6, 9, 6, 0}, {-9, -6, 0, 6, 9}, 10, 1, 0, 1, 1), {0, 0, 0}},
        {"mirrored ball", mirrored, {-20, 0, 0}},
        {"subdivided box", BevelBox({-1, -1, -1}, {1, 1, 1}, 0.3f, 2, 1, 1, 0, 1), {0, 0, 0}},
        {"extruded tube",
         Extrude({{0, 0, 0}, {0, 10, 0}, {0, 20, 2}}, {2, 0, -2, 0}, {0, 2, 0, -2}, {0, 0, 1}, 1, 0,
                 1, 1),
         {0, 10, 0}},
    };
    Subdivide(&cases[5].shape);
    for (Case& c : cases) {
        SmoothNormals(&c.shape, 50);
        if (std::string(c.what) != "extruded tube") ExpectNormalsOut(c.shape, c.centre, c.what);
        MeshBuild mb;
        AddMaterial(&mb, LitMaterial(1, 1, 1));
        EmitShape(&mb, c.shape);
        ExpectFrontsKept(mb, c.what);
        Mesh mesh = ToMesh(mb);
        EXPECT_EQ(CheckMesh(&mesh), 0) << c.what << ": " << ModelFileError();
        FreeMesh(&mesh);
    }
    // The tube's normals point away from its path, ring by ring.
    const Patch& tube = cases[6].shape.patches[0];
    const V3 path[3] = {{0, 0, 0}, {0, 10, 0}, {0, 20, 2}};
    for (int k = 0; k <= tube.nv; ++k)
        for (int i = 0; i <= tube.nu; ++i) {
            const MVert& v = tube.verts[static_cast<size_t>(k * (tube.nu + 1) + i)];
            EXPECT_GT(Dot(v.n, v.p - path[k]), 0) << "ring " << k;
        }
}

TEST(ContentMesh, LatheSeamSharesNormals) {
    Shape s = Lathe({4, 4, 4}, {0, 5, 10}, 9, 1, 0, 1, 1);
    SmoothNormals(&s, 50);
    const Patch& p = s.patches[0];
    for (int j = 0; j <= p.nv; ++j) {
        const MVert& first = p.verts[static_cast<size_t>(j * (p.nu + 1))];
        const MVert& last = p.verts[static_cast<size_t>(j * (p.nu + 1) + p.nu)];
        EXPECT_NEAR(first.p.x, last.p.x, 1e-4f);
        EXPECT_NEAR(Dot(first.n, last.n), 1.0f, 1e-5f) << "row " << j << ": the seam shows";
        EXPECT_NEAR(first.n.z, 0.0f, 1e-5f) << "a straight side is lit as a straight side";
    }
}

TEST(ContentMesh, LongRowsBigFansAndListsSplitIntoRunsOfAtMost127) {
    Shape s = GridShape({0, 0, 0}, {300, 0, 0}, {0, -20, 0}, 150, 2, 1, 0);
    Merge(&s, Disc(10, 0, 400, true, 1, 0, 0.05f));
    Shape tris = Disc(5, 1, 100, true, 1, 0, 0.1f);
    Subdivide(&tris);  // a fan becomes a triangle list
    Merge(&s, tris);
    SmoothNormals(&s, 50);
    MeshBuild mb;
    AddMaterial(&mb, LitMaterial(1, 1, 1));
    EmitShape(&mb, s);
    int drawn = 0;
    EachDrawnTriangle(mb, [&](int, int, int) { ++drawn; });
    EXPECT_EQ(drawn, TriangleCount(s)) << "splitting loses or repeats no triangle";
    EXPECT_EQ(TriangleCount(s), 150 * 2 * 2 + 400 + 100 * 4);
    ExpectFrontsKept(mb, "split runs");
}

TEST(ContentMesh, DisplaceMovesAlongNormalsByTheHeight) {
    Shape s = GridShape({0, 0, 0}, {10, 0, 0}, {0, -10, 0}, 4, 4, 1, 0, 1, 1);
    SmoothNormals(&s, 50);
    Field h = MakeField(4, 4, 0.5f);
    for (int y : {0, 3})
        for (int x : {0, 3}) At(h, x, y) = 1.0f;  // raised round the corner u = v = 0 (texels wrap)
    Displace(&s, h, 8);
    // Raised by (1 - 0.5) x 8 along +z; mid-grey stays.
    EXPECT_EQ(std::pair(s.patches[0].verts[0].p.z, s.patches[0].verts[12].p.z),
              std::pair(4.0f, 0.0f));
}

TEST(ContentMesh, SkinningFollowsTheBonesAndBlendsBetweenThem) {
    // An arm: shoulder at the origin, elbow 10 along x; the elbow bends 90 degrees about z.
    const std::vector<Bone> bones = {{-1, {0, 0, 0}}, {0, {10, 0, 0}}};
    Pose pose;
    pose.angles = {{0, 0, 0}, {0, 0, kPi / 2}};
    pose.rootMove = {0, 0, 5};
    const std::vector<M34> m = PoseMatrices(bones, pose);
    Shape s;
    Patch p;
    p.kind = PATCH_TRIS;
    for (float x : {5.0f, 10.0f, 20.0f}) p.verts.push_back(MVert{{x, 0, 0}, {0, -1, 0}});
    p.tris = {0, 1, 2};
    s.patches.push_back(p);
    // Points at 5 (shoulder), 10 (elbow) and 20 (forearm), then the last half on each bone; the
    // root's move carries every bone, and normals turn with their bone.
    const Shape posed = SkinShape(s, {{{0, 0, 0}, {0, 1, 0.5f}, {1, 1, 0}}}, m),
                blended = SkinShape(s, {{{0, 0, 0}, {0, 0, 0}, {0, 1, 0.5f}}}, m);
    const auto &v = posed.patches[0].verts, &b = blended.patches[0].verts;
    const float got[] = {v[0].p.x, v[0].p.z, v[1].p.x, v[2].p.x,
                         v[2].p.y, v[2].n.x, b[2].p.x, b[2].p.y};
    const float want[] = {5, 5, 10, 10, 10, 1, 15, 5};
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(got[i], want[i], 1e-4f) << "value " << i;
}
