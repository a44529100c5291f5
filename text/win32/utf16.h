// The window boundary's one conversion between the program's byte texts (code page 949, or
// UTF-8 for paths) and the UTF-16 of Windows, with one best-fit rule.
#pragma once

#include <windows.h>

#include <string>

#include "text/code_page.h"

inline std::wstring WideFrom(const std::string& text, unsigned codePage = CP_KOREAN) {
    if (text.empty()) return {};
    const int length =
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

// False for bytes that are no text of the code page (a path with such bytes would name another
// file); `wide` gets the text otherwise.
inline bool WideFromExactly(const std::string& text, unsigned codePage, std::wstring& wide) {
    wide.clear();
    if (text.empty()) return true;
    const int size = static_cast<int>(text.size());
    const int length =
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length <= 0) return false;
    wide.resize(static_cast<size_t>(length));
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), length);
    return true;
}

// A character that code page 949 lacks becomes '?', not a look-alike ("é" gives "?", not "e").
inline std::string NarrowFrom(const std::wstring& wide, unsigned codePage = CP_KOREAN) {
    if (wide.empty()) return {};
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, flags, wide.data(), size, text.data(), length, nullptr, nullptr);
    return text;
}
