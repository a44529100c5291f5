// Another archive of this program's, of any version up to this one's (a backup, another PC's
// archive), read for its measurements to merge into ours. The file is never changed: opened
// read-only and, unless a write-ahead log lies beside it (an archive in use, or copied with its
// log), as immutable, so that no log or shared-memory file appears beside it; it is neither
// migrated nor switched to the write-ahead log.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "archive/archive.h"

struct sqlite3;
class Statement;

// The first bytes of every SQLite database, its terminating NUL included.
constexpr char SQLITE_FILE_HEADER[] = "SQLite format 3";
constexpr size_t SQLITE_FILE_HEADER_SIZE = sizeof SQLITE_FILE_HEADER;

// True when `firstBytes` (the file's first bytes, or more) begin as an SQLite database does.
bool IsSqliteHeader(const std::string& firstBytes);

// Each measurement of the other archive, oldest first. The tables of a later version (those
// that a version added after the first) are read only from a file of that version or later:
// `Version()` says which the file has.
class ArchiveSource : public MeasurementFeed {
public:
    // Null with the cause when the file cannot be read, or is another program's database or a
    // later version's archive.
    static std::unique_ptr<ArchiveSource> Open(const std::string& path, ArchiveStatus& status);
    ~ArchiveSource() override;
    ArchiveSource(const ArchiveSource&) = delete;
    ArchiveSource& operator=(const ArchiveSource&) = delete;

    Step Next(Measurement& row) override;
    // Why the feed stopped: a read of the file failed.
    const ArchiveStatus& Failure() const { return m_failure; }
    size_t Version() const { return m_version; }

private:
    ArchiveSource(sqlite3* db, size_t version);

    sqlite3* m_db;
    size_t m_version;
    std::unique_ptr<Statement> m_rows;  // none for an empty file
    ArchiveStatus m_failure;
};
