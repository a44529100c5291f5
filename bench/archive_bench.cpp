// Times the measurement archive on a year of made-up measurements, as the console program and
// the history window use it: the import of a record CSV of them, the bytes a record takes, the
// archiving of a 65535-record read, and what the history window asks when it opens and when a
// filter changes, with the memory it holds. Not a test: it prints figures next to their budget.
//
//   archive_bench import COUNT FOLDER [FIRST_DAY LAST_DAY]
//                                        the record CSV, its import and a read's archiving
//   archive_bench history FOLDER        the history over that archive, in a process of its own
//                                        so that its memory is its own
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "archive/archive_actions.h"
#include "archive/archive_backup.h"
#include "archive/archive_file.h"
#include "archive/archive_query.h"
#include "measurement/time_text.h"
#include "records/record_cells.h"
#include "records/record_import.h"
#include "report/report.h"
#include "tests/support/process_stats.h"
#include "tests/synthetic_history.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kReadRecords = 65535;
constexpr size_t kPageRows = 50;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

const char* Within(bool within) { return within ? "within" : "OVER"; }

// The record CSV of the plan, as the window writes it; the number of rows.
size_t WriteRecordCsv(const SyntheticPlan& plan, const std::string& path) {
    std::ofstream file(std::filesystem::u8path(path), std::ios::binary);
    RecordCellWriter writer(CellEncoding::Korean);
    RecordCells cells;
    file << RecordCsvHeader(CellEncoding::Korean);
    size_t rows = 0;
    ForEachSyntheticMeasurement(plan, [&](const Measurement& row) {
        writer.Write(row, static_cast<long long>(++rows), cells);
        file << RecordCsvLine(cells);
    });
    return rows;
}

// A read's rows as the record list holds them (code page 949 cells), read back as the window
// reads them when it archives.
class ReadFeed : public MeasurementFeed {
public:
    explicit ReadFeed(std::vector<RecordCells> rows) : m_rows(std::move(rows)) {}
    Step Next(Measurement& row) override {
        if (m_at == m_rows.size()) return End;
        row = Measurement{};
        m_reader.Read(m_rows[m_at++], row);
        row.userNo = 1;
        row.standardNo = 1;
        return Row;
    }

private:
    std::vector<RecordCells> m_rows;
    RecordCellReader m_reader{CellEncoding::Korean};
    size_t m_at = 0;
};

std::vector<RecordCells> ReadRows(const std::string& from, const std::string& to) {
    SyntheticPlan plan;
    plan.from = from;
    plan.to = to;
    plan.count = kReadRecords;
    plan.seed = 7;
    std::vector<RecordCells> rows;
    RecordCellWriter writer(CellEncoding::Korean);
    ForEachSyntheticMeasurement(plan, [&](const Measurement& m) {
        rows.emplace_back();
        writer.Write(m, static_cast<long long>(rows.size()), rows.back());
    });
    return rows;
}

void TimeReadArchiving(const std::string& path, const char* what) {
    ReadFeed feed(ReadRows("2026-01-01", "2026-01-31"));
    BatchCount count;
    const auto start = Clock::now();
    ArchiveFile archive(path);
    const ArchiveStatus status = archive.Keep("COM3", feed, count);
    const double seconds = SecondsSince(start);
    std::printf("archiving a read of %zu records %s: %.2f s, %zu new (budget 0.5 s: %s)%s\n",
                count.rows, what, seconds, count.added, Within(seconds <= 0.5),
                status ? "" : " FAILED");
}

// What the history window does when it opens or a filter changes: the filter choices, then in
// one pass the rows' ids newest first, the counts per verdict and the chart's buckets, and the
// list's first page.
double ShowHistory(Archive& archive, const ArchiveFilter& filter, FilteredView& view) {
    const auto start = Clock::now();
    FilterChoices choices;
    LoadFilterChoices(archive, choices);
    const int64_t from = filter.from.value_or(0);
    const int64_t until = filter.until.value_or(from + 366 * SECONDS_PER_DAY);
    LoadFiltered(archive, filter, from, ReportBucketSeconds(from, until), view);
    std::vector<Measurement> page;
    view.list.Page(archive, 0, kPageRows, page);
    return SecondsSince(start);
}

// What the history window does when its first day is typed back a year: its period cache holds
// the last 30 days, and the wider period is read and shown.
double WidenToYear(Archive& archive) {
    PeriodCache cache;
    FilteredView view;
    ArchiveFilter month, year;
    SetFilterDays("2025-12-02", "2025-12-31", month);
    SetFilterDays("2025-01-01", "2025-12-31", year);
    cache.Load(archive, month, *month.from, ReportBucketSeconds(*month.from, *month.until), view);
    const auto start = Clock::now();
    cache.Load(archive, year, *year.from, ReportBucketSeconds(*year.from, *year.until), view);
    std::vector<Measurement> page;
    view.list.Page(archive, 0, kPageRows, page);
    return SecondsSince(start);
}

// "보관함 백업..." of the archive, then that backup imported as on a new PC (every row new) and
// back into the archive itself (none new); the copies are removed after.
void TimeBackupAndRestore(const std::filesystem::path& folder) {
    const std::string path = (folder / "archive.sqlite3").u8string();
    const std::string copy = (folder / "backup.sqlite3").u8string();
    auto start = Clock::now();
    const BackupOutcome backup = BackupArchive(path, copy, true);
    const double backupSeconds = SecondsSince(start);
    ArchiveFile restored((folder / "restored.sqlite3").u8string());
    start = Clock::now();
    const ImportOutcome intoNew = ImportRecordFile(restored, copy);
    const double newSeconds = SecondsSince(start);
    ArchiveFile itself(path);
    start = Clock::now();
    const ImportOutcome intoItself = ImportRecordFile(itself, copy);
    const double againSeconds = SecondsSince(start);
    std::printf(
        "backup of %lld rows, checked: %.1f s%s; its import into an empty archive: %.1f s, %zu "
        "new; into the archive it came from: %.1f s, %zu new\n",
        static_cast<long long>(backup.rows), backupSeconds,
        backup.kind == BackupOutcome::Done ? "" : " FAILED", newSeconds, intoNew.count.added,
        againSeconds, intoItself.count.added);
    for (const char* name :
         {"backup.sqlite3", "restored.sqlite3", "restored.sqlite3-wal", "restored.sqlite3-shm"})
        std::filesystem::remove(folder / name);
}

// The 조치 column of the list's first page and the summary's open count, as the window adds them
// to a history it has shown.
double ShowActions(Archive& archive, const ArchiveFilter& filter, const FilteredView& view) {
    const auto start = Clock::now();
    std::vector<Measurement> page;
    view.list.Page(archive, 0, kPageRows, page);
    ActionState state;
    for (const Measurement& row : page)
        LoadActionState(archive, row, DEFAULT_RETEST_WINDOW_SECONDS, state);
    size_t open = 0;
    OpenResults(archive, filter, view, open);
    return SecondsSince(start);
}

// Every other result of the period that asks for an action gets one, in one transaction, once:
// the archive then holds open and answered results.
void RecordSomeActions(Archive& archive, const ArchiveFilter& period) {
    ActionCounts counts;
    CountActions(archive, period, counts);
    if (counts.answered() > 0) return;
    std::vector<Measurement> failures;
    ArchiveFilter failed = period;
    failed.verdicts = VerdictBit(Verdict::Caution) | VerdictBit(Verdict::Contaminated);
    ForEachMeasurement(archive, failed, [&](const Measurement& row) {
        if (failures.size() % 2 == 0)
            failures.push_back(row);
        else
            failures.emplace_back();
        return true;
    });
    sqlite3_exec(archive.Handle(), "BEGIN", nullptr, nullptr, nullptr);
    for (const Measurement& row : failures)
        if (!row.measuredAt.empty()) RecordAction(archive, row, {"재세척", "bench", 0});
    sqlite3_exec(archive.Handle(), "COMMIT", nullptr, nullptr, nullptr);
}

// Before and after the 조치 column, in the same run: the window on the last 30 days, and the
// filter "미조치만" over the last 30 days and over the year.
void TimeActionColumn(Archive& archive) {
    ArchiveFilter lastMonth, year;
    SetFilterDays("2025-12-02", "2025-12-31", lastMonth);
    RecordSomeActions(archive, lastMonth);
    FilteredView view;
    const double before = ShowHistory(archive, lastMonth, view);
    const double after = before + ShowActions(archive, lastMonth, view);
    std::printf(
        "history window on the last 30 days without the 조치 column: %.3f s; with it "
        "(actions, likely retests, the open count): %.3f s (budget 1 s: %s)\n",
        before, after, Within(after <= 1));
    // As the window changes a filter: its held period answers, the few acted-on rows read anew.
    SetFilterDays("2025-01-01", "2025-12-31", year);
    for (ArchiveFilter* filter : {&lastMonth, &year}) {
        PeriodCache cache;
        const int64_t width = ReportBucketSeconds(*filter->from, *filter->until);
        cache.Load(archive, *filter, *filter->from, width, view);
        ArchiveFilter open = *filter;
        open.openOnly = true;
        const auto start = Clock::now();
        cache.Load(archive, open, *open.from, width, view);
        const double change = SecondsSince(start) + ShowActions(archive, open, view);
        std::printf("filter change to 미조치만 (%s): %zu rows in %.3f s (budget 0.3 s: %s)\n",
                    filter == &year ? "the whole year" : "the last 30 days", view.list.Size(),
                    change, Within(change <= 0.3));
    }
}

int Import(long long count, const std::filesystem::path& folder, const std::string& firstDay,
           const std::string& lastDay) {
    SyntheticPlan plan;
    plan.from = firstDay;
    plan.to = lastDay;
    plan.count = count;
    plan.sources = {"COM3"};
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string csv = (folder / "records.csv").u8string();
    const std::string path = (folder / "archive.sqlite3").u8string();

    const size_t rows = WriteRecordCsv(plan, csv);
    TimeReadArchiving((folder / "empty.sqlite3").u8string(), "into an empty archive");
    ArchiveFile file(path);
    const auto start = Clock::now();
    const ImportOutcome imported = ImportRecordFile(file, csv);
    const double seconds = SecondsSince(start);
    const double bytes =
        static_cast<double>(std::filesystem::file_size(folder / "archive.sqlite3"));
    std::printf(
        "import of a %zu-row record CSV (%.0f MB): %.1f s, %zu new (budget 15 s: %s); "
        "the archive %.0f bytes a record (budget 150: %s)\n",
        rows, static_cast<double>(std::filesystem::file_size(csv)) / 1e6, seconds,
        imported.count.added, Within(seconds <= 15), bytes / static_cast<double>(rows),
        Within(bytes / static_cast<double>(rows) <= 150));
    TimeReadArchiving(path, "into that archive");
    TimeBackupAndRestore(folder);
    return imported.kind == ImportOutcome::Kept ? 0 : 1;
}

int History(const std::filesystem::path& folder) {
    ArchiveStatus status;
    const double memoryBefore = ProcessMemoryMiB();
    auto start = Clock::now();
    auto archive = Archive::Open((folder / "archive.sqlite3").u8string(), status);
    if (!archive) return 1;
    FilteredView view;
    ArchiveFilter lastMonth;
    SetFilterDays("2025-12-02", "2025-12-31", lastMonth);
    const double opened = SecondsSince(start) + ShowHistory(*archive, lastMonth, view);
    std::printf(
        "history window opens on the last 30 days: %zu rows, first page, counts and "
        "chart in %.3f s (budget 1 s: %s)\n",
        view.list.Size(), opened, Within(opened <= 1));
    ArchiveFilter year;
    const double all = ShowHistory(*archive, year, view);
    const double memoryAfter = ProcessMemoryMiB();
    std::printf(
        "history of the whole year: %zu rows in %.3f s (budget 1 s: %s); the memory it "
        "holds +%.1f MiB (budget 60 MiB: %s)\n",
        view.list.Size(), all, Within(all <= 1), memoryAfter - memoryBefore,
        Within(memoryAfter - memoryBefore <= 60));
    const double widened = WidenToYear(*archive);
    std::printf(
        "the window's period widened from the last 30 days to the whole year: %.3f s "
        "(budget 1 s: %s)\n",
        widened, Within(widened <= 1));
    FilterChoices choices;
    LoadFilterChoices(*archive, choices);
    ArchiveFilter changed = year;
    changed.standard = choices.standards.empty() ? "" : choices.standards.front();
    changed.verdicts = VerdictBit(Verdict::Caution) | VerdictBit(Verdict::Contaminated);
    const double change = ShowHistory(*archive, changed, view);
    std::printf(
        "filter change (one standard, 주의 and 오염, the whole year): %zu rows in %.3f s "
        "(budget 0.3 s: %s)\n",
        view.list.Size(), change, Within(change <= 0.3));
    TimeActionColumn(*archive);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    // The year 2025 unless another period is given (the history window's bench takes the year
    // up to today, which its window opens on).
    if (mode == "import" && (argc == 4 || argc == 6))
        return Import(std::atoll(argv[2]), std::filesystem::u8path(argv[3]),
                      argc == 6 ? argv[4] : "2025-01-01", argc == 6 ? argv[5] : "2025-12-31");
    if (mode == "history" && argc == 3) return History(std::filesystem::u8path(argv[2]));
    std::fprintf(stderr,
                 "archive_bench import COUNT FOLDER [FIRST_DAY LAST_DAY] | "
                 "archive_bench history FOLDER\n");
    return 2;
}
