#include "report/archive_report.h"

#include <algorithm>
#include <limits>
#include <map>
#include <set>

#include "archive/archive_actions.h"
#include "archive/filter_sql.h"
#include "measurement/local_clock.h"
#include "measurement/time_text.h"

namespace {

// One standard's share of the report, summed from its rows in any order.
struct StandardTally {
    StandardSummary summary;
    int64_t newest = std::numeric_limits<int64_t>::min();  // whose indices the table shows
    std::map<int64_t, ChartSample> buckets;                // by bucket number
};

// The rows of the filter in the table's order (the quickest read, no sort), each added to its
// standard's counts and to its bucket of the chart; the batches they came in, for the sources.
class ReportScan {
public:
    ReportScan(int64_t origin, int64_t width) : m_origin(origin), m_width(width) {}

    ArchiveStatus Run(Archive& archive, const ArchiveFilter& filter) {
        const std::string sql =
            "SELECT r.measured_at, r.standard_id, r.value, r.verdict, r.safety_index, "
            "r.danger_index, r.batch_id FROM readings r" +
            WhereOf(filter);
        Statement statement(archive.Handle(), sql.c_str());
        BindFilter(statement, filter);
        return EachRow(archive, statement, [&](const Statement& row) {
            Add(row);
            return true;
        });
    }

    // Names by standard id, and sources by batch, from the archive's small tables.
    ArchiveStatus Fill(Archive& archive, ReportInput& input) {
        std::map<int64_t, std::string> names;
        Statement standards(archive.Handle(), "SELECT id, coalesce(name, '') FROM standards");
        ArchiveStatus status = EachRow(archive, standards, [&](const Statement& row) {
            names[row.Integer(0)] = row.Text(1);
            return true;
        });
        if (!status) return status;
        std::set<std::string> sources;
        Statement batches(
            archive.Handle(),
            "SELECT b.id, s.name FROM batches b JOIN sources s ON s.id = b.source_id");
        status = EachRow(archive, batches, [&](const Statement& row) {
            if (m_batches.count(row.Integer(0))) sources.insert(row.Text(1));
            return true;
        });
        if (!status) return status;
        input.sources.assign(sources.begin(), sources.end());

        std::map<std::string, StandardTally*> byName;  // the table in the order of names
        for (auto& [id, tally] : m_standards) {
            tally.summary.name = names[id];
            byName[tally.summary.name] = &tally;
        }
        input.counts = {};
        input.standards.clear();
        input.chart.clear();
        for (auto& [name, tally] : byName) {
            input.counts += tally->summary.counts;
            input.standards.push_back(tally->summary);
            ChartSeries series{name.empty() ? NO_STANDARD_TEXT : name,
                               tally->summary.safetyIndex,
                               tally->summary.dangerIndex,
                               {}};
            for (auto& [number, sample] : tally->buckets) series.samples.push_back(sample);
            input.chart.push_back(std::move(series));
        }
        return {};
    }

private:
    void Add(const Statement& row) {
        const int64_t measuredAt = row.Integer(0);
        const int value = static_cast<int>(row.Integer(2));
        const Verdict verdict = VerdictOf(row.Integer(3));
        StandardTally& tally = m_standards[row.Integer(1)];
        StandardSummary& summary = tally.summary;
        ++summary.counts.Of(verdict);
        summary.highestValue = std::max(summary.highestValue.value_or(value), value);
        if (measuredAt >= tally.newest) {
            tally.newest = measuredAt;
            summary.safetyIndex = row.OptionalInteger(4);
            summary.dangerIndex = row.OptionalInteger(5);
        }
        const int64_t offset = measuredAt - m_origin;
        const int64_t bucket = offset / m_width - (offset < 0 && offset % m_width);
        MergeSample(tally.buckets[bucket], SampleOf(measuredAt, value, verdict));
        m_batches.insert(row.Integer(6));
    }

    int64_t m_origin, m_width;
    std::map<int64_t, StandardTally> m_standards;  // by standard id
    std::set<int64_t> m_batches;
};

// The newest "오염" rows of the filter, at most REPORT_LIST_LIMIT.
ArchiveStatus LoadContaminated(Archive& archive, ArchiveFilter filter, ReportInput& input) {
    input.contaminated.clear();
    const unsigned bit = VerdictBit(Verdict::Contaminated);
    if (!(filter.verdicts & bit)) return {};
    filter.verdicts = bit;
    return ForEachMeasurement(archive, filter, [&](const Measurement& row) {
        input.contaminated.push_back(row);
        return input.contaminated.size() < REPORT_LIST_LIMIT;
    });
}

ReportAction ReportActionOf(const CorrectiveAction& action) {
    return {action.text, action.by, TimeText(action.at)};
}

// What followed each listed "오염" row, the counts of results answered and open, and the newest
// open results with their likely retests: the retests of both lists in one pass, the actions in
// one read.
ArchiveStatus LoadReportActions(Archive& archive, const ArchiveFilter& filter,
                                int64_t retestWindowSeconds, ReportInput& input) {
    ReportActions& actions = input.actions.emplace();
    ActionCounts counts;
    ArchiveStatus status = CountActions(archive, filter, counts);
    actions.needing = static_cast<int64_t>(counts.needing);
    actions.open = static_cast<int64_t>(counts.open);
    if (status && counts.open > 0) {
        ArchiveFilter open = filter;
        open.openOnly = true;
        status = ForEachMeasurement(archive, open, [&](const Measurement& row) {
            actions.openRows.push_back(row);
            return actions.openRows.size() < REPORT_OPEN_LIST_LIMIT;
        });
    }
    std::vector<const Measurement*> rows;
    for (const Measurement& row : input.contaminated) rows.push_back(&row);
    std::vector<std::optional<CorrectiveAction>> acted;
    if (status) status = LatestActions(archive, rows, acted);
    for (const Measurement& row : actions.openRows) rows.push_back(&row);
    std::vector<std::optional<Measurement>> retests;
    if (status) status = LikelyRetests(archive, rows, retestWindowSeconds, retests);
    if (!status) return status;
    for (size_t i = 0; i < input.contaminated.size(); ++i)
        actions.contaminated.push_back(
            {retests[i], acted[i] ? std::optional(ReportActionOf(*acted[i])) : std::nullopt});
    for (size_t i = input.contaminated.size(); i < rows.size(); ++i)
        actions.openFollowUps.push_back({retests[i], std::nullopt});
    return status;
}

// The first and last time measured under the filter; false when no row matches.
ArchiveStatus MeasuredSpan(Archive& archive, const ArchiveFilter& filter, bool& any, int64_t& first,
                           int64_t& last) {
    const std::string sql =
        "SELECT min(r.measured_at), max(r.measured_at) FROM readings r" + WhereOf(filter);
    Statement statement(archive.Handle(), sql.c_str());
    BindFilter(statement, filter);
    any = false;
    return EachRow(archive, statement, [&](const Statement& row) {
        any = row.OptionalInteger(0).has_value();
        first = row.Integer(0);
        last = row.Integer(1);
        return false;
    });
}

}  // namespace

void ReportPeriod(const ArchiveFilter& filter, bool any, int64_t first, int64_t last, int64_t& from,
                  int64_t& until, ReportInput& input) {
    from = filter.from.value_or(0);
    until = filter.until.value_or(0);
    if (!any) {
        first = filter.from    ? *filter.from
                : filter.until ? *filter.until - SECONDS_PER_DAY
                               : LocalNowSeconds();
        last = filter.until ? *filter.until - SECONDS_PER_DAY : first;
    }
    if (!filter.from) from = first - first % SECONDS_PER_DAY;
    if (!filter.until) until = last - last % SECONDS_PER_DAY + SECONDS_PER_DAY;
    if (until <= from) until = from + SECONDS_PER_DAY;
    input.from = DateText(from);
    input.to = DateText(until - SECONDS_PER_DAY);
}

ArchiveStatus LoadReport(Archive& archive, const ArchiveFilter& filter, int64_t retestWindowSeconds,
                         ReportInput& input) {
    const ArchiveSnapshot snapshot(archive);  // totals and rows of one moment
    bool any = false;
    int64_t first = 0, last = 0;
    if (!filter.from || !filter.until) {
        const ArchiveStatus status = MeasuredSpan(archive, filter, any, first, last);
        if (!status) return status;
    }
    int64_t from = 0, until = 0;
    ReportPeriod(filter, any, first, last, from, until, input);

    ReportScan scan(from, ReportBucketSeconds(from, until));
    ArchiveStatus status = scan.Run(archive, filter);
    if (status) status = scan.Fill(archive, input);
    if (!status) return status;
    input.contaminatedTotal = input.counts.contaminated;
    status = LoadContaminated(archive, filter, input);
    if (!status) return status;
    status = LoadForcedClears(archive, from, until, input.forcedClears);
    return status ? LoadReportActions(archive, filter, retestWindowSeconds, input) : status;
}

// The filter in the report's words; a name of "" is the rows without one.
ReportFilters ReportFiltersOf(const ArchiveFilter& filter) {
    ReportFilters names;
    if (filter.standard)
        names.standard = filter.standard->empty() ? NO_STANDARD_TEXT : *filter.standard;
    if (filter.user) names.user = filter.user->empty() ? "이름 없음" : *filter.user;
    if ((filter.verdicts & ALL_VERDICTS) != ALL_VERDICTS)
        for (Verdict verdict :
             {Verdict::Safe, Verdict::Caution, Verdict::Contaminated, Verdict::None})
            if (filter.verdicts & VerdictBit(verdict)) names.verdicts.push_back(verdict);
    return names;
}
