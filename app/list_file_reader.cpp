#include "app/list_file_reader.h"

#include <cstdint>

#include "link/device_names.h"
#include "text/code_page.h"
#include "text/csv_reader.h"
#include "text/utf8.h"

namespace {

std::vector<std::string> HeaderNames(const char* header) {
    std::vector<std::string> names(1);
    for (const char* p = header; *p && *p != '\n'; ++p) {
        if (*p == ',')
            names.emplace_back();
        else
            names.back() += *p;
    }
    return names;
}

// A cell of the file as code page 949 text; false when its bytes are not characters of the
// file's encoding or have no code page 949 counterpart.
bool ToListText(const std::string& cell, bool utf8, std::string& text) {
    if (utf8) return ConvertTextExactly(cell, CP_UTF8_TEXT, CP_KOREAN, text);
    std::string unused;
    text = cell;
    return ConvertTextExactly(cell, CP_KOREAN, CP_UTF8_TEXT, unused);
}

// Cells past the last column are tolerated when empty, as spreadsheets write them.
bool OnlyEmptyCellsFrom(const CsvRecord& record, size_t first) {
    for (size_t i = first; i < record.cells.size(); ++i)
        if (!record.cells[i].empty() || record.brokenCell == static_cast<int>(i)) return false;
    return true;
}

bool IsHeader(const CsvRecord& record, const std::vector<std::string>& names, bool utf8) {
    if (record.cells.size() < names.size() || !OnlyEmptyCellsFrom(record, names.size()))
        return false;
    for (size_t i = 0; i < names.size(); ++i) {
        std::string text;
        if (static_cast<int>(i) == record.brokenCell || !ToListText(record.cells[i], utf8, text) ||
            text != names[i])
            return false;
    }
    return true;
}

bool IsEmptyLine(const CsvRecord& record) {
    return record.cells.size() == 1 && record.cells[0].empty() && record.brokenCell < 0;
}

// The first column of a row that fails, -1 when the row is good; `row` gets its texts.
int FirstBadColumn(const CsvRecord& record, const ListFileFormat& format, bool utf8,
                   ListFileRow& row) {
    for (int column = 1; column < LIST_FILE_COLUMNS; ++column) {
        const size_t at = static_cast<size_t>(column);
        std::string& text = row[at - 1];
        if (at >= record.cells.size() || record.brokenCell == column ||
            !ToListText(record.cells[at], utf8, text) || !IsValidCell(text, format.rules[at - 1]))
            return column;
    }
    return OnlyEmptyCellsFrom(record, LIST_FILE_COLUMNS) ? -1 : LIST_FILE_COLUMNS - 1;
}

bool IsDecimal(const std::string& digits, int64_t max, bool negative) {
    if (digits.empty()) return false;
    int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
        if (value > max + (negative ? 1 : 0)) return false;
    }
    return true;
}

ListFileRead Outcome(ListFileRead::Outcome outcome) {
    ListFileRead read;
    read.outcome = outcome;
    return read;
}

}  // namespace

bool IsValidCell(const std::string& text, CellRule rule) {
    switch (rule) {
        case CellRule::Name:
            return text.size() <= DEVICE_NAME_BYTES && text.find('\0') == std::string::npos;
        case CellRule::Int32: {
            const bool negative = !text.empty() && text[0] == '-';
            return IsDecimal(text.substr(negative ? 1 : 0), INT32_MAX, negative);
        }
        case CellRule::Index16:
            return IsDecimal(text, UINT16_MAX, false);
    }
    return false;
}

ListFileRead ReadListFile(const std::string& bytes, const ListFileFormat& format) {
    if (bytes.size() > LIST_FILE_MAX_BYTES) return Outcome(ListFileRead::NotAListFile);
    const bool bom = bytes.compare(0, 3, UTF8_BOM) == 0;
    const bool utf8 = bom || IsValidUtf8(bytes);
    CsvReader reader(bytes, bom ? 3 : 0);
    const std::vector<std::string> names = HeaderNames(format.header);
    CsvRecord record;
    if (reader.AtEnd()) return Outcome(ListFileRead::NotAListFile);
    reader.Next(record);
    if (!IsHeader(record, names, utf8)) return Outcome(ListFileRead::NotAListFile);
    ListFileRead read;
    while (!reader.AtEnd()) {
        reader.Next(record);
        if (IsEmptyLine(record) && reader.OnlyLineEndsLeft()) break;
        if (static_cast<int>(read.rows.size()) == format.maxRows)
            return Outcome(ListFileRead::TooManyRows);
        ListFileRow row;
        const int bad = FirstBadColumn(record, format, utf8, row);
        if (bad >= 0) {
            ListFileRead failed = Outcome(ListFileRead::BadCell);
            failed.line = record.line;
            failed.column = names[static_cast<size_t>(bad)];
            return failed;
        }
        read.rows.push_back(std::move(row));
    }
    return read;
}
