// Where the archive of the user who runs the program lives, when no other file is named:
// %LOCALAPPDATA%\Kavenor\Ombrix_Tessaly\archive.sqlite3 on Windows,
// ${XDG_DATA_HOME:-$HOME/.local/share}/ombrix/archive.sqlite3 elsewhere. UTF-8; the folder is
// made when the archive is first opened.
#pragma once

#include <string>

std::string DefaultArchivePath();
