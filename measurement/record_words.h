// The words of the record list's cells, in code page 949 as the window holds them, and in UTF-8
// as the archive and the console's output hold them.
#pragma once

constexpr const char* WORD_AM = "\xBF\xC0\xC0\xFC";          // 오전
constexpr const char* WORD_PM = "\xBF\xC0\xC8\xC4";          // 오후
constexpr const char* VERDICT_SAFE = "\xBE\xC8\xC0\xFC";     // 안전
constexpr const char* VERDICT_CAUTION = "\xC1\xD6\xC0\xC7";  // 주의
constexpr const char* VERDICT_DIRTY = "\xBF\xC0\xBF\xB0";    // 오염
constexpr const char* VERDICT_NONE = "-";

constexpr const char* WORD_AM_UTF8 = "\xEC\x98\xA4\xEC\xA0\x84";          // 오전
constexpr const char* WORD_PM_UTF8 = "\xEC\x98\xA4\xED\x9B\x84";          // 오후
constexpr const char* VERDICT_SAFE_UTF8 = "\xEC\x95\x88\xEC\xA0\x84";     // 안전
constexpr const char* VERDICT_CAUTION_UTF8 = "\xEC\xA3\xBC\xEC\x9D\x98";  // 주의
constexpr const char* VERDICT_DIRTY_UTF8 = "\xEC\x98\xA4\xEC\x97\xBC";    // 오염
