// The Windows test programs' checks: a line for each, and a count at the end.
#pragma once

#include <cstdio>

inline int g_passed = 0;
inline int g_failed = 0;

inline void Check(bool ok, const char* what) {
    std::printf("%s: %s\n", ok ? "ok  " : "FAIL", what);
    (ok ? g_passed : g_failed)++;
}

// The program's exit code.
inline int CheckSummary() {
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
