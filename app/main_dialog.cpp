#include "app/main_dialog.h"

#include "res/resource.h"
#include "text/korean_text.h"

COmbrix_TessalyDlg::COmbrix_TessalyDlg(DialogControls& controls, PortSettingsStore& settings)
    : m_ui(controls), m_settings(settings) {}

void COmbrix_TessalyDlg::InitMainDialog() {
    ShowEdits();
    LoadPortSetting();
}

void COmbrix_TessalyDlg::OnClose() {
    if (m_bConnected) m_port.ClosePort();
    m_bConnected = false;
    SetPortName("");
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

// The change checks of the fields: a text over its limit is reported while it still stands in
// the field, then cut to the whole characters that fit.
void COmbrix_TessalyDlg::LimitEditText(std::string& text, size_t maxBytes, int messageId) {
    if (text.size() <= maxBytes) return;
    m_ui.Tell(messageId);
    text = CutToWholeChars(text, maxBytes);
    ShowEdits();
}

namespace {

constexpr ControlEvent kClicked = ControlEvent::Clicked;
constexpr ControlEvent kChanged = ControlEvent::TextChanged;
constexpr ControlEvent kMenu = ControlEvent::Clicked;

struct Handler {
    int control;
    ControlEvent event;
    void (COmbrix_TessalyDlg::*operation)();
};

const Handler kHandlers[] = {
    {IDC_BTN_CONNECT, kClicked, &COmbrix_TessalyDlg::OnConnect},
    {IDC_EDIT_USER_ID1, kChanged, &COmbrix_TessalyDlg::OnChangeUserId1},
    {IDC_EDIT_USER_ID2, kChanged, &COmbrix_TessalyDlg::OnChangeUserId2},
    {IDC_EDIT_USER_NAME, kChanged, &COmbrix_TessalyDlg::OnChangeUserName},
    {IDC_BTN_USER_ADD, kClicked, &COmbrix_TessalyDlg::OnAddUser},
    {IDC_BTN_USER_SELECT_ALL, kClicked, &COmbrix_TessalyDlg::OnSelectAllUsers},
    {IDC_BTN_USER_DELETE, kClicked, &COmbrix_TessalyDlg::OnDeleteUsers},
    {IDC_BTN_USER_READ, kClicked, &COmbrix_TessalyDlg::OnReadUsers},
    {IDC_BTN_USER_WRITE, kClicked, &COmbrix_TessalyDlg::OnWriteUsers},
    {IDM_USER_EXPORT, kMenu, &COmbrix_TessalyDlg::OnExportUsers},
    {IDM_USER_IMPORT, kMenu, &COmbrix_TessalyDlg::OnImportUsers},
    {IDC_EDIT_SAFE_INDEX, kChanged, &COmbrix_TessalyDlg::OnChangeSafeIndex},
    {IDC_EDIT_DANGER_INDEX, kChanged, &COmbrix_TessalyDlg::OnChangeDangerIndex},
    {IDC_EDIT_STANDARD_NAME, kChanged, &COmbrix_TessalyDlg::OnChangeStandardName},
    {IDC_BTN_STANDARD_ADD, kClicked, &COmbrix_TessalyDlg::OnAddStandard},
    {IDC_BTN_STANDARD_SELECT_ALL, kClicked, &COmbrix_TessalyDlg::OnSelectAllStandards},
    {IDC_BTN_STANDARD_DELETE, kClicked, &COmbrix_TessalyDlg::OnDeleteStandards},
    {IDC_BTN_STANDARD_READ, kClicked, &COmbrix_TessalyDlg::OnReadStandards},
    {IDC_BTN_STANDARD_WRITE, kClicked, &COmbrix_TessalyDlg::OnWriteStandards},
    {IDM_STANDARD_EXPORT, kMenu, &COmbrix_TessalyDlg::OnExportStandards},
    {IDM_STANDARD_IMPORT, kMenu, &COmbrix_TessalyDlg::OnImportStandards},
    {IDC_BTN_RECORD_READ, kClicked, &COmbrix_TessalyDlg::OnReadRecords},
    {IDC_BTN_RECORD_CSV, kClicked, &COmbrix_TessalyDlg::OnSaveCsv},
    {IDC_BTN_RECORD_DELETE_ALL, kClicked, &COmbrix_TessalyDlg::OnDeleteAllRecords},
    {IDC_BTN_RECORD_CLEAR_DEVICE, kClicked, &COmbrix_TessalyDlg::OnClearDeviceRecords},
};

}  // namespace

void COmbrix_TessalyDlg::OnCommand(int control, ControlEvent event) {
    if (m_bIgnoreNotifications) return;
    for (const Handler& handler : kHandlers)
        if (handler.control == control && handler.event == event) (this->*handler.operation)();
}
