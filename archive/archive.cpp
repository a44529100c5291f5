#include "archive/archive.h"

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <unordered_map>

#include "archive/archive_schema.h"
#include "archive/file_in_use.h"
#include "archive/sqlite_statement.h"
#include "measurement/local_clock.h"
#include "measurement/time_text.h"

namespace {

int Execute(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

ArchiveCause CauseOf(int result) {
    switch (result & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return ArchiveCause::Locked;
        case SQLITE_READONLY:
            return ArchiveCause::ReadOnly;
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return ArchiveCause::CannotOpen;
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
            return ArchiveCause::NotAnArchive;
        case SQLITE_FULL:
            return ArchiveCause::DiskFull;
        default:
            return ArchiveCause::Unknown;
    }
}

bool MakeFolderOf(const std::string& path) {
    const std::filesystem::path folder = std::filesystem::u8path(path).parent_path();
    if (folder.empty()) return true;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return !error;
}

ArchiveCause RefusalOf(ArchiveKind kind) {
    switch (kind) {
        case ArchiveKind::Newer:
            return ArchiveCause::TooNew;
        case ArchiveKind::Foreign:
            return ArchiveCause::ForeignDatabase;
        case ArchiveKind::Current:
        case ArchiveKind::Outdated:
            break;
    }
    return ArchiveCause::None;
}

// Brings an outdated archive up to date in one write transaction; the only write lock an open
// takes, so that readers opening the archive never wait for a writer.
int Migrate(sqlite3* db, ArchiveKind& kind) {
    int result = Execute(db, "BEGIN IMMEDIATE");
    if (result != SQLITE_OK) return result;
    result = MigrateArchive(db, kind);
    Execute(db,
            result == SQLITE_OK && RefusalOf(kind) == ArchiveCause::None ? "COMMIT" : "ROLLBACK");
    return result;
}

// Connection settings and the tables brought up to date. What the file is is read before
// anything is written, the write-ahead log included: a file of a later version or of another
// program is left as it was. Migrating needs to write, so a read-only archive of this version
// opens for reading and one of an older version does not.
int Prepare(sqlite3* db, ArchiveCause& refusal) {
    // Larger pages for a new archive: a scan of a million rows reads a quarter as many of them,
    // which counts where every read of the file is a system call (Wine's above all). Nothing is
    // written by it: it takes effect when an empty file is first written.
    int result = Execute(db, "PRAGMA foreign_keys = OFF; PRAGMA page_size = 16384");
    ArchiveKind kind = ArchiveKind::Current;
    if (result == SQLITE_OK) result = InspectArchive(db, kind);
    if (result != SQLITE_OK) return result;
    if ((refusal = RefusalOf(kind)) != ArchiveCause::None) return SQLITE_OK;
    if (sqlite3_db_readonly(db, "main") != 1) {
        // The write-ahead log keeps the file whole through a crash, and lets readers read while
        // one writes; every commit reaches the disk before the device may be cleared.
        result = Execute(db, "PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL");
        if (result != SQLITE_OK) return result;
    }
    if (kind == ArchiveKind::Outdated) result = Migrate(db, kind);
    refusal = RefusalOf(kind);
    return result;
}

#ifdef OMBRIX_TEST_HOOKS
// A test makes an archive that cannot grow, as on a full disk: SQLite's page limit holds for
// one connection only, so the program's own connections take it from the environment.
int LimitPagesForTests(sqlite3* db) {
    const char* pages = std::getenv(ARCHIVE_TEST_MAX_PAGES_VARIABLE);
    if (!pages) return SQLITE_OK;
    const std::string sql =
        std::string("PRAGMA max_page_count = ") + std::to_string(std::atol(pages));
    return Execute(db, sql.c_str());
}
#else
int LimitPagesForTests(sqlite3*) { return SQLITE_OK; }
#endif

// The ids of users, standards and sources: looked up or added, and remembered for the batch.
class IdTable {
public:
    IdTable(sqlite3* db, const char* insert, const char* select)
        : m_insert(db, insert), m_select(db, select) {}

    int Prepared() const {
        return m_insert.Prepared() != SQLITE_OK ? m_insert.Prepared() : m_select.Prepared();
    }

    // `bind` binds the identity to a statement; `key` names it in the cache.
    template <class Bind>
    int Find(const std::string& key, Bind bind, int64_t& id) {
        if (auto it = m_ids.find(key); it != m_ids.end()) {
            id = it->second;
            return SQLITE_OK;
        }
        bind(m_insert);
        int result = m_insert.Step();
        m_insert.Reset();
        if (result != SQLITE_DONE) return result;
        bind(m_select);
        result = m_select.Step();
        if (result == SQLITE_ROW) {
            id = m_select.Integer(0);
            m_ids.emplace(key, id);
            result = SQLITE_OK;
        }
        m_select.Reset();
        return result;
    }

private:
    Statement m_insert, m_select;
    std::unordered_map<std::string, int64_t> m_ids;
};

std::string OptionalKey(const std::optional<int64_t>& value) {
    return value ? std::to_string(*value) : std::string();
}

class BatchWriter {
public:
    explicit BatchWriter(sqlite3* db)
        : m_db(db),
          m_users(db, "INSERT OR IGNORE INTO users(name, id1, id2) VALUES(?1, ?2, ?3)",
                  "SELECT id FROM users WHERE coalesce(name, '') = coalesce(?1, '') AND "
                  "coalesce(id1, '') = coalesce(?2, '') AND coalesce(id2, '') = coalesce(?3, '')"),
          m_standards(db, "INSERT OR IGNORE INTO standards(name) VALUES(?1)",
                      "SELECT id FROM standards WHERE coalesce(name, '') = coalesce(?1, '')"),
          m_sources(db, "INSERT OR IGNORE INTO sources(name) VALUES(?1)",
                    "SELECT id FROM sources WHERE name = ?1"),
          m_batch(db, "INSERT INTO batches(source_id, archived_at) VALUES(?1, ?2)"),
          m_reading(db,
                    "INSERT OR IGNORE INTO readings(measured_at, value, user_id, standard_id, "
                    "user_no, standard_no, safety_index, danger_index, verdict, batch_id) "
                    "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)") {}

    int Prepared() const {
        for (int result : {m_users.Prepared(), m_standards.Prepared(), m_sources.Prepared(),
                           m_batch.Prepared(), m_reading.Prepared()})
            if (result != SQLITE_OK) return result;
        return SQLITE_OK;
    }

    int Begin(const std::string& source) {
        int64_t sourceId = 0;
        int result = m_sources.Find(
            source, [&](Statement& s) { s.BindText(1, source); }, sourceId);
        if (result != SQLITE_OK) return result;
        m_batch.Bind(1, sourceId);
        m_batch.Bind(2, LocalNowSeconds());
        result = m_batch.Step();
        m_batch.Reset();
        m_batchId = sqlite3_last_insert_rowid(m_db);
        return result == SQLITE_DONE ? SQLITE_OK : result;
    }

    // SQLITE_OK, with `added` true for a measurement the archive did not hold.
    int Add(const Measurement& row, bool& added) {
        const std::optional<int64_t> measuredAt = SecondsFromTimeText(row.measuredAt);
        if (!measuredAt) return SQLITE_MISMATCH;
        int64_t userId = 0, standardId = 0;
        const std::string userKey =
            row.userName + '\0' + OptionalKey(row.id1) + '\0' + OptionalKey(row.id2);
        int result = m_users.Find(
            userKey,
            [&](Statement& s) {
                s.BindText(1, row.userName);
                s.Bind(2, row.id1);
                s.Bind(3, row.id2);
            },
            userId);
        if (result != SQLITE_OK) return result;
        result = m_standards.Find(
            row.standardName, [&](Statement& s) { s.BindText(1, row.standardName); }, standardId);
        if (result != SQLITE_OK) return result;
        Statement& r = m_reading;
        r.Bind(1, *measuredAt);
        r.Bind(2, row.value);
        r.Bind(3, userId);
        r.Bind(4, standardId);
        r.Bind(5, Optional(row.userNo));
        r.Bind(6, Optional(row.standardNo));
        r.Bind(7, row.safetyIndex);
        r.Bind(8, row.dangerIndex);
        r.Bind(9, static_cast<int64_t>(row.verdict));
        r.Bind(10, m_batchId);
        result = r.Step();
        r.Reset();
        added = sqlite3_changes(m_db) > 0;
        return result == SQLITE_DONE ? SQLITE_OK : result;
    }

    // A batch that added nothing leaves no trace.
    int End(size_t added) {
        if (added > 0) return SQLITE_OK;
        const std::string sql = "DELETE FROM batches WHERE id = " + std::to_string(m_batchId);
        return Execute(m_db, sql.c_str());
    }

private:
    static std::optional<int64_t> Optional(const std::optional<int>& value) {
        return value ? std::optional<int64_t>(*value) : std::nullopt;
    }

    sqlite3* m_db;
    IdTable m_users, m_standards, m_sources;
    Statement m_batch, m_reading;
    int64_t m_batchId = 0;
};

}  // namespace

ArchiveStatus StatusOf(sqlite3* db, int result) {
    ArchiveStatus status;
    if (result == SQLITE_OK || result == SQLITE_DONE || result == SQLITE_ROW) return status;
    status.cause = CauseOf(result);
    if (db && IsFileInUseError(sqlite3_system_errno(db))) status.cause = ArchiveCause::Locked;
    status.detail = db ? sqlite3_errmsg(db) : sqlite3_errstr(result);
    return status;
}

std::string SqliteVersion() { return sqlite3_libversion(); }

std::unique_ptr<Archive> Archive::Open(const std::string& path, ArchiveStatus& status,
                                       int busyTimeoutMs) {
    status = {};
    if (!MakeFolderOf(path)) {
        status.cause = ArchiveCause::CannotOpen;
        status.detail = "the folder cannot be made";
        return nullptr;
    }
    sqlite3* db = nullptr;
    // A connection is only ever used by one thread at a time (the site's worker and the site's
    // copy open their own), so SQLite need not lock it on every call: a fifth of a million-row
    // scan went to that.
    int result =
        sqlite3_open_v2(path.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (result == SQLITE_OK) {
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, busyTimeoutMs);
        ArchiveCause refusal = ArchiveCause::None;
        result = LimitPagesForTests(db);
        if (result == SQLITE_OK) result = Prepare(db, refusal);
        if (result == SQLITE_OK && refusal != ArchiveCause::None) {
            status.cause = refusal;
            status.detail = refusal == ArchiveCause::TooNew ? "made by a later version"
                                                            : "another program's database";
            sqlite3_close(db);
            return nullptr;
        }
    }
    if (result != SQLITE_OK) {
        status = StatusOf(db, result);
        sqlite3_close(db);
        return nullptr;
    }
    return std::unique_ptr<Archive>(new Archive(db, path));
}

Archive::~Archive() { sqlite3_close(m_db); }

ArchiveSnapshot::ArchiveSnapshot(Archive& archive)
    : m_db(archive.Handle()),
      m_begun(sqlite3_get_autocommit(m_db) && Execute(m_db, "BEGIN") == SQLITE_OK) {}

ArchiveSnapshot::~ArchiveSnapshot() {
    if (m_begun) Execute(m_db, "COMMIT");
}

ArchiveStatus Archive::AddBatch(const std::string& source, MeasurementFeed& feed,
                                BatchCount& count) {
    count = {};
    int result = Execute(m_db, "BEGIN IMMEDIATE");
    if (result != SQLITE_OK) return StatusOf(m_db, result);
    BatchCount counted;
    bool stopped = false;
    {
        BatchWriter writer(m_db);
        result = writer.Prepared();
        if (result == SQLITE_OK) result = writer.Begin(source);
        Measurement row;
        while (result == SQLITE_OK) {
            const MeasurementFeed::Step step = feed.Next(row);
            if (step != MeasurementFeed::Row) {
                stopped = step == MeasurementFeed::Stop;
                break;
            }
            bool added = false;
            result = writer.Add(row, added);
            ++counted.rows;
            counted.added += added ? 1 : 0;
        }
        if (result == SQLITE_OK && !stopped) result = writer.End(counted.added);
    }
    if (result == SQLITE_OK && !stopped) result = Execute(m_db, "COMMIT");
    if (result != SQLITE_OK || stopped) {
        const ArchiveStatus status = StatusOf(m_db, result);
        Execute(m_db, "ROLLBACK");
        return status;
    }
    count = counted;
    return {};
}
