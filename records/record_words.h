// The words of the record list's cells, in code page 949 as the window holds them.
#pragma once

constexpr const char* WORD_AM = "\xBF\xC0\xC0\xFC";          // 오전
constexpr const char* WORD_PM = "\xBF\xC0\xC8\xC4";          // 오후
constexpr const char* VERDICT_SAFE = "\xBE\xC8\xC0\xFC";     // 안전
constexpr const char* VERDICT_CAUTION = "\xC1\xD6\xC0\xC7";  // 주의
constexpr const char* VERDICT_DIRTY = "\xBF\xC0\xBF\xB0";    // 오염
constexpr const char* VERDICT_NONE = "-";
