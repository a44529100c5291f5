// The system's save-file and open-file dialogs; the chosen path comes back in UTF-8, so that any
// file name survives, and whole, however long.
#pragma once

#include <windows.h>

#include <string>

struct FileTypes {
    std::wstring filter;  // "name\0pattern\0" pairs, as OPENFILENAME takes them
    const wchar_t* defaultExtension;
};

// The CSV files of the lists: "Excel-CSV FIles(*.csv)", then text files and all files.
const FileTypes& CsvFileTypes();

// A filter written with '|' between its parts, as in a string table: "name|pattern|...".
std::wstring FilterFromText(const std::wstring& text);

bool AskFilePath(HWND owner, const FileTypes& types, const std::wstring& initialName, bool save,
                 std::string& path);
