// One exchange with the device for every panel's conversations, and the reply's fields they read.
#include "app/main_dialog.h"
#include "link/exchange.h"

bool COmbrix_TessalyDlg::Exchange() { return ExchangeFrame(m_port, m_reply); }

bool COmbrix_TessalyDlg::ExchangeOrReport(int delayTextId) {
    if (Exchange()) return true;
    m_ui.Tell(delayTextId);
    return false;
}

uint16_t COmbrix_TessalyDlg::ReplyStatus() const { return GetWord(m_reply, FRAME_STATUS); }

uint16_t COmbrix_TessalyDlg::ReplyCount() const { return GetWord(m_reply, FRAME_ITEM); }
