#include "site/site_view.h"

#include <algorithm>
#include <map>

#include "measurement/time_text.h"

SiteRowMap::SiteRowMap(const std::vector<ChartBucket>& buckets, int64_t width) {
    std::map<int64_t, size_t, std::greater<int64_t>> rowsByStart;  // the standards' together
    for (const ChartBucket& bucket : buckets)
        rowsByStart[bucket.start] += static_cast<size_t>(bucket.sample.count);
    for (const auto& [start, rows] : rowsByStart) {
        m_spans.push_back({start + width, m_total});
        m_total += rows;
    }
}

SiteRowMap::Jump SiteRowMap::JumpTo(size_t index) const {
    // The last span that begins at or before `index`.
    const auto after =
        std::upper_bound(m_spans.begin(), m_spans.end(), index,
                         [](size_t at, const Span& span) { return at < span.first; });
    if (after == m_spans.begin()) return {};
    const Span& span = *(after - 1);
    return {span.until, index - span.first};
}

SiteStatus ReadSiteList(SiteDatabase& site, const SiteFilter& filter, const SiteRowMap& map,
                        size_t first, size_t count, const SiteRowKey* previous,
                        const SiteRowKey* next, std::vector<SiteListRow>& rows) {
    SiteListStart start;
    if (previous) {
        start.after = *previous;
    } else if (next) {
        start.after = *next;
        start.newer = true;
        const SiteStatus status = site.ReadList(filter, start, count, rows);
        std::reverse(rows.begin(), rows.end());
        return status;
    } else if (first > 0) {
        const SiteRowMap::Jump jump = map.JumpTo(first);
        SiteFilter within = filter;
        within.history.until = std::min(jump.until, filter.history.until.value_or(jump.until));
        start.skip = jump.skip;
        return site.ReadList(within, start, count, rows);
    }
    return site.ReadList(filter, start, count, rows);
}
