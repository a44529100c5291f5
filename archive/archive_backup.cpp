#include "archive/archive_backup.h"

#include <sqlite3.h>

#include <filesystem>

#include "archive/archive_schema.h"
#include "archive/sqlite_statement.h"

namespace {

namespace fs = std::filesystem;

// Beside the copy, so that the last step is a rename within one folder.
constexpr char kPartialSuffix[] = ".partial";

// The archive as it is: no file made where none is, nothing migrated, another program's file or
// a later version's refused.
sqlite3* OpenArchiveToCopy(const std::string& path, ArchiveStatus& status) {
    sqlite3* db = nullptr;
    int result =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (result == SQLITE_OK) {
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, ARCHIVE_BUSY_TIMEOUT_MS);
        ArchiveKind kind = ArchiveKind::Current;
        result = InspectArchive(db, kind);
        if (result == SQLITE_OK && kind == ArchiveKind::Foreign)
            status = {ArchiveCause::ForeignDatabase, "another program's database"};
        else if (result == SQLITE_OK && kind == ArchiveKind::Newer)
            status = {ArchiveCause::TooNew, "made by a later version"};
    }
    if (result != SQLITE_OK) status = StatusOf(db, result);
    if (!status) {
        sqlite3_close(db);
        return nullptr;
    }
    return db;
}

// One statement, one read transaction: the copy is the archive as of its start, however many
// batches a writer commits meanwhile.
ArchiveStatus CopyInOneStep(sqlite3* archive, const std::string& partial) {
    Statement vacuum(archive, "VACUUM INTO ?1");
    if (vacuum.Prepared() != SQLITE_OK) return StatusOf(archive, vacuum.Prepared());
    vacuum.BindText(1, partial);
    const int result = vacuum.Step();
    return result == SQLITE_DONE ? ArchiveStatus{} : StatusOf(archive, result);
}

// The first column of a one-row statement, as text; SQLite's result code in `result`.
std::string OneValue(sqlite3* db, const char* sql, int& result) {
    Statement statement(db, sql);
    result = statement.Prepared();
    if (result != SQLITE_OK) return {};
    result = statement.Step();
    if (result != SQLITE_ROW) return {};
    result = SQLITE_OK;
    return statement.Text(0);
}

// The copy stands alone (a rollback journal, no log beside it), passes SQLite's integrity check,
// and holds `rows` measurements.
ArchiveStatus CheckCopy(const std::string& partial, int64_t& rows) {
    sqlite3* db = nullptr;
    int result =
        sqlite3_open_v2(partial.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    ArchiveStatus status;
    if (result == SQLITE_OK)
        result = sqlite3_exec(db, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr);
    std::string check;
    if (result == SQLITE_OK) check = OneValue(db, "PRAGMA integrity_check", result);
    if (result == SQLITE_OK && check != "ok") status = {ArchiveCause::NotAnArchive, check};
    if (status && result == SQLITE_OK) {
        // An empty archive of version 0 holds no table yet: no rows.
        int counted = SQLITE_OK;
        rows = std::stoll("0" + OneValue(db, "SELECT count(*) FROM readings", counted));
    }
    if (status && result != SQLITE_OK) status = StatusOf(db, result);
    sqlite3_close(db);
    return status;
}

// A copy that fails because the archive is held or damaged fails for the archive's sake; the rest
// (no folder, no permission, a full disk) is the copy's.
BackupOutcome::Kind SideOf(const ArchiveStatus& status) {
    const bool archive =
        status.cause == ArchiveCause::Locked || status.cause == ArchiveCause::NotAnArchive;
    return archive ? BackupOutcome::ArchiveFailed : BackupOutcome::CopyFailed;
}

}  // namespace

BackupOutcome BackupArchive(const std::string& archivePath, const std::string& copyPath,
                            bool replace) {
    BackupOutcome outcome;
    const fs::path copy = fs::u8path(copyPath);
    std::error_code error;
    if (fs::exists(copy, error)) {
        if (fs::equivalent(copy, fs::u8path(archivePath), error))
            outcome.kind = BackupOutcome::CopyIsArchive;
        else if (!replace)
            outcome.kind = BackupOutcome::CopyExists;
        if (outcome.kind != BackupOutcome::Done) return outcome;
    }
    sqlite3* archive = OpenArchiveToCopy(archivePath, outcome.status);
    if (!archive) {
        outcome.kind = BackupOutcome::ArchiveFailed;
        return outcome;
    }
    const std::string partial = copyPath + kPartialSuffix;
    fs::remove(fs::u8path(partial), error);  // left by a copy that was cut short
    outcome.status = CopyInOneStep(archive, partial);
    sqlite3_close(archive);
    if (outcome.status) outcome.status = CheckCopy(partial, outcome.rows);
    if (outcome.status) {
        fs::rename(fs::u8path(partial), copy, error);
        if (error) outcome.status = {ArchiveCause::CannotOpen, error.message()};
    }
    if (!outcome.status) {
        fs::remove(fs::u8path(partial), error);
        outcome.kind = SideOf(outcome.status);
    }
    return outcome;
}
