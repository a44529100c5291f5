#include "archive/archive_schema.h"

#include <sqlite3.h>

#include <string>

// Each step is applied once, in order, and never changed after it has shipped: an archive
// written by any earlier version is brought up to date by the steps after its own.
const char* const ARCHIVE_MIGRATIONS[] = {
    // 1: users, standards and sources once each; a measurement a row of small integers. An
    // empty cell is NULL; the unique indexes compare it as '' so that it equals itself.
    R"(
CREATE TABLE users(id INTEGER PRIMARY KEY, name TEXT, id1 INTEGER, id2 INTEGER);
CREATE UNIQUE INDEX users_identity ON users(coalesce(name, ''), coalesce(id1, ''),
                                            coalesce(id2, ''));
CREATE TABLE standards(id INTEGER PRIMARY KEY, name TEXT);
CREATE UNIQUE INDEX standards_identity ON standards(coalesce(name, ''));
CREATE TABLE sources(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);
CREATE TABLE batches(id INTEGER PRIMARY KEY, source_id INTEGER NOT NULL REFERENCES sources,
                     archived_at INTEGER NOT NULL);
CREATE TABLE readings(
  id INTEGER PRIMARY KEY,
  measured_at INTEGER NOT NULL,
  value INTEGER NOT NULL,
  user_id INTEGER NOT NULL REFERENCES users,
  standard_id INTEGER NOT NULL REFERENCES standards,
  user_no INTEGER,
  standard_no INTEGER,
  safety_index INTEGER,
  danger_index INTEGER,
  verdict INTEGER NOT NULL,
  batch_id INTEGER NOT NULL REFERENCES batches);
CREATE UNIQUE INDEX readings_identity ON readings(measured_at, value, user_id, standard_id);
CREATE VIEW measurements AS
SELECT datetime(r.measured_at, 'unixepoch') AS measured_at, r.user_no, u.name AS user_name,
       u.id1, u.id2, r.standard_no, s.name AS standard_name, r.safety_index, r.danger_index,
       r.value,
       CASE r.verdict WHEN 0 THEN '안전' WHEN 1 THEN '주의' WHEN 2 THEN '오염' ELSE '-' END
         AS verdict,
       src.name AS source, datetime(b.archived_at, 'unixepoch') AS archived_at
FROM readings r JOIN users u ON u.id = r.user_id JOIN standards s ON s.id = r.standard_id
     JOIN batches b ON b.id = r.batch_id JOIN sources src ON src.id = b.source_id;
)",
    // 2: one standard's measurements over a period without a scan of the others, for the
    // history's chart and its standard filter.
    R"(
CREATE INDEX readings_by_standard ON readings(standard_id, measured_at);
)",
    // 3: the queue of the site archive: a row is pushed once the site holds it. Rows archived
    // before are pushed too, when a site is first set.
    R"(
ALTER TABLE readings ADD COLUMN pushed INTEGER NOT NULL DEFAULT 0;
CREATE INDEX readings_waiting ON readings(id) WHERE pushed = 0;
)",
    // 4: every clear of the device's log that the operator forced past the question that its
    // records were not all archived, for the audit. A count of NULL: the device gave none.
    R"(
CREATE TABLE forced_clears(id INTEGER PRIMARY KEY, cleared_at INTEGER NOT NULL,
                           record_count INTEGER, windows_user TEXT NOT NULL,
                           source TEXT NOT NULL);
CREATE INDEX forced_clears_by_time ON forced_clears(cleared_at);
)",
    // 5: a row the site refuses for its content is set aside (pushed = 2) with the server's
    // reason, so that the rows after it keep flowing. Independent of the steps before it but 3.
    R"(
CREATE TABLE IF NOT EXISTS site_refusals(reading_id INTEGER PRIMARY KEY, reason TEXT NOT NULL);
)",
    // 6: corrective actions, keyed by the measurement's identity text (measurement_identity.h)
    // so that an action outlives any renumbering of the rows; a correction is a new row, never
    // an update. Self-contained, so that it may follow any other step. CROSS JOIN keeps the few
    // actions the outer loop: never an identity computed for every reading.
    R"(
CREATE TABLE IF NOT EXISTS measurement_actions(
  id INTEGER PRIMARY KEY,
  identity TEXT NOT NULL CHECK (length(identity) <= 200),
  action_text TEXT NOT NULL,
  action_by TEXT NOT NULL,
  action_at INTEGER NOT NULL,
  pushed INTEGER NOT NULL DEFAULT 0);
CREATE INDEX IF NOT EXISTS measurement_actions_by_identity ON measurement_actions(identity, id);
CREATE VIEW IF NOT EXISTS reading_identities AS
SELECT r.id AS reading_id, r.measured_at,
       datetime(r.measured_at, 'unixepoch') || '|' || r.value || '|' ||
       replace(replace(coalesce(u.name, ''), '\', '\\'), '|', '\|') || '|' ||
       coalesce(u.id1, '') || '|' || coalesce(u.id2, '') || '|' ||
       replace(replace(coalesce(s.name, ''), '\', '\\'), '|', '\|') AS identity
FROM readings r JOIN users u ON u.id = r.user_id JOIN standards s ON s.id = r.standard_id;
CREATE VIEW IF NOT EXISTS action_rows AS
SELECT a.id AS action_id, datetime(r.measured_at, 'unixepoch') AS measured_at,
       s.name AS standard_name, u.name AS user_name, r.value,
       CASE r.verdict WHEN 0 THEN '안전' WHEN 1 THEN '주의' WHEN 2 THEN '오염' ELSE '-' END
         AS verdict,
       a.action_text, a.action_by, datetime(a.action_at, 'unixepoch') AS action_at
FROM measurement_actions a
     CROSS JOIN reading_identities ri
       ON ri.measured_at = CAST(strftime('%s', substr(a.identity, 1, 19)) AS INTEGER)
      AND ri.identity = a.identity
     JOIN readings r ON r.id = ri.reading_id JOIN users u ON u.id = r.user_id
     JOIN standards s ON s.id = r.standard_id;
CREATE VIEW IF NOT EXISTS action_history AS
SELECT measured_at, standard_name, user_name, value, verdict, action_text, action_by, action_at
FROM action_rows;
CREATE VIEW IF NOT EXISTS actions AS
SELECT measured_at, standard_name, user_name, value, verdict, action_text, action_by, action_at
FROM action_rows
WHERE action_id IN (SELECT max(id) FROM measurement_actions GROUP BY identity);
)",
    // 7: an action the site refuses for its content is set aside (pushed = 2) with the server's
    // reason, as a row is in 5; the waiting actions found without a scan. Self-contained.
    R"(
CREATE TABLE IF NOT EXISTS action_refusals(action_id INTEGER PRIMARY KEY, reason TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS measurement_actions_waiting ON measurement_actions(id)
  WHERE pushed = 0;
)",
};

const size_t ARCHIVE_VERSION = sizeof ARCHIVE_MIGRATIONS / sizeof *ARCHIVE_MIGRATIONS;

namespace {

// The first column of a one-row query, as an integer.
int QueryInteger(sqlite3* db, const char* sql, int& value) {
    sqlite3_stmt* statement = nullptr;
    int result = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    if (result != SQLITE_OK) return result;
    result = sqlite3_step(statement);
    if (result == SQLITE_ROW) {
        value = sqlite3_column_int(statement, 0);
        result = SQLITE_OK;
    }
    sqlite3_finalize(statement);
    return result;
}

// What the file is, and its version.
int Inspect(sqlite3* db, ArchiveKind& kind, int& version) {
    int objects = 0, readings = 0;
    int result = QueryInteger(db, "PRAGMA user_version", version);
    if (result == SQLITE_OK)
        result = QueryInteger(db, "SELECT count(*) FROM sqlite_schema", objects);
    if (result == SQLITE_OK)
        result = QueryInteger(
            db, "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = 'readings'",
            readings);
    if (result != SQLITE_OK) return result;
    // A later version may hold other tables: its version alone says what it is.
    if (version > 0 && static_cast<size_t>(version) > ARCHIVE_VERSION)
        kind = ArchiveKind::Newer;
    else if (version < 0 || (version == 0 && objects > 0) || (version > 0 && readings == 0))
        kind = ArchiveKind::Foreign;
    else if (static_cast<size_t>(version) < ARCHIVE_VERSION)
        kind = ArchiveKind::Outdated;
    else
        kind = ArchiveKind::Current;
    return SQLITE_OK;
}

}  // namespace

int InspectArchive(sqlite3* db, ArchiveKind& kind) {
    int version = 0;
    return Inspect(db, kind, version);
}

int MigrateArchive(sqlite3* db, ArchiveKind& kind) {
    int version = 0;
    int result = Inspect(db, kind, version);
    if (result != SQLITE_OK || kind != ArchiveKind::Outdated) return result;
    for (size_t step = static_cast<size_t>(version); step < ARCHIVE_VERSION; ++step) {
        const std::string sql = std::string(ARCHIVE_MIGRATIONS[step]) +
                                "PRAGMA user_version = " + std::to_string(step + 1) + ";";
        if (result = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr); result != SQLITE_OK)
            return result;
    }
    return SQLITE_OK;
}
