// The record panel: reading the log with verdicts, clearing it, and the CSV export.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "records/measurement_record.h"
#include "records/record_csv.h"
#include "records/record_texts.h"
#include "tests/dialog_fixture.h"

namespace {

using R = MeasurementRecord;
constexpr int kList = IDC_LIST_RECORD;
constexpr int kBar = IDC_PROGRESS_RECORD;

const std::string kAm = WORD_AM, kPm = WORD_PM;

SimRecord Record(uint8_t user, uint8_t standard, uint16_t value, uint8_t hour = 0) {
    return SimRecord{user, standard, value, {11, 3, 7, hour, 5, 9}};
}

SimState Lab(std::vector<SimRecord> records) {
    SimState state;
    state.users = {{101, 2001, "Kim"}, {102, 2002, "Lee"}};
    state.standards = {{100, 200, "Germ"}, {300, 200, "Mold"}};
    state.records = std::move(records);
    return state;
}

struct TimeCase {
    uint8_t bytes[6];
    std::string text;
};

TEST(RecordTimeText, TwelveHourClockWithTheDayHalf) {
    const TimeCase cases[] = {
        {{11, 3, 7, 0, 5, 9}, "2011-03-07 12:05:09 " + kAm},
        {{11, 3, 7, 11, 0, 0}, "2011-03-07 11:00:00 " + kAm},
        {{11, 3, 7, 12, 0, 0}, "2011-03-07 12:00:00 " + kPm},
        {{11, 3, 7, 13, 59, 59}, "2011-03-07 01:59:59 " + kPm},
        {{11, 3, 7, 23, 1, 2}, "2011-03-07 11:01:02 " + kPm},
        {{255, 255, 255, 255, 255, 255}, "20255-255-255 03:255:255 " + kPm},
    };
    for (const TimeCase& c : cases) EXPECT_EQ(RecordTimeText(c.bytes), c.text);
}

TEST(Verdict, AgainstTheTwoIndices) {
    const struct {
        uint16_t value;
        const char* safe;
        const char* danger;
        const char* verdict;
    } cases[] = {
        {99, "100", "200", VERDICT_SAFE},     {100, "100", "200", VERDICT_CAUTION},
        {199, "100", "200", VERDICT_CAUTION}, {200, "100", "200", VERDICT_DIRTY},
        {250, "300", "200", VERDICT_SAFE},    {300, "300", "200", VERDICT_DIRTY},
        {0, "", "", VERDICT_DIRTY},           {65535, "9999", "65535", VERDICT_DIRTY},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(RecordVerdictText(c.value, c.safe, c.danger), c.verdict)
            << c.value << " " << c.safe;
}

TEST(CsvCell, OnlyCellsThatWouldShiftColumnsAreQuoted) {
    EXPECT_EQ(CsvCell("plain"), "plain");
    EXPECT_EQ(CsvCell(""), "");
    EXPECT_EQ(CsvCell("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvCell("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvCell("two\nlines"), "\"two\nlines\"");
    EXPECT_EQ(CsvCell("\xB0\xA1"), "\xB0\xA1");
}

class RecordTest : public DialogTest {
protected:
    std::vector<std::string> Row(int row) {
        std::vector<std::string> cells;
        for (int column = 1; column < R::COLUMNS; ++column)
            cells.push_back(CellOf(kList, row, column));
        return cells;
    }
    std::vector<int> RecordItemsRequested() {
        std::vector<int> items;
        for (const auto& frame : sim->Server().Requests())
            if (frame[2] == CMD_RECORDS && frame[3] == SUB_READ_ITEM)
                items.push_back(frame[6] | frame[7] << 8);
        return items;
    }
};

TEST_F(RecordTest, NewestFirstWithUsersStandardsAndVerdicts) {
    Connect(Lab({Record(1, 1, 99, 0), Record(2, 2, 150, 13), Record(0, 0, 150, 23)}));
    dialog.OnReadRecords();
    EXPECT_EQ(ui.boxes,
              (std::vector<ShownBox>{Info(IDS_USER_READ_DONE), Info(IDS_STANDARD_READ_DONE),
                                     Info(IDS_RECORD_READ_DONE)}));
    EXPECT_EQ(RecordItemsRequested(), (std::vector<int>{3, 2, 1}));
    ASSERT_EQ(ui.RowCount(kList), 3);
    EXPECT_EQ(Row(0), (std::vector<std::string>{"1", "2011-03-07 11:05:09 " + kPm, "", "", "", "",
                                                "", "", "150", "-"}));
    EXPECT_EQ(Row(1),
              (std::vector<std::string>{"2", "2011-03-07 01:05:09 " + kPm, "Lee", "102", "2002",
                                        "Mold", "300", "200", "150", VERDICT_SAFE}));
    EXPECT_EQ(Row(2), (std::vector<std::string>{"3", "2011-03-07 12:05:09 " + kAm, "Kim", "101",
                                                "2001", "Germ", "100", "200", "99", VERDICT_SAFE}));
    EXPECT_EQ(CellOf(kList, 0, R::COL_EMPTY), "");
    EXPECT_EQ(ui.progress[kBar], (std::vector<int>{0, 833, 1666, 2500}));
    EXPECT_TRUE(ui.IsEnabled(IDC_BTN_RECORD_CSV));
}

TEST_F(RecordTest, AStandardNumberWithoutARowIsJudgedAsNoStandard) {
    Connect(Lab({Record(5, 9, 10)}));
    dialog.OnReadRecords();
    ASSERT_EQ(ui.RowCount(kList), 1);
    EXPECT_EQ(Row(0), (std::vector<std::string>{"1", "2011-03-07 12:05:09 " + kAm, "", "", "", "",
                                                "", "", "10", "-"}));
}

TEST_F(RecordTest, AnEarlierFilledUserListIsUsedByPosition) {
    Connect(Lab({Record(1, 1, 100)}));
    ui.InsertRow(IDC_LIST_USER, 0);
    ui.SetCell(IDC_LIST_USER, 0, 2, "Park");
    dialog.OnReadRecords();
    EXPECT_EQ(ui.boxes.front(), Info(IDS_USER_READ_NOT_EMPTY));
    EXPECT_EQ(CellOf(kList, 0, R::COL_USER_NAME), "Park");
    EXPECT_EQ(CellOf(kList, 0, R::COL_VERDICT), VERDICT_CAUTION);
}

TEST_F(RecordTest, ATimeOutOnRecordKOfNLeavesNMinusKRows) {
    FaultPlan faults;
    faults.silentRequests = {6};  // user count, standard count, record count, 4, 3, then 2
    SimState state;
    state.records = {Record(0, 0, 1), Record(0, 0, 2), Record(0, 0, 3), Record(0, 0, 4)};
    Connect(state, faults);
    dialog.OnReadRecords();
    EXPECT_EQ(ui.RowCount(kList), 2);
    EXPECT_EQ(ui.boxes.back(), Info(IDS_DELAY));
    EXPECT_EQ(ui.ProgressNow(kBar), 1250);
}

TEST_F(RecordTest, ANonEmptyRecordListIsRefusedAfterTheOtherReads) {
    Connect(Lab({Record(1, 1, 1)}));
    ui.InsertRow(kList, 0);
    dialog.OnReadRecords();
    EXPECT_EQ(ui.boxes.back(), Info(IDS_RECORD_READ_NOT_EMPTY));
    for (const auto& sent : Sent()) EXPECT_NE(sent.first, CMD_RECORDS);
    EXPECT_EQ(ui.RowCount(IDC_LIST_USER), 2);
    EXPECT_EQ(ui.ProgressNow(kBar), 0);
}

TEST_F(RecordTest, NoRecordsOrAnotherStatus) {
    Connect(Lab({}));
    dialog.OnReadRecords();
    EXPECT_EQ(ui.boxes.back(), Info(IDS_RECORD_NONE));

    FaultPlan faults;
    faults.overrides.push_back({CMD_RECORDS, SUB_COUNT, RX_STATUS_FULL, 3});
    TearDown();
    ui = FakeControls();
    Connect(Lab({Record(1, 1, 1)}), faults);
    dialog.OnReadRecords();
    EXPECT_EQ(ui.boxes.back(), Info(IDS_RECORD_READ_DONE));
    EXPECT_EQ(ui.RowCount(kList), 0);
}

TEST_F(RecordTest, ClearingTheDeviceTakesThreeFrames) {
    Connect(Lab({Record(1, 1, 1), Record(1, 1, 2)}));
    dialog.OnClearDeviceRecords();
    // Nothing was read from this port, so the records are not archived: a second question.
    EXPECT_EQ(ui.boxes, (std::vector<ShownBox>{
                            {ShownBox::Question, IDS_RECORD_CLEAR_ASK, ""},
                            {ShownBox::CarefulQuestion, IDS_RECORD_CLEAR_NOT_ARCHIVED, "2"},
                            Info(IDS_RECORD_CLEARED)}));
    EXPECT_EQ(Sent(), (Frames{{0x13, 0x64}, {0x13, 0x62}, {0x13, 0x64}}));
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(GetWord(Request(i).data(), FRAME_ITEM), 0);
    EXPECT_TRUE(sim->device.state.records.empty());

    ui.boxes.clear();
    dialog.OnClearDeviceRecords();  // nothing left: no delete request
    EXPECT_EQ(ui.boxes.back(), Info(IDS_RECORD_NONE));
    EXPECT_EQ(Sent().size(), 4u);
}

struct QuietStop {
    const char* what;
    ReplyOverride reply;
    Frames sent;
};

void PrintTo(const QuietStop& stop, std::ostream* os) { *os << stop.what; }

class ClearQuietStops : public RecordTest, public ::testing::WithParamInterface<QuietStop> {};

TEST_P(ClearQuietStops, EndWithoutAMessage) {
    FaultPlan faults;
    faults.overrides.push_back(GetParam().reply);
    Connect(Lab({Record(1, 1, 1)}), faults);
    dialog.OnClearDeviceRecords();
    EXPECT_EQ(ui.boxes.size(), 2u);  // the questions only
    EXPECT_EQ(Sent(), GetParam().sent);
}

INSTANTIATE_TEST_SUITE_P(
    Records, ClearQuietStops,
    ::testing::Values(QuietStop{"delete_not_confirmed",
                                {CMD_RECORDS, SUB_DELETE_ALL, RX_STATUS_FULL, 0},
                                {{0x13, 0x64}, {0x13, 0x62}}},
                      QuietStop{"records_still_counted",
                                {CMD_RECORDS, SUB_COUNT, RX_STATUS_COUNT, 5},
                                {{0x13, 0x64}, {0x13, 0x62}, {0x13, 0x64}}}),
    [](const ::testing::TestParamInfo<QuietStop>& info) { return std::string(info.param.what); });

TEST_F(RecordTest, ClearingIsRefusedOrDeclined) {
    Connect(Lab({Record(1, 1, 1)}));
    ui.answers = {false};
    dialog.OnClearDeviceRecords();
    ui.InsertRow(kList, 0);
    dialog.OnClearDeviceRecords();
    EXPECT_EQ(ui.boxes.back(), Info(IDS_RECORD_CLEAR_LIST_NOT_EMPTY));
    EXPECT_TRUE(Sent().empty());
}

TEST_F(RecordTest, DeletingTheListAsksAndDisablesTheCsvButton) {
    dialog.OnDeleteAllRecords();
    EXPECT_TRUE(ui.boxes.empty());  // an empty list asks nothing
    ui.InsertRow(kList, 0);
    ui.EnableControl(IDC_BTN_RECORD_CSV, true);
    ui.answers = {false};
    dialog.OnDeleteAllRecords();
    EXPECT_EQ(ui.RowCount(kList), 1);
    dialog.OnDeleteAllRecords();
    EXPECT_EQ(ui.RowCount(kList), 0);
    EXPECT_FALSE(ui.IsEnabled(IDC_BTN_RECORD_CSV));
    EXPECT_EQ(ui.boxes.back(), (ShownBox{ShownBox::Question, IDS_RECORD_LIST_DELETE_ASK, ""}));
}

class CsvTest : public RecordTest {
protected:
    void SetUp() override {
        path = std::filesystem::temp_directory_path() /
               ("ombrix-" + std::to_string(getpid()) + ".csv");
        ui.savePath = path.string();
    }
    void TearDown() override {
        std::filesystem::remove(path);
        RecordTest::TearDown();
    }
    void AddRow(std::vector<std::string> cells) {
        const int row = ui.RowCount(kList);
        ui.InsertRow(kList, row);
        for (size_t i = 0; i < cells.size(); ++i)
            ui.SetCell(kList, row, static_cast<int>(i) + 1, cells[i]);
    }
    std::string FileBytes() {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << file.rdbuf();
        return bytes.str();
    }
    std::filesystem::path path;
};

TEST_F(CsvTest, OneRowGivesTheHeaderAndOneLine) {
    AddRow({"1", "2011-03-07 12:05:09 " + kAm, "", "", "", "", "", "", "150", "-"});
    dialog.OnSaveCsv();
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(FileBytes(),
              std::string(CSV_HEADER) + "1,2011-03-07 12:05:09 " + kAm + ",,,,,,,150,-\n");
    EXPECT_EQ(ui.progress[kBar], (std::vector<int>{0, 2500}));
}

TEST_F(CsvTest, ThreeRowsAndACellWithAComma) {
    for (int i = 1; i <= 3; ++i)
        AddRow({std::to_string(i), "t", i == 2 ? "Kim, J." : "Lee", "1", "2", "Germ", "100", "200",
                "99", VERDICT_SAFE});
    std::ofstream(path) << "old content that must go away entirely\n";
    dialog.OnSaveCsv();
    const std::string safe = VERDICT_SAFE;
    EXPECT_EQ(FileBytes(), std::string(CSV_HEADER) + "1,t,Lee,1,2,Germ,100,200,99," + safe + "\n" +
                               "2,t,\"Kim, J.\",1,2,Germ,100,200,99," + safe + "\n" +
                               "3,t,Lee,1,2,Germ,100,200,99," + safe + "\n");
    EXPECT_EQ(ui.progress[kBar], (std::vector<int>{0, 833, 1666, 2500}));
}

TEST_F(CsvTest, AnEmptyListOrACancelledDialogWritesNothing) {
    dialog.OnSaveCsv();
    EXPECT_EQ(ui.boxes, Told(IDS_CSV_NO_RECORDS));
    EXPECT_FALSE(ui.savePathAsked);
    AddRow({"1"});
    ui.SetProgress(kBar, 1234);
    ui.savePath.clear();
    dialog.OnSaveCsv();
    EXPECT_TRUE(ui.savePathAsked);
    EXPECT_EQ(ui.ProgressNow(kBar), 1234);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(CsvTest, AFileHeldOpenGivesTheSharingViolationText) {
    AddRow({"1"});
    dialog.SetFileFactory([]() -> std::unique_ptr<OutputFile> {
        struct Held : OutputFile {
            FileError Create(const std::string&) override { return FileError::Sharing; }
            FileError Write(const char*, size_t) override { return FileError::None; }
            void Close() override {}
        };
        return std::make_unique<Held>();
    });
    dialog.OnSaveCsv();
    EXPECT_EQ(ui.boxes,
              (std::vector<ShownBox>{{ShownBox::Error, IDS_FILE_SHARING, path.string()}}));
    EXPECT_EQ(ui.ProgressNow(kBar), 0);
}

TEST_F(CsvTest, AFolderAtThePathCannotBeCreatedAsAFile) {
    AddRow({"1"});
    std::filesystem::create_directories(path);
    dialog.OnSaveCsv();
    EXPECT_EQ(ui.boxes,
              (std::vector<ShownBox>{{ShownBox::Error, IDS_FILE_BAD_PATH, path.string()}}));
    EXPECT_EQ(ui.ProgressNow(kBar), 0);
    std::filesystem::remove_all(path);
}

struct FailingWrite {
    const char* what;
    int failingWrite;
    FileError error;
    int textId;
    int rowsKept;
};

void PrintTo(const FailingWrite& failure, std::ostream* os) { *os << failure.what; }

FailingWrite g_failure;
bool g_closed;

// The platform's file, except that write number `failingWrite` (the header is write 1) fails
// and writes nothing.
class FileFailingPartWay : public OutputFile {
public:
    FileError Create(const std::string& path) override { return m_file->Create(path); }
    FileError Write(const char* bytes, size_t length) override {
        if (++m_writes == g_failure.failingWrite) return g_failure.error;
        return m_file->Write(bytes, length);
    }
    void Close() override {
        m_file->Close();
        g_closed = true;
    }

private:
    std::unique_ptr<OutputFile> m_file = MakeOutputFile();
    int m_writes = 0;
};

class CsvWriteFailure : public CsvTest, public ::testing::WithParamInterface<FailingWrite> {};

TEST_P(CsvWriteFailure, StopsWithItsCauseAndKeepsTheRowsBefore) {
    g_failure = GetParam();
    g_closed = false;
    std::string kept = CSV_HEADER;
    for (int i = 1; i <= 3; ++i) {
        AddRow({std::to_string(i), "t", "Lee", "1", "2", "Germ", "100", "200", "99", "-"});
        if (i <= g_failure.rowsKept) kept += std::to_string(i) + ",t,Lee,1,2,Germ,100,200,99,-\n";
    }
    dialog.SetFileFactory(
        []() -> std::unique_ptr<OutputFile> { return std::make_unique<FileFailingPartWay>(); });
    dialog.OnSaveCsv();
    EXPECT_EQ(ui.boxes,
              (std::vector<ShownBox>{{ShownBox::Error, g_failure.textId, path.string()}}));
    EXPECT_TRUE(g_closed);
    EXPECT_EQ(FileBytes(), kept);
    const std::vector<int> steps = {0, 833, 1666};
    EXPECT_EQ(ui.progress[kBar],
              std::vector<int>(steps.begin(), steps.begin() + 1 + g_failure.rowsKept));
}

INSTANTIATE_TEST_SUITE_P(Records, CsvWriteFailure,
                         ::testing::Values(FailingWrite{"disk_full_on_row_2", 3,
                                                        FileError::DiskFull, IDS_FILE_DISK_FULL, 1},
                                           FailingWrite{"hardware_error_on_row_3", 4,
                                                        FileError::Hardware, IDS_FILE_HARDWARE, 2}),
                         [](const ::testing::TestParamInfo<FailingWrite>& info) {
                             return std::string(info.param.what);
                         });

}  // namespace
