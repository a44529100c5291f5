// The measurement archive: one SQLite file that keeps every measurement once. Written in one
// transaction per read or import, so that a crash or a pulled adapter leaves it as it was before
// or after, never half written; a second writer waits for the first instead of failing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "measurement/measurement.h"

struct sqlite3;

// Why the archive cannot be opened, read or written; the operator is told its text.
enum class ArchiveCause {
    None,
    Locked,           // another program holds it longer than the busy time-out
    ReadOnly,         // the file or its folder is read-only
    CannotOpen,       // no such folder and none can be made, no permission, not a file
    NotAnArchive,     // another kind of file, or damaged
    TooNew,           // made by a later version of the program; left as it is
    ForeignDatabase,  // another program's SQLite database; left as it is
    DiskFull,
    Unknown,
};

struct ArchiveStatus {
    ArchiveCause cause = ArchiveCause::None;
    std::string detail;  // SQLite's own words, for the curious
    explicit operator bool() const { return cause == ArchiveCause::None; }
};

// The rows of one read or one import, handed to the archive one at a time.
class MeasurementFeed {
public:
    enum Step { Row, End, Stop };  // Stop: the feed refuses its rows; nothing of them is kept
    virtual ~MeasurementFeed() = default;
    virtual Step Next(Measurement& row) = 0;
};

struct BatchCount {
    size_t rows = 0;   // fed
    size_t added = 0;  // not in the archive before
};

// How long a writer waits for another before it gives up, by default.
constexpr int ARCHIVE_BUSY_TIMEOUT_MS = 20000;

// In a build with test hooks (OMBRIX_TEST_HOOKS, the native build), every connection the program
// opens takes this environment variable's number as SQLite's max_page_count: an archive that
// cannot grow, as on a full disk. The shipped Windows programs ignore it.
constexpr char ARCHIVE_TEST_MAX_PAGES_VARIABLE[] = "OMBRIX_TEST_ARCHIVE_MAX_PAGES";

class Archive {
public:
    // Opens the archive at `path` (UTF-8), creating it and its folder when missing, and brings
    // its tables up to this program's version.
    static std::unique_ptr<Archive> Open(const std::string& path, ArchiveStatus& status,
                                         int busyTimeoutMs = ARCHIVE_BUSY_TIMEOUT_MS);
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    // Keeps every row of the feed that the archive does not hold yet, all in one transaction,
    // under one source (a port, or an imported file's name). When the feed stops or a write
    // fails nothing of it stays.
    ArchiveStatus AddBatch(const std::string& source, MeasurementFeed& feed, BatchCount& count);

    const std::string& Path() const { return m_path; }
    sqlite3* Handle() const { return m_db; }

private:
    Archive(sqlite3* db, std::string path) : m_db(db), m_path(std::move(path)) {}

    sqlite3* m_db;
    std::string m_path;
};

// Every read of the archive while it lives sees the archive as it was at the first (one read
// transaction, which takes no write lock): a report's totals and its rows agree though a writer
// commits meanwhile.
class ArchiveSnapshot {
public:
    explicit ArchiveSnapshot(Archive& archive);
    ~ArchiveSnapshot();
    ArchiveSnapshot(const ArchiveSnapshot&) = delete;
    ArchiveSnapshot& operator=(const ArchiveSnapshot&) = delete;

private:
    sqlite3* m_db;
    bool m_begun;  // false within a transaction of the caller's, which then holds the snapshot
};

// The cause behind an SQLite result code (extended codes welcome).
ArchiveStatus StatusOf(sqlite3* db, int result);

// The version of the SQLite in use, "3.40.1".
std::string SqliteVersion();
