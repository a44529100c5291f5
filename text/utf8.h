// Recognising UTF-8 text.
#pragma once

#include <cstddef>
#include <string>

constexpr char UTF8_BOM[] = "\xEF\xBB\xBF";

// True when every byte belongs to a well-formed UTF-8 character: no stray continuation byte,
// no overlong form, no surrogate, nothing above U+10FFFF.
bool IsValidUtf8(const std::string& text);

// The length in bytes of the well-formed UTF-8 character at `at` (1 for ASCII), 0 when the
// bytes there are none.
size_t Utf8CharLength(const std::string& text, size_t at);
