#include "archive/forced_clears.h"

#include <limits>

#include "archive/filter_sql.h"
#include "archive/sqlite_statement.h"
#include "measurement/local_clock.h"
#include "measurement/time_text.h"

ArchiveStatus KeepForcedClear(Archive& archive, const ForcedClear& clear) {
    const std::optional<int64_t> at = clear.clearedAt.empty()
                                          ? std::optional<int64_t>(LocalNowSeconds())
                                          : SecondsFromTimeText(clear.clearedAt);
    Statement insert(archive.Handle(),
                     "INSERT INTO forced_clears(cleared_at, record_count, windows_user, source) "
                     "VALUES (?, ?, ?, ?)");
    if (insert.Prepared() != SQLITE_OK) return StatusOf(archive.Handle(), insert.Prepared());
    insert.Bind(1, at.value_or(LocalNowSeconds()));
    insert.Bind(2, clear.count ? std::optional<int64_t>(*clear.count) : std::nullopt);
    insert.BindText(3, clear.user, false);
    insert.BindText(4, clear.source, false);
    return StatusOf(archive.Handle(), insert.Step());
}

ArchiveStatus LoadForcedClears(Archive& archive, std::optional<int64_t> from,
                               std::optional<int64_t> until, std::vector<ForcedClear>& clears) {
    clears.clear();
    Statement select(archive.Handle(),
                     "SELECT cleared_at, record_count, windows_user, source FROM forced_clears "
                     "WHERE cleared_at >= ? AND cleared_at < ? ORDER BY cleared_at, id");
    select.Bind(1, from.value_or(std::numeric_limits<int64_t>::min()));
    select.Bind(2, until.value_or(std::numeric_limits<int64_t>::max()));
    return EachRow(archive, select, [&](const Statement& row) {
        const std::optional<int64_t> count = row.OptionalInteger(1);
        clears.push_back({TimeText(row.Integer(0)),
                          count ? std::optional<int>(static_cast<int>(*count)) : std::nullopt,
                          row.Text(2), row.Text(3)});
        return true;
    });
}
