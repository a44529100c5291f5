#include "history/filter_sql.h"

std::string WhereOf(const HistoryFilter& filter) {
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
    return where;
}

void BindFilter(Statement& statement, const HistoryFilter& filter) {
    if (filter.from) statement.Bind(1, *filter.from);
    if (filter.until) statement.Bind(2, *filter.until);
    if (filter.standard) statement.BindText(3, *filter.standard, false);
    if (filter.user) statement.BindText(4, *filter.user, false);
}

Verdict VerdictOf(int64_t code) {
    return code >= 0 && code <= 3 ? static_cast<Verdict>(code) : Verdict::None;
}
