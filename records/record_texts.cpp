#include "records/record_texts.h"

#include <cstdio>

#include "app/number_text.h"

std::string RecordTimeText(const uint8_t time[6]) {
    const int fields[6] = {time[0], time[1], time[2], time[3], time[4], time[5]};
    return TwelveHourTimeText(fields, WORD_AM, WORD_PM);
}

std::string TwelveHourTimeText(const int fields[6], const char* am, const char* pm) {
    const int hour = fields[3];
    const int clockHour = hour % 12 == 0 ? 12 : hour % 12;
    char text[96];
    std::snprintf(text, sizeof text, "20%02d-%02d-%02d %02d:%02d:%02d %s", fields[0], fields[1],
                  fields[2], clockHour, fields[4], fields[5], hour < 12 ? am : pm);
    return text;
}

const char* Verdict(uint16_t value, const std::string& safeText, const std::string& dangerText) {
    if (value < LeadingNumber(safeText)) return VERDICT_SAFE;
    if (value < LeadingNumber(dangerText)) return VERDICT_CAUTION;
    return VERDICT_DIRTY;
}
