// assert_report.h: the one place a broken invariant is reported.
//
// AssertReport prints "Assertion failed: EXPR, file MODULE, line N" on stderr, shows the same text
// in a message box when a display exists, and ends the program with exit status 3. Modules call it
// with the expression text, their module name and the line number they are known by:
//     if (!(j > 0)) AssertReport("j>0", "trx", 760);
#pragma once

[[noreturn]] void AssertReport(const char* expression, const char* module, unsigned line);
