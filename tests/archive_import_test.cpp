// Another archive imported into ours: a file of each version the program has written merges its
// measurements once and is left byte for byte as it was; another program's database or a later
// version's archive is refused by its cause.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>

#include "archive/archive_file.h"
#include "archive/archive_query.h"
#include "archive/archive_schema.h"
#include "records/record_import.h"
#include "res/resource.h"
#include "tests/support/run_program.h"

namespace {

namespace fs = std::filesystem;

// Rows in the columns every version has had since the first: two users (one without ID2), a
// standard, a row without a standard, from two sources.
constexpr char kFirstVersionRows[] =
    "INSERT INTO users VALUES(1, '김', 7, NULL);"
    "INSERT INTO users VALUES(2, '홍길동', 101, 2001);"
    "INSERT INTO standards VALUES(1, NULL);"
    "INSERT INTO standards VALUES(2, '세균');"
    "INSERT INTO sources VALUES(1, 'COM1');"
    "INSERT INTO sources VALUES(2, 'old.csv');"
    "INSERT INTO batches VALUES(1, 1, 0);"
    "INSERT INTO batches VALUES(2, 2, 10);"
    "INSERT INTO readings(id, measured_at, value, user_id, standard_id, user_no, standard_no, "
    "safety_index, danger_index, verdict, batch_id) VALUES"
    "(1, 86400, 5, 1, 1, 1, 0, NULL, NULL, 3, 1),"
    "(2, 86401, 250, 2, 2, NULL, NULL, 100, 200, 2, 2),"
    "(3, 86402, 50, 2, 2, 2, 1, 100, 200, 0, 2);";

class ArchiveImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("ombrix-import-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        path = (dir / "archive.sqlite3").string();
    }
    void TearDown() override { fs::remove_all(dir); }

    // A file made as the program of `version` made its archive (the steps up to it), with rows.
    std::string MakeArchiveOfVersion(size_t version) {
        const std::string file = (dir / ("v" + std::to_string(version) + ".sqlite3")).string();
        std::string sql;
        for (size_t step = 0; step < version; ++step) sql += ARCHIVE_MIGRATIONS[step];
        sql += "PRAGMA user_version = " + std::to_string(version) + ";";
        sql += kFirstVersionRows;
        Execute(file, sql);
        return file;
    }

    void Execute(const std::string& file, const std::string& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
        sqlite3_close(db);
    }

    // Every measurement of our archive, oldest first, its cells joined.
    std::vector<std::string> Rows() {
        ArchiveStatus status;
        auto archive = Archive::Open(path, status);
        std::vector<std::string> rows;
        EXPECT_TRUE(ForEachMeasurement(
            *archive, {},
            [&](const Measurement& m) {
                rows.push_back(m.measuredAt + "|" + m.userName + "|" +
                               (m.id2 ? std::to_string(*m.id2) : "-") + "|" + m.standardName + "|" +
                               std::to_string(m.value) + "|" +
                               std::to_string(static_cast<int>(m.verdict)));
                return true;
            },
            RowOrder::OldestFirst));
        return rows;
    }

    fs::path dir;
    std::string path;
};

TEST_F(ArchiveImportTest, AnArchiveOfEachVersionMergesOnceAndIsLeftAsItWas) {
    const std::vector<std::string> expected = {"1970-01-02 00:00:00|김|-||5|3",
                                               "1970-01-02 00:00:01|홍길동|2001|세균|250|2",
                                               "1970-01-02 00:00:02|홍길동|2001|세균|50|0"};
    for (size_t version = 1; version <= ARCHIVE_VERSION; ++version) {
        SCOPED_TRACE(version);
        fs::remove(path);
        const std::string source = MakeArchiveOfVersion(version);
        const std::string before = FileBytes(source);
        ArchiveFile archive(path);
        for (const size_t added : {3u, 0u}) {  // the second time: nothing new
            const ImportOutcome outcome = ImportRecordFile(archive, source);
            ASSERT_EQ(outcome.kind, ImportOutcome::Kept) << outcome.archive.detail;
            EXPECT_EQ(outcome.count.rows, 3u);
            EXPECT_EQ(outcome.count.added, added);
            // Rows already held count too: the window shows them after either import.
            ASSERT_TRUE(outcome.measured);
            EXPECT_EQ(outcome.measured->first, 86400);
            EXPECT_EQ(outcome.measured->last, 86402);
        }
        EXPECT_EQ(Rows(), expected);
        EXPECT_EQ(FileBytes(source), before);
        for (const char* beside : {"-wal", "-shm", "-journal"})
            EXPECT_FALSE(fs::exists(source + beside)) << beside;
    }
}

TEST_F(ArchiveImportTest, AnArchiveInWriteAheadModeIsReadWithoutALogAppearing) {
    const std::string source = MakeArchiveOfVersion(ARCHIVE_VERSION);
    Execute(source, "PRAGMA journal_mode = WAL");  // as the program leaves its archive
    const std::string before = FileBytes(source);
    ArchiveFile archive(path);
    const ImportOutcome outcome = ImportRecordFile(archive, source);
    EXPECT_EQ(outcome.kind, ImportOutcome::Kept) << outcome.archive.detail;
    EXPECT_EQ(outcome.count.added, 3u);
    EXPECT_EQ(FileBytes(source), before);
    for (const char* beside : {"-wal", "-shm"}) EXPECT_FALSE(fs::exists(source + beside)) << beside;
}

TEST_F(ArchiveImportTest, ADatabaseThatIsNoArchiveOfOursIsRefusedAndLeftAsItWas) {
    const struct {
        const char* what;
        std::string sql;
        int textId;
    } cases[] = {
        {"a later version", std::string(ARCHIVE_MIGRATIONS[0]) + "PRAGMA user_version = 99;",
         IDS_ARCHIVE_TOO_NEW},
        {"another program's", "CREATE TABLE notes(text TEXT); INSERT INTO notes VALUES('x');",
         IDS_ARCHIVE_FOREIGN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string source = (dir / "other.sqlite3").string();
        fs::remove(source);
        Execute(source, c.sql);
        const std::string before = FileBytes(source);
        ArchiveFile archive(path);
        const ImportOutcome outcome = ImportRecordFile(archive, source);
        EXPECT_EQ(outcome.kind, ImportOutcome::SourceFailed);
        EXPECT_FALSE(outcome.measured);
        const ImportMessage message = MessageOfImport(outcome, source, archive);
        EXPECT_EQ(message.textId, c.textId);
        EXPECT_EQ(message.path, source);
        EXPECT_EQ(FileBytes(source), before);
        EXPECT_FALSE(fs::exists(source + "-wal"));
    }
}

}  // namespace
