// Every read of the record list is kept in the archive when it ends, and the device's log is
// not cleared unseen while records on it have not been kept.
#include "app/main_dialog.h"
#include "app/number_text.h"
#include "archive/archive_cause_text.h"
#include "archive/archive_file.h"
#include "records/measurement_record.h"
#include "records/record_cells.h"
#include "res/resource.h"

namespace {

// The rows of the record list, as the list shows them, each with its device numbers. A row
// that the archive cannot take (a clock the device got wrong) is left out and counted.
class RecordListFeed : public MeasurementFeed {
public:
    using Numbers = std::vector<COmbrix_TessalyDlg::RecordNumbers>;

    RecordListFeed(DialogControls& ui, const Numbers& numbers) : m_ui(ui), m_numbers(numbers) {}

    Step Next(Measurement& row) override {
        while (m_row < m_numbers.size()) {
            const size_t at = m_row++;
            for (int cell = 0; cell < RECORD_CELLS; ++cell)
                m_cells[static_cast<size_t>(cell)] = m_ui.Cell(
                    IDC_LIST_RECORD, static_cast<int>(at), MeasurementRecord::COL_NUMBER + cell);
            row = Measurement{};
            if (m_reader.Read(m_cells, row) >= 0) {
                ++m_leftOut;
                continue;
            }
            row.userNo = m_numbers[at].user;
            row.standardNo = m_numbers[at].standard;
            return Row;
        }
        return End;
    }

    size_t LeftOut() const { return m_leftOut; }

private:
    DialogControls& m_ui;
    const Numbers& m_numbers;
    RecordCellReader m_reader{CellEncoding::Korean};
    RecordCells m_cells;
    size_t m_row = 0;
    size_t m_leftOut = 0;
};

}  // namespace

void COmbrix_TessalyDlg::ArchiveRecordsRead(const std::vector<RecordNumbers>& numbers,
                                            bool complete) {
    if (!m_archive || numbers.empty()) return;
    RecordListFeed feed(m_ui, numbers);
    BatchCount count;
    const ArchiveStatus status = m_archive->Keep(m_strPortName, feed, count);
    if (!status) {
        m_ui.TellError(ArchiveCauseTextId(status.cause), m_archive->Path());
        return;
    }
    if (complete && feed.LeftOut() == 0) m_nArchivedReadCount = static_cast<long>(numbers.size());
}

bool COmbrix_TessalyDlg::MayClearRecords(int count) {
    if (count < 1 || count == m_nArchivedReadCount) {
        // What is deleted now was kept; what the device counts after this is not.
        m_nArchivedReadCount = -1;
        return true;
    }
    if (!m_ui.AskNoByDefault(IDS_RECORD_CLEAR_NOT_ARCHIVED, DecimalText(count))) return false;
    m_nArchivedReadCount = -1;
    return true;
}

void COmbrix_TessalyDlg::SetPortName(const std::string& name) {
    m_strPortName = name;
    m_nArchivedReadCount = -1;
}
