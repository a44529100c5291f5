// The write conversation that the user and standard panels share: every way it is refused
// stops it with the panel's message, after the requests so far.
#include <tuple>

#include "app/list_editing.h"
#include "tests/dialog_fixture.h"

namespace {

struct Panel {
    const char* name;
    int list;
    uint8_t command;
    void (COmbrix_TessalyDlg::*write)();
    int recordsInListText, recordsOnDeviceText, notDeletedText, fullText;
};

const Panel kPanels[] = {
    {"users", IDC_LIST_USER, CMD_USERS, &COmbrix_TessalyDlg::OnWriteUsers,
     IDS_USER_WRITE_RECORDS_IN_LIST, IDS_USER_WRITE_RECORDS_ON_DEVICE, IDS_USER_NOT_DELETED,
     IDS_USER_FULL},
    {"standards", IDC_LIST_STANDARD, CMD_STANDARDS, &COmbrix_TessalyDlg::OnWriteStandards,
     IDS_STANDARD_WRITE_RECORDS_IN_LIST, IDS_STANDARD_WRITE_RECORDS_ON_DEVICE,
     IDS_STANDARD_NOT_DELETED, IDS_STANDARD_FULL},
};

void PrintTo(const Panel& panel, std::ostream* os) { *os << panel.name; }

enum class Refusal { RecordsInList, RecordsOnDevice, DeleteRefused, NotDeleted, FullAtSecondRow };

const char* NameOf(Refusal refusal) {
    static const char* const kNames[] = {"records_in_the_list", "records_on_the_device",
                                         "delete_refused", "not_deleted", "full_at_the_second_row"};
    return kNames[static_cast<int>(refusal)];
}

void PrintTo(Refusal refusal, std::ostream* os) { *os << NameOf(refusal); }

class WriteRefusals : public DialogTest,
                      public ::testing::WithParamInterface<std::tuple<Panel, Refusal>> {};

TEST_P(WriteRefusals, StopWithThePanelsMessageAndTheRequestsSoFar) {
    const auto [panel, refusal] = GetParam();
    const int c = panel.command;
    SimState state;
    FaultPlan faults;
    int fullAfter = -1;
    int message = 0;
    Frames sent = {{CMD_RECORDS, SUB_COUNT}};
    switch (refusal) {
        case Refusal::RecordsInList:
            message = panel.recordsInListText;
            sent.clear();
            break;
        case Refusal::RecordsOnDevice:
            state.records.resize(3);
            message = panel.recordsOnDeviceText;
            break;
        case Refusal::DeleteRefused:
            faults.overrides.push_back({panel.command, SUB_DELETE_ALL, RX_STATUS_DELETE, 0});
            message = panel.recordsInListText;
            sent.push_back({c, SUB_DELETE_ALL});
            break;
        case Refusal::NotDeleted:
            faults.overrides.push_back({panel.command, SUB_COUNT, RX_STATUS_COUNT, 5});
            message = panel.notDeletedText;
            sent.insert(sent.end(), {{c, SUB_DELETE_ALL}, {c, SUB_COUNT}});
            break;
        case Refusal::FullAtSecondRow:
            fullAfter = 1;
            message = panel.fullText;
            sent.insert(sent.end(),
                        {{c, SUB_DELETE_ALL}, {c, SUB_COUNT}, {c, SUB_APPEND}, {c, SUB_APPEND}});
            break;
    }
    Connect(state, faults, fullAfter);
    if (refusal == Refusal::RecordsInList) ui.InsertRow(IDC_LIST_RECORD, 0);
    for (int row = 0; row < 3; ++row) AppendRow(ui, panel.list, "A", "1", "2");

    (dialog.*panel.write)();
    EXPECT_EQ(ui.boxes.back(), Info(message));
    EXPECT_EQ(Sent(), sent);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, WriteRefusals,
    ::testing::Combine(::testing::ValuesIn(kPanels),
                       ::testing::Values(Refusal::RecordsInList, Refusal::RecordsOnDevice,
                                         Refusal::DeleteRefused, Refusal::NotDeleted,
                                         Refusal::FullAtSecondRow)),
    [](const ::testing::TestParamInfo<std::tuple<Panel, Refusal>>& info) {
        return std::string(std::get<0>(info.param).name) + "_" + NameOf(std::get<1>(info.param));
    });

}  // namespace
