#include "text/html_text.h"

#include "text/utf8.h"

namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

void AppendEscapedAscii(std::string& out, char c) {
    switch (c) {
        case '&':
            out += "&amp;";
            return;
        case '<':
            out += "&lt;";
            return;
        case '>':
            out += "&gt;";
            return;
        case '"':
            out += "&quot;";
            return;
        case '\'':
            out += "&#39;";
            return;
        case '\t':
        case '\n':
        case '\r':
            out += c;
            return;
        default:
            break;
    }
    const bool control = static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    if (control) {
        out += kReplacement;
    } else {
        out += c;
    }
}

}  // namespace

void AppendEscapedHtml(std::string& out, const std::string& text) {
    for (size_t at = 0; at < text.size();) {
        const size_t length = Utf8CharLength(text, at);
        if (length == 1) {
            AppendEscapedAscii(out, text[at]);
        } else if (length == 0) {
            out += kReplacement;
        } else {
            out.append(text, at, length);
        }
        at += length == 0 ? 1 : length;
    }
}

std::string EscapedHtml(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    AppendEscapedHtml(out, text);
    return out;
}
