// One exchange with the device for every panel's conversations, the reply's fields they read,
// and the two steps of every read: the count, then each item as a new row.
#include "app/list_editing.h"
#include "app/main_dialog.h"
#include "app/number_text.h"
#include "link/exchange.h"
#include "res/resource.h"

bool COmbrix_TessalyDlg::Exchange() { return ExchangeFrame(m_port, m_reply); }

bool COmbrix_TessalyDlg::ExchangeOrReport(int delayTextId) {
    if (Exchange()) return true;
    m_ui.Tell(delayTextId);
    return false;
}

uint16_t COmbrix_TessalyDlg::ReplyStatus() const { return GetWord(m_reply, FRAME_STATUS); }

uint16_t COmbrix_TessalyDlg::ReplyCount() const { return GetWord(m_reply, FRAME_ITEM); }

bool COmbrix_TessalyDlg::CountItems(uint8_t command) {
    SetRequestEnvelope(TxFrame);
    TxFrame[FRAME_CMD] = command;
    TxFrame[FRAME_SUB] = SUB_COUNT;
    return ExchangeOrReport(IDS_DELAY);
}

bool COmbrix_TessalyDlg::ReadItemCount(uint8_t command, int noneText, uint32_t& count,
                                       bool& replied) {
    count = 0;
    replied = CountItems(command);
    if (!replied) return false;
    count = ReplyStatus() == RX_STATUS_COUNT ? ReplyCount() : 0;
    if (ReplyStatus() == RX_STATUS_COUNT && count == 0) {
        m_ui.Tell(noneText);
        return false;
    }
    return true;
}

bool COmbrix_TessalyDlg::ReadItem(uint32_t item) {
    TxFrame[FRAME_SUB] = SUB_READ_ITEM;
    PutWord(TxFrame, FRAME_ITEM, static_cast<uint16_t>(item));
    return ExchangeOrReport(IDS_DELAY);
}

bool COmbrix_TessalyDlg::ReadItemAsNewRow(int list, uint32_t item, int& row) {
    if (!ReadItem(item)) return false;
    row = m_ui.RowCount(list);
    m_ui.InsertRow(list, row);
    m_ui.SetCell(list, row, COL_NUMBER, DecimalText(row + 1));
    return true;
}
