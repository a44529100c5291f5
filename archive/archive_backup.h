// A copy of the archive made while it is in use: one read transaction writes the whole copy
// (VACUUM INTO), so a writer committing meanwhile neither restarts nor tears it, and the copy is
// checked by SQLite before it is called done. The copy is one self-contained file (no
// write-ahead log), ready to be carried to another PC and imported there.
#pragma once

#include <cstdint>
#include <string>

#include "archive/archive.h"

struct BackupOutcome {
    // Which side failed: the archive (it cannot be read) or the copy (it cannot be written).
    // CopyIsArchive: the copy would replace the archive itself (its write-ahead log would then be
    // read into the copy).
    enum Kind { Done, ArchiveFailed, CopyFailed, CopyExists, CopyIsArchive } kind = Done;
    ArchiveStatus status;  // ArchiveFailed, CopyFailed: why
    int64_t rows = 0;      // Done: the measurements in the copy
};

// Copies the archive at `archivePath` to `copyPath` (both UTF-8). An existing `copyPath` is
// refused unless `replace`; then it is replaced only once the new copy has passed its check.
// Nothing is written to the archive, and nothing is left behind when the copy fails.
BackupOutcome BackupArchive(const std::string& archivePath, const std::string& copyPath,
                            bool replace);
