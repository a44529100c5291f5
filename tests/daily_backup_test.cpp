// The daily copies of the archive in the PC's backup folder: today's made once, the user's newest
// 14 kept, and every other file of the folder (another user's copies above all) left alone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "archive/archive_file.h"
#include "archive/daily_backup.h"
#include "tests/support/list_feed.h"
#include "tests/support/run_program.h"

namespace {

namespace fs = std::filesystem;

// The names of `count` daily copies of `user`, a day apart from 2026-01-01.
std::vector<std::string> CopiesOf(const std::string& user, int count) {
    std::vector<std::string> names;
    for (int day = 1; day <= count; ++day) {
        const int month = 1 + (day - 1) / 28, dayOfMonth = 1 + (day - 1) % 28;
        const auto two = [](int n) { return std::string(n < 10 ? "0" : "") + std::to_string(n); };
        names.push_back(DailyBackupName(user, "2026-" + two(month) + "-" + two(dayOfMonth)));
    }
    return names;
}

TEST(DailyBackup, TheUsersNewestAreKeptAndNoOtherFileIsNamed) {
    const std::vector<std::string> others = {
        "archive-kim-2-2026-01-01.sqlite3",  // user "kim-2", whose name begins as kim's
        "archive-lee-2026-01-01.sqlite3",
        "archive-kim-2026-01-01.sqlite3.partial",
        "archive-kim-2026-1-01.sqlite3",
        "archive-kim-latest.sqlite3",
        "notes.txt",
        "archive-KIM-2026-01-01.sqlite3"};
    const struct {
        int copies;
        size_t removed;
    } cases[] = {{0, 0}, {14, 0}, {15, 1}, {30, 16}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.copies);
        std::vector<std::string> names = others;
        const std::vector<std::string> copies = CopiesOf("kim", c.copies);
        // Listed in no particular order, as a folder lists them.
        names.insert(names.begin() + 2, copies.rbegin(), copies.rend());
        const std::vector<std::string> removed = DailyBackupsToRemove(names, "kim");
        EXPECT_EQ(removed, std::vector<std::string>(copies.begin(), copies.begin() + c.removed));
    }
}

TEST(DailyBackup, TodaysCopyIsMadeOnceAndTheOldestOfTheUsersGo) {
    const fs::path dir = fs::temp_directory_path() / ("ombrix-daily-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "backups");
    const std::string archive = (dir / "archive.sqlite3").string();
    Measurement row;
    row.measuredAt = "2026-02-01 10:00:00";
    ListFeed feed({row});
    BatchCount count;
    ASSERT_TRUE(ArchiveFile(archive).Keep("COM1", feed, count));

    const std::string folder = (dir / "backups").string();
    std::vector<std::string> untouched = CopiesOf("kim-2", 20);
    untouched.push_back("notes.txt");
    for (const std::string& name : untouched) std::ofstream(dir / "backups" / name) << name;
    for (const std::string& name : CopiesOf("kim", 14))
        std::ofstream(dir / "backups" / name) << "an old copy";

    DailyBackupOutcome outcome = MakeDailyBackup(archive, folder, "kim", "2026-03-01");
    EXPECT_TRUE(outcome.made);
    EXPECT_EQ(outcome.backup.rows, 1);
    outcome = MakeDailyBackup(archive, folder, "kim", "2026-03-01");
    EXPECT_FALSE(outcome.made);
    EXPECT_EQ(outcome.backup.kind, BackupOutcome::Done);

    std::vector<std::string> kept;
    for (const auto& entry : fs::directory_iterator(dir / "backups"))
        kept.push_back(entry.path().filename().string());
    std::vector<std::string> expected = CopiesOf("kim", 14);
    expected.erase(expected.begin());  // the oldest
    expected.push_back(DailyBackupName("kim", "2026-03-01"));
    expected.insert(expected.end(), untouched.begin(), untouched.end());
    std::sort(kept.begin(), kept.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(kept, expected);
    for (const std::string& name : untouched) EXPECT_EQ(FileBytes(dir / "backups" / name), name);

    // A folder that cannot take the copy: the copy's failure, nothing else.
    outcome = MakeDailyBackup(archive, (dir / "none").string(), "kim", "2026-03-02");
    EXPECT_FALSE(outcome.made);
    EXPECT_EQ(outcome.backup.kind, BackupOutcome::CopyFailed);
    fs::remove_all(dir);
}

}  // namespace
