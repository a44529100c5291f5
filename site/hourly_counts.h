// The site's counts by the hour (ombrix_hourly_counts): per hour of measured time, standard,
// verdict and source, how many rows the measurements' table holds, their lowest, highest and
// summed values, their highest indices, their first and last times, and how many of them have a
// corrective action on the site (answered). A push adds its new rows, or the rows its actions
// answer first, to them in the transaction that stores the rows or the actions, so that they
// always agree; the history window's "사이트 전체" and the site report then count a period
// from a few rows an hour rather than from every row of it. A table made before them gets them from IT (docs/archive.md).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "measurement/measurement.h"
#include "site/site_dialect.h"

constexpr char HOURLY_COUNTS_TABLE[] = "ombrix_hourly_counts";
constexpr size_t HOURLY_COUNT_PARAMETERS = 13;

struct HourlyCount {
    std::string hour;  // its first second, "YYYY-MM-DD HH:00:00"
    std::string standard, verdict, source;
    int64_t measurements = 0, valueSum = 0, answered = 0;
    int minValue = 0, maxValue = 0;
    std::optional<int64_t> safetyIndex, dangerIndex;  // the highest
    std::string firstAt, lastAt;
};

// A row as the measurements' table keeps it: its names as they were stored ("" for none), and
// whether the site holds an action on it.
struct CountedRow {
    const Measurement* row = nullptr;
    std::string standard, source;
    bool answered = false;
};

// The rows counted by their hours, in the order of the table's key: the order in which every PC
// takes the rows' locks, so that two pushes at once wait for each other rather than deadlock.
std::vector<HourlyCount> HourlyCountsOf(const std::vector<CountedRow>& rows);

// The statement that makes the table.
std::string CreateHourlyCounts(const SiteDialect& dialect);

// The statement that adds `rows` counts (HOURLY_COUNT_PARAMETERS markers each: hour_at,
// standard_name, verdict, source, measurements, min_value, max_value, value_sum, safety_index,
// danger_index, first_at, last_at, answered): a row inserted where the table has none for its key,
// else added to.
std::string AddHourlyCounts(const SiteDialect& dialect, size_t rows);

// The statement that adds to the answered rows of one hour's count, its markers the number added,
// then hour_at, standard_name, verdict and source.
std::string AddHourlyAnswered(const SiteDialect& dialect);

// A query whose one value is 1 when `table` has `column` for the login, 0 when not; it fails
// nowhere, not even within a transaction that must go on.
std::string ColumnThere(const SiteDialect& dialect, const char* table, const char* column);

// The one for the hourly counts: a table of counts made before they counted the answered rows
// is not taken for them.
std::string HourlyCountsThere(const SiteDialect& dialect);

// Whether buckets of `width` seconds counted from `origin` each hold whole hours.
bool HoursFitBuckets(int64_t origin, int64_t width);
