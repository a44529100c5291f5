#include "chart/text_width.h"

namespace {

// The first code point of the East Asian wide ranges that matter here: Hangul Jamo and on.
constexpr unsigned char kFirstWideLeadByte = 0xE1;

}  // namespace

int TextWidthPx(const std::string& utf8, int fontPx) {
    int narrow = 0, wide = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) == 0x80) continue;  // continuation byte: counted with its lead byte
        if (byte >= kFirstWideLeadByte) {
            ++wide;
        } else {
            ++narrow;
        }
    }
    return wide * fontPx + (narrow * fontPx * 62 + 99) / 100;
}
