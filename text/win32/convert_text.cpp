#include "text/code_page.h"
#include "text/win32/utf16.h"

namespace {

// UTF-8 refuses the flags and the default-character report that the other code pages take.
bool ToWide(const std::string& text, unsigned codePage, DWORD flags, std::wstring& wide) {
    const int inLength = static_cast<int>(text.size());
    const int wideLength = MultiByteToWideChar(codePage, flags, text.data(), inLength, nullptr, 0);
    if (wideLength <= 0) return false;
    wide.assign(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(codePage, flags, text.data(), inLength, wide.data(), wideLength);
    return true;
}

bool FromWide(const std::wstring& wide, unsigned codePage, DWORD flags, BOOL* usedDefault,
              std::string& out) {
    const int wideLength = static_cast<int>(wide.size());
    const int outLength = WideCharToMultiByte(codePage, flags, wide.data(), wideLength, nullptr, 0,
                                              nullptr, usedDefault);
    if (outLength <= 0) return false;
    out.assign(static_cast<size_t>(outLength), '\0');
    WideCharToMultiByte(codePage, flags, wide.data(), wideLength, out.data(), outLength, nullptr,
                        nullptr);
    return true;
}

}  // namespace

std::string ConvertText(const std::string& text, unsigned fromCodePage, unsigned toCodePage) {
    return NarrowFrom(WideFrom(text, fromCodePage), toCodePage);
}

bool ConvertTextExactly(const std::string& text, unsigned fromCodePage, unsigned toCodePage,
                        std::string& out) {
    out.clear();
    if (text.empty()) return true;
    std::wstring wide;
    if (!ToWide(text, fromCodePage, MB_ERR_INVALID_CHARS, wide)) return false;
    if (toCodePage == CP_UTF8)
        return FromWide(wide, toCodePage, WC_ERR_INVALID_CHARS, nullptr, out);
    BOOL usedDefault = FALSE;
    return FromWide(wide, toCodePage, WC_NO_BEST_FIT_CHARS, &usedDefault, out) && !usedDefault;
}
