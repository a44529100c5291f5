#include "archive/filter_sql.h"

#include "measurement/time_text.h"

const char MEASUREMENT_COLUMNS[] =
    "SELECT r.measured_at, r.user_no, u.name, u.id1, u.id2, r.standard_no, s.name, "
    "r.safety_index, r.danger_index, r.value, r.verdict, src.name, b.archived_at "
    "FROM readings r JOIN users u ON u.id = r.user_id JOIN standards s ON s.id = r.standard_id "
    "JOIN batches b ON b.id = r.batch_id JOIN sources src ON src.id = b.source_id";

// From the few actions to their rows, each found by its time (the identity's first 19
// characters) before its identity is compared: never an identity computed for every row.
const char ACTED_READINGS_SQL[] =
    "SELECT ri.reading_id FROM measurement_actions a CROSS JOIN reading_identities ri "
    "ON ri.measured_at = CAST(strftime('%s', substr(a.identity, 1, 19)) AS INTEGER) "
    "AND ri.identity = a.identity";
const char NEEDS_ACTION_SQL[] = "r.verdict IN (1, 2)";

std::string HasActionSql() { return std::string("r.id IN (") + ACTED_READINGS_SQL + ")"; }

namespace {

std::optional<int> OptionalInt(const Statement& row, int column) {
    const std::optional<int64_t> value = row.OptionalInteger(column);
    return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
}

}  // namespace

void ReadMeasurement(const Statement& row, Measurement& m, int first) {
    m.measuredAt = TimeText(row.Integer(first));
    m.userNo = OptionalInt(row, first + 1);
    m.userName = row.Text(first + 2);
    m.id1 = row.OptionalInteger(first + 3);
    m.id2 = row.OptionalInteger(first + 4);
    m.standardNo = OptionalInt(row, first + 5);
    m.standardName = row.Text(first + 6);
    m.safetyIndex = row.OptionalInteger(first + 7);
    m.dangerIndex = row.OptionalInteger(first + 8);
    m.value = static_cast<int>(row.Integer(first + 9));
    m.verdict = VerdictOf(row.Integer(first + 10));
    m.source = row.Text(first + 11);
    m.archivedAt = TimeText(row.Integer(first + 12));
}

std::string WhereOf(const ArchiveFilter& filter) {
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
    if (filter.openOnly)
        where += std::string(" AND ") + NEEDS_ACTION_SQL + " AND NOT " + HasActionSql();
    return where;
}

void BindFilter(Statement& statement, const ArchiveFilter& filter) {
    if (filter.from) statement.Bind(1, *filter.from);
    if (filter.until) statement.Bind(2, *filter.until);
    if (filter.standard) statement.BindText(3, *filter.standard, false);
    if (filter.user) statement.BindText(4, *filter.user, false);
}

Verdict VerdictOf(int64_t code) {
    return code >= 0 && code <= 3 ? static_cast<Verdict>(code) : Verdict::None;
}
