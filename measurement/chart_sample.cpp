#include "measurement/chart_sample.h"

#include "measurement/time_text.h"

#include <algorithm>

ChartSample SampleOf(int64_t time, int value, Verdict verdict, std::optional<int64_t> rowId) {
    ChartSample sample;
    sample.from = sample.to = time;
    sample.count = 1;
    sample.minValue = sample.maxValue = value;
    sample.valueSum = value;
    sample.verdicts.Of(verdict) = 1;
    sample.rowId = rowId;
    return sample;
}

void MergeSample(ChartSample& bucket, const ChartSample& sample) {
    if (bucket.count == 0) {
        bucket = sample;
        return;
    }
    bucket.from = std::min(bucket.from, sample.from);
    bucket.to = std::max(bucket.to, sample.to);
    bucket.count += sample.count;
    bucket.minValue = std::min(bucket.minValue, sample.minValue);
    bucket.maxValue = std::max(bucket.maxValue, sample.maxValue);
    bucket.valueSum += sample.valueSum;
    bucket.verdicts += sample.verdicts;
    bucket.rowId.reset();
}

int64_t BucketSeconds(int64_t from, int64_t to, int columns) {
    if (columns < 1 || to <= from) return 1;
    const int64_t width = std::max<int64_t>(1, (to - from) / columns);
    if (width < SECONDS_PER_HOUR / 2) return width;
    return (width + SECONDS_PER_HOUR / 2) / SECONDS_PER_HOUR * SECONDS_PER_HOUR;
}

std::vector<ChartSample> AggregateByColumn(const std::vector<ChartSample>& samples, int64_t from,
                                           int64_t to, int columns) {
    std::vector<ChartSample> buckets(std::max(columns, 1));
    const int64_t span = std::max<int64_t>(to - from, 1);
    for (const ChartSample& sample : samples) {
        const int64_t middle = sample.Middle();
        if (sample.count == 0 || middle < from || middle >= to) continue;
        // Fits in 64 bits: spans of centuries in seconds times thousands of columns.
        const auto column =
            static_cast<size_t>((middle - from) * static_cast<int64_t>(buckets.size()) / span);
        MergeSample(buckets[column], sample);
    }
    buckets.erase(std::remove_if(buckets.begin(), buckets.end(),
                                 [](const ChartSample& b) { return b.count == 0; }),
                  buckets.end());
    return buckets;
}
