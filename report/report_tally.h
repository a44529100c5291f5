// A report's input tallied from rows streamed in time order: the counts, the table per standard,
// the chart's buckets and the newest "오염" rows, in memory that does not grow with the rows.
// The same figures the archive can take from SQL aggregates; this is for a caller that walks the
// rows once instead (and for the tests, as the reference of what each field means).
#pragma once

#include <deque>
#include <map>

#include "report/report.h"

class ReportTally {
public:
    // The chart's buckets are `bucketSeconds` wide from `from` on.
    ReportTally(int64_t from, int64_t bucketSeconds);

    // One row; rows come oldest first. A row without a readable time counts everywhere but in
    // the chart.
    void Add(const Measurement& m);

    // `input` with its counts, standards, chart and "오염" rows filled in; the rest as it was.
    ReportInput Fill(ReportInput input) const;

private:
    struct Standard {
        StandardSummary summary;
        std::vector<ChartSample> buckets;  // in time order
        int64_t lastBucket = -1;
    };

    int64_t from_, bucketSeconds_;
    VerdictCounts counts_;
    std::map<std::string, Standard> standards_;  // by name: a table and a series each
    std::deque<Measurement> newestContaminated_;
    int64_t contaminatedTotal_ = 0;
};
