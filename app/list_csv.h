// A list written as a comma-separated file: code page 949 bytes as the list holds them, no
// byte-order mark, LF line ends. Each row goes to the file in one write, so that a failed write
// leaves the header and whole rows before it.
#pragma once

#include <string>

#include "app/controls.h"
#include "app/file_io.h"

struct ListCsvLayout {
    int list;            // IDC_LIST_*
    const char* header;  // the first line, with its line feed
    int firstColumn;     // the list's columns [firstColumn, endColumn) become the file's
    int endColumn;
    int progressBar;  // moved after every row; 0 for none
};

// A cell as it stands in the file: unchanged, unless it holds a comma, a double quote or a
// line break, which would shift the fields after it; such a cell is quoted, its quotes doubled.
std::string CsvCell(const std::string& text);

// One row of the list as a line of the file, with its line feed.
std::string CsvLine(DialogControls& ui, const ListCsvLayout& layout, int row);

FileError WriteListCsv(DialogControls& ui, OutputFile& file, const ListCsvLayout& layout);

// Creates the file at `path` (UTF-8), writes the list and closes it; what was written before a
// failure stays.
FileError SaveListCsv(DialogControls& ui, OutputFile& file, const std::string& path,
                      const ListCsvLayout& layout);
