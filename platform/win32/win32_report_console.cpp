// win32_report_console.cpp: the assertion report of programs that never open a display (the
// data-file tools). Linked in place of win32_report.cpp's, it prints the same line on stderr and
// ends the program with the same status, without SDL: such a program loads no display or audio
// libraries at all.
#include <cstdio>
#include <cstdlib>

#include "assert_report.h"

void AssertReport(const char* expression, const char* module, unsigned line) {
    std::fprintf(stderr, "Assertion failed: %s, file %s, line %u\n", expression, module, line);
    std::fflush(stderr);
    std::_Exit(3);
}
