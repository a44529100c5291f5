// The one stored setting: the index of the last port connected, value "Port" under the key
// "SoftWare\Kavenor\Ombrix_Tessaly" of the current user. Each call returns whether it
// succeeded, so that the dialog can show its message for each failure; the registry's own
// status stays with the store (RegistrySettings::LastStatus).
#pragma once

#include <cstdint>

class PortSettingsStore {
public:
    virtual ~PortSettingsStore() = default;
    virtual bool OpenKey() = 0;    // full access
    virtual bool CreateKey() = 0;  // non-volatile, full access
    virtual bool ReadPort(int32_t& index) = 0;
    virtual bool WritePort(int32_t index) = 0;
    virtual void CloseKey() = 0;
};

constexpr const char* PORT_SETTING_KEY = "SoftWare\\Kavenor\\Ombrix_Tessaly";
constexpr const char* PORT_SETTING_VALUE = "Port";
