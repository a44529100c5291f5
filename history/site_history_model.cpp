#include "history/site_history_model.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace {

// A page is one round trip to the server: a few screens of the table.
constexpr size_t kPageRows = 200;
// Pages held: what the table shows and a little around it, however long the list.
constexpr size_t kPagesHeld = 24;

// The filter with its period alone: the names the filters offer do not depend on themselves.
SiteFilter PeriodOf(const SiteFilter& filter) {
    SiteFilter period;
    period.history.from = filter.history.from;
    period.history.until = filter.history.until;
    return period;
}

}  // namespace

// One query, shared by the window and its thread; its lock guards all below `lock`.
struct SiteQuery {
    std::string connection;
    SiteFilter filter;
    bool wantsNames = false;
    int64_t width = 1;
    int chartColumns = 1;

    struct Asked {
        size_t first = 0, count = 0;
        std::optional<SiteRowKey> previous, next;
    };
    struct Read {
        size_t first = 0;
        std::vector<SiteListRow> rows;
        SitePageActions actions;
    };

    std::mutex lock;
    std::condition_variable wake;
    SiteResultsArrived arrived;  // dropped when the query is replaced
    bool cancelled = false;
    SiteDatabase* database = nullptr;       // while open, for a cancel
    SiteDatabase* namesDatabase = nullptr;  // the names' own, likewise
    bool knowsActions = false;              // the query's thread's alone
    bool counted = false, countsTaken = false;
    bool namesRead = false, namesTaken = false;
    SiteStatus status;
    FilterChoices names;
    std::vector<ChartBucket> buckets;
    std::vector<SiteListRow> fewRows;  // all of them, when the chart shows them one by one
    std::deque<Asked> asked;
    std::vector<Read> read;
};

namespace {

// Under the query's lock.
void Tell(SiteQuery& query) {
    if (query.arrived) query.arrived();
}

void Cancel(SiteQuery& query) {
    const std::lock_guard<std::mutex> guard(query.lock);
    query.cancelled = true;
    query.arrived = nullptr;
    if (query.database) query.database->Cancel();
    if (query.namesDatabase) query.namesDatabase->Cancel();
    query.wake.notify_all();
}

// The site one of the query's threads reads (`held`), or none once it closes; false when
// cancelled meanwhile.
bool Attach(SiteQuery& query, SiteDatabase* SiteQuery::*held, SiteDatabase* database) {
    const std::lock_guard<std::mutex> guard(query.lock);
    query.*held = query.cancelled ? nullptr : database;
    return !query.cancelled;
}

// The buckets, and the rows the table shows first: every row when the chart shows them one by
// one, else the first page.
SiteStatus Count(SiteDatabase& site, SiteQuery& query, std::vector<ChartBucket>& buckets,
                 std::vector<SiteListRow>& rows) {
    SiteStatus status = site.CountBuckets(query.filter, query.filter.history.from.value_or(0),
                                          query.width, buckets);
    const size_t total = SiteRowMap(buckets, query.width).Total();
    if (status)
        status =
            site.ReadList(query.filter, {},
                          ChartsSingleRows(total, query.chartColumns) ? total : kPageRows, rows);
    return status;
}

// The site's latest action on each of `rows`, beside them: one statement a page. None when the
// site keeps no actions for its rows (no ombrix_actions, or a table of version 1), nor when the
// statement fails: the column then shows this PC's actions, as before the site kept any.
SitePageActions ActionsOf(SiteDatabase& site, const SiteQuery& query,
                          const std::vector<SiteListRow>& rows) {
    if (!query.knowsActions || rows.empty()) return std::nullopt;
    std::vector<std::string> hashes;
    hashes.reserve(rows.size());
    for (const SiteListRow& row : rows) hashes.push_back(SiteIdentityHash(row.row));
    std::map<std::string, CorrectiveAction> latest;
    if (!site.LatestActions(hashes, latest)) return std::nullopt;
    std::vector<std::optional<CorrectiveAction>> actions(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        if (const auto found = latest.find(hashes[i]); found != latest.end())
            actions[i] = found->second;
    return actions;
}

// Under the query's lock: the outcome of a statement; false when it failed.
bool Publish(SiteQuery& query, const SiteStatus& status) {
    if (!status) query.status = status;
    Tell(query);
    return bool(status);
}

// The names of the period, on a connection of their own: the server takes seconds for a year's,
// and the pages the table asks for meanwhile do not wait for them.
void RunNames(const std::shared_ptr<SiteQuery>& query) {
    SiteStatus status;
    const std::unique_ptr<SiteDatabase> site = SiteDatabase::Open(query->connection, status);
    if (site && !Attach(*query, &SiteQuery::namesDatabase, site.get())) return;
    FilterChoices names;
    if (site) status = site->Names(PeriodOf(query->filter), names);
    const std::lock_guard<std::mutex> guard(query->lock);
    query->namesDatabase = nullptr;
    if (query->cancelled) return;
    query->names = std::move(names);
    query->namesRead = true;
    Publish(*query, status);
}

// Pages read as the window asks, until the query is replaced or a statement fails.
void ServePages(SiteDatabase& site, SiteQuery& query, const SiteRowMap& map) {
    for (;;) {
        SiteQuery::Asked asked;
        {
            std::unique_lock<std::mutex> guard(query.lock);
            query.wake.wait(guard, [&] { return query.cancelled || !query.asked.empty(); });
            if (query.cancelled) return;
            asked = std::move(query.asked.front());
            query.asked.pop_front();
        }
        std::vector<SiteListRow> rows;
        const SiteStatus status = ReadSiteList(site, query.filter, map, asked.first, asked.count,
                                               asked.previous ? &*asked.previous : nullptr,
                                               asked.next ? &*asked.next : nullptr, rows);
        SitePageActions actions = status ? ActionsOf(site, query, rows) : std::nullopt;
        const std::lock_guard<std::mutex> guard(query.lock);
        if (query.cancelled) return;
        query.read.push_back({asked.first, std::move(rows), std::move(actions)});
        if (!Publish(query, status)) return;
    }
}

void Run(const std::shared_ptr<SiteQuery>& query) {
    SiteStatus status;
    const std::unique_ptr<SiteDatabase> site = SiteDatabase::Open(query->connection, status);
    if (site && !Attach(*query, &SiteQuery::database, site.get())) return;
    std::vector<ChartBucket> buckets;
    std::vector<SiteListRow> rows;
    if (site) status = Count(*site, *query, buckets, rows);
    SitePageActions actions;
    if (status) {
        query->knowsActions = site->KnowsActions();
        actions = ActionsOf(*site, *query, rows);
    }
    const SiteRowMap map(buckets, query->width);
    bool counted = false;
    {
        const std::lock_guard<std::mutex> guard(query->lock);
        query->buckets = std::move(buckets);
        if (ChartsSingleRows(map.Total(), query->chartColumns)) query->fewRows = rows;
        query->read.push_back({0, std::move(rows), std::move(actions)});
        query->counted = true;
        counted = Publish(*query, status);
    }
    if (counted && query->wantsNames) std::thread(RunNames, query).detach();
    if (counted) ServePages(*site, *query, map);
    if (site) Attach(*query, &SiteQuery::database, nullptr);
}

}  // namespace

SiteHistoryModel::SiteHistoryModel(std::string connection, SiteResultsArrived arrived,
                                   SiteActionLookup actions, SiteActionRecorder record)
    : m_connection(std::move(connection)),
      m_arrived(std::move(arrived)),
      m_actions(std::move(actions)),
      m_record(std::move(record)) {}

SiteHistoryModel::~SiteHistoryModel() {
    if (m_query) Cancel(*m_query);
}

void SiteHistoryModel::Query(const HistoryChoices& choices, int chartColumns) {
    if (m_query) Cancel(*m_query);
    m_filter = FilterOf(choices);
    m_filter.openOnly = false;  // the window offers no 미조치 filter for the site
    m_chart.clear();
    m_pages.clear();
    m_asked.clear();
    m_counts = {};
    m_rows = 0;
    m_counted = false;
    ForgetCells();
    auto query = std::make_shared<SiteQuery>();
    query->connection = m_connection;
    query->filter.history = m_filter;
    query->chartColumns = std::max(1, chartColumns);
    query->width = BucketSeconds(ChartFrom(), ChartTo(), query->chartColumns);
    query->wantsNames = !NamesOfPeriod();
    query->arrived = m_arrived;
    m_query = query;
    std::thread(Run, query).detach();
}

void SiteHistoryModel::TakeCounts(SiteQuery& query) {
    query.countsTaken = true;
    if (!query.status) return;
    for (const ChartBucket& bucket : query.buckets) m_counts += bucket.sample.verdicts;
    m_rows = static_cast<size_t>(m_counts.Total());
    m_counted = true;
    if (query.fewRows.empty()) {
        m_chart = SeriesOfBuckets(query.buckets);
        return;
    }
    std::vector<Measurement> rows;
    for (const SiteListRow& row : query.fewRows) rows.push_back(row.row);
    m_chart = SeriesOfRows(rows);
}

SiteHistoryModel::Taken SiteHistoryModel::Take() {
    Taken taken;
    if (!m_query) return taken;
    SiteQuery& query = *m_query;
    const std::lock_guard<std::mutex> guard(query.lock);
    if (query.counted && !query.countsTaken) {
        TakeCounts(query);
        taken.counted = true;
    }
    if (query.namesRead && !query.namesTaken) {
        query.namesTaken = true;
        m_names = std::move(query.names);
        m_namesPeriod = std::make_pair(ChartFrom(), ChartTo());
        taken.names = true;
    }
    for (SiteQuery::Read& read : query.read) {
        m_asked.erase(read.first);
        // A page of every row the chart shows one by one: as many as the table's pages hold.
        for (size_t first = 0; first < read.rows.size(); first += kPageRows) {
            const auto at = static_cast<std::ptrdiff_t>(first);
            const auto end =
                at + static_cast<std::ptrdiff_t>(std::min(kPageRows, read.rows.size() - first));
            SitePageActions actions;
            if (read.actions)
                actions.emplace(read.actions->begin() + at, read.actions->begin() + end);
            Keep(read.first + first, {read.rows.begin() + at, read.rows.begin() + end},
                 std::move(actions));
        }
        taken.rows = true;
    }
    query.read.clear();
    if (!query.status) taken.failed = query.status;
    return taken;
}

bool SiteHistoryModel::NamesOfPeriod() const {
    return m_namesPeriod == std::make_pair(ChartFrom(), ChartTo());
}

size_t SiteHistoryModel::RowsHeld() const {
    size_t rows = 0;
    for (const Page& page : m_pages) rows += page.rows.size();
    return rows;
}

SiteHistoryModel::Page* SiteHistoryModel::Held(size_t first) {
    for (Page& page : m_pages)
        if (page.first == first) return &page;
    return nullptr;
}

// The page of rows [first, first + kPageRows), read after the page before it or before the
// page after it where one is held, else by a jump.
void SiteHistoryModel::Ask(size_t first) {
    if (!m_query || !m_counted || first >= m_rows || !m_asked.insert(first).second) return;
    SiteQuery::Asked asked;
    asked.first = first;
    asked.count = std::min(kPageRows, m_rows - first);
    if (const Page* before = first > 0 ? Held(first - kPageRows) : nullptr;
        before && before->rows.size() == kPageRows)
        asked.previous = before->rows.back().key;
    else if (const Page* after = Held(first + kPageRows); after && !after->rows.empty())
        asked.next = after->rows.front().key;
    const std::lock_guard<std::mutex> guard(m_query->lock);
    m_query->asked.push_back(std::move(asked));
    m_query->wake.notify_all();
}

void SiteHistoryModel::Keep(size_t first, std::vector<SiteListRow> rows, SitePageActions actions) {
    Page* page = Held(first);
    if (!page && m_pages.size() < kPagesHeld) {
        page = &m_pages.emplace_back();
    } else if (!page) {
        page = &*std::min_element(m_pages.begin(), m_pages.end(),
                                  [](const Page& a, const Page& b) { return a.used < b.used; });
        ForgetCells();
    }
    page->first = first;
    page->actions.assign(rows.size(), std::nullopt);
    page->looked.assign(rows.size(), false);
    page->rows = std::move(rows);
    page->siteActions = std::move(actions);
    page->used = ++m_clock;
}

const Measurement* SiteHistoryModel::Row(size_t index) {
    if (!m_counted || index >= m_rows) return nullptr;
    const size_t first = index - index % kPageRows;
    Page* page = Held(first);
    if (!page) {
        Ask(first);
        return nullptr;
    }
    page->used = ++m_clock;
    return index - first < page->rows.size() ? &page->rows[index - first].row : nullptr;
}

void SiteHistoryModel::Hint(size_t first, size_t last) {
    for (size_t index = first - first % kPageRows; index <= last && index < m_rows;
         index += kPageRows)
        if (!Held(index)) Ask(index);
}

// The site's latest action on the row, or this PC's when it is later (recorded here and not on
// the site yet); 미조치 for a 주의 or 오염 row with neither. Without the site's actions, this
// PC's alone, and nothing for the rows without one.
const ActionState* SiteHistoryModel::ActionOf(size_t index) {
    if (!Row(index)) return nullptr;
    Page& page = *Held(index - index % kPageRows);
    const size_t at = index - page.first;
    if (!page.looked[at]) {
        const Measurement& row = page.rows[at].row;
        ActionState state;
        const bool local = m_actions && m_actions(row, state);
        if (page.siteActions) {
            const std::optional<CorrectiveAction>& site = (*page.siteActions)[at];
            if (site && (!state.action || site->at >= state.action->at)) state.action = site;
            state.open = IsOpen(row, state.action);
            page.actions[at] = std::move(state);
        } else if (local || NeedsAction(row.verdict)) {
            // A site that keeps no actions cannot say a result is open: none shown, but the row
            // still takes one.
            page.actions[at] = std::move(state);
        }
        page.looked[at] = true;
    }
    return page.actions[at] ? &*page.actions[at] : nullptr;
}

ArchiveStatus SiteHistoryModel::RecordAction(size_t index, const CorrectiveAction& action) {
    const Measurement* row = Row(index);
    if (!row || !m_record) return {ArchiveCause::Unknown, "the row cannot be read"};
    const ArchiveStatus status = m_record(*row, action);
    if (!status) return status;
    Page& page = *Held(index - index % kPageRows);
    page.looked[index - page.first] = false;  // looked up again: this PC's over the site's
    page.actions[index - page.first].reset();
    return status;
}

std::string SiteHistoryModel::Summary(const HistoryTexts& texts) const {
    return SummaryText(texts, m_counts);
}
