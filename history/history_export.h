// The history window's files: the filtered rows as the record CSV (the record panel's format,
// code page 949, newest first and numbered from 1) and the audit report of the filters shown.
#pragma once

#include <functional>
#include <string>

#include "app/file_io.h"
#include "archive/archive_query.h"
#include "history/history_model.h"
#include "records/record_cells.h"
#include "site/site_database.h"

// How a save ended: the archive or the site could not be read, or the file not written (the first
// failure).
struct HistoryFileOutcome {
    ArchiveStatus archive;
    SiteStatus site;
    FileError file = FileError::None;
};

// Creates `path` (UTF-8) and writes the rows of `filter` into it a block at a time, the header
// first, ID2 hidden but its first character with `hideId2`; what was written before a failure
// stays, as for the record panel's CSV.
HistoryFileOutcome SaveHistoryCsv(Archive& archive, const ArchiveFilter& filter, OutputFile& file,
                                  const std::string& path, bool hideId2 = false);

// The same of the site's rows, read a page at a time (SiteDatabase::ForEach).
HistoryFileOutcome SaveSiteHistoryCsv(SiteDatabase& site, const ArchiveFilter& filter,
                                      OutputFile& file, const std::string& path, bool hideId2);

// The audit report of `choices` (likely retests within `retestWindowSeconds`) with its chart on
// `axis`, made at `createdAt`
// ("YYYY-MM-DD HH:MM:SS"), ID2 in full with `showIds`. Nothing is written when the archive cannot
// be read.
HistoryFileOutcome SaveHistoryReport(Archive& archive, const HistoryChoices& choices,
                                     int64_t retestWindowSeconds, ValueAxis axis,
                                     const std::string& createdAt, OutputFile& file,
                                     const std::string& path, bool showIds = false);

// The same of the site's rows, counted by the server (report/site_report.h).
HistoryFileOutcome SaveSiteHistoryReport(SiteDatabase& site, const HistoryChoices& choices,
                                         ValueAxis axis, const std::string& createdAt,
                                         OutputFile& file, const std::string& path, bool showIds);
