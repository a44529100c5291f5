// The history window's buttons that write and read files: the filtered rows as the record CSV,
// the audit report of the filters shown, old record CSV files and other archives imported into
// the archive, and the archive's backup.
#include "app/file_io.h"
#include "app/win32/file_dialog.h"
#include "app/win32/wait_cursor.h"
#include "app/win32/wide_text.h"
#include "archive/archive_cause_text.h"
#include "archive/archive_file.h"
#include "archive/backup_text.h"
#include "history/history_export.h"
#include "history/win32/history_state.h"
#include "measurement/local_clock.h"
#include "measurement/time_text.h"
#include "records/record_csv.h"
#include "records/record_import.h"
#include "res/resource.h"

namespace {

void TellOutcome(HistoryState& state, const HistoryFileOutcome& outcome, const std::string& path) {
    if (!outcome.archive)
        state.boxes.TellError(ArchiveCauseTextId(outcome.archive.cause), state.archivePath);
    else if (outcome.file != FileError::None)
        state.boxes.TellError(FileErrorTextId(outcome.file), path);
}

}  // namespace

void SaveHistoryCsvAs(HistoryState& state) {
    if (state.model->RowCount() == 0) {
        state.boxes.Tell(IDS_CSV_NO_RECORDS, "", "");
        return;
    }
    std::string path;
    if (!AskFilePath(state.dialog, CsvFileTypes(), WideFrom(CSV_FILE_NAME), true, path)) return;
    HistoryFileOutcome outcome;
    {
        WaitCursor busy;  // a million rows take a few seconds
        outcome = SaveHistoryCsv(state.Shown(), FilterOf(state.choices), *MakeOutputFile(), path,
                                 state.HidesId2());
    }
    TellOutcome(state, outcome, path);
}

void SaveHistoryReportAs(HistoryState& state) {
    const FileTypes types{FilterFromText(LoadText(IDS_HISTORY_REPORT_FILTER)), L"html"};
    std::string path;
    if (!AskFilePath(state.dialog, types, LoadText(IDS_HISTORY_REPORT_NAME), true, path)) return;
    const bool log = IsDlgButtonChecked(state.dialog, IDC_HISTORY_LOG) == BST_CHECKED;
    HistoryFileOutcome outcome;
    {
        WaitCursor busy;
        outcome = SaveHistoryReport(state.Shown(), state.choices, state.model->RetestWindow(),
                                    log ? ValueAxis::Logarithmic : ValueAxis::Linear,
                                    TimeText(LocalNowSeconds()), *MakeOutputFile(), path,
                                    state.ShowsIds());
    }
    TellOutcome(state, outcome, path);
}

void ImportRecordFiles(HistoryState& state) {
    const FileTypes types{FilterFromText(LoadText(IDS_HISTORY_IMPORT_FILTER)), L"csv"};
    std::string path;
    if (!AskFilePath(state.dialog, types, L"", false, path)) return;
    RecordArchive& archive = *state.keep;
    ImportOutcome outcome;
    {
        WaitCursor busy;
        outcome = ImportRecordFile(archive, path);
    }
    // The rows kept are shown first, so that the box that counts them stands over them.
    if (outcome.kind == ImportOutcome::Kept) {
        if (outcome.measured) {
            state.choices =
                CoveringPeriod(state.choices, outcome.measured->first, outcome.measured->last);
            ShowPeriod(state);
        }
        RefreshHistory(state);
    }
    const ImportMessage message = MessageOfImport(outcome, path, archive);
    state.boxes.TellWithPath(message.textId, message.path, message.first, message.second,
                             message.isError);
}

void BackUpArchiveAs(HistoryState& state) {
    const FileTypes types{FilterFromText(LoadText(IDS_HISTORY_BACKUP_FILTER)), L"sqlite3"};
    std::string path;
    // The dialog has asked before an existing file is replaced.
    if (!AskFilePath(state.dialog, types, LoadText(IDS_BACKUP_NAME), true, path)) return;
    BackupOutcome outcome;
    {
        WaitCursor busy;  // reads go on meanwhile; a large archive takes seconds
        outcome = BackupArchive(state.archivePath, path, true);
    }
    const BackupMessage message = MessageOfBackup(outcome, state.archivePath, path);
    state.boxes.TellWithPath(message.textId, message.path, message.first, message.second,
                             message.isError);
}
