#include "archive/push_queue.h"

#include "archive/filter_sql.h"

ArchiveStatus CountWaiting(Archive& archive, size_t& waiting) {
    waiting = 0;
    Statement count(archive.Handle(), "SELECT count(*) FROM readings WHERE pushed = 0");
    return EachRow(archive, count, [&](const Statement& row) {
        waiting = static_cast<size_t>(row.Integer(0));
        return false;
    });
}

ArchiveStatus ReadWaiting(Archive& archive, size_t limit, std::vector<Measurement>& rows,
                          int64_t& lastId) {
    rows.clear();
    // The queue's place first, after "SELECT ".
    const std::string sql = std::string(MEASUREMENT_COLUMNS).replace(7, 0, "r.id, ") +
                            " WHERE r.pushed = 0 ORDER BY r.id LIMIT ?1";
    Statement waiting(archive.Handle(), sql.c_str());
    waiting.Bind(1, static_cast<int64_t>(limit));
    return EachRow(archive, waiting, [&](const Statement& row) {
        lastId = row.Integer(0);
        rows.emplace_back();
        ReadMeasurement(row, rows.back(), 1);
        return true;
    });
}

ArchiveStatus MarkPushed(Archive& archive, int64_t lastId) {
    Statement mark(archive.Handle(),
                   "UPDATE readings SET pushed = 1 WHERE pushed = 0 AND id <= ?1");
    mark.Bind(1, lastId);
    return EachRow(archive, mark, [](const Statement&) { return true; });
}
