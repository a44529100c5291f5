// The archive's rows that wait for the site archive, in the order they were archived: a row
// waits until the site has confirmed that it holds it, or until the site refuses it for its
// content; then it is set aside with the server's reason and waits for the operator's retry.
// The versions of corrective actions wait the same way, in a queue of their own, each until its
// measurement is on the site.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/archive_actions.h"

// The values of the column `pushed`.
enum class QueueState : int64_t { Waiting = 0, Pushed = 1, Refused = 2 };

ArchiveStatus CountWaiting(Archive& archive, size_t& waiting);
ArchiveStatus CountRefused(Archive& archive, size_t& refused);

// The first `limit` waiting rows; `ids` their places in the queue, for MarkRefused, and
// `lastId` the last one's, for MarkPushed.
ArchiveStatus ReadWaiting(Archive& archive, size_t limit, std::vector<Measurement>& rows,
                          std::vector<int64_t>& ids);
ArchiveStatus ReadWaiting(Archive& archive, size_t limit, std::vector<Measurement>& rows,
                          int64_t& lastId);

// Every row read up to `lastId` is on the site now, but those set aside. Rows archived
// meanwhile come later in the queue and keep waiting.
ArchiveStatus MarkPushed(Archive& archive, int64_t lastId);

struct QueueRefusal {
    int64_t id = 0;      // the row's place in the queue
    std::string reason;  // the server's words
};
// The rows the site refused are set aside with their reasons and every other row up to
// `lastId` marked pushed, in one transaction.
ArchiveStatus SettleBatch(Archive& archive, int64_t lastId,
                          const std::vector<QueueRefusal>& refused);

struct RefusedRow {
    Measurement row;
    std::string reason;
};
ArchiveStatus ReadRefused(Archive& archive, std::vector<RefusedRow>& rows);
// Every row and every version of an action set aside waits again, at its old place in its queue.
ArchiveStatus RetryRefused(Archive& archive);

// A version of a corrective action, for the site: the measurement's identity text (as
// MeasurementIdentity gives it) and what was recorded.
struct QueuedAction {
    std::string identity;
    CorrectiveAction action;
};

ArchiveStatus CountWaitingActions(Archive& archive, size_t& waiting);
ArchiveStatus CountRefusedActions(Archive& archive, size_t& refused);

// The first `limit` waiting versions whose measurement the site holds (pushed): a version of a
// measurement still waiting, or set aside, waits with it. `ids` their places in the queue.
ArchiveStatus ReadWaitingActions(Archive& archive, size_t limit, std::vector<QueuedAction>& actions,
                                 std::vector<int64_t>& ids);

// The versions of `ids` that the site refused are set aside with their reasons, every other one
// marked pushed, in one transaction.
ArchiveStatus SettleActions(Archive& archive, const std::vector<int64_t>& ids,
                            const std::vector<QueueRefusal>& refused);

struct RefusedAction {
    std::string measurement;  // "YYYY-MM-DD HH:MM:SS 이름 측정기준 값"
    std::string text;         // the action's
    std::string reason;
};
ArchiveStatus ReadRefusedActions(Archive& archive, std::vector<RefusedAction>& actions);
