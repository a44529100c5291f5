// The standard list to and from a file.
#include "app/list_file.h"
#include "app/main_dialog.h"
#include "res/resource.h"
#include "standards/standard_record.h"

namespace {

const ListFilePanel kStandardFile = {
    IDC_LIST_STANDARD,
    "Ombrix_standards",
    {STANDARD_FILE_HEADER, {CellRule::Name, CellRule::Index16, CellRule::Index16}, MAX_STANDARDS},
    IDS_STANDARD_LIMIT,
    STANDARD_SCROLL_DY,
};

}  // namespace

void COmbrix_TessalyDlg::OnExportStandards() { ExportList(kStandardFile); }

void COmbrix_TessalyDlg::OnImportStandards() { ImportList(kStandardFile); }
