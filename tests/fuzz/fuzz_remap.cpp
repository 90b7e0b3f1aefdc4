// fuzz_remap.cpp: LoadRemap. A file that loads gives the object a table of 1 to 65,536 entries;
// one that does not leaves the object without one.
#include "assets.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Object obj;
    ObjectInit(&obj);
    const int r = LoadRemap(&obj, MemFileWith(data, size));
    if (r == 0) {
        FUZZ_CHECK(obj.remap && obj.remap_count >= 1 && obj.remap_count <= 65536);
        TouchBytes(obj.remap, static_cast<size_t>(obj.remap_count) * sizeof(uint16_t));
    } else {
        FUZZ_CHECK(r > 0 && !obj.remap && obj.remap_count == 0);
    }
    FreeObject(&obj);
    return 0;
}
