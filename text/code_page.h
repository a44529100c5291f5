// Conversion of device names between Johab (code page 1361), which the device stores, and the
// Korean ANSI code page 949, which the program shows and edits; and of list files between UTF-8
// and code page 949.
#pragma once

#include <cstddef>
#include <string>

constexpr unsigned CP_KOREAN = 949;
constexpr unsigned CP_JOHAB = 1361;
constexpr unsigned CP_UTF8_TEXT = 65001;  // Windows' CP_UTF8
constexpr size_t NAME_BUFFER_SIZE = 50;

// Converts a zero-padded 50-byte name buffer in place. Only the bytes before the first zero are
// converted (what follows is padding, often erased memory); the rest is zero-filled. Bytes
// 0x00..0x7F pass unchanged both ways. A character the target lacks becomes '?'.
void ConvertCodePage(char* buffer, unsigned fromCodePage, unsigned toCodePage);

// The same conversion for a text of any length; the platform primitive behind ConvertCodePage.
std::string ConvertText(const std::string& text, unsigned fromCodePage, unsigned toCodePage);

// The same without any stand-in: false when a byte sequence is not a character of the source
// code page or a character has no exact counterpart in the target (no '?', no look-alike).
bool ConvertTextExactly(const std::string& text, unsigned fromCodePage, unsigned toCodePage,
                        std::string& out);
