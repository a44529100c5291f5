#include "archive/push_queue.h"

#include "archive/filter_sql.h"

namespace {

ArchiveStatus CountInState(Archive& archive, QueueState state, size_t& count) {
    count = 0;
    Statement select(archive.Handle(), "SELECT count(*) FROM readings WHERE pushed = ?1");
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
    ArchiveStatus status = Execute(archive, "BEGIN IMMEDIATE");
    if (!status) return status;
    {
        Statement reason(
            archive.Handle(),
            "INSERT OR REPLACE INTO site_refusals(reading_id, reason) VALUES (?1, ?2)");
        Statement aside(archive.Handle(), "UPDATE readings SET pushed = 2 WHERE id = ?1");
        for (const QueueRefusal& refusal : refused) {
            reason.Bind(1, refusal.id);
            reason.BindText(2, refusal.reason, false);
            aside.Bind(1, refusal.id);
            if (!(status = Run(archive, reason)) || !(status = Run(archive, aside))) break;
            reason.Reset();
            aside.Reset();
        }
        Statement mark(archive.Handle(),
                       "UPDATE readings SET pushed = 1 WHERE pushed = 0 AND id <= ?1");
        mark.Bind(1, lastId);
        if (status) status = Run(archive, mark);
    }
    if (status) status = Execute(archive, "COMMIT");
    if (!status) Execute(archive, "ROLLBACK");
    return status;
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
    ArchiveStatus status = Execute(archive, "BEGIN IMMEDIATE");
    if (!status) return status;
    status = Execute(archive, "UPDATE readings SET pushed = 0 WHERE pushed = 2");
    if (status) status = Execute(archive, "DELETE FROM site_refusals");
    if (status) status = Execute(archive, "COMMIT");
    if (!status) Execute(archive, "ROLLBACK");
    return status;
}
