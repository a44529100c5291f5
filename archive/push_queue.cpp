#include "archive/push_queue.h"

#include "archive/filter_sql.h"

namespace {

// A queue: its table with the column `pushed`, and where the reasons of its refusals are kept.
struct Queue {
    const char* table;
    const char* refusals;
    const char* key;  // the refusals' column that names the queue's row
};
constexpr Queue kReadings{"readings", "site_refusals", "reading_id"};
constexpr Queue kActions{"measurement_actions", "action_refusals", "action_id"};

ArchiveStatus CountInState(Archive& archive, QueueState state, size_t& count,
                           const Queue& queue = kReadings) {
    count = 0;
    const std::string sql =
        std::string("SELECT count(*) FROM ") + queue.table + " WHERE pushed = ?1";
    Statement select(archive.Handle(), sql.c_str());
    select.Bind(1, static_cast<int64_t>(state));
    return EachRow(archive, select, [&](const Statement& row) {
        count = static_cast<size_t>(row.Integer(0));
        return false;
    });
}

ArchiveStatus Run(Archive& archive, Statement& statement) {
    return EachRow(archive, statement, [](const Statement&) { return true; });
}

ArchiveStatus Execute(Archive& archive, const char* sql) {
    Statement statement(archive.Handle(), sql);
    return Run(archive, statement);
}

// The refused rows of `queue` set aside with their reasons, in the caller's transaction.
ArchiveStatus SetAside(Archive& archive, const Queue& queue,
                       const std::vector<QueueRefusal>& refused) {
    const std::string keep = std::string("INSERT OR REPLACE INTO ") + queue.refusals + "(" +
                             queue.key + ", reason) VALUES (?1, ?2)";
    const std::string mark = std::string("UPDATE ") + queue.table + " SET pushed = 2 WHERE id = ?1";
    Statement reason(archive.Handle(), keep.c_str()), aside(archive.Handle(), mark.c_str());
    ArchiveStatus status;
    for (const QueueRefusal& refusal : refused) {
        reason.Bind(1, refusal.id);
        reason.BindText(2, refusal.reason, false);
        aside.Bind(1, refusal.id);
        if (!(status = Run(archive, reason)) || !(status = Run(archive, aside))) break;
        reason.Reset();
        aside.Reset();
    }
    return status;
}

// `change` in one transaction: all of it or nothing.
template <class Change>
ArchiveStatus InTransaction(Archive& archive, Change change) {
    ArchiveStatus status = Execute(archive, "BEGIN IMMEDIATE");
    if (!status) return status;
    status = change();
    if (status) status = Execute(archive, "COMMIT");
    if (!status) Execute(archive, "ROLLBACK");
    return status;
}

// The view's columns with the queue's place first, after "SELECT ".
std::string QueueColumns() { return std::string(MEASUREMENT_COLUMNS).replace(7, 0, "r.id, "); }

}  // namespace

ArchiveStatus CountWaiting(Archive& archive, size_t& waiting) {
    return CountInState(archive, QueueState::Waiting, waiting);
}

ArchiveStatus CountRefused(Archive& archive, size_t& refused) {
    return CountInState(archive, QueueState::Refused, refused);
}

ArchiveStatus ReadWaiting(Archive& archive, size_t limit, std::vector<Measurement>& rows,
                          std::vector<int64_t>& ids) {
    rows.clear();
    ids.clear();
    const std::string sql = QueueColumns() + " WHERE r.pushed = 0 ORDER BY r.id LIMIT ?1";
    Statement waiting(archive.Handle(), sql.c_str());
    waiting.Bind(1, static_cast<int64_t>(limit));
    return EachRow(archive, waiting, [&](const Statement& row) {
        ids.push_back(row.Integer(0));
        rows.emplace_back();
        ReadMeasurement(row, rows.back(), 1);
        return true;
    });
}

ArchiveStatus ReadWaiting(Archive& archive, size_t limit, std::vector<Measurement>& rows,
                          int64_t& lastId) {
    std::vector<int64_t> ids;
    const ArchiveStatus status = ReadWaiting(archive, limit, rows, ids);
    if (!ids.empty()) lastId = ids.back();
    return status;
}

ArchiveStatus MarkPushed(Archive& archive, int64_t lastId) {
    return SettleBatch(archive, lastId, {});
}

ArchiveStatus SettleBatch(Archive& archive, int64_t lastId,
                          const std::vector<QueueRefusal>& refused) {
    return InTransaction(archive, [&] {
        ArchiveStatus status = SetAside(archive, kReadings, refused);
        Statement mark(archive.Handle(),
                       "UPDATE readings SET pushed = 1 WHERE pushed = 0 AND id <= ?1");
        mark.Bind(1, lastId);
        return status ? Run(archive, mark) : status;
    });
}

ArchiveStatus ReadRefused(Archive& archive, std::vector<RefusedRow>& rows) {
    rows.clear();
    // The reason's column after the queue's place and the view's 13; the columns end at FROM.
    constexpr int kReasonColumn = 14;
    std::string sql = QueueColumns();
    const size_t from = sql.find(" FROM ");
    sql.insert(from, ", f.reason");
    sql += " JOIN site_refusals f ON f.reading_id = r.id WHERE r.pushed = 2 ORDER BY r.id";
    Statement refused(archive.Handle(), sql.c_str());
    return EachRow(archive, refused, [&](const Statement& row) {
        rows.emplace_back();
        ReadMeasurement(row, rows.back().row, 1);
        rows.back().reason = row.Text(kReasonColumn);
        return true;
    });
}

ArchiveStatus RetryRefused(Archive& archive) {
    return InTransaction(archive, [&] {
        ArchiveStatus status;
        for (const Queue& queue : {kReadings, kActions}) {
            const std::string again =
                std::string("UPDATE ") + queue.table + " SET pushed = 0 WHERE pushed = 2";
            if (status) status = Execute(archive, again.c_str());
            if (status)
                status = Execute(archive, (std::string("DELETE FROM ") + queue.refusals).c_str());
        }
        return status;
    });
}

ArchiveStatus CountWaitingActions(Archive& archive, size_t& waiting) {
    return CountInState(archive, QueueState::Waiting, waiting, kActions);
}

ArchiveStatus CountRefusedActions(Archive& archive, size_t& refused) {
    return CountInState(archive, QueueState::Refused, refused, kActions);
}

ArchiveStatus ReadWaitingActions(Archive& archive, size_t limit, std::vector<QueuedAction>& actions,
                                 std::vector<int64_t>& ids) {
    actions.clear();
    ids.clear();
    // Each version's measurement found by its time first, as ACTED_READINGS_SQL finds it. One
    // this archive does not hold was recorded on a row the site showed: it is there already.
    Statement waiting(
        archive.Handle(),
        "SELECT a.id, a.identity, a.action_text, a.action_by, a.action_at "
        "FROM measurement_actions a WHERE a.pushed = 0 AND COALESCE((SELECT max(r.pushed = 1) "
        "FROM reading_identities ri JOIN readings r ON r.id = ri.reading_id "
        "WHERE ri.measured_at = CAST(strftime('%s', substr(a.identity, 1, 19)) AS INTEGER) "
        "AND ri.identity = a.identity), 1) ORDER BY a.id LIMIT ?1");
    waiting.Bind(1, static_cast<int64_t>(limit));
    return EachRow(archive, waiting, [&](const Statement& row) {
        ids.push_back(row.Integer(0));
        actions.push_back({row.Text(1), {row.Text(2), row.Text(3), row.Integer(4)}});
        return true;
    });
}

ArchiveStatus SettleActions(Archive& archive, const std::vector<int64_t>& ids,
                            const std::vector<QueueRefusal>& refused) {
    return InTransaction(archive, [&] {
        ArchiveStatus status = SetAside(archive, kActions, refused);
        Statement mark(archive.Handle(),
                       "UPDATE measurement_actions SET pushed = 1 WHERE pushed = 0 AND id = ?1");
        for (size_t i = 0; status && i < ids.size(); ++i) {
            mark.Bind(1, ids[i]);
            status = Run(archive, mark);
            mark.Reset();
        }
        return status;
    });
}

ArchiveStatus ReadRefusedActions(Archive& archive, std::vector<RefusedAction>& actions) {
    actions.clear();
    Statement refused(
        archive.Handle(),
        "SELECT a.measured_at, coalesce(a.user_name, ''), coalesce(a.standard_name, ''), "
        "a.value, a.action_text, f.reason FROM action_rows a "
        "JOIN action_refusals f ON f.action_id = a.action_id ORDER BY a.action_id");
    return EachRow(archive, refused, [&](const Statement& row) {
        actions.push_back({row.Text(0) + " " + row.Text(1) + " " + row.Text(2) + " " +
                               std::to_string(row.Integer(3)),
                           row.Text(4), row.Text(5)});
        return true;
    });
}
