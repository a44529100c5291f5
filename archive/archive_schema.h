// The archive's tables, their version (PRAGMA user_version) and the steps that bring an older
// archive up to date. Other programs read the view `measurements`, documented in
// docs/archive.md; the tables behind it are the program's own and may change with a version.
#pragma once

#include <cstddef>

struct sqlite3;

// The SQL that takes an archive of version i to version i + 1; MIGRATIONS[0] makes version 1
// from an empty file.
extern const char* const ARCHIVE_MIGRATIONS[];
extern const size_t ARCHIVE_VERSION;  // the version this program writes

// What a file is to this program, as far as its schema says.
enum class ArchiveKind {
    Current,   // an archive of this version
    Outdated,  // an archive of an earlier version, or an empty database: to be migrated
    Newer,     // an archive of a later version
    Foreign,   // another program's database
};

// Reads what the file is without writing anything (a version-0 file of this program's holds no
// tables; an archive of any version holds its readings); returns an SQLite result code.
int InspectArchive(sqlite3* db, ArchiveKind& kind);

// Within a write transaction of the caller's, inspects the file again (another program may have
// migrated it meanwhile) and brings an outdated archive up to date; returns an SQLite result
// code, `kind` what the file was: nothing is written unless it was Outdated.
int MigrateArchive(sqlite3* db, ArchiveKind& kind);
