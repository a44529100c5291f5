// Reading the device's measurement log into IDC_LIST_RECORD, newest record first, each
// resolved against the user and standard lists and judged against its standard.
#include "app/main_dialog.h"
#include "app/number_text.h"
#include "records/measurement_record.h"
#include "records/record_texts.h"
#include "res/resource.h"
#include "roster/user_record.h"
#include "standards/standard_record.h"

void COmbrix_TessalyDlg::FillRecordRow(int row, const Frame& reply) {
    const int list = IDC_LIST_RECORD;
    m_ui.SetCell(list, row, MeasurementRecord::COL_TIME,
                 RecordTimeText(reply + MeasurementRecord::FRAME_TIME));

    const int user = reply[MeasurementRecord::FRAME_USER];
    const int userRow = user - 1;  // a missing row gives empty cells
    m_ui.SetCell(list, row, MeasurementRecord::COL_USER_NAME,
                 user ? m_ui.Cell(IDC_LIST_USER, userRow, UserRecord::COL_NAME) : "");
    m_ui.SetCell(list, row, MeasurementRecord::COL_USER_ID1,
                 user ? m_ui.Cell(IDC_LIST_USER, userRow, UserRecord::COL_ID1) : "");
    m_ui.SetCell(list, row, MeasurementRecord::COL_USER_ID2,
                 user ? m_ui.Cell(IDC_LIST_USER, userRow, UserRecord::COL_ID2) : "");

    const int standard = reply[MeasurementRecord::FRAME_STANDARD];
    const int standardRow = standard - 1;
    const std::string safe =
        standard ? m_ui.Cell(IDC_LIST_STANDARD, standardRow, StandardRecord::COL_SAFE) : "";
    const std::string danger =
        standard ? m_ui.Cell(IDC_LIST_STANDARD, standardRow, StandardRecord::COL_DANGER) : "";
    m_ui.SetCell(
        list, row, MeasurementRecord::COL_STANDARD_NAME,
        standard ? m_ui.Cell(IDC_LIST_STANDARD, standardRow, StandardRecord::COL_NAME) : "");
    m_ui.SetCell(list, row, MeasurementRecord::COL_SAFE, safe);
    m_ui.SetCell(list, row, MeasurementRecord::COL_DANGER, danger);

    const uint16_t value = GetWord(reply, MeasurementRecord::FRAME_VALUE);
    m_ui.SetCell(list, row, MeasurementRecord::COL_VALUE, DecimalText(value));
    // A standard number that no row of the list holds is judged as no standard at all, not
    // against indices that would read as 0.
    const bool judged = standard && standardRow < m_ui.RowCount(IDC_LIST_STANDARD);
    m_ui.SetCell(list, row, MeasurementRecord::COL_VERDICT,
                 judged ? Verdict(value, safe, danger) : VERDICT_NONE);
}

void COmbrix_TessalyDlg::OnReadRecords() {
    OnReadUsers();
    OnReadStandards();
    m_ui.SetProgress(IDC_PROGRESS_RECORD, 0);
    if (m_ui.RowCount(IDC_LIST_RECORD) > 0) {
        m_ui.Tell(IDS_RECORD_READ_NOT_EMPTY);
        return;
    }
    SetRequestEnvelope(TxFrame);
    TxFrame[FRAME_CMD] = CMD_RECORDS;
    TxFrame[FRAME_SUB] = SUB_COUNT;
    if (!ExchangeOrReport(IDS_DELAY)) return;
    uint32_t count = 0;
    if (ReplyStatus() == RX_STATUS_COUNT) {
        count = ReplyCount();
        if (count == 0) {
            m_ui.Tell(IDS_RECORD_NONE);
            return;
        }
    }
    TxFrame[FRAME_SUB] = SUB_READ_ITEM;
    uint32_t progressSum = 0;
    for (uint32_t item = count; item >= 1; --item) {
        PutWord(TxFrame, FRAME_ITEM, static_cast<uint16_t>(item));
        if (!ExchangeOrReport(IDS_DELAY)) return;
        const int row = m_ui.RowCount(IDC_LIST_RECORD);
        m_ui.InsertRow(IDC_LIST_RECORD, row);
        m_ui.SetCell(IDC_LIST_RECORD, row, MeasurementRecord::COL_NUMBER,
                     DecimalText(m_ui.RowCount(IDC_LIST_RECORD)));
        FillRecordRow(row, m_reply);
        m_ui.EnableControl(IDC_BTN_RECORD_CSV, m_ui.RowCount(IDC_LIST_RECORD) > 0);
        ShowEdits();
        progressSum += PROGRESS_MAX;
        m_ui.SetProgress(IDC_PROGRESS_RECORD, static_cast<int>(progressSum / count));
    }
    CollectEdits();
    m_ui.Tell(IDS_RECORD_READ_DONE);
}

void COmbrix_TessalyDlg::OnRecordItemChanged(long& result) { result = 0; }
