// The record panel and the archive: every read kept once, a time-out keeps the rows read, an
// archive that fails gets one more box, and the log is not cleared unasked while records on the
// device are not archived.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "archive/archive_file.h"
#include "archive/archive_query.h"
#include "archive/forced_clears.h"
#include "measurement/time_text.h"
#include "site/site_setting.h"
#include "tests/dialog_fixture.h"

namespace {

SimRecord Record(uint8_t user, uint8_t standard, uint16_t value, uint8_t second) {
    return SimRecord{user, standard, value, {24, 5, 1, 13, 0, second}};
}

SimState Lab() {
    SimState state;
    state.users = {{101, 2001, kHongJohab}};
    state.standards = {{100, 200, "Germ"}};
    state.records = {Record(1, 1, 99, 1), Record(0, 0, 150, 2), Record(1, 9, 250, 3)};
    return state;
}

class FailingArchive : public RecordArchive {
public:
    ArchiveStatus Keep(const std::string&, MeasurementFeed&, BatchCount&) override {
        return Locked();
    }
    ArchiveStatus KeepForcedClear(const ForcedClear&) override { return Locked(); }
    const std::string& Path() const override { return m_path; }

private:
    static ArchiveStatus Locked() {
        ArchiveStatus status;
        status.cause = ArchiveCause::Locked;
        return status;
    }
    std::string m_path = "/data/archive.sqlite3";
};

class RecordArchiveTest : public DialogTest {
protected:
    void SetUp() override {
        std::filesystem::remove(path);
        dialog.SetArchive(&archive);
    }
    void TearDown() override {
        DialogTest::TearDown();
        for (const char* end : {"", "-wal", "-shm"}) std::filesystem::remove(path + end);
    }

    std::vector<Measurement> Archived() {
        ArchiveStatus status;
        auto db = Archive::Open(path, status);
        std::vector<Measurement> rows;
        FilteredRows list;
        if (db && list.Load(*db, {})) list.Page(*db, 0, 100, rows);
        return rows;
    }

    std::vector<ForcedClear> ForcedClears() {
        ArchiveStatus status;
        auto db = Archive::Open(path, status);
        std::vector<ForcedClear> clears;
        if (db) LoadForcedClears(*db, std::nullopt, std::nullopt, clears);
        return clears;
    }

    void ReadAgain() {
        dialog.OnDeleteAllRecords();
        dialog.OnReadRecords();
    }

    // A complete read, archived, and the record list emptied for the clear.
    void ReadAndEmptyTheList() {
        dialog.OnReadRecords();
        ASSERT_EQ(ui.boxes.back(), Info(IDS_RECORD_READ_DONE));
        dialog.OnDeleteAllRecords();
        ui.boxes.clear();
    }

    // The requests of the clear that begins at request `from` (0-based): (sub-code, item).
    std::vector<std::pair<int, int>> ClearFramesFrom(size_t from) const {
        std::vector<std::pair<int, int>> frames;
        const auto requests = sim->Server().Requests();
        for (size_t i = from; i < requests.size(); ++i)
            frames.emplace_back(requests[i][FRAME_SUB], GetWord(requests[i].data(), FRAME_ITEM));
        return frames;
    }

    bool Asked(int textId) const {
        return std::any_of(ui.boxes.begin(), ui.boxes.end(), [&](const ShownBox& box) {
            return box.kind == ShownBox::CarefulQuestion && box.textId == textId;
        });
    }

    std::string path = (std::filesystem::temp_directory_path() /
                        ("ombrix-read-" + std::to_string(getpid()) + ".sqlite3"))
                           .string();
    ArchiveFile archive{path};
};

TEST_F(RecordArchiveTest, AReadIsKeptOnceHoweverOftenItIsRepeated) {
    Connect(Lab());
    dialog.OnReadRecords();
    ReadAgain();
    EXPECT_EQ(ui.boxes.back(), Info(IDS_RECORD_READ_DONE));
    const std::vector<Measurement> rows = Archived();
    ASSERT_EQ(rows.size(), 3u);
    const Measurement& first = rows.back();
    EXPECT_EQ(first.measuredAt, "2024-05-01 13:00:01");
    EXPECT_EQ(first.userName, "홍길동");
    EXPECT_EQ(first.id1, 101);
    EXPECT_EQ(first.userNo, 1);
    EXPECT_EQ(first.standardName, "Germ");
    EXPECT_EQ(first.verdict, Verdict::Safe);
    EXPECT_EQ(first.source, "COM1");
    // A standard number without a row: no standard, "-", as the list shows it.
    EXPECT_EQ(rows.front().standardNo, 9);
    EXPECT_EQ(rows.front().standardName, "");
    EXPECT_EQ(rows.front().verdict, Verdict::None);
}

TEST_F(RecordArchiveTest, ATimeOutKeepsTheRowsReadBeforeIt) {
    FaultPlan faults;
    faults.silentRequests = {6};  // user count, user, standard count, standard, record count, 3
    Connect(Lab(), faults);
    dialog.OnReadRecords();
    EXPECT_EQ(ui.boxes.back(), Info(IDS_DELAY));
    EXPECT_EQ(ui.RowCount(IDC_LIST_RECORD), 0);
    faults.silentRequests = {};
    TearDown();
    ui = FakeControls();
    faults.silentRequests = {7};  // the second record
    Connect(Lab(), faults);
    dialog.OnReadRecords();
    EXPECT_EQ(ui.RowCount(IDC_LIST_RECORD), 1);
    ASSERT_EQ(Archived().size(), 1u);
    EXPECT_EQ(Archived()[0].value, 250);
}

TEST_F(RecordArchiveTest, AnArchiveThatFailsGetsOneMoreBoxAndTheListStays) {
    FailingArchive failing;
    dialog.SetArchive(&failing);
    Connect(Lab());
    dialog.OnReadRecords();
    ASSERT_GE(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[ui.boxes.size() - 2], Info(IDS_RECORD_READ_DONE));
    EXPECT_EQ(ui.boxes.back(), (ShownBox{ShownBox::Error, IDS_ARCHIVE_LOCKED, failing.Path()}));
    EXPECT_EQ(ui.RowCount(IDC_LIST_RECORD), 3);
}

TEST_F(RecordArchiveTest, AnArchiveThatCannotGrowGetsItsBoxAndTheLogIsNotClearedUnasked) {
    Connect(Lab());
    setenv(ARCHIVE_TEST_MAX_PAGES_VARIABLE, "1", 1);  // a new archive on a full disk
    dialog.OnReadRecords();
    unsetenv(ARCHIVE_TEST_MAX_PAGES_VARIABLE);
    EXPECT_EQ(ui.boxes.back(), (ShownBox{ShownBox::Error, IDS_ARCHIVE_DISK_FULL, path}));
    EXPECT_EQ(ui.RowCount(IDC_LIST_RECORD), 3);
    dialog.OnDeleteAllRecords();
    ui.boxes.clear();
    ui.answers = {true, false};  // the clear's own question, then No
    dialog.OnClearDeviceRecords();
    EXPECT_NE(std::find(ui.boxes.begin(), ui.boxes.end(),
                        ShownBox{ShownBox::CarefulQuestion, IDS_RECORD_CLEAR_NOT_ARCHIVED, "3"}),
              ui.boxes.end());
    EXPECT_EQ(sim->device.state.records.size(), 3u);
}

TEST_F(RecordArchiveTest, TheLogIsClearedUnaskedOnlyWhenAllOfItWasArchived) {
    const ShownBox careful{ShownBox::CarefulQuestion, IDS_RECORD_CLEAR_NOT_ARCHIVED, "3"};
    const auto asked = [&] {
        return std::find(ui.boxes.begin(), ui.boxes.end(), careful) != ui.boxes.end();
    };
    Connect(Lab());
    ui.answers = {true, false};  // the clear's own question, then No
    dialog.OnClearDeviceRecords();
    EXPECT_TRUE(asked());
    EXPECT_EQ(Sent(), (Frames{{0x13, 0x64}}));  // nothing deleted
    EXPECT_EQ(sim->device.state.records.size(), 3u);

    // An incomplete read, or a read whose archive failed, still asks.
    FailingArchive failing;
    dialog.SetArchive(&failing);
    dialog.OnReadRecords();
    dialog.OnDeleteAllRecords();
    ui.boxes.clear();
    ui.answers = {true, false};
    dialog.OnClearDeviceRecords();
    EXPECT_TRUE(asked());

    dialog.SetArchive(&archive);
    dialog.OnReadRecords();
    dialog.OnDeleteAllRecords();
    ui.boxes.clear();
    dialog.OnClearDeviceRecords();
    EXPECT_FALSE(asked());
    EXPECT_EQ(ui.boxes.back(), Info(IDS_RECORD_CLEARED));
    EXPECT_TRUE(sim->device.state.records.empty());
}

TEST_F(RecordArchiveTest, AProvenLogIsClearedWithItsNewestRecordReadAgain) {
    Connect(Lab());
    ReadAndEmptyTheList();
    const size_t before = Sent().size();
    dialog.OnClearDeviceRecords();
    EXPECT_FALSE(Asked(IDS_RECORD_CLEAR_NOT_ARCHIVED));
    EXPECT_EQ(ui.boxes.back(), Info(IDS_RECORD_CLEARED));
    EXPECT_EQ(ClearFramesFrom(before),
              (std::vector<std::pair<int, int>>{{0x64, 0}, {0x63, 3}, {0x62, 0}, {0x64, 0}}));
    EXPECT_TRUE(sim->device.state.records.empty());
    EXPECT_TRUE(ForcedClears().empty());
}

// Another instrument with as many records on the cable, or a log replaced between the read and
// the clear: the count alone would pass, the newest record does not.
TEST_F(RecordArchiveTest, ASwappedInstrumentIsNotClearedUnasked) {
    SimState other = Lab();
    other.records[2].value = 251;  // the newest
    const struct {
        const char* what;
        SimState swapped;
    } cases[] = {{"same count, another newest record", other},
                 {"another count", SimState{Lab().users, Lab().standards, {Record(1, 1, 5, 9)}}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        ui = FakeControls();
        Connect(Lab());
        ReadAndEmptyTheList();
        const size_t before = Sent().size();
        sim->Server().SwapAt(static_cast<int>(before) + 1, c.swapped);
        ui.answers = {true, false};  // the clear's question, then No
        dialog.OnClearDeviceRecords();
        EXPECT_TRUE(Asked(IDS_RECORD_CLEAR_NOT_ARCHIVED));
        EXPECT_EQ(sim->device.state.records.size(), c.swapped.records.size());
        for (const auto& [sub, item] : ClearFramesFrom(before)) EXPECT_NE(sub, SUB_DELETE_ALL);
    }
}

TEST_F(RecordArchiveTest, AClearForcedPastTheQuestionIsKeptInTheArchive) {
    Connect(Lab());
    const size_t before = Sent().size();
    dialog.OnClearDeviceRecords();  // nothing read: the question, answered Yes
    EXPECT_EQ(ui.boxes[1],
              (ShownBox{ShownBox::CarefulQuestion, IDS_RECORD_CLEAR_NOT_ARCHIVED, "3"}));
    EXPECT_EQ(ClearFramesFrom(before),
              (std::vector<std::pair<int, int>>{{0x64, 0}, {0x62, 0}, {0x64, 0}}));
    const std::vector<ForcedClear> clears = ForcedClears();
    ASSERT_EQ(clears.size(), 1u);
    EXPECT_EQ(clears[0].count, 3);
    EXPECT_EQ(clears[0].source, "COM1");
    EXPECT_EQ(clears[0].user, ThisPc().user);
    EXPECT_TRUE(SecondsFromTimeText(clears[0].clearedAt).has_value());

    // An archive that cannot keep it: the device is not cleared.
    FailingArchive failing;
    dialog.SetArchive(&failing);
    sim->device.state = Lab();
    dialog.OnClearDeviceRecords();
    EXPECT_EQ(ui.boxes.back(), (ShownBox{ShownBox::Error, IDS_ARCHIVE_LOCKED, failing.Path()}));
    EXPECT_EQ(sim->device.state.records.size(), 3u);
}

TEST_F(RecordArchiveTest, ACountReplyThatIsNoCountAsksItsOwnQuestion) {
    FaultPlan faults;
    faults.overrides.push_back({CMD_RECORDS, SUB_COUNT, 0xEEE1, 3});
    Connect(Lab(), faults);
    dialog.OnReadRecords();  // no row, and the completion box, as the device had none
    EXPECT_EQ(ui.RowCount(IDC_LIST_RECORD), 0);
    ui.boxes.clear();
    ui.answers = {true, false};
    dialog.OnClearDeviceRecords();
    EXPECT_EQ(ui.boxes.back(), (ShownBox{ShownBox::CarefulQuestion, IDS_RECORD_CLEAR_UNKNOWN, ""}));
    EXPECT_EQ(sim->device.state.records.size(), 3u);
    EXPECT_EQ(Sent().back(), (std::pair<int, int>{0x13, 0x64}));

    dialog.OnClearDeviceRecords();  // Yes: kept as a clear of an unknown count
    EXPECT_TRUE(sim->device.state.records.empty());
    ASSERT_EQ(ForcedClears().size(), 1u);
    EXPECT_FALSE(ForcedClears()[0].count.has_value());
}

TEST_F(RecordArchiveTest, ATimeOutOnTheNewestRecordDeletesNothing) {
    Connect(Lab());
    ReadAndEmptyTheList();
    FaultPlan faults;
    const int itemRead = static_cast<int>(Sent().size()) + 2;
    TearDown();  // the same read on a simulator that will not answer the clear's item read
    ui = FakeControls();
    faults.silentRequests = {itemRead};
    Connect(Lab(), faults);
    ReadAndEmptyTheList();
    dialog.OnClearDeviceRecords();
    EXPECT_EQ(ui.boxes.back(), Info(IDS_DELAY));
    EXPECT_EQ(Sent().back(), (std::pair<int, int>{0x13, 0x63}));
    EXPECT_EQ(sim->device.state.records.size(), 3u);
    EXPECT_EQ(GetWord(TxFrame, FRAME_ITEM), 0);  // bytes 6-7 back to 0
}

// What proves a log archived lasts only until a new read starts, fails or stops early, or the
// port is closed. The first read takes requests 1 to 8 (a user, a standard, three records).
TEST_F(RecordArchiveTest, TheProofIsForgottenByANewReadAndAClosedPort) {
    using Dialog = COmbrix_TessalyDlg;
    const auto readAgain = [](FakeControls& ui, Dialog& dialog) {
        dialog.OnReadRecords();
        ui.DeleteAllRows(IDC_LIST_RECORD);
    };
    const struct {
        const char* what;
        std::set<int> silent;
        std::function<void(FakeControls&, Dialog&)> between;
        bool asks;
    } cases[] = {
        {"nothing", {}, [](FakeControls&, Dialog&) {}, false},
        {"a read refused by the record list",
         {},
         [](FakeControls& ui, Dialog& dialog) {
             ui.InsertRow(IDC_LIST_RECORD, 0);
             dialog.OnReadRecords();
             ui.DeleteAllRows(IDC_LIST_RECORD);
         },
         true},
        {"a read whose count times out", {13}, readAgain, true},
        {"a read that stops at its second record", {15}, readAgain, true},
        {"the port closed and opened",
         {},
         [](FakeControls&, Dialog& dialog) {
             dialog.OnConnect();
             dialog.OnConnect();
         },
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        ui = FakeControls();
        FaultPlan faults;
        faults.silentRequests = c.silent;
        Connect(Lab(), faults);
        ReadAndEmptyTheList();
        c.between(ui, dialog);
        ui.boxes.clear();
        ui.answers = {true, false};
        dialog.OnClearDeviceRecords();
        EXPECT_EQ(Asked(IDS_RECORD_CLEAR_NOT_ARCHIVED), c.asks);
        EXPECT_EQ(sim->device.state.records.empty(), !c.asks);
    }
}

// The archive takes the device's names: one typed into the PC's list, not yet written, is what
// the record list shows, never what the archive keeps.
TEST_F(RecordArchiveTest, ANameTypedOnThePcDoesNotRenameArchivedMeasurements) {
    Connect(Lab());
    ui.InsertRow(IDC_LIST_USER, 0);
    ui.SetCell(IDC_LIST_USER, 0, 2, "Park");
    dialog.OnReadRecords();
    EXPECT_EQ(ui.boxes.front(), Info(IDS_USER_READ_NOT_EMPTY));
    EXPECT_EQ(ui.boxes.back(), Info(IDS_RECORD_READ_DONE));
    // The device's users read for the archive right after the refusal, the list untouched.
    EXPECT_EQ(Sent().front(), (std::pair<int, int>{CMD_USERS, SUB_COUNT}));
    EXPECT_EQ(Sent()[1], (std::pair<int, int>{CMD_USERS, SUB_READ_ITEM}));
    EXPECT_EQ(ui.RowCount(IDC_LIST_USER), 1);
    EXPECT_EQ(CellOf(IDC_LIST_RECORD, 2, 3), "Park");
    std::vector<Measurement> rows = Archived();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows.back().userName, "홍길동");

    // A later read with the device's own list stores nothing twice.
    ui.DeleteAllRows(IDC_LIST_USER);
    ReadAgain();
    EXPECT_EQ(Archived().size(), 3u);
}

TEST_F(RecordArchiveTest, ATimeOutOnTheDevicesListForTheArchiveEndsTheRead) {
    FaultPlan faults;
    faults.silentRequests = {2};  // the first user, read for the archive after the refusal
    Connect(Lab(), faults);
    ui.InsertRow(IDC_LIST_USER, 0);
    dialog.OnReadRecords();
    EXPECT_EQ(ui.boxes.back(), Info(IDS_DELAY));
    for (const auto& sent : Sent()) EXPECT_EQ(sent.first, CMD_USERS);
    EXPECT_EQ(ui.RowCount(IDC_LIST_RECORD), 0);
    EXPECT_TRUE(Archived().empty());
}

}  // namespace
