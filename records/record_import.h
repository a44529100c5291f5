// Importing record CSV files and other archives (a backup, another PC's archive) into the
// archive: the console's `import` and the history window's "가져오기..." both run this. A file is
// read whole and kept in one transaction: a refusal keeps nothing of it. An archive is told from
// a CSV by SQLite's header.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/file_io.h"
#include "archive/archive_file.h"
#include "records/record_csv_reader.h"

// A record CSV is at most this long (a million rows take about 60 MB).
constexpr size_t RECORD_FILE_MAX_BYTES = size_t{1} << 30;

// The earliest and the latest measured time among a file's rows, in seconds.
struct MeasuredSpan {
    int64_t first = 0, last = 0;
};

struct ImportOutcome {
    // SourceFailed: the file is an SQLite database that cannot be read as an archive of this
    // program's (another program's, a later version's, damaged).
    enum Kind { Kept, FileFailed, Refused, ArchiveFailed, SourceFailed } kind = Kept;
    FileError fileError = FileError::None;  // FileFailed
    RecordFileRefusal refusal;              // Refused
    ArchiveStatus archive;                  // ArchiveFailed, SourceFailed
    BatchCount count;                       // Kept: rows in the file, rows new to the archive
    std::optional<MeasuredSpan> measured;   // Kept: the file's rows, new or not; none if no row
};

// `path` is UTF-8; the rows' source is the file's name without its folder.
ImportOutcome ImportRecordFile(RecordArchive& archive, const std::string& path);

// The box that tells how an import ended: a string-table text whose "%1" is `path` below, and
// whose "%d" and "%s" are `first` and `second`.
struct ImportMessage {
    int textId = 0;
    bool isError = false;  // a stop icon rather than an exclamation
    std::string path;      // the file, or the archive when that failed; UTF-8
    std::string first, second;
};
ImportMessage MessageOfImport(const ImportOutcome& outcome, const std::string& path,
                              const RecordArchive& archive);
