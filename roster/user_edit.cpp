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
    AddRowOfEdits({IDC_LIST_USER, MAX_USERS, IDS_USER_LIMIT, USER_SCROLL_DY}, m_strUserName,
                  m_strUserId1, m_strUserId2);
}

void COmbrix_TessalyDlg::OnSelectAllUsers() { ToggleAllRows(m_ui, IDC_LIST_USER); }

void COmbrix_TessalyDlg::OnDeleteUsers() { DeleteTickedRows(m_ui, IDC_LIST_USER); }
