// UTF-8 to UTF-16 and back on every platform, for interfaces that speak UTF-16 everywhere (the
// wide ODBC calls). Bytes that are no UTF-8, and lone surrogates, become U+FFFD.
#pragma once

#include <string>

std::u16string Utf16FromUtf8(const std::string& text);
std::string Utf8FromUtf16(const std::u16string& text);
