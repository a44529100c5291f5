// Reading the device's measurement log into IDC_LIST_RECORD, newest record first, each
// resolved against the user and standard lists and judged against its standard; and, for the
// archive, each resolved against the device's own users and standards.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/device_list.h"
#include "app/list_editing.h"
#include "app/main_dialog.h"
#include "app/number_text.h"
#include "records/measurement_record.h"
#include "records/record_cells.h"
#include "records/record_texts.h"
#include "res/resource.h"
#include "roster/user_record.h"
#include "standards/standard_record.h"

namespace {

// The three cells of each row of a user or standard list. They are taken once before the
// records are read: the lists do not change while the read runs, and a look-up in a list view
// costs more than the row.
DeviceRows TakeRows(DialogControls& ui, int list) {
    DeviceRows rows(static_cast<size_t>(ui.RowCount(list)));
    for (size_t row = 0; row < rows.size(); ++row) {
        const int at = static_cast<int>(row);
        rows[row] = {ui.Cell(list, at, COL_ROW_NAME), ui.Cell(list, at, COL_ROW_FIRST),
                     ui.Cell(list, at, COL_ROW_SECOND)};
    }
    return rows;
}

// Row `number - 1`; a record's number 0 means none, and a number without a row gives empty cells.
const ListRowCells& Referenced(const DeviceRows& rows, int number) {
    static const ListRowCells kNone;
    return number >= 1 && static_cast<size_t>(number) <= rows.size() ? rows[number - 1] : kNone;
}

// The ten cells of the record in `reply`, "No." `number`, resolved against these rows.
RecordCells CellsOfRecord(const Frame& reply, int number, const DeviceRows& users,
                          const DeviceRows& standards) {
    using R = MeasurementRecord;
    constexpr int first = R::COL_NUMBER;
    RecordCells cells;
    cells[R::COL_NUMBER - first] = DecimalText(number);
    cells[R::COL_TIME - first] = RecordTimeText(reply + R::FRAME_TIME);
    const ListRowCells& user = Referenced(users, reply[R::FRAME_USER]);
    cells[R::COL_USER_NAME - first] = user.name;
    cells[R::COL_USER_ID1 - first] = user.first;
    cells[R::COL_USER_ID2 - first] = user.second;
    const int standardNo = reply[R::FRAME_STANDARD];
    const ListRowCells& standard = Referenced(standards, standardNo);
    cells[R::COL_STANDARD_NAME - first] = standard.name;
    cells[R::COL_SAFE - first] = standard.first;
    cells[R::COL_DANGER - first] = standard.second;
    const uint16_t value = GetWord(reply, R::FRAME_VALUE);
    cells[R::COL_VALUE - first] = DecimalText(value);
    // A standard number that no row of the list holds is judged as no standard at all, not
    // against indices that would read as 0.
    const bool judged = standardNo >= 1 && static_cast<size_t>(standardNo) <= standards.size();
    cells[R::COL_VERDICT - first] =
        judged ? RecordVerdictText(value, standard.first, standard.second) : VERDICT_NONE;
    return cells;
}

void ShowRecordCells(DialogControls& ui, int row, const RecordCells& cells) {
    using R = MeasurementRecord;
    for (int column = R::COL_TIME; column < R::COLUMNS; ++column)
        ui.SetCell(IDC_LIST_RECORD, row, column,
                   cells[static_cast<size_t>(column - R::COL_NUMBER)]);
}

// The measurements of one read as the archive keeps them: each from its reply and the device's
// own users and standards. A record the archive cannot take (a clock the device got wrong) is
// left out and counted.
class MeasurementsOfRead {
public:
    MeasurementsOfRead(DeviceRows users, DeviceRows standards, const DeviceRows& shownUsers,
                       const DeviceRows& shownStandards)
        : m_users(std::move(users)),
          m_standards(std::move(standards)),
          m_sameAsShown(m_users == shownUsers && m_standards == shownStandards) {}

    // `shown`: the record's cells as the list shows them, the same when the lists are.
    void Add(const Frame& reply, const RecordCells& shown) {
        Measurement row;
        RecordCells own;
        const RecordCells& cells =
            m_sameAsShown ? shown : (own = CellsOfRecord(reply, 1, m_users, m_standards));
        if (m_reader.Read(cells, row) >= 0) {
            ++m_leftOut;
            return;
        }
        row.userNo = reply[MeasurementRecord::FRAME_USER];
        row.standardNo = reply[MeasurementRecord::FRAME_STANDARD];
        m_rows.push_back(std::move(row));
    }

    const std::vector<Measurement>& Rows() const { return m_rows; }
    size_t LeftOut() const { return m_leftOut; }

private:
    DeviceRows m_users, m_standards;
    bool m_sameAsShown;
    RecordCellReader m_reader{CellEncoding::Korean};
    std::vector<Measurement> m_rows;
    size_t m_leftOut = 0;
};

}  // namespace

void COmbrix_TessalyDlg::OnReadRecords() {
    ForgetArchivedLog();
    // The archive takes the device's own lists, read anew when the panel's read was refused.
    DeviceRows users, standards;
    OnReadUsers();
    if (m_archive && !DeviceRowsOfLastListRead(users)) return;
    OnReadStandards();
    if (m_archive && !DeviceRowsOfLastListRead(standards)) return;
    m_ui.SetProgress(IDC_PROGRESS_RECORD, 0);
    if (m_ui.RowCount(IDC_LIST_RECORD) > 0) {
        m_ui.Tell(IDS_RECORD_READ_NOT_EMPTY);
        return;
    }
    uint32_t count = 0;
    bool replied = false;
    if (!ReadItemCount(CMD_RECORDS, IDS_RECORD_NONE, count, replied)) return;
    static_assert(UserRecord::COL_NAME == COL_ROW_NAME && UserRecord::COL_ID2 == COL_ROW_SECOND &&
                      StandardRecord::COL_NAME == COL_ROW_NAME &&
                      StandardRecord::COL_DANGER == COL_ROW_SECOND,
                  "the record's cells come from these columns");
    static_assert(MeasurementRecord::COL_NUMBER == COL_NUMBER, "numbered as the other lists");
    const DeviceRows shownUsers = TakeRows(m_ui, IDC_LIST_USER);
    const DeviceRows shownStandards = TakeRows(m_ui, IDC_LIST_STANDARD);
    MeasurementsOfRead read(std::move(users), std::move(standards), shownUsers, shownStandards);
    static_assert(MeasurementRecord::FRAME_TIME + 6 ==
                      MeasurementRecord::FRAME_USER + static_cast<int>(ArchivedLog::FIELDS),
                  "the record fields the clear compares");
    uint8_t newest[ArchivedLog::FIELDS] = {};
    for (uint32_t item = count; item >= 1; --item) {
        int row = 0;
        if (!ReadItemAsNewRow(IDC_LIST_RECORD, item, row)) {
            ArchiveRecordsRead(read.Rows(), read.LeftOut(), false, newest);
            return;
        }
        if (item == count)
            std::copy_n(m_reply + MeasurementRecord::FRAME_USER, sizeof newest, newest);
        const RecordCells cells = CellsOfRecord(m_reply, row + 1, shownUsers, shownStandards);
        ShowRecordCells(m_ui, row, cells);
        if (m_archive) read.Add(m_reply, cells);
        m_ui.EnableControl(IDC_BTN_RECORD_CSV, m_ui.RowCount(IDC_LIST_RECORD) > 0);
        ShowEdits();
        m_ui.SetProgress(IDC_PROGRESS_RECORD, ProgressAfter(count - item + 1, count));
    }
    CollectEdits();
    m_ui.Tell(IDS_RECORD_READ_DONE);
    ArchiveRecordsRead(read.Rows(), read.LeftOut(), true, newest);
}

void COmbrix_TessalyDlg::OnRecordItemChanged(long& result) { result = 0; }
