// Byte-limited texts in code page 949, where a Hangul syllable takes two bytes.
#pragma once

#include <cstddef>
#include <string>

// The longest prefix of whole characters that fits in maxBytes: a two-byte character that
// would be split is left out, wherever it stands.
std::string CutToWholeChars(const std::string& text, size_t maxBytes);
