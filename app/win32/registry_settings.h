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

private:
    HKEY m_key = nullptr;
};
