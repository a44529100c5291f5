// Date and time ticks for a span of any length, from seconds to centuries, on round steps of the
// calendar (5 minutes, 6 hours, a week from Monday, a quarter, 10 years...) and with labels a
// Korean reader takes in at a glance: "14:00", "03-07", "2026-03", "2026". Where the label leaves
// out the day or the year, the context line below it gives them on the first tick and on every
// tick where they change.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TimeTick {
    int64_t time = 0;  // seconds
    std::string label;
    std::string context;  // empty, or "2026-03-07" / "2026" below the label
};

// The ticks in [from, to], as many as fit `widthPx` with their labels `fontPx` high side by side.
std::vector<TimeTick> TimeTicks(int64_t from, int64_t to, int widthPx, int fontPx);
