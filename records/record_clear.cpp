// Clearing the device's measurement log, and emptying the record list on the PC. Together
// they make the device's users and standards writable again.
#include "app/main_dialog.h"
#include "res/resource.h"

namespace {

bool NoRecordsLeft(uint16_t status, uint16_t count) {
    return status == RX_STATUS_COUNT && count == 0;
}

}  // namespace

void COmbrix_TessalyDlg::OnClearDeviceRecords() {
    if (!m_ui.Ask(IDS_RECORD_CLEAR_ASK)) return;
    SetRequestEnvelope(TxFrame);
    TxFrame[FRAME_CMD] = CMD_RECORDS;
    PutWord(TxFrame, FRAME_ITEM, 0);
    if (m_ui.RowCount(IDC_LIST_RECORD) > 0) {
        m_ui.Tell(IDS_RECORD_CLEAR_LIST_NOT_EMPTY);
        return;
    }
    TxFrame[FRAME_SUB] = SUB_COUNT;
    if (!ExchangeOrReport(IDS_DELAY)) return;
    if (NoRecordsLeft(ReplyStatus(), ReplyCount())) {
        m_ui.Tell(IDS_RECORD_NONE);
        return;
    }
    if (!MayClearRecords()) return;
    TxFrame[FRAME_SUB] = SUB_DELETE_ALL;
    if (!ExchangeOrReport(IDS_DELAY)) return;
    if (!NoRecordsLeft(ReplyStatus(), ReplyCount())) return;
    TxFrame[FRAME_SUB] = SUB_COUNT;
    if (!ExchangeOrReport(IDS_DELAY)) return;
    if (NoRecordsLeft(ReplyStatus(), ReplyCount())) m_ui.Tell(IDS_RECORD_CLEARED);
}

void COmbrix_TessalyDlg::OnDeleteAllRecords() {
    if (m_ui.RowCount(IDC_LIST_RECORD) == 0) return;
    if (!m_ui.Ask(IDS_RECORD_LIST_DELETE_ASK)) return;
    m_ui.DeleteAllRows(IDC_LIST_RECORD);
    if (m_ui.RowCount(IDC_LIST_RECORD) == 0) m_ui.EnableControl(IDC_BTN_RECORD_CSV, false);
    ShowEdits();
}
