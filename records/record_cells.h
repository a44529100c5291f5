// The ten cells of a record list row ("No." to "결과"), as the list shows them and the record
// CSV holds them, and the measurement they stand for: the list's 12-hour time becomes the
// archive's 24-hour one and back. Cells are code page 949 (the window's texts, the CSV it
// writes) or UTF-8 (the console's output, a CSV with a byte-order mark).
#pragma once

#include <array>
#include <string>
#include <unordered_map>

#include "measurement/measurement.h"
#include "measurement/personal_number.h"

enum class CellEncoding { Korean, Utf8 };

constexpr int RECORD_CELLS = 10;
constexpr int RECORD_CELL_ID2 = 4;  // the operator's second number
using RecordCells = std::array<std::string, RECORD_CELLS>;

// The record CSV's header cells in UTF-8, as the record list's column headers.
extern const char* const RECORD_CELL_NAMES[RECORD_CELLS];

// Cells to measurements, every cell checked as the record list can show it.
class RecordCellReader {
public:
    explicit RecordCellReader(CellEncoding encoding) : m_encoding(encoding) {}

    // -1 when every cell is good and `row` holds the measurement (its numbers, source and
    // archive time untouched); otherwise the index of the first bad cell.
    int Read(const RecordCells& cells, Measurement& row);

private:
    bool Name(const std::string& cell, std::string& utf8);

    CellEncoding m_encoding;
    std::unordered_map<std::string, std::string> m_names;  // names repeat: converted once
};

// Measurements to the cells of the record list, numbered from 1.
class RecordCellWriter {
public:
    explicit RecordCellWriter(CellEncoding encoding) : m_encoding(encoding) {}

    void Write(const Measurement& row, long long number, RecordCells& cells);

private:
    const std::string& Name(const std::string& utf8);

    CellEncoding m_encoding;
    std::unordered_map<std::string, std::string> m_names;
};

// The record CSV's first line, with its line feed, and one of its rows: cells that hold a
// comma, a quote or a line break quoted as RFC 4180 has it.
std::string RecordCsvHeader(CellEncoding encoding);
std::string RecordCsvLine(const RecordCells& cells);

// The record CSV of rows given one at a time: the header, then each row numbered from 1.
class RecordCsvLines {
public:
    // `hideId2`: ID2 as MaskedPersonalNumber shows it (the site's rows of every PC).
    explicit RecordCsvLines(CellEncoding encoding, bool hideId2 = false)
        : m_encoding(encoding), m_writer(encoding), m_hideId2(hideId2) {}

    std::string Header() const { return RecordCsvHeader(m_encoding); }
    std::string Next(const Measurement& row) {
        m_writer.Write(row, ++m_number, m_cells);
        if (m_hideId2) m_cells[RECORD_CELL_ID2] = MaskedPersonalNumber(m_cells[RECORD_CELL_ID2]);
        return RecordCsvLine(m_cells);
    }

private:
    CellEncoding m_encoding;
    RecordCellWriter m_writer;
    RecordCells m_cells;
    long long m_number = 0;
    bool m_hideId2;
};

// "2011-03-07 12:05:09 오전" as "2011-03-07 00:05:09"; false for any other shape or an
// impossible time.
bool TwentyFourHourText(const std::string& recordTime, CellEncoding encoding, std::string& text);
