// The audit report: escaping, its parts, the list limit, and the tally behind the samples.
#include <gtest/gtest.h>

#include "chart/number_format.h"
#include "measurement/personal_number.h"
#include "report/report.h"
#include "report/report_tally.h"
#include "tests/synthetic_history.h"
#include "text/html_text.h"

namespace {

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

TEST(HtmlText, EscapesEverythingThatCouldBreakOut) {
    const struct {
        std::string text, html;
    } cases[] = {
        {"홍길동", "홍길동"},
        {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
        {"a&b", "a&amp;b"},
        {"\"x\" 'y'", "&quot;x&quot; &#39;y&#39;"},
        {"tab\tline\r\n", "tab\tline\r\n"},
        {"nul\x01"
         "end",
         "nul\xEF\xBF\xBD"
         "end"},
        {"\xFF\xFE", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xB1\xE8", "\xEF\xBF\xBD\xEF\xBF\xBD"},  // 김 in code page 949, not UTF-8
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate
        {"\xEA\xB9", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // half a character at the end
    };
    for (const auto& c : cases) EXPECT_EQ(EscapedHtml(c.text), c.html) << c.text;
}

TEST(NumberFormat, GroupsAndShares) {
    EXPECT_EQ(GroupedNumber(0), "0");
    EXPECT_EQ(GroupedNumber(999), "999");
    EXPECT_EQ(GroupedNumber(1000), "1,000");
    EXPECT_EQ(GroupedNumber(1234567), "1,234,567");
    EXPECT_EQ(GroupedNumber(-65535), "-65,535");
    EXPECT_EQ(ShareText(1, 3), "33.3%");
    EXPECT_EQ(ShareText(0, 0), "-");
}

Measurement Contaminated(const std::string& at, const std::string& name, int value) {
    Measurement m;
    m.measuredAt = at;
    m.userName = name;
    m.id1 = 101;
    m.standardName = "세균";
    m.safetyIndex = 100;
    m.dangerIndex = 200;
    m.value = value;
    m.verdict = Verdict::Contaminated;
    m.source = "COM3";
    return m;
}

constexpr const char* kHostile = "<img src=x onerror=\"alert('1')\">&";

ReportInput SmallReport() {
    ReportInput input;
    input.from = "2026-03-01";
    input.to = "2026-03-31";
    input.filters.standard = "세균";
    input.filters.verdicts = {Verdict::Caution, Verdict::Contaminated};
    input.sources = {"COM3"};
    input.counts.safe = 7;
    input.counts.caution = 2;
    input.counts.contaminated = 1;
    input.standards = {{"세균", 100, 200, input.counts, 250}};
    input.chart = {{"세균", 100, 200, {SampleOf(1772891999, 250, Verdict::Contaminated)}}};
    input.contaminated = {Contaminated("2026-03-07 13:59:59", "홍길동", 250)};
    input.contaminatedTotal = 1;
    input.createdAt = "2026-04-01 09:00:00";
    return input;
}

TEST(Report, SelfContainedWithEveryPart) {
    const std::string html = ReportHtml(SmallReport());
    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
    for (const char* outside : {"<script", "src=", "href=", "url(", "@import", "<link", "<img"}) {
        EXPECT_EQ(html.find(outside), std::string::npos) << outside;
    }
    for (const char* part :
         {"<title>측정 이력 보고서 2026-03-01 ~ 2026-03-31</title>",
          "<th>기간<td>2026-03-01 ~ 2026-03-31", "<th>측정기준<td>세균", "<th>사용자<td>전체",
          "<th>결과<td>주의, 오염", "<th>측정 장치 / 파일<td>COM3", "<td class=n>70.0%",
          "<td class=n>10<td class=n>7<td class=n>2<td class=n>1<td class=n>250", "<svg ",
          "오염 결과 1건.",
          "<td class=t>2026-03-07 01:59:59 오후<td>홍길동<td class=n>101<td class=n><td>세균",
          "@page", "display: table-header-group"}) {
        EXPECT_NE(html.find(part), std::string::npos) << part;
    }
    EXPECT_EQ(Occurrences(html, "<thead>"), 3u);      // the summary, the standards, the list
    EXPECT_EQ(html.find("출처"), std::string::npos);  // one source: no column for it
    EXPECT_EQ(html.find("기준 없음"), std::string::npos);
}

TEST(Report, EscapesEveryTextFromTheDeviceOrAFile) {
    ReportInput input = SmallReport();
    input.title = kHostile;
    input.filters.standard = input.filters.user = kHostile;
    input.sources = {kHostile, "COM4"};
    input.standards[0].name = kHostile;
    input.chart[0].name = kHostile;
    input.chart.push_back({"곰팡이", 1, 2, {}});
    Measurement m = Contaminated("not a time <b>", kHostile, 300);
    m.standardName = m.source = kHostile;
    input.contaminated.push_back(m);
    input.contaminatedTotal = 2;
    const std::string html = ReportHtml(input);
    EXPECT_EQ(html.find("<img"), std::string::npos);
    EXPECT_EQ(html.find("<b>"), std::string::npos);
    EXPECT_EQ(html.find("onerror=\""), std::string::npos);
    const std::string escaped = "&lt;img src=x onerror=&quot;alert(&#39;1&#39;)&quot;&gt;&amp;";
    // The title twice, two filters, the sources, the table, the chart's legend and two index
    // labels, and three cells of the second row.
    EXPECT_EQ(Occurrences(html, escaped), 12u);
    EXPECT_NE(html.find("<td class=t>not a time &lt;b&gt;"), std::string::npos);
    EXPECT_NE(html.find("<th>출처"), std::string::npos);  // two sources: the column is there
}

TEST(Report, HidesId2ButItsFirstCharacterUnlessAskedForTheFullNumbers) {
    EXPECT_EQ(MaskedPersonalNumber("1234567"), "1******");
    EXPECT_EQ(MaskedPersonalNumber("-42"), "-**");
    EXPECT_EQ(MaskedPersonalNumber("7"), "7");
    EXPECT_EQ(MaskedPersonalNumber(""), "");
    EXPECT_EQ(MaskedPersonalNumber("홍길동"), "홍**");  // characters, not bytes

    const struct {
        std::optional<int64_t> id2;
        bool showIds;
        const char* cells;  // ID1, ID2 and the standard after them
    } cases[] = {
        {1234567, false, "<td class=n>101<td class=n>1******<td>세균"},
        {1234567, true, "<td class=n>101<td class=n>1234567<td>세균"},
        {std::nullopt, false, "<td class=n>101<td class=n><td>세균"},
    };
    for (const auto& c : cases) {
        ReportInput input = SmallReport();
        input.contaminated[0].id2 = c.id2;
        input.showIds = c.showIds;
        const std::string html = ReportHtml(input);
        EXPECT_NE(html.find(c.cells), std::string::npos) << c.cells;
        EXPECT_EQ(html.find("1234567") == std::string::npos, !c.showIds) << c.cells;
        EXPECT_EQ(html.find("ID2는 첫 자리만") == std::string::npos, c.showIds) << c.cells;
    }
}

TEST(Report, ListsTheNewestContaminatedRowsUpToTheLimit) {
    const struct {
        size_t given;
        int64_t total;
        size_t listed;
        const char* note;
    } cases[] = {
        {0, 0, 0, "이 기간에 오염 결과가 없습니다."},
        {3, 3, 3, "오염 결과 3건. 최근 것부터"},
        {REPORT_LIST_LIMIT, 12345, REPORT_LIST_LIMIT,
         "오염 결과 12,345건 가운데 최근 5,000건을 싣습니다. 나머지 7,345건은"},
        {REPORT_LIST_LIMIT + 7, REPORT_LIST_LIMIT + 7, REPORT_LIST_LIMIT, "나머지 7건은"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given);
        ReportInput input = SmallReport();
        input.contaminated.assign(c.given, Contaminated("2026-03-07 00:05:09", "홍길동", 250));
        input.contaminatedTotal = c.total;
        const std::string html = ReportHtml(input);
        EXPECT_NE(html.find(c.note), std::string::npos);
        EXPECT_EQ(Occurrences(html, "<td class=t>2026-03-07 12:05:09 오전"), c.listed);
        if (c.listed) {
            EXPECT_NE(html.find("<td class=n>" + std::to_string(c.listed) + "<td"),
                      std::string::npos);
        }
    }
}

TEST(Report, ListsTheNewestOpenResultsUpToTheirLimitAndCountsAll) {
    const struct {
        size_t given;
        int64_t open;
        size_t listed;
        const char* note;
    } cases[] = {
        {3, 3, 3, "조치가 기록되지 않은 주의·오염 결과 3건. 최근 것부터"},
        {REPORT_OPEN_LIST_LIMIT, 12345, REPORT_OPEN_LIST_LIMIT,
         "결과 12,345건 가운데 최근 2,500건을 싣습니다. 나머지 9,845건은"},
        {REPORT_OPEN_LIST_LIMIT + 7, REPORT_OPEN_LIST_LIMIT + 7, REPORT_OPEN_LIST_LIMIT,
         "나머지 7건은 측정 이력 창의 &quot;미조치만&quot;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given);
        ReportInput input = SmallReport();
        ReportActions& actions = input.actions.emplace();
        actions.needing = c.open + 4;
        actions.open = c.open;
        actions.contaminated.resize(input.contaminated.size());
        Measurement open = Contaminated("2026-03-08 00:05:09", "홍길동", 120);
        open.verdict = Verdict::Caution;
        actions.openRows.assign(c.given, open);
        actions.openFollowUps.resize(c.given);
        const std::string html = ReportHtml(input);
        EXPECT_NE(html.find(c.note), std::string::npos);
        EXPECT_EQ(Occurrences(html, "<td class=t>2026-03-08 12:05:09 오전"), c.listed);
        // The counts are of all, whatever is listed.
        EXPECT_NE(html.find("오염·주의 " + GroupedNumber(c.open + 4) +
                            "건 중 조치 기록 4건, 미조치 " + GroupedNumber(c.open) + "건"),
                  std::string::npos);
        EXPECT_EQ(html.find("--open --csv") != std::string::npos,
                  static_cast<int64_t>(c.listed) < c.open);
    }
}

TEST(ReportTally, CountsAsTheArchiveWould) {
    SyntheticPlan plan;
    plan.count = 3000;
    plan.sources = {"COM3", "COM4"};
    int64_t contaminated = 0, highest = 0;
    std::string newest;
    ForEachSyntheticMeasurement(plan, [&](const Measurement& m) {
        if (m.verdict == Verdict::Contaminated) {
            ++contaminated;
            newest = m.measuredAt;
        }
        highest = std::max<int64_t>(highest, m.value);
    });
    const ReportInput input = SyntheticReport(plan);
    EXPECT_EQ(input.counts.Total(), 3000);
    EXPECT_EQ(input.contaminatedTotal, contaminated);
    EXPECT_EQ(input.counts.contaminated, contaminated);
    ASSERT_EQ(input.contaminated.size(), static_cast<size_t>(contaminated));
    EXPECT_EQ(input.contaminated.front().measuredAt, newest);
    int64_t perStandard = 0, samples = 0, highestOfAll = 0;
    for (const StandardSummary& s : input.standards) {
        perStandard += s.counts.Total();
        highestOfAll = std::max<int64_t>(highestOfAll, *s.highestValue);
    }
    for (const ChartSeries& s : input.chart) {
        for (const ChartSample& sample : s.samples) samples += sample.count;
        EXPECT_LE(s.samples.size(), static_cast<size_t>(REPORT_CHART_WIDTH));
    }
    EXPECT_EQ(perStandard, 3000);
    EXPECT_EQ(samples, 3000);
    EXPECT_EQ(highestOfAll, highest);
    EXPECT_EQ(input.chart.size(), input.standards.size());
}

TEST(ReportTally, KeepsOnlyTheNewestForTheList) {
    ReportTally tally(0, 60);
    for (int i = 0; i < static_cast<int>(REPORT_LIST_LIMIT) + 10; ++i) {
        Measurement m = Contaminated("2026-03-07 00:00:00", std::to_string(i), 250);
        tally.Add(m);
    }
    const ReportInput input = tally.Fill({});
    ASSERT_EQ(input.contaminated.size(), REPORT_LIST_LIMIT);
    EXPECT_EQ(input.contaminated.front().userName, std::to_string(REPORT_LIST_LIMIT + 9));
    EXPECT_EQ(input.contaminated.back().userName, "10");
    EXPECT_EQ(input.contaminatedTotal, static_cast<int64_t>(REPORT_LIST_LIMIT) + 10);
}

}  // namespace
