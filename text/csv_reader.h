// Comma-separated records as RFC 4180 has them, one at a time: a quoted cell may hold commas,
// doubled quotes and line breaks; a quote inside an unquoted cell, or text after a closing
// quote, breaks the cell. LF and CR LF end a record.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct CsvRecord {
    int line = 0;  // where the record starts, from 1
    std::vector<std::string> cells;
    int brokenCell = -1;  // the first cell whose quoting is broken, -1 for none
};

class CsvReader {
public:
    // Reads `text` from byte `start`; the text must outlive the reader.
    CsvReader(const std::string& text, size_t start) : m_text(text), m_at(start) {}

    bool AtEnd() const { return m_at >= m_text.size(); }

    // Nothing but line ends from here on.
    bool OnlyLineEndsLeft() const;

    void Next(CsvRecord& record);

private:
    size_t LineEndLength() const;  // 1 for LF, 2 for CR LF, 0 for anything else
    bool AtDelimiter() const;
    bool ReadUnquoted(std::string& cell);
    bool ReadQuoted(std::string& cell);

    const std::string& m_text;
    size_t m_at;
    int m_line = 1;
};
