// sc_raster_avx512.cpp: the rasteriser built for processors with AVX-512 (F, BW, VL, DQ), 16 pixels at
// a time (chosen at run time).
#define SC_NS sc_avx512
#define SC_SIMD 2
#include "sc_raster_impl.h"
