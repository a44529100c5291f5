// The console program `ombrix`, run as its own process against the simulator on a
// pseudo-terminal: what it writes, what it sends, and how it ends.
#include <sqlite3.h>

#include <fstream>
#include <thread>

#include "archive/archive.h"
#include "cli/arguments.h"
#include "cli/port_name.h"
#include "measurement/time_text.h"
#include "records/record_cells.h"
#include "records/record_csv.h"
#include "site/site_setting.h"
#include "tests/dialog_fixture.h"
#include "tests/support/run_program.h"
#include "text/code_page.h"
#include "text/utf8.h"

namespace {

std::string Utf8(const std::string& cp949) { return ConvertText(cp949, CP_KOREAN, CP_UTF8_TEXT); }

// The users of the list-file tests: Hangul, a comma and a quote in names, the ID extremes.
SimState Lab() {
    SimState state;
    state.users = {{-1, 2147483647, kHongJohab}, {0, 5, "a,b"}, {7, 8, "say \"hi\""}};
    state.standards = {{0, 65535, kGaToMaJohab}, {100, 200, "Germ"}};
    state.records = {{1, 1, 150, {11, 3, 7, 0, 5, 9}},
                     {2, 9, 70, {24, 12, 31, 23, 59, 58}},
                     {0, 2, 250, {25, 1, 2, 12, 0, 0}}};
    return state;
}

const char kLabUsers[] =
    "No.,이름,ID1,ID2\n1,홍길동,-1,2147483647\n2,\"a,b\",0,5\n3,\"say \"\"hi\"\"\",7,8\n";
const char kLabStandards[] =
    "No.,측정기준,안전지수,위험지수\n1,가나다라마,0,65535\n2,Germ,100,200\n";
const char kDelayLine[] = "전송이 지연되었습니다. 연결 확인 후 재시도 하세요.\n";

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() / ("ombrix-cli-" + std::to_string(getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        // The user's own archive, where records go without --archive.
        setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    void Start(SimState state = Lab(), FaultPlan faults = {}) {
        sim = std::make_unique<SimOnPty>(std::move(faults), std::move(state));
    }

    // ombrix --port <the simulator> ARGS...
    Ran Ombrix(std::vector<std::string> args) {
        return OmbrixOn(sim ? sim->Path() : "/dev/null", std::move(args));
    }

    Ran OmbrixOn(const std::string& port, std::vector<std::string> args) {
        args.insert(args.begin(), {"--port", port});
        return OmbrixAlone(std::move(args));
    }

    // ombrix ARGS...
    Ran OmbrixAlone(std::vector<std::string> args) {
        args.insert(args.begin(), OMBRIX_PROGRAM);
        return RunProgram(std::move(args), dir);
    }

    std::string Path(const char* name) const { return (dir / name).string(); }

    void Write(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    int RequestCount() const { return sim->Server().RequestCount(); }

    std::filesystem::path dir;
    std::unique_ptr<SimOnPty> sim;
};

TEST_F(CliTest, ListsGoToStandardOutputInUtf8AndToAFileAsTheWindowSavesThem) {
    Start();
    const struct {
        const char* command;
        std::string utf8;
    } lists[] = {{"users", kLabUsers}, {"standards", kLabStandards}};
    for (const auto& list : lists) {
        SCOPED_TRACE(list.command);
        std::string cp949;
        ASSERT_TRUE(ConvertTextExactly(list.utf8, CP_UTF8_TEXT, CP_KOREAN, cp949));
        EXPECT_EQ(Ombrix({list.command}).out, list.utf8);
        EXPECT_EQ(Ombrix({list.command, "--csv", Path("list.csv")}).status, 0);
        EXPECT_EQ(FileBytes(Path("list.csv")), cp949);
        EXPECT_EQ(Ombrix({list.command, "--utf8", "--csv", Path("list.csv")}).status, 0);
        EXPECT_EQ(FileBytes(Path("list.csv")), UTF8_BOM + list.utf8);
    }
    const Ran ran = Ombrix({"users"});
    EXPECT_EQ(ran.err, "사용자 정보 가져오기를 완료하였습니다.\n");
}

TEST_F(CliTest, RecordsAreTheBytesOfTheWindowsExport) {
    Start();
    FakeControls ui;
    FakeSettings settings;
    {
        COmbrix_TessalyDlg dialog(ui, settings);
        ASSERT_TRUE(dialog.ConnectTo(sim->Path()));
        dialog.OnReadRecords();
        ui.savePath = Path("window.csv");
        dialog.OnSaveCsv();
        dialog.OnClose();
    }
    const std::string window = FileBytes(Path("window.csv"));
    ASSERT_EQ(ui.boxes.back(), (ShownBox{ShownBox::Info, IDS_RECORD_READ_DONE, ""}));
    ASSERT_EQ(window.substr(0, sizeof CSV_HEADER - 1), CSV_HEADER);

    EXPECT_EQ(Ombrix({"records", "--csv", Path("cli.csv")}).status, 0);
    EXPECT_EQ(FileBytes(Path("cli.csv")), window);
    EXPECT_EQ(Ombrix({"records", "--csv", Path("cli.csv"), "--utf8"}).status, 0);
    EXPECT_EQ(FileBytes(Path("cli.csv")), UTF8_BOM + Utf8(window));
    const Ran ran = Ombrix({"records"});
    EXPECT_EQ(ran.out, Utf8(window));
    EXPECT_EQ(ran.err,
              "사용자 정보 가져오기를 완료하였습니다.\n"
              "측정 기준 정보 가져오기를 완료하였습니다.\n"
              "측정 기록 가져오기를 완료하였습니다.\n");
}

TEST_F(CliTest, UsersAndStandardsSavedFromOneDeviceAreWrittenToAnother) {
    Start();
    ASSERT_EQ(Ombrix({"users", "--csv", Path("users.csv")}).status, 0);
    ASSERT_EQ(Ombrix({"standards", "--csv", Path("standards.csv"), "--utf8"}).status, 0);
    const SimState first = sim->device.state;

    SimState other;
    other.users = {{1, 2, "old"}};
    Start(other);
    Ran ran = Ombrix({"write-users", Path("users.csv"), "--yes"});
    EXPECT_EQ(ran.status, 0);
    EXPECT_EQ(ran.err,
              "3개 항목을 불러왔습니다.\n"
              "Ombrix에서 사용자 정보가 모두 재기록됩니다. 확실합니까?\n"
              "Ombrix에 사용자 정보 저장하기를 완료하였습니다.\n");
    EXPECT_EQ(Ombrix({"write-standards", Path("standards.csv"), "--yes"}).status, 0);
    ASSERT_EQ(sim->device.state.users.size(), first.users.size());
    for (size_t i = 0; i < first.users.size(); ++i) {
        EXPECT_EQ(sim->device.state.users[i].name, first.users[i].name);
        EXPECT_EQ(sim->device.state.users[i].id1, first.users[i].id1);
        EXPECT_EQ(sim->device.state.users[i].id2, first.users[i].id2);
    }
    ASSERT_EQ(sim->device.state.standards.size(), first.standards.size());
    EXPECT_EQ(sim->device.state.standards[0].name, kGaToMaJohab);
    EXPECT_EQ(sim->device.state.standards[0].danger, 65535);
}

TEST_F(CliTest, WhatChangesTheDeviceIsRefusedWithoutYesAndNothingIsSent) {
    Start();
    Write(Path("users.csv"), "No.,ID\n");
    for (std::vector<std::string> args :
         {std::vector<std::string>{"write-users", Path("users.csv")},
          {"write-standards", Path("users.csv")},
          {"clear-records"}}) {
        const Ran ran = Ombrix(args);
        EXPECT_EQ(ran.status, 2) << args[0];
        EXPECT_NE(ran.err.find("--yes"), std::string::npos) << ran.err;
    }
    EXPECT_EQ(RequestCount(), 0);
    EXPECT_EQ(sim->device.state.records.size(), Lab().records.size());
}

TEST_F(CliTest, ClearingTheRecordsMakesTheUserWriteGoAhead) {
    Start();
    Write(Path("users.csv"), kLabUsers);
    Ran ran = Ombrix({"write-users", Path("users.csv"), "--yes"});
    EXPECT_EQ(ran.status, 5);
    EXPECT_NE(ran.err.find("Ombrix에 사용자 정보를 저장하기 위해서는 Ombrix의 측정 기록을 초기화 "
                           "해주세요.\n"),
              std::string::npos);
    EXPECT_EQ(sim->device.state.users.size(), 3u);
    EXPECT_EQ(Ombrix({"clear-records", "--yes", "--force"}).status, 0);
    EXPECT_TRUE(sim->device.state.records.empty());
    // Nothing left to read or to clear is the end of the operation, not its completion.
    ran = Ombrix({"records"});
    EXPECT_EQ(ran.status, 5);
    EXPECT_EQ(ran.out, "");
    EXPECT_EQ(Ombrix({"clear-records", "--yes"}).status, 5);
    EXPECT_EQ(Ombrix({"write-users", Path("users.csv"), "--yes"}).status, 0);
}

TEST_F(CliTest, ASilentDeviceGivesTheDelayTextAndALineGoneItsCause) {
    FaultPlan faults;
    faults.silentRequests = {1};
    Start(Lab(), faults);
    Ran ran = Ombrix({"users"});
    EXPECT_EQ(ran.status, 4);
    EXPECT_EQ(ran.err, kDelayLine);
    EXPECT_EQ(ran.out, "");

    faults = {};
    faults.hangUpAt = 2;
    Start(Lab(), faults);
    const std::string port = sim->Path();
    ran = Ombrix({"users"});
    EXPECT_EQ(ran.status, 4);
    EXPECT_EQ(ran.err, kDelayLine + port + " \xE2\x80\x94 포트와의 연결이 끊어졌습니다\n");
}

TEST_F(CliTest, AFileThatIsNoGoodListEndsBeforeTheDeviceIsAsked) {
    Start();
    std::string tooMany = "No.,이름,ID1,ID2\n";
    for (int row = 1; row <= 251; ++row) tooMany += "0,n,1,2\n";
    const struct {
        std::string bytes;
        std::string line;
    } files[] = {
        {"No.,이름,ID1,ID2\n1,a,1,2\n2,b,x,3\n",
         "파일의 3번째 줄, ID1 항목이 올바르지 않습니다.\n"},
        {"No.,측정기준\n", "올바른 목록 파일이 아닙니다.\n"},
        {tooMany, "더 이상 추가할 수 없습니다. (저장 수량 : 최대 250개)\n"},
    };
    for (const auto& file : files) {
        Write(Path("bad.csv"), file.bytes);
        const Ran ran = Ombrix({"write-users", Path("bad.csv"), "--yes"});
        EXPECT_EQ(ran.status, 6);
        EXPECT_EQ(ran.err, file.line);
    }
    const Ran ran = Ombrix({"write-users", Path("missing.csv"), "--yes"});
    EXPECT_EQ(ran.status, 6);
    EXPECT_EQ(ran.err, Path("missing.csv") + "을(를) 찾을 수 없습니다.\n");
    EXPECT_EQ(RequestCount(), 0);
}

TEST_F(CliTest, AFileThatCannotBeWritten) {
    Start();
    Ran ran = Ombrix({"users", "--csv", dir.string()});
    EXPECT_EQ(ran.status, 6);
    EXPECT_NE(ran.err.find(dir.string() + "에 잘못된 경로가 있습니다.\n"), std::string::npos);
}

TEST_F(CliTest, APortThatCannotOpenIsNamedWithTheSystemsCause) {
    Start();
    CCommPort window;  // another program has the instrument's port open
    ASSERT_TRUE(window.OpenPort(sim->Path(), 115200));
    const std::string missing = Path("ttyUSB9");
    const std::string tooLong = "/" + std::string(5000, 'x');
    const struct {
        std::string port, cause;
    } cases[] = {
        {"/dev/null", "직렬 포트가 아닙니다"},
        {missing, "포트를 찾을 수 없습니다"},
        {sim->Path(), "다른 프로그램이 포트를 사용 중입니다"},
        {tooLong, "포트 이름이 올바르지 않습니다"},
    };
    for (const auto& c : cases) {
        const Ran ran = OmbrixOn(c.port, {"users"});
        EXPECT_EQ(ran.status, 3);
        EXPECT_EQ(ran.err, c.port + " 연결 실패! \xE2\x80\x94 " + c.cause + "\n");
    }
    EXPECT_EQ(RequestCount(), 0);
}

TEST_F(CliTest, RecordsAreArchivedOnceAndHistoryWritesThemBack) {
    Start();
    const std::string own = (dir / "data" / "ombrix" / "archive.sqlite3").string();
    EXPECT_EQ(Ombrix({"records", "--no-archive"}).status, 0);
    EXPECT_FALSE(std::filesystem::exists(own));
    EXPECT_EQ(Ombrix({"records", "--csv", Path("read.csv")}).status, 0);
    EXPECT_EQ(Ombrix({"records"}).status, 0);
    EXPECT_TRUE(std::filesystem::exists(own));
    // history takes the archive alone: no port.
    Ran ran = Ombrix({"history", "--csv", Path("history.csv")});
    EXPECT_EQ(ran.status, 2);
    sim.reset();
    ran = OmbrixAlone({"--archive", own, "history", "--csv", Path("history.csv")});
    EXPECT_EQ(ran.status, 0);
    EXPECT_EQ(FileBytes(Path("history.csv")), FileBytes(Path("read.csv")));
    ran =
        OmbrixAlone({"history", "--from", "2024-12-31", "--to", "2025-01-02", "--verdict", "오염"});
    EXPECT_EQ(ran.out,
              "No.,시간,이름,ID1,ID2,측정기준,안전지수,위험지수,측정값,결과\n"
              "1,2025-01-02 12:00:00 오후,,,,Germ,100,200,250,오염\n");
}

TEST_F(CliTest, NoteRecordsAnActionOnOneFailedResultAndHistoryOpenListsTheRest) {
    const std::string header = "No.,시간,이름,ID1,ID2,측정기준,안전지수,위험지수,측정값,결과\n";
    const std::string failed = "1,2025-01-02 12:00:00 오후,,,,Germ,100,200,250,오염\n";
    const std::string twins =
        "2,2025-01-02 09:00:00 오전,김,1,,Germ,100,200,150,주의\n"
        "3,2025-01-02 09:00:00 오전,이,2,,Germ,100,200,150,주의\n";
    Write(Path("lab.csv"), UTF8_BOM + header + failed + twins +
                               "4,2025-01-02 08:00:00 오전,,,,Germ,100,200,50,안전\n");
    const std::string archive = Path("a.sqlite3");
    ASSERT_EQ(OmbrixAlone({"--archive", archive, "import", Path("lab.csv")}).status, 0);
    const std::string open = header + "1,2025-01-02 12:00:00 오후,,,,Germ,100,200,250,오염\n" +
                             "2,2025-01-02 09:00:00 오전,이,2,,Germ,100,200,150,주의\n" +
                             "3,2025-01-02 09:00:00 오전,김,1,,Germ,100,200,150,주의\n";
    Ran ran = OmbrixAlone({"--archive", archive, "history", "--open"});
    EXPECT_EQ(ran.status, 0);
    EXPECT_EQ(ran.out, open);

    const std::string nothing = "조치를 기록하지 않았습니다: ";
    const struct {
        std::vector<std::string> where;
        std::string reason;
    } refused[] = {
        {{"--at", "2025-01-02 12:00:01", "--standard", "Germ"},
         nothing + "2025-01-02 12:00:01 Germ의 측정이 보관 파일에 없습니다.\n"},
        {{"--at", "2025-01-02 12:00:00", "--standard", "Mold"},
         nothing + "2025-01-02 12:00:00 Mold의 측정이 보관 파일에 없습니다.\n"},
        {{"--at", "2025-01-02 12:00:00", "--standard", "Germ", "--user", "김"},
         nothing + "2025-01-02 12:00:00 Germ 김의 측정이 보관 파일에 없습니다.\n"},
        {{"--at", "2025-01-02 09:00:00", "--standard", "Germ"},
         nothing + "2025-01-02 09:00:00 Germ의 측정이 둘 이상입니다. --user로 사용자를 "
                   "지정하세요.\n"},
        {{"--at", "2025-01-02 08:00:00", "--standard", "Germ"},
         nothing + "2025-01-02 08:00:00 Germ의 측정 결과가 안전입니다. 조치는 주의와 오염 "
                   "결과에만 기록합니다.\n"},
    };
    for (const auto& c : refused) {
        std::vector<std::string> args = {"--archive", archive, "note"};
        args.insert(args.end(), c.where.begin(), c.where.end());
        args.push_back("재세척");
        ran = OmbrixAlone(args);
        EXPECT_EQ(ran.status, 11) << c.where[1];
        EXPECT_EQ(ran.err, c.reason);
    }
    EXPECT_EQ(OmbrixAlone({"--archive", archive, "history", "--open"}).out, open);

    ran = OmbrixAlone({"--archive", archive, "note", "--at", "2025-01-02 12:00:00", "--standard",
                       "Germ", "표면 재세척 후 재측정"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.err, "조치를 기록했습니다: 2025-01-02 12:00:00 Germ 250 오염\n");
    ran = OmbrixAlone({"--archive", archive, "note", "--at", "2025-01-02 09:00:00", "--standard",
                       "Germ", "--user", "김", "재세척"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(OmbrixAlone({"--archive", archive, "history", "--open"}).out,
              header + "1,2025-01-02 09:00:00 오전,이,2,,Germ,100,200,150,주의\n");

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(archive.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* row = nullptr;
    sqlite3_prepare_v2(db, "SELECT action_text, action_by <> '' FROM actions ORDER BY measured_at",
                       -1, &row, nullptr);
    ASSERT_EQ(sqlite3_step(row), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(row, 0)), "재세척");
    ASSERT_EQ(sqlite3_step(row), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(row, 0)),
                 "표면 재세척 후 재측정");
    EXPECT_EQ(sqlite3_column_int(row, 1), 1);  // signed by the signed-in user
    sqlite3_finalize(row);
    sqlite3_close(db);
}

TEST_F(CliTest, DownloadClearsTheLogOnlyWhenEveryRecordIsArchived) {
    Start();
    Write(Path("blocker"), "a file where the archive's folder would be");
    Ran ran = Ombrix({"--archive", Path("blocker") + "/archive.sqlite3", "download", "--yes"});
    EXPECT_EQ(ran.status, 7);
    EXPECT_NE(ran.err.find(Path("blocker") + "/archive.sqlite3을(를) 열거나 만들 수 없습니다."),
              std::string::npos);
    EXPECT_EQ(sim->device.state.records.size(), 3u);
    ran = Ombrix({"--archive", Path("a.sqlite3"), "download", "--yes"});
    EXPECT_EQ(ran.status, 0);
    EXPECT_TRUE(sim->device.state.records.empty());
    EXPECT_EQ(Ombrix({"--archive", Path("a.sqlite3"), "download", "--yes"}).status, 0);
    EXPECT_EQ(ran.err.find("아직 PC에 보관되지"), std::string::npos);
    ran = OmbrixAlone({"--archive", Path("a.sqlite3"), "history"});
    EXPECT_EQ(std::count(ran.out.begin(), ran.out.end(), '\n'), 4);
}

// SQL run on a file of the test's own making.
void ExecuteOn(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
}

const std::string kRecordFile = std::string(UTF8_BOM) +
                                "No.,시간,이름,ID1,ID2,측정기준,안전지수,위험지수,측정값,결과\n" +
                                "1,2011-03-07 12:05:09 오전,,,,,,,150,-\n";

TEST_F(CliTest, AFileOfALaterVersionOrOfAnotherProgramIsRefusedAndLeftAsItWas) {
    Write(Path("r.csv"), kRecordFile);
    const struct {
        const char* name;
        const char* sql;
        const char* said;
    } cases[] = {
        {"newer.sqlite3", "CREATE TABLE readings(id INTEGER); PRAGMA user_version = 99;",
         "은(는) 이 프로그램보다 새 버전에서 만들어졌습니다. 파일은 바꾸지 않았습니다.\n"},
        {"notes.sqlite3", "CREATE TABLE notes(text TEXT); INSERT INTO notes VALUES('x');",
         "은(는) 이 프로그램의 측정 기록 보관 파일이 아니라 다른 프로그램의 데이터베이스 "
         "파일입니다. 파일은 바꾸지 않았습니다.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = Path(c.name);
        ExecuteOn(file, c.sql);
        const std::string before = FileBytes(file);
        for (const char* command : {"import", "history"}) {
            std::vector<std::string> args = {"--archive", file, command};
            if (command[0] == 'i') args.push_back(Path("r.csv"));
            const Ran ran = OmbrixAlone(args);
            EXPECT_EQ(ran.status, 7) << command;
            EXPECT_NE(ran.err.find(file + c.said), std::string::npos) << ran.err;
        }
        EXPECT_EQ(FileBytes(file), before);
        EXPECT_FALSE(std::filesystem::exists(file + "-wal"));
    }
}

TEST_F(CliTest, HistoryAndReportAnswerWhileAnImportWrites) {
    const std::string archive = Path("a.sqlite3");
    Write(Path("r.csv"), kRecordFile);
    ASSERT_EQ(OmbrixAlone({"--archive", archive, "import", Path("r.csv")}).status, 0);
    // A long import of another ombrix: its write transaction open.
    sqlite3* writer = nullptr;
    sqlite3_open(archive.c_str(), &writer);
    ASSERT_EQ(
        sqlite3_exec(writer, "BEGIN IMMEDIATE; DELETE FROM readings", nullptr, nullptr, nullptr),
        SQLITE_OK);
    Ran ran = OmbrixAlone({"--archive", archive, "history"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(std::count(ran.out.begin(), ran.out.end(), '\n'), 2);
    ran = OmbrixAlone({"--archive", archive, "report", "--html", Path("r.html")});
    EXPECT_EQ(ran.status, 0) << ran.err;
    sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(writer);
}

TEST_F(CliTest, AnArchiveThatCannotGrowGivesExit7AndTheDeviceKeepsItsRecords) {
    Start();
    setenv(ARCHIVE_TEST_MAX_PAGES_VARIABLE, "1", 1);  // the programs started from here take it
    const Ran ran = Ombrix({"--archive", Path("a.sqlite3"), "download", "--yes"});
    unsetenv(ARCHIVE_TEST_MAX_PAGES_VARIABLE);
    EXPECT_EQ(ran.status, 7);
    EXPECT_NE(ran.err.find(Path("a.sqlite3") + "에 쓰는 동안 디스크가 꽉 찼습니다."),
              std::string::npos)
        << ran.err;
    EXPECT_EQ(sim->device.state.records.size(), 3u);
    for (const auto& frame : sim->Server().Requests())  // no delete asked for
        EXPECT_FALSE(frame[2] == 0x13 && frame[3] == 0x62);
}

// A log is cleared only when it is proven archived; otherwise exit 9 with the reason, and
// nothing deleted. The download's read takes 11 requests of Lab(), its clear's count the 12th.
TEST_F(CliTest, WhatIsNotProvenArchivedIsNotCleared) {
    SimState swapped = Lab();
    swapped.records[2].value = 251;  // as many records, another newest one
    FaultPlan noCount;
    noCount.overrides.push_back({CMD_RECORDS, SUB_COUNT, 0xEEE1, 3});
    const struct {
        const char* what;
        std::vector<std::string> args;
        FaultPlan faults;
        int swapAt;
        std::string reason;
    } cases[] = {
        {"an instrument swapped after the read",
         {"download", "--yes"},
         {},
         12,
         "the instrument's log is not the one just read and archived"},
        {"a count reply that is no count",
         {"download", "--yes"},
         noCount,
         0,
         "the instrument's count reply carries no count"},
        {"clear-records, which reads nothing", {"clear-records", "--yes"}, {}, 0, "--force"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Start(Lab(), c.faults);
        if (c.swapAt) sim->Server().SwapAt(c.swapAt, swapped);
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), {"--archive", Path("a.sqlite3")});
        const Ran ran = Ombrix(args);
        EXPECT_EQ(ran.status, 9);
        EXPECT_NE(ran.err.find("ombrix: not cleared: the records are not all in the archive"),
                  std::string::npos)
            << ran.err;
        EXPECT_NE(ran.err.find(c.reason), std::string::npos) << ran.err;
        EXPECT_EQ(sim->device.state.records.size(), 3u);
        for (const auto& request : sim->Server().Requests()) EXPECT_NE(request[3], SUB_DELETE_ALL);
    }
}

TEST_F(CliTest, ForceClearsAllTheSameAndTheReportListsIt) {
    Start();
    Ran ran = Ombrix({"--archive", Path("a.sqlite3"), "clear-records", "--yes", "--force"});
    EXPECT_EQ(ran.status, 0);
    EXPECT_TRUE(sim->device.state.records.empty());
    EXPECT_NE(ran.err.find("Ombrix의 측정 기록 3개가 아직 PC에 보관되지 않았습니다."),
              std::string::npos);
    ran = OmbrixAlone({"--archive", Path("a.sqlite3"), "report", "--html", Path("r.html")});
    EXPECT_EQ(ran.status, 0);
    const std::string html = FileBytes(Path("r.html"));
    EXPECT_NE(html.find("보관 확인 없이 삭제한 측정 기록"), std::string::npos);
    EXPECT_NE(html.find("<td class=n>3<td>"), std::string::npos);

    // An archive that cannot keep the forced clear: nothing is deleted.
    Start();
    Write(Path("blocker"), "a file where the archive's folder would be");
    ran =
        Ombrix({"--archive", Path("blocker") + "/a.sqlite3", "clear-records", "--yes", "--force"});
    EXPECT_EQ(ran.status, 7);
    EXPECT_EQ(sim->device.state.records.size(), 3u);
}

TEST_F(CliTest, ImportKeepsGoodFilesWholeAndNamesTheLineOfABadOne) {
    const std::string header = "No.,시간,이름,ID1,ID2,측정기준,안전지수,위험지수,측정값,결과\n";
    Write(Path("good.csv"), UTF8_BOM + header + "1,2011-03-07 12:05:09 오전,,,,,,,150,-\n");
    Write(Path("bad.csv"), UTF8_BOM + header + "1,2011-03-07 12:05:09 오전,,,,,,,151,-\n" +
                               "2,2011-03-07 12:05:09 오전,,,,,,,x,-\n");
    const std::string archive = Path("a.sqlite3");
    Ran ran = OmbrixAlone({"--archive", archive, "import", Path("good.csv"), Path("bad.csv")});
    EXPECT_EQ(ran.status, 6);
    EXPECT_EQ(ran.err, Path("good.csv") +
                           ": 측정 기록 1개를 새로 보관했습니다. (파일의 측정 기록 "
                           "1개)\n" +
                           Path("bad.csv") +
                           "의 3번째 줄, 측정값 항목이 올바르지 않습니다. 이 "
                           "파일의 측정 기록은 하나도 보관하지 않았습니다.\n");
    ran = OmbrixAlone({"--archive", archive, "import", Path("good.csv")});
    EXPECT_EQ(ran.status, 0);
    EXPECT_NE(ran.err.find("측정 기록 0개를"), std::string::npos);
    EXPECT_EQ(OmbrixAlone({"--archive", Path("good.csv"), "import", Path("good.csv")}).status, 7);
    EXPECT_EQ(OmbrixAlone({"--archive", archive, "import", Path("none.csv")}).status, 6);

    ran = OmbrixAlone(
        {"--archive", archive, "report", "--html", Path("r.html"), "--to", "2011-03-07"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_NE(FileBytes(Path("r.html")).find("<td>2011-03-07 ~ 2011-03-07\n"), std::string::npos);
    EXPECT_NE(FileBytes(Path("r.html")).find("<td>good.csv\n"), std::string::npos);
    ran = OmbrixAlone({"--archive", archive, "report", "--html", Path("r.html"), "--from",
                       "2011-03-08", "--verdict", "오염", "--verdict", "안전"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_NE(FileBytes(Path("r.html")).find("<td>2011-03-08 ~ 2011-03-08\n"), std::string::npos);
    EXPECT_NE(FileBytes(Path("r.html")).find("<td>안전, 오염\n"), std::string::npos);
    ran = OmbrixAlone({"--archive", archive, "report", "--html", Path("none/r.html")});
    EXPECT_EQ(ran.status, 6);
    EXPECT_EQ(
        OmbrixAlone({"--archive", Path("good.csv"), "report", "--html", Path("r.html")}).status, 7);
}

TEST_F(CliTest, TheReportHidesId2UnlessShowIdsAndThisPcsHistoryKeepsIt) {
    const std::string header = "No.,시간,이름,ID1,ID2,측정기준,안전지수,위험지수,측정값,결과\n";
    Write(Path("dirty.csv"),
          UTF8_BOM + header +
              "1,2011-03-07 12:05:09 오전,홍길동,101,1234567,세균,100,200,250,오염\n");
    const std::string archive = Path("a.sqlite3");
    ASSERT_EQ(OmbrixAlone({"--archive", archive, "import", Path("dirty.csv")}).status, 0);
    const struct {
        std::vector<std::string> more;
        const char* id2;
    } cases[] = {{{}, "<td class=n>1******<td>"}, {{"--show-ids"}, "<td class=n>1234567<td>"}};
    for (const auto& c : cases) {
        std::vector<std::string> words = {"--archive", archive, "report", "--html", Path("r.html")};
        words.insert(words.end(), c.more.begin(), c.more.end());
        const Ran ran = OmbrixAlone(words);
        EXPECT_EQ(ran.status, 0) << ran.err;
        const std::string html = FileBytes(Path("r.html"));
        EXPECT_NE(html.find(std::string("<td class=n>101") + c.id2), std::string::npos) << c.id2;
    }
    const Ran history = OmbrixAlone({"--archive", archive, "history"});
    EXPECT_NE(history.out.find(",101,1234567,"), std::string::npos) << history.out;
}

// The measurements in an archive file, after SQLite's integrity check: -1 when it fails.
int64_t CheckedRows(const std::string& path) {
    sqlite3* db = nullptr;
    int64_t rows = -1;
    sqlite3_stmt* check = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr) == SQLITE_OK &&
        sqlite3_step(check) == SQLITE_ROW &&
        std::string(reinterpret_cast<const char*>(sqlite3_column_text(check, 0))) == "ok") {
        sqlite3_stmt* count = nullptr;
        sqlite3_prepare_v2(db, "SELECT count(*) FROM readings", -1, &count, nullptr);
        if (sqlite3_step(count) == SQLITE_ROW) rows = sqlite3_column_int64(count, 0);
        sqlite3_finalize(count);
    }
    sqlite3_finalize(check);
    sqlite3_close(db);
    return rows;
}

// A record CSV of `count` rows a second apart from 2020-01-01, none in the lab's file.
std::string LargeRecordFile(size_t count) {
    RecordCsvLines lines(CellEncoding::Utf8);
    std::string file = UTF8_BOM + lines.Header();
    Measurement row;
    const int64_t start = *SecondsFromTimeText("2020-01-01 00:00:00");
    for (size_t i = 0; i < count; ++i) {
        row.measuredAt = TimeText(start + static_cast<int64_t>(i));
        row.value = static_cast<int>(i % 60000);
        file += lines.Next(row);
    }
    return file;
}

TEST_F(CliTest, ABackupTakenWhileAnImportWritesIsWholeAndChecked) {
    const std::string archive = Path("a.sqlite3");
    Write(Path("r.csv"), kRecordFile);
    ASSERT_EQ(OmbrixAlone({"--archive", archive, "import", Path("r.csv")}).status, 0);
    // Enough rows that the import's open transaction spills pages into the write-ahead log.
    constexpr size_t kLarge = 150000;
    Write(Path("large.csv"), LargeRecordFile(kLarge));
    const pid_t import = StartProgram(
        {OMBRIX_PROGRAM, "--archive", archive, "import", Path("large.csv")}, dir, "-import");
    ASSERT_GT(import, 0);
    int status = 0;
    bool ended = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(50);
    while (!ended && std::chrono::steady_clock::now() < deadline) {
        std::error_code error;
        if (std::filesystem::file_size(archive + "-wal", error) >= (uintmax_t{1} << 20)) break;
        ended = waitpid(import, &status, WNOHANG) == import;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_FALSE(ended) << "the import ended before it was seen writing";

    const Ran backup = OmbrixAlone({"--archive", archive, "backup", Path("copy.sqlite3")});
    EXPECT_EQ(backup.status, 0) << backup.err;
    EXPECT_NE(backup.out.find(Path("copy.sqlite3") + "에 백업했습니다."), std::string::npos)
        << backup.out;
    ASSERT_EQ(waitpid(import, &status, 0), import);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // The archive as of one commit: before the import's or after it, never between.
    const int64_t rows = CheckedRows(Path("copy.sqlite3"));
    EXPECT_TRUE(rows == 1 || rows == static_cast<int64_t>(1 + kLarge)) << rows;
    for (const char* beside : {"-wal", "-shm", "-journal", ".partial"})
        EXPECT_FALSE(std::filesystem::exists(Path("copy.sqlite3") + beside)) << beside;
}

TEST_F(CliTest, ABackupRestoredIntoANewArchiveHoldsTheSameRowsOnce) {
    const std::string archive = Path("a.sqlite3"), copy = Path("copy.sqlite3");
    Start();  // the lab's three records, with their users and standards
    ASSERT_EQ(Ombrix({"--archive", archive, "records"}).status, 0);
    Write(Path("r.csv"), kRecordFile);
    ASSERT_EQ(OmbrixAlone({"--archive", archive, "import", Path("r.csv")}).status, 0);
    ASSERT_EQ(OmbrixAlone({"--archive", archive, "backup", copy}).status, 0);
    const std::string before = FileBytes(copy);

    const std::string restored = Path("new/archive.sqlite3");
    Ran ran = OmbrixAlone({"--archive", restored, "import", copy});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.err, copy + ": 측정 기록 4개를 새로 보관했습니다. (파일의 측정 기록 4개)\n");
    ran = OmbrixAlone({"--archive", restored, "import", copy});
    EXPECT_EQ(ran.err, copy + ": 측정 기록 0개를 새로 보관했습니다. (파일의 측정 기록 4개)\n");
    EXPECT_EQ(OmbrixAlone({"--archive", restored, "history"}).out,
              OmbrixAlone({"--archive", archive, "history"}).out);
    EXPECT_EQ(FileBytes(copy), before);
    for (const char* beside : {"-wal", "-shm", "-journal"})
        EXPECT_FALSE(std::filesystem::exists(copy + beside)) << beside;
}

TEST_F(CliTest, ABackupThatCannotBeMadeSaysWhichSideFailed) {
    const std::string archive = Path("a.sqlite3");
    Write(Path("r.csv"), kRecordFile);
    ASSERT_EQ(OmbrixAlone({"--archive", archive, "import", Path("r.csv")}).status, 0);
    Write(Path("old.sqlite3"), "an older copy");
    const struct {
        std::vector<std::string> args;
        int status;
        std::string said;
    } cases[] = {
        {{"--archive", archive, "backup", Path("old.sqlite3")},
         6,
         Path("old.sqlite3") + "이(가) 이미 있습니다."},
        {{"--archive", archive, "backup", Path("none/copy.sqlite3")},
         6,
         "백업 파일 " + Path("none/copy.sqlite3") + "을(를) 쓰지 못했습니다."},
        {{"--archive", archive, "backup", archive, "--replace"},
         6,
         archive + "은(는) 측정 기록 보관 파일 자체입니다."},
        {{"--archive", Path("none.sqlite3"), "backup", Path("copy.sqlite3")},
         7,
         "측정 기록 보관 파일 " + Path("none.sqlite3") + "을(를) 열거나 만들 수 없습니다."},
        {{"--archive", Path("r.csv"), "backup", Path("copy.sqlite3")},
         7,
         Path("r.csv") + "은(는) 측정 기록 보관 파일이 아니거나 손상되었습니다."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        const Ran ran = OmbrixAlone(c.args);
        EXPECT_EQ(ran.status, c.status);
        EXPECT_NE(ran.err.find(c.said), std::string::npos) << ran.err;
    }
    EXPECT_EQ(FileBytes(Path("old.sqlite3")), "an older copy");
    EXPECT_EQ(CheckedRows(archive), 1);
    EXPECT_FALSE(std::filesystem::exists(Path("none.sqlite3")));
    EXPECT_FALSE(std::filesystem::exists(Path("copy.sqlite3")));
    const Ran replaced =
        OmbrixAlone({"--archive", archive, "backup", Path("old.sqlite3"), "--replace"});
    EXPECT_EQ(replaced.status, 0) << replaced.err;
    EXPECT_EQ(CheckedRows(Path("old.sqlite3")), 1);
}

TEST_F(CliTest, WithABackupFolderAWriteMakesTheDaysCopyAndAFailureIsSaid) {
    const std::string archive = Path("a.sqlite3");
    std::filesystem::create_directories(dir / "backups");
    Write(Path("r.csv"), kRecordFile);
    setenv(BACKUP_FOLDER_ENVIRONMENT_NAME, Path("backups").c_str(), 1);
    Ran ran = OmbrixAlone({"--archive", archive, "import", Path("r.csv")});
    EXPECT_EQ(ran.status, 0) << ran.err;
    std::vector<std::filesystem::path> copies;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "backups"))
        copies.push_back(entry.path());
    ASSERT_EQ(copies.size(), 1u);
    const std::string name = copies[0].filename().string();
    EXPECT_EQ(name.rfind("archive-" + ThisPc().user + "-", 0), 0u) << name;
    EXPECT_EQ(CheckedRows(copies[0].string()), 1);

    // A write into a folder that cannot take the copy: said, and the import itself stands.
    Write(Path("s.csv"), std::string(UTF8_BOM) +
                             "No.,시간,이름,ID1,ID2,측정기준,안전지수,위험지수,측정값,결과\n" +
                             "1,2011-03-08 12:05:09 오전,,,,,,,150,-\n");
    setenv(BACKUP_FOLDER_ENVIRONMENT_NAME, Path("none").c_str(), 1);
    ran = OmbrixAlone({"--archive", archive, "import", Path("s.csv")});
    unsetenv(BACKUP_FOLDER_ENVIRONMENT_NAME);
    EXPECT_EQ(ran.status, 0);
    EXPECT_NE(ran.err.find("자동 백업 실패: 백업 파일 " + Path("none") + "/archive-"),
              std::string::npos)
        << ran.err;
}

TEST(CliArguments, WrongUsageIsNamed) {
    const struct {
        std::vector<std::string> words;
        const char* error;
    } cases[] = {
        {{}, "no command given"},
        {{"--port", "p", "read"}, "unknown command \"read\""},
        {{"--port", "p", "users", "x"}, "unexpected \"x\""},
        {{"--port", "p", "write-users"}, "write-users takes one list file"},
        {{"--port", "p", "clear-records", "--csv", "f", "--yes"},
         "clear-records writes no file: --csv and --utf8 do not apply"},
        {{"users"}, "--port is missing"},
        {{"users", "--port"}, "--port needs a value"},
        {{"--port=", "users"}, "--port needs a value"},
        {{"--port", "p", "users", "--bogus"}, "unknown option \"--bogus\""},
        {{"import"}, "import takes one or more record CSV files"},
        {{"--port", "p", "import", "f"},
         "import works on the archive alone: --port does not apply"},
        {{"history", "--from", "2024-02-30"}, "--from and --to are days: YYYY-MM-DD"},
        {{"history", "--verdict", "bad"}, "--verdict is 안전, 주의 or 오염"},
        {{"--port", "p", "users", "--user", "x"},
         "users takes no filter: --from, --to, --standard, --user and --verdict apply to history "
         "and report"},
        {{"report", "--to", "2025-01-01"}, "report needs --html FILE"},
        {{"history", "--html", "r.html"}, "history writes no report: --html does not apply"},
        {{"--port", "p", "download", "--yes", "--no-archive"},
         "download archives what it clears: --no-archive does not apply"},
        {{"--port", "p", "download"},
         "download replaces or deletes what the device holds: confirm it with --yes"},
        {{"--port", "p", "download", "--yes", "--force"},
         "download clears nothing unproven: --force applies to clear-records"},
        {{"--port", "p", "clear-records", "--yes", "--no-archive"},
         "clear-records keeps a forced clear in the archive: --no-archive does not apply"},
        {{"--site", "DSN=x", "import", "f"},
         "import does not use the site archive: --site applies to sync, history and report"},
        {{"history", "--pc", "PC1"},
         "--pc chooses the rows of one computer in the site archive: history and report with "
         "--site"},
        {{"--site", "DSN=x", "sync", "--pc", "PC1"},
         "--pc chooses the rows of one computer in the site archive: history and report with "
         "--site"},
        {{"sync", "now"}, "unexpected \"now\""},
        {{"site"}, "site is followed by set, show or test"},
        {{"site", "get"}, "site is followed by set, show or test"},
        {{"--site", "DSN=x", "site", "set"},
         "site set reads the connection string from standard input or --site-file, never from its "
         "own arguments (a password there is in the process list and the shell's history)"},
        {{"--site", "DSN=x", "--site-file", "f", "sync"},
         "--site and --site-file both name the site: give one"},
        {{"site", "show", "--machine"}, "--machine applies to site set"},
        {{"--site-file", "f", "import", "g"},
         "import does not use the site archive: --site applies to sync, history and report"},
        {{"--port", "p", "users", "--show-ids"},
         "users shows no personal numbers: --show-ids applies to history and report"},
        {{"backup"}, "backup takes one file: the copy to write"},
        {{"backup", "a", "b"}, "backup takes one file: the copy to write"},
        {{"import", "f", "--replace"},
         "--replace lets backup write over an existing file: backup only"},
        {{"--port", "p", "sync"}, "sync works on the archive alone: --port does not apply"},
        {{"note", "--standard", "Germ", "재세척"}, "note needs --at \"YYYY-MM-DD HH:MM:SS\""},
        {{"note", "--at", "2025-01-02 12:00", "--standard", "Germ", "재세척"},
         "note needs --at \"YYYY-MM-DD HH:MM:SS\""},
        {{"note", "--at", "2025-01-02 12:00:00", "재세척"}, "note needs --standard NAME"},
        {{"note", "--at", "2025-01-02 12:00:00", "--standard", "Germ"},
         "note takes one text: what was done"},
        {{"note", "--at", "2025-01-02 12:00:00", "--standard", "Germ", "a", "b"},
         "note takes one text: what was done"},
        {{"note", "--at", "2025-01-02 12:00:00", "--standard", "Germ", "--verdict", "오염", "a"},
         "note takes --at, --standard and --user: --from, --to and --verdict do not apply"},
        {{"history", "--at", "2025-01-02 12:00:00"},
         "--at names the measurement that note records an action on: note only"},
        {{"report", "--html", "r.html", "--open"},
         "--open lists the archive's open results: history without --site only"},
        {{"--site", "DSN=x", "history", "--open"},
         "--open lists the archive's open results: history without --site only"},
        {{"report", "--html", "r.html", "--retest-hours", "0"},
         "--retest-hours takes whole hours from 1 to 720"},
        {{"report", "--html", "r.html", "--retest-hours=1d"},
         "--retest-hours takes whole hours from 1 to 720"},
        {{"history", "--retest-hours", "48"},
         "--retest-hours sets how long after a result its likely retest is looked for: report "
         "without --site only"},
        {{"--site", "DSN=x", "report", "--html", "r.html", "--retest-hours", "48"},
         "--retest-hours sets how long after a result its likely retest is looked for: report "
         "without --site only"},
    };
    for (const auto& c : cases) {
        Arguments arguments;
        std::string error;
        EXPECT_FALSE(ParseArguments(c.words, arguments, error));
        EXPECT_EQ(error, c.error);
    }
    Arguments arguments;
    std::string error;
    ASSERT_TRUE(
        ParseArguments({"--csv=-", "records", "--port", "/dev/x", "--utf8"}, arguments, error));
    EXPECT_EQ(arguments.command, FindCommand("records"));
    EXPECT_EQ(arguments.port, "/dev/x");
    EXPECT_EQ(arguments.csv, "-");
    EXPECT_TRUE(arguments.utf8);
}

TEST(CliArguments, WindowsPortNames) {
    for (const char* good : {"COM1", "com9", "COM10", "COM256"}) EXPECT_TRUE(IsComPortName(good));
    for (const char* bad :
         {"COM", "COM0", "COM01", "COM257", "COM1000", "LPT1", "COM1a", "\\\\.\\COM1"})
        EXPECT_FALSE(IsComPortName(bad)) << bad;
}

}  // namespace
