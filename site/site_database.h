// The site archive: one table on the site's database server, reached through ODBC, that every
// PC's archive flows into. Its columns are those of the archive's view `measurements` plus the
// PC and the Windows user the row came from, and the measurement's identity as the local archive
// dedups it, under a unique constraint: a row pushed twice, by one PC or two, is stored once.
// The table of version 2 (made when missing) keeps times as timestamps, a key of its own, the
// time the server received a row, and the identity as a hash; the table of version 1 (texts,
// `identity_key`) is pushed to as it is until IT migrates it. Every value bound; where the
// engines differ, site/site_dialect says; documented in docs/archive.md.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_query.h"
#include "site/site_dialect.h"
#include "site/site_engine.h"
#include "site/site_setting.h"

class OdbcConnection;
class OdbcStatement;

constexpr char SITE_TABLE[] = "ombrix_measurements";
// How long a connection may take to be made, and a statement to be answered.
constexpr int SITE_TIMEOUT_SECONDS = 20;
// Rows a query of the site's rows returns at most: what the driver and this PC hold at once.
constexpr size_t SITE_ROWS_PER_PAGE = 10000;

struct SiteStatus {
    enum Kind { None, Unreachable, Refused } kind = None;
    std::string diagnostic;  // the driver's words, secrets masked
    explicit operator bool() const { return kind == None; }
};

// The identity as one text: time, value, user name, ID1, ID2 and standard name, each cell
// empty where the record list leaves it empty (so that two such cells are equal), '|' between
// them and '\' before a '|' or '\' within a name.
std::string SiteIdentityKey(const Measurement& row);
// The identity in the table of version 2: SHA-256 of the identity's text (UTF-8), 64 lower-case
// hexadecimal digits, the same whatever the server's collation; empty when the platform's
// SHA-256 fails.
std::string SiteIdentityHash(const Measurement& row);

struct PushCount {
    size_t pushed = 0;   // stored by this push
    size_t already = 0;  // found there, stored by an earlier push or another PC
};

// A row of a batch that the server refuses for its content, with the server's words.
struct SiteRefusal {
    size_t index = 0;  // in the batch
    std::string reason;
};

// The rows of the site a filter chooses; `pc` one computer's, when given.
struct SiteFilter {
    ArchiveFilter history;
    std::optional<std::string> pc;
};

// A row's place in the site's order of rows: its measured time, and its key that tells rows of
// one time apart (the table's `id`, or in today's table the identity's text).
struct SiteRowKey {
    std::string measuredAt, key;
};
struct SiteListRow {
    Measurement row;
    SiteRowKey key;
};
// Where a stretch of rows begins in the filter's order (newest first): after the row `after`,
// or before it with `newer` (then read oldest first), and `skip` rows further on.
struct SiteListStart {
    std::optional<SiteRowKey> after;
    bool newer = false;
    size_t skip = 0;
};

class SiteDatabase {
public:
    // Connects and makes sure the table is there: created when missing, and taken as it is when
    // another PC made it first, even meanwhile.
    static std::unique_ptr<SiteDatabase> Open(const std::string& connection, SiteStatus& status);
    ~SiteDatabase();

    // Stores the rows the table lacks, all in one transaction: a failure keeps none of them.
    // Another PC storing some of them at the same moment makes it try again. Rows the server
    // refuses for their content are found by halving the batch, and every other row is stored;
    // a batch refused whole is the table's fault, not its rows': a failure, the rows kept.
    SiteStatus Store(const std::vector<Measurement>& rows, const PcIdentity& from, PushCount& count,
                     std::vector<SiteRefusal>& refused);

    // Every row of the filter in time order (ties in the order the server received them), read
    // a page of at most SITE_ROWS_PER_PAGE rows at a time after the last row of the page before
    // (keyset paging), so that neither this PC nor the driver ever holds more than a page;
    // `visit` returns false to stop.
    SiteStatus ForEach(const SiteFilter& filter,
                       const std::function<bool(const Measurement&)>& visit, RowOrder order);
    // The rows of the filter counted on the server (GROUP BY): per bucket of `width` seconds
    // counted from `origin` (the filter's rows none earlier) and standard, in time order and by
    // name within a bucket, as the local archive's ChartBuckets gives them.
    SiteStatus CountBuckets(const SiteFilter& filter, int64_t origin, int64_t width,
                            std::vector<ChartBucket>& buckets);
    // The sources (ports, files) the filter's rows came from, sorted; "" for rows without one.
    SiteStatus Sources(const SiteFilter& filter, std::vector<std::string>& sources);
    // From any thread: the query running now is stopped on the server, and it and every later
    // one of this site fail: for a query the operator has replaced by another.
    void Cancel();
    // The first and last time measured under the filter; `any` false when none is.
    SiteStatus MeasuredSpan(const SiteFilter& filter, bool& any, int64_t& first, int64_t& last);
    // At most `count` rows of the filter from `start` on, newest first (oldest first when
    // `start.newer`), each with its place: one statement, one page (keyset, or a skip within a
    // bucket of time for a jump), so that a list reads only the rows it shows.
    SiteStatus ReadList(const SiteFilter& filter, const SiteListStart& start, size_t count,
                        std::vector<SiteListRow>& rows);
    // The standard and user names of the filter's rows, sorted, counted by the server in one
    // GROUP BY; rows without one add no name.
    SiteStatus Names(const SiteFilter& filter, FilterChoices& names);

private:
    explicit SiteDatabase(std::unique_ptr<OdbcConnection> connection);
    bool EnsureTable(SiteStatus& status);
    // The table there, and which version it is.
    bool Recognised();
    const char* IdentityColumn() const;
    // The column that tells rows of one time apart in a page's key: the key, or in today's
    // table (which has none) the identity.
    const char* RowKeyColumn() const { return m_version == 1 ? "identity_key" : "id"; }
    // The measured time in seconds since 1970, as the server computes it.
    std::string MeasuredSeconds() const;
    // A time parameter's marker: a text where the table keeps texts, cast where timestamps.
    std::string TimeMarkerOfTable() const;
    // One transaction: `lookUpFirst` leaves out the rows the table holds, otherwise a row it
    // holds fails the whole.
    bool StoreOnce(const Measurement* rows, size_t size, const PcIdentity& from, bool lookUpFirst,
                   PushCount& count);
    // StoreOnce until it succeeds or fails for good; `fault` says what the failure means.
    SiteStatus StoreAttempts(const Measurement* rows, size_t size, const PcIdentity& from,
                             PushCount& count, SiteFault& fault);
    // The rows from `first` on, halved while the server refuses some of them.
    SiteStatus StoreSplitting(const std::vector<Measurement>& rows, size_t first, size_t size,
                              const PcIdentity& from, PushCount& count,
                              std::vector<SiteRefusal>& refused);
    bool ExistingKeys(const std::vector<std::string>& keys, std::vector<bool>& existing);
    bool Insert(const std::vector<const Measurement*>& rows,
                const std::vector<const std::string*>& keys, const PcIdentity& from);
    // A statement of the site's, prepared once for each number of rows it takes.
    OdbcStatement* Cached(std::map<size_t, std::unique_ptr<OdbcStatement>>& cache, size_t rows,
                          const std::string& sql, size_t parameters);
    // Rows past a row's place in the order: its time bounds the index's range, its key tells
    // ties apart; three markers, bound by BindPlace.
    std::string PlaceTerm(bool newestFirst) const;
    void BindPlace(OdbcStatement& statement, size_t before, const SiteRowKey& place) const;
    // The distinct values of `column` among the filter's rows, sorted; "" for rows without one.
    SiteStatus Distinct(const SiteFilter& filter, const char* column,
                        std::vector<std::string>& values);
    // The driver's words for the last failure, or that it was cancelled.
    SiteStatus Refused() const;
    SiteStatus Cancelled() const;

    std::unique_ptr<OdbcConnection> m_connection;
    SiteEngine m_engine = SiteEngine::Other;
    const SiteDialect* m_dialect = nullptr;
    // 1: today's table (times as texts, identity_key); 2: timestamps, a key, identity_hash.
    int m_version = 2;
    std::map<size_t, std::unique_ptr<OdbcStatement>> m_selects, m_inserts;
    std::atomic<bool> m_cancelled{false};
};
