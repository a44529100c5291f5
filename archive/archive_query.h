// Reading the archive for the history: the filtered rows newest first, a page of them at a
// time, their counts per verdict, their values per time bucket for the chart, and the names to
// filter by. Built for a million rows: a filter keeps 4 bytes a row (the row ids, so that any
// page of an owner-data list is one look-up away), and counts and buckets are summed by SQLite.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "archive/archive.h"
#include "measurement/chart_sample.h"
#include "measurement/verdicts.h"

constexpr unsigned VerdictBit(Verdict verdict) { return 1u << static_cast<unsigned>(verdict); }
constexpr unsigned ALL_VERDICTS = 0xF;

struct ArchiveFilter {
    std::optional<int64_t> from;          // first second of the period (time_text.h), inclusive
    std::optional<int64_t> until;         // end of the period, exclusive
    std::optional<std::string> standard;  // one standard's name; "" the rows without a standard
    std::optional<std::string> user;      // one user's name; "" the rows without a user name
    unsigned verdicts = ALL_VERDICTS;     // VerdictBit of each verdict shown
    bool openOnly = false;  // only 주의 and 오염 results without a corrective action
};

// "YYYY-MM-DD" days, both inclusive, either empty for an open end; false for a text that is
// no date.
bool SetFilterDays(const std::string& firstDay, const std::string& lastDay, ArchiveFilter& filter);

// The rows of a filter, newest first (ties in the order they were archived, latest first).
class FilteredRows {
public:
    FilteredRows() = default;
    explicit FilteredRows(std::vector<uint32_t> ids) : m_ids(std::move(ids)) {}

    ArchiveStatus Load(Archive& archive, const ArchiveFilter& filter);
    size_t Size() const { return m_ids.size(); }
    // Rows [first, first + count) of the list, fewer at its end.
    ArchiveStatus Page(Archive& archive, size_t first, size_t count,
                       std::vector<Measurement>& rows) const;

private:
    std::vector<uint32_t> m_ids;
};

// Every row of a filter without holding them, newest first (the CSV) or oldest first (the
// report's ReportTally): `visit` returns false to stop.
enum class RowOrder { NewestFirst, OldestFirst };
ArchiveStatus ForEachMeasurement(Archive& archive, const ArchiveFilter& filter,
                                 const std::function<bool(const Measurement&)>& visit,
                                 RowOrder order = RowOrder::NewestFirst);

ArchiveStatus CountVerdicts(Archive& archive, const ArchiveFilter& filter, VerdictCounts& counts);

// One standard's measurements within one bucket of time.
struct ChartBucket {
    int64_t start = 0;     // first second of the bucket
    std::string standard;  // "" for measurements without a standard
    // The bucket as a point of the chart: its first and last time, rows, lowest, highest and
    // summed values, and its rows per verdict.
    ChartSample sample;
    std::optional<int64_t> safetyIndex, dangerIndex;  // the highest within the bucket
};
// Buckets of `width` seconds counted from `origin`, in time order, standards by name within one.
ArchiveStatus ChartBuckets(Archive& archive, const ArchiveFilter& filter, int64_t origin,
                           int64_t width, std::vector<ChartBucket>& buckets);

// All the history window shows of a filter, from one pass over its rows (the quickest way on a
// large archive): the list, the counts per verdict, and the chart's buckets of `width` seconds
// counted from `origin` (none for a width of 0).
struct FilteredView {
    FilteredRows list;
    VerdictCounts counts;
    std::vector<ChartBucket> buckets;
    // The open results among the rows (archive_actions.h), where counted in passing (a held
    // period); otherwise CountActions counts them.
    std::optional<size_t> open;
};
ArchiveStatus LoadFiltered(Archive& archive, const ArchiveFilter& filter, int64_t origin,
                           int64_t width, FilteredView& view);

// The rows of one period held in memory (20 bytes a row), so that a change of the standard, the
// user or the verdicts, or a period within the one held, is counted without a pass over the
// archive: the history window's filters over a year of a million rows. A period beyond the one
// held is read anew, as is any after Forget.
class PeriodCache {
public:
    // As LoadFiltered; a filter without both ends of its period goes to the archive as it is.
    ArchiveStatus Load(Archive& archive, const ArchiveFilter& filter, int64_t origin, int64_t width,
                       FilteredView& view);
    // The archive has changed: the next Load reads it.
    void Forget();

private:
    struct Row {
        uint32_t id, offset, userId;  // offset: seconds from m_from
        uint16_t standard;            // into m_standards
        uint8_t verdict;
        int32_t value;
    };
    // A standard with one pair of indices: a standard whose indices changed has a key each.
    struct Standard {
        int64_t id;
        std::optional<int64_t> safetyIndex, dangerIndex;
        bool operator<(const Standard& o) const {
            return std::tie(id, safetyIndex, dangerIndex) <
                   std::tie(o.id, o.safetyIndex, o.dangerIndex);
        }
    };

    bool Holds(const ArchiveFilter& filter) const;
    ArchiveStatus Read(Archive& archive, int64_t from, int64_t until);

    bool m_held = false;
    int64_t m_from = 0, m_until = 0;
    std::vector<Row> m_rows;
    std::vector<Standard> m_standards;
};

// What the filters offer: every standard name and user name in the archive, sorted; an empty
// name (rows without one) is left out.
struct FilterChoices {
    std::vector<std::string> standards, users;
};
ArchiveStatus LoadFilterChoices(Archive& archive, FilterChoices& choices);
