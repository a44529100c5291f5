// The user panel: editing on the PC, and reading and writing the device's users, against the
// simulator on a pseudo-terminal.
#include <gtest/gtest.h>

#include <cstring>

#include "roster/user_record.h"
#include "tests/dialog_fixture.h"

namespace {

constexpr int kList = IDC_LIST_USER;
constexpr int kBar = IDC_PROGRESS_USER;

SimState Users(std::initializer_list<SimUser> users) {
    SimState state;
    state.users = users;
    return state;
}

class UserEditing : public DialogTest {
protected:
    void Fill(const std::string& name, const std::string& id1, const std::string& id2) {
        ui.edits[IDC_EDIT_USER_NAME] = name;
        ui.edits[IDC_EDIT_USER_ID1] = id1;
        ui.edits[IDC_EDIT_USER_ID2] = id2;
    }
    void AddRows(int count) {
        for (int i = 0; i < count; ++i) {
            Fill("U" + std::to_string(i), std::to_string(i), std::to_string(i));
            dialog.OnAddUser();
        }
    }
};

struct Cut {
    const char* what;
    int edit;
    std::string typed;
    std::string kept;
    int message;  // 0: accepted as typed
};

void PrintTo(const Cut& cut, std::ostream* os) { *os << cut.what; }

class FieldLimits : public UserEditing, public ::testing::WithParamInterface<Cut> {};

TEST_P(FieldLimits, TextOverTheLimitIsReportedAndCutToWholeCharacters) {
    const Cut& cut = GetParam();
    Type(cut.edit, cut.typed);
    EXPECT_EQ(ui.edits[cut.edit], cut.kept);
    if (cut.message)
        EXPECT_EQ(ui.boxes, Told(cut.message));
    else
        EXPECT_TRUE(ui.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Users, FieldLimits,
    ::testing::Values(
        Cut{"id1_seven_digits", IDC_EDIT_USER_ID1, "1234567", "123456", IDS_USER_ID1_TOO_LONG},
        Cut{"id1_six_digits", IDC_EDIT_USER_ID1, "000123", "000123", 0},
        Cut{"id2_eight_digits", IDC_EDIT_USER_ID2, "12345678", "1234567", IDS_USER_ID2_TOO_LONG},
        Cut{"id1_pasted_hangul_not_split", IDC_EDIT_USER_ID1, "12345" + kBa, "12345",
            IDS_USER_ID1_TOO_LONG},
        Cut{"name_twelve_letters", IDC_EDIT_USER_NAME, "ABCDEFGHIJKL", "ABCDEFGHIJK",
            IDS_USER_NAME_TOO_LONG},
        Cut{"name_six_syllables", IDC_EDIT_USER_NAME, kGaToMa + kBa, kGaToMa,
            IDS_USER_NAME_TOO_LONG},
        Cut{"name_five_syllables_two_letters", IDC_EDIT_USER_NAME, kGaToMa + "AB", kGaToMa + "A",
            IDS_USER_NAME_TOO_LONG},
        Cut{"name_letter_and_six_syllables", IDC_EDIT_USER_NAME, "A" + kGaToMa + kBa, "A" + kGaToMa,
            IDS_USER_NAME_TOO_LONG},
        Cut{"name_letter_and_five_syllables", IDC_EDIT_USER_NAME, "A" + kGaToMa, "A" + kGaToMa, 0}),
    [](const ::testing::TestParamInfo<Cut>& info) { return std::string(info.param.what); });

TEST_F(UserEditing, AddAppendsANumberedRowAndKeepsTheFields) {
    Fill(kHong, "000123", "1234567");
    dialog.OnAddUser();
    dialog.OnAddUser();
    ASSERT_EQ(ui.RowCount(kList), 2);
    EXPECT_EQ(CellOf(kList, 1, 1), "2");
    EXPECT_EQ(CellOf(kList, 1, UserRecord::COL_NAME), kHong);
    EXPECT_EQ(CellOf(kList, 1, UserRecord::COL_ID1), "000123");
    EXPECT_EQ(CellOf(kList, 1, UserRecord::COL_ID2), "1234567");
    EXPECT_FALSE(ui.IsChecked(kList, 1));
    EXPECT_EQ(ui.edits[IDC_EDIT_USER_NAME], kHong);
    EXPECT_EQ(ui.scrolls[kList], (std::vector<int>{5000, 5000}));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(UserEditing, EmptyFieldsAreRefused) {
    for (auto fields : {std::vector<std::string>{"", "1", "2"}, {"A", "", "2"}, {"A", "1", ""}}) {
        ui.boxes.clear();
        Fill(fields[0], fields[1], fields[2]);
        dialog.OnAddUser();
        EXPECT_EQ(ui.boxes, Told(IDS_FIELDS_EMPTY));
    }
    EXPECT_EQ(ui.RowCount(kList), 0);
}

TEST_F(UserEditing, TheLimitComesBeforeTheEmptyFieldCheck) {
    AddRows(MAX_USERS);
    ASSERT_EQ(ui.RowCount(kList), MAX_USERS);
    Fill("", "", "");
    dialog.OnAddUser();
    EXPECT_EQ(ui.boxes, Told(IDS_USER_LIMIT));
    EXPECT_EQ(ui.RowCount(kList), MAX_USERS);
}

TEST_F(UserEditing, SelectAllTogglesAndDeleteRenumbers) {
    dialog.OnSelectAllUsers();  // empty list: nothing happens
    AddRows(5);
    ui.SetChecked(kList, 2, true);
    dialog.OnSelectAllUsers();
    for (int row = 0; row < 5; ++row) EXPECT_FALSE(ui.IsChecked(kList, row));
    dialog.OnSelectAllUsers();
    for (int row = 0; row < 5; ++row) EXPECT_TRUE(ui.IsChecked(kList, row));
    dialog.OnSelectAllUsers();
    dialog.OnDeleteUsers();  // nothing ticked
    EXPECT_EQ(ui.RowCount(kList), 5);

    ui.SetChecked(kList, 1, true);
    ui.SetChecked(kList, 3, true);
    dialog.OnDeleteUsers();
    ASSERT_EQ(ui.RowCount(kList), 3);
    const char* names[] = {"U0", "U2", "U4"};
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(CellOf(kList, row, 1), std::to_string(row + 1));
        EXPECT_EQ(CellOf(kList, row, UserRecord::COL_NAME), names[row]);
    }
    EXPECT_TRUE(ui.boxes.empty());
}

class ReadUsers : public UserEditing {};

TEST_F(ReadUsers, ANonEmptyListIsRefusedAndNothingIsSent) {
    Connect(Users({{1, 2, "A"}}));
    AddRows(1);
    dialog.OnReadUsers();
    EXPECT_EQ(ui.boxes, Told(IDS_USER_READ_NOT_EMPTY));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(ui.ProgressNow(kBar), 0);
}

TEST_F(ReadUsers, ThreeUsersInDeviceOrder) {
    Connect(Users({{1, 10, kHongJohab}, {-1, 12345678, "ABCDEFGHIJK"}, {3, 30, kGaToMaJohab}}));
    dialog.OnReadUsers();
    EXPECT_EQ(ui.boxes, Told(IDS_USER_READ_DONE));
    ASSERT_EQ(ui.RowCount(kList), 3);
    for (int row = 0; row < 3; ++row) EXPECT_EQ(CellOf(kList, row, 1), std::to_string(row + 1));
    EXPECT_EQ(CellOf(kList, 0, UserRecord::COL_NAME), kHong);
    EXPECT_EQ(CellOf(kList, 1, UserRecord::COL_NAME), "ABCDEFGHIJK");
    EXPECT_EQ(CellOf(kList, 1, UserRecord::COL_ID1), "-1");
    EXPECT_EQ(CellOf(kList, 1, UserRecord::COL_ID2), "12345678");
    EXPECT_EQ(CellOf(kList, 2, UserRecord::COL_NAME), kGaToMa);
    EXPECT_EQ(ui.progress[kBar], (std::vector<int>{0, 833, 1666, 2500}));
    EXPECT_EQ(Sent(), (Frames{{0x12, 0x64}, {0x12, 0x63}, {0x12, 0x63}, {0x12, 0x63}}));
    EXPECT_EQ(Request(3)[6], 3);
    EXPECT_EQ(ui.scrolls[kList].size(), 3u);
}

TEST_F(ReadUsers, ADeviceWithoutUsers) {
    Connect();
    dialog.OnReadUsers();
    EXPECT_EQ(ui.boxes, Told(IDS_USER_NONE));
    EXPECT_EQ(ui.RowCount(kList), 0);
}

TEST_F(ReadUsers, ACountReplyWithAnotherStatusEndsAtOnce) {
    FaultPlan faults;
    faults.overrides.push_back({CMD_USERS, SUB_COUNT, RX_STATUS_FULL, 5});
    Connect(Users({{1, 1, "A"}}), faults);
    dialog.OnReadUsers();
    EXPECT_EQ(ui.boxes, Told(IDS_USER_READ_DONE));
    EXPECT_EQ(ui.RowCount(kList), 0);
    EXPECT_EQ(Sent().size(), 1u);
}

// The reply to the second item is lost: not sent, cut off half-way, or the line hangs up.
TEST_F(ReadUsers, AMissingReplyForTheSecondOfFour) {
    FaultPlan silent, half, hangUp;
    silent.silentRequests = {3};
    half.halfRequests = {3};
    hangUp.hangUpAt = 3;
    for (const FaultPlan& faults : {silent, half, hangUp}) {
        SCOPED_TRACE(faults.hangUpAt ? "hang-up" : faults.halfRequests.empty() ? "silent" : "half");
        Connect(Users({{1, 1, "A"}, {2, 2, "B"}, {3, 3, "C"}, {4, 4, "D"}}), faults);
        dialog.OnReadUsers();
        EXPECT_EQ(ui.boxes, Told(IDS_DELAY));
        EXPECT_EQ(ui.RowCount(kList), 1);
        EXPECT_EQ(ui.ProgressNow(kBar), 625);
        EXPECT_EQ(Sent().size(), 3u);
        dialog.OnConnect();  // disconnect
        ui.DeleteAllRows(kList);
    }
}

// The line is gone while connected: it stays "connected" until the operator disconnects, and
// a connect to the device back on the port reads right at once.
TEST_F(ReadUsers, AfterAHangUpDisconnectAndConnectWorkAtOnce) {
    FaultPlan faults;
    faults.hangUpAt = 3;
    Connect(Users({{1, 1, "A"}, {2, 2, "B"}}), faults);
    dialog.OnReadUsers();
    dialog.OnReadStandards();
    EXPECT_EQ(ui.boxes, (std::vector<ShownBox>{Info(IDS_DELAY), Info(IDS_DELAY)}));
    EXPECT_EQ(ui.RowCount(kList), 1);
    EXPECT_TRUE(dialog.IsConnected());
    EXPECT_EQ(ui.texts[IDC_STATIC_STATUS], IDS_STATUS_CONNECTED);

    dialog.OnConnect();
    Connect(Users({{1, 1, "A"}, {2, 2, "B"}}));
    ui.DeleteAllRows(kList);
    dialog.OnReadUsers();
    EXPECT_EQ(ui.boxes, Told(IDS_USER_READ_DONE));
    EXPECT_EQ(CellOf(kList, 1, UserRecord::COL_NAME), "B");
}

TEST_F(ReadUsers, ACountAbove250IsFetchedInFull) {
    FaultPlan faults;
    faults.overrides.push_back({CMD_USERS, SUB_COUNT, RX_STATUS_COUNT, 300});
    Connect(Users({{1, 1, "A"}}), faults);
    dialog.OnReadUsers();
    EXPECT_EQ(ui.RowCount(kList), 300);
    EXPECT_EQ(CellOf(kList, 299, 1), "300");
    EXPECT_EQ(GetWord(Request(300).data(), FRAME_ITEM), 300);
    EXPECT_EQ(ui.ProgressNow(kBar), 2500);
}

class WriteUsers : public UserEditing {};

TEST_F(WriteUsers, FramesAndPayloadOfEveryRow) {
    Connect(Users({{9, 9, "OLD"}}));
    Fill(kGaToMa, "000123", "1234567");
    dialog.OnAddUser();
    Fill("ABCDEFGHIJK", "-5", "7x");
    dialog.OnAddUser();
    Fill(kHong, "1", "2");
    dialog.OnAddUser();
    dialog.OnAddUser();
    ui.SetChecked(kList, 1, true);  // ticks do not matter
    dialog.OnWriteUsers();

    EXPECT_EQ(ui.boxes, (std::vector<ShownBox>{{ShownBox::Question, IDS_USER_WRITE_ASK, ""},
                                               {ShownBox::Info, IDS_USER_WRITE_DONE, ""}}));
    EXPECT_EQ(Sent(), (Frames{{0x13, 0x64},
                              {0x12, 0x62},
                              {0x12, 0x64},
                              {0x12, 0x61},
                              {0x12, 0x61},
                              {0x12, 0x61},
                              {0x12, 0x61}}));
    const auto first = Request(3);
    EXPECT_EQ(GetWord(first.data(), 4), 0);
    EXPECT_EQ(GetWord(first.data(), 6), 0);
    EXPECT_EQ(GetLong(first.data(), 8), 123);
    EXPECT_EQ(GetLong(first.data(), 12), 1234567);
    EXPECT_EQ(std::string(first.begin() + 16, first.begin() + 27), kGaToMaJohab + '\0');
    const auto second = Request(4);
    EXPECT_EQ(GetLong(second.data(), 8), -5);
    EXPECT_EQ(GetLong(second.data(), 12), 7);
    EXPECT_EQ(std::string(second.begin() + 16, second.begin() + 27), "ABCDEFGHIJK");
    EXPECT_EQ(second[27], 0);
    EXPECT_EQ(ui.progress[kBar], (std::vector<int>{0, 625, 1250, 1875, 2500}));

    ASSERT_EQ(sim->device.state.users.size(), 4u);
    EXPECT_EQ(sim->device.state.users[2].name, kHongJohab);
}

TEST_F(WriteUsers, NoSendsNothing) {
    Connect();
    AddRows(1);
    ui.answers = {false};
    dialog.OnWriteUsers();
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(ui.ProgressNow(kBar), 0);
    EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(WriteUsers, TheDeviceFillsUpAtTheThirdAppend) {
    Connect({}, {}, 2);
    AddRows(4);
    dialog.OnWriteUsers();
    EXPECT_EQ(ui.boxes.back(), (ShownBox{ShownBox::Info, IDS_USER_FULL, ""}));
    EXPECT_EQ(Sent().size(), 6u);  // three counts and deletes, three appends
    EXPECT_EQ(ui.ProgressNow(kBar), 1250);
    EXPECT_EQ(sim->device.state.users.size(), 2u);
}

TEST_F(WriteUsers, TheFirstTimeOutNamesTheConnection) {
    FaultPlan faults;
    faults.silentRequests = {1};
    Connect({}, faults);
    dialog.OnWriteUsers();
    EXPECT_EQ(ui.boxes.back(), (ShownBox{ShownBox::Info, IDS_DELAY_OMBRIX, ""}));
}

TEST_F(WriteUsers, AnEmptyListEmptiesTheDevice) {
    Connect(Users({{1, 1, "A"}, {2, 2, "B"}}));
    dialog.OnWriteUsers();
    EXPECT_EQ(ui.boxes.back(), (ShownBox{ShownBox::Info, IDS_USER_WRITE_DONE, ""}));
    EXPECT_TRUE(sim->device.state.users.empty());
    EXPECT_EQ(ui.ProgressNow(kBar), 0);
    EXPECT_EQ(Sent().size(), 3u);
}

TEST_F(WriteUsers, WrittenUsersReadBackTheSame) {
    Connect();
    Fill(kHong, "000123", "42");
    dialog.OnAddUser();
    Fill("A" + kGaToMa, "7", "8");
    dialog.OnAddUser();
    dialog.OnWriteUsers();
    ui.lists[kList].clear();
    dialog.OnReadUsers();
    ASSERT_EQ(ui.RowCount(kList), 2);
    EXPECT_EQ(CellOf(kList, 0, UserRecord::COL_NAME), kHong);
    EXPECT_EQ(CellOf(kList, 0, UserRecord::COL_ID1), "123");
    EXPECT_EQ(CellOf(kList, 1, UserRecord::COL_NAME), "A" + kGaToMa);
}

}  // namespace
