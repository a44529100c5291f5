// The panels' progress bars run from 0 to PROGRESS_MAX; after item k of a transfer of n items a
// bar stands at PROGRESS_MAX × k / n, rounded down.
#pragma once

#include <cstdint>

constexpr int PROGRESS_MAX = 2500;

inline int ProgressAfter(uint64_t done, uint64_t total) {
    return static_cast<int>(done * PROGRESS_MAX / total);
}
