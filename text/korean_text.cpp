#include "text/korean_text.h"

namespace {

// A byte from 0x81 to 0xFE leads a two-byte character in code page 949.
size_t CharLength(const std::string& text, size_t at) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    return lead >= 0x81 && lead <= 0xFE && at + 1 < text.size() ? 2 : 1;
}

}  // namespace

std::string CutToWholeChars(const std::string& text, size_t maxBytes) {
    size_t end = 0;
    while (end < text.size()) {
        const size_t next = end + CharLength(text, end);
        if (next > maxBytes) break;
        end = next;
    }
    return text.substr(0, end);
}
