// Times of the history as whole seconds on the device's own clock: no time zone and no daylight
// saving, so a day is always 86400 seconds and "2026-03-07 14:00:00" is what the device showed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

constexpr int64_t SECONDS_PER_MINUTE = 60;
constexpr int64_t SECONDS_PER_HOUR = 3600;
constexpr int64_t SECONDS_PER_DAY = 86400;

struct CivilTime {
    int year = 1970, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;
};

// Seconds since 1970-01-01 00:00:00 of the same clock, and back (proleptic Gregorian calendar).
int64_t SecondsFromCivil(const CivilTime& time);
CivilTime CivilFromSeconds(int64_t seconds);

// "YYYY-MM-DD HH:MM:SS" exactly, with a real date and a 24-hour time; nothing otherwise.
std::optional<int64_t> SecondsFromTimeText(const std::string& text);
// "YYYY-MM-DD", taken as the day's first second.
std::optional<int64_t> SecondsFromDateText(const std::string& text);

std::string TimeText(int64_t seconds);  // "YYYY-MM-DD HH:MM:SS"
std::string DateText(int64_t seconds);  // "YYYY-MM-DD"

// "2011-03-07 12:05:09 오전" from the six clock fields as ints (the year counted from 2000),
// with the words for the day's halves in the caller's encoding.
std::string TwelveHourTimeText(const int fields[6], const char* am, const char* pm);

// The record list's 12-hour text in UTF-8: "2011-03-07 12:05:09 오전".
std::string TwelveHourText(int64_t seconds);
