#include "app/win32/registry_settings.h"

bool RegistrySettings::OpenKey() {
    CloseKey();
    return Succeeded(RegOpenKeyExA(HKEY_CURRENT_USER, PORT_SETTING_KEY, 0, KEY_ALL_ACCESS, &m_key));
}

bool RegistrySettings::CreateKey() {
    CloseKey();
    return Succeeded(RegCreateKeyExA(HKEY_CURRENT_USER, PORT_SETTING_KEY, 0, nullptr,
                                     REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &m_key,
                                     nullptr));
}

bool RegistrySettings::ReadPort(int32_t& index) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (!Succeeded(RegQueryValueExA(m_key, PORT_SETTING_VALUE, nullptr, nullptr,
                                    reinterpret_cast<BYTE*>(&value), &size)))
        return false;
    index = static_cast<int32_t>(value);
    return true;
}

bool RegistrySettings::WritePort(int32_t index) {
    const DWORD value = static_cast<DWORD>(index);
    return Succeeded(RegSetValueExA(m_key, PORT_SETTING_VALUE, 0, REG_DWORD,
                                    reinterpret_cast<const BYTE*>(&value), sizeof value));
}

void RegistrySettings::CloseKey() {
    if (m_key) RegCloseKey(m_key);
    m_key = nullptr;
}
