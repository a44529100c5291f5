// The verdicts as the record list writes them (in UTF-8), their order of severity, and counts of
// them.
#pragma once

#include <cstdint>

#include "measurement/measurement.h"

// "안전", "주의", "오염", or "-" for a record without a standard.
const char* VerdictText(Verdict verdict);

// What the history calls the records without a standard, where "-" alone would puzzle.
constexpr const char* NO_STANDARD_TEXT = "기준 없음";

// The more severe of two verdicts: 오염 over 주의 over 안전 over none.
Verdict WorseVerdict(Verdict a, Verdict b);

struct VerdictCounts {
    int64_t safe = 0, caution = 0, contaminated = 0, none = 0;

    int64_t& Of(Verdict verdict);
    int64_t Of(Verdict verdict) const;
    int64_t Total() const { return safe + caution + contaminated + none; }
    // The most severe verdict counted; none when nothing is.
    Verdict Worst() const;
    VerdictCounts& operator+=(const VerdictCounts& other);
};
