#include "app/win32/registry_settings.h"

bool RegistrySettings::OpenKey() {
    CloseKey();
    return RegOpenKeyExA(HKEY_CURRENT_USER, PORT_SETTING_KEY, 0, KEY_ALL_ACCESS, &m_key) ==
           ERROR_SUCCESS;
}

bool RegistrySettings::CreateKey() {
    CloseKey();
    return RegCreateKeyExA(HKEY_CURRENT_USER, PORT_SETTING_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS, nullptr, &m_key, nullptr) == ERROR_SUCCESS;
}

bool RegistrySettings::ReadPort(int32_t& index) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExA(m_key, PORT_SETTING_VALUE, nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        return false;
    index = static_cast<int32_t>(value);
    return true;
}

bool RegistrySettings::WritePort(int32_t index) {
    const DWORD value = static_cast<DWORD>(index);
    return RegSetValueExA(m_key, PORT_SETTING_VALUE, 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&value), sizeof value) == ERROR_SUCCESS;
}

void RegistrySettings::CloseKey() {
    if (m_key) RegCloseKey(m_key);
    m_key = nullptr;
}
