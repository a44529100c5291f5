#include "archive/archive_actions.h"

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

}  // namespace

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
