// Times the audit report over a year of made-up measurements, and the chart over all of them as
// single rows. Not a test: it prints figures next to their budget.
//
//   report_bench [COUNT] [FILE.html]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>

#include "chart/chart_svg.h"
#include "chart/number_format.h"
#include "measurement/time_text.h"
#include "report/report_tally.h"
#include "tests/synthetic_history.h"

namespace {

constexpr double kBudgetSeconds = 3.0;
constexpr size_t kBudgetBytes = 2 * 1000 * 1000;

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

size_t ElementsIn(const std::string& svg) {
    size_t elements = 0;
    for (size_t at = svg.find('<'); at != std::string::npos; at = svg.find('<', at + 1)) {
        if (svg[at + 1] != '/') ++elements;
    }
    return elements;
}

}  // namespace

int main(int argc, char** argv) {
    SyntheticPlan plan;
    plan.from = "2025-01-01";
    plan.to = "2025-12-31";
    plan.count = argc > 1 ? std::atoll(argv[1]) : 1000000;
    plan.sources = {"COM3", "COM4"};

    auto start = Clock::now();
    const ReportInput input = SyntheticReport(plan);
    const double tallySeconds = SecondsSince(start);
    start = Clock::now();
    const std::string html = ReportHtml(input);
    const double reportSeconds = SecondsSince(start);
    const std::string chart = ChartSvg(BuildChart(input.chart, {}));
    std::printf(
        "report over %s measurements of a year: tallied in %.2f s (the archive counts in "
        "SQL), written in %.3f s, %s bytes (budget %.0f s and %s bytes: %s); "
        "\"오염\" rows: %s listed of %s; chart: %zu SVG elements\n",
        GroupedNumber(plan.count).c_str(), tallySeconds, reportSeconds,
        GroupedNumber(static_cast<int64_t>(html.size())).c_str(), kBudgetSeconds,
        GroupedNumber(kBudgetBytes).c_str(),
        reportSeconds <= kBudgetSeconds && html.size() <= kBudgetBytes ? "within" : "over",
        GroupedNumber(static_cast<int64_t>(input.contaminated.size())).c_str(),
        GroupedNumber(input.contaminatedTotal).c_str(), ElementsIn(chart));

    // The same measurements as single rows, merged per pixel column by the chart model itself.
    std::vector<ChartSeries> series(input.chart.size());
    std::map<std::string, size_t> seriesOf;
    for (size_t i = 0; i < input.chart.size(); ++i) {
        series[i].name = input.chart[i].name;
        seriesOf[series[i].name] = i;
    }
    ForEachSyntheticMeasurement(plan, [&](const Measurement& m) {
        series[seriesOf[m.standardName]].samples.push_back(
            SampleOf(*SecondsFromTimeText(m.measuredAt), m.value, m.verdict));
    });
    start = Clock::now();
    const ChartModel model = BuildChart(std::move(series), {});
    const std::string svg = ChartSvg(model);
    std::printf(
        "chart of %s single rows: built and written in %.3f s, %zu marks, %zu SVG "
        "elements, %s bytes\n",
        GroupedNumber(plan.count).c_str(), SecondsSince(start), model.marks.size(), ElementsIn(svg),
        GroupedNumber(static_cast<int64_t>(svg.size())).c_str());

    if (argc > 2) std::ofstream(argv[2], std::ios::binary) << html;
    return 0;
}
