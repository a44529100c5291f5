// The port setting in the current user's registry.
#pragma once

#include <windows.h>

#include "app/port_settings.h"

class RegistrySettings : public PortSettingsStore {
public:
    ~RegistrySettings() override { CloseKey(); }
    bool OpenKey() override;
    bool CreateKey() override;
    bool ReadPort(int32_t& index) override;
    bool WritePort(int32_t index) override;
    void CloseKey() override;

    // The registry's answer to the last call: ERROR_SUCCESS, or why it failed.
    LSTATUS LastStatus() const { return m_status; }

private:
    bool Succeeded(LSTATUS status) {
        m_status = status;
        return status == ERROR_SUCCESS;
    }

    HKEY m_key = nullptr;
    LSTATUS m_status = ERROR_SUCCESS;
};
