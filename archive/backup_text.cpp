#include "archive/backup_text.h"

#include "archive/archive_cause_text.h"
#include "res/resource.h"

BackupMessage MessageOfBackup(const BackupOutcome& outcome, const std::string& archivePath,
                              const std::string& copyPath) {
    BackupMessage message;
    message.path = copyPath;
    message.isError = outcome.kind != BackupOutcome::Done;
    switch (outcome.kind) {
        case BackupOutcome::Done:
            message.textId = IDS_BACKUP_DONE;
            message.first = std::to_string(outcome.rows);
            break;
        case BackupOutcome::CopyExists:
            message.textId = IDS_BACKUP_EXISTS;
            break;
        case BackupOutcome::CopyIsArchive:
            message.textId = IDS_BACKUP_SAME_FILE;
            break;
        case BackupOutcome::ArchiveFailed:
            message.textId = ArchiveCauseTextId(outcome.status.cause);
            message.path = archivePath;
            break;
        case BackupOutcome::CopyFailed:
            message.textId = outcome.status.cause == ArchiveCause::DiskFull
                                 ? IDS_FILE_DISK_FULL
                                 : IDS_BACKUP_COPY_FAILED;
            message.first = outcome.status.detail;
            break;
    }
    return message;
}
