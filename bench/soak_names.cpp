#include "bench/soak_names.h"

#include <iconv.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace {

constexpr char32_t kFirstSyllable = 0xAC00;
constexpr int kSyllables = 11172;
constexpr int kMedials = 21, kFinals = 28;
constexpr int kNameBytes = 11;

// Johab packs a syllable as 1, five bits of initial, five of medial, five of final; the medial
// and final codes skip a few values.
constexpr uint8_t kMedialCode[kMedials] = {3,  4,  5,  6,  7,  10, 11, 12, 13, 14, 15,
                                           18, 19, 20, 21, 22, 23, 26, 27, 28, 29};

uint16_t JohabCode(char32_t syllable) {
    const int index = static_cast<int>(syllable - kFirstSyllable);
    const int initial = index / (kMedials * kFinals);
    const int medial = index / kFinals % kMedials;
    const int final = index % kFinals;
    const int finalCode = final == 0 ? 1 : final < 17 ? final + 1 : final + 2;
    return static_cast<uint16_t>(0x8000 | (initial + 2) << 10 | kMedialCode[medial] << 5 |
                                 finalCode);
}

std::string Utf8(char32_t c) {
    if (c < 0x80) return std::string(1, static_cast<char>(c));
    return {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
            static_cast<char>(0x80 | (c & 0x3F))};
}

char32_t RandomCharacter(std::mt19937& random, bool hangul) {
    static const char kAscii[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -";
    if (hangul)
        return kFirstSyllable + std::uniform_int_distribution<int>(0, kSyllables - 1)(random);
    return static_cast<unsigned char>(
        kAscii[std::uniform_int_distribution<size_t>(0, sizeof kAscii - 2)(random)]);
}

std::string Recode(const std::string& text, const char* from, const char* to) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv lacks code page 949");
    std::vector<char> out(text.size() * 2 + 1);
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size(), outLeft = out.size();
    char* end = out.data();
    const size_t done = iconv(cd, &in, &inLeft, &end, &outLeft);
    iconv_close(cd);
    if (done == static_cast<size_t>(-1)) throw std::runtime_error(std::string("not ") + from);
    return std::string(out.data(), end);
}

}  // namespace

std::string Cp949(const std::string& utf8) { return Recode(utf8, "UTF-8", "CP949"); }

std::string Utf8FromCp949(const std::string& cp949) { return Recode(cp949, "CP949", "UTF-8"); }

std::string NameBook::NewName(std::mt19937& random) {
    std::string johab, utf8;
    const int bytes = std::uniform_int_distribution<int>(0, kNameBytes)(random);
    while (static_cast<int>(johab.size()) < bytes) {
        const bool room = bytes - static_cast<int>(johab.size()) >= 2;
        const char32_t c = RandomCharacter(random, room && random() % 4 != 0);
        if (c < 0x80) {
            johab += static_cast<char>(c);
        } else {
            const uint16_t code = JohabCode(c);
            johab += static_cast<char>(code >> 8);
            johab += static_cast<char>(code & 0xFF);
        }
        utf8 += Utf8(c);
    }
    m_shown.emplace(johab, Cp949(utf8));
    return johab;
}

const std::string& NameBook::Shown(const std::string& johab) const {
    static const std::string kUnknown = "(a name the soak never made)";
    const auto it = m_shown.find(johab);
    return it == m_shown.end() ? kUnknown : it->second;
}
