#include "app/device_list.h"

#include <utility>

#include "app/main_dialog.h"
#include "res/resource.h"

namespace {

void SetRequest(uint8_t command, uint8_t sub) {
    TxFrame[FRAME_CMD] = command;
    TxFrame[FRAME_SUB] = sub;
}

}  // namespace

void COmbrix_TessalyDlg::ReadDeviceList(const DeviceListPanel& panel) {
    m_listRead = DeviceListRead{DeviceListRead::Failed, &panel, {}};
    m_ui.SetProgress(panel.progressBar, 0);
    if (m_ui.RowCount(panel.list) > 0) {
        m_ui.Tell(panel.readNotEmptyText);
        m_listRead.outcome = DeviceListRead::Refused;
        return;
    }
    uint32_t count = 0;  // up to 65535 items: the loop must not wrap
    bool replied = false;
    if (!ReadItemCount(panel.command, panel.noneOnDeviceText, count, replied)) {
        if (replied) m_listRead.outcome = DeviceListRead::Read;  // the device holds none
        return;
    }
    for (uint32_t item = 1; item <= count; ++item) {
        int row = 0;
        if (!ReadItemAsNewRow(panel.list, item, row)) return;
        const ListRowCells cells = panel.cellsOf(m_reply);
        m_ui.SetCell(panel.list, row, COL_ROW_NAME, cells.name);
        m_ui.SetCell(panel.list, row, COL_ROW_FIRST, cells.first);
        m_ui.SetCell(panel.list, row, COL_ROW_SECOND, cells.second);
        m_listRead.rows.push_back(cells);
        if (panel.mirrorEditsWhileReading) ShowEdits();
        m_ui.ScrollList(panel.list, panel.scrollDy);
        m_ui.SetProgress(panel.progressBar, ProgressAfter(item, count));
    }
    m_listRead.outcome = DeviceListRead::Read;
    if (panel.mirrorEditsWhileReading) CollectEdits();
    m_ui.Tell(panel.readDoneText);
}

bool COmbrix_TessalyDlg::ReadDeviceRowsQuietly(const DeviceListPanel& panel, DeviceRows& rows) {
    rows.clear();
    if (!CountItems(panel.command)) return false;
    const uint32_t count = ReplyStatus() == RX_STATUS_COUNT ? ReplyCount() : 0;
    for (uint32_t item = 1; item <= count; ++item) {
        if (!ReadItem(item)) return false;
        rows.push_back(panel.cellsOf(m_reply));
    }
    return true;
}

bool COmbrix_TessalyDlg::DeviceRowsOfLastListRead(DeviceRows& rows) {
    if (m_listRead.outcome == DeviceListRead::Read) {
        rows = std::move(m_listRead.rows);
        return true;
    }
    return m_listRead.panel && ReadDeviceRowsQuietly(*m_listRead.panel, rows);
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
