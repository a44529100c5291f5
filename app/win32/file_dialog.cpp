#include "app/win32/file_dialog.h"

#include <commdlg.h>

#include "app/win32/long_path.h"
#include "app/win32/wide_text.h"

const FileTypes& CsvFileTypes() {
    static const FileTypes types{
        FilterFromText(L"Excel-CSV FIles(*.csv)|*.csv|Text Files(*.txt)|*.txt|All Files(*.*)|*.*|"),
        L"csv"};
    return types;
}

std::wstring FilterFromText(const std::wstring& text) {
    std::wstring filter = text;
    for (wchar_t& c : filter)
        if (c == L'|') c = L'\0';
    return filter + L'\0';
}

bool AskFilePath(HWND owner, const FileTypes& types, const std::wstring& initialName, bool save,
                 std::string& path) {
    std::wstring file(LONGEST_PATH + 1, L'\0');
    lstrcpynW(file.data(), initialName.c_str(), static_cast<int>(file.size()));
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = types.filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrDefExt = types.defaultExtension;
    dialog.Flags = save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (!(save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog))) return false;
    path = NarrowFrom(file.c_str(), CP_UTF8);
    return true;
}
