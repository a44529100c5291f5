#include "report/site_report.h"

#include <set>

#include "report/archive_report.h"
#include "report/report_tally.h"

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

    ReportTally tally(from, ReportBucketSeconds(from, until));
    std::set<std::string> sources;
    const SiteStatus status = site.ForEach(
        filter,
        [&](const Measurement& row) {
            tally.Add(row);
            sources.insert(row.source);
            return true;
        },
        RowOrder::OldestFirst);
    if (!status) return status;
    input = tally.Fill(std::move(input));
    input.sources.assign(sources.begin(), sources.end());
    return {};
}
