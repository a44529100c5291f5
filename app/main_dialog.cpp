#include "app/main_dialog.h"

#include "res/resource.h"

COmbrix_TessalyDlg::COmbrix_TessalyDlg(DialogControls& controls, PortSettingsStore& settings)
    : m_ui(controls), m_settings(settings) {}

void COmbrix_TessalyDlg::InitMainDialog() {
    ShowEdits();
    LoadPortSetting();
}

void COmbrix_TessalyDlg::OnClose() {
    if (m_bConnected) m_port.ClosePort();
    m_bConnected = false;
}

void COmbrix_TessalyDlg::CollectEdits() {
    m_bIgnoreNotifications = true;
    m_strUserId1 = m_ui.EditText(IDC_EDIT_USER_ID1);
    m_strUserId2 = m_ui.EditText(IDC_EDIT_USER_ID2);
    m_strUserName = m_ui.EditText(IDC_EDIT_USER_NAME);
    m_strSafeIndex = m_ui.EditText(IDC_EDIT_SAFE_INDEX);
    m_strDangerIndex = m_ui.EditText(IDC_EDIT_DANGER_INDEX);
    m_strStandardName = m_ui.EditText(IDC_EDIT_STANDARD_NAME);
    m_bIgnoreNotifications = false;
}

void COmbrix_TessalyDlg::ShowEdits() {
    m_bIgnoreNotifications = true;
    m_ui.SetEditText(IDC_EDIT_USER_ID1, m_strUserId1);
    m_ui.SetEditText(IDC_EDIT_USER_ID2, m_strUserId2);
    m_ui.SetEditText(IDC_EDIT_USER_NAME, m_strUserName);
    m_ui.SetEditText(IDC_EDIT_SAFE_INDEX, m_strSafeIndex);
    m_ui.SetEditText(IDC_EDIT_DANGER_INDEX, m_strDangerIndex);
    m_ui.SetEditText(IDC_EDIT_STANDARD_NAME, m_strStandardName);
    m_bIgnoreNotifications = false;
}

void COmbrix_TessalyDlg::OnCommand(int control, int notification) {
    constexpr int kClicked = 0;  // BN_CLICKED
    if (m_bIgnoreNotifications) return;
    if (notification != kClicked) return;
    switch (control) {
        case IDC_BTN_CONNECT:
            OnConnect();
            break;
        default:
            break;
    }
}
