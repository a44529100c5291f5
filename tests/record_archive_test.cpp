// The record panel and the archive: every read kept once, a time-out keeps the rows read, an
// archive that fails gets one more box, and the log is not cleared unasked while records on the
// device are not archived.
#include <gtest/gtest.h>

#include "archive/archive_file.h"
#include "archive/archive_query.h"
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
        ArchiveStatus status;
        status.cause = ArchiveCause::Locked;
        return status;
    }
    const std::string& Path() const override { return m_path; }

private:
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

    void ReadAgain() {
        dialog.OnDeleteAllRecords();
        dialog.OnReadRecords();
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

}  // namespace
