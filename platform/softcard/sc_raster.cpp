// sc_raster.cpp: ScDraw, which hands a primitive to the AVX2 copy of the rasteriser when the
// processor has AVX2 (with BMI1/2, as every AVX2 processor has) and the card allows it, else to
// the plain copy.
#define SC_NS sc_base
#define SC_SIMD 0
#include "sc_raster_impl.h"

namespace {
bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
                            __builtin_cpu_supports("bmi2");
    return has;
}
}  // namespace

int ScDraw(ScCard* card, ScPrim prim, const ScVertex* v, int count) {
    if (card && card->simd && HasAvx2()) return sc_avx2::Draw(card, prim, v, count);
    return sc_base::Draw(card, prim, v, count);
}

void ScSetSimd(ScCard* card, bool on) {
    if (card) card->simd = on;
}
