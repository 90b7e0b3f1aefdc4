// fuzz_model_v1.cpp: LoadModelV1, with the checks of fuzz_model.cpp.
#define FUZZ_MODEL_V1
#include "fuzz_model.cpp"
