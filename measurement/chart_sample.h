// A point of a chart series: one measurement, or a bucket of the measurements of one series in a
// span of time. The archive may hand either: single rows, or buckets that it grouped in SQL
// (GROUP BY the bucket of BucketSeconds); the chart merges whatever shares a pixel column.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "measurement/verdicts.h"

struct ChartSample {
    int64_t from = 0, to = 0;  // the first and the last measured time in it, in seconds
    int64_t count = 0;
    int minValue = 0, maxValue = 0;
    int64_t valueSum = 0;  // for the mean
    VerdictCounts verdicts;
    std::optional<int64_t> rowId;  // the archive's row of a single measurement (hover shows it)

    int64_t Middle() const { return from + (to - from) / 2; }
    double Mean() const { return count ? static_cast<double>(valueSum) / count : 0.0; }
};

ChartSample SampleOf(int64_t time, int value, Verdict verdict,
                     std::optional<int64_t> rowId = std::nullopt);

// Adds `sample` to `bucket` (an empty bucket takes it as it is). A merged bucket has no row.
void MergeSample(ChartSample& bucket, const ChartSample& sample);

// The bucket width for `columns` equal columns of the span [from, to): no wider than a column
// while a column spans less than half an hour, at least one second; beyond, the nearest whole
// hours, so that a site counts the span from its hourly counts and this PC's views draw the same
// buckets as the site's.
int64_t BucketSeconds(int64_t from, int64_t to, int columns);

// The samples whose middles fall in [from, to), merged per column of `columns` equal columns,
// in time order. Samples outside the span are left out.
std::vector<ChartSample> AggregateByColumn(const std::vector<ChartSample>& samples, int64_t from,
                                           int64_t to, int columns);
