// The user list to and from a file.
#include "app/list_file.h"
#include "app/main_dialog.h"
#include "res/resource.h"
#include "roster/user_record.h"

namespace {

const ListFilePanel kUserFile = {
    IDC_LIST_USER,
    "Ombrix_users",
    {USER_FILE_HEADER, {CellRule::Name, CellRule::Int32, CellRule::Int32}, MAX_USERS},
    IDS_USER_LIMIT,
    USER_SCROLL_DY,
};

}  // namespace

void COmbrix_TessalyDlg::OnExportUsers() { ExportList(kUserFile); }

void COmbrix_TessalyDlg::OnImportUsers() { ImportList(kUserFile); }
