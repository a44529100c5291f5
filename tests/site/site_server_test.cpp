// The site archive for real: the console program pushes to, and reads from, a PostgreSQL server
// or a MariaDB one (OMBRIX_TEST_SITE_ENGINE=mariadb) through unixODBC and the engine's driver.
// The server is the tests' own (tests/site/pg_server.sh or maria_server.sh, started and stopped
// by CTest's fixture around these tests); its address, password and data folder are in the
// state file the fixture writes.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <thread>
#include <tuple>

#include "archive/archive_actions.h"
#include "archive/archive_file.h"
#include "archive/push_queue.h"
#include "measurement/time_text.h"
#include "site/odbc.h"
#include "site/site_setting.h"
#include "site/site_worker.h"
#include "tests/support/list_feed.h"
#include "tests/support/run_program.h"
#include "tests/support/site_results.h"
#include "tests/synthetic_history.h"

namespace {

// A report of this PC's archive without its corrective actions, which the site does not hold:
// the open results, the line under the summary, and the two columns of the "오염" list.
std::string WithoutActions(const std::string& html) {
    // Line by line: a regular expression over a whole report of thousands of rows overflows
    // std::regex's recursion.
    const std::regex followUp("(<td class=v2>오염(?:<td>COM\\d+)?)<td(?! class=n)[^\n]*");
    std::istringstream lines(html);
    std::string kept, line;
    bool inOpenResults = false;
    while (std::getline(lines, line)) {
        if (line == "<h2>미조치 결과</h2>") inOpenResults = true;
        if (inOpenResults) {
            inOpenResults = line != "</table>";
            continue;
        }
        if (line.rfind("<p class=\"note\">오염·주의 ", 0) == 0) continue;
        const size_t header = line.find("<th>재측정<th>조치");
        if (header != std::string::npos)
            line.erase(header, std::string("<th>재측정<th>조치").size());
        kept += std::regex_replace(line, followUp, "$1") + "\n";
    }
    return kept;
}

// A report of this PC's archive without the likely retests, which the site's report leaves out:
// the column "재측정" of the two lists, and its cell after each row's verdict (and source).
std::string WithoutRetests(const std::string& html) {
    const std::regex retest(
        "(<td class=v\\d>(?:주의|오염)(?:<td>COM\\d+)?)<td(?: class=v\\d)?>[^<\n]*");
    std::istringstream lines(html);
    std::string kept, line;
    while (std::getline(lines, line)) {
        const size_t header = line.find("<th>재측정");
        if (header != std::string::npos) line.erase(header, std::string("<th>재측정").size());
        kept += std::regex_replace(line, retest, "$1") + "\n";
    }
    return kept;
}

bool OnMariaDb() {
    const char* engine = std::getenv("OMBRIX_TEST_SITE_ENGINE");
    return engine && std::string(engine) == "mariadb";
}
const char* StateFile() { return OnMariaDb() ? OMBRIX_MARIA_STATE : OMBRIX_SITE_STATE; }
const char* ServerScript() { return OnMariaDb() ? OMBRIX_MARIA_SERVER : OMBRIX_SITE_SERVER; }

std::map<std::string, std::string> ServerState() {
    std::map<std::string, std::string> state;
    std::ifstream file(StateFile());
    for (std::string line; std::getline(file, line);)
        if (const size_t equals = line.find('='); equals != std::string::npos)
            state[line.substr(0, equals)] = line.substr(equals + 1);
    return state;
}

// The SQL of docs/archive.md whose block begins with `heading` ("-- PostgreSQL"): the first.
std::string DocumentedSql(const std::string& heading) {
    const std::string doc = FileBytes(std::filesystem::path(OMBRIX_SITE_SERVER).parent_path() /
                                      "../../docs/archive.md");
    const size_t start = doc.find("```sql\n" + heading);
    const size_t end = doc.find("```\n", start + 6);
    return start == std::string::npos ? "" : doc.substr(start + 6, end - start - 6);
}

// The SQL for the engine that docs/archive.md gives IT, for a table made before any PC pushes.
std::string DocumentedTable() {
    return DocumentedSql(OnMariaDb() ? "-- MariaDB" : "-- PostgreSQL");
}

// The record CSV with every ID2 cell (the fifth) shown as the site's rows show it.
std::string Id2Masked(const std::string& csv) {
    std::istringstream lines(csv);
    std::string masked, line;
    for (bool header = true; std::getline(lines, line); header = false) {
        size_t start = 0;
        for (int cell = 0; cell < 4; ++cell) start = line.find(',', start) + 1;
        const size_t end = line.find(',', start);
        const std::string id2 = line.substr(start, end - start);
        masked += header || id2.empty() ? line
                                        : line.substr(0, start + 1) +
                                              std::string(id2.size() - 1, '*') + line.substr(end);
        masked += "\n";
    }
    return masked;
}

class SiteServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto state = ServerState();
        connection = state["OMBRIX_TEST_SITE"];
        password = state["OMBRIX_TEST_SITE_PASSWORD"];
        ASSERT_FALSE(connection.empty()) << "no server: CTest's fixture site.ServerStart starts it";
        dir = std::filesystem::temp_directory_path() / ("ombrix-site-" + std::to_string(getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        unsetenv("OMBRIX_SITE");
        unsetenv("OMBRIX_SITE_FILE");
        // Where site set stores the setting: the test's own, never the user's.
        setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        ASSERT_TRUE(Site().Execute("DROP TABLE IF EXISTS ombrix_measurements"));
        ASSERT_TRUE(Site().Execute("DROP TABLE IF EXISTS ombrix_actions"));
        ASSERT_TRUE(Site().Execute("DROP TABLE IF EXISTS ombrix_hourly_counts"));
    }
    void TearDown() override {
        Server("resume");  // a test that halted it and failed before it came back
        std::filesystem::remove_all(dir);
    }

    OdbcConnection& Site() {
        if (!site) {
            std::string diagnostic;
            site = OdbcConnection::Connect(connection, 20, diagnostic);
            EXPECT_TRUE(site) << diagnostic;
        }
        return *site;
    }

    // Runs the statements of `sql`, one at a time (MariaDB takes no more at once).
    void Run(const std::string& sql) {
        for (size_t from = 0, end; (end = sql.find(";\n", from)) != std::string::npos;
             from = end + 2)
            ASSERT_TRUE(Site().Execute(sql.substr(from, end - from))) << Site().LastDiagnostic();
    }

    // Rows on the site, and distinct identities among them, in a table of either version.
    std::pair<int64_t, int64_t> SiteRows() {
        const bool version2 =
            Site().Execute("SELECT COUNT(identity_hash) FROM ombrix_measurements WHERE 1 = 0");
        auto count = Site().Prepare(std::string("SELECT COUNT(*), COUNT(DISTINCT ") +
                                        (version2 ? "identity_hash" : "identity_key") +
                                        ") FROM ombrix_measurements",
                                    0);
        bool row = false, ok = true;
        if (!count || !count->Execute() || !count->Fetch(row) || !row) return {-1, -1};
        const auto all = count->Integer(1, ok), distinct = count->Integer(2, ok);
        count->CloseCursor();
        return {all.value_or(-1), distinct.value_or(-1)};
    }

    // Every hourly count, a line each in the key's order.
    std::string Counts() {
        auto select = Site().Prepare(
            "SELECT hour_at, standard_name, verdict, source, measurements, min_value, max_value, "
            "value_sum, safety_index, danger_index, first_at, last_at, answered FROM "
            "ombrix_hourly_counts ORDER BY hour_at, standard_name, verdict, source",
            0);
        std::string lines;
        bool more = true, ok = true;
        if (!select || !select->Execute()) return "failed: " + Site().LastDiagnostic();
        while (select->Fetch(more) && more) {
            for (int column = 1; column <= 13; ++column)
                lines += select->Text(column, ok).value_or("-") + "|";
            lines += "\n";
        }
        return ok ? lines : "failed";
    }
    // The rows the hourly counts count, or of them those answered.
    int64_t CountedRows(const char* column = "measurements") {
        auto sum =
            Site().Prepare(std::string("SELECT SUM(") + column + ") FROM ombrix_hourly_counts", 0);
        bool row = false, ok = true;
        if (!sum || !sum->Execute() || !sum->Fetch(row) || !row) return -1;
        const auto rows = sum->Integer(1, ok);
        sum->CloseCursor();
        return rows.value_or(-1);
    }

    // The server's sessions of clients in the site's database, the test's own among them.
    int64_t Sessions() {
        auto count = Site().Prepare(
            OnMariaDb()
                ? "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE DB = DATABASE()"
                : "SELECT COUNT(*) FROM pg_stat_activity WHERE datname = current_database() "
                  "AND backend_type = 'client backend'",
            0);
        bool row = false, ok = true;
        if (!count || !count->Execute() || !count->Fetch(row) || !row) return -1;
        const auto sessions = count->Integer(1, ok);
        count->CloseCursor();
        return sessions.value_or(-1);
    }

    // An archive of `count` made-up measurements (`seed` chooses which).
    std::string Archive(const char* name, int64_t count, uint32_t seed = 1) {
        const std::string path = (dir / name).string();
        ArchiveFile archive(path);
        Keep(archive, count, seed);
        return path;
    }

    static void Keep(RecordArchive& archive, int64_t count, uint32_t seed,
                     const std::string& source = "COM3") {
        std::vector<Measurement> rows;
        SyntheticPlan plan;
        plan.count = count;
        plan.seed = seed;
        ForEachSyntheticMeasurement(plan, [&](const Measurement& m) { rows.push_back(m); });
        ListFeed feed(std::move(rows));
        BatchCount kept;
        EXPECT_TRUE(archive.Keep(source, feed, kept));
    }

    size_t Waiting(const std::string& path) {
        ArchiveStatus status;
        auto archive = Archive::Open(path, status);
        size_t waiting = 0;
        EXPECT_TRUE(archive && CountWaiting(*archive, waiting));
        return waiting;
    }

    // A connection string as a file only its owner reads: never on a command line.
    std::string SiteFile(const std::string& site, const std::string& name = "site.conn",
                         std::filesystem::perms perms = std::filesystem::perms::owner_read |
                                                        std::filesystem::perms::owner_write) {
        const std::filesystem::path path = dir / name;
        std::ofstream(path, std::ios::binary) << site << "\n";
        std::filesystem::permissions(path, perms);
        return path.string();
    }
    std::vector<std::string> Sync(const std::string& archive, const std::string& site) {
        return {OMBRIX_PROGRAM, "--archive", archive, "--site-file", SiteFile(site), "sync"};
    }
    Ran Ombrix(std::vector<std::string> args) {
        args.insert(args.begin(), OMBRIX_PROGRAM);
        return RunProgram(std::move(args), dir);
    }
    static std::string Pushed(size_t pushed, size_t already) {
        return "사이트 보관: " + std::to_string(pushed) + "건을 보냈습니다. (이미 있던 측정 기록 " +
               std::to_string(already) + "건)\n";
    }
    // Versions of actions on the site, and the measurements they are on.
    std::pair<int64_t, int64_t> SiteActions() {
        auto count =
            Site().Prepare("SELECT COUNT(*), COUNT(DISTINCT identity_hash) FROM ombrix_actions", 0);
        bool row = false, ok = true;
        if (!count || !count->Execute() || !count->Fetch(row) || !row) return {-1, -1};
        const auto all = count->Integer(1, ok), distinct = count->Integer(2, ok);
        count->CloseCursor();
        return {all.value_or(-1), distinct.value_or(-1)};
    }
    // The newest `count` results of `verdict` in the archive at `path`.
    static std::vector<Measurement> Newest(const std::string& path, Verdict verdict, size_t count) {
        ArchiveStatus status;
        auto archive = Archive::Open(path, status);
        std::vector<Measurement> rows;
        ArchiveFilter filter;
        filter.verdicts = VerdictBit(verdict);
        EXPECT_TRUE(archive && ForEachMeasurement(*archive, filter, [&](const Measurement& m) {
                        rows.push_back(m);
                        return rows.size() < count;
                    }));
        return rows;
    }
    static void Note(const std::string& path, const Measurement& row, const std::string& text,
                     const std::string& by, const char* at) {
        ArchiveStatus status;
        auto archive = Archive::Open(path, status);
        ASSERT_TRUE(archive && RecordAction(*archive, row, {text, by, *SecondsFromTimeText(at)}));
    }
    // Runs `sql` on the archive at `path`.
    static void OnArchive(const std::string& path, const char* sql) {
        ArchiveStatus status;
        auto archive = Archive::Open(path, status);
        ASSERT_TRUE(archive);
        ASSERT_EQ(sqlite3_exec(archive->Handle(), sql, nullptr, nullptr, nullptr), SQLITE_OK);
    }
    static std::string ActionsPushed(size_t pushed, size_t already) {
        return "사이트 보관: 조치 기록 " + std::to_string(pushed) +
               "건을 보냈습니다. (이미 있던 조치 기록 " + std::to_string(already) + "건)\n";
    }
    // The connection of a PC's login that may read and add rows of the tables granted to it
    // (the server's script grants them) and create nothing.
    std::string PcLogin(const char* table) {
        const std::string line =
            std::string(ServerScript()) + " grant " + StateFile() + " " + table;
        EXPECT_EQ(std::system(line.c_str()), 0) << line;
        return std::regex_replace(connection, std::regex("Uid=ombrix;"), "Uid=ombrix_limited;");
    }

    // The report of the site's rows is that of `archive`, which holds the same rows.
    void ExpectSameReport(const std::string& archive) {
        const std::string siteReport = (dir / "site.html").string();
        const std::string localReport = (dir / "local.html").string();
        const Ran ran =
            Ombrix({"--site-file", SiteFile(connection), "report", "--html", siteReport});
        ASSERT_EQ(ran.status, 0) << ran.err;
        ASSERT_EQ(Ombrix({"--archive", archive, "report", "--html", localReport}).status, 0);
        // Made a second apart, they may differ in the time they were made, at the top and the
        // foot.
        const std::regex createdAt("(작성<td>|· )\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}");
        const std::string site = std::regex_replace(FileBytes(siteReport), createdAt, "$1");
        const std::string local = std::regex_replace(FileBytes(localReport), createdAt, "$1");
        // A site that keeps actions tells them as this PC does, but for the likely retests.
        const bool withActions = site.find("<p class=\"note\">오염·주의 ") != std::string::npos;
        EXPECT_EQ(site, withActions ? WithoutRetests(local) : WithoutActions(local));
    }
    void Server(const char* command) {
        const std::string line = std::string(ServerScript()) + " " + command + " " + StateFile();
        ASSERT_EQ(std::system(line.c_str()), 0) << line;
    }

    std::string connection, password;
    std::filesystem::path dir;
    std::unique_ptr<OdbcConnection> site;
};

TEST_F(SiteServerTest, EachRowIsStoredOnceFromOnePcOrTwoAndReadBackAsTheArchiveHasIt) {
    const std::string first = Archive("first.sqlite3", 600);
    Ran ran = RunProgram(Sync(first, connection), dir);
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, Pushed(600, 0));
    ran = RunProgram(Sync(first, connection), dir);
    EXPECT_EQ(ran.out, Pushed(0, 0));

    // A second PC that read the same device, and then a few rows more.
    const std::string second = Archive("second.sqlite3", 600);
    {
        ArchiveStatus status;
        auto archive = Archive::Open(second, status);
        Measurement m;
        m.measuredAt = "2027-01-01 00:00:00";
        m.userName = "새 사람";
        m.value = 5;
        ListFeed feed({m});
        BatchCount kept;
        ASSERT_TRUE(archive->AddBatch("COM4", feed, kept));
    }
    ran = RunProgram(Sync(second, connection), dir);
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, Pushed(1, 600));
    EXPECT_EQ(SiteRows(), std::make_pair(int64_t{601}, int64_t{601}));
    EXPECT_EQ(Waiting(second), 0u);

    // The site's rows are the second archive's, byte for byte in the record CSV, when the full
    // numbers are asked for; else ID2 shows its first digit only.
    const std::string siteFile = SiteFile(connection);
    const Ran local = Ombrix({"--archive", second, "history"});
    const Ran fromSite = Ombrix({"--site-file", siteFile, "history", "--show-ids"});
    EXPECT_EQ(fromSite.status, 0) << fromSite.err;
    EXPECT_EQ(fromSite.out, local.out);
    const Ran masked = Ombrix({"--site-file", siteFile, "history"});
    EXPECT_EQ(masked.out, Id2Masked(local.out));
    EXPECT_EQ(masked.out.find(",2001,"), std::string::npos);
    const Ran thisPc = Ombrix({"--site-file", siteFile, "history", "--pc", ThisPc().pc, "--verdict",
                               "오염", "--from", "2026-02-01", "--show-ids"});
    EXPECT_EQ(
        thisPc.out,
        Ombrix({"--archive", second, "history", "--verdict", "오염", "--from", "2026-02-01"}).out);
    EXPECT_EQ(Ombrix({"--site-file", siteFile, "history", "--pc", "nobody"}).out,
              "No.,시간,이름,ID1,ID2,측정기준,안전지수,위험지수,측정값,결과\n");

    // The report of every PC's rows is the report of the archive that holds them all.
    ExpectSameReport(second);
}

TEST_F(SiteServerTest, AWrongPasswordOrNoServerLeavesTheRowsWaitingAndNoPasswordShown) {
    const std::string archive = Archive("a.sqlite3", 50);
    const std::string wrong =
        std::regex_replace(connection, std::regex("Pwd=[^;]*"), "Pwd=Wrong-" + password);
    Ran ran = RunProgram(Sync(archive, wrong), dir);
    EXPECT_EQ(ran.status, 8);
    EXPECT_NE(ran.err.find("Pwd=***"), std::string::npos) << ran.err;
    EXPECT_NE(ran.err.find(OnMariaDb() ? "Access denied" : "password authentication failed"),
              std::string::npos)
        << ran.err;
    EXPECT_EQ(ran.err.find(password), std::string::npos) << ran.err;
    EXPECT_NE(ran.err.find("사이트 보관: 50건 대기"), std::string::npos) << ran.err;

    const std::string noServer =
        std::regex_replace(connection, std::regex("Port=[0-9]+"), "Port=1");
    ran = RunProgram(Sync(archive, noServer), dir);
    EXPECT_EQ(ran.status, 8);
    EXPECT_NE(ran.err.find("에 연결하지 못했습니다."), std::string::npos) << ran.err;
    EXPECT_EQ(ran.err.find(password), std::string::npos) << ran.err;
    EXPECT_EQ(Waiting(archive), 50u);

    // Taken from the environment when not given: then all goes.
    setenv("OMBRIX_SITE_FILE", SiteFile(connection).c_str(), 1);
    ran = Ombrix({"--archive", archive, "sync"});
    unsetenv("OMBRIX_SITE_FILE");
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, Pushed(50, 0));
    ran = Ombrix({"--archive", archive, "sync"});
    EXPECT_EQ(ran.status, 2);
    EXPECT_NE(ran.err.find("사이트 보관 데이터베이스가 설정되지 않았습니다."), std::string::npos);
}

TEST_F(SiteServerTest, TheConnectionStringComesFromAPrivateFileOrTheStoredSettingAndIsTested) {
    const std::string archive = Archive("a.sqlite3", 20);
    // A site file that its group or others may read is refused, and nothing is sent.
    const std::string open =
        SiteFile(connection, "open.conn",
                 std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                     std::filesystem::perms::others_read);
    for (const auto& words :
         {std::vector<std::string>{"--archive", archive, "--site-file", open, "sync"},
          std::vector<std::string>{"--site-file", open, "site", "test"}}) {
        const Ran refused = Ombrix(words);
        EXPECT_EQ(refused.status, 2);
        EXPECT_NE(refused.err.find(open + ": its group or others may read it"), std::string::npos)
            << refused.err;
    }
    EXPECT_EQ(Waiting(archive), 20u);
    EXPECT_EQ(Ombrix({"--site", "DSN=x", "site", "set"}).status, 2);  // never from its arguments

    // site set from standard input: the owner's file, which show masks and sync takes.
    const std::string stored = (dir / "config" / "ombrix" / "site").string();
    Ran ran = RunProgram({OMBRIX_PROGRAM, "site", "set"}, dir, SiteFile(connection));
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(FileBytes(stored), connection + "\n");
    EXPECT_EQ(std::filesystem::status(stored).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const std::string masked = std::regex_replace(connection, std::regex("Pwd=[^;]*"), "Pwd=***");
    ran = Ombrix({"site", "show"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, stored + ": " + masked + "\n");
    EXPECT_EQ(ran.out.find(password), std::string::npos);
    const std::string named = SiteFile(connection, "named.conn");
    EXPECT_EQ(Ombrix({"--site-file", named, "site", "show"}).out, named + ": " + masked + "\n");
    ran = Ombrix({"--archive", archive, "sync"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, Pushed(20, 0));

    // site test says where it arrived and creates nothing.
    ASSERT_TRUE(Site().Execute("DROP TABLE ombrix_measurements"));
    ran = Ombrix({"site", "test"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    for (const char* part : {"reached server ", "database ombrix_site", "login ombrix"})
        EXPECT_NE(ran.out.find(part), std::string::npos) << ran.out;
    EXPECT_FALSE(Site().Execute("SELECT 1 FROM ombrix_measurements"));
    const std::string wrong =
        std::regex_replace(connection, std::regex("Pwd=[^;]*"), "Pwd=Wrong-" + password);
    ran = Ombrix({"--site-file", SiteFile(wrong, "wrong.conn"), "site", "test"});
    EXPECT_EQ(ran.status, 8);
    EXPECT_NE(ran.err.find(OnMariaDb() ? "Access denied" : "password authentication failed"),
              std::string::npos)
        << ran.err;
    EXPECT_EQ(ran.err.find(password), std::string::npos) << ran.err;
}

TEST_F(SiteServerTest, ATableMadeFirstByAnotherPcOrByItIsTakenAsItIs) {
    const std::string sql = DocumentedTable();
    ASSERT_FALSE(sql.empty()) << "docs/archive.md gives the table for the engine";
    Run(sql);
    const std::string archive = Archive("a.sqlite3", 30);
    Ran ran = RunProgram(Sync(archive, connection), dir);
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, Pushed(30, 0));
    EXPECT_EQ(SiteRows(), std::make_pair(int64_t{30}, int64_t{30}));
}

TEST_F(SiteServerTest, AServerStoppedMidPushLosesNothingAndDoublesNothing) {
    const std::string archive = Archive("big.sqlite3", 65535);
    const pid_t sync = StartProgram(Sync(archive, connection), dir);
    // Stopped as soon as the first batches are there, while the rest are on their way.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (SiteRows().first <= 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    site.reset();
    Server("halt");
    const Ran halted = WaitForProgram(sync, dir);
    EXPECT_EQ(halted.status, 8) << halted.out << halted.err;
    const size_t waiting = Waiting(archive);
    EXPECT_GT(waiting, 0u);
    EXPECT_LT(waiting, 65535u);

    Server("resume");
    const Ran resumed = RunProgram(Sync(archive, connection), dir);
    EXPECT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_EQ(SiteRows(), std::make_pair(int64_t{65535}, int64_t{65535}));
    EXPECT_EQ(Waiting(archive), 0u);
}

// Two PCs with the same rows, answering the same results, pushing at once: each row and each
// answer counted once.
TEST_F(SiteServerTest, TwoPcsPushingTheSameRowsAtOnceStoreThemOnce) {
    const std::string one = Archive("one.sqlite3", 6000), two = Archive("two.sqlite3", 6000);
    // Both answer the same results, each in its own words: answered once each on the site.
    const std::vector<Measurement> failed = Newest(one, Verdict::Contaminated, 50);
    ASSERT_EQ(failed.size(), 50u);
    for (const Measurement& row : failed) {
        Note(one, row, "재세척", "kim", "2026-03-10 09:00:00");
        Note(two, row, "폐기", "lee", "2026-03-10 09:00:00");
    }
    const pid_t first = StartProgram(Sync(one, connection), dir, "1");
    const pid_t second = StartProgram(Sync(two, connection), dir, "2");
    const Ran a = WaitForProgram(first, dir, "1"), b = WaitForProgram(second, dir, "2");
    EXPECT_EQ(a.status, 0) << a.err;
    EXPECT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(SiteRows(), std::make_pair(int64_t{6000}, int64_t{6000}));
    // Between them every row went once and was found there once.
    const std::regex counts("(\\d+)건을 보냈습니다. \\(이미 있던 측정 기록 (\\d+)건\\)");
    std::smatch ma, mb;
    ASSERT_TRUE(std::regex_search(a.out, ma, counts) && std::regex_search(b.out, mb, counts));
    EXPECT_EQ(std::stoi(ma[1]) + std::stoi(mb[1]), 6000);
    EXPECT_EQ(std::stoi(ma[2]) + std::stoi(mb[2]), 6000);
    EXPECT_EQ(SiteActions(), std::make_pair(int64_t{100}, int64_t{50}));
    EXPECT_EQ(CountedRows(), 6000);
    EXPECT_EQ(CountedRows("answered"), 50);
}

// A row as the tests compare them: what the table shows of it, and its source.
std::string RowLine(const Measurement& m) {
    return m.measuredAt + "|" + std::to_string(m.value) + "|" + m.userName + "|" + m.standardName +
           "|" + m.source;
}

// Rows of `seconds` distinct times, `each` of them measured in the same second (values apart).
std::vector<Measurement> Ties(const std::string& day, int seconds, int each) {
    std::vector<Measurement> rows;
    for (int second = 0; second < seconds; ++second)
        for (int i = 0; i < each; ++i) {
            Measurement m;
            m.measuredAt = day + " 10:00:" + (second < 10 ? "0" : "") + std::to_string(second);
            m.userName = "동시" + std::to_string(i % 3);
            m.standardName = "세균";
            m.safetyIndex = 100;
            m.dangerIndex = 200;
            m.value = 1000 + i;
            m.verdict = Verdict::Contaminated;
            rows.push_back(m);
        }
    return rows;
}

// The history window's "사이트 전체" counts what the window counts of this PC's archive holding
// the same rows: the names offered, the summary's counts and the chart, for the whole period and
// with filters; a query replaced before it ends leaves only the later one's results.
TEST_F(SiteServerTest, TheWindowsSiteRowsAreCountedAsThisPcsArchiveCountsThem) {
    const std::string path = Archive("counted.sqlite3", 3000);
    {
        ArchiveFile more(path);
        Keep(more, 400, 9, "COM4");
    }
    ASSERT_EQ(RunProgram(Sync(path, connection), dir).status, 0);
    ArchiveStatus opened;
    auto archive = Archive::Open(path, opened);
    ASSERT_TRUE(archive);
    HistoryModel local(*archive);
    ASSERT_TRUE(local.LoadNames());
    SiteResults results;
    SiteHistoryModel site(connection, results.Arrived());

    HistoryChoices all;
    all.firstDay = *SecondsFromTimeText("2026-01-01 00:00:00");
    all.lastDay = *SecondsFromTimeText("2026-03-31 00:00:00");
    HistoryChoices filtered = all;
    filtered.lastDay = *SecondsFromTimeText("2026-02-14 00:00:00");
    filtered.standard = local.Names().standards.front();
    filtered.verdicts = {false, true, true};
    HistoryTexts texts;
    texts.summary = "%1 %2 %4 %6";
    texts.summaryNone = " 기준없음 %1";
    HistoryChoices few = all;
    few.firstDay = few.lastDay = *SecondsFromTimeText("2026-02-02 00:00:00");
    for (const HistoryChoices& choices : {all, filtered, few}) {
        for (const int columns : {1000, 12}) {  // buckets, and single rows where few
            ASSERT_TRUE(local.Query(choices, columns));
            site.Query(filtered, columns);  // replaced at once
            site.Query(choices, columns);
            ASSERT_TRUE(results.Until(site, [&] { return site.Counted() && site.NamesOfPeriod(); }))
                << results.failed->diagnostic;
            EXPECT_EQ(site.Names().standards, local.Names().standards);
            EXPECT_EQ(site.Names().users, local.Names().users);
            EXPECT_EQ(site.RowCount(), local.RowCount());
            for (Verdict v :
                 {Verdict::Safe, Verdict::Caution, Verdict::Contaminated, Verdict::None})
                EXPECT_EQ(site.Counts().Of(v), local.Counts().Of(v));
            ASSERT_EQ(site.Chart().size(), local.Chart().size());
            for (size_t i = 0; i < site.Chart().size(); ++i) {
                const ChartSeries &a = site.Chart()[i], &b = local.Chart()[i];
                EXPECT_EQ(std::tie(a.name, a.safetyIndex, a.dangerIndex),
                          std::tie(b.name, b.safetyIndex, b.dangerIndex));
                ASSERT_EQ(a.samples.size(), b.samples.size()) << a.name;
                for (size_t k = 0; k < a.samples.size(); ++k)
                    EXPECT_EQ(std::tie(a.samples[k].from, a.samples[k].count, a.samples[k].maxValue,
                                       a.samples[k].rowId),
                              std::tie(b.samples[k].from, b.samples[k].count, b.samples[k].maxValue,
                                       b.samples[k].rowId));
            }
            EXPECT_EQ(site.Summary(texts), SummaryText(texts, local.Counts()));
        }
    }
    // Every query replaced has ended and closed its connection: the last one's stays, waiting
    // for the table's pages, beside the test's own.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (Sessions() != 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(Sessions(), 2);
}

// The table's rows a page at a time, in the site's order (newest first, ties on one second by
// key), whichever way the operator scrolls: forward page after page, backward from the end, and
// by dragging the thumb anywhere (a jump through the buckets' counts lands on the very row). Only
// a few pages are ever held.
TEST_F(SiteServerTest, TheWindowsSiteRowsArePagedInOneOrderWhicheverWayTheTableScrolls) {
    const std::string path = Archive("paged.sqlite3", 1500);
    {
        ArchiveFile ties(path);
        ListFeed feed(Ties("2026-02-10", 4, 260));  // pages of the table end within a second
        BatchCount kept;
        ASSERT_TRUE(ties.Keep("COM3", feed, kept));
    }
    ASSERT_EQ(RunProgram(Sync(path, connection), dir).status, 0);
    SiteStatus status;
    auto database = SiteDatabase::Open(connection, status);
    ASSERT_TRUE(database) << status.diagnostic;
    HistoryChoices choices;
    choices.firstDay = *SecondsFromTimeText("2026-01-01 00:00:00");
    choices.lastDay = *SecondsFromTimeText("2026-03-31 00:00:00");
    std::vector<std::string> order;  // the site's, read whole
    ASSERT_TRUE(database->ForEach(
        {FilterOf(choices), std::nullopt},
        [&](const Measurement& m) {
            order.push_back(RowLine(m));
            return true;
        },
        RowOrder::NewestFirst));
    ASSERT_EQ(order.size(), 1500u + 4 * 260);

    const auto read = [&](const std::vector<size_t>& indices, int columns) {
        SiteResults results;
        SiteHistoryModel site(connection, results.Arrived());
        site.Query(choices, columns);
        EXPECT_TRUE(results.Until(site, [&] { return site.Counted(); }));
        std::vector<std::string> lines;
        size_t held = 0;
        for (const size_t index : indices) {
            const Measurement* row = results.Row(site, index);
            lines.push_back(row ? RowLine(*row) : "(none)");
            held = std::max(held, site.RowsHeld());
        }
        EXPECT_LE(held, 24u * 200u);
        return lines;
    };
    std::vector<size_t> forward(order.size()), backward, jumps;
    for (size_t i = 0; i < order.size(); ++i) forward[i] = i;
    backward.assign(forward.rbegin(), forward.rend());
    std::vector<std::string> reversed(order.rbegin(), order.rend());
    // Anywhere, then around: the page before a held one read backward, after one forward.
    for (size_t index : {size_t{1700}, size_t{1300}, size_t{2499}, size_t{5}, size_t{1100},
                         size_t{1099}, size_t{1499}, size_t{1500}, size_t{901}})
        jumps.push_back(index);
    std::vector<std::string> jumped;
    for (size_t index : jumps) jumped.push_back(order[index]);
    for (const int columns : {1000, 40}) {  // buckets of a few hours, and of days
        EXPECT_EQ(read(forward, columns), order);
        EXPECT_EQ(read(backward, columns), reversed);
        EXPECT_EQ(read(jumps, columns), jumped);
    }
}

// What the server counts and pages is what the local archive counts and lists from the same
// rows: the buckets of the chart (and so the summary and the table per standard), the rows a
// page of SITE_ROWS_PER_PAGE at a time in both orders, the sources and the CSV, for every row
// and for a filtered month.
TEST_F(SiteServerTest, TheServerCountsAndPagesTheRowsAsTheArchiveHoldsThem) {
    const int64_t count = 2 * SITE_ROWS_PER_PAGE + 1234;
    const std::string path = Archive("many.sqlite3", count);
    {
        ArchiveFile more(path);
        Keep(more, 500, 3, "COM4");
    }
    ASSERT_EQ(RunProgram(Sync(path, connection), dir).status, 0);
    SiteStatus status;
    auto site = SiteDatabase::Open(connection, status);
    ASSERT_TRUE(site) << status.diagnostic;
    ArchiveStatus opened;
    auto local = Archive::Open(path, opened);
    ASSERT_TRUE(local);

    SiteFilter month;
    ASSERT_TRUE(SetFilterDays("2026-02-01", "2026-02-28", month.history));
    month.history.verdicts = VerdictBit(Verdict::Caution) | VerdictBit(Verdict::Contaminated);
    // A period that begins and ends within an hour: its whole hours from the hourly counts, the
    // rest from the rows.
    SiteFilter within;
    within.history.from = SecondsFromTimeText("2026-02-03 10:30:15");
    within.history.until = SecondsFromTimeText("2026-02-20 17:45:00");
    within.history.standard = "ATP 도마";
    for (const SiteFilter& filter : {SiteFilter{}, month, within}) {
        const int64_t origin = filter.history.from.value_or(0) / 3600 * 3600, width = 6 * 3600;
        std::vector<ChartBucket> fromSite, fromArchive;
        ASSERT_TRUE(site->CountBuckets(filter, origin, width, fromSite));
        ASSERT_TRUE(ChartBuckets(*local, filter.history, origin, width, fromArchive));
        ASSERT_EQ(fromSite.size(), fromArchive.size());
        EXPECT_GT(fromSite.size(), 10u);
        for (size_t i = 0; i < fromSite.size(); ++i) {
            const ChartBucket &a = fromSite[i], &b = fromArchive[i];
            EXPECT_EQ(std::tie(a.start, a.standard, a.safetyIndex, a.dangerIndex),
                      std::tie(b.start, b.standard, b.safetyIndex, b.dangerIndex));
            const ChartSample &x = a.sample, &y = b.sample;
            EXPECT_EQ(std::tie(x.from, x.to, x.count, x.minValue, x.maxValue, x.valueSum),
                      std::tie(y.from, y.to, y.count, y.minValue, y.maxValue, y.valueSum))
                << i;
            for (Verdict v :
                 {Verdict::Safe, Verdict::Caution, Verdict::Contaminated, Verdict::None})
                EXPECT_EQ(x.verdicts.Of(v), y.verdicts.Of(v)) << i;
        }

        for (RowOrder order : {RowOrder::NewestFirst, RowOrder::OldestFirst}) {
            std::vector<std::string> siteRows, archiveRows;
            const auto line = [](std::vector<std::string>& lines) {
                return [&lines](const Measurement& m) {
                    lines.push_back(m.measuredAt + "|" + std::to_string(m.value) + "|" +
                                    m.userName + "|" + m.standardName + "|" + m.source);
                    return true;
                };
            };
            ASSERT_TRUE(site->ForEach(filter, line(siteRows), order));
            ASSERT_TRUE(ForEachMeasurement(*local, filter.history, line(archiveRows), order));
            EXPECT_EQ(siteRows, archiveRows);
        }
    }
    std::vector<std::string> sources;
    ASSERT_TRUE(site->Sources({}, sources));
    EXPECT_EQ(sources, (std::vector<std::string>{"COM3", "COM4"}));
    // A period's sources, which MariaDB finds by skipping along the index of sources and times:
    // only those with a row in the period, none before the first row.
    const struct {
        const char *first, *last;
        std::vector<std::string> sources;
    } periods[] = {
        {"2026-02-01", "2026-02-28", {"COM3", "COM4"}},
        {"2026-03-31", "2026-03-31", {"COM3", "COM4"}},
        {"2025-12-01", "2025-12-31", {}},
    };
    for (const auto& period : periods) {
        SiteFilter filter;
        ASSERT_TRUE(SetFilterDays(period.first, period.last, filter.history));
        ASSERT_TRUE(site->Sources(filter, sources));
        EXPECT_EQ(sources, period.sources) << period.first;
    }

    const Ran csv = Ombrix({"--site-file", SiteFile(connection), "history", "--show-ids"});
    EXPECT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), count + 500 + 1);
    EXPECT_EQ(csv.out, Ombrix({"--archive", path, "history"}).out);
    ExpectSameReport(path);
}

// The hourly counts that pushes keep agree with the rows however the rows came (a copy of the
// archive pushed from a second PC first, its rows already there for the first, a push with
// nothing new, rows added to hours that have counts, rows answered by actions before or after
// they came), and with what docs/archive.md's SQL builds from the rows of a table made before the
// counts.
TEST_F(SiteServerTest, TheHourlyCountsAgreeWithTheRowsAndWithTheDocumentedBuild) {
    const std::string first = Archive("first.sqlite3", 3000, 7);
    const std::string copy = (dir / "copy.sqlite3").string();
    std::filesystem::copy_file(first, copy);
    {
        ArchiveFile more(first);
        Keep(more, 400, 8, "COM4");
    }
    // Actions on rows the copy pushes first, two versions on one: each row answered once.
    const std::vector<Measurement> failed = Newest(first, Verdict::Contaminated, 2);
    const std::vector<Measurement> caution = Newest(first, Verdict::Caution, 1);
    ASSERT_EQ(failed.size() + caution.size(), 3u);
    Note(first, failed[0], "재세척", "kim", "2026-03-10 09:00:00");
    Note(first, failed[0], "재세척 후 재측정", "kim", "2026-03-10 09:01:00");
    Note(first, failed[1], "폐기", "lee", "2026-03-10 09:00:00");
    Note(first, caution[0], "확인", "kim", "2026-03-10 09:00:00");
    for (const std::string& archive : {copy, first, copy})
        ASSERT_EQ(RunProgram(Sync(archive, connection), dir).status, 0);
    const std::string pushed = Counts();
    EXPECT_NE(pushed.find("|COM4|"), std::string::npos);
    EXPECT_EQ(CountedRows(), SiteRows().first);
    EXPECT_EQ(CountedRows("answered"), 3);

    const std::string build =
        DocumentedSql(OnMariaDb() ? "-- MariaDB: ombrix_hourly_counts from the rows"
                                  : "-- PostgreSQL: ombrix_hourly_counts from the rows");
    ASSERT_FALSE(build.empty());
    Run("DROP TABLE ombrix_hourly_counts;\n" + build);
    EXPECT_EQ(Counts(), pushed);

    // A row that comes after the action on it (the server had refused it, or IT had moved it
    // out): answered as it is added.
    Run("DELETE FROM ombrix_measurements WHERE identity_hash = '" + SiteIdentityHash(failed[1]) +
        "';\nDROP TABLE ombrix_hourly_counts;\n" + build);
    EXPECT_EQ(CountedRows("answered"), 2);
    const std::string again = (dir / "again.sqlite3").string();
    std::filesystem::copy_file(first, again);
    OnArchive(again, "UPDATE readings SET pushed = 0");
    const Ran ran = RunProgram(Sync(again, connection), dir);
    EXPECT_EQ(ran.out, Pushed(1, 3399)) << ran.err;
    EXPECT_EQ(Counts(), pushed);

    // Later pushes add to the counts built, into hours that have some.
    {
        ArchiveFile more(first);
        Keep(more, 300, 9, "COM3");
    }
    ASSERT_EQ(RunProgram(Sync(first, connection), dir).status, 0);
    EXPECT_EQ(CountedRows(), SiteRows().first);
    EXPECT_EQ(SiteRows().first, 3700);
}

// A query the operator has replaced, cancelled from the window's thread: it stops at the latest
// after the page it is reading, says so, and the site's later queries fail too; a site opened
// anew reads as before. Cancelled while the server counts (SQLCancel), the count either ends
// first or says it was cancelled, never anything else.
TEST_F(SiteServerTest, AQueryCancelledFromAnotherThreadStopsAndSaysSo) {
    ASSERT_EQ(
        RunProgram(Sync(Archive("two-pages.sqlite3", SITE_ROWS_PER_PAGE + 100), connection), dir)
            .status,
        0);
    SiteStatus status;
    auto site = SiteDatabase::Open(connection, status);
    ASSERT_TRUE(site) << status.diagnostic;
    std::promise<void> reading, cancelled;
    size_t seen = 0;
    SiteStatus read;
    std::thread reader([&] {
        read = site->ForEach(
            {},
            [&](const Measurement&) {
                if (++seen == 1) {
                    reading.set_value();
                    cancelled.get_future().wait();
                }
                return true;
            },
            RowOrder::NewestFirst);
    });
    reading.get_future().wait();
    site->Cancel();
    cancelled.set_value();
    reader.join();
    EXPECT_FALSE(read);
    EXPECT_EQ(read.diagnostic, "cancelled");
    EXPECT_EQ(seen, SITE_ROWS_PER_PAGE);
    std::vector<ChartBucket> buckets;
    EXPECT_EQ(site->CountBuckets({}, 0, 3600, buckets).diagnostic, "cancelled");

    site = SiteDatabase::Open(connection, status);
    ASSERT_TRUE(site) << status.diagnostic;
    SiteStatus counted;
    std::thread counter([&] { counted = site->CountBuckets({}, 0, 60, buckets); });
    site->Cancel();
    counter.join();
    EXPECT_TRUE(counted || counted.diagnostic == "cancelled") << counted.diagnostic;
}

// The window's worker: a write is pushed behind the operator's back; a server away leaves the
// rows waiting, with the reason, until the next write finds it back.
TEST_F(SiteServerTest, TheWindowPushesAfterEveryWriteAndRowsWaitWhileTheServerIsAway) {
    const std::string path = (dir / "window.sqlite3").string();
    ArchiveFile file(path);
    SiteWorker worker(path, connection, [] {});
    PushingArchive archive(file, worker);
    const auto keep = [&](int64_t count, uint32_t seed) { Keep(archive, count, seed); };
    const auto waitFor = [&](const std::function<bool(const SiteState&)>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        SiteState state = worker.State();
        while (!done(state) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            state = worker.State();
        }
        return state;
    };
    const auto settled = [](size_t waiting, bool failed) {
        return [=](const SiteState& s) {
            return s.counted && !s.pushing && s.waiting == waiting && s.failed == failed;
        };
    };

    keep(10, 1);
    SiteState state = waitFor(settled(0, false));
    EXPECT_EQ(state.waiting, 0u);
    EXPECT_FALSE(state.lastPushedAt.empty());
    EXPECT_EQ(SiteRows().first, 10);

    site.reset();
    Server("halt");
    keep(5, 2);
    state = waitFor(settled(5, true));
    EXPECT_TRUE(state.failed);
    EXPECT_EQ(state.waiting, 5u);
    EXPECT_NE(state.lastError.find(OnMariaDb() ? "Can't connect" : "[08001]"), std::string::npos)
        << state.lastError;

    Server("resume");
    keep(5, 2);  // the same rows again: nothing new, but a write all the same
    state = waitFor(settled(0, false));
    EXPECT_FALSE(state.failed) << state.lastError;
    EXPECT_EQ(SiteRows(), std::make_pair(int64_t{15}, int64_t{15}));
}

// A row the server refuses for its content is set aside with the server's reason; every other
// row is stored and the rows measured later keep flowing. A batch refused whole is the table's
// fault: its rows stay waiting.
TEST_F(SiteServerTest, ARowTheServerRefusesIsSetAsideAndTheRestFlow) {
    const std::string path = (dir / "refused.sqlite3").string();
    ArchiveFile archive(path);
    const auto keep = [&](int first, int count) {
        std::vector<Measurement> rows;
        for (int i = first; i < first + count; ++i) {
            Measurement m;
            m.measuredAt = TimeText(1780000000 + i * 60);
            m.userName = "홍길동";
            m.standardName = "세슘";
            m.value = i;
            rows.push_back(m);
        }
        ListFeed feed(std::move(rows));
        BatchCount kept;
        EXPECT_TRUE(archive.Keep("COM3", feed, kept));
    };
    ASSERT_EQ(RunProgram(Sync(path, connection), dir).status, 0);  // the table made
    ASSERT_TRUE(Site().Execute(
        "ALTER TABLE ombrix_measurements ADD CONSTRAINT not_500 CHECK (value <> 500)"))
        << Site().LastDiagnostic();

    keep(0, 1000);
    Ran ran = RunProgram(Sync(path, connection), dir);
    EXPECT_EQ(ran.status, 10) << ran.err;
    EXPECT_EQ(ran.out, Pushed(999, 0));
    EXPECT_NE(ran.err.find("사이트 보관이 거부한 측정 기록: " + TimeText(1780000000 + 500 * 60) +
                           " 홍길동 세슘 500 · 이유: ["),
              std::string::npos)
        << ran.err;
    EXPECT_NE(ran.err.find("not_500"), std::string::npos) << ran.err;
    EXPECT_NE(ran.err.find("사이트 보관: 0건 대기 · 1건 거부됨"), std::string::npos) << ran.err;
    EXPECT_EQ(SiteRows(), std::make_pair(int64_t{999}, int64_t{999}));

    keep(1000, 10);
    ran = RunProgram(Sync(path, connection), dir);
    EXPECT_EQ(ran.status, 10) << ran.err;
    EXPECT_EQ(ran.out, Pushed(10, 0));
    EXPECT_EQ(SiteRows().first, 1009);

    // Every row of a batch refused: the table's fault, not the rows'.
    ASSERT_TRUE(Site().Execute(
        "ALTER TABLE ombrix_measurements ADD CONSTRAINT small CHECK (value < 2000)"));
    keep(2000, 5);
    ran = RunProgram(Sync(path, connection), dir);
    EXPECT_EQ(ran.status, 8) << ran.err;
    EXPECT_NE(ran.err.find("사이트 보관: 5건 대기 · 1건 거부됨"), std::string::npos) << ran.err;
    EXPECT_EQ(Waiting(path), 5u);

    ASSERT_TRUE(Site().Execute("ALTER TABLE ombrix_measurements DROP CONSTRAINT small"));
    ASSERT_TRUE(Site().Execute("ALTER TABLE ombrix_measurements DROP CONSTRAINT not_500"));
    ran = RunProgram(Sync(path, connection), dir);
    EXPECT_EQ(ran.status, 10) << ran.err;  // set aside until asked to go again
    EXPECT_EQ(ran.out, Pushed(5, 0));
    ran = RunProgram({OMBRIX_PROGRAM, "--archive", path, "--site-file", SiteFile(connection),
                      "sync", "--retry-refused"},
                     dir);
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, Pushed(1, 0));
    EXPECT_EQ(SiteRows(), std::make_pair(int64_t{1015}, int64_t{1015}));
    EXPECT_EQ(Waiting(path), 0u);
}

// A table made by the program is of version 2: a key, the time received, the identity as the
// SHA-256 of its text, the one docs/archive.md gives.
TEST_F(SiteServerTest, TheTableMadeWhenMissingKeepsTheIdentityAsItsHash) {
    const std::string path = (dir / "one.sqlite3").string();
    {
        ArchiveFile archive(path);
        Measurement m;
        m.measuredAt = "2026-03-07 14:00:00";
        m.value = 150;
        m.userName = "홍길동";
        m.id1 = 101, m.id2 = 2001;
        m.standardName = "세균";
        ListFeed feed({m});
        BatchCount kept;
        ASSERT_TRUE(archive.Keep("COM3", feed, kept));
        EXPECT_EQ(SiteIdentityHash(m),
                  "f8b768303056ed0916b5a0eebe12c6ccc0b37d7502ff3b34ca9d9e210855ff7e");
    }
    const Ran ran = RunProgram(Sync(path, connection), dir);
    ASSERT_EQ(ran.status, 0) << ran.err;
    auto row = Site().Prepare(
        "SELECT identity_hash, measured_at, id FROM ombrix_measurements WHERE received_at IS NOT "
        "NULL",
        0);
    bool more = false, ok = true;
    ASSERT_TRUE(row && row->Execute() && row->Fetch(more) && more) << Site().LastDiagnostic();
    EXPECT_EQ(row->Text(1, ok).value_or(""),
              "f8b768303056ed0916b5a0eebe12c6ccc0b37d7502ff3b34ca9d9e210855ff7e");
    EXPECT_EQ(row->Text(2, ok).value_or(""), "2026-03-07 14:00:00");
    EXPECT_TRUE(row->Integer(3, ok).has_value());
    row->CloseCursor();
}

// Today's table (version 1) is pushed to as it is, and after IT's migration (the SQL that
// docs/archive.md gives) the rows pushed before are found by their hash.
TEST_F(SiteServerTest, TodaysTableIsPushedToUntilMigratedAndItsRowsAreFoundAfter) {
    Run(DocumentedSql("-- version 1"));
    const std::string first = Archive("first.sqlite3", 300);
    Ran ran = RunProgram(Sync(first, connection), dir);
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, Pushed(300, 0));
    EXPECT_EQ(SiteRows(), std::make_pair(int64_t{300}, int64_t{300}));
    // Today's table counted on the server too: times as texts.
    ExpectSameReport(first);

    const std::string migration =
        DocumentedSql(OnMariaDb() ? "-- MariaDB: version 1 to 2" : "-- PostgreSQL: version 1 to 2");
    ASSERT_FALSE(migration.empty());
    Run(migration);
    EXPECT_EQ(SiteRows(), std::make_pair(int64_t{300}, int64_t{300}));

    // A second PC with the same 300 and a few more: the 300 found by the server's hashes.
    const std::string second = Archive("second.sqlite3", 300);
    {
        ArchiveFile more(second);
        Keep(more, 10, 9, "COM4");
    }
    ran = RunProgram(Sync(second, connection), dir);
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, Pushed(10, 300));
    EXPECT_EQ(SiteRows(), std::make_pair(int64_t{310}, int64_t{310}));
    EXPECT_EQ(Ombrix({"--site-file", SiteFile(connection), "history", "--show-ids"}).out,
              Ombrix({"--archive", second, "history"}).out);
}

// Every version of an action is a row of ombrix_actions, stored once however often it is pushed:
// again after a lost reply, or from a second PC with a copy of the archive. The site's report
// counts the results answered on the server and shows each one's latest version, as this PC's
// report does from its own archive.
TEST_F(SiteServerTest, ActionsGoOnceEveryVersionARowAndTheSiteReportTellsTheLatest) {
    const std::string first = Archive("first.sqlite3", 600);
    const std::vector<Measurement> failed = Newest(first, Verdict::Contaminated, 2);
    const std::vector<Measurement> caution = Newest(first, Verdict::Caution, 1);
    ASSERT_EQ(failed.size(), 2u);
    ASSERT_EQ(caution.size(), 1u);
    Note(first, failed[0], "재세척", "kim", "2026-03-10 09:00:00");
    Note(first, failed[0], "재세척 후 재측정 안전", "kim", "2026-03-10 09:01:00");
    Note(first, failed[1], "폐기", "lee", "2026-03-10 09:00:00");
    Note(first, caution[0], "확인", "kim", "2026-03-10 09:00:00");

    Ran ran = RunProgram(Sync(first, connection), dir);
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, Pushed(600, 0) + ActionsPushed(4, 0));
    EXPECT_EQ(SiteActions(), std::make_pair(int64_t{4}, int64_t{3}));
    ran = RunProgram(Sync(first, connection), dir);
    EXPECT_EQ(ran.out, Pushed(0, 0));

    // The reply of the site lost: the versions go again, and are found there.
    OnArchive(first, "UPDATE measurement_actions SET pushed = 0");
    ran = RunProgram(Sync(first, connection), dir);
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, Pushed(0, 0) + ActionsPushed(0, 4));
    // A second PC with a copy of the archive, nothing of it pushed from there.
    const std::string second = (dir / "second.sqlite3").string();
    std::filesystem::copy_file(first, second);
    OnArchive(second, "UPDATE readings SET pushed = 0; UPDATE measurement_actions SET pushed = 0");
    ran = RunProgram(Sync(second, connection), dir);
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, Pushed(0, 600) + ActionsPushed(0, 4));
    EXPECT_EQ(SiteActions(), std::make_pair(int64_t{4}, int64_t{3}));

    const std::string report = (dir / "site.html").string();
    ran = Ombrix({"--site-file", SiteFile(connection), "report", "--html", report});
    ASSERT_EQ(ran.status, 0) << ran.err;
    const std::string html = FileBytes(report);
    EXPECT_NE(html.find("중 조치 기록 3건, 미조치 "), std::string::npos);
    EXPECT_NE(html.find("<td>재세척 후 재측정 안전 — kim, 2026-03-10 09:01:00"), std::string::npos);
    EXPECT_EQ(html.find("<td>재세척 — kim"), std::string::npos);
    EXPECT_NE(html.find("<h2>미조치 결과</h2>"), std::string::npos);
    ExpectSameReport(first);
}

// An action the site refuses for its content is set aside with the server's words; the others,
// and those recorded later, go; asked to, it goes again.
TEST_F(SiteServerTest, AnActionTheSiteRefusesIsSetAsideAndTheLaterOnesFlow) {
    const std::string path = Archive("a.sqlite3", 300);
    const std::vector<Measurement> failed = Newest(path, Verdict::Contaminated, 3);
    ASSERT_EQ(failed.size(), 3u);
    Note(path, failed[0], "재세척", "kim", "2026-03-10 09:00:00");
    ASSERT_EQ(RunProgram(Sync(path, connection), dir).status, 0);  // the table made
    ASSERT_TRUE(Site().Execute(
        "ALTER TABLE ombrix_actions ADD CONSTRAINT no_refuse CHECK (action_text <> '거부')"))
        << Site().LastDiagnostic();

    Note(path, failed[1], "거부", "kim", "2026-03-10 09:05:00");
    Note(path, failed[2], "폐기", "kim", "2026-03-10 09:05:00");
    Ran ran = RunProgram(Sync(path, connection), dir);
    EXPECT_EQ(ran.status, 10) << ran.err;
    EXPECT_EQ(ran.out, Pushed(0, 0) + ActionsPushed(1, 0));
    EXPECT_NE(ran.err.find("사이트 보관이 거부한 조치 기록: " + failed[1].measuredAt + " " +
                           failed[1].userName + " " + failed[1].standardName + " " +
                           std::to_string(failed[1].value) + " · 거부 · 이유: ["),
              std::string::npos)
        << ran.err;
    EXPECT_NE(ran.err.find("no_refuse"), std::string::npos) << ran.err;
    EXPECT_NE(ran.err.find("사이트 보관: 조치 기록 0건 대기 · 1건 거부됨"), std::string::npos)
        << ran.err;

    Note(path, failed[0], "재세척 후 재측정", "kim", "2026-03-10 10:00:00");
    ran = RunProgram(Sync(path, connection), dir);
    EXPECT_EQ(ran.status, 10) << ran.err;
    EXPECT_EQ(ran.out, Pushed(0, 0) + ActionsPushed(1, 0));

    ASSERT_TRUE(Site().Execute("ALTER TABLE ombrix_actions DROP CONSTRAINT no_refuse"));
    ran = RunProgram({OMBRIX_PROGRAM, "--archive", path, "--site-file", SiteFile(connection),
                      "sync", "--retry-refused"},
                     dir);
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, Pushed(0, 0) + ActionsPushed(1, 0));
    EXPECT_EQ(SiteActions(), std::make_pair(int64_t{4}, int64_t{3}));
}

// A PC's login that may not create ombrix_actions: the rows go all the same, the actions wait
// with the server's words (in sync's output and the window's state) until IT makes the table
// as docs/archive.md gives it and grants it.
TEST_F(SiteServerTest, ASiteThatRefusesToMakeTheActionsTableStillTakesTheRows) {
    {
        SiteStatus status;
        ASSERT_TRUE(SiteDatabase::Open(connection, status)) << status.diagnostic;
    }
    const std::string pc = PcLogin("ombrix_measurements");
    const std::string path = Archive("a.sqlite3", 100);
    const std::vector<Measurement> failed = Newest(path, Verdict::Contaminated, 2);
    ASSERT_EQ(failed.size(), 2u);
    Note(path, failed[0], "재세척", "kim", "2026-03-10 09:00:00");
    Note(path, failed[1], "폐기", "kim", "2026-03-10 09:00:00");

    Ran ran = RunProgram(Sync(path, pc), dir);
    EXPECT_EQ(ran.status, 8) << ran.err;
    EXPECT_EQ(ran.out, Pushed(100, 0));
    EXPECT_NE(ran.err.find("사이트 보관: 조치 기록 2건 대기"), std::string::npos) << ran.err;
    const char* words = OnMariaDb() ? "CREATE command denied" : "permission denied for schema";
    EXPECT_NE(ran.err.find(words), std::string::npos) << ran.err;
    EXPECT_EQ(SiteRows().first, 100);
    EXPECT_EQ(Waiting(path), 0u);

    // The window's worker says the same.
    {
        SiteWorker worker(path, pc, [] {});
        worker.Push();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        SiteState state = worker.State();
        while (!(state.counted && !state.pushing) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            state = worker.State();
        }
        EXPECT_FALSE(state.failed) << state.lastError;
        EXPECT_EQ(state.waiting, 0u);
        EXPECT_EQ(state.actionsWaiting, 2u);
        EXPECT_NE(state.actionsError.find(words), std::string::npos) << state.actionsError;
    }

    const std::string sql =
        DocumentedSql(OnMariaDb() ? "-- MariaDB: ombrix_actions" : "-- PostgreSQL: ombrix_actions");
    ASSERT_FALSE(sql.empty()) << "docs/archive.md gives the actions' table for the engine";
    Run(sql);
    PcLogin("ombrix_actions");
    ran = RunProgram(Sync(path, pc), dir);
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, Pushed(0, 0) + ActionsPushed(2, 0));
    EXPECT_EQ(SiteActions(), std::make_pair(int64_t{2}, int64_t{2}));
}

// The site's latest action on each of a page of rows, by their identity hashes, for the history
// window: the latest recorded wins, whichever PC pushed it; a row without one has none.
TEST_F(SiteServerTest, TheLatestActionsOfAPageOfRowsComeByTheirHashes) {
    const std::string path = Archive("a.sqlite3", 200);
    const std::vector<Measurement> failed = Newest(path, Verdict::Contaminated, 3);
    ASSERT_EQ(failed.size(), 3u);
    Note(path, failed[0], "나중에 적었으나 먼저 한 조치", "kim", "2026-03-10 08:00:00");
    Note(path, failed[1], "재세척", "lee", "2026-03-10 09:00:00");
    ASSERT_EQ(RunProgram(Sync(path, connection), dir).status, 0);
    // Another PC's version of the first, recorded later and pushed before this one's.
    const std::string other = (dir / "other.sqlite3").string();
    std::filesystem::copy_file(path, other);
    Note(other, failed[0], "다른 PC의 조치", "park", "2026-03-10 09:30:00");
    ASSERT_EQ(RunProgram(Sync(other, connection), dir).status, 0);
    Note(path, failed[0], "이 PC의 이른 조치", "kim", "2026-03-10 09:10:00");
    ASSERT_EQ(RunProgram(Sync(path, connection), dir).status, 0);

    SiteStatus status;
    auto site = SiteDatabase::Open(connection, status);
    ASSERT_TRUE(site) << status.diagnostic;
    std::map<std::string, CorrectiveAction> latest;
    std::vector<std::string> hashes;
    for (const Measurement& m : failed) hashes.push_back(SiteIdentityHash(m));
    ASSERT_TRUE(site->LatestActions(hashes, latest));
    ASSERT_EQ(latest.size(), 2u);
    EXPECT_EQ(latest[hashes[0]].text, "다른 PC의 조치");
    EXPECT_EQ(latest[hashes[0]].by, "park");
    EXPECT_EQ(latest[hashes[0]].at, *SecondsFromTimeText("2026-03-10 09:30:00"));
    EXPECT_EQ(latest[hashes[1]].text, "재세척");
    EXPECT_EQ(latest.count(hashes[2]), 0u);
    EXPECT_EQ(SiteActions(), std::make_pair(int64_t{4}, int64_t{2}));

    // The rows the server reads carry the same hashes.
    SiteFilter open;
    open.history.openOnly = true;
    std::set<std::string> openHashes;
    ASSERT_TRUE(site->ForEach(
        open,
        [&](const Measurement&, const std::string& hash) {
            openHashes.insert(hash);
            return true;
        },
        RowOrder::NewestFirst));
    EXPECT_EQ(openHashes.count(hashes[0]) + openHashes.count(hashes[1]), 0u);
    EXPECT_EQ(openHashes.count(hashes[2]), 1u);
    size_t answered = 0;
    ASSERT_TRUE(site->CountAnswered({}, answered));
    EXPECT_EQ(answered, 2u);
}

// The window's site rows carry the site's latest action, read with each page; 미조치 where a
// 주의 or 오염 row has none. An action recorded on this PC and not on the site yet shows over
// the site's older one; an older one of this PC's does not hide the site's later one.
TEST_F(SiteServerTest, TheWindowsSiteRowsShowTheSitesLatestActionsAndMiJoChiForTheOpen) {
    const std::string path = Archive("rows.sqlite3", 200);
    const std::vector<Measurement> failed = Newest(path, Verdict::Contaminated, 3);
    ASSERT_EQ(failed.size(), 3u);
    Note(path, failed[0], "재세척", "lee", "2026-03-10 09:00:00");
    Note(path, failed[1], "닦아냄", "kim", "2026-03-10 09:00:00");
    ASSERT_EQ(RunProgram(Sync(path, connection), dir).status, 0);

    const std::string second = SiteIdentityHash(failed[1]), third = SiteIdentityHash(failed[2]);
    SiteResults results;
    SiteHistoryModel site(connection, results.Arrived(),
                          [&](const Measurement& row, ActionState& state) {
                              const std::string hash = SiteIdentityHash(row);
                              if (hash == second)
                                  state.action = {"이 PC의 이른 조치", "kim", 1};
                              else if (hash == third)
                                  state.action = {"아직 보내지 않은 조치", "park",
                                                  *SecondsFromTimeText("2026-03-11 08:00:00")};
                              else
                                  return false;
                              return true;
                          });
    HistoryChoices all;
    all.firstDay = *SecondsFromTimeText("2026-01-01 00:00:00");
    all.lastDay = *SecondsFromTimeText("2026-03-31 00:00:00");
    site.Query(all, 1000);
    ASSERT_TRUE(results.Until(site, [&] {
        if (!site.Counted()) return false;
        for (size_t i = 0; i < site.RowCount(); ++i)
            if (!site.Row(i)) return false;
        return true;
    })) << results.failed->diagnostic;
    ASSERT_GT(site.RowCount(), 0u);

    HistoryTexts texts;
    texts.actionOpen = "미조치";
    const std::map<std::string, std::string> expected = {
        {SiteIdentityHash(failed[0]), "재세척"},
        {second, "닦아냄"},
        {third, "아직 보내지 않은 조치"},
    };
    size_t open = 0;
    for (size_t i = 0; i < site.RowCount(); ++i) {
        const Measurement& row = *site.Row(i);
        const std::string cell = site.ActionCell(texts, i);
        if (const auto found = expected.find(SiteIdentityHash(row)); found != expected.end()) {
            EXPECT_EQ(cell, found->second) << row.measuredAt;
        } else if (NeedsAction(row.verdict)) {
            EXPECT_EQ(cell, "미조치") << row.measuredAt;
            ++open;
        } else {
            EXPECT_EQ(cell, "") << row.measuredAt;
        }
    }
    EXPECT_GT(open, 0u);
}

// "사이트 전체" shows another PC's 오염 result; the action recorded on it here shows at once and
// reaches the site at this PC's next sync, though this PC's archive never held the measurement.
TEST_F(SiteServerTest, AnActionOnAnotherPcsSiteRowShowsAtOnceAndGoesToTheSite) {
    const std::string other = Archive("other.sqlite3", 200);
    ASSERT_EQ(RunProgram(Sync(other, connection), dir).status, 0);
    const std::string herePath = (dir / "here.sqlite3").string();
    ArchiveStatus opened;
    auto here = ::Archive::Open(herePath, opened);
    ASSERT_TRUE(here);

    SiteResults results;
    SiteHistoryModel site(
        connection, results.Arrived(),
        [&](const Measurement& row, ActionState& state) {
            std::optional<CorrectiveAction> action;
            if (!LatestAction(*here, row, action) || !action) return false;
            state.action = action;
            return true;
        },
        [&](const Measurement& row, const CorrectiveAction& action) {
            return RecordAction(*here, row, action);
        });
    HistoryChoices all;
    all.firstDay = *SecondsFromTimeText("2026-01-01 00:00:00");
    all.lastDay = *SecondsFromTimeText("2026-03-31 00:00:00");
    site.Query(all, 1000);
    ASSERT_TRUE(results.Until(site, [&] { return site.Counted() && site.Row(0); }))
        << results.failed->diagnostic;
    std::optional<size_t> failed;
    for (size_t i = 0; !failed && i < site.RowCount(); ++i) {
        ASSERT_TRUE(results.Row(site, i));
        if (site.Row(i)->verdict == Verdict::Contaminated) failed = i;
    }
    ASSERT_TRUE(failed);
    const Measurement row = *site.Row(*failed);
    ASSERT_TRUE(site.RecordAction(*failed, {"재세척 후 재측정", "lee", 1800000000}));
    HistoryTexts texts;
    texts.actionOpen = "미조치";
    EXPECT_EQ(site.ActionCell(texts, *failed), "재세척 후 재측정");

    here.reset();
    ASSERT_EQ(RunProgram(Sync(herePath, connection), dir).status, 0);
    SiteStatus status;
    auto database = SiteDatabase::Open(connection, status);
    ASSERT_TRUE(database) << status.diagnostic;
    std::map<std::string, CorrectiveAction> latest;
    ASSERT_TRUE(database->LatestActions({SiteIdentityHash(row)}, latest));
    ASSERT_EQ(latest.size(), 1u);
    EXPECT_EQ(latest.begin()->second.text, "재세척 후 재측정");
}

}  // namespace
