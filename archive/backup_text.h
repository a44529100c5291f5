// The words that tell how a backup of the archive ended, for the window's box and ombrix's line.
#pragma once

#include <string>

#include "archive/archive_backup.h"

struct BackupMessage {
    int textId = 0;  // a string-table text: "%1" is `path`, "%d" and "%s" `first` and `second`
    bool isError = false;
    std::string path, first, second;
};

BackupMessage MessageOfBackup(const BackupOutcome& outcome, const std::string& archivePath,
                              const std::string& copyPath);
