#include "site/hourly_counts.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "measurement/time_text.h"
#include "measurement/verdicts.h"

namespace {

// How a column of a row that is there takes the incoming row's.
enum class Fold { Key, Add, Lower, Higher };

const struct {
    const char* name;
    Fold fold;
    bool time;
} kColumns[] = {
    {"hour_at", Fold::Key, true},          {"standard_name", Fold::Key, false},
    {"verdict", Fold::Key, false},         {"source", Fold::Key, false},
    {"measurements", Fold::Add, false},    {"min_value", Fold::Lower, false},
    {"max_value", Fold::Higher, false},    {"value_sum", Fold::Add, false},
    {"safety_index", Fold::Higher, false}, {"danger_index", Fold::Higher, false},
    {"first_at", Fold::Lower, true},       {"last_at", Fold::Higher, true},
    {"answered", Fold::Add, false},
};
static_assert(sizeof kColumns / sizeof *kColumns == HOURLY_COUNT_PARAMETERS);

std::string Names(const char* prefix = "") {
    std::string names;
    for (const auto& column : kColumns)
        names += (names.empty() ? "" : ", ") + std::string(prefix) + column.name;
    return names;
}

std::string KeyNames() {
    std::string names;
    for (const auto& column : kColumns)
        if (column.fold == Fold::Key)
            names += (names.empty() ? "" : ", ") + std::string(column.name);
    return names;
}

// The rows' markers, the times cast to the engine's timestamp.
std::string Markers(const SiteDialect& dialect, size_t rows) {
    std::string group = "(";
    for (const auto& column : kColumns)
        group += (group.size() > 1 ? ", " : "") + (column.time ? TimeMarker(dialect) : "?");
    group += ")";
    std::string all;
    for (size_t i = 0; i < rows; ++i) all += (i ? ", " : "") + group;
    return all;
}

// CASE rather than LEAST and GREATEST: SQL Server has them only since 2022, and MariaDB's give
// NULL when either is NULL.
std::string Folded(const SiteDialect& dialect, const char* name, Fold fold) {
    const std::string there = Filled(dialect.existing, name), in = Filled(dialect.incoming, name);
    if (fold == Fold::Add) return there + " + " + in;
    return "CASE WHEN " + there + " IS NULL OR " + in + (fold == Fold::Lower ? " < " : " > ") +
           there + " THEN " + in + " ELSE " + there + " END";
}

std::string Assignments(const SiteDialect& dialect) {
    std::string set;
    for (const auto& column : kColumns)
        if (column.fold != Fold::Key)
            set += (set.empty() ? "" : ", ") + std::string(column.name) + " = " +
                   Folded(dialect, column.name, column.fold);
    return set;
}

std::string Merge(const SiteDialect& dialect, size_t rows) {
    std::string on;
    for (const auto& column : kColumns)
        if (column.fold == Fold::Key)
            on += (on.empty() ? "" : " AND ") + std::string("t.") + column.name + " = n." +
                  column.name;
    return Filled(dialect.merge, HOURLY_COUNTS_TABLE) + " USING (VALUES " + Markers(dialect, rows) +
           ") AS n (" + Names() + ") ON " + on + " WHEN MATCHED THEN UPDATE SET " +
           Assignments(dialect) + " WHEN NOT MATCHED THEN INSERT (" + Names() + ") VALUES (" +
           Names("n.") + ");";
}

std::optional<int64_t> Higher(const std::optional<int64_t>& a, const std::optional<int64_t>& b) {
    if (!a) return b;
    return b ? std::max(*a, *b) : a;
}

}  // namespace

std::vector<HourlyCount> HourlyCountsOf(const std::vector<CountedRow>& rows) {
    std::map<std::tuple<std::string, std::string, std::string, std::string>, HourlyCount> counts;
    for (const CountedRow& counted : rows) {
        const Measurement& m = *counted.row;
        const std::string hour = m.measuredAt.substr(0, 13) + ":00:00";
        const std::string verdict = VerdictText(m.verdict);
        auto [at, fresh] = counts.try_emplace({hour, counted.standard, verdict, counted.source});
        HourlyCount& count = at->second;
        if (fresh) {
            count.hour = hour;
            count.standard = counted.standard;
            count.verdict = verdict;
            count.source = counted.source;
            count.minValue = count.maxValue = m.value;
            count.safetyIndex = m.safetyIndex;
            count.dangerIndex = m.dangerIndex;
            count.firstAt = count.lastAt = m.measuredAt;
        }
        ++count.measurements;
        count.answered += counted.answered ? 1 : 0;
        count.valueSum += m.value;
        count.minValue = std::min(count.minValue, m.value);
        count.maxValue = std::max(count.maxValue, m.value);
        count.safetyIndex = Higher(count.safetyIndex, m.safetyIndex);
        count.dangerIndex = Higher(count.dangerIndex, m.dangerIndex);
        count.firstAt = std::min(count.firstAt, m.measuredAt);
        count.lastAt = std::max(count.lastAt, m.measuredAt);
    }
    std::vector<HourlyCount> ordered;
    ordered.reserve(counts.size());
    for (auto& [key, count] : counts) ordered.push_back(std::move(count));
    return ordered;
}

std::string CreateHourlyCounts(const SiteDialect& d) {
    const std::string timestamp = d.timestamp;
    std::string table = std::string("CREATE TABLE ") + HOURLY_COUNTS_TABLE + " (\n";
    table += "  hour_at " + timestamp + " NOT NULL,\n";
    table += "  standard_name " + TextType(d, 50) + " NOT NULL,\n";
    table += "  verdict " + TextType(d, 4) + " NOT NULL,\n";
    table += "  source " + TextType(d, 255) + " NOT NULL,\n";
    table += "  measurements BIGINT NOT NULL,\n";
    table += "  min_value INTEGER NOT NULL,\n  max_value INTEGER NOT NULL,\n";
    table += "  value_sum BIGINT NOT NULL,\n";
    table += "  safety_index INTEGER,\n  danger_index INTEGER,\n";
    table += "  first_at " + timestamp + " NOT NULL,\n";
    table += "  last_at " + timestamp + " NOT NULL,\n";
    table += "  answered BIGINT NOT NULL,\n";
    table += "  CONSTRAINT ombrix_hourly_counts_key PRIMARY KEY (" + KeyNames() + ")\n)";
    return table + d.tableOptions;
}

std::string AddHourlyCounts(const SiteDialect& dialect, size_t rows) {
    if (!dialect.onConflict) return Merge(dialect, rows);
    return std::string("INSERT INTO ") + HOURLY_COUNTS_TABLE + " (" + Names() + ") VALUES " +
           Markers(dialect, rows) + " " + Filled(dialect.onConflict, KeyNames()) + " " +
           Assignments(dialect);
}

std::string AddHourlyAnswered(const SiteDialect& dialect) {
    return std::string("UPDATE ") + HOURLY_COUNTS_TABLE +
           " SET answered = answered + ? WHERE hour_at = " + TimeMarker(dialect) +
           " AND standard_name = ? AND verdict = ? AND source = ?";
}

std::string ColumnThere(const SiteDialect& dialect, const char* table, const char* column) {
    std::string sql =
        std::string("SELECT COUNT(*) FROM information_schema.columns WHERE table_name = '") +
        table + "' AND column_name = '" + column + "'";
    if (dialect.schema) sql += std::string(" AND table_schema = ") + dialect.schema;
    return sql;
}

std::string HourlyCountsThere(const SiteDialect& dialect) {
    return ColumnThere(dialect, HOURLY_COUNTS_TABLE, "answered");
}

bool HoursFitBuckets(int64_t origin, int64_t width) {
    return width > 0 && width % SECONDS_PER_HOUR == 0 &&
           ((origin % SECONDS_PER_HOUR) + SECONDS_PER_HOUR) % SECONDS_PER_HOUR == 0;
}
