// The standard panel: its editing rules where they differ from the user panel's, and reading
// and writing the device's standards against the simulator on a pseudo-terminal.
#include <gtest/gtest.h>

#include "standards/standard_record.h"
#include "tests/dialog_fixture.h"

namespace {

constexpr int kList = IDC_LIST_STANDARD;
constexpr int kBar = IDC_PROGRESS_STANDARD;

SimState Standards(std::initializer_list<SimStandard> standards) {
    SimState state;
    state.standards = standards;
    return state;
}

class StandardTest : public DialogTest {
protected:
    void Fill(const std::string& name, const std::string& safe, const std::string& danger) {
        ui.edits[IDC_EDIT_STANDARD_NAME] = name;
        ui.edits[IDC_EDIT_SAFE_INDEX] = safe;
        ui.edits[IDC_EDIT_DANGER_INDEX] = danger;
    }
    void AddRows(int count) {
        for (int i = 0; i < count; ++i) {
            Fill("S" + std::to_string(i), std::to_string(100 + i), std::to_string(200 + i));
            dialog.OnAddStandard();
        }
    }
};

struct IndexEntry {
    const char* what;
    int edit;
    std::string typed;
    std::string kept;
    std::vector<int> messages;
};

void PrintTo(const IndexEntry& entry, std::ostream* os) { *os << entry.what; }

class IndexFields : public StandardTest, public ::testing::WithParamInterface<IndexEntry> {};

TEST_P(IndexFields, LeadingZeroThenLength) {
    const IndexEntry& entry = GetParam();
    Type(entry.edit, entry.typed);
    EXPECT_EQ(ui.edits[entry.edit], entry.kept);
    std::vector<ShownBox> expected;
    for (int message : entry.messages) expected.push_back(Info(message));
    EXPECT_EQ(ui.boxes, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Standards, IndexFields,
    ::testing::Values(
        IndexEntry{"single_zero", IDC_EDIT_SAFE_INDEX, "0", "0", {}},
        IndexEntry{"zero_then_digit", IDC_EDIT_SAFE_INDEX, "05", "", {IDS_LEADING_ZERO}},
        IndexEntry{
            "pasted_with_leading_zero", IDC_EDIT_DANGER_INDEX, "01234", "", {IDS_LEADING_ZERO}},
        IndexEntry{"five_digits_safe", IDC_EDIT_SAFE_INDEX, "12345", "1234", {IDS_SAFE_TOO_LONG}},
        IndexEntry{
            "five_digits_danger", IDC_EDIT_DANGER_INDEX, "98765", "9876", {IDS_DANGER_TOO_LONG}},
        IndexEntry{"four_digits", IDC_EDIT_DANGER_INDEX, "9999", "9999", {}},
        IndexEntry{"name_twelve_letters",
                   IDC_EDIT_STANDARD_NAME,
                   "ABCDEFGHIJKL",
                   "ABCDEFGHIJK",
                   {IDS_STANDARD_NAME_TOO_LONG}},
        IndexEntry{"name_six_syllables",
                   IDC_EDIT_STANDARD_NAME,
                   kGaToMa + kBa,
                   kGaToMa,
                   {IDS_STANDARD_NAME_TOO_LONG}},
        IndexEntry{"name_letter_and_six_syllables",
                   IDC_EDIT_STANDARD_NAME,
                   "A" + kGaToMa + kBa,
                   "A" + kGaToMa,
                   {IDS_STANDARD_NAME_TOO_LONG}},
        IndexEntry{"name_letter_and_five_syllables",
                   IDC_EDIT_STANDARD_NAME,
                   "A" + kGaToMa,
                   "A" + kGaToMa,
                   {}}),
    [](const ::testing::TestParamInfo<IndexEntry>& info) { return std::string(info.param.what); });

TEST_F(StandardTest, AddKeepsAnyIndexPairAndScrolls2500) {
    Fill(kGaToMa, "300", "200");  // safety at or above danger is accepted
    dialog.OnAddStandard();
    Fill("B", "7", "7");
    dialog.OnAddStandard();
    ASSERT_EQ(ui.RowCount(kList), 2);
    EXPECT_EQ(CellOf(kList, 0, StandardRecord::COL_SAFE), "300");
    EXPECT_EQ(CellOf(kList, 0, StandardRecord::COL_DANGER), "200");
    EXPECT_EQ(CellOf(kList, 1, 1), "2");
    EXPECT_EQ(ui.scrolls[kList], (std::vector<int>{2500, 2500}));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(StandardTest, TheLimitOf50ComesBeforeTheEmptyFieldCheck) {
    AddRows(MAX_STANDARDS);
    Fill("", "", "");
    dialog.OnAddStandard();
    EXPECT_EQ(ui.boxes, Told(IDS_STANDARD_LIMIT));
    EXPECT_EQ(ui.RowCount(kList), MAX_STANDARDS);
    ui.lists[kList].clear();
    dialog.OnAddStandard();
    EXPECT_EQ(ui.boxes.back(), Info(IDS_FIELDS_EMPTY));
}

TEST_F(StandardTest, SelectAllAndDeleteRenumber) {
    AddRows(5);
    ui.SetChecked(kList, 1, true);
    ui.SetChecked(kList, 3, true);
    dialog.OnDeleteStandards();
    ASSERT_EQ(ui.RowCount(kList), 3);
    EXPECT_EQ(CellOf(kList, 2, 1), "3");
    EXPECT_EQ(CellOf(kList, 2, StandardRecord::COL_NAME), "S4");
    dialog.OnSelectAllStandards();
    for (int row = 0; row < 3; ++row) EXPECT_TRUE(ui.IsChecked(kList, row));
}

TEST_F(StandardTest, ReadShowsIndexWordsAsTheyAre) {
    Connect(Standards({{100, 200, kGaToMaJohab}, {9999, 65535, "ABCDEFGHIJK"}, {0, 1, "C"}}));
    dialog.OnReadStandards();
    EXPECT_EQ(ui.boxes, Told(IDS_STANDARD_READ_DONE));
    ASSERT_EQ(ui.RowCount(kList), 3);
    EXPECT_EQ(CellOf(kList, 0, StandardRecord::COL_NAME), kGaToMa);
    EXPECT_EQ(CellOf(kList, 1, StandardRecord::COL_NAME), "ABCDEFGHIJK");
    EXPECT_EQ(CellOf(kList, 1, StandardRecord::COL_SAFE), "9999");
    EXPECT_EQ(CellOf(kList, 1, StandardRecord::COL_DANGER), "65535");
    EXPECT_EQ(CellOf(kList, 2, 1), "3");
    EXPECT_EQ(ui.progress[kBar], (std::vector<int>{0, 833, 1666, 2500}));
    EXPECT_EQ(ui.scrolls[kList], (std::vector<int>{2500, 2500, 2500}));
    EXPECT_EQ(Sent(), (Frames{{0x11, 0x64}, {0x11, 0x63}, {0x11, 0x63}, {0x11, 0x63}}));
}

TEST_F(StandardTest, ReadRefusalsAndEmptyAnswers) {
    Connect();
    dialog.OnReadStandards();
    EXPECT_EQ(ui.boxes, Told(IDS_STANDARD_NONE));
    AddRows(1);
    ui.boxes.clear();
    dialog.OnReadStandards();
    EXPECT_EQ(ui.boxes, Told(IDS_STANDARD_READ_NOT_EMPTY));
    EXPECT_EQ(Sent().size(), 1u);
}

TEST_F(StandardTest, ACountAbove50IsFetchedInFull) {
    FaultPlan faults;
    faults.overrides.push_back({CMD_STANDARDS, SUB_COUNT, RX_STATUS_COUNT, 60});
    Connect(Standards({{1, 2, "A"}}), faults);
    dialog.OnReadStandards();
    EXPECT_EQ(ui.RowCount(kList), 60);
    EXPECT_EQ(ui.ProgressNow(kBar), 2500);
}

TEST_F(StandardTest, AMissingReplyInTheMiddle) {
    FaultPlan faults;
    faults.silentRequests = {3};
    Connect(Standards({{1, 2, "A"}, {3, 4, "B"}, {5, 6, "C"}}), faults);
    dialog.OnReadStandards();
    EXPECT_EQ(ui.boxes, Told(IDS_DELAY));
    EXPECT_EQ(ui.RowCount(kList), 1);
    EXPECT_EQ(ui.ProgressNow(kBar), 833);
}

TEST_F(StandardTest, WriteFramesCarryTheLow16BitsAndNoItemNumber) {
    Connect(Standards({{9, 9, "OLD"}}));
    Fill(kGaToMa, "100", "200");
    dialog.OnAddStandard();
    ui.lists[kList].push_back({std::vector<std::string>(11), false});
    ui.SetCell(kList, 1, StandardRecord::COL_NAME, "ABCDEFGHIJK");
    ui.SetCell(kList, 1, StandardRecord::COL_SAFE, "70000");  // only from a hand-made cell
    ui.SetCell(kList, 1, StandardRecord::COL_DANGER, "x");
    dialog.OnWriteStandards();

    EXPECT_EQ(ui.boxes.back(), Info(IDS_STANDARD_WRITE_DONE));
    EXPECT_EQ(Sent(),
              (Frames{{0x13, 0x64}, {0x11, 0x62}, {0x11, 0x64}, {0x11, 0x61}, {0x11, 0x61}}));
    const auto first = Request(3);
    EXPECT_EQ(GetWord(first.data(), 4), 0);
    EXPECT_EQ(GetWord(first.data(), 6), 0);
    EXPECT_EQ(GetWord(first.data(), 8), 100);
    EXPECT_EQ(GetWord(first.data(), 10), 200);
    EXPECT_EQ(std::string(first.begin() + 12, first.begin() + 23), kGaToMaJohab + '\0');
    const auto second = Request(4);
    EXPECT_EQ(GetWord(second.data(), 8), 70000 & 0xFFFF);
    EXPECT_EQ(GetWord(second.data(), 10), 0);
    EXPECT_EQ(std::string(second.begin() + 12, second.begin() + 23), "ABCDEFGHIJK");
    EXPECT_EQ(ui.progress[kBar], (std::vector<int>{0, 1250, 2500}));
    ASSERT_EQ(sim->device.state.standards.size(), 2u);
    EXPECT_EQ(sim->device.state.standards[0].name, kGaToMaJohab);
}

TEST_F(StandardTest, WriteDeclinedByTheOperatorSendsNothing) {
    Connect();
    ui.answers = {false};
    dialog.OnWriteStandards();
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(StandardTest, AnEmptyListEmptiesTheDevice) {
    Connect(Standards({{1, 1, "A"}}));
    dialog.OnWriteStandards();
    EXPECT_EQ(ui.boxes.back(), Info(IDS_STANDARD_WRITE_DONE));
    EXPECT_TRUE(sim->device.state.standards.empty());
    EXPECT_EQ(Sent().size(), 3u);
}

}  // namespace
