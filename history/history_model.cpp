#include "history/history_model.h"

#include <algorithm>
#include <map>

#include "chart/number_format.h"
#include "measurement/chart_sample.h"
#include "measurement/time_text.h"
#include "measurement/verdicts.h"

namespace {

// A page is one look-up per row; the pages held cover a few screens of the table.
constexpr size_t kPageRows = 128;
constexpr size_t kPagesHeld = 16;
// Pixels of the plot a single row of the chart takes.
constexpr int kColumnsPerSingleRow = 6;

constexpr Verdict kTicked[] = {Verdict::Safe, Verdict::Caution, Verdict::Contaminated};

int64_t DayOf(int64_t seconds) {
    return seconds - ((seconds % SECONDS_PER_DAY) + SECONDS_PER_DAY) % SECONDS_PER_DAY;
}

std::string NameOrDash(const std::string& name) { return name.empty() ? "-" : name; }

}  // namespace

HistoryChoices DefaultChoices(int64_t now) {
    HistoryChoices choices;
    choices.lastDay = DayOf(now);
    choices.firstDay = choices.lastDay - (HISTORY_DEFAULT_DAYS - 1) * SECONDS_PER_DAY;
    return choices;
}

HistoryChoices CoveringPeriod(HistoryChoices choices, int64_t first, int64_t last) {
    const int64_t from = std::min({choices.firstDay, choices.lastDay, DayOf(first), DayOf(last)});
    const int64_t to = std::max({choices.firstDay, choices.lastDay, DayOf(first), DayOf(last)});
    choices.firstDay = from;
    choices.lastDay = to;
    return choices;
}

ArchiveFilter FilterOf(const HistoryChoices& choices) {
    ArchiveFilter filter;
    filter.from = std::min(choices.firstDay, choices.lastDay);
    filter.until = std::max(choices.firstDay, choices.lastDay) + SECONDS_PER_DAY;
    filter.standard = choices.standard;
    filter.user = choices.user;
    filter.openOnly = choices.openOnly;
    const bool all = std::all_of(choices.verdicts.begin(), choices.verdicts.end(),
                                 [](bool ticked) { return ticked; });
    if (!all) {
        filter.verdicts = 0;
        for (size_t i = 0; i < choices.verdicts.size(); ++i)
            if (choices.verdicts[i]) filter.verdicts |= VerdictBit(kTicked[i]);
    }
    return filter;
}

std::string FillNumbered(const std::string& text, const std::vector<std::string>& values) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool mark =
            text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9';
        const size_t value = mark ? static_cast<size_t>(text[i + 1] - '1') : 0;
        if (mark && value < values.size()) {
            out += values[value];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string SummaryText(const HistoryTexts& texts, const VerdictCounts& counts) {
    const int64_t total = counts.Total();
    if (total == 0) return texts.nothing;
    std::vector<std::string> values{GroupedNumber(total)};
    for (const Verdict verdict : kTicked) {
        values.push_back(GroupedNumber(counts.Of(verdict)));
        values.push_back(ShareText(counts.Of(verdict), total));
    }
    std::string text = FillNumbered(texts.summary, values);
    if (counts.none > 0) text += FillNumbered(texts.summaryNone, {GroupedNumber(counts.none)});
    return text;
}

std::optional<size_t> RowOfMark(const ChartModel& model, const ChartMark& mark) {
    if (mark.series >= model.series.size()) return std::nullopt;
    const std::vector<ChartSample>& samples = model.series[mark.series].samples;
    if (mark.sample >= samples.size() || !samples[mark.sample].rowId) return std::nullopt;
    return static_cast<size_t>(*samples[mark.sample].rowId);
}

// The archive may have new rows: what is held of it is read anew too.
ArchiveStatus HistoryModel::LoadNames() {
    m_cache.Forget();
    return LoadFilterChoices(m_archive, m_names);
}

// One pass over the period's rows, held from the last pass when it lies within its period, gives
// the rows, their counts and the chart's buckets.
ArchiveStatus HistoryModel::Query(const HistoryChoices& choices, int chartColumns) {
    m_filter = FilterOf(choices);
    m_pages.clear();
    ForgetCells();
    m_chart.clear();
    const int columns = std::max(1, chartColumns);
    const int64_t from = ChartFrom(), to = ChartTo();
    m_history = {};
    m_open = 0;
    ArchiveStatus status =
        m_cache.Load(m_archive, m_filter, from, BucketSeconds(from, to, columns), m_history);
    if (status) status = OpenResults(m_archive, m_filter, m_history, m_open);
    if (!status) return status;
    if (ChartsSingleRows(m_history.list.Size(), columns)) return LoadChartRows();
    m_chart = SeriesOfBuckets(m_history.buckets);
    return status;
}

bool ChartsSingleRows(size_t rows, int chartColumns) {
    return rows <= static_cast<size_t>(std::max(1, chartColumns) / kColumnsPerSingleRow);
}

// Many rows: the sums per bucket of time, a series per standard.
std::vector<ChartSeries> SeriesOfBuckets(const std::vector<ChartBucket>& buckets) {
    std::map<std::string, ChartSeries> byName;
    for (const ChartBucket& bucket : buckets) {
        ChartSeries& series = byName[bucket.standard];
        series.name = bucket.standard.empty() ? NO_STANDARD_TEXT : bucket.standard;
        series.safetyIndex = bucket.safetyIndex;
        series.dangerIndex = bucket.dangerIndex;
        series.samples.push_back(bucket.sample);
    }
    std::vector<ChartSeries> chart;
    for (auto& [name, series] : byName) chart.push_back(std::move(series));
    return chart;
}

// Few rows: each is a point of its standard's series, in time order, that knows its row.
std::vector<ChartSeries> SeriesOfRows(const std::vector<Measurement>& rows) {
    std::map<std::string, ChartSeries> byName;
    for (size_t index = rows.size(); index-- > 0;) {
        const Measurement& row = rows[index];
        const std::optional<int64_t> time = SecondsFromTimeText(row.measuredAt);
        if (!time) continue;
        ChartSeries& series = byName[row.standardName];
        series.name = row.standardName.empty() ? NO_STANDARD_TEXT : row.standardName;
        series.safetyIndex = row.safetyIndex;
        series.dangerIndex = row.dangerIndex;
        series.samples.push_back(
            SampleOf(*time, row.value, row.verdict, static_cast<int64_t>(index)));
    }
    std::vector<ChartSeries> chart;
    for (auto& [name, series] : byName) chart.push_back(std::move(series));
    return chart;
}

ArchiveStatus HistoryModel::LoadChartRows() {
    std::vector<Measurement> rows;
    const ArchiveStatus status = m_history.list.Page(m_archive, 0, m_history.list.Size(), rows);
    if (status) m_chart = SeriesOfRows(rows);
    return status;
}

ArchiveStatus HistoryModel::ReadPage(size_t first, Page& page) {
    page.first = first;
    page.actions.clear();
    const ArchiveStatus status = m_history.list.Page(m_archive, first, kPageRows, page.rows);
    page.actions.resize(page.rows.size());
    return status;
}

HistoryModel::Page* HistoryModel::PageHolding(size_t index) {
    if (index >= m_history.list.Size()) return nullptr;
    const size_t first = index - index % kPageRows;
    for (Page& page : m_pages) {
        if (page.first == first) {
            page.used = ++m_clock;
            return &page;
        }
    }
    if (m_pages.size() < kPagesHeld) {
        m_pages.emplace_back();
    } else {
        std::iter_swap(
            std::min_element(m_pages.begin(), m_pages.end(),
                             [](const Page& a, const Page& b) { return a.used < b.used; }),
            m_pages.end() - 1);
    }
    Page& page = m_pages.back();
    if (!ReadPage(first, page)) {
        m_pages.pop_back();
        return nullptr;
    }
    page.used = ++m_clock;
    return &page;
}

const Measurement* HistoryModel::Row(size_t index) {
    Page* page = PageHolding(index);
    if (!page || index - page->first >= page->rows.size()) return nullptr;
    return &page->rows[index - page->first];
}

void HistoryModel::Hint(size_t first, size_t last) {
    for (size_t index = first - first % kPageRows; index <= last && index < m_history.list.Size();
         index += kPageRows)
        PageHolding(index);
}

std::string HistoryView::Cell(size_t index, int column) {
    if (column < 1 || column > RECORD_CELLS) return {};
    if (m_cellsRow != index) {
        const Measurement* row = Row(index);
        if (!row) return {};
        m_writer.Write(*row, static_cast<long long>(index) + 1, m_cells);
        m_cellsRow = index;
    }
    return m_cells[static_cast<size_t>(column - 1)];
}

const ActionState* HistoryModel::ActionOf(size_t index) {
    Page* page = PageHolding(index);
    if (!page || index - page->first >= page->rows.size()) return nullptr;
    std::optional<ActionState>& state = page->actions[index - page->first];
    if (!state) {
        ActionState read;
        if (!LoadActionState(m_archive, page->rows[index - page->first], m_retestWindow, read))
            return nullptr;
        state = std::move(read);
    }
    return &*state;
}

std::string HistoryView::ActionCell(const HistoryTexts& texts, size_t index) {
    const ActionState* state = ActionOf(index);
    if (!state) return {};
    if (state->action) return state->action->text.substr(0, state->action->text.find('\n'));
    if (!state->open) return {};
    if (!state->retest) return texts.actionOpen;
    const std::string& at = state->retest->measuredAt;
    return texts.actionOpen + " · " +
           FillNumbered(texts.retest, {VerdictText(state->retest->verdict),
                                       at.size() >= 16 ? at.substr(11, 5) : at});
}

ArchiveStatus HistoryModel::RecordAction(size_t index, const CorrectiveAction& action) {
    const ActionState* before = ActionOf(index);
    const Measurement* row = Row(index);
    if (!before || !row) return {ArchiveCause::Unknown, "the row cannot be read"};
    const bool wasOpen = before->open;
    const ArchiveStatus status = ::RecordAction(m_archive, *row, action);
    if (!status) return status;
    Page* page = PageHolding(index);
    page->actions[index - page->first].reset();  // read again, as the archive now has it
    if (wasOpen && m_open > 0) --m_open;
    return status;
}

std::string HistoryModel::Summary(const HistoryTexts& texts) const {
    std::string text = SummaryText(texts, m_history.counts);
    if (m_history.counts.Total() > 0)
        text += FillNumbered(texts.summaryOpen, {GroupedNumber(static_cast<int64_t>(m_open))});
    return text;
}

std::string HistoryView::HoverText(const HistoryTexts& texts, const ChartModel& model,
                                   const ChartMark& mark) {
    if (mark.series >= model.series.size()) return {};
    const ChartSeries& series = model.series[mark.series];
    if (mark.sample >= series.samples.size()) return {};
    const ChartSample& sample = series.samples[mark.sample];
    if (const std::optional<size_t> index = RowOfMark(model, mark)) {
        if (const Measurement* row = Row(*index))
            return FillNumbered(texts.hoverRow,
                                {std::to_string(*index + 1), TwelveHourText(sample.from),
                                 NameOrDash(row->userName), NameOrDash(row->standardName),
                                 GroupedNumber(row->value), VerdictText(row->verdict)});
    }
    return FillNumbered(
        texts.hoverBucket,
        {TimeText(sample.from), TimeText(sample.to), series.name, GroupedNumber(sample.count),
         GroupedNumber(sample.minValue), GroupedNumber(sample.maxValue),
         GroupedNumber(sample.verdicts.caution), GroupedNumber(sample.verdicts.contaminated)});
}
