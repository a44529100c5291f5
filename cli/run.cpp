#include "cli/run.h"

#include <algorithm>

#include "app/main_dialog.h"
#include "app/port_cause_text.h"
#include "archive/archive_file.h"
#include "archive/archive_path.h"
#include "archive/backup_text.h"
#include "archive/daily_backup.h"
#include "cli/arguments.h"
#include "cli/console.h"
#include "cli/headless_controls.h"
#include "cli/output_target.h"
#include "cli/string_table.h"
#include "res/resource.h"
#include "site/site_setting.h"

namespace {

// The console program remembers no port: the window's setting stays as the window left it.
class NoSettings : public PortSettingsStore {
public:
    bool OpenKey() override { return false; }
    bool CreateKey() override { return false; }
    bool ReadPort(int32_t&) override { return false; }
    bool WritePort(int32_t) override { return false; }
    void CloseKey() override {}
};

// " — 다른 프로그램이 포트를 사용 중입니다": what the system said, in the operator's words.
std::string CauseSuffix(const PortFailure& failure) {
    const int textId = PortCauseTextId(failure.cause);
    if (textId == 0) return "";
    return " \xE2\x80\x94 " +
           BoxLine(textId, std::to_string(failure.code), PortStepName(failure.step));
}

// "COM3 연결 실패! — 포트를 찾을 수 없습니다": the window's line, with a device path where the
// window has "COM3", and the cause after it.
std::string PortFailedLine(const std::string& port, const PortFailure& failure) {
    std::string text = StringText(IDS_CONNECT_FAILED);
    const size_t at = text.find("COM%d");
    text = at == std::string::npos ? BoxLine(IDS_CONNECT_FAILED, port) : text.replace(at, 5, port);
    return text + CauseSuffix(failure);
}

// The watcher could not start watching: its text, and the cause after it.
void SayWatcherError(const std::string& text, const PortFailure& failure) {
    WriteText(Stream::Err, text + CauseSuffix(failure) + "\n");
}

// Why a clear was declined, from the question it would have asked.
std::string NotClearedReason(int question, const Command& command) {
    if (question == IDS_RECORD_CLEAR_UNKNOWN)
        return "the instrument's count reply carries no count";
    if (!command.archivesReads)
        return "clear-records reads no record; download reads, archives and then clears "
               "(--force clears all the same)";
    return "the instrument's log is not the one just read and archived";
}

// How a step ended, from the boxes it showed.
int StepStatus(const CommandStep& step, const std::vector<int>& told) {
    for (int textId : told) {
        const auto& passing = step.passingTexts;
        if (textId != step.doneText && textId != step.otherDoneText &&
            std::find(passing.begin(), passing.end(), textId) == passing.end())
            return ExitStatusOfBox(textId);
    }
    const auto shown = [&](int textId) {
        return textId != 0 && std::find(told.begin(), told.end(), textId) != told.end();
    };
    const bool done = step.doneText == 0 || shown(step.doneText) || shown(step.otherDoneText);
    return done ? EXIT_DONE : EXIT_STOPPED;
}

// --site-file read into --site: false, with the refusal said, when the file cannot be taken.
bool TakeSiteFile(Arguments& arguments) {
    if (arguments.siteFile.empty()) return true;
    const SiteSource source = ReadSiteFile(arguments.siteFile);
    if (!source.refusal.empty()) {
        WriteText(Stream::Err, "ombrix: " + source.refusal + "\n");
        return false;
    }
    arguments.site = source.connection;
    return true;
}

int RunSteps(const Arguments& arguments, RecordArchive& archive) {
    const Command& command = *arguments.command;
    if (command.runOnArchive) return command.runOnArchive(arguments, archive);
    SetWatcherErrorHandler(SayWatcherError);
    HeadlessControls ui(arguments.yes, arguments.csv, arguments.file, IsTerminal(Stream::Err));
    if (command.clearsOnlyArchived) ui.SetCarefulAnswer(arguments.force);
    NoSettings settings;
    COmbrix_TessalyDlg dialog(ui, settings);
    ChooseOutput(arguments.utf8);
    dialog.SetFileFactory(MakeChosenOutput);
    if ((command.archivesReads || command.clearsOnlyArchived) && !arguments.noArchive)
        dialog.SetArchive(&archive);
    int status = EXIT_DONE;
    for (const CommandStep& step : command.steps) {
        if (step.usesDevice && !dialog.IsConnected() && !dialog.ConnectTo(arguments.port)) {
            ui.Say(PortFailedLine(arguments.port, dialog.LastPortFailure()));
            status = EXIT_PORT;
            break;
        }
        ui.ClearTold();
        (dialog.*step.operation)();
        status = StepStatus(step, ui.Told());
        // No reply because the line died: the port says why after the delay text.
        const PortFailure failure = dialog.LastPortFailure();
        if (status == EXIT_NO_REPLY && failure.step != PortStep::None)
            ui.Say(arguments.port + CauseSuffix(failure));
        if (status != EXIT_DONE) {
            // The record clear stops without a box when the device's answer to the delete,
            // or the count after it, says that records are left, or when it would delete
            // records that are not proven archived.
            if (const int question = ui.DeclinedCarefulQuestion(); question && ui.Told().empty()) {
                ui.Say("ombrix: not cleared: the records are not all in the archive: " +
                       NotClearedReason(question, command));
                status = EXIT_NOT_CLEARED;
            } else if (ui.Told().empty())
                ui.Say("ombrix: the instrument did not complete the operation");
            break;
        }
    }
    dialog.OnClose();
    return status;
}

// With a backup folder set, the day's copy once the archive has been written: a failure is said,
// and the command's own status stands.
void KeepTodaysCopy(const std::string& archivePath) {
    const std::string folder = BackupFolderOfPc();
    if (folder.empty()) return;
    const DailyBackupOutcome outcome = MakeTodaysBackup(archivePath, folder, ThisPc().user);
    if (outcome.backup.kind == BackupOutcome::Done) return;
    const BackupMessage message = MessageOfBackup(outcome.backup, archivePath, outcome.copy);
    WriteText(Stream::Err, BoxLine(IDS_BACKUP_AUTO_FAILED,
                                   BoxLineWithPath(message.textId, message.path, message.first)) +
                               "\n");
}

int RunCommand(Arguments arguments) {
    if (!TakeSiteFile(arguments)) return EXIT_USAGE;
    ArchiveFile file(arguments.archive.empty() ? DefaultArchivePath() : arguments.archive);
    bool written = false;
    WriteWatchingArchive archive(file, [&written] { written = true; });
    const int status = RunSteps(arguments, archive);
    if (written) KeepTodaysCopy(file.Path());
    return status;
}

}  // namespace

int RunOmbrix(const std::vector<std::string>& words) {
    Arguments arguments;
    std::string error;
    if (!ParseArguments(words, arguments, error)) {
        WriteText(Stream::Err, "ombrix: " + error + "\n(ombrix --help lists the commands)\n");
        return EXIT_USAGE;
    }
    switch (arguments.action) {
        case Arguments::Help:
            WriteText(Stream::Out, HelpText());
            return EXIT_DONE;
        case Arguments::Version:
            WriteText(Stream::Out, std::string("ombrix ") + OMBRIX_VERSION + " (SQLite " +
                                       SqliteVersion() + ")\n");
            return EXIT_DONE;
        case Arguments::Run:
            break;
    }
    return RunCommand(arguments);
}
