#include "history/history_export.h"

#include "history/archive_report.h"
#include "history/record_cells.h"
#include "history/report.h"
#include "history/time_text.h"

namespace {

constexpr Verdict kTickable[] = {Verdict::Safe, Verdict::Caution, Verdict::Contaminated};

// The file gets the text in blocks of this size: a million rows are a few hundred writes.
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

HistoryFileOutcome SaveHistoryCsv(Archive& archive, const HistoryFilter& filter, OutputFile& file,
                                  const std::string& path) {
    HistoryFileOutcome outcome;
    outcome.file = file.Create(path);
    if (outcome.file != FileError::None) return outcome;
    BlockWriter out(file);
    RecordCellWriter writer(CellEncoding::Korean);
    RecordCells cells;
    long long number = 0;
    if (out.Add(RecordCsvHeader(CellEncoding::Korean)))
        outcome.archive = ForEachMeasurement(archive, filter, [&](const Measurement& row) {
            writer.Write(row, ++number, cells);
            return out.Add(RecordCsvLine(cells));
        });
    out.Flush();
    file.Close();
    outcome.file = out.Error();
    return outcome;
}

namespace {

ReportFilters ReportFiltersOf(const HistoryChoices& choices) {
    ReportFilters filters;
    filters.standard = choices.standard.value_or("");
    filters.user = choices.user.value_or("");
    const HistoryFilter filter = FilterOf(choices);
    if (filter.verdicts != ALL_VERDICTS)
        for (const Verdict verdict : kTickable)
            if (filter.verdicts & VerdictBit(verdict)) filters.verdicts.push_back(verdict);
    return filters;
}

FileError WriteWhole(OutputFile& file, const std::string& path, const std::string& bytes) {
    FileError error = file.Create(path);
    if (error == FileError::None) error = file.Write(bytes.data(), bytes.size());
    file.Close();
    return error;
}

}  // namespace

HistoryFileOutcome SaveHistoryReport(Archive& archive, const HistoryChoices& choices,
                                     ValueAxis axis, const std::string& createdAt, OutputFile& file,
                                     const std::string& path) {
    const HistoryFilter filter = FilterOf(choices);
    ReportInput input;
    input.from = DateText(*filter.from);
    input.to = DateText(*filter.until - SECONDS_PER_DAY);
    input.filters = ReportFiltersOf(choices);
    input.axis = axis;
    input.createdAt = createdAt;
    HistoryFileOutcome outcome;
    outcome.archive = LoadReport(archive, filter, input);
    if (outcome.archive) outcome.file = WriteWhole(file, path, ReportHtml(input));
    return outcome;
}
