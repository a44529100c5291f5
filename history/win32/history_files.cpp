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
#include "history/win32/history_site.h"
#include "history/win32/history_state.h"
#include "measurement/local_clock.h"
#include "measurement/time_text.h"
#include "records/record_csv.h"
#include "records/record_import.h"
#include "res/resource.h"

namespace {

void TellOutcome(HistoryState& state, const HistoryFileOutcome& outcome, const std::string& path) {
    if (!outcome.site)
        TellSiteFailure(state, outcome.site);
    else if (!outcome.archive)
        state.boxes.TellError(ArchiveCauseTextId(outcome.archive.cause), state.archivePath);
    else if (outcome.file != FileError::None)
        state.boxes.TellError(FileErrorTextId(outcome.file), path);
}

// Writes the file of this PC's archive, or of the site's rows (read in pages, counted on the
// server) from a connection of its own.
HistoryFileOutcome SaveShown(
    HistoryState& state, const std::function<HistoryFileOutcome(Archive&, OutputFile&)>& local,
    const std::function<HistoryFileOutcome(SiteDatabase&, OutputFile&)>& site) {
    WaitCursor busy;  // a million rows take a few seconds
    if (!state.showingSite) return local(*state.archive, *MakeOutputFile());
    HistoryFileOutcome outcome;
    const std::unique_ptr<SiteDatabase> database =
        SiteDatabase::Open(state.siteConnection, outcome.site);
    return database ? site(*database, *MakeOutputFile()) : outcome;
}

}  // namespace

void SaveHistoryCsvAs(HistoryState& state) {
    if (state.View().RowCount() == 0) {
        state.boxes.Tell(IDS_CSV_NO_RECORDS, "", "");
        return;
    }
    std::string path;
    if (!AskFilePath(state.dialog, CsvFileTypes(), WideFrom(CSV_FILE_NAME), true, path)) return;
    const ArchiveFilter filter = FilterOf(state.choices);
    const bool hideId2 = state.HidesId2();
    const HistoryFileOutcome outcome = SaveShown(
        state,
        [&](Archive& archive, OutputFile& file) {
            return SaveHistoryCsv(archive, filter, file, path, hideId2);
        },
        [&](SiteDatabase& site, OutputFile& file) {
            return SaveSiteHistoryCsv(site, filter, file, path, hideId2);
        });
    TellOutcome(state, outcome, path);
}

void SaveHistoryReportAs(HistoryState& state) {
    const FileTypes types{FilterFromText(LoadText(IDS_HISTORY_REPORT_FILTER)), L"html"};
    std::string path;
    if (!AskFilePath(state.dialog, types, LoadText(IDS_HISTORY_REPORT_NAME), true, path)) return;
    const bool log = IsDlgButtonChecked(state.dialog, IDC_HISTORY_LOG) == BST_CHECKED;
    const ValueAxis axis = log ? ValueAxis::Logarithmic : ValueAxis::Linear;
    const std::string createdAt = TimeText(LocalNowSeconds());
    const bool showIds = state.ShowsIds();
    const int64_t retestWindow = state.model->RetestWindow();
    const HistoryFileOutcome outcome = SaveShown(
        state,
        [&](Archive& archive, OutputFile& file) {
            return SaveHistoryReport(archive, state.choices, retestWindow, axis, createdAt, file,
                                     path, showIds);
        },
        [&](SiteDatabase& site, OutputFile& file) {
            return SaveSiteHistoryReport(site, state.choices, axis, createdAt, file, path, showIds);
        });
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
