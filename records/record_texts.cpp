#include "records/record_texts.h"

#include "app/number_text.h"

std::string RecordTimeText(const uint8_t time[6]) {
    const int fields[6] = {time[0], time[1], time[2], time[3], time[4], time[5]};
    return TwelveHourTimeText(fields, WORD_AM, WORD_PM);
}

const char* RecordVerdictText(uint16_t value, const std::string& safeText,
                              const std::string& dangerText) {
    if (value < LeadingNumber(safeText)) return VERDICT_SAFE;
    if (value < LeadingNumber(dangerText)) return VERDICT_CAUTION;
    return VERDICT_DIRTY;
}
