// The site's rows for the history window's "사이트 전체", never all of them on this PC: the list
// newest first as the server orders it, any stretch of it read when the window shows it. The
// buckets the server counted for the chart say where each bucket's rows begin in the list, so a
// row far away (the scroll thumb dragged) is one statement away: the rows measured before its
// bucket's end, those of the newer rows skipped that precede it in its bucket.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "site/site_database.h"

// Where each bucket's rows begin in the list, newest first.
class SiteRowMap {
public:
    SiteRowMap() = default;
    // The buckets of `width` seconds the server counted (any standards, in time order) under
    // the filter whose rows the list holds.
    SiteRowMap(const std::vector<ChartBucket>& buckets, int64_t width);

    size_t Total() const { return m_total; }
    // The list's rows measured before `until` (of the bucket holding row `index`) begin with the
    // first row of that bucket: `skip` of them precede row `index`.
    struct Jump {
        int64_t until = 0;
        size_t skip = 0;
    };
    Jump JumpTo(size_t index) const;

private:
    struct Span {
        int64_t until = 0;  // the bucket's end
        size_t first = 0;   // its newest row's index in the list
    };
    std::vector<Span> m_spans;  // newest first
    size_t m_total = 0;
};

// Rows [first, first + count) of the filter's list, newest first, in one statement: after
// `previous` (the row at first - 1) or before `next` (the row at first + count) when known
// (keyset), or else through the map's jump.
SiteStatus ReadSiteList(SiteDatabase& site, const SiteFilter& filter, const SiteRowMap& map,
                        size_t first, size_t count, const SiteRowKey* previous,
                        const SiteRowKey* next, std::vector<SiteListRow>& rows);
