// The console program's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_query.h"
#include "cli/commands.h"

struct Arguments {
    enum Action { Run, Help, Version } action = Run;
    const Command* command = nullptr;
    std::string port;
    std::string file;  // the list file of write-users and write-standards, backup's copy; UTF-8
    std::vector<std::string> files;  // the record CSV files and archives of import, UTF-8
    std::string csv;                 // where a read goes; STANDARD_OUTPUT_PATH when not given
    std::string html;                // the report's file, UTF-8
    bool utf8 = false;
    bool yes = false;
    bool force = false;   // clear-records: clear what is not proven archived
    std::string archive;  // --archive FILE; empty: the user's own
    bool noArchive = false;
    ArchiveFilter filter;    // history's and report's --from, --to, --standard, --user, --verdict,
                             // history's --open; note's --standard and --user
    std::string site;        // --site CONN: the site archive's ODBC connection string
    std::string siteFile;    // --site-file FILE: the same, read from the file's one line
    std::string siteAction;  // site set, show or test
    bool machine = false;    // site set --machine: for every account of the PC (Windows)
    std::string pc;          // --pc NAME: the site's rows of one computer
    bool retryRefused = false;  // --retry-refused: sync sends the rows the site refused again
    // --show-ids: the report's ID2, and the site's rows', in full (hidden but the first
    // character otherwise)
    bool showIds = false;
    bool replace = false;  // --replace: backup writes over an existing file
    std::string at;        // note's --at "YYYY-MM-DD HH:MM:SS": the measurement's time
    std::string text;      // note's action text, UTF-8
    // --retest-hours N: report's window of the likely retest; none: the PC's setting
    std::optional<int64_t> retestWindow;
};

// False with a one-line reason when the words are no valid command line (exit status 2).
bool ParseArguments(const std::vector<std::string>& words, Arguments& out, std::string& error);

// What --help prints.
std::string HelpText();
