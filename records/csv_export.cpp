// Saving the record list as a comma-separated file.
#include <string>

#include "app/main_dialog.h"
#include "records/csv_writer.h"
#include "records/measurement_record.h"
#include "res/resource.h"

void COmbrix_TessalyDlg::OnSaveCsv() {
    if (m_ui.RowCount(IDC_LIST_RECORD) == 0) {
        m_ui.Tell(IDS_CSV_NO_RECORDS);
        return;
    }
    std::string path;
    if (!m_ui.AskSavePath(CSV_FILE_NAME, path)) return;
    m_ui.SetProgress(IDC_PROGRESS_RECORD, 0);
    const ListCsvLayout layout{IDC_LIST_RECORD, CSV_HEADER, MeasurementRecord::COL_NUMBER,
                               MeasurementRecord::COLUMNS, IDC_PROGRESS_RECORD};
    const FileError error = SaveListCsv(m_ui, *m_makeFile(), path, layout);
    if (error != FileError::None) m_ui.TellError(FileErrorTextId(error), path);
}
