// assert_report.h: the one place a broken invariant is reported.
//
// AssertReport prints "Assertion failed: EXPR, file MODULE, line N" on stderr, shows the same text
// in a message box when a display exists, and ends the program with exit status 3. Modules call it
// with the expression text, their module name and the line number they are known by:
//     if (!(j > 0)) AssertReport("j>0", "trx", 760);
// Those numbers (Navek 1582 and 1585, trx 760 and 573, trx_dx 505) are the reports' fixed
// identities, the same in every build: they name the check, not the line the call stands on today.
#pragma once

[[noreturn]] void AssertReport(const char* expression, const char* module, unsigned line);
