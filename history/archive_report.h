// The audit report's figures of a filter, from the archive: its rows streamed once, oldest
// first, through ReportTally, in memory that does not grow with them.
#pragma once

#include "history/archive_query.h"
#include "history/report.h"

// Fills the counts, the table per standard, the chart (buckets of ReportBucketSeconds over the
// filter's period), the newest "오염" rows with the number of all, and the sources; the rest of
// `input` stays as it is.
ArchiveStatus TallyReport(Archive& archive, const HistoryFilter& filter, ReportInput& input);
