// Saving the record list as a comma-separated file.
#include <string>

#include "app/main_dialog.h"
#include "records/csv_writer.h"
#include "records/measurement_record.h"
#include "res/resource.h"

int FileErrorTextId(FileError error) {
    switch (error) {
        case FileError::NotFound:
            return IDS_FILE_NOT_FOUND;
        case FileError::BadPath:
            return IDS_FILE_BAD_PATH;
        case FileError::TooManyOpen:
            return IDS_FILE_TOO_MANY_OPEN;
        case FileError::AccessDenied:
            return IDS_FILE_ACCESS_DENIED;
        case FileError::InvalidHandle:
            return IDS_FILE_INVALID_HANDLE;
        case FileError::DirectoryFull:
            return IDS_FILE_DIRECTORY_FULL;
        case FileError::Hardware:
            return IDS_FILE_HARDWARE;
        case FileError::Sharing:
            return IDS_FILE_SHARING;
        case FileError::Lock:
            return IDS_FILE_LOCK;
        case FileError::DiskFull:
            return IDS_FILE_DISK_FULL;
        default:
            return IDS_FILE_UNKNOWN;
    }
}

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
