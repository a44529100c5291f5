#include "history/history_export.h"

#include "measurement/time_text.h"
#include "report/archive_report.h"
#include "report/report.h"
#include "report/site_report.h"

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

namespace {

// The file at `path` with the CSV's lines of the rows `read` hands `visit`; `read` tells its
// failure in the outcome.
HistoryFileOutcome SaveCsv(OutputFile& file, const std::string& path, bool hideId2,
                           const std::function<void(const std::function<bool(const Measurement&)>&,
                                                    HistoryFileOutcome&)>& read) {
    HistoryFileOutcome outcome;
    outcome.file = file.Create(path);
    if (outcome.file != FileError::None) return outcome;
    BlockWriter out(file);
    RecordCsvLines lines(CellEncoding::Korean, hideId2);
    if (out.Add(lines.Header()))
        read([&](const Measurement& row) { return out.Add(lines.Next(row)); }, outcome);
    out.Flush();
    file.Close();
    outcome.file = out.Error();
    return outcome;
}

ReportInput ReportInputOf(const ArchiveFilter& filter, ValueAxis axis, const std::string& createdAt,
                          bool showIds) {
    ReportInput input;
    input.from = DateText(*filter.from);
    input.to = DateText(*filter.until - SECONDS_PER_DAY);
    input.filters = ReportFiltersOf(filter);
    input.axis = axis;
    input.createdAt = createdAt;
    input.showIds = showIds;
    return input;
}

}  // namespace

HistoryFileOutcome SaveHistoryCsv(Archive& archive, const ArchiveFilter& filter, OutputFile& file,
                                  const std::string& path, bool hideId2) {
    return SaveCsv(file, path, hideId2, [&](const auto& visit, HistoryFileOutcome& outcome) {
        outcome.archive = ForEachMeasurement(archive, filter, visit);
    });
}

HistoryFileOutcome SaveSiteHistoryCsv(SiteDatabase& site, const ArchiveFilter& filter,
                                      OutputFile& file, const std::string& path, bool hideId2) {
    return SaveCsv(file, path, hideId2, [&](const auto& visit, HistoryFileOutcome& outcome) {
        outcome.site = site.ForEach({filter, std::nullopt}, visit, RowOrder::NewestFirst);
    });
}

HistoryFileOutcome SaveHistoryReport(Archive& archive, const HistoryChoices& choices,
                                     int64_t retestWindowSeconds, ValueAxis axis,
                                     const std::string& createdAt, OutputFile& file,
                                     const std::string& path, bool showIds) {
    const ArchiveFilter filter = FilterOf(choices);
    ReportInput input = ReportInputOf(filter, axis, createdAt, showIds);
    HistoryFileOutcome outcome;
    outcome.archive = LoadReport(archive, filter, retestWindowSeconds, input);
    if (outcome.archive) outcome.file = WriteWholeFile(file, path, ReportHtml(input));
    return outcome;
}

HistoryFileOutcome SaveSiteHistoryReport(SiteDatabase& site, const HistoryChoices& choices,
                                         ValueAxis axis, const std::string& createdAt,
                                         OutputFile& file, const std::string& path, bool showIds) {
    SiteFilter filter;
    filter.history = FilterOf(choices);
    filter.history.openOnly = false;  // the window shows the site's rows without that filter
    ReportInput input = ReportInputOf(filter.history, axis, createdAt, showIds);
    HistoryFileOutcome outcome;
    outcome.site = LoadSiteReport(site, filter, input);
    if (outcome.site) outcome.file = WriteWholeFile(file, path, ReportHtml(input));
    return outcome;
}
