// Editing the standard list on the PC. Unlike the user fields, the index fields refuse a
// leading zero before their length is checked.
#include "app/list_editing.h"
#include "app/main_dialog.h"
#include "res/resource.h"
#include "standards/standard_record.h"

void COmbrix_TessalyDlg::CheckIndexText(std::string& text, int tooLongMessageId) {
    CollectEdits();
    if (text.size() >= 2 && text[0] == '0') {
        m_ui.Tell(IDS_LEADING_ZERO);
        text.clear();
        ShowEdits();
    }
    LimitEditText(text, STANDARD_INDEX_DIGITS, tooLongMessageId);
}

void COmbrix_TessalyDlg::OnChangeSafeIndex() { CheckIndexText(m_strSafeIndex, IDS_SAFE_TOO_LONG); }

void COmbrix_TessalyDlg::OnChangeDangerIndex() {
    CheckIndexText(m_strDangerIndex, IDS_DANGER_TOO_LONG);
}

void COmbrix_TessalyDlg::OnChangeStandardName() {
    CollectEdits();
    LimitEditText(m_strStandardName, STANDARD_NAME_BYTES, IDS_STANDARD_NAME_TOO_LONG);
}

void COmbrix_TessalyDlg::OnAddStandard() {
    CollectEdits();
    AddRowOfEdits({IDC_LIST_STANDARD, MAX_STANDARDS, IDS_STANDARD_LIMIT, STANDARD_SCROLL_DY},
                  m_strStandardName, m_strSafeIndex, m_strDangerIndex);
}

void COmbrix_TessalyDlg::OnSelectAllStandards() { ToggleAllRows(m_ui, IDC_LIST_STANDARD); }

void COmbrix_TessalyDlg::OnDeleteStandards() { DeleteTickedRows(m_ui, IDC_LIST_STANDARD); }
