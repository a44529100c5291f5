// The site archive: one table on the site's database server, reached through ODBC, that every
// PC's archive flows into. Its columns are those of the archive's view `measurements` plus the
// PC and the Windows user the row came from, and the measurement's identity as the local archive
// dedups it, under a unique constraint: a row pushed twice, by one PC or two, is stored once.
// The table of version 2 (made when missing) keeps times as timestamps, a key of its own, the
// time the server received a row, and the identity as a hash; the table of version 1 (texts,
// `identity_key`) is pushed to as it is until IT migrates it. Beside it, ombrix_actions keeps
// every version of every PC's corrective actions by the measurement's hash. Every value bound;
// where the engines differ, site/site_dialect says; documented in docs/archive.md.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "archive/archive_actions.h"
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

// A version of a corrective action as the site keeps it: the measurement's identity hash (as
// SiteIdentityHash gives it) and what was recorded, when and by whom.
struct SiteAction {
    std::string identityHash;
    CorrectiveAction action;
};

// The rows of the site a filter chooses; `pc` one computer's, when given. Its `openOnly` keeps
// the 주의 and 오염 results without an action on the site.
struct SiteFilter {
    ArchiveFilter history;
    std::optional<std::string> pc;
};

// A row as the site read it, with its identity hash (computed here from a table of version 1's
// identity text, which the hash is of).
using SiteRowVisit = std::function<bool(const Measurement& row, const std::string& identityHash)>;
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

    // Stores the versions of corrective actions that ombrix_actions lacks, as Store stores rows
    // (duplicates already there, refused ones found by halving); the table is made when
    // missing, and a server that refuses to make it fails here with its words, whatever the
    // measurements' table. Pushed to a table of version 1 too: the hash is of the identity text
    // it keeps, and its migration computes the same.
    SiteStatus StoreActions(const std::vector<SiteAction>& versions, const PcIdentity& from,
                            PushCount& count, std::vector<SiteRefusal>& refused);
    // Whether the site's actions can be told for its rows: ombrix_actions there, beside a table
    // of version 2 (a table of version 1 has no hash to join them on).
    bool KnowsActions();
    // Of the filter's rows, the 주의 and 오염 results with an action on the site, counted on the
    // server (those that ask for one are the buckets' counts).
    SiteStatus CountAnswered(const SiteFilter& filter, size_t& answered);
    // The latest version on the site (the latest recorded, then the last received) of the
    // action on each measurement of `hashes` that has one; none where the site keeps none.
    SiteStatus LatestActions(const std::vector<std::string>& hashes,
                             std::map<std::string, CorrectiveAction>& latest);

    // Every row of the filter in time order (ties in the order the server received them), read
    // a page of at most SITE_ROWS_PER_PAGE rows at a time after the last row of the page before
    // (keyset paging), so that neither this PC nor the driver ever holds more than a page;
    // `visit` returns false to stop.
    SiteStatus ForEach(const SiteFilter& filter,
                       const std::function<bool(const Measurement&)>& visit, RowOrder order);
    // The same with each row's identity hash.
    SiteStatus ForEach(const SiteFilter& filter, const SiteRowVisit& visit, RowOrder order);
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
    // One transaction that stores the items [first, first + size) of a batch; `lookUpFirst`
    // leaves out those the table holds, otherwise one it holds fails the whole.
    using StoreRange =
        std::function<bool(size_t first, size_t size, bool lookUpFirst, PushCount& count)>;
    // A batch of `size` items, stored as Store says.
    SiteStatus StoreBatch(const StoreRange& store, size_t size, PushCount& count,
                          std::vector<SiteRefusal>& refused);
    // `store` until it succeeds or fails for good; `fault` says what the failure means.
    SiteStatus StoreAttempts(const StoreRange& store, size_t first, size_t size, PushCount& count,
                             SiteFault& fault);
    // The items from `first` on, halved while the server refuses some of them.
    SiteStatus StoreSplitting(const StoreRange& store, size_t first, size_t size, PushCount& count,
                              std::vector<SiteRefusal>& refused);
    bool StoreOnce(const Measurement* rows, size_t size, const PcIdentity& from, bool lookUpFirst,
                   PushCount& count);
    bool StoreActionsOnce(const SiteAction* versions, size_t size, const PcIdentity& from,
                          bool lookUpFirst, PushCount& count);
    bool EnsureActionsTable(SiteStatus& status);
    // ombrix_hourly_counts there beside a table of version 2: looked at again until it is, and
    // after any push that failed (IT may have dropped it to build it anew).
    bool CountsTable();
    // Within a push's transaction: whether the hourly counts are kept; false when the server
    // could not tell.
    bool KeepsCounts(bool& keeps);
    // Looks by `sql` (a ColumnThere query) whether a table is there: false when the server could
    // not tell.
    bool LookFor(const std::string& sql, std::optional<bool>& there);
    // The rows just inserted added to the hourly counts, where the table has them: within the
    // transaction that inserted them, looked at after the insert so that IT's building of the
    // table (which holds back inserts) either counts the rows or is there to be added to.
    bool AddCounts(const std::vector<const Measurement*>& rows,
                   const std::vector<const std::string*>& keys);
    // Of `hashes`, those with an action on the site, added to `found`.
    bool Answered(const std::vector<std::string>& hashes, std::set<std::string>& found);
    // An hourly count's key: hour_at, standard_name, verdict, source.
    using HourKey = std::tuple<std::string, std::string, std::string, std::string>;
    // The rows of `hashes` on the site, each with its hourly count's key, and those counts
    // locked for this transaction.
    bool LockCounts(const std::vector<std::string>& hashes,
                    std::map<std::string, HourKey>& measured);
    void BindHour(OdbcStatement& statement, size_t first, const HourKey& hour);
    // The rows of `hashes`, just answered, added to the answered of their hours' counts.
    bool AddAnswered(const std::vector<std::string>& hashes,
                     const std::map<std::string, HourKey>& measured);
    // The filter's 주의 and 오염 rows with an action, counted from the rows.
    SiteStatus AnsweredRows(const SiteFilter& filter, size_t& answered);
    // The one number `sql` gives, its markers' `values` bound.
    SiteStatus SumOf(const std::string& sql, const std::vector<std::optional<std::string>>& values,
                     size_t& sum);
    // Whether the hourly counts can count the filter's rows: none of a user, a PC or open
    // results alone, which they do not tell apart.
    bool CountedByHours(const SiteFilter& filter);
    using CountPart = std::function<SiteStatus(const SiteFilter& part)>;
    // `rows` for the whole filter, unless the hourly counts can count it (and `hoursFit`, where
    // the caller's buckets must hold whole hours): then `hours` for its whole hours and `rows`
    // for the seconds before and after them.
    SiteStatus ByHours(const SiteFilter& filter, bool hoursFit, const CountPart& hours,
                       const CountPart& rows);
    using CountedBuckets = std::map<std::pair<int64_t, std::string>, ChartBucket>;
    // The rows of the filter counted per bucket and standard into `counted`: from every row, or
    // from the hourly counts of [hoursFrom, hoursUntil) (unbounded where none).
    SiteStatus CountRows(const SiteFilter& filter, int64_t origin, int64_t width,
                         CountedBuckets& counted);
    SiteStatus CountHours(const SiteFilter& filter, int64_t origin, int64_t width,
                          CountedBuckets& counted);
    SiteStatus ReadCounts(OdbcStatement& select, int64_t origin, int64_t width,
                          CountedBuckets& counted);
    // The condition an open result meets, for a filter of open results only: 주의 or 오염, and
    // no action where the site knows them.
    std::string OpenCondition(const SiteFilter& filter);
    bool ActionsTable();
    // The query that tells whether ombrix_actions is there, without failing a transaction.
    std::string ActionsThere() const;
    // The rows `select` + " IN (?, ...)" finds for `keys`, each row's `columns` joined by '|'.
    // Each row `select` + " IN (?, ...)" + `after` finds for `keys`, its `columns` ("" for
    // NULL).
    bool FoundRows(std::map<size_t, std::unique_ptr<OdbcStatement>>& cache,
                   const std::string& select, int columns, const std::vector<std::string>& keys,
                   const std::function<void(std::vector<std::string>& row)>& visit,
                   const char* after = "");
    bool Found(std::map<size_t, std::unique_ptr<OdbcStatement>>& cache, const std::string& select,
               int columns, const std::vector<std::string>& keys, std::set<std::string>& found,
               const char* after = "");
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
    // The first column of the statement's rows, executed here, added to `found` ("" for NULL).
    SiteStatus ReadTexts(OdbcStatement& select, std::set<std::string>& found);
    // The driver's words for the last failure, or that it was cancelled.
    SiteStatus Refused() const;
    SiteStatus Cancelled() const;

    std::unique_ptr<OdbcConnection> m_connection;
    SiteEngine m_engine = SiteEngine::Other;
    const SiteDialect* m_dialect = nullptr;
    // 1: today's table (times as texts, identity_key); 2: timestamps, a key, identity_hash.
    int m_version = 2;
    std::map<size_t, std::unique_ptr<OdbcStatement>> m_selects, m_inserts;
    std::map<size_t, std::unique_ptr<OdbcStatement>> m_actionSelects, m_actionInserts,
        m_latestSelects;
    std::optional<bool> m_actionsTable;  // ombrix_actions there: known once looked at
    std::optional<bool> m_countsTable;   // ombrix_hourly_counts there: known once it is
    std::map<size_t, std::unique_ptr<OdbcStatement>> m_countInserts, m_answeredSelects,
        m_measuredSelects;
    std::unique_ptr<OdbcStatement> m_countsLock, m_answeredUpdate;
    std::atomic<bool> m_cancelled{false};
};
