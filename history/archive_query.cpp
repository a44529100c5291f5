#include "history/archive_query.h"

#include <sqlite3.h>

#include "history/sqlite_statement.h"
#include "history/time_text.h"

namespace {

constexpr char kRowColumns[] =
    "SELECT r.measured_at, r.user_no, u.name, u.id1, u.id2, r.standard_no, s.name, "
    "r.safety_index, r.danger_index, r.value, r.verdict, src.name, b.archived_at "
    "FROM readings r JOIN users u ON u.id = r.user_id JOIN standards s ON s.id = r.standard_id "
    "JOIN batches b ON b.id = r.batch_id JOIN sources src ON src.id = b.source_id";

constexpr char kNewestFirst[] = " ORDER BY r.measured_at DESC, r.id DESC";

// The filter's conditions on `readings r`; its values are bound by BindFilter.
std::string WhereOf(const HistoryFilter& filter) {
    std::string where = " WHERE 1";
    if (filter.from) where += " AND r.measured_at >= ?1";
    if (filter.until) where += " AND r.measured_at < ?2";
    if (filter.standard)
        where += " AND r.standard_id IN (SELECT id FROM standards WHERE coalesce(name, '') = ?3)";
    if (filter.user)
        where += " AND r.user_id IN (SELECT id FROM users WHERE coalesce(name, '') = ?4)";
    if ((filter.verdicts & ALL_VERDICTS) != ALL_VERDICTS) {
        std::string codes;
        for (unsigned code = 0; code < 4; ++code)
            if (filter.verdicts & (1u << code))
                codes += (codes.empty() ? "" : ",") + std::to_string(code);
        where += codes.empty() ? " AND 0" : " AND r.verdict IN (" + codes + ")";
    }
    return where;
}

void BindFilter(Statement& statement, const HistoryFilter& filter) {
    if (filter.from) statement.Bind(1, *filter.from);
    if (filter.until) statement.Bind(2, *filter.until);
    if (filter.standard) statement.BindText(3, *filter.standard, false);
    if (filter.user) statement.BindText(4, *filter.user, false);
}

std::optional<int> OptionalInt(const Statement& row, int column) {
    const std::optional<int64_t> value = row.OptionalInteger(column);
    return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
}

Verdict VerdictOf(int64_t code) {
    return code >= 0 && code <= 3 ? static_cast<Verdict>(code) : Verdict::None;
}

void ReadRow(const Statement& row, Measurement& m) {
    m.measuredAt = TimeText(row.Integer(0));
    m.userNo = OptionalInt(row, 1);
    m.userName = row.Text(2);
    m.id1 = row.OptionalInteger(3);
    m.id2 = row.OptionalInteger(4);
    m.standardNo = OptionalInt(row, 5);
    m.standardName = row.Text(6);
    m.safetyIndex = row.OptionalInteger(7);
    m.dangerIndex = row.OptionalInteger(8);
    m.value = static_cast<int>(row.Integer(9));
    m.verdict = VerdictOf(row.Integer(10));
    m.source = row.Text(11);
    m.archivedAt = TimeText(row.Integer(12));
}

// Runs a statement to its end, handing each row to `visit`, which returns false to stop.
template <class Visit>
ArchiveStatus EachRow(Archive& archive, Statement& statement, Visit visit) {
    if (statement.Prepared() != SQLITE_OK) return StatusOf(archive.Handle(), statement.Prepared());
    int result;
    while ((result = statement.Step()) == SQLITE_ROW)
        if (!visit(statement)) return {};
    return StatusOf(archive.Handle(), result);
}

// Worse verdicts rank higher, as WorseVerdict ranks them: "-" 0, 안전 1, 주의 2, 오염 3.
constexpr char kSeverity[] = "CASE r.verdict WHEN 2 THEN 3 WHEN 1 THEN 2 WHEN 0 THEN 1 ELSE 0 END";

Verdict VerdictOfSeverity(int64_t severity) {
    switch (severity) {
        case 3:
            return Verdict::Contaminated;
        case 2:
            return Verdict::Caution;
        case 1:
            return Verdict::Safe;
        default:
            return Verdict::None;
    }
}

ArchiveStatus Names(Archive& archive, const char* sql, std::vector<std::string>& names) {
    names.clear();
    Statement statement(archive.Handle(), sql);
    return EachRow(archive, statement, [&](const Statement& row) {
        names.push_back(row.Text(0));
        return true;
    });
}

}  // namespace

bool SetFilterDays(const std::string& firstDay, const std::string& lastDay, HistoryFilter& filter) {
    const std::optional<int64_t> first = SecondsFromDateText(firstDay);
    const std::optional<int64_t> last = SecondsFromDateText(lastDay);
    if ((!firstDay.empty() && !first) || (!lastDay.empty() && !last)) return false;
    if (first) filter.from = *first;
    if (last) filter.until = *last + SECONDS_PER_DAY;
    return true;
}

ArchiveStatus HistoryList::Load(Archive& archive, const HistoryFilter& filter) {
    m_ids.clear();
    const std::string sql = "SELECT r.id FROM readings r" + WhereOf(filter) + kNewestFirst;
    Statement statement(archive.Handle(), sql.c_str());
    BindFilter(statement, filter);
    return EachRow(archive, statement, [&](const Statement& row) {
        m_ids.push_back(static_cast<uint32_t>(row.Integer(0)));
        return true;
    });
}

ArchiveStatus HistoryList::Page(Archive& archive, size_t first, size_t count,
                                std::vector<Measurement>& rows) const {
    rows.clear();
    const std::string sql = std::string(kRowColumns) + " WHERE r.id = ?1";
    Statement statement(archive.Handle(), sql.c_str());
    if (statement.Prepared() != SQLITE_OK) return StatusOf(archive.Handle(), statement.Prepared());
    for (size_t i = first; i < m_ids.size() && i < first + count; ++i) {
        statement.Bind(1, static_cast<int64_t>(m_ids[i]));
        const int result = statement.Step();
        if (result == SQLITE_ROW) {
            rows.emplace_back();
            ReadRow(statement, rows.back());
        } else if (result != SQLITE_DONE) {
            return StatusOf(archive.Handle(), result);
        }
        statement.Reset();
    }
    return {};
}

ArchiveStatus ForEachMeasurement(Archive& archive, const HistoryFilter& filter,
                                 const std::function<bool(const Measurement&)>& visit) {
    const std::string sql = std::string(kRowColumns) + WhereOf(filter) + kNewestFirst;
    Statement statement(archive.Handle(), sql.c_str());
    BindFilter(statement, filter);
    Measurement row;
    return EachRow(archive, statement, [&](const Statement& s) {
        ReadRow(s, row);
        return visit(row);
    });
}

ArchiveStatus CountVerdicts(Archive& archive, const HistoryFilter& filter, VerdictCounts& counts) {
    counts = {};
    const std::string sql =
        "SELECT r.verdict, count(*) FROM readings r" + WhereOf(filter) + " GROUP BY r.verdict";
    Statement statement(archive.Handle(), sql.c_str());
    BindFilter(statement, filter);
    return EachRow(archive, statement, [&](const Statement& row) {
        counts.Of(VerdictOf(row.Integer(0))) += row.Integer(1);
        return true;
    });
}

ArchiveStatus ChartBuckets(Archive& archive, const HistoryFilter& filter, int64_t origin,
                           int64_t width, std::vector<ChartBucket>& buckets) {
    buckets.clear();
    if (width <= 0) width = 1;
    // Integer division rounds toward zero: times before the origin are shifted to round down.
    const std::string bucket = "((r.measured_at - " + std::to_string(origin) +
                               ") - ((r.measured_at - " + std::to_string(origin) + ") % " +
                               std::to_string(width) + " + " + std::to_string(width) + ") % " +
                               std::to_string(width) + ")";
    const std::string sql = "SELECT " + bucket +
                            " AS b, coalesce(s.name, ''), count(*), min(r.value), "
                            "max(r.value), max(" +
                            kSeverity +
                            "), max(r.safety_index), "
                            "max(r.danger_index) FROM readings r JOIN standards s ON "
                            "s.id = r.standard_id" +
                            WhereOf(filter) +
                            " GROUP BY b, r.standard_id ORDER BY b, coalesce(s.name, '')";
    Statement statement(archive.Handle(), sql.c_str());
    BindFilter(statement, filter);
    return EachRow(archive, statement, [&](const Statement& row) {
        ChartBucket b;
        b.start = origin + row.Integer(0);
        b.standard = row.Text(1);
        b.count = static_cast<size_t>(row.Integer(2));
        b.minValue = static_cast<int>(row.Integer(3));
        b.maxValue = static_cast<int>(row.Integer(4));
        b.worst = VerdictOfSeverity(row.Integer(5));
        b.safetyIndex = row.OptionalInteger(6);
        b.dangerIndex = row.OptionalInteger(7);
        buckets.push_back(std::move(b));
        return true;
    });
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
