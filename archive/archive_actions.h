// Corrective actions: what was done about a 주의 or 오염 result, recorded by the operator and
// kept in every version (a correction is a new row), keyed by the measurement's identity. And
// its likely retest, found when asked, never stored: the next measurement of the same standard
// from the same source within a window, since the instrument records no surface and a retest
// cannot be told from a reading elsewhere.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/archive_query.h"
#include "measurement/measurement.h"
#include "measurement/time_text.h"

// How far after a result its likely retest is looked for, unless set otherwise.
constexpr int64_t DEFAULT_RETEST_WINDOW_SECONDS = 24 * SECONDS_PER_HOUR;
// The setting of the window (RetestHours) is whole hours, up to a month.
constexpr int64_t MAX_RETEST_HOURS = 720;

// The window of a RetestHours setting's text: whole hours from 1 to MAX_RETEST_HOURS, digits
// alone; none for anything else (empty, 0, too many, words), which leaves the default.
std::optional<int64_t> RetestWindowOf(const std::string& hours);

struct CorrectiveAction {
    std::string text;  // what was done, UTF-8, lines joined by "\n"
    std::string by;    // the Windows user who recorded it
    int64_t at = 0;    // when, on the PC's clock (time_text.h seconds)
};

// A 주의 or 오염 result asks for an action; a 안전 one, or one without a standard, does not.
bool NeedsAction(Verdict verdict);

// Open: a result that asks for an action and has none recorded. A 안전 retest does not close
// it: the retest may have been of another surface.
bool IsOpen(const Measurement& row, const std::optional<CorrectiveAction>& action);

// Keeps a new version of the action on `row` (the latest counts); the older ones stay. A version
// by the same person at or before that person's last one on `row` is kept a second after it.
ArchiveStatus RecordAction(Archive& archive, const Measurement& row,
                           const CorrectiveAction& action);

// The latest action on `row`, none when there is none.
ArchiveStatus LatestAction(Archive& archive, const Measurement& row,
                           std::optional<CorrectiveAction>& action);

// The first measurement after `row` of the same standard and the same source, at most
// `windowSeconds` later (the window's end included); none when there is none.
ArchiveStatus LikelyRetest(Archive& archive, const Measurement& row, int64_t windowSeconds,
                           std::optional<Measurement>& retest);

// LikelyRetest of each of `rows`, beside them: one ordered pass over the times the rows and their
// windows cover, and one look-up per retest found, instead of a query per row (a report lists
// thousands).
ArchiveStatus LikelyRetests(Archive& archive, const std::vector<const Measurement*>& rows,
                            int64_t windowSeconds,
                            std::vector<std::optional<Measurement>>& retests);

// LatestAction of each of `rows`, beside them, from one read of the latest versions.
ArchiveStatus LatestActions(Archive& archive, const std::vector<const Measurement*>& rows,
                            std::vector<std::optional<CorrectiveAction>>& actions);

// Of a filter's results: those that ask for an action, and those of them still open.
struct ActionCounts {
    size_t needing = 0;
    size_t open = 0;
    size_t answered() const { return needing - open; }
};
ArchiveStatus CountActions(Archive& archive, const ArchiveFilter& filter, ActionCounts& counts);

// What the history and the report show of a result beside it: its latest action and, for a
// result that asks for one, its likely retest.
struct ActionState {
    std::optional<CorrectiveAction> action;
    std::optional<Measurement> retest;
    bool open = false;
};
ArchiveStatus LoadActionState(Archive& archive, const Measurement& row, int64_t windowSeconds,
                              ActionState& state);

// The open results of a filter's view: counted in passing where the view was (a held period),
// else by CountActions.
ArchiveStatus OpenResults(Archive& archive, const ArchiveFilter& filter, const FilteredView& view,
                          size_t& open);
