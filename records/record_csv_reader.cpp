#include "records/record_csv_reader.h"

#include <algorithm>

#include "text/utf8.h"

namespace {

size_t ByteOrderMarkLength(const std::string& bytes) {
    return bytes.compare(0, 3, UTF8_BOM) == 0 ? 3 : 0;
}

// Spreadsheets may add empty cells after the last column.
bool OnlyEmptyCellsFrom(const CsvRecord& record, size_t first) {
    for (size_t i = first; i < record.cells.size(); ++i)
        if (!record.cells[i].empty() || record.brokenCell == static_cast<int>(i)) return false;
    return true;
}

bool IsHeaderIn(const CsvRecord& record, CellEncoding encoding) {
    if (record.cells.size() < RECORD_CELLS || record.brokenCell >= 0 ||
        !OnlyEmptyCellsFrom(record, RECORD_CELLS))
        return false;
    RecordCells cells;
    std::copy_n(record.cells.begin(), RECORD_CELLS, cells.begin());
    return RecordCsvLine(cells) == RecordCsvHeader(encoding);
}

bool IsEmptyLine(const CsvRecord& record) {
    return record.cells.size() == 1 && record.cells[0].empty() && record.brokenCell < 0;
}

}  // namespace

RecordCsvFeed::RecordCsvFeed(const std::string& bytes)
    : m_reader(bytes, ByteOrderMarkLength(bytes)) {}

bool RecordCsvFeed::ReadHeader() {
    if (m_reader.AtEnd()) return false;
    m_reader.Next(m_record);
    for (CellEncoding encoding : {CellEncoding::Korean, CellEncoding::Utf8}) {
        if (!IsHeaderIn(m_record, encoding)) continue;
        m_encoding = encoding;
        m_cellReader = RecordCellReader(encoding);
        return true;
    }
    return false;
}

MeasurementFeed::Step RecordCsvFeed::Refuse(int line, int cell) {
    m_refusal.kind = RecordFileRefusal::BadCell;
    m_refusal.line = line;
    m_refusal.column = RECORD_CELL_NAMES[cell];
    return Stop;
}

MeasurementFeed::Step RecordCsvFeed::Next(Measurement& row) {
    if (m_refusal.kind != RecordFileRefusal::None) return Stop;
    if (!m_started) {
        m_started = true;
        if (!ReadHeader()) {
            m_refusal.kind = RecordFileRefusal::NotARecordFile;
            return Stop;
        }
    }
    if (m_reader.AtEnd()) return End;
    m_reader.Next(m_record);
    if (IsEmptyLine(m_record) && m_reader.OnlyLineEndsLeft()) return End;
    for (int i = 0; i < RECORD_CELLS; ++i) {
        const size_t at = static_cast<size_t>(i);
        if (at >= m_record.cells.size() || m_record.brokenCell == i)
            return Refuse(m_record.line, i);
        m_cells[at] = std::move(m_record.cells[at]);
    }
    if (!OnlyEmptyCellsFrom(m_record, RECORD_CELLS)) return Refuse(m_record.line, RECORD_CELLS - 1);
    row = Measurement{};
    const int bad = m_cellReader.Read(m_cells, row);
    return bad < 0 ? Row : Refuse(m_record.line, bad);
}
