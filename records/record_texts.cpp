#include "records/record_texts.h"

#include <cstdio>

#include "app/number_text.h"

std::string RecordTimeText(const uint8_t time[6]) {
    const int hour = time[3];
    const int clockHour = hour % 12 == 0 ? 12 : hour % 12;
    char text[64];
    std::snprintf(text, sizeof text, "20%02d-%02d-%02d %02d:%02d:%02d %s", time[0], time[1],
                  time[2], clockHour, time[4], time[5], hour < 12 ? WORD_AM : WORD_PM);
    return text;
}

const char* Verdict(uint16_t value, const std::string& safeText, const std::string& dangerText) {
    if (value < LeadingNumber(safeText)) return VERDICT_SAFE;
    if (value < LeadingNumber(dangerText)) return VERDICT_CAUTION;
    return VERDICT_DIRTY;
}
