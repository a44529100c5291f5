// Numbers as the history's readers show them.
#pragma once

#include <cstdint>
#include <string>

// "1,234,567": digits grouped by thousands.
std::string GroupedNumber(int64_t value);

// The share of `part` in `whole` with one decimal: "12.3%"; "-" when the whole is 0.
std::string ShareText(int64_t part, int64_t whole);
