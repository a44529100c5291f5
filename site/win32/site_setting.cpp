#include <windows.h>

#include <vector>

#include "site/site_setting.h"
#include "text/win32/utf16.h"

namespace {

std::wstring Wide(const char* ascii) { return std::wstring(ascii, ascii + strlen(ascii)); }

std::string EnvironmentText(const char* name) {
    const std::wstring wideName = Wide(name);
    const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0) return {};
    std::vector<wchar_t> value(size);
    const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
    return NarrowFrom(std::wstring(value.data(), length), CP_UTF8);
}

// A REG_SZ value; empty when missing or of another type.
std::string RegistryText(HKEY root, const char* name) {
    DWORD type = 0, bytes = 0;
    const std::wstring key = Wide(SITE_SETTING_KEY), value = Wide(name);
    if (RegGetValueW(root, key.c_str(), value.c_str(), RRF_RT_REG_SZ, &type, nullptr, &bytes) !=
            ERROR_SUCCESS ||
        bytes < sizeof(wchar_t))
        return {};
    std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1);
    if (RegGetValueW(root, key.c_str(), value.c_str(), RRF_RT_REG_SZ, &type, text.data(), &bytes) !=
        ERROR_SUCCESS)
        return {};
    return NarrowFrom(std::wstring(text.data()), CP_UTF8);
}

// The environment's variable, else the value under the program's key: the machine's (set by IT),
// then the user's.
std::string PcSetting(const char* environmentName, const char* valueName) {
    std::string setting = EnvironmentText(environmentName);
    if (setting.empty()) setting = RegistryText(HKEY_LOCAL_MACHINE, valueName);
    if (setting.empty()) setting = RegistryText(HKEY_CURRENT_USER, valueName);
    return setting;
}

}  // namespace

std::string SiteSettingOfPc() { return PcSetting(SITE_ENVIRONMENT_NAME, SITE_SETTING_VALUE); }

std::string BackupFolderOfPc() {
    return PcSetting(BACKUP_FOLDER_ENVIRONMENT_NAME, BACKUP_FOLDER_VALUE);
}

PcIdentity ThisPc() {
    PcIdentity identity;
    wchar_t name[256];
    DWORD length = 256;
    if (GetComputerNameW(name, &length))
        identity.pc = NarrowFrom(std::wstring(name, length), CP_UTF8);
    length = 256;
    if (GetUserNameW(name, &length) && length > 0)
        identity.user = NarrowFrom(std::wstring(name, length - 1), CP_UTF8);
    return identity;
}
