// Reading the device's measurement log into IDC_LIST_RECORD, newest record first, each
// resolved against the user and standard lists and judged against its standard.
#include <string>
#include <vector>

#include "app/list_editing.h"
#include "app/main_dialog.h"
#include "app/number_text.h"
#include "records/measurement_record.h"
#include "records/record_texts.h"
#include "res/resource.h"
#include "roster/user_record.h"
#include "standards/standard_record.h"

namespace {

// The three cells of a user row (name, ID1, ID2) or a standard row (name, safety and danger
// index) that a record shows. They are taken once before the records are read: the lists do
// not change while the read runs, and a look-up in a list view costs more than the row.
struct ReferencedRow {
    std::string name, first, second;
};

std::vector<ReferencedRow> TakeRows(DialogControls& ui, int list, int name, int first, int second) {
    std::vector<ReferencedRow> rows(static_cast<size_t>(ui.RowCount(list)));
    for (size_t row = 0; row < rows.size(); ++row) {
        const int at = static_cast<int>(row);
        rows[row] = {ui.Cell(list, at, name), ui.Cell(list, at, first), ui.Cell(list, at, second)};
    }
    return rows;
}

// Row `number - 1`; a record's number 0 means none, and a number without a row gives empty cells.
const ReferencedRow& Referenced(const std::vector<ReferencedRow>& rows, int number) {
    static const ReferencedRow kNone;
    return number >= 1 && static_cast<size_t>(number) <= rows.size() ? rows[number - 1] : kNone;
}

void FillRecordRow(DialogControls& ui, int row, const Frame& reply,
                   const std::vector<ReferencedRow>& users,
                   const std::vector<ReferencedRow>& standards) {
    using R = MeasurementRecord;
    const int list = IDC_LIST_RECORD;
    ui.SetCell(list, row, R::COL_TIME, RecordTimeText(reply + R::FRAME_TIME));

    const ReferencedRow& user = Referenced(users, reply[R::FRAME_USER]);
    ui.SetCell(list, row, R::COL_USER_NAME, user.name);
    ui.SetCell(list, row, R::COL_USER_ID1, user.first);
    ui.SetCell(list, row, R::COL_USER_ID2, user.second);

    const int number = reply[R::FRAME_STANDARD];
    const ReferencedRow& standard = Referenced(standards, number);
    ui.SetCell(list, row, R::COL_STANDARD_NAME, standard.name);
    ui.SetCell(list, row, R::COL_SAFE, standard.first);
    ui.SetCell(list, row, R::COL_DANGER, standard.second);

    const uint16_t value = GetWord(reply, R::FRAME_VALUE);
    ui.SetCell(list, row, R::COL_VALUE, DecimalText(value));
    // A standard number that no row of the list holds is judged as no standard at all, not
    // against indices that would read as 0.
    const bool judged = number >= 1 && static_cast<size_t>(number) <= standards.size();
    ui.SetCell(list, row, R::COL_VERDICT,
               judged ? RecordVerdictText(value, standard.first, standard.second) : VERDICT_NONE);
}

}  // namespace

void COmbrix_TessalyDlg::OnReadRecords() {
    OnReadUsers();
    OnReadStandards();
    m_ui.SetProgress(IDC_PROGRESS_RECORD, 0);
    if (m_ui.RowCount(IDC_LIST_RECORD) > 0) {
        m_ui.Tell(IDS_RECORD_READ_NOT_EMPTY);
        return;
    }
    uint32_t count = 0;
    if (!ReadItemCount(CMD_RECORDS, IDS_RECORD_NONE, count)) return;
    const std::vector<ReferencedRow> users = TakeRows(m_ui, IDC_LIST_USER, UserRecord::COL_NAME,
                                                      UserRecord::COL_ID1, UserRecord::COL_ID2);
    const std::vector<ReferencedRow> standards =
        TakeRows(m_ui, IDC_LIST_STANDARD, StandardRecord::COL_NAME, StandardRecord::COL_SAFE,
                 StandardRecord::COL_DANGER);
    static_assert(MeasurementRecord::COL_NUMBER == COL_NUMBER, "numbered as the other lists");
    std::vector<RecordNumbers> numbers;
    numbers.reserve(count);
    for (uint32_t item = count; item >= 1; --item) {
        int row = 0;
        if (!ReadItemAsNewRow(IDC_LIST_RECORD, item, row)) {
            ArchiveRecordsRead(numbers, false);
            return;
        }
        numbers.push_back(
            {m_reply[MeasurementRecord::FRAME_USER], m_reply[MeasurementRecord::FRAME_STANDARD]});
        FillRecordRow(m_ui, row, m_reply, users, standards);
        m_ui.EnableControl(IDC_BTN_RECORD_CSV, m_ui.RowCount(IDC_LIST_RECORD) > 0);
        ShowEdits();
        m_ui.SetProgress(IDC_PROGRESS_RECORD, ProgressAfter(count - item + 1, count));
    }
    CollectEdits();
    m_ui.Tell(IDS_RECORD_READ_DONE);
    ArchiveRecordsRead(numbers, true);
}

void COmbrix_TessalyDlg::OnRecordItemChanged(long& result) { result = 0; }
