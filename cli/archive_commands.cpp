#include "cli/archive_commands.h"

#include <functional>
#include <memory>

#include "app/file_io.h"
#include "archive/archive_actions.h"
#include "archive/archive_backup.h"
#include "archive/archive_cause_text.h"
#include "archive/archive_file.h"
#include "archive/archive_query.h"
#include "archive/backup_text.h"
#include "archive/push_queue.h"
#include "cli/arguments.h"
#include "cli/console.h"
#include "cli/output_target.h"
#include "cli/site_commands.h"
#include "cli/string_table.h"
#include "measurement/local_clock.h"
#include "measurement/time_text.h"
#include "measurement/verdicts.h"
#include "records/record_cells.h"
#include "records/record_import.h"
#include "report/archive_report.h"
#include "report/site_report.h"
#include "res/resource.h"
#include "site/site_cause_text.h"
#include "site/site_push.h"
#include "site/site_secret.h"
#include "site/site_setting.h"
#include "text/utf8.h"

namespace {

void Say(const std::string& line) { WriteText(Stream::Err, line + "\n"); }

SiteFilter SiteFilterOf(const Arguments& arguments) {
    SiteFilter filter{arguments.filter, std::nullopt};
    if (!arguments.pc.empty()) filter.pc = arguments.pc;
    return filter;
}

int ArchiveFailed(const std::string& path, const ArchiveStatus& status) {
    Say(BoxLineWithPath(ArchiveCauseTextId(status.cause), path));
    return EXIT_ARCHIVE;
}

// The rows of the filter from the archive or, with --site, from the site archive (--pc: one
// computer's), opened before anything is written. Each step gives the exit status, its failure
// said.
class ChosenRows {
public:
    ChosenRows(const Arguments& arguments, const RecordArchive& archiveFile)
        : m_arguments(arguments), m_path(archiveFile.Path()) {}

    int Open() {
        if (m_arguments.site.empty()) {
            ArchiveStatus status;
            m_archive = Archive::Open(m_path, status);
            return m_archive ? EXIT_DONE : ArchiveFailed(m_path, status);
        }
        SiteStatus status;
        m_site = SiteDatabase::Open(m_arguments.site, status);
        return m_site ? EXIT_DONE : SiteFailed(m_arguments.site, status);
    }

    int ForEach(const std::function<bool(const Measurement&)>& visit, RowOrder order) {
        if (m_archive) {
            const ArchiveStatus status =
                ForEachMeasurement(*m_archive, m_arguments.filter, visit, order);
            return status ? EXIT_DONE : ArchiveFailed(m_path, status);
        }
        const SiteStatus status = m_site->ForEach(SiteFilterOf(m_arguments), visit, order);
        return status ? EXIT_DONE : SiteFailed(m_arguments.site, status);
    }

    int LoadReport(ReportInput& input) {
        if (m_archive) {
            const ArchiveStatus status =
                ::LoadReport(*m_archive, m_arguments.filter,
                             m_arguments.retestWindow.value_or(RetestWindowOfPc()), input);
            return status ? EXIT_DONE : ArchiveFailed(m_path, status);
        }
        const SiteStatus status = LoadSiteReport(*m_site, SiteFilterOf(m_arguments), input);
        return status ? EXIT_DONE : SiteFailed(m_arguments.site, status);
    }

private:
    const Arguments& m_arguments;
    std::string m_path;
    std::unique_ptr<Archive> m_archive;
    std::unique_ptr<SiteDatabase> m_site;
};

// The CSV's bytes, gathered and written a block at a time, to a file or standard output.
class CsvTarget {
public:
    explicit CsvTarget(const std::string& path) : m_path(path) {}

    FileError Open(bool byteOrderMark) {
        if (m_path == STANDARD_OUTPUT_PATH) return FileError::None;
        m_file = MakeOutputFile();
        const FileError error = m_file->Create(m_path);
        if (error == FileError::None && byteOrderMark) m_buffer = UTF8_BOM;
        return error;
    }

    FileError Write(const std::string& bytes) {
        m_buffer += bytes;
        return m_buffer.size() < kBlock ? FileError::None : Flush();
    }

    FileError Close() {
        const FileError error = Flush();
        if (m_file) m_file->Close();
        return error;
    }

private:
    static constexpr size_t kBlock = 1 << 16;

    FileError Flush() {
        FileError error = FileError::None;
        if (m_file)
            error = m_file->Write(m_buffer.data(), m_buffer.size());
        else if (!WriteText(Stream::Out, m_buffer))
            error = FileError::Unknown;
        m_buffer.clear();
        return error;
    }

    std::string m_path;
    std::unique_ptr<OutputFile> m_file;  // none for standard output
    std::string m_buffer;
};

}  // namespace

int RunImport(const Arguments& arguments, RecordArchive& archive) {
    int status = EXIT_DONE;
    for (const std::string& path : arguments.files) {
        const ImportOutcome outcome = ImportRecordFile(archive, path);
        const ImportMessage message = MessageOfImport(outcome, path, archive);
        Say(BoxLineWithPath(message.textId, message.path, message.first, message.second));
        if (outcome.kind == ImportOutcome::ArchiveFailed) return EXIT_ARCHIVE;
        if (outcome.kind == ImportOutcome::SourceFailed) status = EXIT_ARCHIVE;
        if (outcome.kind != ImportOutcome::Kept && status != EXIT_ARCHIVE) status = EXIT_FILE;
    }
    return status;
}

int RunBackup(const Arguments& arguments, RecordArchive& archive) {
    const BackupOutcome outcome = BackupArchive(archive.Path(), arguments.file, arguments.replace);
    const BackupMessage message = MessageOfBackup(outcome, archive.Path(), arguments.file);
    const std::string line = BoxLineWithPath(message.textId, message.path, message.first) + "\n";
    if (outcome.kind == BackupOutcome::Done) {
        WriteText(Stream::Out, line);
        return EXIT_DONE;
    }
    WriteText(Stream::Err, line);
    return outcome.kind == BackupOutcome::ArchiveFailed ? EXIT_ARCHIVE : EXIT_FILE;
}

int RunHistory(const Arguments& arguments, RecordArchive& archiveFile) {
    ChosenRows rows(arguments, archiveFile);
    if (const int opened = rows.Open(); opened != EXIT_DONE) return opened;
    // A file is written as the window writes it unless --utf8; standard output is UTF-8.
    const bool toFile = arguments.csv != STANDARD_OUTPUT_PATH;
    const CellEncoding encoding =
        toFile && !arguments.utf8 ? CellEncoding::Korean : CellEncoding::Utf8;
    CsvTarget target(arguments.csv);
    FileError error = target.Open(toFile && arguments.utf8);
    // The site's rows are every PC's: their ID2 hidden unless asked for.
    RecordCsvLines lines(encoding, !arguments.site.empty() && !arguments.showIds);
    if (error == FileError::None) error = target.Write(lines.Header());
    int status = EXIT_DONE;
    if (error == FileError::None)
        status = rows.ForEach(
            [&](const Measurement& row) {
                error = target.Write(lines.Next(row));
                return error == FileError::None;
            },
            RowOrder::NewestFirst);
    const FileError closed = target.Close();
    if (error == FileError::None) error = closed;
    if (status != EXIT_DONE) return status;
    if (error != FileError::None) {
        Say(BoxLineWithPath(FileErrorTextId(error), arguments.csv));
        return EXIT_FILE;
    }
    return EXIT_DONE;
}

int RunReport(const Arguments& arguments, RecordArchive& archiveFile) {
    ReportInput input;
    input.filters = ReportFiltersOf(arguments.filter);
    input.createdAt = TimeText(LocalNowSeconds());
    input.showIds = arguments.showIds;
    ChosenRows rows(arguments, archiveFile);
    if (const int status = rows.Open(); status != EXIT_DONE) return status;
    if (const int status = rows.LoadReport(input); status != EXIT_DONE) return status;
    if (const FileError error =
            WriteWholeFile(*MakeOutputFile(), arguments.html, ReportHtml(input));
        error != FileError::None) {
        Say(BoxLineWithPath(FileErrorTextId(error), arguments.html));
        return EXIT_FILE;
    }
    return EXIT_DONE;
}

namespace {

// The measurements taken in the second `at` of the standard (and the user) of note: two at most,
// which is already too many.
ArchiveStatus NoteMatches(Archive& archive, const Arguments& arguments,
                          std::vector<Measurement>& matches) {
    ArchiveFilter filter;
    filter.from = SecondsFromTimeText(arguments.at);
    filter.until = *filter.from + 1;
    filter.standard = arguments.filter.standard;
    filter.user = arguments.filter.user;
    return ForEachMeasurement(archive, filter, [&](const Measurement& row) {
        matches.push_back(row);
        return matches.size() < 2;
    });
}

// Why note records nothing on these matches; empty when it records.
std::string NoteRefusal(const Arguments& arguments, const std::vector<Measurement>& matches) {
    const std::string what = arguments.at + " " + *arguments.filter.standard +
                             (arguments.filter.user ? " " + *arguments.filter.user : "");
    const std::string nothing = "조치를 기록하지 않았습니다: ";
    if (matches.empty()) return nothing + what + "의 측정이 보관 파일에 없습니다.";
    if (matches.size() > 1)
        return nothing + what + "의 측정이 둘 이상입니다. --user로 사용자를 지정하세요.";
    if (!NeedsAction(matches[0].verdict))
        return nothing + what + "의 측정 결과가 " + VerdictText(matches[0].verdict) +
               "입니다. 조치는 주의와 오염 결과에만 기록합니다.";
    return {};
}

}  // namespace

int RunNote(const Arguments& arguments, RecordArchive& archiveFile) {
    ArchiveStatus status;
    auto archive = Archive::Open(archiveFile.Path(), status);
    if (!archive) return ArchiveFailed(archiveFile.Path(), status);
    std::vector<Measurement> matches;
    if (status = NoteMatches(*archive, arguments, matches); !status)
        return ArchiveFailed(archiveFile.Path(), status);
    if (const std::string refusal = NoteRefusal(arguments, matches); !refusal.empty()) {
        Say(refusal);
        return EXIT_NOTE_REFUSED;
    }
    const Measurement& row = matches[0];
    status = RecordAction(*archive, row, {arguments.text, ThisPc().user, LocalNowSeconds()});
    if (!status) return ArchiveFailed(archiveFile.Path(), status);
    Say("조치를 기록했습니다: " + row.measuredAt + " " + row.standardName + " " +
        std::to_string(row.value) + " " + VerdictText(row.verdict));
    return EXIT_DONE;
}

void SayWaiting(const PushOutcome& outcome) {
    Say(BoxLine(SiteWaitingTextId(outcome.refused), std::to_string(outcome.waiting),
                std::to_string(outcome.refused)));
}

void SayActionsWaiting(const PushOutcome& outcome) {
    if (outcome.actionsWaiting == 0 && outcome.actionsRefused == 0) return;
    Say(BoxLine(SiteActionsWaitingTextId(outcome.actionsRefused),
                std::to_string(outcome.actionsWaiting), std::to_string(outcome.actionsRefused)));
}

// Each row and each version of an action the site refused, with the server's reason.
int SayRefusedRows(const std::string& path) {
    ArchiveStatus status;
    const auto archive = Archive::Open(path, status);
    std::vector<RefusedRow> rows;
    std::vector<RefusedAction> actions;
    if (archive) status = ReadRefused(*archive, rows);
    if (status) status = ReadRefusedActions(*archive, actions);
    if (!status) return ArchiveFailed(path, status);
    for (const RefusedRow& refused : rows) {
        const Measurement& m = refused.row;
        const std::string row =
            m.measuredAt + " " + m.userName + " " + m.standardName + " " + std::to_string(m.value);
        Say(BoxLine(IDS_SITE_ROW_REFUSED, row, refused.reason));
    }
    for (const RefusedAction& refused : actions)
        Say(BoxLine(IDS_SITE_ACTION_REFUSED, refused.measurement + " · " + refused.text,
                    refused.reason));
    return EXIT_SITE_REFUSED_ROWS;
}

int RunSync(const Arguments& arguments, RecordArchive& archiveFile) {
    const SiteSource site = ChosenSite(arguments.site, "");
    const std::string& connection = site.connection;
    if (!site.refusal.empty()) {
        Say("ombrix: " + site.refusal);
        return EXIT_USAGE;
    }
    if (connection.empty()) {
        Say(BoxLine(IDS_SITE_NOT_SET));
        return EXIT_USAGE;
    }
    const PushOutcome outcome =
        PushArchiveToSite(archiveFile.Path(), connection, {}, arguments.retryRefused);
    if (!outcome.archive) return ArchiveFailed(archiveFile.Path(), outcome.archive);
    WriteText(Stream::Out, BoxLine(IDS_SITE_PUSHED, std::to_string(outcome.count.pushed),
                                   std::to_string(outcome.count.already)) +
                               "\n");
    // The actions' line only where there were actions to push: most pushes have none.
    if (outcome.actions.pushed + outcome.actions.already > 0)
        WriteText(Stream::Out,
                  BoxLine(IDS_SITE_ACTIONS_PUSHED, std::to_string(outcome.actions.pushed),
                          std::to_string(outcome.actions.already)) +
                      "\n");
    if (!outcome.site) {
        SayWaiting(outcome);
        return SiteFailed(connection, outcome.site);
    }
    // The rows went; the site refused the actions (no ombrix_actions, no right to make it).
    if (!outcome.actionsSite) {
        SayActionsWaiting(outcome);
        return SiteFailed(connection, outcome.actionsSite);
    }
    if (outcome.refused == 0 && outcome.actionsRefused == 0) return EXIT_DONE;
    const int status = SayRefusedRows(archiveFile.Path());
    SayWaiting(outcome);
    SayActionsWaiting(outcome);
    return status;
}
