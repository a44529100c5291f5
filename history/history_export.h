// The history window's files: the filtered rows as the record CSV (the record panel's format,
// code page 949, newest first and numbered from 1) and the audit report of the filters shown.
#pragma once

#include <functional>
#include <string>

#include "app/file_io.h"
#include "archive/archive_query.h"
#include "history/history_model.h"
#include "records/record_cells.h"

// How a save ended: the archive could not be read, or the file not written (the first failure).
struct HistoryFileOutcome {
    ArchiveStatus archive;
    FileError file = FileError::None;
};

// The record CSV of a filter's rows, newest first and numbered from 1, a line at a time (the header
// first) in `encoding`, ID2 hidden but its first character with `hideId2`: `write` returns false
// to stop.
ArchiveStatus ForEachRecordCsvLine(Archive& archive, const ArchiveFilter& filter,
                                   CellEncoding encoding, bool hideId2,
                                   const std::function<bool(const std::string&)>& write);

// Creates `path` (UTF-8) and writes the rows of `filter` into it; what was written before a
// failure stays, as for the record panel's CSV.
HistoryFileOutcome SaveHistoryCsv(Archive& archive, const ArchiveFilter& filter, OutputFile& file,
                                  const std::string& path, bool hideId2 = false);

// The audit report of `choices` (likely retests within `retestWindowSeconds`) with its chart on
// `axis`, made at `createdAt`
// ("YYYY-MM-DD HH:MM:SS"), ID2 in full with `showIds`. Nothing is written when the archive cannot
// be read.
HistoryFileOutcome SaveHistoryReport(Archive& archive, const HistoryChoices& choices,
                                     int64_t retestWindowSeconds, ValueAxis axis,
                                     const std::string& createdAt, OutputFile& file,
                                     const std::string& path, bool showIds = false);
