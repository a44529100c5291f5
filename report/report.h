// The audit report: one self-contained HTML page (UTF-8, no script, nothing fetched) that shows
// and prints the same in any browser: the period and filters, the sources, the counts of 안전,
// 주의 and 오염, a table per standard, the chart, and the list of the "오염" results.
//
// It takes aggregates, never all rows: the archive counts in SQL and hands the counts, the chart
// series (buckets of ReportBucketSeconds, or single rows where there are few) and the newest
// "오염" rows, at most REPORT_LIST_LIMIT of them, with the number of all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/forced_clears.h"
#include "chart/chart_model.h"
#include "measurement/measurement.h"
#include "measurement/verdicts.h"

// The "오염" rows a report lists at most; the rest are counted in a note. About 150 bytes a row:
// the list stays under a megabyte and a year's report under 2 MB.
constexpr size_t REPORT_LIST_LIMIT = 5000;
// The open results a report lists at most, first in it. A row there is about 180 bytes and a
// "오염" row with its retest and action about 280: both lists full stay under 2 MB with half.
constexpr size_t REPORT_OPEN_LIST_LIMIT = REPORT_LIST_LIMIT / 2;
constexpr int REPORT_CHART_WIDTH = 960, REPORT_CHART_HEIGHT = 380;

// The history window's filters as the report names them. Empty means all ("전체").
struct ReportFilters {
    std::string standard;  // a standard's name
    std::string user;      // a user's name
    std::vector<Verdict> verdicts;
};

// One row of the table per standard.
struct StandardSummary {
    std::string name;  // empty: the records without a standard ("-")
    std::optional<int64_t> safetyIndex, dangerIndex;
    VerdictCounts counts;
    std::optional<int> highestValue;
};

// What was done about a 주의 or 오염 result, and its likely retest, as the report shows them.
struct ReportAction {
    std::string text, by, at;  // `at`: "YYYY-MM-DD HH:MM:SS" on the recording PC's clock
};
struct ResultFollowUp {
    std::optional<Measurement> retest;  // the likely retest: suggested, never certain
    std::optional<ReportAction> action;
};
struct ReportActions {
    int64_t needing = 0;                       // 주의 and 오염 results of the filtered set
    int64_t open = 0;                          // of them, without an action
    std::vector<ResultFollowUp> contaminated;  // beside ReportInput::contaminated, row for row
    std::vector<Measurement> openRows;  // the newest open results, REPORT_OPEN_LIST_LIMIT listed
    std::vector<ResultFollowUp> openFollowUps;  // beside openRows
    // The likely retests found: the site's report, which leaves the column out, finds none.
    bool retests = true;
};

struct ReportInput {
    std::string title = "측정 이력 보고서";
    std::string from, to;  // the period's first and last day, "YYYY-MM-DD"
    ReportFilters filters;
    std::vector<std::string> sources;  // the ports ("COM3") and imported files the rows came from
    VerdictCounts counts;              // of the whole filtered set
    std::vector<StandardSummary> standards;
    std::vector<ChartSeries> chart;  // one series per standard, samples in time order
    ValueAxis axis = ValueAxis::Linear;
    std::vector<Measurement> contaminated;  // the newest "오염" rows first
    int64_t contaminatedTotal = 0;          // all "오염" rows of the filtered set
    // The clears of a device's log forced past the question in the period, oldest first (none
    // in the site's report, which does not keep them): a section of their own when there are.
    std::vector<ForcedClear> forcedClears;
    std::string createdAt;  // "YYYY-MM-DD HH:MM:SS"
    // ID2 in full; otherwise all but its first character hidden (a report is printed, mailed
    // and filed: the operator's number is personal on many sites).
    bool showIds = false;
    std::optional<ReportActions> actions;  // none: a report that does not know of actions
};

std::string ReportHtml(const ReportInput& input);

// The chart's period in seconds, [first day 00:00, the day after the last): from the input's
// days, or nothing when they are not dates.
std::optional<std::pair<int64_t, int64_t>> ReportPeriod(const ReportInput& input);

// The bucket width in which the archive may group a period's rows for the report's chart: about
// one bucket per pixel column.
int64_t ReportBucketSeconds(int64_t from, int64_t to);
