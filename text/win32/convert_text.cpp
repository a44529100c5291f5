#include <windows.h>

#include "text/code_page.h"

std::string ConvertText(const std::string& text, unsigned fromCodePage, unsigned toCodePage) {
    if (text.empty()) return {};
    const int inLength = static_cast<int>(text.size());
    const int wideLength = MultiByteToWideChar(fromCodePage, 0, text.data(), inLength, nullptr, 0);
    if (wideLength <= 0) return {};
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(fromCodePage, 0, text.data(), inLength, wide.data(), wideLength);
    const int outLength =
        WideCharToMultiByte(toCodePage, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (outLength <= 0) return {};
    std::string out(static_cast<size_t>(outLength), '\0');
    WideCharToMultiByte(toCodePage, 0, wide.data(), wideLength, out.data(), outLength, nullptr,
                        nullptr);
    return out;
}
