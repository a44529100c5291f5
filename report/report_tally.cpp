#include "report/report_tally.h"

#include <algorithm>

#include "measurement/time_text.h"

ReportTally::ReportTally(int64_t from, int64_t bucketSeconds)
    : from_(from), bucketSeconds_(std::max<int64_t>(bucketSeconds, 1)) {}

void ReportTally::Add(const Measurement& m) {
    ++counts_.Of(m.verdict);
    Standard& standard = standards_[m.standardName];
    StandardSummary& summary = standard.summary;
    summary.name = m.standardName;
    summary.safetyIndex = m.safetyIndex;
    summary.dangerIndex = m.dangerIndex;
    ++summary.counts.Of(m.verdict);
    summary.highestValue = std::max(summary.highestValue.value_or(m.value), m.value);

    if (const auto seconds = SecondsFromTimeText(m.measuredAt)) {
        const int64_t offset = *seconds - from_;
        const int64_t bucket = offset / bucketSeconds_ - (offset < 0 && offset % bucketSeconds_);
        if (bucket != standard.lastBucket || standard.buckets.empty()) {
            standard.buckets.emplace_back();
            standard.lastBucket = bucket;
        }
        MergeSample(standard.buckets.back(), SampleOf(*seconds, m.value, m.verdict));
    }

    if (m.verdict != Verdict::Contaminated) return;
    ++contaminatedTotal_;
    newestContaminated_.push_back(m);
    if (newestContaminated_.size() > REPORT_LIST_LIMIT) newestContaminated_.pop_front();
}

ReportInput ReportTally::Fill(ReportInput input) const {
    input.counts = counts_;
    input.standards.clear();
    input.chart.clear();
    for (const auto& [name, standard] : standards_) {
        input.standards.push_back(standard.summary);
        input.chart.push_back({name.empty() ? NO_STANDARD_TEXT : name, standard.summary.safetyIndex,
                               standard.summary.dangerIndex, standard.buckets});
    }
    input.contaminated.assign(newestContaminated_.rbegin(), newestContaminated_.rend());
    input.contaminatedTotal = contaminatedTotal_;
    return input;
}
