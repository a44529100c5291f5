#include "cli/arguments.h"

#include "cli/output_target.h"
#include "cli/port_name.h"

namespace {

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

bool CheckCommand(Arguments& out, const std::vector<std::string>& operands, std::string& error) {
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
    const size_t expected = out.command->readsFile ? 2 : 1;
    if (operands.size() != expected) {
        error = out.command->readsFile ? name + " takes one list file"
                                       : "unexpected \"" + operands[expected] + "\"";
        return false;
    }
    if (out.command->readsFile) out.file = operands[1];
    if (!out.command->writesCsv && (!out.csv.empty() || out.utf8)) {
        error = name + " writes no file: --csv and --utf8 do not apply";
        return false;
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
    if (out.csv.empty()) out.csv = STANDARD_OUTPUT_PATH;
    return true;
}

}  // namespace

bool ParseArguments(const std::vector<std::string>& words, Arguments& out, std::string& error) {
    out = Arguments{};
    error.clear();
    std::vector<std::string> operands;
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
        } else if (word == "--yes") {
            out.yes = true;
        } else if (word == "--utf8") {
            out.utf8 = true;
        } else if (!TakeValue(words, i, "--port", out.port, error) &&
                   !TakeValue(words, i, "--csv", out.csv, error)) {
            error = "unknown option \"" + word + "\"";
        }
    }
    return error.empty() && CheckCommand(out, operands, error);
}

std::string HelpText() {
    return R"(ombrix: the Ombrix instrument from the command line.

  ombrix --port PORT users            [--csv FILE] [--utf8]
  ombrix --port PORT standards        [--csv FILE] [--utf8]
  ombrix --port PORT records          [--csv FILE] [--utf8]
  ombrix --port PORT write-users FILE      --yes
  ombrix --port PORT write-standards FILE  --yes
  ombrix --port PORT clear-records         --yes
  ombrix --help | --version

PORT       COM1 to COM256 on Windows; a device path such as /dev/ttyUSB0 elsewhere.
users, standards
           read the instrument's list and write it as the list file the window saves
           (first line "No.,이름,ID1,ID2" or "No.,측정기준,안전지수,위험지수").
records    read the users, the standards and every record, newest first, and write the
           record CSV as the window's "CSV파일로 저장" does.
--csv FILE write to FILE in code page 949, byte for byte as the window does; without it
           (or with "--csv -") the text goes to standard output in UTF-8.
--utf8     FILE in UTF-8 with a byte-order mark instead.
write-users FILE, write-standards FILE
           load a list file (code page 949 or UTF-8, checked as the window loads it) and
           replace the instrument's whole list by it.
clear-records
           delete every measurement record on the instrument.
--yes      the three commands that replace or delete what the instrument holds run only
           with it.

Every message the window would show goes to standard error, one line each.

Exit status:
  0  done
  2  wrong usage (nothing sent)
  3  the port cannot be opened
  4  no reply from the instrument
  5  the instrument refused or stopped the operation (records on it, list full, not
     deleted, nothing to read)
  6  a file could not be read, was not a valid list file, or could not be written
)";
}
