// Times what the history window's "사이트 전체" needs of a period before it can show anything: its
// chart, its counts and the first rows of its list; then a jump to the middle of the list (the
// scroll thumb dragged) and to its end. Two ways, each in a process of its own so that its memory
// is its own: the site's rows of the period copied into an archive in memory and counted there
// (the window's way before the server counted; kept here to compare), or the window's model of
// today (history/site_history_model.h): counted by the server on its thread, a page read as the
// table asks. Not a test: it prints figures.
//
//   site_view_bench copy|count CONNECTION_FILE FIRST_DAY LAST_DAY
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>

#include "history/site_history_model.h"
#include "measurement/chart_sample.h"
#include "tests/support/process_stats.h"
#include "tests/support/site_results.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kFirstRows = 50;  // a screenful of the list
constexpr int kChartColumns = 1000;
constexpr size_t kRowsPerBatch = 20000;  // the copy's batch, in one transaction

struct Shown {
    VerdictCounts counts;
    size_t series = 0, rows = 0, held = 0;
    double jumps = 0;  // seconds to the middle row and then the last
    double first = 0;  // seconds from the start to the first rows and the chart
    double names = 0;  // and to the filters' names
};

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class HeldRows : public MeasurementFeed {
public:
    explicit HeldRows(std::vector<Measurement>& rows) : m_rows(rows) {}
    Step Next(Measurement& row) override {
        if (m_at == m_rows.size()) return End;
        row = std::move(m_rows[m_at++]);
        return Row;
    }

private:
    std::vector<Measurement>& m_rows;
    size_t m_at = 0;
};

// The window's way before: every row of the period into an archive in memory, a batch per source.
bool CopiedAndCounted(const std::string& connection, const HistoryChoices& choices, Shown& shown) {
    const Clock::time_point started = Clock::now();
    SiteStatus status;
    const auto site = SiteDatabase::Open(connection, status);
    ArchiveStatus opened;
    const auto view = Archive::Open(":memory:", opened);
    if (!site || !view) return false;
    std::map<std::string, std::vector<Measurement>> held;
    const auto flush = [&](const std::string& source, std::vector<Measurement>& rows) {
        HeldRows feed(rows);
        BatchCount count;
        const bool added = bool(view->AddBatch(source, feed, count));
        rows.clear();
        return added;
    };
    SiteFilter filter;
    filter.history = FilterOf(choices);
    if (!site->ForEach(
            filter,
            [&](const Measurement& row) {
                std::vector<Measurement>& rows = held[row.source];
                rows.push_back(row);
                return rows.size() < kRowsPerBatch || flush(row.source, rows);
            },
            RowOrder::OldestFirst))
        return false;
    for (auto& [source, rows] : held)
        if (!rows.empty() && !flush(source, rows)) return false;
    HistoryModel model(*view);
    if (!model.LoadNames() || !model.Query(choices, kChartColumns)) return false;
    shown.first = shown.names = Since(started);
    for (size_t i = 0; i < kFirstRows && model.Row(i); ++i) ++shown.rows;
    shown.counts = model.Counts();
    shown.series = model.Chart().size();
    const Clock::time_point jumped = Clock::now();
    model.Row(model.RowCount() / 2);
    model.Row(model.RowCount() - 1);
    shown.jumps = Since(jumped);
    shown.held = model.RowCount();
    return true;
}

// The window's way now, waiting for each result as the window would for its message.
bool CountedByServer(const std::string& connection, const HistoryChoices& choices, Shown& shown) {
    const Clock::time_point started = Clock::now();
    SiteResults results;
    SiteHistoryModel model(connection, results.Arrived());
    model.Query(choices, kChartColumns);
    if (!results.Until(model, [&] { return model.Counted(); })) return false;
    if (model.RowCount() == 0) return true;
    model.Hint(0, kFirstRows - 1);
    if (!results.Row(model, 0)) return false;
    shown.first = Since(started);
    for (size_t i = 0; i < kFirstRows && model.Row(i); ++i) ++shown.rows;
    shown.counts = model.Counts();
    shown.series = model.Chart().size();
    const Clock::time_point jumped = Clock::now();
    for (const size_t row : {model.RowCount() / 2, model.RowCount() - 1})
        if (!results.Row(model, row)) return false;
    shown.jumps = Since(jumped);
    shown.held = model.RowsHeld();
    // The filters' names, read beside the pages.
    if (!results.Until(model, [&] { return model.NamesOfPeriod(); })) return false;
    shown.names = Since(started);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5 || (std::strcmp(argv[1], "copy") != 0 && std::strcmp(argv[1], "count") != 0)) {
        std::fprintf(stderr,
                     "usage: site_view_bench copy|count CONNECTION_FILE FIRST_DAY LAST_DAY\n");
        return 2;
    }
    const bool copy = std::strcmp(argv[1], "copy") == 0;
    ArchiveFilter days;
    if (!SetFilterDays(argv[3], argv[4], days)) return 2;
    HistoryChoices choices;
    choices.firstDay = *days.from;
    choices.lastDay = *days.until - SECONDS_PER_DAY;
    // The connection string from a file of one line: its password never on a command line.
    std::string connection;
    std::getline(std::ifstream(argv[2]), connection);
    const double memoryBefore = ProcessMemoryMiB();
    Shown shown;
    if (!(copy ? CopiedAndCounted : CountedByServer)(connection, choices, shown)) {
        std::fprintf(stderr, "site_view_bench: the site could not be read\n");
        return 1;
    }
    std::printf(
        "%s %s to %s: %lld rows, %zu series, first %zu rows and the chart in %.2f s, "
        "middle and last row in %.2f s more, %zu rows held, +%.0f MiB; the filters' names "
        "after %.2f s\n",
        copy ? "copied into memory and counted there (before)"
             : "counted by the server, paged as shown (after)",
        argv[3], argv[4], static_cast<long long>(shown.counts.Total()), shown.series, shown.rows,
        shown.first, shown.jumps, shown.held, ProcessMemoryMiB() - memoryBefore, shown.names);
    return 0;
}
