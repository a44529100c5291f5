// Editing the user list on the PC: the three fields' limits, add, select all, delete.
#include "app/list_editing.h"
#include "app/main_dialog.h"
#include "res/resource.h"
#include "roster/user_record.h"

void COmbrix_TessalyDlg::OnChangeUserId1() {
    CollectEdits();
    LimitEditText(m_strUserId1, USER_ID1_BYTES, IDS_USER_ID1_TOO_LONG);
}

void COmbrix_TessalyDlg::OnChangeUserId2() {
    CollectEdits();
    LimitEditText(m_strUserId2, USER_ID2_BYTES, IDS_USER_ID2_TOO_LONG);
}

void COmbrix_TessalyDlg::OnChangeUserName() {
    CollectEdits();
    LimitEditText(m_strUserName, USER_NAME_BYTES, IDS_USER_NAME_TOO_LONG);
}

void COmbrix_TessalyDlg::OnAddUser() {
    CollectEdits();
    if (m_ui.RowCount(IDC_LIST_USER) >= MAX_USERS) {
        m_ui.Tell(IDS_USER_LIMIT);
        return;
    }
    if (m_strUserName.empty() || m_strUserId1.empty() || m_strUserId2.empty()) {
        m_ui.Tell(IDS_FIELDS_EMPTY);
        return;
    }
    AppendRow(m_ui, IDC_LIST_USER, m_strUserName, m_strUserId1, m_strUserId2);
    m_ui.ScrollList(IDC_LIST_USER, USER_SCROLL_DY);
    ShowEdits();
}

void COmbrix_TessalyDlg::OnSelectAllUsers() { ToggleAllRows(m_ui, IDC_LIST_USER); }

void COmbrix_TessalyDlg::OnDeleteUsers() { DeleteTickedRows(m_ui, IDC_LIST_USER); }
