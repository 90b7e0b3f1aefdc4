// Must not compile: every probe built from this file names, in PROBE_HEADER, a header that the
// sources of its layer must not reach (tests/CMakeLists.txt lists the layers and the headers).
#include PROBE_HEADER
