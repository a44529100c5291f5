#include "chart/chart_model.h"

#include <algorithm>
#include <cstdlib>

#include "chart/number_format.h"
#include "chart/text_width.h"
#include "measurement/time_text.h"

namespace {

constexpr int kPadPx = 8;
constexpr int kTickPx = 4;
constexpr int kLabelGapPx = 6;
constexpr int kLegendGapPx = 14;
constexpr int kDotSwatchPx = 10;
constexpr int kLineSwatchWidthPx = 14, kLineSwatchHeightPx = 4;
constexpr int kTrendColumnPx = 24;  // a trend's point stands for the mean of this many columns
constexpr int kRangeTintPercent = 45;
constexpr int kSpanPadDivisor = 50;  // without a period, 2 % of the span on either side
constexpr int64_t kLonePointPad = SECONDS_PER_HOUR;
constexpr const char* kValueTitle = "측정값";
constexpr const char* kNothingText = "이 기간에 표시할 측정값이 없습니다.";
constexpr const char* kSafetyLabel = "안전지수";
constexpr const char* kDangerLabel = "위험지수";

struct Extent {
    bool any = false;
    int lowest = 0, highest = 0;

    void Include(int64_t value) {
        const int v = static_cast<int>(std::clamp<int64_t>(value, 0, 1 << 30));
        lowest = any ? std::min(lowest, v) : v;
        highest = any ? std::max(highest, v) : v;
        any = true;
    }
};

// The period of the time axis: the one asked for, or the samples' span with a margin.
void ChoosePeriod(ChartModel& model, const std::vector<ChartSeries>& series,
                  const ChartOptions& options) {
    bool any = false;
    int64_t first = 0, last = 0;
    for (const ChartSeries& s : series) {
        for (const ChartSample& sample : s.samples) {
            first = any ? std::min(first, sample.from) : sample.from;
            last = any ? std::max(last, sample.to) : sample.to;
            any = true;
        }
    }
    const int64_t pad = last > first ? (last - first) / kSpanPadDivisor + 1 : kLonePointPad;
    model.from = options.from.value_or(first - pad);
    model.to = options.to.value_or(last + pad);
    if (model.to <= model.from) model.to = model.from + 1;
}

void KeepWithinPeriod(ChartModel& model) {
    for (ChartSeries& s : model.series) {
        const auto outside = [&](const ChartSample& sample) {
            return sample.count == 0 || sample.Middle() < model.from || sample.Middle() >= model.to;
        };
        s.samples.erase(std::remove_if(s.samples.begin(), s.samples.end(), outside),
                        s.samples.end());
    }
}

Extent ValueExtent(const std::vector<ChartSeries>& series) {
    Extent extent;
    for (const ChartSeries& s : series) {
        for (const ChartSample& sample : s.samples) {
            extent.Include(sample.minValue);
            extent.Include(sample.maxValue);
        }
        if (s.safetyIndex) extent.Include(*s.safetyIndex);
        if (s.dangerIndex) extent.Include(*s.dangerIndex);
    }
    return extent;
}

bool HasSamplesWithoutStandard(const std::vector<ChartSeries>& series) {
    for (const ChartSeries& s : series) {
        for (const ChartSample& sample : s.samples) {
            if (sample.verdicts.none > 0) return true;
        }
    }
    return false;
}

class LegendWriter {
public:
    explicit LegendWriter(ChartModel& model) : model_(model), x_(kPadPx), rowTop_(kPadPx) {}

    void Add(const std::string& text, const Colour& colour, bool asLine) {
        const int swatchWidth = asLine ? kLineSwatchWidthPx : kDotSwatchPx;
        const int swatchHeight = asLine ? kLineSwatchHeightPx : kDotSwatchPx;
        const int width = swatchWidth + kTickPx + TextWidthPx(text, model_.fontPx);
        if (x_ > kPadPx && x_ + width > model_.width - kPadPx) {
            x_ = kPadPx;
            rowTop_ += RowHeight();
        }
        const int middle = rowTop_ + model_.fontPx / 2 + 1;
        model_.swatches.push_back({{x_, middle - swatchHeight / 2, x_ + swatchWidth,
                                    middle - swatchHeight / 2 + swatchHeight},
                                   colour});
        model_.texts.push_back({x_ + swatchWidth + kTickPx, rowTop_ + model_.fontPx, text});
        x_ += width + kLegendGapPx;
    }

    int Bottom() const { return rowTop_ + RowHeight(); }

private:
    int RowHeight() const { return model_.fontPx + kLabelGapPx; }

    ChartModel& model_;
    int x_, rowTop_;
};

int WriteLegend(ChartModel& model) {
    LegendWriter legend(model);
    for (const Verdict v : {Verdict::Safe, Verdict::Caution, Verdict::Contaminated}) {
        legend.Add(VerdictText(v), VerdictColour(v), false);
    }
    if (HasSamplesWithoutStandard(model.series)) {
        legend.Add(NO_STANDARD_TEXT, VerdictColour(Verdict::None), false);
    }
    if (model.series.size() > 1) {
        for (size_t i = 0; i < model.series.size(); ++i) {
            legend.Add(model.series[i].name, model.seriesColours[i], true);
        }
    }
    return legend.Bottom();
}

int XOf(const ChartModel& model, int64_t time) {
    const int64_t width = model.plot.right - model.plot.left;
    return model.plot.left +
           static_cast<int>((time - model.from) * width / (model.to - model.from));
}

// Keeps a label that is centred on x within the chart's width.
int CentredX(const ChartModel& model, int x, const std::string& text) {
    const int half = TextWidthPx(text, model.fontPx) / 2;
    return std::clamp(x, half + 2, std::max(half + 2, model.width - half - 2));
}

void AddValueAxis(ChartModel& model, const ValueScale& scale) {
    model.valueTicks = scale.Ticks();
    const PixelRect& p = model.plot;
    for (const ValueTick& tick : model.valueTicks) {
        model.lines.push_back({p.left, tick.y, p.right, tick.y, COLOUR_GRID});
        model.texts.push_back(
            {p.left - kLabelGapPx, tick.y + model.fontPx * 7 / 20, tick.label, TextAnchor::End});
    }
    model.texts.push_back({kPadPx, p.top - model.fontPx, kValueTitle});
}

void AddTimeAxis(ChartModel& model) {
    const PixelRect& p = model.plot;
    const int labelBaseline = p.bottom + kTickPx + model.fontPx + 2;
    const int contextBaseline = labelBaseline + model.fontPx + kTickPx;
    for (const TimeTick& tick : TimeTicks(model.from, model.to, p.right - p.left, model.fontPx)) {
        ChartTimeTick placed;
        static_cast<TimeTick&>(placed) = tick;
        placed.x = XOf(model, tick.time);
        model.lines.push_back({placed.x, p.top, placed.x, p.bottom, COLOUR_GRID});
        model.lines.push_back({placed.x, p.bottom, placed.x, p.bottom + kTickPx, COLOUR_AXIS});
        model.texts.push_back(
            {CentredX(model, placed.x, tick.label), labelBaseline, tick.label, TextAnchor::Middle});
        if (!tick.context.empty()) {
            model.texts.push_back({CentredX(model, placed.x, tick.context), contextBaseline,
                                   tick.context, TextAnchor::Middle});
        }
        model.timeTicks.push_back(std::move(placed));
    }
    model.lines.push_back({p.left, p.top, p.left, p.bottom, COLOUR_AXIS});
    model.lines.push_back({p.left, p.bottom, p.right, p.bottom, COLOUR_AXIS});
}

// One standard's two indices as lines across the plot, labelled at the right unless another
// label already stands at that height.
void AddIndexLines(ChartModel& model, const ValueScale& scale) {
    const bool several = model.series.size() > 1;
    std::vector<int> labelled;
    for (size_t i = 0; i < model.series.size(); ++i) {
        const ChartSeries& s = model.series[i];
        const std::string prefix = several ? s.name + " " : "";
        const struct {
            const std::optional<int64_t>& index;
            const char* label;
            Verdict from;
            Dash dash;
        } lines[] = {{s.safetyIndex, kSafetyLabel, Verdict::Caution, Dash::Short},
                     {s.dangerIndex, kDangerLabel, Verdict::Contaminated, Dash::Long}};
        for (const auto& line : lines) {
            if (!line.index) continue;
            const int y = scale.Y(static_cast<double>(*line.index));
            const Colour colour = several ? model.seriesColours[i] : VerdictColour(line.from);
            model.lines.push_back({model.plot.left, y, model.plot.right, y, colour, 1, line.dash});
            const bool crowded = std::any_of(labelled.begin(), labelled.end(), [&](int other) {
                return std::abs(other - y) < model.fontPx * 3 / 2;
            });
            if (crowded) continue;
            labelled.push_back(y);
            model.texts.push_back({model.plot.right - kTickPx, y - 3,
                                   prefix + line.label + " " + GroupedNumber(*line.index),
                                   TextAnchor::End, colour});
        }
    }
}

// A bucket's span of values, cut where the standard's indices cross it: each piece gets the
// verdict its values have.
void AddRangePieces(ChartModel& model, const ValueScale& scale, const ChartSeries& s,
                    const ChartMark& whole, const ChartSample& sample) {
    if (!s.safetyIndex || !s.dangerIndex) {
        ChartMark mark = whole;
        mark.verdict = sample.verdicts.Worst();
        mark.colour = Tinted(VerdictColour(mark.verdict), kRangeTintPercent);
        model.marks.push_back(mark);
        return;
    }
    const int64_t safety = *s.safetyIndex, danger = *s.dangerIndex;
    const auto verdictOf = [&](int64_t value) {
        return value < safety   ? Verdict::Safe
               : value < danger ? Verdict::Caution
                                : Verdict::Contaminated;
    };
    std::vector<int64_t> cuts = {sample.minValue};
    for (const int64_t cut : {std::min(safety, danger), std::max(safety, danger)}) {
        if (cut > cuts.back() && cut <= sample.maxValue) cuts.push_back(cut);
    }
    for (size_t i = 0; i < cuts.size(); ++i) {
        ChartMark piece = whole;
        piece.yBottom = scale.Y(static_cast<double>(cuts[i]));
        piece.yTop = scale.Y(i + 1 < cuts.size() ? static_cast<double>(cuts[i + 1])
                                                 : static_cast<double>(sample.maxValue));
        piece.verdict = verdictOf(cuts[i]);
        piece.colour = Tinted(VerdictColour(piece.verdict), kRangeTintPercent);
        model.marks.push_back(piece);
    }
}

// The mean of a standard's values in columns a few pixels wide: its course without the scatter.
void AddTrend(ChartModel& model, const ValueScale& scale, size_t series) {
    const int columns = std::max(1, (model.plot.right - model.plot.left) / kTrendColumnPx);
    ChartTrend trend{model.seriesColours[series], {}};
    for (const ChartSample& bucket :
         AggregateByColumn(model.series[series].samples, model.from, model.to, columns)) {
        trend.points.push_back({XOf(model, bucket.Middle()), scale.Y(bucket.Mean())});
    }
    if (trend.points.size() > 1) model.trends.push_back(std::move(trend));
}

void AddMarks(ChartModel& model, const ValueScale& scale) {
    for (size_t i = 0; i < model.series.size(); ++i) {
        const ChartSeries& s = model.series[i];
        for (size_t k = 0; k < s.samples.size(); ++k) {
            const ChartSample& sample = s.samples[k];
            ChartMark mark;
            mark.x = XOf(model, sample.Middle());
            mark.yTop = scale.Y(sample.maxValue);
            mark.yBottom = scale.Y(sample.minValue);
            mark.series = i;
            mark.sample = k;
            if (sample.minValue == sample.maxValue) {
                mark.verdict = sample.verdicts.Worst();
                mark.colour = VerdictColour(mark.verdict);
                model.marks.push_back(mark);
            } else {
                mark.shape = MarkShape::Range;
                AddRangePieces(model, scale, s, mark, sample);
            }
        }
        AddTrend(model, scale, i);
    }
}

void AggregateToColumns(ChartModel& model) {
    const int columns = std::max(1, model.plot.right - model.plot.left);
    const size_t oneByOne = static_cast<size_t>(columns / (2 * model.markRadius));
    for (ChartSeries& s : model.series) {
        if (s.samples.size() > oneByOne) {
            s.samples = AggregateByColumn(s.samples, model.from, model.to, columns);
        }
    }
}

}  // namespace

ChartModel BuildChart(std::vector<ChartSeries> series, const ChartOptions& options) {
    ChartModel model;
    model.width = options.width;
    model.height = options.height;
    model.fontPx = options.fontPx;
    model.axis = options.axis;
    ChoosePeriod(model, series, options);
    model.series = std::move(series);
    KeepWithinPeriod(model);
    for (size_t i = 0; i < model.series.size(); ++i) model.seriesColours.push_back(SeriesColour(i));

    const int legendBottom = WriteLegend(model);
    model.plot.top = legendBottom + 2 * model.fontPx;
    model.plot.bottom = model.height - (2 * kTickPx + 2 * model.fontPx + kLabelGapPx + 2);
    const Extent extent = ValueExtent(model.series);
    const ValueScale scale(options.axis, extent.lowest, extent.highest, model.plot.top,
                           model.plot.bottom, 3 * model.fontPx);
    int widestLabel = 0;
    for (const ValueTick& tick : scale.Ticks()) {
        widestLabel = std::max(widestLabel, TextWidthPx(tick.label, model.fontPx));
    }
    model.plot.left = kPadPx + widestLabel + kLabelGapPx;
    model.plot.right = model.width - 2 * kPadPx;

    AddValueAxis(model, scale);
    AddTimeAxis(model);
    AddIndexLines(model, scale);
    AggregateToColumns(model);
    AddMarks(model, scale);
    if (model.marks.empty()) {
        model.texts.push_back({(model.plot.left + model.plot.right) / 2,
                               (model.plot.top + model.plot.bottom) / 2, kNothingText,
                               TextAnchor::Middle, COLOUR_AXIS});
    }
    return model;
}

std::optional<ChartMark> HitTest(const ChartModel& model, int x, int y) {
    const int reach = model.markRadius + 2;
    std::optional<ChartMark> nearest;
    int nearestSquare = reach * reach;
    for (const ChartMark& mark : model.marks) {
        const int dx = x - mark.x;
        const int dy = y < mark.yTop ? mark.yTop - y : y > mark.yBottom ? y - mark.yBottom : 0;
        const int square = dx * dx + dy * dy;
        if (square <= nearestSquare) {
            nearestSquare = square;
            nearest = mark;
        }
    }
    return nearest;
}
