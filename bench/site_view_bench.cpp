// Times what the history window's "사이트 전체" needs of a period before it can show anything: its
// chart's buckets, its counts and the first rows of its list. Two ways, each in a process of its
// own so that its memory is its own: the site's rows of the period copied into an archive in
// memory and counted there (the window's way before the server counted), or counted by the
// server and the first page read. Not a test: it prints figures.
//
//   site_view_bench copy|count CONNECTION FIRST_DAY LAST_DAY
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "measurement/chart_sample.h"
#include "site/site_database.h"
#include "site/site_view.h"
#include "tests/support/process_stats.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kFirstRows = 50;  // a screenful of the list
constexpr int kChartColumns = 1000;

struct Shown {
    VerdictCounts counts;
    size_t buckets = 0, rows = 0;
};

// Each way sets `status` to the server's words when it fails there.
bool CountedByServer(SiteDatabase& site, const SiteFilter& filter, int64_t width, Shown& shown,
                     SiteStatus& status) {
    std::vector<ChartBucket> buckets;
    status = site.CountBuckets(filter, *filter.history.from, width, buckets);
    if (!status) return false;
    for (const ChartBucket& bucket : buckets) shown.counts += bucket.sample.verdicts;
    shown.buckets = buckets.size();
    status = site.ForEach(
        filter, [&](const Measurement&) { return ++shown.rows < kFirstRows; },
        RowOrder::NewestFirst);
    return bool(status);
}

bool CopiedAndCounted(SiteDatabase& site, const SiteFilter& filter, int64_t width, Shown& shown,
                      SiteStatus& status) {
    ArchiveStatus opened;
    const auto view = OpenSiteViewArchive(opened);
    if (!view) return false;
    const SiteViewCopy copy = CopySiteRows(site, filter, *view);
    status = copy.site;
    if (!copy) return false;
    FilteredView filtered;
    if (!LoadFiltered(*view, filter.history, *filter.history.from, width, filtered)) return false;
    std::vector<Measurement> rows;
    if (!filtered.list.Page(*view, 0, kFirstRows, rows)) return false;
    shown.counts = filtered.counts;
    shown.buckets = filtered.buckets.size();
    shown.rows = rows.size();
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
    SiteFilter filter;
    if (!SetFilterDays(argv[3], argv[4], filter.history)) return 2;
    const int64_t width = BucketSeconds(*filter.history.from, *filter.history.until, kChartColumns);
    const double memoryBefore = ProcessMemoryMiB();
    const Clock::time_point start = Clock::now();
    SiteStatus status;
    // The connection string from a file of one line: its password never on a command line.
    std::string connection;
    std::getline(std::ifstream(argv[2]), connection);
    const auto site = SiteDatabase::Open(connection, status);
    Shown shown;
    if (!site ||
        !(copy ? CopiedAndCounted : CountedByServer)(*site, filter, width, shown, status)) {
        std::fprintf(stderr, "site_view_bench: %s\n", status.diagnostic.c_str());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%s %s to %s: %lld rows, %zu buckets, first %zu rows in %.2f s, +%.0f MiB held\n",
                copy ? "copied into memory and counted there (before)"
                     : "counted by the server, first page read (after)",
                argv[3], argv[4], static_cast<long long>(shown.counts.Total()), shown.buckets,
                shown.rows, seconds, ProcessMemoryMiB() - memoryBefore);
    return 0;
}
