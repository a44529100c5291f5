// Paths of any length Windows takes: the file dialogs hand them over whole, and the files open
// by them whole, never cut at MAX_PATH.
#pragma once

#include <cstddef>
#include <string>

// The longest path Windows takes, in UTF-16 characters, without the closing zero.
constexpr size_t LONGEST_PATH = 32767;

// The path (UTF-8) as CreateFileW takes it: UTF-16, and from MAX_PATH characters on as an
// extended-length path ("\\?\C:\..." or "\\?\UNC\server\share\..."), made absolute first since
// that form takes no relative parts. False for bytes that are no UTF-8 and for a path longer
// than LONGEST_PATH.
bool SystemPath(const std::string& utf8, std::wstring& path);
