#include "sim/state_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "text/code_page.h"

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The rest of a line after the numeric fields: the name.
std::string RestOfLine(std::istringstream& in) {
    std::string rest;
    std::getline(in, rest);
    return Trim(rest);
}

bool ParseUser(std::istringstream& in, SimState& state) {
    long long id1, id2;
    if (!(in >> id1 >> id2)) return false;
    state.users.push_back(
        {static_cast<int32_t>(id1), static_cast<int32_t>(id2), NameFromFileText(RestOfLine(in))});
    return true;
}

bool ParseStandard(std::istringstream& in, SimState& state) {
    unsigned long safe, danger;
    if (!(in >> safe >> danger) || safe > 0xFFFF || danger > 0xFFFF) return false;
    state.standards.push_back({static_cast<uint16_t>(safe), static_cast<uint16_t>(danger),
                               NameFromFileText(RestOfLine(in))});
    return true;
}

bool ParseRecord(std::istringstream& in, SimState& state) {
    unsigned user, standard, value;
    std::string date, clock;
    if (!(in >> user >> standard >> value >> date >> clock)) return false;
    unsigned year, month, day, hour, minute, second;
    if (std::sscanf(date.c_str(), "%u-%u-%u", &year, &month, &day) != 3) return false;
    if (std::sscanf(clock.c_str(), "%u:%u:%u", &hour, &minute, &second) != 3) return false;
    if (user > 255 || standard > 255 || value > 0xFFFF || year < 2000 || year > 2255) return false;
    const unsigned fields[5] = {month, day, hour, minute, second};
    SimRecord record;
    record.user = static_cast<uint8_t>(user);
    record.standard = static_cast<uint8_t>(standard);
    record.value = static_cast<uint16_t>(value);
    record.time[0] = static_cast<uint8_t>(year - 2000);
    for (int i = 0; i < 5; ++i) {
        if (fields[i] > 255) return false;
        record.time[i + 1] = static_cast<uint8_t>(fields[i]);
    }
    state.records.push_back(record);
    return true;
}

bool ParseLine(const std::string& line, SimState& state) {
    std::istringstream in(line);
    std::string kind;
    in >> kind;
    if (kind == "user") return state.users.size() < size_t{MAX_USERS} && ParseUser(in, state);
    if (kind == "standard")
        return state.standards.size() < size_t{MAX_STANDARDS} && ParseStandard(in, state);
    if (kind == "record")
        return state.records.size() < size_t{MAX_RECORDS} && ParseRecord(in, state);
    return false;
}

}  // namespace

std::string NameFromFileText(const std::string& text) {
    std::string johab;
    std::string plain;
    auto flushPlain = [&] {
        johab += ConvertText(plain, CP_UTF8_TEXT, CP_JOHAB);
        plain.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
            plain += '\\';
            ++i;
        } else if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
                   HexDigit(text[i + 2]) >= 0 && HexDigit(text[i + 3]) >= 0) {
            flushPlain();
            johab += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
            i += 3;
        } else {
            plain += text[i];
        }
    }
    flushPlain();
    return johab.size() > SIM_NAME_BYTES ? johab.substr(0, SIM_NAME_BYTES) : johab;
}

std::string NameToFileText(const std::string& johab) {
    std::string out;
    for (size_t i = 0; i < johab.size();) {
        const unsigned char lead = static_cast<unsigned char>(johab[i]);
        const size_t length = lead >= 0x80 && i + 1 < johab.size() ? 2 : 1;
        const std::string character = johab.substr(i, length);
        const std::string utf8 = ConvertText(character, CP_JOHAB, CP_UTF8_TEXT);
        if (lead == '\\') {
            out += "\\\\";
        } else if (lead < 0x80) {
            out += character;
        } else if (utf8.empty() || utf8 == "?") {
            for (unsigned char byte : character) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
                out += escaped;
            }
        } else {
            out += utf8;
        }
        i += length;
    }
    return out;
}

bool ParseSimStateText(const std::string& text, SimState& state, std::string& error) {
    SimState parsed;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#') continue;
        if (!ParseLine(trimmed, parsed)) {
            error = "line " + std::to_string(number) + ": cannot read \"" + trimmed + "\"";
            return false;
        }
    }
    state = std::move(parsed);
    return true;
}

std::string FormatSimStateText(const SimState& state) {
    std::ostringstream out;
    out << "# Ombrix simulator state\n";
    for (const SimUser& user : state.users)
        out << "user " << user.id1 << ' ' << user.id2 << ' ' << NameToFileText(user.name) << '\n';
    for (const SimStandard& standard : state.standards)
        out << "standard " << standard.safe << ' ' << standard.danger << ' '
            << NameToFileText(standard.name) << '\n';
    for (const SimRecord& record : state.records) {
        char line[96];
        std::snprintf(line, sizeof line, "record %u %u %u %04u-%02u-%02u %02u:%02u:%02u\n",
                      record.user, record.standard, record.value, 2000u + record.time[0],
                      record.time[1], record.time[2], record.time[3], record.time[4],
                      record.time[5]);
        out << line;
    }
    return out.str();
}

bool LoadSimState(const std::string& path, SimState& state, std::string& error) {
    std::ifstream file(std::filesystem::u8path(path), std::ios::binary);
    if (!file) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (!ParseSimStateText(text.str(), state, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool SaveSimState(const std::string& path, const SimState& state, std::string& error) {
    const std::filesystem::path target = std::filesystem::u8path(path);
    std::filesystem::path temporary = target;
    temporary += ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file || !(file << FormatSimStateText(state)) || !file.flush()) {
            error = path + ".tmp: cannot write: " + std::strerror(errno);
            return false;
        }
    }
    // Replaces an existing file on every platform.
    std::error_code failure;
    std::filesystem::rename(temporary, target, failure);
    if (failure) error = path + ": cannot replace: " + failure.message();
    return !failure;
}
