// The dialog's logic on the real Windows file system and registry, under Wine: the causes that
// the CSV export reports for the operating system's errors, a Hangul path, paths longer than
// MAX_PATH, and a "Port" value of another type at start-up.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "app/win32/long_path.h"
#include "app/win32/registry_settings.h"
#include "app/win32/wide_text.h"
#include "records/record_csv.h"
#include "res/resource.h"
#include "tests/support/fake_controls.h"
#include "tests/win/check.h"

namespace {

std::string Utf8(const std::wstring& wide) { return NarrowFrom(wide, CP_UTF8); }

// What OnSaveCsv shows for one row saved at `path` (UTF-8), with the platform's file.
std::vector<ShownBox> SaveOneRow(const std::wstring& path) {
    FakeControls ui;
    RegistrySettings settings;
    COmbrix_TessalyDlg dialog(ui, settings);
    ui.InsertRow(IDC_LIST_RECORD, 0);
    ui.SetCell(IDC_LIST_RECORD, 0, 1, "1");
    ui.savePath = Utf8(path);
    dialog.OnSaveCsv();
    return ui.boxes;
}

std::vector<ShownBox> Refused(int textId, const std::wstring& path) {
    return {{ShownBox::Error, textId, Utf8(path)}};
}

std::string FileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "(cannot be opened)";
    char buffer[512];
    DWORD read = 0;
    ReadFile(file, buffer, sizeof buffer, &read, nullptr);
    CloseHandle(file);
    return std::string(buffer, read);
}

bool ReadOnlyIsEnforced(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return true;
    CloseHandle(file);
    return false;
}

// Every name in Hangul: a path that lost a character on the way to CreateFileW would name
// another file, which could be created, and the refusals would not come.
void CheckFileErrors(const std::wstring& folder) {
    const std::wstring missing = folder + L"\\\xC5C6\xB294 \xD3F4\xB354\\\xAE30\xB85D.csv";
    Check(SaveOneRow(missing) == Refused(IDS_FILE_BAD_PATH, missing),
          "a folder that does not exist: the bad-path text with the path");

    const std::wstring readOnly = folder + L"\\\xC77D\xAE30 \xC804\xC6A9.csv";
    HANDLE file = CreateFileW(readOnly.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_READONLY, nullptr);
    CloseHandle(file);
    if (ReadOnlyIsEnforced(readOnly))
        Check(SaveOneRow(readOnly) == Refused(IDS_FILE_ACCESS_DENIED, readOnly),
              "a read-only file: the access-denied text with the path");
    else
        std::printf(
            "skip: a read-only file (Wine keeps the attribute in permission bits, which "
            "do not stop root)\n");
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    const std::wstring subfolder = folder + L"\\\xD3F4\xB354";
    CreateDirectoryW(subfolder.c_str(), nullptr);
    Check(SaveOneRow(subfolder) == Refused(IDS_FILE_ACCESS_DENIED, subfolder),
          "a folder at the path: the access-denied text with the path");
    RemoveDirectoryW(subfolder.c_str());

    const std::wstring held = folder + L"\\\xACF5\xC720.csv";
    file = CreateFileW(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    Check(SaveOneRow(held) == Refused(IDS_FILE_SHARING, held),
          "a file held without sharing: the sharing-violation text with the path");
    CloseHandle(file);

    const std::wstring saved = folder + L"\\\xCE21\xC815 \xAE30\xB85D.csv";
    Check(SaveOneRow(saved).empty() && FileBytes(saved) == std::string(CSV_HEADER) + "1,,,,,,,,,\n",
          "a Hangul path: the file holds the header and the row");
    for (const std::wstring& path : {readOnly, held, saved}) DeleteFileW(path.c_str());
}

// A path longer than MAX_PATH is written whole; one longer than Windows takes is refused as a
// bad path.
void CheckLongPaths(const std::wstring& folder) {
    const std::wstring extended = L"\\\\?\\";
    std::vector<std::wstring> folders;
    std::wstring deep = folder;
    while (deep.size() < 2 * MAX_PATH) {
        deep += L"\\" + std::wstring(60, L'\xAE34');  // 긴
        CreateDirectoryW((extended + deep).c_str(), nullptr);
        folders.push_back(deep);
    }
    const std::wstring saved = deep + L"\\\xAE30\xB85D.csv";
    Check(SaveOneRow(saved).empty() &&
              FileBytes(extended + saved) == std::string(CSV_HEADER) + "1,,,,,,,,,\n",
          "a path twice as long as MAX_PATH: the file holds the header and the row");
    DeleteFileW((extended + saved).c_str());
    for (auto it = folders.rbegin(); it != folders.rend(); ++it)
        RemoveDirectoryW((extended + *it).c_str());

    const std::wstring tooLong = folder + L"\\" + std::wstring(LONGEST_PATH, L'x') + L".csv";
    Check(SaveOneRow(tooLong) == Refused(IDS_FILE_BAD_PATH, tooLong),
          "a path longer than Windows takes: the bad-path text with the path");
}

// "Port" as another program might have stored it; the dialog's start reads it as a number of up
// to 4 bytes and selects it only when it names one of the twelve ports. The store keeps the
// registry's answer.
void CheckPortValues() {
    const struct {
        const char* what;
        DWORD type;
        std::vector<BYTE> bytes;
        int selected;
        LSTATUS status;
    } cases[] = {
        {"a REG_DWORD of 4 selects COM5", REG_DWORD, {4, 0, 0, 0}, 4, ERROR_SUCCESS},
        {"a REG_SZ \"3\" (bytes 0x33 0x00, 51) selects nothing",
         REG_SZ,
         {'3', 0},
         -1,
         ERROR_SUCCESS},
        {"a 2-byte REG_BINARY 05 00 selects COM6", REG_BINARY, {5, 0}, 5, ERROR_SUCCESS},
        {"an 8-byte REG_BINARY cannot be read: COM1",
         REG_BINARY,
         {7, 0, 0, 0, 0, 0, 0, 0},
         0,
         ERROR_MORE_DATA},
    };
    for (const auto& c : cases) {
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, PORT_SETTING_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegSetValueExA(key, PORT_SETTING_VALUE, 0, c.type, c.bytes.data(),
                       static_cast<DWORD>(c.bytes.size()));
        RegCloseKey(key);
        FakeControls ui;
        RegistrySettings settings;
        COmbrix_TessalyDlg dialog(ui, settings);
        dialog.InitMainDialog();
        Check(
            ui.selectedPort == c.selected && ui.boxes.empty() && settings.LastStatus() == c.status,
            c.what);
        if (ui.selectedPort != c.selected) std::printf("      (selected %d)\n", ui.selectedPort);
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, PORT_SETTING_KEY);
}

}  // namespace

int main() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder =
        std::wstring(temp) + L"ombrix-check-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    CheckFileErrors(folder);
    CheckLongPaths(folder);
    RemoveDirectoryW(folder.c_str());
    CheckPortValues();
    return CheckSummary();
}
