// sc_raster.cpp: the plain copy of the rasteriser (any processor). ScDraw (sc_threads.cpp) hands a
// primitive to the widest copy the processor has and the card allows: AVX-512 (F, BW, VL, DQ),
// AVX2 (with BMI1/2, as every AVX2 processor has), else this one.
#define SC_NS sc_base
#define SC_SIMD 0
#include "sc_raster_impl.h"
