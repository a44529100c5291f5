#include "history/civil_time.h"

#include <cstdio>
#include <ctime>

namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t year, int month, int day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// Reads exactly `count` digits at `at`.
bool Digits(const std::string& text, size_t at, size_t count, int& value) {
    if (at + count > text.size()) return false;
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

bool ParseDatePart(const std::string& text, CivilTime& time) {
    return text.size() >= 10 && Digits(text, 0, 4, time.year) && text[4] == '-' &&
           Digits(text, 5, 2, time.month) && text[7] == '-' && Digits(text, 8, 2, time.day);
}

}  // namespace

bool IsValidCivilTime(const CivilTime& t) {
    return t.year >= 1 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
           t.day <= DaysInMonth(t.year, t.month) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 &&
           t.minute <= 59 && t.second >= 0 && t.second <= 59;
}

int64_t CivilSeconds(const CivilTime& t) {
    return DaysFromCivil(t.year, t.month, t.day) * SECONDS_PER_DAY + t.hour * 3600 + t.minute * 60 +
           t.second;
}

CivilTime CivilFromSeconds(int64_t seconds) {
    int64_t days = seconds / SECONDS_PER_DAY;
    int64_t rest = seconds % SECONDS_PER_DAY;
    if (rest < 0) {
        rest += SECONDS_PER_DAY;
        --days;
    }
    // The inverse of DaysFromCivil.
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    CivilTime t{};
    t.day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    t.month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    t.year = static_cast<int>(yearOfEra + era * 400 + (t.month <= 2));
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

bool ParseCivilText(const std::string& text, int64_t& seconds) {
    CivilTime t{};
    if (text.size() != 19 || !ParseDatePart(text, t) || text[10] != ' ' ||
        !Digits(text, 11, 2, t.hour) || text[13] != ':' || !Digits(text, 14, 2, t.minute) ||
        text[16] != ':' || !Digits(text, 17, 2, t.second) || !IsValidCivilTime(t))
        return false;
    seconds = CivilSeconds(t);
    return true;
}

bool ParseCivilDate(const std::string& text, int64_t& seconds) {
    CivilTime t{};
    if (text.size() != 10 || !ParseDatePart(text, t) || !IsValidCivilTime(t)) return false;
    seconds = CivilSeconds(t);
    return true;
}

std::string CivilText(int64_t seconds) {
    const CivilTime t = CivilFromSeconds(seconds);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

int64_t CivilNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return CivilSeconds({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                         local.tm_min, local.tm_sec});
}
