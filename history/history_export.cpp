#include "history/history_export.h"

#include "measurement/time_text.h"
#include "report/archive_report.h"
#include "report/report.h"

namespace {

// The file gets the text in blocks of this size, of whole lines: a million rows are a few
// hundred writes.
constexpr size_t kBlockBytes = size_t{1} << 16;

class BlockWriter {
public:
    explicit BlockWriter(OutputFile& file) : m_file(file) {}

    bool Add(const std::string& bytes) {
        m_block += bytes;
        return m_block.size() < kBlockBytes || Flush();
    }

    bool Flush() {
        if (m_error == FileError::None && !m_block.empty())
            m_error = m_file.Write(m_block.data(), m_block.size());
        m_block.clear();
        return m_error == FileError::None;
    }

    FileError Error() const { return m_error; }

private:
    OutputFile& m_file;
    std::string m_block;
    FileError m_error = FileError::None;
};

}  // namespace

ArchiveStatus ForEachRecordCsvLine(Archive& archive, const ArchiveFilter& filter,
                                   CellEncoding encoding, bool hideId2,
                                   const std::function<bool(const std::string&)>& write) {
    RecordCsvLines lines(encoding, hideId2);
    if (!write(lines.Header())) return {};
    return ForEachMeasurement(archive, filter,
                              [&](const Measurement& row) { return write(lines.Next(row)); });
}

HistoryFileOutcome SaveHistoryCsv(Archive& archive, const ArchiveFilter& filter, OutputFile& file,
                                  const std::string& path, bool hideId2) {
    HistoryFileOutcome outcome;
    outcome.file = file.Create(path);
    if (outcome.file != FileError::None) return outcome;
    BlockWriter out(file);
    outcome.archive = ForEachRecordCsvLine(archive, filter, CellEncoding::Korean, hideId2,
                                           [&](const std::string& line) { return out.Add(line); });
    out.Flush();
    file.Close();
    outcome.file = out.Error();
    return outcome;
}

HistoryFileOutcome SaveHistoryReport(Archive& archive, const HistoryChoices& choices,
                                     int64_t retestWindowSeconds, ValueAxis axis,
                                     const std::string& createdAt, OutputFile& file,
                                     const std::string& path, bool showIds) {
    const ArchiveFilter filter = FilterOf(choices);
    ReportInput input;
    input.from = DateText(*filter.from);
    input.to = DateText(*filter.until - SECONDS_PER_DAY);
    input.filters = ReportFiltersOf(filter);
    input.axis = axis;
    input.createdAt = createdAt;
    input.showIds = showIds;
    HistoryFileOutcome outcome;
    outcome.archive = LoadReport(archive, filter, retestWindowSeconds, input);
    if (outcome.archive) outcome.file = WriteWholeFile(file, path, ReportHtml(input));
    return outcome;
}
