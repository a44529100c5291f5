#include "app/device_list.h"

#include "app/main_dialog.h"
#include "res/resource.h"

namespace {

void SetRequest(uint8_t command, uint8_t sub) {
    TxFrame[FRAME_CMD] = command;
    TxFrame[FRAME_SUB] = sub;
}

}  // namespace

void COmbrix_TessalyDlg::ReadDeviceList(const DeviceListPanel& panel) {
    m_ui.SetProgress(panel.progressBar, 0);
    if (m_ui.RowCount(panel.list) > 0) {
        m_ui.Tell(panel.readNotEmptyText);
        return;
    }
    uint32_t count = 0;  // up to 65535 items: the loop must not wrap
    if (!ReadItemCount(panel.command, panel.noneOnDeviceText, count)) return;
    for (uint32_t item = 1; item <= count; ++item) {
        int row = 0;
        if (!ReadItemAsNewRow(panel.list, item, row)) return;
        panel.fillRow(m_ui, panel.list, row, m_reply);
        if (panel.mirrorEditsWhileReading) ShowEdits();
        m_ui.ScrollList(panel.list, panel.scrollDy);
        m_ui.SetProgress(panel.progressBar, ProgressAfter(item, count));
    }
    if (panel.mirrorEditsWhileReading) CollectEdits();
    m_ui.Tell(panel.readDoneText);
}

void COmbrix_TessalyDlg::WriteDeviceList(const DeviceListPanel& panel) {
    m_ui.SetProgress(panel.progressBar, 0);
    if (!m_ui.Ask(panel.writeAskText)) return;
    SetRequestEnvelope(TxFrame);
    if (m_ui.RowCount(IDC_LIST_RECORD) > 0) {
        m_ui.Tell(panel.recordsInListText);
        return;
    }
    SetRequest(CMD_RECORDS, SUB_COUNT);
    if (!ExchangeOrReport(IDS_DELAY_OMBRIX)) return;
    if (ReplyStatus() == RX_STATUS_COUNT && ReplyCount() != 0) {
        m_ui.Tell(panel.recordsOnDeviceText);
        return;
    }
    SetRequest(panel.command, SUB_DELETE_ALL);
    if (!ExchangeOrReport(IDS_DELAY)) return;
    if (ReplyStatus() == RX_STATUS_DELETE && ReplyCount() == 0) {
        m_ui.Tell(panel.recordsInListText);
        return;
    }
    SetRequest(panel.command, SUB_COUNT);
    if (!ExchangeOrReport(IDS_DELAY)) return;
    if (ReplyStatus() == RX_STATUS_COUNT && ReplyCount() != 0) {
        m_ui.Tell(panel.notDeletedText);
        return;
    }
    SetRequest(panel.command, SUB_APPEND);
    PutWord(TxFrame, FRAME_ITEM, 0);
    PutWord(TxFrame, FRAME_STATUS, 0);
    const int rows = m_ui.RowCount(panel.list);
    for (int row = 0; row < rows; ++row) {
        panel.putRow(m_ui, panel.list, row, TxFrame);
        if (!ExchangeOrReport(IDS_DELAY)) return;
        if (ReplyStatus() == RX_STATUS_FULL) {
            m_ui.Tell(panel.fullText);
            return;
        }
        m_ui.SetProgress(panel.progressBar, ProgressAfter(row + 1, rows));
    }
    m_ui.Tell(panel.writeDoneText);
}
