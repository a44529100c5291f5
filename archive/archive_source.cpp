#include "archive/archive_source.h"

#include <sqlite3.h>

#include <cctype>
#include <cstring>
#include <filesystem>

#include "archive/archive_schema.h"
#include "archive/filter_sql.h"
#include "archive/sqlite_statement.h"

namespace {

namespace fs = std::filesystem;

// The tables that hold the measurements came with the first version and kept these columns.
constexpr size_t kMeasurementsSince = 1;

// A path as an SQLite URI: "file:///C:/x" or "file:///home/x", "file:////server/share/x"; every
// byte but the path's plain characters percent-encoded (SQLite decodes them back to UTF-8).
std::string UriOf(const std::string& path) {
    std::error_code error;
    fs::path full = fs::absolute(fs::u8path(path), error);
    if (error) full = fs::u8path(path);
    const std::string generic = full.generic_u8string();
    std::string uri = generic.rfind('/', 0) == 0 ? "file://" : "file:///";
    static const char kHex[] = "0123456789ABCDEF";
    for (const unsigned char c : generic) {
        if (std::isalnum(c) || std::strchr("/:-._~", c)) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

// A write-ahead log beside the file holds commits that the file itself may not have yet.
bool HasLog(const std::string& path) {
    std::error_code error;
    const auto size = fs::file_size(fs::u8path(path + "-wal"), error);
    return !error && size > 0;
}

int QueryVersion(sqlite3* db, size_t& version) {
    Statement statement(db, "PRAGMA user_version");
    int result = statement.Prepared() == SQLITE_OK ? statement.Step() : statement.Prepared();
    if (result != SQLITE_ROW) return result;
    version = static_cast<size_t>(statement.Integer(0));
    return SQLITE_OK;
}

ArchiveStatus RefusalOf(ArchiveKind kind) {
    if (kind == ArchiveKind::Foreign)
        return {ArchiveCause::ForeignDatabase, "another program's database"};
    if (kind == ArchiveKind::Newer) return {ArchiveCause::TooNew, "made by a later version"};
    return {};
}

}  // namespace

bool IsSqliteHeader(const std::string& firstBytes) {
    return firstBytes.size() >= SQLITE_FILE_HEADER_SIZE &&
           std::memcmp(firstBytes.data(), SQLITE_FILE_HEADER, SQLITE_FILE_HEADER_SIZE) == 0;
}

std::unique_ptr<ArchiveSource> ArchiveSource::Open(const std::string& path, ArchiveStatus& status) {
    status = {};
    const std::string uri = UriOf(path) + (HasLog(path) ? "?mode=ro" : "?mode=ro&immutable=1");
    sqlite3* db = nullptr;
    int result = sqlite3_open_v2(
        uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
    ArchiveKind kind = ArchiveKind::Current;
    size_t version = 0;
    if (result == SQLITE_OK) {
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, ARCHIVE_BUSY_TIMEOUT_MS);
        // One read transaction: the rows of an archive in use as of one commit.
        result = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    }
    if (result == SQLITE_OK) result = InspectArchive(db, kind);
    if (result == SQLITE_OK) result = QueryVersion(db, version);
    status = result == SQLITE_OK ? RefusalOf(kind) : StatusOf(db, result);
    if (!status) {
        sqlite3_close(db);
        return nullptr;
    }
    std::unique_ptr<ArchiveSource> source(new ArchiveSource(db, version));
    if (version >= kMeasurementsSince) {
        const std::string sql = std::string(MEASUREMENT_COLUMNS) + " ORDER BY r.id";
        source->m_rows = std::make_unique<Statement>(db, sql.c_str());
        if (source->m_rows->Prepared() != SQLITE_OK) {
            status = StatusOf(db, source->m_rows->Prepared());
            return nullptr;
        }
    }
    return source;
}

ArchiveSource::ArchiveSource(sqlite3* db, size_t version) : m_db(db), m_version(version) {}

ArchiveSource::~ArchiveSource() {
    m_rows.reset();
    sqlite3_close(m_db);
}

MeasurementFeed::Step ArchiveSource::Next(Measurement& row) {
    if (!m_rows) return End;
    const int result = m_rows->Step();
    if (result == SQLITE_ROW) {
        ReadMeasurement(*m_rows, row);
        return Row;
    }
    if (result == SQLITE_DONE) return End;
    m_failure = StatusOf(m_db, result);
    return Stop;
}
