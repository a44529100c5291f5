// The daily copy of the archive in the main window: with a backup folder set (the registry's
// BackupFolder), a worker copies after the first archive write of each day, and a copy that
// failed is said at the window's foot, beside the site's state: no box interrupts the operator.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "archive/daily_backup_worker.h"

// Posted to the main window by the worker's thread after each try.
constexpr UINT WM_BACKUP_CHANGED = WM_APP + 19;

class DailyBackupLine {
public:
    // Starts the worker when a folder is set; the archive that reads should be kept in: one that
    // asks for the day's copy after each write, or `archive` itself.
    RecordArchive& Start(HWND window, RecordArchive& archive);
    // The foot's words: the last try's failure, or nothing.
    std::wstring Text() const;

private:
    std::unique_ptr<DailyBackupWorker> m_worker;
    std::unique_ptr<WriteWatchingArchive> m_watching;
};
