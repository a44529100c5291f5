// What the history window shows, apart from the window: the filters' choices and their query,
// the filtered rows a page at a time (a million rows are never held, only their ids), their
// counts per verdict, the chart's series, and the texts of the summary line and of the point
// under the pointer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_actions.h"
#include "archive/archive_query.h"
#include "chart/chart_model.h"
#include "records/record_cells.h"

// The filters as the window shows them.
struct HistoryChoices {
    int64_t firstDay = 0, lastDay = 0;          // the first second of each, on the device's clock
    std::optional<std::string> standard, user;  // one name; none for "전체"
    std::array<bool, 3> verdicts{true, true, true};  // 안전, 주의, 오염 ticked
    bool openOnly = false;                           // "미조치만": open results alone
};

// The period the window opens with: this many days, the last of them today.
constexpr int64_t HISTORY_DEFAULT_DAYS = 30;

// The last HISTORY_DEFAULT_DAYS days up to the day of `now`, every standard, user and verdict.
HistoryChoices DefaultChoices(int64_t now);

// The period widened, if need be, to the days of `first` to `last` too (seconds, on the device's
// clock): rows just imported show, however old, and so do the rows shown before.
HistoryChoices CoveringPeriod(HistoryChoices choices, int64_t first, int64_t last);

// The archive's filter: from the start of the earlier day to the end of the later one, and the
// verdicts ticked; with all three ticked the rows without a standard ("-") show too.
ArchiveFilter FilterOf(const HistoryChoices& choices);

// The texts the view fills in (UTF-8): the window's string table, or in tests the console's.
struct HistoryTexts {
    std::string summary;  // "%1" rows, then count and share of 안전 ("%2", "%3"), 주의, 오염
    std::string summaryNone;  // added after it: "%1" rows without a standard
    std::string nothing;      // no row
    std::string hoverRow;     // No., time, user, standard, value, verdict
    std::string hoverBucket;  // first and last time, standard, rows, lowest, highest, 주의, 오염
    std::string summaryOpen;  // added to the summary: "%1" open results
    std::string actionOpen;   // the 조치 cell of an open result
    std::string retest;       // beside it: the likely retest's verdict "%1" and time "%2"
};

// `text` with "%1" to "%9" replaced by `values`, in one pass: an inserted "%2" stays as it is.
std::string FillNumbered(const std::string& text, const std::vector<std::string>& values);

// The summary line: the counts and shares of 안전, 주의 and 오염 in the filtered rows.
std::string SummaryText(const HistoryTexts& texts, const VerdictCounts& counts);

// The table's row that a mark of the chart stands for, when the mark is one measurement.
std::optional<size_t> RowOfMark(const ChartModel& model, const ChartMark& mark);

// The series of the chart: one per standard, by name, from the buckets counted per standard (in
// time order), or from few rows (newest first), each a point that knows its row of the table.
std::vector<ChartSeries> SeriesOfBuckets(const std::vector<ChartBucket>& buckets);
std::vector<ChartSeries> SeriesOfRows(const std::vector<Measurement>& newestFirst);

// The chart shows single rows, each pointing at its row of the table, while the plot can show
// them one by one (a mark's width apart); beyond that, sums per bucket.
bool ChartsSingleRows(size_t rows, int chartColumns);

// What the window shows of the rows of its filters, wherever they come from: this PC's archive
// (HistoryModel) or the site's server (SiteHistoryModel). The cells, the 조치 column and the
// line under the chart are written here from the rows the two read.
class HistoryView {
public:
    virtual ~HistoryView() = default;

    // The names the standard and user filters offer.
    virtual const FilterChoices& Names() const = 0;
    virtual size_t RowCount() const = 0;
    // Row `index` (0 the newest); null when it cannot be read (or, from the site, not yet).
    virtual const Measurement* Row(size_t index) = 0;
    // The table will draw rows [first, last]: their pages are read in one go.
    virtual void Hint(size_t first, size_t last) = 0;
    virtual const VerdictCounts& Counts() const = 0;
    // The action and likely retest of row `index`; null when there is none to show.
    virtual const ActionState* ActionOf(size_t index) = 0;
    // Keeps a new version of row `index`'s action in this PC's archive; the row shows it from
    // now on.
    virtual ArchiveStatus RecordAction(size_t index, const CorrectiveAction& action) = 0;
    virtual std::string Summary(const HistoryTexts& texts) const = 0;

    // One series per standard, by name; single rows (their index in the table as the row id)
    // when few, else sums per bucket of time.
    const std::vector<ChartSeries>& Chart() const { return m_chart; }
    int64_t ChartFrom() const { return m_filter.from.value_or(0); }
    int64_t ChartTo() const { return m_filter.until.value_or(0); }

    // A cell of the table as the record list shows it, in UTF-8; rows are numbered from 1.
    std::string Cell(size_t index, int column);
    // The 조치 column (archive_actions.h): the latest action's first line, or for an open result
    // "미조치" and its likely retest; empty for a result that asks for none.
    std::string ActionCell(const HistoryTexts& texts, size_t index);
    // The line under the chart for the mark under the pointer.
    std::string HoverText(const HistoryTexts& texts, const ChartModel& model,
                          const ChartMark& mark);

protected:
    // Other rows stand at every index from here on.
    void ForgetCells() { m_cellsRow.reset(); }

    ArchiveFilter m_filter;
    std::vector<ChartSeries> m_chart;

private:
    RecordCellWriter m_writer{CellEncoding::Utf8};
    RecordCells m_cells;
    std::optional<size_t> m_cellsRow;  // the row whose cells m_cells holds
};

// The rows of this PC's archive, or of any archive on a file.
class HistoryModel : public HistoryView {
public:
    explicit HistoryModel(Archive& archive) : m_archive(archive) {}

    // The names the standard and user filters offer; the archive is read anew from here on.
    ArchiveStatus LoadNames();
    const FilterChoices& Names() const override { return m_names; }

    // Runs the filters: the rows' ids newest first, their counts, and the chart of a plot about
    // `chartColumns` pixels wide. On a failure what was read stays, the rest is empty.
    ArchiveStatus Query(const HistoryChoices& choices, int chartColumns);

    size_t RowCount() const override { return m_history.list.Size(); }
    const Measurement* Row(size_t index) override;
    void Hint(size_t first, size_t last) override;

    const VerdictCounts& Counts() const override { return m_history.counts; }

    // The action and likely retest of row `index`, read when first asked; null when unreadable.
    const ActionState* ActionOf(size_t index) override;
    // Keeps a new version of row `index`'s action; the row shows it from now on.
    ArchiveStatus RecordAction(size_t index, const CorrectiveAction& action) override;
    // The open results among the filtered rows, and the summary line that adds their number.
    size_t OpenCount() const { return m_open; }
    std::string Summary(const HistoryTexts& texts) const override;
    // How far after a result its likely retest is looked for.
    void SetRetestWindow(int64_t seconds) { m_retestWindow = seconds; }
    int64_t RetestWindow() const { return m_retestWindow; }

private:
    struct Page {
        size_t first = 0;
        std::vector<Measurement> rows;
        std::vector<std::optional<ActionState>> actions;  // beside rows, read when asked
        uint64_t used = 0;  // when last asked for, for dropping the longest unused
    };

    Page* PageHolding(size_t index);
    ArchiveStatus ReadPage(size_t first, Page& page);
    ArchiveStatus LoadChartRows();

    Archive& m_archive;
    FilterChoices m_names;
    PeriodCache m_cache;     // the rows of the last period read
    FilteredView m_history;  // the rows' ids, their counts and the chart's buckets
    std::vector<Page> m_pages;
    uint64_t m_clock = 0;
    size_t m_open = 0;
    int64_t m_retestWindow = DEFAULT_RETEST_WINDOW_SECONDS;
};
