#include <windows.h>
// After windows.h, which it needs.
#include <dpapi.h>

#include <algorithm>
#include <vector>

#include "site/site_setting.h"
#include "text/win32/utf16.h"

namespace {

std::wstring Wide(const char* ascii) { return std::wstring(ascii, ascii + strlen(ascii)); }

const char* RootName(HKEY root) { return root == HKEY_LOCAL_MACHINE ? "HKLM" : "HKCU"; }

std::string ValuePlace(HKEY root) {
    return std::string(RootName(root)) + "\\" + SITE_SETTING_KEY + "\\" + SITE_SETTING_VALUE;
}

std::string SystemWords(DWORD error) {
    wchar_t* text = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring words = text ? text : L"";
    LocalFree(text);
    while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r')) words.pop_back();
    return NarrowFrom(words, CP_UTF8) + " (" + std::to_string(error) + ")";
}

// The value's type and bytes; false when it is missing.
bool RegistryValue(HKEY root, DWORD& type, std::vector<BYTE>& bytes) {
    const std::wstring key = Wide(SITE_SETTING_KEY), value = Wide(SITE_SETTING_VALUE);
    DWORD size = 0;
    const DWORD types = RRF_RT_REG_SZ | RRF_RT_REG_BINARY;
    if (RegGetValueW(root, key.c_str(), value.c_str(), types, &type, nullptr, &size) !=
        ERROR_SUCCESS)
        return false;
    bytes.assign(size, 0);
    if (RegGetValueW(root, key.c_str(), value.c_str(), types, &type, bytes.data(), &size) !=
        ERROR_SUCCESS)
        return false;
    bytes.resize(size);
    return true;
}

// A value that CryptProtectData made, with the user's key or the machine's.
bool Unprotected(const std::vector<BYTE>& sealed, std::string& text, DWORD& error) {
    DATA_BLOB in{static_cast<DWORD>(sealed.size()), const_cast<BYTE*>(sealed.data())}, out{};
    if (!CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                            &out)) {
        error = GetLastError();
        return false;
    }
    text.assign(reinterpret_cast<const char*>(out.pbData), out.cbData);
    SecureZeroMemory(out.pbData, out.cbData);
    LocalFree(out.pbData);
    return true;
}

// SiteArchive under one root: plain text (REG_SZ) or protected (REG_BINARY).
SiteSource RegistrySetting(HKEY root) {
    DWORD type = 0;
    std::vector<BYTE> bytes;
    if (!RegistryValue(root, type, bytes)) return {};
    SiteSource source;
    source.place = ValuePlace(root);
    if (type == REG_SZ) {
        std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()),
                          bytes.size() / sizeof(wchar_t));
        text.erase(std::min(text.size(), text.find(L'\0')));
        source.connection = NarrowFrom(text, CP_UTF8);
        return source;
    }
    source.place += " (DPAPI)";
    DWORD error = 0;
    if (!Unprotected(bytes, source.connection, error))
        source.refusal =
            source.place + ": cannot be decrypted by this account: " + SystemWords(error);
    return source;
}

}  // namespace

namespace site_setting_platform {

bool ReadPrivateFile(const std::string& path, std::string& bytes, std::string& reason) {
    HANDLE file = CreateFileW(WideFrom(path, CP_UTF8).c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        reason = SystemWords(GetLastError());
        return false;
    }
    char block[4096];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, block, sizeof block, &got, nullptr) != FALSE) && got > 0)
        bytes.append(block, got);
    if (!ok) reason = SystemWords(GetLastError());
    CloseHandle(file);
    return ok;
}

std::string EnvironmentText(const char* name) {
    const std::wstring wideName = Wide(name);
    const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0) return {};
    std::vector<wchar_t> value(size);
    const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
    return NarrowFrom(std::wstring(value.data(), length), CP_UTF8);
}

SiteSource StoredSetting() {
    SiteSource machine = RegistrySetting(HKEY_LOCAL_MACHINE);
    if (!machine.connection.empty() || !machine.refusal.empty()) return machine;
    return RegistrySetting(HKEY_CURRENT_USER);
}

}  // namespace site_setting_platform

// Protected with the user's key (HKCU), or with the machine's (HKLM), which every account of the
// PC can decrypt.
std::string StoreSiteSetting(const std::string& connection, bool machine, std::string& place) {
    const HKEY root = machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    place = ValuePlace(root) + " (DPAPI)";
    DATA_BLOB in{static_cast<DWORD>(connection.size()),
                 reinterpret_cast<BYTE*>(const_cast<char*>(connection.data()))},
        out{};
    const DWORD flags = CRYPTPROTECT_UI_FORBIDDEN | (machine ? CRYPTPROTECT_LOCAL_MACHINE : 0);
    if (!CryptProtectData(&in, L"Ombrix site archive", nullptr, nullptr, nullptr, flags, &out))
        return "CryptProtectData: " + SystemWords(GetLastError());
    const std::wstring key = Wide(SITE_SETTING_KEY), value = Wide(SITE_SETTING_VALUE);
    const LSTATUS stored =
        RegSetKeyValueW(root, key.c_str(), value.c_str(), REG_BINARY, out.pbData, out.cbData);
    LocalFree(out.pbData);
    if (stored != ERROR_SUCCESS) return place + ": " + SystemWords(static_cast<DWORD>(stored));
    return "";
}

bool CanStoreMachineSetting() { return true; }

namespace {

// A REG_SZ value, or where `numbers`, a REG_DWORD one in decimal digits; empty when missing or of
// another type.
std::string RegistryText(HKEY root, const char* name, bool numbers) {
    DWORD type = 0, bytes = 0;
    const std::wstring key = Wide(SITE_SETTING_KEY), value = Wide(name);
    DWORD number = 0, size = sizeof number;
    if (numbers && RegGetValueW(root, key.c_str(), value.c_str(), RRF_RT_REG_DWORD, &type, &number,
                                &size) == ERROR_SUCCESS)
        return std::to_string(number);
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

// The environment's variable, else the value under the program's key: the machine's (set by
// IT), then the user's.
std::string PcValue(const char* environmentName, const char* valueName, bool numbers) {
    std::string text = site_setting_platform::EnvironmentText(environmentName);
    if (text.empty()) text = RegistryText(HKEY_LOCAL_MACHINE, valueName, numbers);
    if (text.empty()) text = RegistryText(HKEY_CURRENT_USER, valueName, numbers);
    return text;
}

}  // namespace

std::string BackupFolderOfPc() {
    return PcValue(BACKUP_FOLDER_ENVIRONMENT_NAME, BACKUP_FOLDER_VALUE, false);
}

std::string RetestHoursOfPc() {
    return PcValue(RETEST_HOURS_ENVIRONMENT_NAME, RETEST_HOURS_VALUE, true);
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
