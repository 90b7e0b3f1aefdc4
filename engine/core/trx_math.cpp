// trx_math.cpp: vector and matrix math (see trx_math.h).
#include "trx_math.h"

#include <cmath>
#include <cstring>

float SineTable[256];
static bool sineReady = false;

void MatIdentity(Matrix* m) {
    MatZero(m);
    m->m[0] = m->m[5] = m->m[10] = m->m[15] = 1.0f;
}

void MatZero(Matrix* m) {
    for (float& e : m->m) e = 0.0f;
}

void MatMul(const Matrix* a, const Matrix* b, Matrix* out) {
    float t[16];
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float s = 0.0f;
            for (int k = 0; k < 4; ++k) s += a->m[i * 4 + k] * b->m[k * 4 + j];
            t[i * 4 + j] = s;
        }
    }
    std::memcpy(out->m, t, sizeof t);
}

void MatTranslate(Matrix* m, float tx, float ty, float tz) {
    MatIdentity(m);
    m->m[12] = tx;
    m->m[13] = ty;
    m->m[14] = tz;
}

void MatScale(Matrix* m, float sx, float sy, float sz) {
    MatIdentity(m);
    m->m[0] = sx;
    m->m[5] = sy;
    m->m[10] = sz;
}

void MatRotateX(Matrix* m, float angle) {
    float c = std::cos(angle), s = std::sin(angle);
    MatIdentity(m);
    m->m[5] = c;
    m->m[6] = s;
    m->m[9] = -s;
    m->m[10] = c;
}

void MatRotateY(Matrix* m, float angle) {
    float c = std::cos(angle), s = std::sin(angle);
    MatIdentity(m);
    m->m[0] = c;
    m->m[2] = s;
    m->m[8] = -s;
    m->m[10] = c;
}

void MatRotateZ(Matrix* m, float angle) {
    float c = std::cos(angle), s = std::sin(angle);
    MatIdentity(m);
    m->m[0] = c;
    m->m[1] = s;
    m->m[4] = -s;
    m->m[5] = c;
}

void MatPerspective(Matrix* m, float nearPlane, float farPlane, float k) {
    MatZero(m);
    m->m[0] = m->m[5] = nearPlane / (k * farPlane);
    m->m[10] = farPlane / (farPlane - nearPlane);
    m->m[14] = -(nearPlane * farPlane / (farPlane - nearPlane));
    m->m[11] = 1.0f;
    m->m[15] = 1.0f;
}

// row[r] += f * row[p] in both a and out.
static void AddRow(Matrix* a, Matrix* out, int r, int p, float f) {
    for (int j = 0; j < 4; ++j) {
        a->m[r * 4 + j] += f * a->m[p * 4 + j];
        out->m[r * 4 + j] += f * out->m[p * 4 + j];
    }
}

void MatInvert(Matrix* a, Matrix* out) {
    MatIdentity(out);
    for (int p = 0; p < 3; ++p)  // forward: clear column p below the diagonal
        for (int r = p + 1; r < 4; ++r) AddRow(a, out, r, p, -(a->m[r * 4 + p] / a->m[p * 4 + p]));
    for (int p = 3; p > 0; --p)  // backward: clear column p above the diagonal
        for (int r = p - 1; r >= 0; --r) AddRow(a, out, r, p, -(a->m[r * 4 + p] / a->m[p * 4 + p]));
    for (int i = 0; i < 4; ++i) {
        float d = a->m[i * 5];
        for (int j = 0; j < 4; ++j) out->m[i * 4 + j] /= d;
    }
}

void TransformPoint(const Matrix* m, const Vec4* v, Vec4* out) {
    const float* e = m->m;
    float x = v->x, y = v->y, z = v->z, w = v->w;
    out->x = x * e[0] + y * e[4] + z * e[8] + w * e[12];
    out->y = x * e[1] + y * e[5] + z * e[9] + w * e[13];
    out->z = x * e[2] + y * e[6] + z * e[10] + w * e[14];
    out->w = x * e[3] + y * e[7] + z * e[11] + w * e[15];
}

void TransformDirection(const Matrix* m, const Vec4* v, Vec4* out) {
    const float* e = m->m;
    float w = v->w, x = v->x * w, y = v->y * w, z = v->z * w;
    out->x = x * e[0] + y * e[4] + z * e[8];
    out->y = x * e[1] + y * e[5] + z * e[9];
    out->z = x * e[2] + y * e[6] + z * e[10];
    out->w = w;
}

void Homogenize(Vec4* v) {
    float r = 1.0f / v->w;
    v->x *= r;
    v->y *= r;
    v->z *= r;
    v->w = 1.0f;
}

void Normalize3(Vec4* v) {
    float r = 1.0f / std::sqrt(v->x * v->x + v->y * v->y + v->z * v->z);
    v->x *= r;
    v->y *= r;
    v->z *= r;
    v->w = 1.0f;
}

void FillSineTable(void) {
    if (sineReady) return;
    const float step = 0.0061359233f;  // 2*pi/1024 as a float
    for (int k = 0; k < 256; ++k) SineTable[k] = std::sin(static_cast<float>(k) * step);
    sineReady = true;
}

float SineLookup(int32_t t, float speed, float phase) {
    if (!sineReady) FillSineTable();
    double f = std::fmod(static_cast<double>(t) * speed + phase, 1.0);
    if (f < 0.0) f += 1.0;
    if (!(f >= 0.0 && f < 1.0)) f = 0.0;  // NaN, or -tiny + 1 rounding up to 1
    int i = static_cast<int>(f * 1024.0);
    if (i < 256) return SineTable[i];
    if (i < 512) return SineTable[511 - i];
    if (i < 768) return -SineTable[i - 512];
    return -SineTable[1023 - i];
}
