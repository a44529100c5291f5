// The console program's commands: each is one or more of the dialog's own operations in turn,
// and ends well when each shows its completion text and no other box; or it works on the
// archive alone (import, history, report) and needs no device.
#pragma once

#include <string>
#include <vector>

#include "app/main_dialog.h"

struct CommandStep {
    void (COmbrix_TessalyDlg::*operation)();
    bool usesDevice;
    int doneText;  // the box that says it completed; 0: it completes without one
    // Boxes of operations that this one runs first, which do not stop it.
    std::vector<int> passingTexts;
    int otherDoneText = 0;  // a second box that says it completed, 0 for none
};

struct Arguments;
class RecordArchive;

struct Command {
    const char* name;
    bool readsFile;      // takes a list file to write to the device
    bool writesCsv;      // --csv FILE, or standard output
    bool changesDevice;  // replaces or deletes what the device holds: only with --yes
    std::vector<CommandStep> steps;
    // Keeps the records it reads in the archive (unless --no-archive).
    bool archivesReads = false;
    // The device's log is cleared only when it is proven archived: the question that offers to
    // clear it all the same is answered No, unless --force (where `mayForce`) says Yes, and such
    // a clear is kept in the archive.
    bool clearsOnlyArchived = false;
    // A command of the archive alone, instead of steps: its exit status.
    int (*runOnArchive)(const Arguments& arguments, RecordArchive& archive) = nullptr;
    // Reads the archive through the history's filters (--from, --to, --standard, ...).
    bool takesFilter = false;
    bool writesHtml = false;  // --html FILE
    // What --site does: read the site's rows instead of the archive's (history, report), or
    // push the archive's to it (sync).
    // ConfiguresSite: stores, shows or tests the connection string (site set|show|test).
    enum SiteUse { NoSite, ReadsSite, PushesToSite, ConfiguresSite } site = NoSite;
    bool mayForce = false;  // --force clears what is not proven archived
    // Writes one copy of the archive, the file its operand (backup); --replace over an old one.
    bool copiesArchive = false;
    // Records an action on one measurement: --at, --standard, [--user] and the text.
    bool notes = false;
};

// Null for a name that is no command.
const Command* FindCommand(const std::string& name);

// The exit status when an operation shows this box instead of completing: 4 for no reply, 6
// for a file that could not be read, written or taken as a list, 7 for an archive that could not
// be opened or written, 5 for anything else. A clear declined because the records are not all
// in the archive is EXIT_NOT_CLEARED.
int ExitStatusOfBox(int textId);

constexpr int EXIT_DONE = 0;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_PORT = 3;
constexpr int EXIT_NO_REPLY = 4;
constexpr int EXIT_STOPPED = 5;
constexpr int EXIT_FILE = 6;
constexpr int EXIT_ARCHIVE = 7;
constexpr int EXIT_SITE = 8;
constexpr int EXIT_NOT_CLEARED = 9;
constexpr int EXIT_SITE_REFUSED_ROWS = 10;
constexpr int EXIT_NOTE_REFUSED = 11;
