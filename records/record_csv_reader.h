// Reading a record CSV as the window saves it (code page 949) or the console writes it (UTF-8,
// with or without a byte-order mark): the header, then one measurement a line. Every line is
// checked; the first that fails stops the feed, naming its line and column, so that the
// archive keeps nothing of the file. Free of the window and the archive, so that it can be
// fuzzed.
#pragma once

#include <string>

#include "archive/archive.h"
#include "records/record_cells.h"
#include "text/csv_reader.h"

struct RecordFileRefusal {
    enum Kind { None, NotARecordFile, BadCell } kind = None;
    int line = 0;        // BadCell: where the row starts, 1-based; the header is line 1
    std::string column;  // BadCell: the column's header, UTF-8
};

class RecordCsvFeed : public MeasurementFeed {
public:
    // `bytes` is the whole file and must outlive the feed.
    explicit RecordCsvFeed(const std::string& bytes);

    Step Next(Measurement& row) override;

    // None while every line read so far is good.
    const RecordFileRefusal& Refusal() const { return m_refusal; }

private:
    bool ReadHeader();
    Step Refuse(int line, int cell);

    CsvReader m_reader;
    CsvRecord m_record;
    RecordCells m_cells;
    CellEncoding m_encoding = CellEncoding::Korean;
    RecordCellReader m_cellReader{CellEncoding::Korean};
    RecordFileRefusal m_refusal;
    bool m_started = false;
};
