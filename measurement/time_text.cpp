#include "measurement/time_text.h"

#include <cstdio>

#include "measurement/record_words.h"

namespace {

// Days since 1970-01-01 of a civil date, and back, on 400-year eras of 146097 days whose years
// start in March, so that the leap day ends a year.
int64_t DaysFromCivil(int64_t year, int month, int day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t days, CivilTime& out) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    out.day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    out.month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    out.year = static_cast<int>(yearOfEra + era * 400 + (out.month <= 2));
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// Reads `count` digits at `at`; false at anything else.
bool ReadDigits(const std::string& text, size_t at, size_t count, int& value) {
    if (at + count > text.size()) return false;
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

bool ReadDate(const std::string& text, CivilTime& time) {
    return ReadDigits(text, 0, 4, time.year) && text[4] == '-' &&
           ReadDigits(text, 5, 2, time.month) && text[7] == '-' &&
           ReadDigits(text, 8, 2, time.day) && time.month >= 1 && time.month <= 12 &&
           time.day >= 1 && time.day <= DaysInMonth(time.year, time.month);
}

}  // namespace

int64_t SecondsFromCivil(const CivilTime& time) {
    return DaysFromCivil(time.year, time.month, time.day) * SECONDS_PER_DAY +
           time.hour * SECONDS_PER_HOUR + time.minute * SECONDS_PER_MINUTE + time.second;
}

CivilTime CivilFromSeconds(int64_t seconds) {
    CivilTime time;
    const int64_t days = FloorDiv(seconds, SECONDS_PER_DAY);
    const int64_t ofDay = seconds - days * SECONDS_PER_DAY;
    CivilFromDays(days, time);
    time.hour = static_cast<int>(ofDay / SECONDS_PER_HOUR);
    time.minute = static_cast<int>(ofDay % SECONDS_PER_HOUR / SECONDS_PER_MINUTE);
    time.second = static_cast<int>(ofDay % SECONDS_PER_MINUTE);
    return time;
}

std::optional<int64_t> SecondsFromTimeText(const std::string& text) {
    CivilTime time;
    if (text.size() != 19 || !ReadDate(text, time) || text[10] != ' ' ||
        !ReadDigits(text, 11, 2, time.hour) || text[13] != ':' ||
        !ReadDigits(text, 14, 2, time.minute) || text[16] != ':' ||
        !ReadDigits(text, 17, 2, time.second) || time.hour > 23 || time.minute > 59 ||
        time.second > 59)
        return std::nullopt;
    return SecondsFromCivil(time);
}

std::optional<int64_t> SecondsFromDateText(const std::string& text) {
    CivilTime time;
    if (text.size() != 10 || !ReadDate(text, time)) return std::nullopt;
    return SecondsFromCivil(time);
}

std::string TimeText(int64_t seconds) {
    const CivilTime t = CivilFromSeconds(seconds);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

std::string DateText(int64_t seconds) { return TimeText(seconds).substr(0, 10); }

std::string TwelveHourTimeText(const int fields[6], const char* am, const char* pm) {
    const int hour = fields[3];
    const int clockHour = hour % 12 == 0 ? 12 : hour % 12;
    char text[96];
    std::snprintf(text, sizeof text, "20%02d-%02d-%02d %02d:%02d:%02d %s", fields[0], fields[1],
                  fields[2], clockHour, fields[4], fields[5], hour < 12 ? am : pm);
    return text;
}

std::string TwelveHourText(int64_t seconds) {
    const CivilTime t = CivilFromSeconds(seconds);
    const int fields[6] = {t.year - 2000, t.month, t.day, t.hour, t.minute, t.second};
    return TwelveHourTimeText(fields, WORD_AM_UTF8, WORD_PM_UTF8);
}
