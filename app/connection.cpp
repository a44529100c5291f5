// The connect button and the remembered port.
#include "app/main_dialog.h"
#include "app/port_name.h"
#include "res/resource.h"

namespace {

const int kDeviceButtons[] = {IDC_BTN_USER_READ,           IDC_BTN_USER_WRITE,
                              IDC_BTN_STANDARD_READ,       IDC_BTN_STANDARD_WRITE,
                              IDC_BTN_RECORD_CLEAR_DEVICE, IDC_BTN_RECORD_READ};

}  // namespace

void COmbrix_TessalyDlg::SetDeviceButtons(bool enabled) {
    for (int button : kDeviceButtons) m_ui.EnableControl(button, enabled);
}

void COmbrix_TessalyDlg::OnConnect() {
    if (m_bConnected) {
        m_ui.EnableControl(IDC_COMBO_PORT, true);
        SetDeviceButtons(false);
        m_ui.SetControlText(IDC_STATIC_STATUS, IDS_STATUS_DISCONNECTED);
        m_ui.SetControlText(IDC_BTN_CONNECT, IDS_CAPTION_CONNECT);
        m_port.ClosePort();
        m_bConnected = false;
        SetPortName("");
        return;
    }
    // An entry stands for its port by its place; only a text typed into the field is read.
    const int index = m_ui.SelectedPort();
    m_nPortNo = index >= 0 ? index + 1 : PortNumberInField(m_ui.PortText());
    m_nBaudRate = DEFAULT_BAUD_RATE;
    if (!m_port.OpenPort(ComPortName(m_nPortNo), static_cast<uint32_t>(m_nBaudRate))) {
        m_ui.Tell(IDS_CONNECT_FAILED, std::to_string(m_nPortNo));
        return;
    }
    m_ui.EnableControl(IDC_COMBO_PORT, false);
    SetDeviceButtons(true);
    m_ui.SetControlText(IDC_BTN_CONNECT, IDS_CAPTION_DISCONNECT);
    m_ui.SetControlText(IDC_STATIC_STATUS, IDS_STATUS_CONNECTED);
    m_bConnected = true;
    SetPortName(ComPortName(m_nPortNo));
    SavePortSetting();
}

bool COmbrix_TessalyDlg::ConnectTo(const std::string& portName) {
    m_bConnected = m_port.OpenPort(portName, static_cast<uint32_t>(m_nBaudRate));
    SetPortName(m_bConnected ? portName : "");
    return m_bConnected;
}

void COmbrix_TessalyDlg::LoadPortSetting() {
    int32_t index = 0;
    if (m_settings.OpenKey()) {
        if (!m_settings.ReadPort(index)) index = 0;
        m_settings.CloseKey();
    } else if (!m_settings.CreateKey()) {
        m_ui.Tell(IDS_REG_CREATE_FAILED);
    } else {
        if (!m_settings.WritePort(0)) m_ui.Tell(IDS_REG_SAVE_FAILED);
        m_settings.CloseKey();
    }
    const bool isEntry = index >= 0 && index < PORT_COUNT;
    m_ui.SelectPort(isEntry ? index : -1);
    // A port beyond the entries, typed in at an earlier connect, stands in the field again.
    if (index >= PORT_COUNT && index < MAX_PORT_NUMBER) m_ui.SetPortText(ComPortName(index + 1));
}

void COmbrix_TessalyDlg::SavePortSetting() {
    const int index = m_nPortNo - 1;
    if (!m_settings.OpenKey() && !m_settings.CreateKey()) {
        m_ui.Tell(IDS_REG_CREATE_FAILED);
        return;
    }
    if (!m_settings.WritePort(index)) m_ui.Tell(IDS_REG_SAVE_FAILED);
    m_settings.CloseKey();
}
