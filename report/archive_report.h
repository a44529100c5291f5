// The audit report of the archive's measurements under a filter: what ReportHtml shows, taken
// from one pass over the rows (counts, the table per standard, the chart's buckets, the sources)
// and the newest "오염" rows; never every row in memory, so that a year of a million rows is
// reported in a few seconds.
#pragma once

#include "archive/archive_query.h"
#include "report/report.h"

// Fills `input`'s sources, counts, standards, chart, "오염" rows and their total from the rows of
// `filter`, and what followed the failures, their likely retests looked for within
// `retestWindowSeconds`; its period (`from`, `to`) too where the filter leaves an end open (the
// first and last day measured). The title, the filters' texts, the axis and the time it was made
// stay the caller's.
ArchiveStatus LoadReport(Archive& archive, const ArchiveFilter& filter, int64_t retestWindowSeconds,
                         ReportInput& input);

// The report's period [from, until) in seconds, its days written into `input`: the filter's ends;
// an end it leaves open the first or last day measured (`first`, `last`), or, with nothing
// measured (`any` false), the other end's day or today.
void ReportPeriod(const ArchiveFilter& filter, bool any, int64_t first, int64_t last, int64_t& from,
                  int64_t& until, ReportInput& input);

// The filter in the report's words; a name of "" is the rows without one.
ReportFilters ReportFiltersOf(const ArchiveFilter& filter);
