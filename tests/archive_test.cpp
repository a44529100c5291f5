// The measurement archive on real files: one measurement kept once, a batch whole or not at all,
// archives of earlier versions, files it cannot use, the record CSV import and the history's
// queries.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <thread>

#include "archive/archive_actions.h"
#include "archive/archive_cause_text.h"
#include "archive/archive_file.h"
#include "archive/archive_query.h"
#include "archive/archive_schema.h"
#include "archive/push_queue.h"
#include "measurement/time_text.h"
#include "records/record_import.h"
#include "report/archive_report.h"
#include "report/report_tally.h"
#include "res/resource.h"
#include "site/site_push.h"
#include "synthetic_history.h"
#include "tests/support/list_feed.h"
#include "tests/support/run_program.h"
#include "text/code_page.h"
#include "text/utf8.h"

namespace {

Measurement Row(const std::string& at, int value, const std::string& user = "홍길동",
                const std::string& standard = "세균", Verdict verdict = Verdict::Safe) {
    Measurement m;
    m.measuredAt = at;
    m.value = value;
    m.userName = user;
    if (!user.empty()) m.id1 = 101, m.id2 = 2001;
    m.standardName = standard;
    if (!standard.empty()) m.safetyIndex = 100, m.dangerIndex = 200;
    m.verdict = standard.empty() ? Verdict::None : verdict;
    return m;
}

class ArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir =
            std::filesystem::temp_directory_path() / ("ombrix-archive-" + std::to_string(getpid()));
        std::filesystem::remove_all(dir);
        path = (dir / "folder" / "archive.sqlite3").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    BatchCount Add(std::vector<Measurement> rows, const std::string& source = "COM3") {
        ListFeed feed(std::move(rows));
        BatchCount count;
        ArchiveFile file(path);
        EXPECT_TRUE(file.Keep(source, feed, count));
        return count;
    }

    // Every row of the documented view, its columns joined by '|', in measured order.
    std::vector<std::string> View() {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        std::vector<std::string> rows;
        sqlite3_exec(
            db,
            "SELECT measured_at, user_no, user_name, id1, id2, standard_no, standard_name, "
            "safety_index, danger_index, value, verdict, source FROM measurements "
            "ORDER BY measured_at, value, coalesce(user_name, '')",
            [](void* out, int n, char** values, char**) {
                std::string row;
                for (int i = 0; i < n; ++i)
                    row += std::string(i ? "|" : "") + (values[i] ? values[i] : "NULL");
                static_cast<std::vector<std::string>*>(out)->push_back(row);
                return 0;
            },
            &rows, nullptr);
        sqlite3_close(db);
        return rows;
    }

    std::filesystem::path dir;
    std::string path;
};

TEST_F(ArchiveTest, AMeasurementIsKeptOnceAndEmptyCellsAreNull) {
    Measurement fromDevice = Row("2011-03-07 13:05:09", 150);
    fromDevice.userNo = 1;
    fromDevice.standardNo = 2;
    const std::vector<Measurement> read = {
        fromDevice, Row("2011-03-07 13:05:09", 150, "", ""),
        Row("2011-03-07 13:05:10", 250, "", "세균", Verdict::Contaminated)};
    EXPECT_EQ(Add(read).added, 3u);
    EXPECT_EQ(View(),
              (std::vector<std::string>{
                  "2011-03-07 13:05:09|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|150|-|COM3",
                  "2011-03-07 13:05:09|1|홍길동|101|2001|2|세균|100|200|150|안전|COM3",
                  "2011-03-07 13:05:10|NULL|NULL|NULL|NULL|NULL|세균|100|200|250|오염|COM3"}));
    // Read again, or imported from a saved file (no device numbers, other indices): nothing new.
    EXPECT_EQ(Add(read).added, 0u);
    Measurement imported = Row("2011-03-07 13:05:09", 150);
    imported.safetyIndex = 500;
    const BatchCount count = Add({imported, Row("2011-03-07 13:05:09", 151)}, "old.csv");
    EXPECT_EQ(count.rows, 2u);
    EXPECT_EQ(count.added, 1u);
    EXPECT_EQ(View().size(), 4u);
}

TEST_F(ArchiveTest, ABatchIsKeptWholeOrNotAtAll) {
    Add({Row("2011-03-07 13:05:09", 1)});
    for (const char* breaks : {"stop", "2011-02-30 00:00:00"}) {
        SCOPED_TRACE(breaks);
        ListFeed feed(
            {Row("2012-01-01 00:00:00", 2), Row("2012-01-01 00:00:01", 3), Row(breaks, 4)});
        BatchCount count;
        ArchiveFile file(path);
        const ArchiveStatus status = file.Keep("COM3", feed, count);
        EXPECT_EQ(status.cause, breaks[0] == 's' ? ArchiveCause::None : ArchiveCause::Unknown);
        EXPECT_EQ(count.added, 0u);
        EXPECT_EQ(View().size(), 1u);
    }
}

TEST_F(ArchiveTest, AnArchiveOfTheFirstVersionOpensWithItsRows) {
    std::filesystem::create_directories(dir / "folder");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const std::string version1 = std::string(ARCHIVE_MIGRATIONS[0]) +
                                 "PRAGMA user_version = 1;"
                                 "INSERT INTO users VALUES(1, '김', 7, NULL);"
                                 "INSERT INTO standards VALUES(1, NULL);"
                                 "INSERT INTO sources VALUES(1, 'COM1');"
                                 "INSERT INTO batches VALUES(1, 1, 0);"
                                 "INSERT INTO readings VALUES(1, 86400, 5, 1, 1, 1, 0, NULL, "
                                 "NULL, 3, 1);";
    ASSERT_EQ(sqlite3_exec(db, version1.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    ArchiveStatus status;
    auto archive = Archive::Open(path, status);
    ASSERT_TRUE(archive) << status.detail;
    archive.reset();
    EXPECT_EQ(
        View(),
        (std::vector<std::string>{"1970-01-02 00:00:00|1|김|7|NULL|0|NULL|NULL|NULL|5|-|COM1"}));
    EXPECT_EQ(Add({Row("1970-01-02 00:00:00", 5, "김", "")}).added, 1u);  // ID1 differs

    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_FALSE(Archive::Open(path, status));
    EXPECT_EQ(status.cause, ArchiveCause::TooNew);
}

TEST_F(ArchiveTest, AFileItCannotUseIsNamedByItsCause) {
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "text.txt") << "not an archive, not at all; just some words in a file\n";
    const struct {
        std::string path;
        ArchiveCause cause;
    } cases[] = {
        {(dir / "text.txt").string(), ArchiveCause::NotAnArchive},
        {(dir / "text.txt" / "archive.sqlite3").string(), ArchiveCause::CannotOpen},
        {dir.string(), ArchiveCause::CannotOpen},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ListFeed feed({Row("2011-03-07 13:05:09", 1)});
        BatchCount count;
        EXPECT_EQ(ArchiveFile(c.path).Keep("COM3", feed, count).cause, c.cause);
    }
    EXPECT_EQ(ArchiveCauseTextId(ArchiveCause::Locked), IDS_ARCHIVE_LOCKED);
}

TEST_F(ArchiveTest, ASecondWriterWaitsForTheFirstAndGivesUpAfterItsTimeOut) {
    Add({Row("2011-03-07 13:05:09", 1)});
    sqlite3* other = nullptr;
    sqlite3_open(path.c_str(), &other);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    ListFeed feed({Row("2011-03-07 13:05:10", 2)});
    BatchCount count;
    EXPECT_EQ(ArchiveFile(path, 100).Keep("COM3", feed, count).cause, ArchiveCause::Locked);
    std::thread commit([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    });
    ListFeed again({Row("2011-03-07 13:05:10", 2)});
    EXPECT_TRUE(ArchiveFile(path, 5000).Keep("COM3", again, count));
    commit.join();
    sqlite3_close(other);
    EXPECT_EQ(View().size(), 2u);
}

// One statement on a connection of the test's own, its first column's integer.
int64_t QueryOn(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* statement = nullptr;
    int64_t value = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        value = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return value;
}

// `count` rows a second apart from 2020-01-01, none of them in an archive yet.
std::vector<Measurement> ManyRows(size_t count) {
    std::vector<Measurement> rows;
    const int64_t start = *SecondsFromTimeText("2020-01-01 00:00:00");
    for (size_t i = 0; i < count; ++i)
        rows.push_back(Row(TimeText(start + static_cast<int64_t>(i)), static_cast<int>(i % 1000)));
    return rows;
}

TEST_F(ArchiveTest, AFileOfALaterVersionOrOfAnotherProgramIsLeftAsItWas) {
    const struct {
        const char* what;
        std::string sql;
        ArchiveCause cause;
    } cases[] = {
        {"a later version", std::string(ARCHIVE_MIGRATIONS[0]) + "PRAGMA user_version = 99;",
         ArchiveCause::TooNew},
        {"another program's", "CREATE TABLE notes(text TEXT); INSERT INTO notes VALUES('x');",
         ArchiveCause::ForeignDatabase},
        {"another program's, with a version of its own",
         "CREATE TABLE items(id INTEGER); PRAGMA user_version = 2;", ArchiveCause::ForeignDatabase},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir / "folder");
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, c.sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        const std::string before = FileBytes(path);

        ArchiveStatus status;
        EXPECT_FALSE(Archive::Open(path, status));
        EXPECT_EQ(status.cause, c.cause);
        ListFeed feed({Row("2011-03-07 13:05:09", 1)});
        BatchCount count;
        EXPECT_EQ(ArchiveFile(path).Keep("COM3", feed, count).cause, c.cause);
        EXPECT_EQ(FileBytes(path), before);  // its journal mode too: no write-ahead log
        for (const char* beside : {"-wal", "-shm", "-journal"})
            EXPECT_FALSE(std::filesystem::exists(path + beside)) << beside;
    }
    EXPECT_EQ(ArchiveCauseTextId(ArchiveCause::ForeignDatabase), IDS_ARCHIVE_FOREIGN);
}

TEST_F(ArchiveTest, ReadersDoNotWaitForAWriter) {
    Add({Row("2011-03-07 13:05:09", 1),
         Row("2011-03-07 13:05:10", 250, "홍길동", "세균", Verdict::Contaminated)});
    // A long import: its write transaction open, its rows not yet committed.
    sqlite3* writer = nullptr;
    sqlite3_open(path.c_str(), &writer);
    ASSERT_EQ(sqlite3_exec(writer, "BEGIN IMMEDIATE; UPDATE readings SET pushed = 1", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);

    ArchiveStatus status;
    auto archive = Archive::Open(path, status, 100);
    ASSERT_TRUE(archive) << status.detail;
    size_t rows = 0;
    EXPECT_TRUE(ForEachMeasurement(*archive, {}, [&](const Measurement&) {
        ++rows;
        return true;
    }));
    EXPECT_EQ(rows, 2u);
    ReportInput report;
    EXPECT_TRUE(LoadReport(*archive, {}, DEFAULT_RETEST_WINDOW_SECONDS, report));
    EXPECT_EQ(report.contaminatedTotal, 1u);
    size_t waiting = 0;
    EXPECT_TRUE(CountWaiting(*archive, waiting));
    EXPECT_EQ(waiting, 2u);
    // The site's push reads what waits though it cannot reach its server.
    const PushOutcome pushed = PushArchiveToSite(path, "DSN=ombrix-no-such-site");
    EXPECT_TRUE(pushed.archive) << pushed.archive.detail;
    EXPECT_EQ(pushed.waiting, 2u);
    EXPECT_FALSE(pushed.site);
    sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(writer);
}

TEST_F(ArchiveTest, TheReportsTotalsAndRowsAreOfOneMoment) {
    Add({Row("2011-03-07 13:05:09", 250, "홍길동", "세균", Verdict::Contaminated)});
    ArchiveStatus status;
    auto archive = Archive::Open(path, status);
    ASSERT_TRUE(archive);
    // A read of the window commits while the report reads, once its first statement reads.
    struct Commit {
        std::string path;
        sqlite3* reading;
        bool done = false;
    } commit{path, archive->Handle()};
    sqlite3_progress_handler(
        archive->Handle(), 1,
        [](void* data) {
            auto& c = *static_cast<Commit*>(data);
            if (c.done || sqlite3_txn_state(c.reading, "main") != SQLITE_TXN_READ) return 0;
            c.done = true;
            ListFeed feed(
                {Row("2011-03-07 13:05:10", 251, "홍길동", "세균", Verdict::Contaminated)});
            BatchCount count;
            EXPECT_TRUE(ArchiveFile(c.path).Keep("COM3", feed, count));
            return 0;
        },
        &commit);
    ArchiveFilter filter;
    ASSERT_TRUE(SetFilterDays("2011-03-01", "2011-03-31", filter));
    ReportInput report;
    EXPECT_TRUE(LoadReport(*archive, filter, DEFAULT_RETEST_WINDOW_SECONDS, report));
    sqlite3_progress_handler(archive->Handle(), 0, nullptr, nullptr);
    EXPECT_TRUE(commit.done);
    EXPECT_EQ(report.contaminatedTotal, report.contaminated.size());
    EXPECT_EQ(report.counts.contaminated, report.contaminated.size());
}

TEST_F(ArchiveTest, AnArchiveThatCannotGrowKeepsNothingOfTheBatchAndSaysTheDiskIsFull) {
    Add({Row("2011-03-07 13:05:09", 1)});
    setenv(ARCHIVE_TEST_MAX_PAGES_VARIABLE, "1", 1);  // no page beyond those it has
    ListFeed feed(ManyRows(5000));
    BatchCount count;
    const ArchiveStatus kept = ArchiveFile(path).Keep("COM3", feed, count);
    ArchiveStatus opened;
    const std::string fresh = (dir / "fresh.sqlite3").string();
    const bool freshOpened = Archive::Open(fresh, opened) != nullptr;
    unsetenv(ARCHIVE_TEST_MAX_PAGES_VARIABLE);

    EXPECT_EQ(kept.cause, ArchiveCause::DiskFull);
    EXPECT_EQ(count.added, 0u);
    EXPECT_EQ(View().size(), 1u);
    EXPECT_EQ(QueryOn(path,
                      "SELECT count(*) FROM pragma_integrity_check WHERE integrity_check "
                      "<> 'ok'"),
              0);
    EXPECT_FALSE(freshOpened);  // a new archive on a full disk
    EXPECT_EQ(opened.cause, ArchiveCause::DiskFull);
    EXPECT_EQ(ArchiveCauseTextId(ArchiveCause::DiskFull), IDS_ARCHIVE_DISK_FULL);
}

std::string Cp949(const std::string& utf8) {
    std::string text;
    ConvertTextExactly(utf8, CP_UTF8_TEXT, CP_KOREAN, text);
    return text;
}

const std::string kHeader = "No.,시간,이름,ID1,ID2,측정기준,안전지수,위험지수,측정값,결과\n";

TEST_F(ArchiveTest, ImportedFilesAreCheckedLineByLineAndKeptWhole) {
    const struct {
        std::string file;
        ImportOutcome::Kind kind;
        int line;
        const char* column;
    } cases[] = {
        {kHeader + "1,2011-03-07 12:05:09 오전,홍길동,101,2001,세균,100,200,99,안전\n"
                   "2,2011-03-07 01:05:09 오후,,,,,,,150,-\n\n",
         ImportOutcome::Kept, 0, ""},
        {kHeader + "1,2011-03-07 13:05:09 오후,,,,,,,1,-\n", ImportOutcome::Refused, 2, "시간"},
        {kHeader + "1,2011-02-29 12:05:09 오전,,,,,,,1,-\n", ImportOutcome::Refused, 2, "시간"},
        {kHeader + "1,2011-03-07 12:05:09 오전,,,,,,,1,-\n2,x,,,,,,,1,-\n", ImportOutcome::Refused,
         3, "시간"},
        {kHeader + "1,2011-03-07 12:05:09 오전,열두바이트넘는이름,,,,,,1,-\n",
         ImportOutcome::Refused, 2, "이름"},
        {kHeader + "1,2011-03-07 12:05:09 오전,,2147483648,,,,,1,-\n", ImportOutcome::Refused, 2,
         "ID1"},
        {kHeader + "1,2011-03-07 12:05:09 오전,,,,,65536,,1,-\n", ImportOutcome::Refused, 2,
         "안전지수"},
        {kHeader + "1,2011-03-07 12:05:09 오전,,,,,,,,-\n", ImportOutcome::Refused, 2, "측정값"},
        {kHeader + "1,2011-03-07 12:05:09 오전,,,,,,,1,좋음\n", ImportOutcome::Refused, 2, "결과"},
        {kHeader + "1,2011-03-07 12:05:09 오전,,,,,,,1\n", ImportOutcome::Refused, 2, "결과"},
        {kHeader + "0,2011-03-07 12:05:09 오전,,,,,,,1,-\n", ImportOutcome::Refused, 2, "No."},
        {kHeader + "1,2011-03-07 12:05:09 오전,\"a\"b,,,,,,1,-\n", ImportOutcome::Refused, 2,
         "이름"},
        {"No.,이름,ID1,ID2\n", ImportOutcome::Refused, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        for (const std::string& bytes : {Cp949(c.file), UTF8_BOM + c.file}) {
            std::filesystem::remove_all(dir);
            std::filesystem::create_directories(dir);
            std::ofstream((dir / "기록.csv").string(), std::ios::binary) << bytes;
            ArchiveFile archive(path);
            const ImportOutcome outcome = ImportRecordFile(archive, (dir / "기록.csv").string());
            EXPECT_EQ(outcome.kind, c.kind);
            EXPECT_EQ(outcome.refusal.line, c.line);
            EXPECT_EQ(outcome.refusal.column, c.column);
            // The span the window widens its period to: the kept file's rows, a refused file none
            // (even when it is refused after rows that were read).
            ASSERT_EQ(outcome.measured.has_value(), c.kind == ImportOutcome::Kept);
            if (outcome.measured) {
                EXPECT_EQ(TimeText(outcome.measured->first), "2011-03-07 00:05:09");
                EXPECT_EQ(TimeText(outcome.measured->last), "2011-03-07 13:05:09");
            }
            const std::vector<std::string> view = View();
            EXPECT_EQ(view.size(), c.kind == ImportOutcome::Kept ? 2u : 0u);
            if (view.size() == 2) {
                EXPECT_EQ(view[1],
                          "2011-03-07 13:05:09|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|"
                          "150|-|기록.csv");
            }
        }
    }
}

TEST_F(ArchiveTest, TheHistoryFiltersCountsAndBuckets) {
    Add({Row("2024-05-01 08:00:00", 50),
         Row("2024-05-01 09:00:00", 150, "홍길동", "세균", Verdict::Caution),
         Row("2024-05-02 10:00:00", 250, "이순신", "세균", Verdict::Contaminated),
         Row("2024-05-03 10:00:00", 7, "이순신", "곰팡이"), Row("2024-05-03 10:00:00", 8, "", "")});
    ArchiveStatus status;
    auto archive = Archive::Open(path, status);
    ASSERT_TRUE(archive);
    const auto values = [&](const ArchiveFilter& filter) {
        FilteredRows list;
        EXPECT_TRUE(list.Load(*archive, filter));
        std::vector<Measurement> rows;
        EXPECT_TRUE(list.Page(*archive, 0, 100, rows));
        std::vector<int> out;
        for (const Measurement& m : rows) out.push_back(m.value);
        return out;
    };
    ArchiveFilter all;
    EXPECT_EQ(values(all), (std::vector<int>{8, 7, 250, 150, 50}));  // newest first
    ArchiveFilter some;
    ASSERT_TRUE(SetFilterDays("2024-05-01", "2024-05-02", some));
    some.standard = "세균";
    some.verdicts = VerdictBit(Verdict::Safe) | VerdictBit(Verdict::Contaminated);
    EXPECT_EQ(values(some), (std::vector<int>{250, 50}));
    ArchiveFilter byUser;
    byUser.user = "이순신";
    EXPECT_EQ(values(byUser), (std::vector<int>{7, 250}));
    byUser.user = "";
    EXPECT_EQ(values(byUser), (std::vector<int>{8}));

    VerdictCounts counts;
    ASSERT_TRUE(CountVerdicts(*archive, all, counts));
    EXPECT_EQ((std::vector<int64_t>{counts.safe, counts.caution, counts.contaminated, counts.none}),
              (std::vector<int64_t>{2, 1, 1, 1}));

    std::vector<ChartBucket> buckets;
    int64_t origin = 0;
    ASSERT_TRUE(SetFilterDays("2024-05-01", "", some));
    origin = *some.from;
    ASSERT_TRUE(ChartBuckets(*archive, all, origin, SECONDS_PER_DAY, buckets));
    ASSERT_EQ(buckets.size(), 4u);
    EXPECT_EQ(buckets[0].start, origin);
    EXPECT_EQ(buckets[0].standard, "세균");
    EXPECT_EQ(buckets[0].sample.count, 2);
    EXPECT_EQ(buckets[0].sample.minValue, 50);
    EXPECT_EQ(buckets[0].sample.maxValue, 150);
    EXPECT_EQ(buckets[0].sample.valueSum, 200);
    EXPECT_EQ(buckets[0].sample.verdicts.Worst(), Verdict::Caution);
    EXPECT_EQ(buckets[2].start, origin + 2 * SECONDS_PER_DAY);
    EXPECT_EQ(buckets[2].standard, "");
    EXPECT_EQ(buckets[3].standard, "곰팡이");

    std::vector<int> oldestFirst;
    ASSERT_TRUE(ForEachMeasurement(
        *archive, byUser,
        [&](const Measurement& m) {
            oldestFirst.push_back(m.value);
            return true;
        },
        RowOrder::OldestFirst));
    EXPECT_EQ(oldestFirst, (std::vector<int>{8}));
    byUser.user.reset();
    oldestFirst.clear();
    ForEachMeasurement(
        *archive, byUser,
        [&](const Measurement& m) {
            oldestFirst.push_back(m.value);
            return oldestFirst.size() < 3;
        },
        RowOrder::OldestFirst);
    EXPECT_EQ(oldestFirst, (std::vector<int>{50, 150, 250}));

    FilterChoices choices;
    ASSERT_TRUE(LoadFilterChoices(*archive, choices));
    EXPECT_EQ(choices.standards, (std::vector<std::string>{"곰팡이", "세균"}));
    EXPECT_EQ(choices.users, (std::vector<std::string>{"이순신", "홍길동"}));
}

// The list is newest first, rows of one time latest archived first, whether the rows came in
// time order (one read) or not (an old file imported after newer reads).
TEST_F(ArchiveTest, TheListIsNewestFirstWhateverOrderTheRowsCameIn) {
    const struct {
        std::vector<std::vector<Measurement>> batches;
        std::vector<int> listed;
    } cases[] = {
        {{{Row("2024-05-01 08:00:00", 2), Row("2024-05-01 08:00:00", 1),
           Row("2024-05-02 08:00:00", 3)}},
         {3, 1, 2}},
        {{{Row("2024-05-03 10:00:00", 1), Row("2024-05-05 10:00:00", 2)},
          {Row("2024-05-01 10:00:00", 3), Row("2024-05-03 10:00:00", 4),
           Row("2024-05-06 10:00:00", 5)}},
         {5, 2, 4, 1, 3}},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(dir);
        for (const auto& batch : c.batches) Add(batch);
        ArchiveStatus status;
        auto archive = Archive::Open(path, status);
        ASSERT_TRUE(archive);
        ArchiveFilter all, may;
        ASSERT_TRUE(SetFilterDays("2024-05-01", "2024-05-31", may));
        FilteredView scanned, held;
        PeriodCache cache;
        ASSERT_TRUE(LoadFiltered(*archive, all, 0, 0, scanned));
        ASSERT_TRUE(cache.Load(*archive, may, *may.from, SECONDS_PER_DAY, held));
        for (const FilteredView* view : {&scanned, &held}) {
            std::vector<Measurement> rows;
            ASSERT_TRUE(view->list.Page(*archive, 0, 10, rows));
            std::vector<int> values;
            for (const Measurement& m : rows) values.push_back(m.value);
            EXPECT_EQ(values, c.listed);
        }
    }
}

// The rows held for a period answer every filter within it as the archive does, and a period
// beyond it, or an archive that changed, is read anew.
TEST_F(ArchiveTest, TheHeldPeriodAnswersAsTheArchive) {
    Add({Row("2024-05-01 08:00:00", 50), Row("2024-05-01 08:00:00", 51, "이순신"),
         Row("2024-05-01 09:00:00", 150, "홍길동", "세균", Verdict::Caution),
         Row("2024-05-02 10:00:00", 250, "이순신", "세균", Verdict::Contaminated),
         Row("2024-05-03 10:00:00", 7, "이순신", "곰팡이"), Row("2024-05-03 10:00:00", 8, "", ""),
         Row("2024-06-01 00:00:00", 9)});
    ArchiveStatus status;
    auto archive = Archive::Open(path, status);
    ASSERT_TRUE(archive);
    const auto shown = [&](const FilteredView& view) {
        std::vector<Measurement> rows;
        EXPECT_TRUE(view.list.Page(*archive, 0, 100, rows));
        std::string out;
        for (const Measurement& m : rows) out += std::to_string(m.value) + " ";
        out += "|";
        for (const Verdict v :
             {Verdict::Safe, Verdict::Caution, Verdict::Contaminated, Verdict::None})
            out += " " + std::to_string(view.counts.Of(v));
        for (const ChartBucket& b : view.buckets)
            out += " | " + std::to_string(b.start) + " " + b.standard + " " +
                   std::to_string(b.sample.count) + " " + std::to_string(b.sample.valueSum) + " " +
                   std::to_string(b.dangerIndex.value_or(-1));
        return out;
    };
    const auto period = [](const char* first, const char* last) {
        ArchiveFilter filter;
        EXPECT_TRUE(SetFilterDays(first, last, filter));
        return filter;
    };
    const auto with = [](ArchiveFilter filter, auto change) {
        change(filter);
        return filter;
    };
    const ArchiveFilter may = period("2024-05-01", "2024-05-31");
    const ArchiveFilter filters[] = {
        may,
        period("2024-05-02", "2024-05-03"),
        with(may, [](ArchiveFilter& f) { f.standard = "세균"; }),
        with(may, [](ArchiveFilter& f) { f.standard = ""; }),
        with(may, [](ArchiveFilter& f) { f.standard = "없는 기준"; }),
        with(may, [](ArchiveFilter& f) { f.user = "이순신"; }),
        with(may, [](ArchiveFilter& f) { f.user = ""; }),
        with(may,
             [](ArchiveFilter& f) {
                 f.verdicts = VerdictBit(Verdict::Caution) | VerdictBit(Verdict::Contaminated);
             }),
        with(may, [](ArchiveFilter& f) { f.verdicts = 0; }),
        period("2024-04-30", "2024-06-01"),  // beyond the period held: read anew
    };
    PeriodCache cache;
    const int64_t origin = *may.from;
    for (const ArchiveFilter& filter : filters) {
        FilteredView fromArchive, held;
        ASSERT_TRUE(LoadFiltered(*archive, filter, origin, SECONDS_PER_DAY, fromArchive));
        ASSERT_TRUE(cache.Load(*archive, filter, origin, SECONDS_PER_DAY, held));
        EXPECT_EQ(shown(held), shown(fromArchive));
    }
    Add({Row("2024-05-04 10:00:00", 10)});
    cache.Forget();
    FilteredView fromArchive, held;
    ASSERT_TRUE(LoadFiltered(*archive, may, origin, SECONDS_PER_DAY, fromArchive));
    ASSERT_TRUE(cache.Load(*archive, may, origin, SECONDS_PER_DAY, held));
    EXPECT_EQ(shown(held), shown(fromArchive));
    EXPECT_EQ(held.counts.Total(), 7);
}

// The report's figures come from one pass over the rows in the table's order; they must be those
// of the rows walked oldest first through the report's own tally.
TEST_F(ArchiveTest, TheReportCountsAsTheTallyOfItsRows) {
    SyntheticPlan plan;
    plan.count = 3000;
    plan.sources = {"COM3", "old.csv"};
    std::vector<Measurement> rows;
    ForEachSyntheticMeasurement(plan, [&](const Measurement& m) { rows.push_back(m); });
    Add(std::vector<Measurement>(rows.begin(), rows.begin() + 1000), "old.csv");
    Add(std::vector<Measurement>(rows.begin() + 1000, rows.end()), "COM3");
    ArchiveStatus status;
    auto archive = Archive::Open(path, status);
    ASSERT_TRUE(archive);

    for (const bool bounded : {true, false}) {
        ArchiveFilter filter;
        if (bounded) {
            ASSERT_TRUE(SetFilterDays(plan.from, plan.to, filter));
        }
        ReportInput report;
        ASSERT_TRUE(LoadReport(*archive, filter, DEFAULT_RETEST_WINDOW_SECONDS, report));
        EXPECT_EQ(report.from, plan.from);
        EXPECT_EQ(report.to, plan.to);
        EXPECT_EQ(report.sources, (std::vector<std::string>{"COM3", "old.csv"}));

        const auto period = ReportPeriod(report);
        ASSERT_TRUE(period);
        ReportTally tally(period->first, ReportBucketSeconds(period->first, period->second));
        ASSERT_TRUE(ForEachMeasurement(
            *archive, filter,
            [&](const Measurement& m) {
                tally.Add(m);
                return true;
            },
            RowOrder::OldestFirst));
        const ReportInput expected = tally.Fill(report);

        EXPECT_EQ(report.counts.Total(), static_cast<int64_t>(rows.size()));
        EXPECT_EQ(report.counts.contaminated, expected.counts.contaminated);
        EXPECT_EQ(report.counts.caution, expected.counts.caution);
        EXPECT_EQ(report.contaminatedTotal, expected.contaminatedTotal);
        ASSERT_EQ(report.standards.size(), expected.standards.size());
        for (size_t i = 0; i < report.standards.size(); ++i) {
            const StandardSummary &got = report.standards[i], &want = expected.standards[i];
            EXPECT_EQ(got.name, want.name);
            EXPECT_EQ(got.counts.Total(), want.counts.Total());
            EXPECT_EQ(got.counts.contaminated, want.counts.contaminated);
            EXPECT_EQ(got.highestValue, want.highestValue);
            EXPECT_EQ(got.safetyIndex, want.safetyIndex);
            ASSERT_EQ(report.chart[i].samples.size(), expected.chart[i].samples.size());
            for (size_t k = 0; k < report.chart[i].samples.size(); ++k) {
                const ChartSample &a = report.chart[i].samples[k],
                                  &b = expected.chart[i].samples[k];
                EXPECT_EQ(std::tie(a.from, a.to, a.count, a.minValue, a.maxValue, a.valueSum),
                          std::tie(b.from, b.to, b.count, b.minValue, b.maxValue, b.valueSum));
            }
        }
        ASSERT_EQ(report.contaminated.size(), expected.contaminated.size());
        ASSERT_FALSE(report.contaminated.empty());
        EXPECT_EQ(report.contaminated.front().measuredAt, expected.contaminated.front().measuredAt);
    }
}

}  // namespace
