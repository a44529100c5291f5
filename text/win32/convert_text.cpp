#include "text/code_page.h"
#include "text/win32/utf16.h"

std::string ConvertText(const std::string& text, unsigned fromCodePage, unsigned toCodePage) {
    return NarrowFrom(WideFrom(text, fromCodePage), toCodePage);
}
