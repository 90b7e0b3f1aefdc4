// Vector and matrix math: layouts, products, the projection, the inverse and the table sine.
#include "core_fixture.h"

namespace {

Matrix M(std::initializer_list<float> e) {
    Matrix m{};
    int i = 0;
    for (float v : e) m.m[i++] = v;
    return m;
}

void ExpectNear(const Matrix& want, const Matrix& got, float eps, const char* what) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(want.m[i], got.m[i], eps) << what << ": element " << i;
}

TEST(CoreMath, ProductsLayoutsAndRotations) {
    Matrix a = M({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
    Matrix b = M({2, 0, 0, 1, 0, 3, 0, 0, 1, 0, 1, 0, 0, 2, 0, 1});
    Matrix want = M({5, 14, 3, 5, 17, 34, 7, 13, 29, 54, 11, 21, 41, 74, 15, 29}), out, t, s, r;
    MatMul(&a, &b, &out);
    ExpectNear(want, out, 0, "a*b");
    MatMul(&a, &b, &a);
    ExpectNear(want, a, 0, "a*b into a");
    // Row vectors: translate-then-scale moves before it scales.
    MatTranslate(&t, 1, 2, 3);
    MatScale(&s, 2, 3, 4);
    MatMul(&t, &s, &out);
    Vec4 v = V4(1, 1, 1);
    TransformPoint(&out, &v, &v);
    EXPECT_EQ(Xyzw(V4(4, 9, 16)), Xyzw(v));
    // A quarter turn puts sin and -sin in these places.
    for (auto [rotate, sinAt, minusSinAt] :
         {std::tuple{&MatRotateX, 6, 9}, {&MatRotateY, 2, 8}, {&MatRotateZ, 1, 4}}) {
        rotate(&r, 1.5707964f);
        EXPECT_EQ(std::pair(r.m[sinAt], r.m[minusSinAt]), std::pair(1.0f, -1.0f))
            << "sin at " << sinAt;
    }
}

TEST(CoreMath, PerspectiveAndInverse) {
    ExpectNear(
        M({3, 0, 0, 0, 0, 3, 0, 0, 0, 0, 20.0f / 19.99f, 1, 0, 0, -(0.01f * 20.0f / 19.99f), 1}),
        DemoProjection(), 1e-5f, "perspective");
    Matrix a = M({2, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1}), out, r, s, rs, copy;
    MatInvert(&a, &out);
    ExpectNear(M({0.5f, 0, 0, 0, 0, 0.25f, 0, 0, 0, 0, 1, 0, -0.5f, -0.5f, -3, 1}), out, 1e-6f,
               "known inverse");
    MatRotateY(&r, 0.7f);
    MatScale(&s, 2, 0.5f, 3);
    MatMul(&r, &s, &rs);
    rs.m[12] = 5;
    copy = rs;
    MatInvert(&copy, &out);
    MatMul(&rs, &out, &rs);
    ExpectNear(Identity(), rs, 1e-5f, "m * inverse(m)");
    // Directions are scaled by their own w and ignore translation.
    Vec4 d = V4(1, 1, 1, 2);
    TransformDirection(&a, &d, &d);
    EXPECT_EQ(Xyzw(V4(4, 8, 2, 2)), Xyzw(d));
}

TEST(CoreMath, SineLookupQuarters) {
    FillSineTable();
    // t, speed, phase, then the sign and table index wanted.
    const float cases[][5] = {
        {0, 0, 0, 0, 0},         {1, 0.125f, 0, 1, 128},    {1, 0.25f, 0, 1, 255},
        {3, 0.125f, 0, 1, 127},  {2, 0.25f, 0, -1, 0},      {3, 0.25f, 0, -1, 255},
        {1, 0.625f, 0, -1, 128}, {5, 0.25f, 0.5f, -1, 255}, {-1, 0.25f, 0, -1, 255},
        {1, NAN, 0, 1, 0},
    };
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(c[3] * SineTable[int(c[4])], SineLookup(int(c[0]), c[1], c[2]))
            << "t " << c[0] << " speed " << c[1] << " phase " << c[2];
    EXPECT_NEAR(std::sin(255 * 0.0061359233f), SineTable[255], 1e-7f);
}

}  // namespace
