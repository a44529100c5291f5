// libFuzzer target: any bytes read as a user or standard list file either give rows that pass
// the cell checks, and read back the same once written out again, or name a line of the file
// and one of the list's columns.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/list_csv.h"
#include "app/list_file_reader.h"
#include "roster/user_record.h"
#include "standards/standard_record.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

const ListFileFormat kFormats[] = {
    {USER_FILE_HEADER, {CellRule::Name, CellRule::Int32, CellRule::Int32}, MAX_USERS},
    {STANDARD_FILE_HEADER, {CellRule::Name, CellRule::Index16, CellRule::Index16}, MAX_STANDARDS},
};

std::string Written(const ListFileFormat& format, const ListFileRead& read) {
    std::string file = format.header;
    for (const ListFileRow& row : read.rows)
        file += "1," + CsvCell(row[0]) + "," + CsvCell(row[1]) + "," + CsvCell(row[2]) + "\n";
    return file;
}

void CheckRows(const ListFileFormat& format, const ListFileRead& read) {
    Check(read.rows.size() <= static_cast<size_t>(format.maxRows));
    for (const ListFileRow& row : read.rows)
        for (size_t i = 0; i < row.size(); ++i) Check(IsValidCell(row[i], format.rules[i]));
    const ListFileRead again = ReadListFile(Written(format, read), format);
    Check(again.outcome == ListFileRead::Rows && again.rows == read.rows);
}

void CheckBadCell(const ListFileFormat& format, const ListFileRead& read, const std::string& file) {
    const std::string header = format.header;
    Check(read.line >= 2);
    Check(read.line <= 1 + static_cast<int>(std::count(file.begin(), file.end(), '\n')));
    Check(!read.column.empty() && read.column != "No." &&
          header.find(read.column) != std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const ListFileFormat& format = kFormats[data[0] & 1];
    // Most inputs start with the header, so that the rows are reached.
    std::string file = data[0] & 2 ? format.header : "";
    file.append(reinterpret_cast<const char*>(data + 1), size - 1);
    const ListFileRead read = ReadListFile(file, format);
    if (read.outcome == ListFileRead::Rows) CheckRows(format, read);
    if (read.outcome == ListFileRead::BadCell) CheckBadCell(format, read, file);
    return 0;
}
