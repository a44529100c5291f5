// The optional daily copy of the archive into a folder the PC names (the registry value
// BackupFolder): after the first archive write of a day, `archive-<Windows
// user>-YYYY-MM-DD.sqlite3` is made there, and of that user's copies the newest 14 are kept. Files
// of other users, and every other file of the folder, are never touched: the folder may be shared.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "archive/archive_backup.h"
#include "archive/archive_file.h"

constexpr size_t DAILY_BACKUPS_KEPT = 14;

// "archive-<user>-<day>.sqlite3"; `day` is "YYYY-MM-DD".
std::string DailyBackupName(const std::string& user, const std::string& day);

// Of the names of a folder's files, those of `user`'s daily copies beyond the newest `kept`. A
// name that is not exactly a copy's of this user (another user's, whose name may begin as this
// one's; a file of the operator's) is never among them.
std::vector<std::string> DailyBackupsToRemove(const std::vector<std::string>& names,
                                              const std::string& user,
                                              size_t kept = DAILY_BACKUPS_KEPT);

struct DailyBackupOutcome {
    bool made = false;     // today's copy was made now (false: it was there, or it failed)
    BackupOutcome backup;  // how the copy ended, when one was tried
    std::string copy;      // the day's copy, UTF-8
};

// Makes the day's copy of the archive in `folder` unless it is there, then removes the user's
// copies beyond the newest 14. All paths UTF-8.
DailyBackupOutcome MakeDailyBackup(const std::string& archivePath, const std::string& folder,
                                   const std::string& user, const std::string& day);

// The same for today, on this PC's clock.
DailyBackupOutcome MakeTodaysBackup(const std::string& archivePath, const std::string& folder,
                                    const std::string& user);

// The archive, calling `written` after each write that added measurements: the day's copy
// follows its first.
class WriteWatchingArchive : public RecordArchive {
public:
    WriteWatchingArchive(RecordArchive& archive, std::function<void()> written)
        : m_archive(archive), m_written(std::move(written)) {}

    ArchiveStatus Keep(const std::string& source, MeasurementFeed& feed,
                       BatchCount& count) override {
        const ArchiveStatus status = m_archive.Keep(source, feed, count);
        if (status && count.added > 0) m_written();
        return status;
    }
    // A forced clear is a write too: the day's copy keeps it.
    ArchiveStatus KeepForcedClear(const ForcedClear& clear) override {
        const ArchiveStatus status = m_archive.KeepForcedClear(clear);
        if (status) m_written();
        return status;
    }
    const std::string& Path() const override { return m_archive.Path(); }

private:
    RecordArchive& m_archive;
    std::function<void()> m_written;
};
