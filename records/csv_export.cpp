// Saving the record list as a comma-separated file.
#include <string>

#include "app/main_dialog.h"
#include "records/measurement_record.h"
#include "records/record_csv.h"
#include "res/resource.h"

void COmbrix_TessalyDlg::OnSaveCsv() {
    const ListCsvLayout layout{IDC_LIST_RECORD, CSV_HEADER, MeasurementRecord::COL_NUMBER,
                               MeasurementRecord::COLUMNS, IDC_PROGRESS_RECORD};
    SaveListAs(layout, IDS_CSV_NO_RECORDS, CSV_FILE_NAME);
}
