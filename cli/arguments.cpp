#include "cli/arguments.h"

#include <utility>

#include "archive/archive_actions.h"
#include "cli/output_target.h"
#include "cli/port_name.h"
#include "measurement/record_words.h"
#include "measurement/time_text.h"

namespace {

// The options that take no value and only switch something on.
bool* FlagOf(Arguments& out, const std::string& word) {
    const std::pair<const char*, bool Arguments::*> flags[] = {
        {"--yes", &Arguments::yes},
        {"--force", &Arguments::force},
        {"--utf8", &Arguments::utf8},
        {"--no-archive", &Arguments::noArchive},
        {"--retry-refused", &Arguments::retryRefused},
        {"--show-ids", &Arguments::showIds},
        {"--machine", &Arguments::machine},
        {"--replace", &Arguments::replace},
    };
    for (const auto& [name, member] : flags)
        if (word == name) return &(out.*member);
    return nullptr;
}

// "--port VALUE" or "--port=VALUE"; false when `word` is not that option.
bool TakeValue(const std::vector<std::string>& words, size_t& i, const std::string& option,
               std::string& value, std::string& error) {
    const std::string& word = words[i];
    if (word.rfind(option + "=", 0) == 0) {
        value = word.substr(option.size() + 1);
    } else if (word == option) {
        if (i + 1 >= words.size()) {
            error = option + " needs a value";
            return true;
        }
        value = words[++i];
    } else {
        return false;
    }
    if (value.empty() && error.empty()) error = option + " needs a value";
    return true;
}

// The words of --verdict, in the order of Verdict.
bool AddVerdict(const std::string& word, ArchiveFilter& filter, std::string& error) {
    const char* const words[] = {VERDICT_SAFE_UTF8, VERDICT_CAUTION_UTF8, VERDICT_DIRTY_UTF8};
    for (int i = 0; i < 3; ++i)
        if (word == words[i]) {
            const unsigned bit = VerdictBit(static_cast<Verdict>(i));
            filter.verdicts = filter.verdicts == ALL_VERDICTS ? bit : filter.verdicts | bit;
            return true;
        }
    error = "--verdict is " + std::string(words[0]) + ", " + words[1] + " or " + words[2];
    return false;
}

// The options of history (and of the report, which takes the same filters).
struct FilterWords {
    std::string from, to, standard, user, verdict;
    bool any = false;
};

bool TakeFilterOption(const std::vector<std::string>& words, size_t& i, FilterWords& filter,
                      Arguments& out, std::string& error) {
    std::string* const values[] = {&filter.from, &filter.to, &filter.standard, &filter.user,
                                   &filter.verdict};
    const char* const options[] = {"--from", "--to", "--standard", "--user", "--verdict"};
    for (size_t k = 0; k < 5; ++k) {
        if (!TakeValue(words, i, options[k], *values[k], error)) continue;
        filter.any = true;
        if (!error.empty()) return true;
        if (k == 2) out.filter.standard = filter.standard;
        if (k == 3) out.filter.user = filter.user;
        if (k == 4) AddVerdict(filter.verdict, out.filter, error);
        return true;
    }
    return false;
}

bool CheckOperands(Arguments& out, const std::vector<std::string>& operands, std::string& error) {
    const std::string& name = operands[0];
    if (out.command->site == Command::ConfiguresSite) {
        if (operands.size() == 2) out.siteAction = operands[1];
        const bool known =
            out.siteAction == "set" || out.siteAction == "show" || out.siteAction == "test";
        if (!known) error = "site is followed by set, show or test";
        return known;
    }
    if (out.command->copiesArchive) {
        if (operands.size() != 2) error = name + " takes one file: the copy to write";
        if (error.empty()) out.file = operands[1];
        return error.empty();
    }
    if (out.command->notes) {
        if (operands.size() == 2 && !operands[1].empty())
            out.text = operands[1];
        else
            error = name + " takes one text: what was done";
        return error.empty();
    }
    if (out.command->runOnArchive && !out.command->takesFilter &&
        out.command->site != Command::PushesToSite) {
        out.files.assign(operands.begin() + 1, operands.end());
        if (out.files.empty()) error = name + " takes one or more record CSV files";
        return error.empty();
    }
    const size_t expected = out.command->readsFile ? 2 : 1;
    if (operands.size() != expected) {
        error = out.command->readsFile ? name + " takes one list file"
                                       : "unexpected \"" + operands[expected] + "\"";
        return false;
    }
    if (out.command->readsFile) out.file = operands[1];
    return true;
}

bool CheckArchiveOptions(Arguments& out, const FilterWords& filter, std::string& error) {
    const std::string name = out.command->name;
    if (out.showIds && !out.command->takesFilter) {
        error = name + " shows no personal numbers: --show-ids applies to history and report";
        return false;
    }
    if (filter.any && !out.command->takesFilter && !out.command->notes) {
        error = name +
                " takes no filter: --from, --to, --standard, --user and --verdict apply "
                "to history and report";
        return false;
    }
    if (out.command->writesHtml != !out.html.empty()) {
        error = out.command->writesHtml ? name + " needs --html FILE"
                                        : name + " writes no report: --html does not apply";
        return false;
    }
    if (!SetFilterDays(filter.from, filter.to, out.filter)) {
        error = "--from and --to are days: YYYY-MM-DD";
        return false;
    }
    if (out.force && !out.command->mayForce) {
        error = name + " clears nothing unproven: --force applies to clear-records";
        return false;
    }
    if (out.noArchive && (!out.command->archivesReads || out.command->clearsOnlyArchived)) {
        error = name + (out.command->archivesReads        ? " archives what it clears"
                        : out.command->clearsOnlyArchived ? " keeps a forced clear in the archive"
                                                          : " archives nothing");
        error += ": --no-archive does not apply";
        return false;
    }
    return true;
}

bool CheckSiteOptions(const Arguments& out, std::string& error) {
    const std::string name = out.command->name;
    const bool siteNamed = !out.site.empty() || !out.siteFile.empty();
    if (siteNamed && out.command->site == Command::NoSite)
        error = name + " does not use the site archive: --site applies to sync, history and report";
    else if (!out.site.empty() && !out.siteFile.empty())
        error = "--site and --site-file both name the site: give one";
    else if (!out.site.empty() && out.siteAction == "set")
        error =
            "site set reads the connection string from standard input or --site-file, never from "
            "its own arguments (a password there is in the process list and the shell's history)";
    else if (out.machine && out.siteAction != "set")
        error = "--machine applies to site set";
    else if (!out.pc.empty() && (out.command->site != Command::ReadsSite || !siteNamed))
        error =
            "--pc chooses the rows of one computer in the site archive: history and report "
            "with --site";
    else if (out.retryRefused && out.command->site != Command::PushesToSite)
        error = "--retry-refused sends the rows the site refused again: sync only";
    else if (out.replace && !out.command->copiesArchive)
        error = "--replace lets backup write over an existing file: backup only";
    return error.empty();
}

// note names one measurement by its time and standard (and its user, where two share them);
// --open lists the archive's open results.
bool CheckNoteOptions(const Arguments& out, const FilterWords& filter, std::string& error) {
    const std::string name = out.command->name;
    const bool notes = out.command->notes;
    if (!notes && !out.at.empty())
        error = "--at names the measurement that note records an action on: note only";
    else if (out.filter.openOnly && (name != "history" || !out.site.empty()))
        error = "--open lists the archive's open results: history without --site only";
    else if (notes && !SecondsFromTimeText(out.at))
        error = "note needs --at \"YYYY-MM-DD HH:MM:SS\"";
    else if (notes && !out.filter.standard)
        error = "note needs --standard NAME";
    else if (notes && (!filter.from.empty() || !filter.to.empty() || !filter.verdict.empty()))
        error = "note takes --at, --standard and --user: --from, --to and --verdict do not apply";
    return error.empty();
}

// The window of the likely retest is the local report's alone: the site's report shows none.
bool CheckRetestOption(const Arguments& out, const std::string& hours, std::string& error) {
    if (hours.empty()) return true;
    if (!out.retestWindow)
        error = "--retest-hours takes whole hours from 1 to " + std::to_string(MAX_RETEST_HOURS);
    else if (std::string(out.command->name) != "report" || !out.site.empty())
        error =
            "--retest-hours sets how long after a result its likely retest is looked for: "
            "report without --site only";
    return error.empty();
}

bool CheckCommand(Arguments& out, const std::vector<std::string>& operands,
                  const FilterWords& filter, const std::string& retestHours, std::string& error) {
    if (operands.empty()) {
        error = "no command given";
        return false;
    }
    out.command = FindCommand(operands[0]);
    const std::string name = operands[0];
    if (!out.command) {
        error = "unknown command \"" + name + "\"";
        return false;
    }
    if (!CheckOperands(out, operands, error) || !CheckArchiveOptions(out, filter, error) ||
        !CheckSiteOptions(out, error) || !CheckNoteOptions(out, filter, error) ||
        !CheckRetestOption(out, retestHours, error))
        return false;
    if (!out.command->writesCsv && (!out.csv.empty() || out.utf8)) {
        error = name + " writes no file: --csv and --utf8 do not apply";
        return false;
    }
    if (out.csv.empty()) out.csv = STANDARD_OUTPUT_PATH;
    if (out.command->runOnArchive) {
        if (!out.port.empty()) error = name + " works on the archive alone: --port does not apply";
        return error.empty();
    }
    if (out.port.empty()) {
        error = "--port is missing";
        return false;
    }
    if (!CheckPortName(out.port, error)) return false;
    if (out.command->changesDevice && !out.yes) {
        error = name + " replaces or deletes what the device holds: confirm it with --yes";
        return false;
    }
    return true;
}

}  // namespace

bool ParseArguments(const std::vector<std::string>& words, Arguments& out, std::string& error) {
    out = Arguments{};
    error.clear();
    std::vector<std::string> operands;
    FilterWords filter;
    std::string retestHours;
    bool optionsEnded = false;
    for (size_t i = 0; i < words.size() && error.empty(); ++i) {
        const std::string& word = words[i];
        if (optionsEnded || word.empty() || word[0] != '-' || word == STANDARD_OUTPUT_PATH) {
            operands.push_back(word);
        } else if (word == "--") {
            optionsEnded = true;
        } else if (word == "--help" || word == "-h") {
            out.action = Arguments::Help;
            return true;
        } else if (word == "--version") {
            out.action = Arguments::Version;
            return true;
        } else if (bool* flag = FlagOf(out, word)) {
            *flag = true;
        } else if (word == "--open") {
            out.filter.openOnly = true;
        } else if (!TakeValue(words, i, "--port", out.port, error) &&
                   !TakeValue(words, i, "--csv", out.csv, error) &&
                   !TakeValue(words, i, "--html", out.html, error) &&
                   !TakeValue(words, i, "--archive", out.archive, error) &&
                   !TakeValue(words, i, "--site", out.site, error) &&
                   !TakeValue(words, i, "--site-file", out.siteFile, error) &&
                   !TakeValue(words, i, "--pc", out.pc, error) &&
                   !TakeValue(words, i, "--at", out.at, error) &&
                   !TakeValue(words, i, "--retest-hours", retestHours, error) &&
                   !TakeFilterOption(words, i, filter, out, error)) {
            error = "unknown option \"" + word + "\"";
        }
    }
    if (!retestHours.empty()) out.retestWindow = RetestWindowOf(retestHours);
    return error.empty() && CheckCommand(out, operands, filter, retestHours, error);
}

std::string HelpText() {
    return R"(ombrix: the Ombrix instrument from the command line.

  ombrix --port PORT users            [--csv FILE] [--utf8]
  ombrix --port PORT standards        [--csv FILE] [--utf8]
  ombrix [--archive FILE] --port PORT records [--csv FILE] [--utf8] [--no-archive]
  ombrix --port PORT write-users FILE      --yes
  ombrix --port PORT write-standards FILE  --yes
  ombrix [--archive FILE] --port PORT clear-records --yes [--force]
  ombrix [--archive FILE] --port PORT download --yes
  ombrix [--archive FILE] import FILE...
  ombrix [--archive FILE] backup FILE [--replace]
  ombrix [--archive FILE] history [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--standard NAME]
         [--user NAME] [--verdict 안전|주의|오염]... [--open] [--csv FILE] [--utf8]
  ombrix [--archive FILE] note --at "YYYY-MM-DD HH:MM:SS" --standard NAME [--user NAME] TEXT
  ombrix [--archive FILE] report --html FILE [the filters of history] [--show-ids]
         [--retest-hours N]
  ombrix [--archive FILE] [--site CONN | --site-file FILE] sync [--retry-refused]
  ombrix --site CONN | --site-file FILE history|report ... [--pc NAME] [--show-ids]
  ombrix site set [--machine] [--site-file FILE]      (else the string on standard input)
  ombrix [--site CONN | --site-file FILE] site show|test
  ombrix --help | --version

PORT       COM1 to COM256 on Windows; a device path such as /dev/ttyUSB0 elsewhere.
users, standards
           read the instrument's list and write it as the list file the window saves
           (first line "No.,이름,ID1,ID2" or "No.,측정기준,안전지수,위험지수").
records    read the users, the standards and every record, newest first, and write the
           record CSV as the window's "CSV파일로 저장" does; the records are kept in the
           archive as the window keeps them (--no-archive: not).
--csv FILE write to FILE in code page 949, byte for byte as the window does; without it
           (or with "--csv -") the text goes to standard output in UTF-8.
--utf8     FILE in UTF-8 with a byte-order mark instead.
write-users FILE, write-standards FILE
           load a list file (code page 949 or UTF-8, checked as the window loads it) and
           replace the instrument's whole list by it.
clear-records
           delete every measurement record on the instrument. It reads none, so it clears a
           log that holds records only with --force, and keeps that clear (its time, count,
           user and port) in the archive for the audit report.
download   read and archive every record, then clear the instrument's log and check that it
           is empty. The log is cleared only when it is proven to be in the archive: its
           count is the count just read and archived, and its newest record, read again, is
           the one read.
--yes      the four commands that replace or delete what the instrument holds run only
           with it.
--force    clear-records: clear a log that is not proven archived all the same.
--archive FILE
           the measurement archive (SQLite) to use instead of the user's own:
           %LOCALAPPDATA%\Kavenor\Ombrix_Tessaly\archive.sqlite3 on Windows,
           ${XDG_DATA_HOME:-~/.local/share}/ombrix/archive.sqlite3 elsewhere.
import FILE...
           keep the measurements of record CSV files (as the window or this program writes
           them) in the archive; a file with a bad line adds nothing. A FILE may also be an
           archive of this program (a backup, another PC's archive.sqlite3, of any version):
           it is read without being changed and its measurements are merged, each kept once.
backup FILE
           copy the archive to FILE in one step, while the window or another ombrix may be
           writing it, and check the copy (SQLite's integrity check) before saying done. An
           existing FILE is refused unless --replace, which replaces it only once the new
           copy has passed. Restore a backup with import.
history    write the archived measurements, newest first, as the record CSV; --from and --to
           are days (both included), --verdict may be given more than once; --open keeps
           the open results alone: 주의 and 오염 without a recorded corrective action.
note TEXT  record TEXT as the corrective action on the one 주의 or 오염 measurement taken at
           --at of the standard --standard (--user NAME: of that user, where two users
           measured the standard in the same second), signed with the Windows user and the
           PC's time. A second note on it corrects the first; both are kept.
report     write the audit report of the filtered measurements as one HTML file (UTF-8,
           nothing fetched, prints on A4): the counts, a table per standard, the chart and
           the "오염" results. ID2 of the operator's number ("고유번호") shows its first
           character only ("1******").
--show-ids the report's ID2 in full, and the site's rows' (history --site), which are
           otherwise hidden the same way.
--retest-hours N
           report: a failed result's likely retest is the next measurement of its standard
           from its source within N hours (whole hours, 1 to 720); without it the PC's
           setting: OMBRIX_RETEST_HOURS, else the registry value RetestHours (HKLM, then
           HKCU, under Software\Kavenor\Ombrix_Tessaly), else 24.
sync       push every archived measurement that the site archive does not have yet (an ODBC
           database that every PC's archive flows into) and say how many went and how many
           were there already. A row the site refuses for its content (a constraint, a
           column too narrow) is set aside with the server's reason, listed, and the rows
           after it go on.
--retry-refused
           sync sends the rows set aside again first (after the site has been changed).
--site CONN
           the site archive's ODBC connection string ("DSN=OmbrixSite" or
           "Driver={PostgreSQL Unicode};Server=...;Database=...;Uid=...;Trusted_Connection=yes").
           Never a password here: every local user sees the process list, the shell keeps it.
--site-file FILE
           the same, read from the one line of FILE (UTF-8); elsewhere than Windows refused
           when its group or others may read it.
           Without either, sync takes the site from OMBRIX_SITE, the file OMBRIX_SITE_FILE
           names, or what site set stored: the registry value SiteArchive (HKLM, then HKCU,
           under Software\Kavenor\Ombrix_Tessaly; protected with DPAPI or plain) on Windows,
           ${XDG_CONFIG_HOME:-~/.config}/ombrix/site elsewhere. history and report read the
           site's rows, every PC's, instead of the archive's; --pc NAME keeps one computer's;
           ID2 shows its first character only unless --show-ids. A password is never shown.
site set   store the connection string read from standard input (or --site-file) where sync
           and the window find it: on Windows in HKCU protected with the user's DPAPI key, or
           with --machine in HKLM with the machine's key (every local account can decrypt it);
           elsewhere in ${XDG_CONFIG_HOME:-~/.config}/ombrix/site, readable by its owner only.
site show  print the connection string sync would use, and where it comes from, masked.
site test  connect (creating nothing) and say which server, database and login it reached.

Every message the window would show goes to standard error, one line each.

Exit status:
  0  done
  2  wrong usage (nothing sent); no site set, or a site file refused (others may read it)
  3  the port cannot be opened
  4  no reply from the instrument
  5  the instrument refused or stopped the operation (records on it, list full, not
     deleted, nothing to read)
  6  a file could not be read, was not a valid list or record file, or could not be written;
     site set could not store the setting; backup: the copy could not be written, or FILE
     exists without --replace
  7  the archive could not be opened or written (backup: not read; import: a FILE that is
     another program's database or a later version's archive)
  8  the site archive could not be reached or refused (the driver's words on standard error)
  9  not cleared: the records are not all in the archive (the reason on standard error)
 10  the site archive refused some rows for their content: they are set aside, listed on
     standard error, and sent again by sync --retry-refused
 11  note: no measurement or more than one matches, or the one that matches is 안전 (the
     reason on standard error); nothing recorded
)";
}
