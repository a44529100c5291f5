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

// Migrates within a transaction of the caller's; returns an SQLite result code.
// SQLITE_ERROR with `tooNew` set when the archive comes from a later version.
int MigrateArchive(sqlite3* db, bool& tooNew);
