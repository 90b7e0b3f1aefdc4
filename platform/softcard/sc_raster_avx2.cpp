// sc_raster_avx2.cpp: the rasteriser built for processors with AVX2 (chosen at run time).
#define SC_NS sc_avx2
#define SC_SIMD 1
#include "sc_raster_impl.h"
