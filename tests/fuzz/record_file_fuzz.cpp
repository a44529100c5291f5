// libFuzzer target: any bytes read as a record CSV either give measurements that read back the
// same once written out again as the window writes them, or name a line of the file and one of
// the record list's columns.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <tuple>

#include "records/record_csv_reader.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

auto Fields(const Measurement& m) {
    return std::tie(m.measuredAt, m.userName, m.id1, m.id2, m.standardName, m.safetyIndex,
                    m.dangerIndex, m.value, m.verdict);
}

void CheckReadsBack(const Measurement& row) {
    RecordCellWriter writer(CellEncoding::Korean);
    RecordCells cells;
    writer.Write(row, 1, cells);
    const std::string file = RecordCsvHeader(CellEncoding::Korean) + RecordCsvLine(cells);
    RecordCsvFeed again(file);
    Measurement read;
    Check(again.Next(read) == MeasurementFeed::Row && Fields(read) == Fields(row));
    Check(again.Next(read) == MeasurementFeed::End);
}

void CheckRefusal(const RecordFileRefusal& refusal, const std::string& file) {
    if (refusal.kind != RecordFileRefusal::BadCell) return;
    Check(refusal.line >= 2);
    Check(refusal.line <= 1 + static_cast<int>(std::count(file.begin(), file.end(), '\n')));
    Check(std::any_of(std::begin(RECORD_CELL_NAMES), std::end(RECORD_CELL_NAMES),
                      [&](const char* name) { return refusal.column == name; }));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // Most inputs start with a header, so that the rows are reached.
    std::string file;
    if (data[0] & 2)
        file = RecordCsvHeader(data[0] & 1 ? CellEncoding::Utf8 : CellEncoding::Korean);
    file.append(reinterpret_cast<const char*>(data + 1), size - 1);
    RecordCsvFeed feed(file);
    Measurement row;
    MeasurementFeed::Step step;
    while ((step = feed.Next(row)) == MeasurementFeed::Row) CheckReadsBack(row);
    Check((step == MeasurementFeed::Stop) == (feed.Refusal().kind != RecordFileRefusal::None));
    CheckRefusal(feed.Refusal(), file);
    return 0;
}
