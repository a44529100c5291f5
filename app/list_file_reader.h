// Reading a user or standard list file, as the export writes it or as a spreadsheet saves it:
// code page 949 or UTF-8 (with or without a byte-order mark), comma-separated with RFC 4180
// quoting, LF or CR LF line ends. Everything is checked before any row is handed out. Free of
// the window, so that it can be fuzzed.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

constexpr size_t LIST_FILE_MAX_BYTES = 1024 * 1024;
constexpr int LIST_FILE_COLUMNS = 4;  // "No." and the list's three columns

// What a cell may hold: what a row read from the device can hold, so that anything exported
// reads back unchanged.
enum class CellRule {
    Name,     // up to 11 bytes of code page 949, whole characters, possibly empty
    Int32,    // decimal, an optional "-", within the signed 32-bit range
    Index16,  // decimal digits, 0 to 65535
};

struct ListFileFormat {
    const char* header;                     // the first line in code page 949, with its line feed
    CellRule rules[LIST_FILE_COLUMNS - 1];  // the columns after "No.", which is ignored
    int maxRows;
};

using ListFileRow = std::array<std::string, LIST_FILE_COLUMNS - 1>;  // code page 949

struct ListFileRead {
    enum Outcome { Rows, NotAListFile, TooManyRows, BadCell } outcome = Rows;
    std::vector<ListFileRow> rows;  // Rows: in file order
    int line = 0;                   // BadCell: where the row starts, 1-based; the header is 1
    std::string column;             // BadCell: the column's header text, code page 949
};

ListFileRead ReadListFile(const std::string& bytes, const ListFileFormat& format);

// `text` is code page 949.
bool IsValidCell(const std::string& text, CellRule rule);
