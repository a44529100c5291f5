#include "app/win32/backup_status.h"

#include "app/win32/wide_text.h"
#include "archive/backup_text.h"
#include "res/resource.h"
#include "site/site_setting.h"
#include "text/text_inserts.h"

RecordArchive& DailyBackupLine::Start(HWND window, RecordArchive& archive) {
    const std::string folder = BackupFolderOfPc();
    if (folder.empty()) return archive;
    m_worker = std::make_unique<DailyBackupWorker>(archive.Path(), folder, ThisPc().user, [window] {
        PostMessageW(window, WM_BACKUP_CHANGED, 0, 0);
    });
    DailyBackupWorker* worker = m_worker.get();
    m_watching = std::make_unique<WriteWatchingArchive>(archive, [worker] { worker->Request(); });
    return *m_watching;
}

std::wstring DailyBackupLine::Text() const {
    if (!m_worker) return {};
    const DailyBackupOutcome last = m_worker->Last();
    if (last.backup.kind == BackupOutcome::Done) return {};
    const BackupMessage message = MessageOfBackup(last.backup, m_worker->ArchivePath(), last.copy);
    std::wstring why =
        InsertPathIntoText(LoadText(message.textId), WideFrom(message.path, CP_UTF8),
                           WideFrom(message.first, CP_UTF8), WideFrom(message.second, CP_UTF8));
    // One line at the foot: a box's paragraphs run on.
    for (size_t at; (at = why.find(L"\n\n")) != std::wstring::npos;) why.replace(at, 2, L" ");
    for (wchar_t& c : why)
        if (c == L'\n') c = L' ';
    return InsertIntoText(LoadText(IDS_BACKUP_AUTO_FAILED), why, std::wstring());
}
