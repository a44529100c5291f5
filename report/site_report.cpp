#include "report/site_report.h"

#include <map>

#include "report/archive_report.h"

namespace {

// The counts, the table per standard and the chart from the buckets the server counted, in
// time order: each standard's indices are those of its newest bucket.
void FillFromBuckets(const std::vector<ChartBucket>& buckets, ReportInput& input) {
    std::map<std::string, StandardSummary> standards;  // by name: a row and a series each
    std::map<std::string, std::vector<ChartSample>> series;
    input.counts = {};
    for (const ChartBucket& bucket : buckets) {
        StandardSummary& summary = standards[bucket.standard];
        summary.name = bucket.standard;
        summary.safetyIndex = bucket.safetyIndex;
        summary.dangerIndex = bucket.dangerIndex;
        summary.counts += bucket.sample.verdicts;
        summary.highestValue =
            std::max(summary.highestValue.value_or(bucket.sample.maxValue), bucket.sample.maxValue);
        series[bucket.standard].push_back(bucket.sample);
        input.counts += bucket.sample.verdicts;
    }
    input.standards.clear();
    input.chart.clear();
    for (auto& [name, summary] : standards) {
        input.standards.push_back(summary);
        input.chart.push_back({name.empty() ? NO_STANDARD_TEXT : name, summary.safetyIndex,
                               summary.dangerIndex, std::move(series[name])});
    }
}

// The newest "오염" rows of the filter, at most REPORT_LIST_LIMIT: one page read.
SiteStatus LoadContaminated(SiteDatabase& site, SiteFilter filter, ReportInput& input) {
    input.contaminated.clear();
    const unsigned bit = VerdictBit(Verdict::Contaminated);
    if (!(filter.history.verdicts & bit)) return {};
    filter.history.verdicts = bit;
    return site.ForEach(
        filter,
        [&](const Measurement& row) {
            input.contaminated.push_back(row);
            return input.contaminated.size() < REPORT_LIST_LIMIT;
        },
        RowOrder::NewestFirst);
}

}  // namespace

SiteStatus LoadSiteReport(SiteDatabase& site, const SiteFilter& filter, ReportInput& input) {
    bool any = false;
    int64_t first = 0, last = 0;
    const ArchiveFilter& history = filter.history;
    if (!history.from || !history.until) {
        const SiteStatus status = site.MeasuredSpan(filter, any, first, last);
        if (!status) return status;
    }
    int64_t from = 0, until = 0;
    ReportPeriod(history, any, first, last, from, until, input);

    std::vector<ChartBucket> buckets;
    SiteStatus status = site.CountBuckets(filter, from, ReportBucketSeconds(from, until), buckets);
    if (status) status = site.Sources(filter, input.sources);
    if (!status) return status;
    FillFromBuckets(buckets, input);
    input.contaminatedTotal = input.counts.contaminated;
    return LoadContaminated(site, filter, input);
}
