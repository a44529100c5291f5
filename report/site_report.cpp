#include "report/site_report.h"

#include <map>

#include "measurement/time_text.h"
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

// The newest "오염" rows of the filter, at most REPORT_LIST_LIMIT: one page read; their identity
// hashes beside them.
SiteStatus LoadContaminated(SiteDatabase& site, SiteFilter filter, ReportInput& input,
                            std::vector<std::string>& hashes) {
    input.contaminated.clear();
    hashes.clear();
    const unsigned bit = VerdictBit(Verdict::Contaminated);
    if (!(filter.history.verdicts & bit)) return {};
    filter.history.verdicts = bit;
    return site.ForEach(
        filter,
        [&](const Measurement& row, const std::string& hash) {
            input.contaminated.push_back(row);
            hashes.push_back(hash);
            return input.contaminated.size() < REPORT_LIST_LIMIT;
        },
        RowOrder::NewestFirst);
}

// The site's actions: the counts of results answered and open, the latest action on each listed
// "오염" row, and the newest open results. No likely retests: they would take a query a row.
SiteStatus LoadSiteActions(SiteDatabase& site, const SiteFilter& filter,
                           const std::vector<std::string>& hashes, ReportInput& input) {
    ReportActions& actions = input.actions.emplace();
    actions.retests = false;
    // Those that ask for an action are the 주의 and 오염 the buckets counted.
    size_t answered = 0;
    SiteStatus status = site.CountAnswered(filter, answered);
    actions.needing = input.counts.caution + input.counts.contaminated;
    actions.open = actions.needing - static_cast<int64_t>(answered);
    std::map<std::string, CorrectiveAction> latest;
    if (status) status = site.LatestActions(hashes, latest);
    if (!status) return status;
    for (const std::string& hash : hashes) {
        ResultFollowUp& followUp = actions.contaminated.emplace_back();
        if (const auto found = latest.find(hash); found != latest.end())
            followUp.action =
                ReportAction{found->second.text, found->second.by, TimeText(found->second.at)};
    }
    if (actions.open == 0) return {};
    SiteFilter open = filter;
    open.history.openOnly = true;
    status = site.ForEach(
        open,
        [&](const Measurement& row) {
            actions.openRows.push_back(row);
            return actions.openRows.size() < REPORT_OPEN_LIST_LIMIT;
        },
        RowOrder::NewestFirst);
    actions.openFollowUps.resize(actions.openRows.size());
    return status;
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
    std::vector<std::string> hashes;
    status = LoadContaminated(site, filter, input, hashes);
    // A site that keeps no actions (no ombrix_actions, a table of version 1): a report that does
    // not tell of them, rather than every result open.
    if (!status || !site.KnowsActions()) return status;
    return LoadSiteActions(site, filter, hashes, input);
}
