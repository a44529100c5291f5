// What the history window shows, on a real archive file: its filters as the archive's, the
// table's pages and cells over more rows than it holds at once, the chart's single rows and
// buckets, the summary and pointer texts, and the record CSV and report it saves.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "archive/archive_file.h"
#include "cli/string_table.h"
#include "history/history_export.h"
#include "history/history_model.h"
#include "measurement/time_text.h"
#include "records/record_csv.h"
#include "res/resource.h"
#include "tests/support/list_feed.h"

namespace {

const int64_t kDay0 = *SecondsFromDateText("2026-03-01");

HistoryTexts Texts() {
    return {StringText(IDS_HISTORY_SUMMARY),      StringText(IDS_HISTORY_SUMMARY_NONE),
            StringText(IDS_HISTORY_NOTHING),      StringText(IDS_HISTORY_HOVER_ROW),
            StringText(IDS_HISTORY_HOVER_BUCKET), StringText(IDS_HISTORY_SUMMARY_OPEN),
            StringText(IDS_HISTORY_ACTION_OPEN),  StringText(IDS_HISTORY_RETEST)};
}

// A measurement of 세균 (or of no standard) `minutes` after the first day's start.
Measurement At(int64_t minutes, int value, const std::string& standard = "세균",
               const std::string& user = "홍길동") {
    Measurement m;
    m.measuredAt = TimeText(kDay0 + minutes * 60);
    m.value = value;
    m.userName = user;
    m.id1 = 101, m.id2 = 2001;
    m.standardName = standard;
    if (!standard.empty()) m.safetyIndex = 100, m.dangerIndex = 200;
    m.verdict = standard.empty() ? Verdict::None
                : value < 100    ? Verdict::Safe
                : value < 200    ? Verdict::Caution
                                 : Verdict::Contaminated;
    return m;
}

HistoryChoices Days(int first, int last) {
    HistoryChoices choices;
    choices.firstDay = kDay0 + first * SECONDS_PER_DAY;
    choices.lastDay = kDay0 + last * SECONDS_PER_DAY;
    return choices;
}

class HistoryModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("ombrix-history-model-" + std::to_string(getpid()));
        std::filesystem::remove_all(dir);
        path = (dir / "archive.sqlite3").string();
    }
    void TearDown() override {
        archive.reset();
        std::filesystem::remove_all(dir);
    }

    HistoryModel& Open(std::vector<Measurement> rows) {
        ListFeed feed(std::move(rows));
        BatchCount count;
        ArchiveFile file(path);
        EXPECT_TRUE(file.Keep("COM3", feed, count));
        ArchiveStatus status;
        archive = Archive::Open(path, status);
        EXPECT_TRUE(archive);
        model = std::make_unique<HistoryModel>(*archive);
        return *model;
    }

    std::string FileBytes(const std::string& name) {
        std::ifstream in(dir / name, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    std::filesystem::path dir;
    std::string path;
    std::unique_ptr<Archive> archive;
    std::unique_ptr<HistoryModel> model;
};

TEST(HistoryChoices, BecomeTheArchivesFilter) {
    const struct {
        const char* what;
        HistoryChoices choices;
        int64_t from, until;
        unsigned verdicts;
    } cases[] = {
        {"one day", Days(2, 2), kDay0 + 2 * SECONDS_PER_DAY, kDay0 + 3 * SECONDS_PER_DAY,
         ALL_VERDICTS},
        {"days in either order", Days(5, 1), kDay0 + SECONDS_PER_DAY, kDay0 + 6 * SECONDS_PER_DAY,
         ALL_VERDICTS},
        {"안전 unticked leaves out \"-\" too",
         [] {
             HistoryChoices c = Days(0, 0);
             c.verdicts = {false, true, true};
             return c;
         }(),
         kDay0, kDay0 + SECONDS_PER_DAY,
         VerdictBit(Verdict::Caution) | VerdictBit(Verdict::Contaminated)},
        {"none ticked",
         [] {
             HistoryChoices c = Days(0, 0);
             c.verdicts = {false, false, false};
             return c;
         }(),
         kDay0, kDay0 + SECONDS_PER_DAY, 0u},
    };
    for (const auto& c : cases) {
        const ArchiveFilter filter = FilterOf(c.choices);
        EXPECT_EQ(filter.from, c.from) << c.what;
        EXPECT_EQ(filter.until, c.until) << c.what;
        EXPECT_EQ(filter.verdicts, c.verdicts) << c.what;
    }
    const HistoryChoices opened = DefaultChoices(kDay0 + 40 * SECONDS_PER_DAY + 3600);
    EXPECT_EQ(opened.lastDay, kDay0 + 40 * SECONDS_PER_DAY);
    EXPECT_EQ(opened.firstDay, kDay0 + 11 * SECONDS_PER_DAY);  // 30 days with today
    EXPECT_FALSE(opened.standard || opened.user);
}

// After an import the period takes in the file's rows as well as the days it showed: the pickers
// may stand in either order, and a time late in a day still counts that whole day.
TEST(HistoryChoices, WidenToTheImportedRows) {
    const int64_t hour = 3600;
    const struct {
        const char* what;
        HistoryChoices shown;
        int64_t first, last;  // the rows' span, from kDay0
        int firstDay, lastDay;
    } cases[] = {
        {"inside: unchanged", Days(0, 29), 3 * SECONDS_PER_DAY, 5 * SECONDS_PER_DAY, 0, 29},
        {"older rows", Days(60, 89), -30 * SECONDS_PER_DAY + hour, 2 * SECONDS_PER_DAY, -30, 89},
        {"later rows", Days(0, 29), 10 * SECONDS_PER_DAY, 40 * SECONDS_PER_DAY + 23 * hour, 0, 40},
        {"around it", Days(10, 12), 0, 20 * SECONDS_PER_DAY, 0, 20},
        {"pickers reversed", Days(29, 0), -2 * SECONDS_PER_DAY, SECONDS_PER_DAY, -2, 29},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HistoryChoices shown = c.shown;
        shown.standard = "세균";
        const HistoryChoices widened = CoveringPeriod(shown, kDay0 + c.first, kDay0 + c.last);
        EXPECT_EQ(widened.firstDay, kDay0 + c.firstDay * SECONDS_PER_DAY);
        EXPECT_EQ(widened.lastDay, kDay0 + c.lastDay * SECONDS_PER_DAY);
        EXPECT_EQ(widened.standard, shown.standard);  // the other filters as they were
    }
}

TEST(HistoryTexts, FillTheWindowsTexts) {
    EXPECT_EQ(FillNumbered("%1 and %2, %3%", {"a%2", "b"}), "a%2 and b, %3%");
    VerdictCounts counts;
    EXPECT_EQ(SummaryText(Texts(), counts), "이 조건에 맞는 측정 기록이 없습니다.");
    counts.safe = 1500, counts.caution = 300, counts.contaminated = 200;
    EXPECT_EQ(SummaryText(Texts(), counts),
              "전체 2,000건 · 안전 1,500건 (75.0%) · 주의 300건 (15.0%) · 오염 200건 (10.0%)");
    counts.none = 2000;
    EXPECT_EQ(SummaryText(Texts(), counts),
              "전체 4,000건 · 안전 1,500건 (37.5%) · 주의 300건 (7.5%) · 오염 200건 (5.0%) · "
              "기준 없음 2,000건");
}

// More rows than the pages held at once: every row is read where the table asks for it,
// newest first and numbered from 1, whichever pages were dropped meanwhile.
TEST_F(HistoryModelTest, ShowsEachResultsActionOrItsRetestAndFiltersTheOpenOnes) {
    HistoryModel& history = Open({At(0, 250), At(30, 150), At(60, 50), At(120, 250, "곰팡이"),
                                  At(24 * 60 + 120, 50, "곰팡이")});
    ASSERT_TRUE(history.Query(Days(0, 1), 600));
    // Newest first: a 안전 result asks for nothing; the 곰팡이 failure's retest comes exactly
    // 24 h later, the window's end, and shows.
    const std::vector<std::string> cells = {"", "미조치 · 재측정 안전 (추정) 02:00", "",
                                            "미조치 · 재측정 안전 (추정) 01:00",
                                            "미조치 · 재측정 주의 (추정) 00:30"};
    for (size_t row = 0; row < cells.size(); ++row)
        EXPECT_EQ(history.ActionCell(Texts(), row), cells[row]) << row;
    EXPECT_EQ(history.OpenCount(), 3u);
    EXPECT_NE(history.Summary(Texts()).find(" · 미조치 3건"), std::string::npos);

    ASSERT_TRUE(history.RecordAction(4, {"표면 재세척\n2차 세척", "kim", 0}));
    EXPECT_EQ(history.ActionCell(Texts(), 4), "표면 재세척");
    EXPECT_EQ(history.OpenCount(), 2u);
    ASSERT_TRUE(history.RecordAction(4, {"표면 재세척 후 폐기", "kim", 0}));  // a correction
    EXPECT_EQ(history.OpenCount(), 2u);

    HistoryChoices open = Days(0, 1);
    open.openOnly = true;
    ASSERT_TRUE(history.Query(open, 600));
    ASSERT_EQ(history.RowCount(), 2u);
    EXPECT_EQ(history.Row(1)->measuredAt, At(30, 150).measuredAt);
    EXPECT_EQ(history.OpenCount(), 2u);
    ASSERT_TRUE(history.Query(Days(0, 1), 600));
    EXPECT_EQ(history.ActionCell(Texts(), 4), "표면 재세척 후 폐기");
}

TEST_F(HistoryModelTest, PagesThroughMoreRowsThanItHolds) {
    std::vector<Measurement> rows;
    for (int i = 0; i < 2500; ++i) rows.push_back(At(i, i % 300));
    HistoryModel& history = Open(rows);
    ASSERT_TRUE(history.Query(Days(0, 1), 960));
    ASSERT_EQ(history.RowCount(), 2500u);
    for (size_t index : {0u, 2499u, 130u, 2048u, 0u, 1999u}) {
        const Measurement& expected = rows[2499 - index];
        EXPECT_EQ(history.Cell(index, 1), std::to_string(index + 1));
        EXPECT_EQ(history.Cell(index, 2),
                  TwelveHourText(*SecondsFromTimeText(expected.measuredAt)));
        EXPECT_EQ(history.Cell(index, 9), std::to_string(expected.value));
        EXPECT_EQ(history.Cell(index, 10), VerdictText(expected.verdict));
    }
    EXPECT_EQ(history.Cell(0, 0), "");
    EXPECT_EQ(history.Cell(2500, 1), "");
    EXPECT_EQ(history.Row(2500), nullptr);
}

TEST_F(HistoryModelTest, ChartsFewRowsOneByOneAndManyInBuckets) {
    HistoryModel& history = Open({At(60, 50), At(120, 150, "곰팡이"), At(180, 250),
                                  At(24 * 60, 7, ""), At(3 * 24 * 60, 99, "세균", "김철수")});
    ASSERT_TRUE(history.Query(Days(0, 1), 960));
    EXPECT_EQ(history.Counts().Total(), 4);
    // One series per standard, by name (the rows without one first, as in the report); each
    // point knows its row of the table.
    const ChartModel chart = BuildChart(history.Chart(), {});
    ASSERT_EQ(chart.series.size(), 3u);
    EXPECT_EQ(chart.series[0].name, NO_STANDARD_TEXT);
    EXPECT_EQ(chart.series[1].name, "곰팡이");
    EXPECT_EQ(chart.series[2].name, "세균");
    ASSERT_EQ(chart.marks.size(), 4u);
    for (const ChartMark& mark : chart.marks) {
        const std::optional<size_t> row = RowOfMark(chart, mark);
        ASSERT_TRUE(row);
        EXPECT_EQ(history.Row(*row)->value,
                  chart.series[mark.series].samples[mark.sample].maxValue);
    }
    const auto hover = [&](int value) {
        for (const ChartMark& mark : chart.marks)
            if (chart.series[mark.series].samples[mark.sample].maxValue == value)
                return history.HoverText(Texts(), chart, mark);
        return std::string();
    };
    EXPECT_EQ(hover(250), "No. 2 · 2026-03-01 03:00:00 오전 · 홍길동 · 세균 · 측정값 250 · 오염");
    EXPECT_EQ(hover(7), "No. 1 · 2026-03-02 12:00:00 오전 · 홍길동 · - · 측정값 7 · -");

    // A plot too narrow for them one by one: the archive's buckets, every row counted once.
    ASSERT_TRUE(history.Query(Days(0, 3), 12));
    int64_t counted = 0;
    for (const ChartSeries& series : history.Chart())
        for (const ChartSample& sample : series.samples) {
            counted += sample.count;
            EXPECT_FALSE(sample.rowId);
        }
    EXPECT_EQ(counted, 5);
    const ChartModel buckets = BuildChart(history.Chart(), {});
    const auto mould = std::find_if(buckets.marks.begin(), buckets.marks.end(),
                                    [](const ChartMark& mark) { return mark.series == 1; });
    ASSERT_NE(mould, buckets.marks.end());
    EXPECT_EQ(history.HoverText(Texts(), buckets, *mould),
              "2026-03-01 02:00:00 ~ 2026-03-01 02:00:00 · 곰팡이 · 1건 · 측정값 150 ~ 150 · "
              "주의 1건 · 오염 0건");
}

TEST_F(HistoryModelTest, SavesTheFilteredRowsAsTheRecordCsvAndTheirReport) {
    Open({At(60, 50), At(120, 150, "곰팡이"), At(180, 250, "세균", "김철수")});
    HistoryChoices choices = Days(0, 0);
    choices.user = "홍길동";
    const auto file = MakeOutputFile();
    const std::string csv = (dir / "rows.csv").string();
    const HistoryFileOutcome saved = SaveHistoryCsv(*archive, FilterOf(choices), *file, csv);
    EXPECT_TRUE(saved.archive);
    EXPECT_EQ(saved.file, FileError::None);
    // Code page 949, newest first, numbered from 1: "홍길동" is C8 AB B1 E6 B5 BF.
    EXPECT_EQ(FileBytes("rows.csv"),
              std::string(CSV_HEADER) +
                  "1,2026-03-01 02:00:00 \xBF\xC0\xC0\xFC,\xC8\xAB\xB1\xE6\xB5\xBF,101,2001,"
                  "\xB0\xF5\xC6\xCE\xC0\xCC,100,200,150,\xC1\xD6\xC0\xC7\n"
                  "2,2026-03-01 01:00:00 \xBF\xC0\xC0\xFC,\xC8\xAB\xB1\xE6\xB5\xBF,101,2001,"
                  "\xBC\xBC\xB1\xD5,100,200,50,\xBE\xC8\xC0\xFC\n");

    const std::string html = (dir / "report.html").string();
    EXPECT_TRUE(SaveHistoryReport(*archive, choices, DEFAULT_RETEST_WINDOW_SECONDS,
                                  ValueAxis::Logarithmic, "2026-03-02 09:00:00", *file, html)
                    .archive);
    const std::string report = FileBytes("report.html");
    for (const char* part : {"2026-03-01 ~ 2026-03-01", "홍길동", "COM3", "2026-03-02 09:00:00"})
        EXPECT_NE(report.find(part), std::string::npos) << part;
    EXPECT_EQ(report.find("김철수"), std::string::npos);

    // The site's rows of every PC: ID2 hidden but its first character, in the CSV and the report
    // alike, unless the full numbers are asked for.
    EXPECT_TRUE(SaveHistoryCsv(*archive, FilterOf(choices), *file, csv, true).archive);
    EXPECT_NE(FileBytes("rows.csv").find(",101,2***,"), std::string::npos);
    EXPECT_EQ(FileBytes("rows.csv").find("2001"), std::string::npos);
    const HistoryChoices everyone = Days(0, 0);  // 김철수's "오염" row is listed
    for (const bool showIds : {false, true}) {
        EXPECT_TRUE(SaveHistoryReport(*archive, everyone, DEFAULT_RETEST_WINDOW_SECONDS,
                                      ValueAxis::Linear, "2026-03-02 09:00:00", *file, html,
                                      showIds)
                        .archive);
        const std::string cells = showIds ? "<td class=n>2001<td>" : "<td class=n>2***<td>";
        EXPECT_NE(FileBytes("report.html").find(cells), std::string::npos) << cells;
    }

    const std::string unwritable = (dir / "no such folder" / "rows.csv").string();
    EXPECT_NE(SaveHistoryCsv(*archive, FilterOf(choices), *file, unwritable).file, FileError::None);
}

}  // namespace
