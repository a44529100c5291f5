// iconv gives the Windows bytes when it is fed one double-byte character at a time: bytes below
// 0x80 are copied as they are (glibc's JOHAB would turn 0x5C into the won sign, where Windows
// keeps a backslash), and a character that does not convert becomes '?', as with Windows'
// default character.
#include <iconv.h>

#include <cerrno>
#include <cstring>

#include "text/code_page.h"

namespace {

const char* IconvName(unsigned codePage) {
    switch (codePage) {
        case CP_JOHAB:
            return "JOHAB";
        case CP_KOREAN:
            return "CP949";
        case CP_UTF8_TEXT:
            return "UTF-8";
        default:
            return nullptr;
    }
}

class Converter {
public:
    Converter(unsigned from, unsigned to) {
        const char* fromName = IconvName(from);
        const char* toName = IconvName(to);
        if (fromName && toName) m_cd = iconv_open(toName, fromName);
    }
    ~Converter() {
        if (m_cd != reinterpret_cast<iconv_t>(-1)) iconv_close(m_cd);
    }
    bool Ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts `length` bytes holding one character; false when they do not convert.
    bool Convert(const char* in, size_t length, std::string& out) {
        char result[8];
        char* inPtr = const_cast<char*>(in);
        char* outPtr = result;
        size_t inLeft = length;
        size_t outLeft = sizeof result;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1))
            return false;
        if (inLeft != 0) return false;
        out.append(result, static_cast<size_t>(outPtr - result));
        return true;
    }

private:
    iconv_t m_cd = reinterpret_cast<iconv_t>(-1);
};

// Length in bytes of the character starting at `i`: UTF-8 by its lead byte, the Korean code
// pages two bytes for any byte from 0x80 on.
size_t CharLength(const std::string& text, size_t i, unsigned codePage) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) return 1;
    size_t length = 2;
    if (codePage == CP_UTF8_TEXT)
        length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return i + length <= text.size() ? length : text.size() - i;
}

}  // namespace

std::string ConvertText(const std::string& text, unsigned fromCodePage, unsigned toCodePage) {
    Converter converter(fromCodePage, toCodePage);
    if (!converter.Ok()) return {};
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const size_t length = CharLength(text, i, fromCodePage);
        if (length == 1 && static_cast<unsigned char>(text[i]) < 0x80) {
            out += text[i];
        } else if (!converter.Convert(text.data() + i, length, out)) {
            out += '?';
        }
        i += length;
    }
    return out;
}
