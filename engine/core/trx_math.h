// trx_math.h: the vector and matrix math shared by the render core and the application.
//
// Matrices are 4x4 floats, row-major (element r*4 + j is row r, column j). Vectors are row vectors
// multiplied on the left: v' = v * M, so the translation of an affine matrix sits in elements
// 12..14 and a product A * B applies A first. Every operation writes into caller-owned storage.
// Angles are radians. Nothing here checks for singular matrices or zero lengths: such inputs give
// infinities or NaNs, as the arithmetic does.
#pragma once

#include <cstdint>

struct Matrix {
    float m[16];
};

// A position (w = 1) or a direction; the scene tables store every position and normal as one.
struct Vec4 {
    float x, y, z, w;
};

static_assert(sizeof(Matrix) == 64, "Matrix is 16 floats");
static_assert(sizeof(Vec4) == 16, "Vec4 is 4 floats");

void MatIdentity(Matrix* m);
void MatZero(Matrix* m);
// out = a * b. out may be a (the product is built in a temporary); out must not be b.
void MatMul(const Matrix* a, const Matrix* b, Matrix* out);
void MatTranslate(Matrix* m, float tx, float ty, float tz);
void MatScale(Matrix* m, float sx, float sy, float sz);
// Rotations: identity with cos/sin at [5],[6],[9],[10] (X), [0],[2],[8],[10] (Y: +sin at 2,
// -sin at 8), [0],[1],[4],[5] (Z). The camera and the object animation rely on these layouts.
void MatRotateX(Matrix* m, float angle);
void MatRotateY(Matrix* m, float angle);
void MatRotateZ(Matrix* m, float angle);
// The demo's projection: [0] = [5] = near / (k * far), [10] = far / (far - near),
// [14] = -near * far / (far - near), [11] = [15] = 1, so a view-space point gets w' = z + 1.
// Built once at start-up by the application.
void MatPerspective(Matrix* m, float nearPlane, float farPlane, float k);
// out = inverse of a by Gauss-Jordan elimination without pivoting. a is destroyed: pass a copy.
void MatInvert(Matrix* a, Matrix* out);

// out = v * m, all four components. out may be v.
void TransformPoint(const Matrix* m, const Vec4* v, Vec4* out);
// out.xyz = (v.xyz * v.w) * upper-left 3x3 of m; out.w = v.w. out may be v.
void TransformDirection(const Matrix* m, const Vec4* v, Vec4* out);
// Divides x, y, z by w and sets w = 1.
void Homogenize(Vec4* v);
// Scales x, y, z to unit length and sets w = 1.
void Normalize3(Vec4* v);

// The quarter-period sine table: entry k = sin(k * 2*pi/1024), k = 0..255. FillSineTable fills it
// once (later calls do nothing); the render core calls it at its first frame or light preparation,
// and SineLookup calls it when needed, so nobody else has to.
extern float SineTable[256];
void FillSineTable(void);
// Table sine of 2*pi*frac(t * speed + phase), for colour oscillation: 1024 steps per period, the
// mirrored quarters indexed with 511 - i and 1023 - i. A negative t * speed + phase wraps into
// [0, 1) first; a non-finite one gives T[0].
float SineLookup(int32_t t, float speed, float phase);
