#include "history/archive_report.h"

#include <set>

#include "history/report_tally.h"

ArchiveStatus TallyReport(Archive& archive, const HistoryFilter& filter, ReportInput& input) {
    const int64_t from = filter.from.value_or(0);
    const int64_t until = filter.until.value_or(from);
    ReportTally tally(from, ReportBucketSeconds(from, until));
    std::set<std::string> sources;
    const ArchiveStatus status = ForEachMeasurement(
        archive, filter,
        [&](const Measurement& row) {
            tally.Add(row);
            sources.insert(row.source);
            return true;
        },
        RowOrder::OldestFirst);
    input = tally.Fill(std::move(input));
    input.sources.assign(sources.begin(), sources.end());
    return status;
}
