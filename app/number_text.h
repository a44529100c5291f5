// Numbers stand in the list cells as decimal text.
#pragma once

#include <cstdint>
#include <string>

// The leading-digits reading of a cell: leading white space skipped, an optional sign, then
// digits up to the first other character; no digits give 0. The result wraps to 32 bits.
int32_t LeadingNumber(const std::string& text);

std::string DecimalText(long long value);
