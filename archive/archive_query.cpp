#include "archive/archive_query.h"

#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <unordered_map>

#include "archive/archive_actions.h"
#include "archive/filter_sql.h"
#include "archive/sqlite_statement.h"
#include "measurement/time_text.h"

namespace {

// The order of readings_identity, read backwards or forwards: no sort.
constexpr char kNewestFirst[] =
    " ORDER BY r.measured_at DESC, r.value DESC, r.user_id DESC, r.standard_id DESC";
constexpr char kOldestFirst[] = " ORDER BY r.measured_at, r.value, r.user_id, r.standard_id";

ArchiveStatus Names(Archive& archive, const char* sql, std::vector<std::string>& names) {
    names.clear();
    Statement statement(archive.Handle(), sql);
    return EachRow(archive, statement, [&](const Statement& row) {
        names.push_back(row.Text(0));
        return true;
    });
}

struct TimedId {
    int64_t measuredAt;
    uint32_t id;
};

// Newest first, rows of one time by id, latest first. Rows come in the table's order or the time
// index's, so they are mostly in time order already: then a reversal and a sort of each run of
// equal times replace a sort of a million rows.
void SortNewestFirst(std::vector<TimedId>& rows) {
    const auto earlier = [](const TimedId& a, const TimedId& b) {
        return a.measuredAt < b.measuredAt;
    };
    const auto newestFirst = [](const TimedId& a, const TimedId& b) {
        return a.measuredAt != b.measuredAt ? a.measuredAt > b.measuredAt : a.id > b.id;
    };
    if (!std::is_sorted(rows.begin(), rows.end(), earlier)) {
        std::sort(rows.begin(), rows.end(), newestFirst);
        return;
    }
    std::reverse(rows.begin(), rows.end());
    for (auto run = rows.begin(); run != rows.end();) {
        const auto end = std::find_if(
            run, rows.end(), [&](const TimedId& row) { return row.measuredAt != run->measuredAt; });
        if (end - run > 1) std::sort(run, end, newestFirst);
        run = end;
    }
}

// A chart bucket's place: its first second and its standard.
struct BucketKey {
    int64_t start, standardId;
    bool operator==(const BucketKey& o) const {
        return start == o.start && standardId == o.standardId;
    }
};
struct BucketKeyHash {
    size_t operator()(const BucketKey& key) const {
        return std::hash<int64_t>()(key.start * 1000003 + key.standardId);
    }
};

// What a scan takes of a row: the list, the counts and the chart's buckets.
struct ScanRow {
    uint32_t id = 0;
    int64_t measuredAt = 0, standardId = 0, userId = 0;
    int value = 0;
    Verdict verdict = Verdict::None;
    std::optional<int64_t> safetyIndex, dangerIndex;
};

constexpr char kScanColumns[] =
    "SELECT r.id, r.measured_at, r.standard_id, r.user_id, r.value, r.verdict, r.safety_index, "
    "r.danger_index FROM readings r";

ScanRow ScanRowOf(const Statement& row) {
    ScanRow scanned;
    scanned.id = static_cast<uint32_t>(row.Integer(0));
    scanned.measuredAt = row.Integer(1);
    scanned.standardId = row.Integer(2);
    scanned.userId = row.Integer(3);
    scanned.value = static_cast<int>(row.Integer(4));
    scanned.verdict = VerdictOf(row.Integer(5));
    scanned.safetyIndex = row.OptionalInteger(6);
    scanned.dangerIndex = row.OptionalInteger(7);
    return scanned;
}

// One pass over the rows of a filter in the table's order, which SQLite reads fastest, and
// without a sort or a GROUP BY, which would sort every row first: the list's ids are ordered
// here, the counts and the chart's buckets summed here.
class HistoryScan {
public:
    // `width` 0: no buckets; `listed`: the ids are kept for the list.
    HistoryScan(int64_t origin, int64_t width, bool listed)
        : m_origin(origin), m_width(width), m_listed(listed) {}

    ArchiveStatus Run(Archive& archive, const ArchiveFilter& filter) {
        const std::string sql = std::string(kScanColumns) + WhereOf(filter);
        Statement statement(archive.Handle(), sql.c_str());
        BindFilter(statement, filter);
        return EachRow(archive, statement, [&](const Statement& row) {
            Add(ScanRowOf(row));
            return true;
        });
    }

    // At most this many rows will come: the list takes no more than that room.
    void Reserve(size_t rows) {
        if (m_listed) m_rows.reserve(rows);
    }

    void Add(const ScanRow& row) {
        if (m_listed) m_rows.push_back({row.measuredAt, row.id});
        ++m_counts.Of(row.verdict);
        if (m_width > 0) AddToBucket(row);
    }

    // Newest first; rows of one time in the order they were archived, latest first.
    FilteredRows TakeList() {
        SortNewestFirst(m_rows);
        std::vector<uint32_t> ids(m_rows.size());
        for (size_t i = 0; i < m_rows.size(); ++i) ids[i] = m_rows[i].id;
        std::vector<TimedId>().swap(m_rows);
        return FilteredRows(std::move(ids));
    }

    const VerdictCounts& Counts() const { return m_counts; }

    // In time order, standards by name within a bucket.
    ArchiveStatus Buckets(Archive& archive, std::vector<ChartBucket>& buckets) {
        buckets.clear();
        std::map<int64_t, std::string> names;
        Statement standards(archive.Handle(), "SELECT id, coalesce(name, '') FROM standards");
        const ArchiveStatus status = EachRow(archive, standards, [&](const Statement& row) {
            names[row.Integer(0)] = row.Text(1);
            return true;
        });
        for (auto& [key, bucket] : m_buckets) {
            bucket.standard = names[key.standardId];
            buckets.push_back(std::move(bucket));
        }
        std::stable_sort(
            buckets.begin(), buckets.end(), [](const ChartBucket& a, const ChartBucket& b) {
                return a.start != b.start ? a.start < b.start : a.standard < b.standard;
            });
        return status;
    }

private:
    void AddToBucket(const ScanRow& row) {
        const int64_t offset = row.measuredAt - m_origin;
        const int64_t start = row.measuredAt - ((offset % m_width) + m_width) % m_width;
        ChartBucket& b = m_buckets[BucketKey{start, row.standardId}];
        b.start = start;
        MergeSample(b.sample, SampleOf(row.measuredAt, row.value, row.verdict));
        b.safetyIndex = std::max(b.safetyIndex, row.safetyIndex);
        b.dangerIndex = std::max(b.dangerIndex, row.dangerIndex);
    }

    int64_t m_origin, m_width;
    bool m_listed;
    std::vector<TimedId> m_rows;
    VerdictCounts m_counts;
    std::unordered_map<BucketKey, ChartBucket, BucketKeyHash> m_buckets;
};

}  // namespace

bool SetFilterDays(const std::string& firstDay, const std::string& lastDay, ArchiveFilter& filter) {
    const std::optional<int64_t> first = SecondsFromDateText(firstDay);
    const std::optional<int64_t> last = SecondsFromDateText(lastDay);
    if ((!firstDay.empty() && !first) || (!lastDay.empty() && !last)) return false;
    if (first) filter.from = *first;
    if (last) filter.until = *last + SECONDS_PER_DAY;
    return true;
}

ArchiveStatus FilteredRows::Load(Archive& archive, const ArchiveFilter& filter) {
    HistoryScan scan(0, 0, true);
    const ArchiveStatus status = scan.Run(archive, filter);
    if (status) *this = scan.TakeList();
    return status;
}

ArchiveStatus FilteredRows::Page(Archive& archive, size_t first, size_t count,
                                 std::vector<Measurement>& rows) const {
    rows.clear();
    const std::string sql = std::string(MEASUREMENT_COLUMNS) + " WHERE r.id = ?1";
    Statement statement(archive.Handle(), sql.c_str());
    if (statement.Prepared() != SQLITE_OK) return StatusOf(archive.Handle(), statement.Prepared());
    for (size_t i = first; i < m_ids.size() && i < first + count; ++i) {
        statement.Bind(1, static_cast<int64_t>(m_ids[i]));
        const int result = statement.Step();
        if (result == SQLITE_ROW) {
            rows.emplace_back();
            ReadMeasurement(statement, rows.back());
        } else if (result != SQLITE_DONE) {
            return StatusOf(archive.Handle(), result);
        }
        statement.Reset();
    }
    return {};
}

ArchiveStatus ForEachMeasurement(Archive& archive, const ArchiveFilter& filter,
                                 const std::function<bool(const Measurement&)>& visit,
                                 RowOrder order) {
    const std::string sql = std::string(MEASUREMENT_COLUMNS) + WhereOf(filter) +
                            (order == RowOrder::NewestFirst ? kNewestFirst : kOldestFirst);
    Statement statement(archive.Handle(), sql.c_str());
    BindFilter(statement, filter);
    Measurement row;
    return EachRow(archive, statement, [&](const Statement& s) {
        ReadMeasurement(s, row);
        return visit(row);
    });
}

ArchiveStatus CountVerdicts(Archive& archive, const ArchiveFilter& filter, VerdictCounts& counts) {
    HistoryScan scan(0, 0, false);
    const ArchiveStatus status = scan.Run(archive, filter);
    counts = scan.Counts();
    return status;
}

ArchiveStatus ChartBuckets(Archive& archive, const ArchiveFilter& filter, int64_t origin,
                           int64_t width, std::vector<ChartBucket>& buckets) {
    HistoryScan scan(origin, width > 0 ? width : 1, false);
    const ArchiveStatus status = scan.Run(archive, filter);
    return status ? scan.Buckets(archive, buckets) : status;
}

ArchiveStatus LoadFiltered(Archive& archive, const ArchiveFilter& filter, int64_t origin,
                           int64_t width, FilteredView& view) {
    HistoryScan scan(origin, width, true);
    const ArchiveStatus status = scan.Run(archive, filter);
    if (!status) return status;
    view.list = scan.TakeList();
    view.counts = scan.Counts();
    return scan.Buckets(archive, view.buckets);
}

namespace {

// The ids of the standards or users of a name filter, sorted.
ArchiveStatus IdsNamed(Archive& archive, const char* table, const std::string& name,
                       std::vector<int64_t>& ids) {
    ids.clear();
    const std::string sql =
        std::string("SELECT id FROM ") + table + " WHERE coalesce(name, '') = ?1 ORDER BY id";
    Statement statement(archive.Handle(), sql.c_str());
    statement.BindText(1, name, false);
    return EachRow(archive, statement, [&](const Statement& row) {
        ids.push_back(row.Integer(0));
        return true;
    });
}

// The rows that have an action recorded, by id.
ArchiveStatus ActedReadingIds(Archive& archive, std::vector<int64_t>& ids) {
    Statement statement(archive.Handle(),
                        (std::string(ACTED_READINGS_SQL) + " ORDER BY 1").c_str());
    return EachRow(archive, statement, [&](const Statement& row) {
        ids.push_back(row.Integer(0));
        return true;
    });
}

bool Among(const std::optional<std::vector<int64_t>>& ids, int64_t id) {
    return !ids || std::binary_search(ids->begin(), ids->end(), id);
}

}  // namespace

bool PeriodCache::Holds(const ArchiveFilter& filter) const {
    return m_held && *filter.from >= m_from && *filter.until <= m_until;
}

void PeriodCache::Forget() {
    m_held = false;
    std::vector<Row>().swap(m_rows);
    m_standards.clear();
}

ArchiveStatus PeriodCache::Read(Archive& archive, int64_t from, int64_t until) {
    Forget();
    ArchiveFilter period;
    period.from = from;
    period.until = until;
    const std::string sql = std::string(kScanColumns) + WhereOf(period);
    Statement statement(archive.Handle(), sql.c_str());
    BindFilter(statement, period);
    std::map<Standard, uint16_t> keys;
    bool fits = true;
    const ArchiveStatus status = EachRow(archive, statement, [&](const Statement& statementRow) {
        const ScanRow row = ScanRowOf(statementRow);
        const Standard standard{row.standardId, row.safetyIndex, row.dangerIndex};
        auto key = keys.find(standard);
        if (key == keys.end()) {
            fits = m_standards.size() <= UINT16_MAX;
            if (!fits) return false;
            key = keys.emplace(standard, static_cast<uint16_t>(m_standards.size())).first;
            m_standards.push_back(standard);
        }
        m_rows.push_back({row.id, static_cast<uint32_t>(row.measuredAt - from),
                          static_cast<uint32_t>(row.userId), key->second,
                          static_cast<uint8_t>(row.verdict), row.value});
        return true;
    });
    m_rows.shrink_to_fit();
    m_from = from;
    m_until = until;
    m_held = status && fits;
    if (!m_held) Forget();
    return status;
}

ArchiveStatus PeriodCache::Load(Archive& archive, const ArchiveFilter& filter, int64_t origin,
                                int64_t width, FilteredView& view) {
    const bool bounded = filter.from && filter.until && *filter.until > *filter.from &&
                         *filter.until - *filter.from <= int64_t{UINT32_MAX};
    if (!bounded) return LoadFiltered(archive, filter, origin, width, view);
    if (!Holds(filter)) {
        if (ArchiveStatus status = Read(archive, *filter.from, *filter.until); !status)
            return status;
        if (!m_held) return LoadFiltered(archive, filter, origin, width, view);
    }
    std::optional<std::vector<int64_t>> standards, users;
    ArchiveStatus status;
    if (filter.standard)
        status = IdsNamed(archive, "standards", *filter.standard, standards.emplace());
    if (status && filter.user) status = IdsNamed(archive, "users", *filter.user, users.emplace());
    // Whether a result is open changes with every action: the few acted on are read each time.
    std::vector<int64_t> acted;
    if (status) status = ActedReadingIds(archive, acted);
    if (!status) return status;
    HistoryScan scan(origin, width, true);
    scan.Reserve(m_rows.size());
    size_t open = 0;
    for (const Row& held : m_rows) {
        const int64_t measuredAt = m_from + held.offset;
        const Standard& standard = m_standards[held.standard];
        if (measuredAt < *filter.from || measuredAt >= *filter.until ||
            !(filter.verdicts & (1u << held.verdict)) || !Among(standards, standard.id) ||
            !Among(users, held.userId))
            continue;
        const bool isOpen = NeedsAction(static_cast<Verdict>(held.verdict)) &&
                            !std::binary_search(acted.begin(), acted.end(), held.id);
        if (filter.openOnly && !isOpen) continue;
        open += isOpen;
        ScanRow row;
        row.id = held.id;
        row.measuredAt = measuredAt;
        row.standardId = standard.id;
        row.userId = held.userId;
        row.value = held.value;
        row.verdict = static_cast<Verdict>(held.verdict);
        row.safetyIndex = standard.safetyIndex;
        row.dangerIndex = standard.dangerIndex;
        scan.Add(row);
    }
    view.list = scan.TakeList();
    view.counts = scan.Counts();
    view.open = open;
    return scan.Buckets(archive, view.buckets);
}

ArchiveStatus LoadFilterChoices(Archive& archive, FilterChoices& choices) {
    ArchiveStatus status =
        Names(archive,
              "SELECT DISTINCT name FROM standards WHERE coalesce(name, '') <> '' "
              "ORDER BY name",
              choices.standards);
    if (!status) return status;
    return Names(archive,
                 "SELECT DISTINCT name FROM users WHERE coalesce(name, '') <> '' ORDER BY name",
                 choices.users);
}
