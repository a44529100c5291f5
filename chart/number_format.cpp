#include "chart/number_format.h"

#include <cstdio>

std::string GroupedNumber(int64_t value) {
    const bool negative = value < 0;
    std::string digits = std::to_string(negative ? -static_cast<uint64_t>(value) : value);
    for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
    return negative ? "-" + digits : digits;
}

std::string ShareText(int64_t part, int64_t whole) {
    if (whole == 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%", 100.0 * static_cast<double>(part) / whole);
    return text;
}
