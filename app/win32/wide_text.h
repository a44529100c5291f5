// The window's texts: the string table's, and the conversions of text/win32/utf16.h.
#pragma once

#include <windows.h>

#include <string>

#include "text/win32/utf16.h"

inline std::wstring LoadText(int textId) {
    const wchar_t* text = nullptr;
    const int length = LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(textId),
                                   reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}
