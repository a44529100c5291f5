#include "text/csv_reader.h"

bool CsvReader::OnlyLineEndsLeft() const {
    return m_text.find_first_not_of("\r\n", m_at) == std::string::npos;
}

void CsvReader::Next(CsvRecord& record) {
    record.line = m_line;
    record.cells.clear();
    record.brokenCell = -1;
    for (;;) {
        std::string cell;
        const bool intact = !AtEnd() && m_text[m_at] == '"' ? ReadQuoted(cell) : ReadUnquoted(cell);
        if (!intact && record.brokenCell < 0)
            record.brokenCell = static_cast<int>(record.cells.size());
        record.cells.push_back(std::move(cell));
        if (AtEnd()) return;
        if (m_text[m_at] == ',') {
            ++m_at;
            continue;
        }
        m_at += LineEndLength();
        ++m_line;
        return;
    }
}

size_t CsvReader::LineEndLength() const {
    if (m_text[m_at] == '\n') return 1;
    if (m_text[m_at] == '\r' && m_at + 1 < m_text.size() && m_text[m_at + 1] == '\n') return 2;
    return 0;
}

bool CsvReader::AtDelimiter() const {
    return AtEnd() || m_text[m_at] == ',' || LineEndLength() > 0;
}

bool CsvReader::ReadUnquoted(std::string& cell) {
    bool intact = true;
    const size_t start = m_at;
    for (; !AtDelimiter(); ++m_at)
        if (m_text[m_at] == '"') intact = false;
    cell.append(m_text, start, m_at - start);
    return intact;
}

bool CsvReader::ReadQuoted(std::string& cell) {
    ++m_at;
    for (;;) {
        if (AtEnd()) return false;  // never closed
        const char c = m_text[m_at++];
        if (c != '"') {
            if (c == '\n') ++m_line;
            cell += c;
        } else if (!AtEnd() && m_text[m_at] == '"') {
            cell += '"';
            ++m_at;
        } else {
            break;
        }
    }
    if (AtDelimiter()) return true;
    std::string rest;
    ReadUnquoted(rest);
    return false;
}
