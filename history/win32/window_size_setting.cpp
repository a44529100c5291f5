#include "history/win32/window_size_setting.h"

#include "app/port_settings.h"

namespace {

constexpr const char* kWidthValue = "HistoryWidth";
constexpr const char* kHeightValue = "HistoryHeight";

bool ReadNumber(HKEY key, const char* name, LONG& number) {
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return false;
    number = static_cast<LONG>(value);
    return number > 0;
}

void WriteNumber(HKEY key, const char* name, LONG number) {
    const DWORD value = static_cast<DWORD>(number);
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

}  // namespace

bool ReadHistoryWindowSize(SIZE& size) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, PORT_SETTING_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    const bool read =
        ReadNumber(key, kWidthValue, size.cx) && ReadNumber(key, kHeightValue, size.cy);
    RegCloseKey(key);
    return read;
}

// A size that cannot be kept is no loss: the window opens at its template's size next time.
void WriteHistoryWindowSize(const SIZE& size) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, PORT_SETTING_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    WriteNumber(key, kWidthValue, size.cx);
    WriteNumber(key, kHeightValue, size.cy);
    RegCloseKey(key);
}
