#include <windows.h>
// windows.h first: the shell's headers need its types.
#include <knownfolders.h>
#include <shlobj.h>

#include "archive/archive_path.h"
#include "text/win32/utf16.h"

std::string DefaultArchivePath() {
    PWSTR folder = nullptr;
    std::wstring path;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder))) path = folder;
    CoTaskMemFree(folder);
    path += L"\\Kavenor\\Ombrix_Tessaly\\archive.sqlite3";
    return NarrowFrom(path, CP_UTF8);
}
