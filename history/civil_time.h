// Times as the archive keeps them: the device's clock, which knows no time zone, counted in
// seconds from 1970-01-01 00:00:00 of that clock, so that SQLite's datetime(x, 'unixepoch')
// prints them back unchanged and a period is a range of integers.
#pragma once

#include <cstdint>
#include <string>

struct CivilTime {
    int year, month, day, hour, minute, second;
};

// True for a date of the Gregorian calendar and a time of day on a 24-hour clock.
bool IsValidCivilTime(const CivilTime& time);

int64_t CivilSeconds(const CivilTime& time);
CivilTime CivilFromSeconds(int64_t seconds);

// "YYYY-MM-DD HH:MM:SS"; false for any other shape or an impossible time.
bool ParseCivilText(const std::string& text, int64_t& seconds);
// "YYYY-MM-DD" as the first second of that day; false for any other shape or date.
bool ParseCivilDate(const std::string& text, int64_t& seconds);
std::string CivilText(int64_t seconds);

// The PC's clock now, in the same count.
int64_t CivilNow();

constexpr int64_t SECONDS_PER_DAY = 86400;
