#include "archive/archive_actions.h"

#include <algorithm>
#include <limits>
#include <map>
#include <unordered_map>

#include "archive/filter_sql.h"
#include "archive/sqlite_statement.h"
#include "measurement/measurement_identity.h"

namespace {

// Runs a statement that returns no rows.
ArchiveStatus Run(Archive& archive, Statement& statement) {
    if (statement.Prepared() != SQLITE_OK) return StatusOf(archive.Handle(), statement.Prepared());
    const int result = statement.Step();
    return StatusOf(archive.Handle(), result == SQLITE_DONE ? SQLITE_OK : result);
}

// Reads a table of (id, text) pairs into a map from the text to the id.
ArchiveStatus IdsByName(Archive& archive, const char* sql,
                        std::unordered_map<std::string, int64_t>& ids) {
    Statement select(archive.Handle(), sql);
    return EachRow(archive, select, [&](const Statement& row) {
        ids[row.Text(1)] = row.Integer(0);
        return true;
    });
}

// The rows waiting for their retest, of one standard from one source, in time order: each
// passed row of the group at a later time is the retest of those before it it has not passed
// yet, when within their window.
struct RetestGroup {
    std::vector<std::pair<int64_t, size_t>> waiting;  // (time, index in the rows)
    size_t next = 0;                                  // the first still waiting
};

// The rows' groups by (standard id, source id), and the period to pass over; rows whose
// standard, source or time the archive does not know have no retest.
ArchiveStatus GroupRetestRows(Archive& archive, const std::vector<const Measurement*>& rows,
                              std::map<std::pair<int64_t, int64_t>, RetestGroup>& groups,
                              int64_t& first, int64_t& last) {
    std::unordered_map<std::string, int64_t> standards, sources;
    ArchiveStatus status =
        IdsByName(archive, "SELECT id, coalesce(name, '') FROM standards", standards);
    if (status) status = IdsByName(archive, "SELECT id, name FROM sources", sources);
    if (!status) return status;
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::optional<int64_t> at = SecondsFromTimeText(rows[i]->measuredAt);
        const auto standard = standards.find(rows[i]->standardName);
        const auto source = sources.find(rows[i]->source);
        if (!at || standard == standards.end() || source == sources.end()) continue;
        groups[{standard->second, source->second}].waiting.emplace_back(*at, i);
        first = std::min(first, *at);
        last = std::max(last, *at);
    }
    for (auto& [key, group] : groups) std::sort(group.waiting.begin(), group.waiting.end());
    return {};
}

// Each found retest's row, read by its id.
ArchiveStatus ReadRetests(Archive& archive, const std::vector<int64_t>& ids,
                          std::vector<std::optional<Measurement>>& retests) {
    const std::string sql = std::string(MEASUREMENT_COLUMNS) + " WHERE r.id = ?1";
    Statement select(archive.Handle(), sql.c_str());
    ArchiveStatus status;
    for (size_t i = 0; status && i < ids.size(); ++i) {
        if (ids[i] < 0) continue;
        select.Reset();
        select.Bind(1, ids[i]);
        status = EachRow(archive, select, [&](const Statement& row) {
            ReadMeasurement(row, retests[i].emplace());
            return false;
        });
    }
    return status;
}

}  // namespace

std::optional<int64_t> RetestWindowOf(const std::string& hours) {
    if (hours.empty() || hours.size() > 3) return std::nullopt;
    int64_t value = 0;
    for (char c : hours) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > MAX_RETEST_HOURS) return std::nullopt;
    return value * SECONDS_PER_HOUR;
}

bool NeedsAction(Verdict verdict) {
    return verdict == Verdict::Caution || verdict == Verdict::Contaminated;
}

bool IsOpen(const Measurement& row, const std::optional<CorrectiveAction>& action) {
    return NeedsAction(row.verdict) && !action;
}

ArchiveStatus RecordAction(Archive& archive, const Measurement& row,
                           const CorrectiveAction& action) {
    // One person's versions of one action a second apart at least (a clock set back too): the
    // site tells versions apart by measurement, time and person, and must not take a
    // correction for the version before it.
    Statement insert(archive.Handle(),
                     "INSERT INTO measurement_actions(identity, action_text, action_by, action_at) "
                     "SELECT ?1, ?2, ?3, max(?4, coalesce(max(action_at) + 1, ?4)) "
                     "FROM measurement_actions WHERE identity = ?1 AND action_by = ?3");
    insert.BindText(1, MeasurementIdentity(row), false);
    insert.BindText(2, action.text, false);
    insert.BindText(3, action.by, false);
    insert.Bind(4, action.at);
    return Run(archive, insert);
}

ArchiveStatus LatestAction(Archive& archive, const Measurement& row,
                           std::optional<CorrectiveAction>& action) {
    action.reset();
    Statement select(archive.Handle(),
                     "SELECT action_text, action_by, action_at FROM measurement_actions "
                     "WHERE identity = ?1 ORDER BY id DESC LIMIT 1");
    select.BindText(1, MeasurementIdentity(row), false);
    return EachRow(archive, select, [&](const Statement& s) {
        action = CorrectiveAction{s.Text(0), s.Text(1), s.Integer(2)};
        return false;
    });
}

ArchiveStatus LikelyRetest(Archive& archive, const Measurement& row, int64_t windowSeconds,
                           std::optional<Measurement>& retest) {
    retest.reset();
    const std::optional<int64_t> at = SecondsFromTimeText(row.measuredAt);
    if (!at) return {};
    // The standard's own index finds the next few rows; the source is checked on those.
    const std::string sql =
        std::string(MEASUREMENT_COLUMNS) +
        " WHERE r.standard_id IN (SELECT id FROM standards WHERE coalesce(name, '') = ?1)"
        " AND r.measured_at > ?2 AND r.measured_at <= ?3 AND src.name = ?4"
        " ORDER BY r.measured_at, r.id LIMIT 1";
    Statement select(archive.Handle(), sql.c_str());
    select.BindText(1, row.standardName, false);
    select.Bind(2, *at);
    select.Bind(3, *at + windowSeconds);
    select.BindText(4, row.source, false);
    return EachRow(archive, select, [&](const Statement& s) {
        retest.emplace();
        ReadMeasurement(s, *retest);
        return false;
    });
}

ArchiveStatus LikelyRetests(Archive& archive, const std::vector<const Measurement*>& rows,
                            int64_t windowSeconds,
                            std::vector<std::optional<Measurement>>& retests) {
    retests.assign(rows.size(), std::nullopt);
    std::map<std::pair<int64_t, int64_t>, RetestGroup> groups;
    int64_t first = std::numeric_limits<int64_t>::max(), last = 0;
    ArchiveStatus status = GroupRetestRows(archive, rows, groups, first, last);
    if (!status || groups.empty()) return status;
    // The readings in the order LikelyRetest takes the first of, with their source.
    Statement scan(archive.Handle(),
                   "SELECT r.measured_at, r.standard_id, b.source_id, r.id FROM readings r "
                   "JOIN batches b ON b.id = r.batch_id "
                   "WHERE r.measured_at > ?1 AND r.measured_at <= ?2 ORDER BY r.measured_at, r.id");
    scan.Bind(1, first);
    scan.Bind(2, last + windowSeconds);
    std::vector<int64_t> found(rows.size(), -1);  // the retest's id, beside the rows
    status = EachRow(archive, scan, [&](const Statement& row) {
        const auto group = groups.find({row.Integer(1), row.Integer(2)});
        if (group == groups.end()) return true;
        const int64_t at = row.Integer(0);
        auto& [waiting, next] = group->second;
        for (; next < waiting.size() && waiting[next].first < at; ++next)
            if (at <= waiting[next].first + windowSeconds)
                found[waiting[next].second] = row.Integer(3);
        return true;
    });
    return status ? ReadRetests(archive, found, retests) : status;
}

ArchiveStatus LatestActions(Archive& archive, const std::vector<const Measurement*>& rows,
                            std::vector<std::optional<CorrectiveAction>>& actions) {
    actions.assign(rows.size(), std::nullopt);
    std::unordered_map<std::string, std::vector<size_t>> byIdentity;
    for (size_t i = 0; i < rows.size(); ++i) byIdentity[MeasurementIdentity(*rows[i])].push_back(i);
    Statement select(archive.Handle(),
                     "SELECT identity, action_text, action_by, action_at FROM measurement_actions "
                     "WHERE id IN (SELECT max(id) FROM measurement_actions GROUP BY identity)");
    return EachRow(archive, select, [&](const Statement& s) {
        const auto wanted = byIdentity.find(s.Text(0));
        if (wanted != byIdentity.end())
            for (size_t i : wanted->second)
                actions[i] = CorrectiveAction{s.Text(1), s.Text(2), s.Integer(3)};
        return true;
    });
}

ArchiveStatus CountActions(Archive& archive, const ArchiveFilter& filter, ActionCounts& counts) {
    counts = {};
    const std::string sql = "SELECT count(*), coalesce(sum(NOT " + HasActionSql() +
                            "), 0) FROM readings r" + WhereOf(filter) + " AND " + NEEDS_ACTION_SQL;
    Statement select(archive.Handle(), sql.c_str());
    BindFilter(select, filter);
    return EachRow(archive, select, [&](const Statement& s) {
        counts.needing = static_cast<size_t>(s.Integer(0));
        counts.open = static_cast<size_t>(s.Integer(1));
        return false;
    });
}

ArchiveStatus LoadActionState(Archive& archive, const Measurement& row, int64_t windowSeconds,
                              ActionState& state) {
    state = {};
    ArchiveStatus status = LatestAction(archive, row, state.action);
    if (status && NeedsAction(row.verdict))
        status = LikelyRetest(archive, row, windowSeconds, state.retest);
    state.open = IsOpen(row, state.action);
    return status;
}

ArchiveStatus OpenResults(Archive& archive, const ArchiveFilter& filter, const FilteredView& view,
                          size_t& open) {
    if (view.open) {
        open = *view.open;
        return {};
    }
    ActionCounts counts;
    const ArchiveStatus status = CountActions(archive, filter, counts);
    open = counts.open;
    return status;
}
