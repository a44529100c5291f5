#include "cli/commands.h"

#include "cli/archive_commands.h"
#include "cli/site_commands.h"
#include "res/resource.h"

namespace {

using D = COmbrix_TessalyDlg;

const Command kCommands[] = {
    {"users",
     false,
     true,
     false,
     {{&D::OnReadUsers, true, IDS_USER_READ_DONE, {}}, {&D::OnExportUsers, false, 0, {}}}},
    {"standards",
     false,
     true,
     false,
     {{&D::OnReadStandards, true, IDS_STANDARD_READ_DONE, {}},
      {&D::OnExportStandards, false, 0, {}}}},
    // The record read reads the users and the standards first; a device without either still
    // has its records read.
    {"records",
     false,
     true,
     false,
     {{&D::OnReadRecords,
       true,
       IDS_RECORD_READ_DONE,
       {IDS_USER_READ_DONE, IDS_USER_NONE, IDS_STANDARD_READ_DONE, IDS_STANDARD_NONE}},
      {&D::OnSaveCsv, false, 0, {}}},
     true},
    // Read and archive every record, then clear the log: an empty log is done at once.
    {"download",
     false,
     false,
     true,
     {{&D::OnReadRecords,
       true,
       IDS_RECORD_READ_DONE,
       {IDS_USER_READ_DONE, IDS_USER_NONE, IDS_STANDARD_READ_DONE, IDS_STANDARD_NONE},
       IDS_RECORD_NONE},
      {&D::OnDeleteAllRecords, false, 0, {}},
      {&D::OnClearDeviceRecords, true, IDS_RECORD_CLEARED, {}, IDS_RECORD_NONE}},
     true,
     true},
    {"import", false, false, false, {}, false, false, RunImport},
    {"backup",
     false,
     false,
     false,
     {},
     false,
     false,
     RunBackup,
     false,
     false,
     Command::NoSite,
     false,
     true},
    {"history", false, true, false, {}, false, false, RunHistory, true, false, Command::ReadsSite},
    {"report", false, false, false, {}, false, false, RunReport, true, true, Command::ReadsSite},
    {"sync", false, false, false, {}, false, false, RunSync, false, false, Command::PushesToSite},
    {"site", false, false, false, {}, false, false, RunSite, false, false, Command::ConfiguresSite},
    {"note",
     false,
     false,
     false,
     {},
     false,
     false,
     RunNote,
     false,
     false,
     Command::NoSite,
     false,
     false,
     true},
    {"write-users",
     true,
     false,
     true,
     {{&D::OnImportUsers, false, IDS_LIST_FILE_LOADED, {}},
      {&D::OnWriteUsers, true, IDS_USER_WRITE_DONE, {}}}},
    {"write-standards",
     true,
     false,
     true,
     {{&D::OnImportStandards, false, IDS_LIST_FILE_LOADED, {}},
      {&D::OnWriteStandards, true, IDS_STANDARD_WRITE_DONE, {}}}},
    // Reads nothing: a log is cleared only with --force, and the archive keeps that.
    {"clear-records",
     false,
     false,
     true,
     {{&D::OnClearDeviceRecords, true, IDS_RECORD_CLEARED, {}}},
     false,
     true,
     nullptr,
     false,
     false,
     Command::NoSite,
     true},
};

bool IsFileText(int textId) {
    switch (textId) {
        case IDS_LIST_FILE_NOT_A_LIST:
        case IDS_LIST_FILE_BAD_CELL:
        case IDS_USER_LIMIT:  // more rows in the file than a list holds
        case IDS_STANDARD_LIMIT:
        case IDS_IMPORT_NOT_RECORD_FILE:
        case IDS_IMPORT_BAD_CELL:
            return true;
        default:
            return textId >= IDS_FILE_UNKNOWN && textId <= IDS_FILE_DISK_FULL;
    }
}

}  // namespace

const Command* FindCommand(const std::string& name) {
    for (const Command& command : kCommands)
        if (name == command.name) return &command;
    return nullptr;
}

int ExitStatusOfBox(int textId) {
    if (textId == IDS_DELAY || textId == IDS_DELAY_OMBRIX) return EXIT_NO_REPLY;
    if (textId >= IDS_ARCHIVE_LOCKED && textId <= IDS_ARCHIVE_UNKNOWN) return EXIT_ARCHIVE;
    return IsFileText(textId) ? EXIT_FILE : EXIT_STOPPED;
}
