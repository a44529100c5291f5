#include "text/code_page.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "text/utf8.h"

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out += static_cast<char>(v);
    return out;
}

std::string Convert(const std::string& name, unsigned from, unsigned to) {
    char buffer[NAME_BUFFER_SIZE] = {};
    std::memcpy(buffer, name.data(), name.size());
    ConvertCodePage(buffer, from, to);
    return std::string(buffer, strnlen(buffer, NAME_BUFFER_SIZE));
}

struct NamePair {
    const char* what;
    std::string korean;  // code page 949
    std::string johab;   // code page 1361
};

void PrintTo(const NamePair& pair, std::ostream* os) { *os << pair.what; }

class NameConversion : public ::testing::TestWithParam<NamePair> {};

TEST_P(NameConversion, ConvertsBothWays) {
    const NamePair& pair = GetParam();
    EXPECT_EQ(Convert(pair.korean, CP_KOREAN, CP_JOHAB), pair.johab);
    EXPECT_EQ(Convert(pair.johab, CP_JOHAB, CP_KOREAN), pair.korean);
}

INSTANTIATE_TEST_SUITE_P(
    Names, NameConversion,
    ::testing::Values(
        NamePair{"empty", "", ""}, NamePair{"ascii", "Lab-7 test", "Lab-7 test"},
        NamePair{"hangul", Bytes({0xC8, 0xAB, 0xB1, 0xE6, 0xB5, 0xBF}),
                 Bytes({0xD1, 0xB7, 0x8B, 0xA9, 0x95, 0xB7})},
        NamePair{"five syllables and a letter, 11 bytes",
                 Bytes({0xB0, 0xA1, 0xB3, 0xAA, 0xB4, 0xD9, 0xB6, 0xF3, 0xB8, 0xB6, 0x41}),
                 Bytes({0x88, 0x61, 0x90, 0x61, 0x94, 0x61, 0x9C, 0x61, 0xA0, 0x61, 0x41})},
        NamePair{"a letter and five syllables",
                 Bytes({0x41, 0xB0, 0xA1, 0xB3, 0xAA, 0xB4, 0xD9, 0xB6, 0xF3, 0xB8, 0xB6}),
                 Bytes({0x41, 0x88, 0x61, 0x90, 0x61, 0x94, 0x61, 0x9C, 0x61, 0xA0, 0x61})},
        NamePair{"backslash stays a backslash", Bytes({0xC7, 0xD1, 0xB1, 0xDB, 0x5C, 0x41}),
                 Bytes({0xD0, 0x65, 0x8B, 0x69, 0x5C, 0x41})},
        NamePair{"eleven letters", "ABCDEFGHIJK", "ABCDEFGHIJK"}),
    [](const ::testing::TestParamInfo<NamePair>& info) {
        std::string name;
        for (const char* p = info.param.what; *p; ++p)
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

TEST(ConvertCodePage, PaddingAfterTheNameIsNotConverted) {
    const struct {
        std::string johab;
        std::string korean;
    } names[] = {
        {Bytes({0x88, 0x61}), Bytes({0xB0, 0xA1})},
        // Eleven bytes, the whole of the device's name field.
        {Bytes({0x88, 0x61, 0x90, 0x61, 0x94, 0x61, 0x9C, 0x61, 0xA0, 0x61, 0x41}),
         Bytes({0xB0, 0xA1, 0xB3, 0xAA, 0xB4, 0xD9, 0xB6, 0xF3, 0xB8, 0xB6, 0x41})},
    };
    for (const auto& name : names) {
        char buffer[NAME_BUFFER_SIZE];
        std::memset(buffer, 0xFF, sizeof buffer);  // erased device memory
        std::memcpy(buffer, name.johab.data(), name.johab.size());
        buffer[name.johab.size()] = 0;
        ConvertCodePage(buffer, CP_JOHAB, CP_KOREAN);
        EXPECT_EQ(std::string(buffer, name.korean.size()), name.korean);
        for (size_t i = name.korean.size(); i < NAME_BUFFER_SIZE; ++i)
            EXPECT_EQ(buffer[i], 0) << name.johab.size() << " name bytes, byte " << i;
    }
}

TEST(ConvertCodePage, AnInvalidCharacterBecomesAQuestionMarkAndTheRestSurvives) {
    // 0xFF 0xFF is no Johab character.
    EXPECT_EQ(Convert(Bytes({0x41, 0xFF, 0xFF, 0x42}), CP_JOHAB, CP_KOREAN), "A?B");
}

TEST(IsValidUtf8, WellFormedCharactersOnly) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("No.,이름 \xF4\x8F\xBF\xBF"));  // up to U+10FFFF
    const char* const malformed[] = {
        "\xC0\xCC\xB8\xA7",  // 이름 in code page 949
        "\xC0\xAF",          // an overlong '/'
        "\xE0\x80\xAF",      // an overlong '/'
        "\xED\xA0\x80",      // a surrogate
        "\xF4\x90\x80\x80",  // above U+10FFFF
        "\xEC\x9D",          // cut short
        "\x80",              // a stray continuation byte
    };
    for (const char* text : malformed) EXPECT_FALSE(IsValidUtf8(text)) << text;
}

}  // namespace
