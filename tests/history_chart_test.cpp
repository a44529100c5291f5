// The history's chart model: times, scales, ticks, aggregation, placement, hit test, SVG.
#include <gtest/gtest.h>

#include <algorithm>

#include "chart/chart_model.h"
#include "chart/chart_svg.h"
#include "measurement/time_text.h"

namespace {

int64_t At(const char* text) { return *SecondsFromTimeText(text); }

TEST(TimeText, ReadsAndWritesTheDevicesClock) {
    const struct {
        const char* text;
        int64_t seconds;
    } cases[] = {
        {"1970-01-01 00:00:00", 0},
        {"1969-12-31 23:59:59", -1},
        {"2000-02-29 12:00:00", 951825600},
        {"2011-03-07 00:05:09", 1299456309},
        {"2026-03-07 13:59:59", 1772891999},
        {"2100-03-01 11:00:00", 4107582000},
        {"1600-01-01 00:00:00", -11676096000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SecondsFromTimeText(c.text), c.seconds) << c.text;
        EXPECT_EQ(TimeText(c.seconds), c.text);
    }
}

TEST(TimeText, TwelveHourTextAsTheRecordListShowsIt) {
    const struct {
        const char* text;
        const char* twelveHour;
    } cases[] = {
        {"2011-03-07 00:05:09", "2011-03-07 12:05:09 오전"},
        {"2011-03-07 11:00:00", "2011-03-07 11:00:00 오전"},
        {"2011-03-07 12:00:00", "2011-03-07 12:00:00 오후"},
        {"2026-03-07 13:59:59", "2026-03-07 01:59:59 오후"},
        {"2026-12-31 23:01:02", "2026-12-31 11:01:02 오후"},
    };
    for (const auto& c : cases) EXPECT_EQ(TwelveHourText(At(c.text)), c.twelveHour) << c.text;
}

TEST(TimeText, RefusesAnythingButTheExactForm) {
    for (const char* text :
         {"", "2026-02-29 00:00:00", "2026-13-01 00:00:00", "2026-00-10 00:00:00",
          "2026-04-31 00:00:00", "2026-03-07 24:00:00", "2026-03-07 12:60:00",
          "2026-03-07T14:05:09", "2026-3-7 14:05:09", "2026-03-07 14:05:09 ", "2026-03-07"}) {
        EXPECT_FALSE(SecondsFromTimeText(text)) << text;
    }
    EXPECT_EQ(SecondsFromDateText("2024-02-29"), At("2024-02-29 00:00:00"));
    EXPECT_FALSE(SecondsFromDateText("2023-02-29"));
    EXPECT_EQ(DateText(At("2024-02-29 23:59:59")), "2024-02-29");
}
std::vector<int> TickValues(const ValueScale& scale) {
    std::vector<int> values;
    for (const ValueTick& tick : scale.Ticks()) values.push_back(tick.value);
    return values;
}

TEST(ValueScale, NiceNumbers) {
    const struct {
        double rough;
        int step;
    } cases[] = {{0.3, 1}, {1, 1}, {1.5, 2}, {3, 5}, {7, 10}, {47.5, 50}, {51, 100}, {2001, 5000}};
    for (const auto& c : cases) EXPECT_EQ(NiceStep(c.rough), c.step) << c.rough;
}

TEST(ValueScale, TicksOnBothAxes) {
    using V = std::vector<int>;
    const struct {
        ValueAxis axis;
        int lowest, highest, top, bottom, spacing;
        V ticks;
        const char* topLabel;
    } cases[] = {
        // Linear from 0 to a nice number that holds the highest value.
        {ValueAxis::Linear, 20, 380, 0, 300, 36, {0, 50, 100, 150, 200, 250, 300, 350, 400}, "400"},
        {ValueAxis::Linear, 0, 0, 0, 300, 36, {0, 1}, "1"},
        {ValueAxis::Linear, 5, 65535, 0, 100, 36, {0, 50000, 100000}, "100,000"},
        // Logarithmic by decades; tall decades also at 2 and 5; zeros get 0 below the decades.
        {ValueAxis::Logarithmic, 3, 4500, 0, 300, 36, {1, 10, 100, 1000, 10000}, "10,000"},
        {ValueAxis::Logarithmic, 0, 4500, 0, 300, 36, {0, 1, 10, 100, 1000, 10000}, "10,000"},
        {ValueAxis::Logarithmic, 120, 800, 0, 300, 36, {100, 200, 500, 1000}, "1,000"},
        {ValueAxis::Logarithmic, 1, 65535, 0, 100, 36, {1, 100, 10000}, "10,000"},
        {ValueAxis::Logarithmic, 0, 0, 0, 300, 36, {0, 1, 2, 5, 10}, "10"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lowest << ".." << c.highest);
        const ValueScale scale(c.axis, c.lowest, c.highest, c.top, c.bottom, c.spacing);
        EXPECT_EQ(TickValues(scale), c.ticks);
        EXPECT_EQ(scale.Ticks().back().label, c.topLabel);
        EXPECT_EQ(scale.Y(scale.High()), c.top);
        EXPECT_EQ(scale.Ticks().front().y, c.bottom);
        for (size_t i = 1; i < scale.Ticks().size(); ++i) {
            EXPECT_LT(scale.Ticks()[i].y, scale.Ticks()[i - 1].y);  // higher values higher up
        }
        EXPECT_LE(scale.Y(c.highest), scale.Y(c.lowest));
        EXPECT_GE(scale.Y(c.highest), c.top);
    }
}

TEST(ValueScale, LogAxisPlacesZeroApartBelowTheLowestDecade) {
    const ValueScale scale(ValueAxis::Logarithmic, 0, 1000, 0, 300, 40);
    EXPECT_EQ(scale.Y(0), 300);
    EXPECT_EQ(scale.Y(1), 280);  // half a tick spacing above
    EXPECT_EQ(scale.Y(1000), 0);
    EXPECT_EQ(scale.Y(10), 280 - 280 / 3);
}

struct TimeTicksCase {
    const char* from;
    const char* to;
    int width;
    size_t count;
    const char* firstLabel;
    const char* firstContext;
    const char* secondLabel;
};

TEST(TimeTicks, ReadableAtEverySpan) {
    const TimeTicksCase cases[] = {
        {"2026-03-07 14:00:03", "2026-03-07 14:00:40", 800, 8, "14:00:05", "2026-03-07",
         "14:00:10"},
        {"2026-03-07 14:00:00", "2026-03-07 14:10:00", 800, 11, "14:00", "2026-03-07", "14:01"},
        {"2026-03-07 00:00:00", "2026-03-08 00:00:00", 800, 13, "00:00", "2026-03-07", "02:00"},
        {"2026-03-07 00:00:00", "2026-03-08 00:00:00", 300, 5, "00:00", "2026-03-07", "06:00"},
        // Weeks start on Mondays: 2026-03-02 is one.
        {"2026-03-01 00:00:00", "2026-04-01 00:00:00", 800, 5, "03-02", "2026", "03-09"},
        {"2025-01-01 00:00:00", "2026-01-01 00:00:00", 900, 13, "2025-01", "", "2025-02"},
        {"2025-01-01 00:00:00", "2026-01-01 00:00:00", 600, 7, "2025-01", "", "2025-03"},
        {"2024-11-15 00:00:00", "2025-02-10 00:00:00", 900, 13, "11-18", "2024", "11-25"},
        {"2016-01-01 00:00:00", "2026-01-01 00:00:00", 800, 11, "2016", "", "2017"},
        {"1700-01-01 00:00:00", "2000-01-01 00:00:00", 800, 16, "1700", "", "1720"},
    };
    for (const TimeTicksCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " ~ " << c.to << " in " << c.width);
        const auto ticks = TimeTicks(At(c.from), At(c.to), c.width, 12);
        ASSERT_EQ(ticks.size(), c.count);
        EXPECT_EQ(ticks[0].label, c.firstLabel);
        EXPECT_EQ(ticks[0].context, c.firstContext);
        EXPECT_EQ(ticks[1].label, c.secondLabel);
    }
}

TEST(TimeTicks, TheContextLineShowsWhereTheDayOrYearChanges) {
    const auto ticks = TimeTicks(At("2026-03-07 18:00:00"), At("2026-03-08 06:00:00"), 800, 12);
    std::vector<std::string> contexts;
    for (const TimeTick& tick : ticks) {
        if (!tick.context.empty()) contexts.push_back(tick.label + " " + tick.context);
    }
    EXPECT_EQ(contexts, (std::vector<std::string>{"18:00 2026-03-07", "00:00 2026-03-08"}));
}

TEST(TimeTicks, FitTheirWidthFromASecondToCenturies) {
    const int64_t from = At("2026-03-07 14:05:09");
    for (int64_t span = 1; span < 400LL * 365 * SECONDS_PER_DAY; span = span * 3 + 7) {
        for (const int width : {200, 900}) {
            SCOPED_TRACE(testing::Message() << span << " s in " << width << " px");
            const auto ticks = TimeTicks(from, from + span, width, 12);
            EXPECT_LE(ticks.size(), static_cast<size_t>(width / 40 + 1));
            for (size_t i = 0; i < ticks.size(); ++i) {
                EXPECT_GE(ticks[i].time, from);
                EXPECT_LE(ticks[i].time, from + span);
                if (i > 0) {
                    EXPECT_GT(ticks[i].time, ticks[i - 1].time);
                }
            }
        }
    }
}

TEST(ChartSample, AggregatesPerColumn) {
    const int64_t t0 = At("2026-03-07 00:00:00");
    const std::vector<ChartSample> samples = {
        SampleOf(t0 + 10, 50, Verdict::Safe, 1),
        SampleOf(t0 + 20, 250, Verdict::Contaminated, 2),
        SampleOf(t0 + 3599, 120, Verdict::Caution, 3),
        SampleOf(t0 + 3600, 90, Verdict::Safe, 4),
        SampleOf(t0 + 7300, 0, Verdict::None, 5),
        SampleOf(t0 - 1, 70, Verdict::Safe, 6),
        SampleOf(t0 + 4 * 3600, 70, Verdict::Safe, 7),
    };
    const auto buckets = AggregateByColumn(samples, t0, t0 + 4 * 3600, 4);  // an hour a column
    ASSERT_EQ(buckets.size(), 3u);
    const struct {
        int64_t from, to, count;
        int min, max;
        int64_t sum;
        Verdict worst;
        std::optional<int64_t> row;
    } expected[] = {
        {t0 + 10, t0 + 3599, 3, 50, 250, 420, Verdict::Contaminated, std::nullopt},
        {t0 + 3600, t0 + 3600, 1, 90, 90, 90, Verdict::Safe, 4},
        {t0 + 7300, t0 + 7300, 1, 0, 0, 0, Verdict::None, 5},
    };
    for (size_t i = 0; i < buckets.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(buckets[i].from, expected[i].from);
        EXPECT_EQ(buckets[i].to, expected[i].to);
        EXPECT_EQ(buckets[i].count, expected[i].count);
        EXPECT_EQ(buckets[i].minValue, expected[i].min);
        EXPECT_EQ(buckets[i].maxValue, expected[i].max);
        EXPECT_EQ(buckets[i].valueSum, expected[i].sum);
        EXPECT_EQ(buckets[i].verdicts.Worst(), expected[i].worst);
        EXPECT_EQ(buckets[i].rowId, expected[i].row);
    }
    EXPECT_EQ(buckets[0].verdicts.caution, 1);
    // Buckets merge again as single rows do, in any order.
    std::vector<ChartSample> reversed(buckets.rbegin(), buckets.rend());
    const auto coarse = AggregateByColumn(reversed, t0, t0 + 4 * 3600, 1);
    ASSERT_EQ(coarse.size(), 1u);
    EXPECT_EQ(coarse[0].count, 5);
    EXPECT_EQ(coarse[0].from, t0 + 10);
    EXPECT_EQ(coarse[0].to, t0 + 7300);
}

TEST(ChartSample, BucketSecondsNoWiderThanAColumnOrWholeHours) {
    EXPECT_EQ(BucketSeconds(0, 365 * SECONDS_PER_DAY, 960), 9 * SECONDS_PER_HOUR);  // 32850
    EXPECT_EQ(BucketSeconds(0, 30 * SECONDS_PER_DAY, 700), SECONDS_PER_HOUR);       // 3702
    EXPECT_EQ(BucketSeconds(0, 30 * SECONDS_PER_DAY, 900), SECONDS_PER_HOUR);       // 2880
    EXPECT_EQ(BucketSeconds(0, 7 * SECONDS_PER_DAY, 700), 864);
    EXPECT_EQ(BucketSeconds(0, 100, 960), 1);
    EXPECT_EQ(BucketSeconds(100, 100, 960), 1);
    EXPECT_EQ(BucketSeconds(0, 9600, 0), 1);
}

ChartSeries Series(const std::string& name, std::optional<int64_t> safety,
                   std::optional<int64_t> danger, std::vector<ChartSample> samples) {
    return {name, safety, danger, std::move(samples)};
}

const ChartText* TextWith(const ChartModel& model, const std::string& part) {
    for (const ChartText& text : model.texts) {
        if (text.text.find(part) != std::string::npos) return &text;
    }
    return nullptr;
}

TEST(ChartModel, PlacesPointsInThePlotByTimeAndValue) {
    const int64_t from = At("2026-03-01 00:00:00"), to = At("2026-04-01 00:00:00");
    ChartOptions options;
    options.from = from;
    options.to = to;
    const ChartModel model = BuildChart(
        {Series("세균", 100, 200,
                {SampleOf(from, 0, Verdict::Safe),
                 SampleOf(from + (to - from) / 2, 150, Verdict::Caution),
                 SampleOf(to - 1, 300, Verdict::Contaminated), SampleOf(to, 80, Verdict::Safe)})},
        options);
    const PixelRect& p = model.plot;
    EXPECT_GT(p.left, 0);
    EXPECT_LT(p.right, model.width);
    EXPECT_GT(p.top, 0);
    EXPECT_LT(p.bottom, model.height);
    ASSERT_EQ(model.marks.size(), 3u);  // the one at `to` is past the period
    const struct {
        int x, y;
        Verdict verdict;
    } expected[] = {
        {p.left, p.bottom, Verdict::Safe},
        {(p.left + p.right) / 2, p.bottom - (p.bottom - p.top) / 2, Verdict::Caution},
        {p.right, p.top, Verdict::Contaminated},
    };
    for (size_t i = 0; i < 3; ++i) {
        const ChartMark& mark = model.marks[i];
        EXPECT_NEAR(mark.x, expected[i].x, 1) << i;
        EXPECT_NEAR(mark.yTop, expected[i].y, 1) << i;
        EXPECT_EQ(mark.shape, MarkShape::Dot);
        EXPECT_EQ(mark.verdict, expected[i].verdict);
        EXPECT_EQ(mark.colour, VerdictColour(expected[i].verdict));
        EXPECT_EQ(mark.sample, i);
    }
    EXPECT_EQ(model.valueTicks.back().value, 300);
    EXPECT_EQ(model.timeTicks.front().label, "03-02");
    EXPECT_NE(TextWith(model, "측정값"), nullptr);
    EXPECT_EQ(TextWith(model, "기준 없음"), nullptr);
}

TEST(ChartModel, IndexLinesInTheVerdictColoursOrTheStandardsOwn) {
    const int64_t t = At("2026-03-07 12:00:00");
    const ChartModel one =
        BuildChart({Series("세균", 100, 200, {SampleOf(t, 150, Verdict::Caution)})}, {});
    const ChartModel two =
        BuildChart({Series("세균", 100, 200, {SampleOf(t, 150, Verdict::Caution)}),
                    Series("곰팡이", 50, std::nullopt, {SampleOf(t, 20, Verdict::Safe)})},
                   {});
    const auto indexLines = [](const ChartModel& model) {
        std::vector<ChartLine> lines;
        for (const ChartLine& line : model.lines) {
            if (line.dash != Dash::Solid) lines.push_back(line);
        }
        return lines;
    };
    const auto lines1 = indexLines(one);
    ASSERT_EQ(lines1.size(), 2u);
    EXPECT_EQ(lines1[0].colour, VerdictColour(Verdict::Caution));
    EXPECT_EQ(lines1[1].colour, VerdictColour(Verdict::Contaminated));
    EXPECT_EQ(lines1[0].x1, one.plot.left);
    EXPECT_EQ(lines1[0].x2, one.plot.right);
    EXPECT_LT(lines1[1].y1, lines1[0].y1);  // the danger index above the safety index
    EXPECT_NE(TextWith(one, "안전지수 100"), nullptr);
    EXPECT_NE(TextWith(one, "위험지수 200"), nullptr);

    const auto lines2 = indexLines(two);
    ASSERT_EQ(lines2.size(), 3u);
    EXPECT_EQ(lines2[2].colour, two.seriesColours[1]);
    EXPECT_NE(two.seriesColours[0], two.seriesColours[1]);
    EXPECT_NE(TextWith(two, "곰팡이 안전지수 50"), nullptr);
    EXPECT_NE(TextWith(two, "곰팡이"), nullptr);  // and in the legend
}

TEST(ChartModel, ManyRowsBecomeABucketPerPixelColumn) {
    const int64_t from = At("2025-01-01 00:00:00");
    std::vector<ChartSample> samples;
    for (int i = 0; i < 100000; ++i) {
        const int value = i * 7919 % 300;  // scattered over 0..299 within every column
        samples.push_back(SampleOf(from + i * 300, value,
                                   value < 100   ? Verdict::Safe
                                   : value < 200 ? Verdict::Caution
                                                 : Verdict::Contaminated));
    }
    const ChartModel model = BuildChart({Series("세균", 100, 200, samples)}, {});
    const int columns = model.plot.right - model.plot.left;
    const auto& drawn = model.series[0].samples;
    EXPECT_LE(drawn.size(), static_cast<size_t>(columns));
    int64_t total = 0;
    for (const ChartSample& s : drawn) total += s.count;
    EXPECT_EQ(total, 100000);
    // Each bucket spans 0..299: cut at both indices, each piece in its verdict's tint.
    ASSERT_EQ(model.marks.size(), 3 * drawn.size());
    const ChartMark* pieces = &model.marks[0];
    EXPECT_EQ(pieces[0].shape, MarkShape::Range);
    EXPECT_EQ(pieces[0].verdict, Verdict::Safe);
    EXPECT_EQ(pieces[1].verdict, Verdict::Caution);
    EXPECT_EQ(pieces[2].verdict, Verdict::Contaminated);
    EXPECT_EQ(pieces[0].yTop, pieces[1].yBottom);
    EXPECT_EQ(pieces[1].yTop, pieces[2].yBottom);
    EXPECT_EQ(pieces[2].colour, Tinted(VerdictColour(Verdict::Contaminated), 45));
    EXPECT_EQ(model.trends.size(), 1u);
    EXPECT_LT(model.trends[0].points.size(), static_cast<size_t>(columns / 10));
}

TEST(ChartModel, LogAxisKeepsZerosOnTheirOwnRow) {
    const int64_t t = At("2026-03-07 12:00:00");
    ChartOptions options;
    options.axis = ValueAxis::Logarithmic;
    const ChartModel model =
        BuildChart({Series("세균", 100, 200,
                           {SampleOf(t, 0, Verdict::Safe), SampleOf(t + 60, 1, Verdict::Safe),
                            SampleOf(t + 120, 5000, Verdict::Contaminated)})},
                   options);
    ASSERT_EQ(model.marks.size(), 3u);
    EXPECT_EQ(model.marks[0].yTop, model.plot.bottom);
    EXPECT_LT(model.marks[1].yTop, model.plot.bottom - 10);
    EXPECT_EQ(model.valueTicks.front().label, "0");
    EXPECT_EQ(model.valueTicks[1].label, "1");
    EXPECT_EQ(model.valueTicks.back().label, "10,000");
}

TEST(ChartModel, NothingToShowSaysSo) {
    ChartOptions options;
    options.from = At("2026-03-01 00:00:00");
    options.to = At("2026-04-01 00:00:00");
    const ChartModel model = BuildChart({Series("세균", 100, 200, {})}, options);
    EXPECT_TRUE(model.marks.empty());
    EXPECT_NE(TextWith(model, "표시할 측정값이 없습니다"), nullptr);
    EXPECT_FALSE(model.timeTicks.empty());
    const ChartModel none = BuildChart({}, {});
    EXPECT_TRUE(none.marks.empty());
    EXPECT_LT(none.plot.left, none.plot.right);
}

TEST(ChartModel, HitTestFindsTheSampleUnderThePointer) {
    const int64_t t = At("2026-03-07 12:00:00");
    ChartOptions options;
    options.from = t;
    options.to = t + 1000;
    std::vector<ChartSample> samples = {SampleOf(t + 100, 10, Verdict::Safe, 11),
                                        SampleOf(t + 500, 50, Verdict::Safe, 12)};
    ChartSample bucket = SampleOf(t + 800, 20, Verdict::Safe);
    MergeSample(bucket, SampleOf(t + 810, 90, Verdict::Safe));
    samples.push_back(bucket);
    const ChartModel model =
        BuildChart({Series("세균", std::nullopt, std::nullopt, samples)}, options);
    ASSERT_EQ(model.marks.size(), 3u);
    const ChartMark& a = model.marks[0];
    const ChartMark& range = model.marks[2];
    const struct {
        int x, y;
        std::optional<size_t> sample;
    } cases[] = {
        {a.x, a.yTop, 0},
        {a.x + 3, a.yTop - 3, 0},
        {a.x + 6, a.yTop, std::nullopt},
        {model.marks[1].x, model.marks[1].yTop + 4, 1},
        {range.x, (range.yTop + range.yBottom) / 2, 2},
        {range.x + 1, range.yTop - 2, 2},
        {range.x, range.yBottom + 20, std::nullopt},
        {model.plot.left + 1, model.plot.top + 1, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        const auto hit = HitTest(model, c.x, c.y);
        ASSERT_EQ(hit.has_value(), c.sample.has_value());
        if (hit) {
            EXPECT_EQ(hit->sample, *c.sample);
        }
    }
    EXPECT_EQ(model.series[0].samples[HitTest(model, a.x, a.yTop)->sample].rowId, 11);
}

size_t ElementsIn(const std::string& svg) {
    size_t count = 0;
    for (size_t at = svg.find('<'); at != std::string::npos; at = svg.find('<', at + 1)) {
        count += svg[at + 1] != '/';
    }
    return count;
}

TEST(ChartSvg, SmallForAnyInputAndEscaped) {
    const int64_t from = At("2025-01-01 00:00:00");
    std::vector<ChartSeries> series;
    for (int s = 0; s < 10; ++s) {
        std::vector<ChartSample> samples;
        for (int i = 0; i < 20000; ++i) {
            samples.push_back(SampleOf(from + i * 1500 + s, (i * 37 + s * 11) % 400,
                                       i % 3 ? Verdict::Safe : Verdict::Contaminated));
        }
        series.push_back(Series(s == 0 ? "<b>&\"세균\"" : "곰팡이 " + std::to_string(s), 100, 200,
                                std::move(samples)));
    }
    const std::string svg = ChartSvg(BuildChart(std::move(series), {}));
    EXPECT_LT(ElementsIn(svg), 300u);
    EXPECT_LT(svg.size(), 600u * 1000);
    EXPECT_EQ(svg.find("<b>"), std::string::npos);
    EXPECT_NE(svg.find("&lt;b&gt;&amp;&quot;세균&quot;"), std::string::npos);
    EXPECT_EQ(svg.rfind("<svg ", 0), 0u);
    EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

}  // namespace
