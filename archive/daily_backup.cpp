#include "archive/daily_backup.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "measurement/local_clock.h"
#include "measurement/time_text.h"

namespace {

namespace fs = std::filesystem;

constexpr char kPrefix[] = "archive-";
constexpr char kSuffix[] = ".sqlite3";
constexpr size_t kDayLength = 10;  // YYYY-MM-DD

bool IsDay(const std::string& text) {
    if (text.size() != kDayLength) return false;
    for (size_t i = 0; i < kDayLength; ++i) {
        const bool dash = i == 4 || i == 7;
        if (dash ? text[i] != '-' : !std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
    }
    return true;
}

// The day of a copy of `user`'s, or empty for any other name.
std::string DayOf(const std::string& name, const std::string& user) {
    const std::string start = kPrefix + user + "-";
    const std::string end = kSuffix;
    if (name.size() != start.size() + kDayLength + end.size()) return {};
    if (name.compare(0, start.size(), start) != 0) return {};
    if (name.compare(name.size() - end.size(), end.size(), end) != 0) return {};
    const std::string day = name.substr(start.size(), kDayLength);
    return IsDay(day) ? day : std::string();
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(fs::u8path(folder), error), end; !error && it != end;
         it.increment(error))
        names.push_back(it->path().filename().u8string());
    return names;
}

}  // namespace

std::string DailyBackupName(const std::string& user, const std::string& day) {
    return kPrefix + user + "-" + day + kSuffix;
}

std::vector<std::string> DailyBackupsToRemove(const std::vector<std::string>& names,
                                              const std::string& user, size_t kept) {
    std::vector<std::string> copies;
    for (const std::string& name : names)
        if (!DayOf(name, user).empty()) copies.push_back(name);
    if (copies.size() <= kept) return {};
    // The day is the name's only difference: the names sort as their days do.
    std::sort(copies.begin(), copies.end());
    copies.resize(copies.size() - kept);
    return copies;
}

DailyBackupOutcome MakeDailyBackup(const std::string& archivePath, const std::string& folder,
                                   const std::string& user, const std::string& day) {
    DailyBackupOutcome outcome;
    const fs::path copy = fs::u8path(folder) / fs::u8path(DailyBackupName(user, day));
    outcome.copy = copy.u8string();
    std::error_code error;
    if (fs::exists(copy, error)) return outcome;
    outcome.backup = BackupArchive(archivePath, outcome.copy, false);
    outcome.made = outcome.backup.kind == BackupOutcome::Done;
    if (!outcome.made) return outcome;
    for (const std::string& old : DailyBackupsToRemove(NamesIn(folder), user))
        fs::remove(fs::u8path(folder) / fs::u8path(old), error);
    return outcome;
}

DailyBackupOutcome MakeTodaysBackup(const std::string& archivePath, const std::string& folder,
                                    const std::string& user) {
    const std::string day = TimeText(LocalNowSeconds()).substr(0, kDayLength);
    return MakeDailyBackup(archivePath, folder, user, day);
}
