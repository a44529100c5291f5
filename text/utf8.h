// Recognising UTF-8 text.
#pragma once

#include <string>

constexpr char UTF8_BOM[] = "\xEF\xBB\xBF";

// True when every byte belongs to a well-formed UTF-8 character: no stray continuation byte,
// no overlong form, no surrogate, nothing above U+10FFFF.
bool IsValidUtf8(const std::string& text);
