// The history chart as pixels: the measured value over time for one standard, or for several in
// their own colours; points coloured by verdict; each standard's safety and danger indices as
// lines; a linear or logarithmic value axis; date ticks; a legend. Everything a painter needs is
// here, laid out in the pixel rectangle asked for, so that a painter (the SVG writer, the history
// window) only draws, in this order: background, swatches, lines, marks, trends, texts.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "chart/chart_colours.h"
#include "chart/time_ticks.h"
#include "chart/value_scale.h"
#include "measurement/chart_sample.h"

// The measurements of one standard, in time order.
struct ChartSeries {
    std::string name;  // the standard's name (UTF-8)
    std::optional<int64_t> safetyIndex, dangerIndex;
    std::vector<ChartSample> samples;
};

struct ChartOptions {
    int width = 960, height = 360;  // pixels
    ValueAxis axis = ValueAxis::Linear;
    // The period shown, [from, to) in seconds; by default the samples' own span.
    std::optional<int64_t> from, to;
    int fontPx = 12;
};

struct PixelRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

enum class Dash { Solid, Short, Long };

struct ChartLine {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    Colour colour;
    int width = 1;
    Dash dash = Dash::Solid;
};

enum class TextAnchor { Start, Middle, End };

struct ChartText {
    int x = 0, y = 0;  // y is the baseline
    std::string text;
    TextAnchor anchor = TextAnchor::Start;
    Colour colour = COLOUR_TEXT;
};

// A dot: a filled circle of the model's mark radius at (x, yTop), in its verdict's colour. A
// range: a vertical line of the model's range width from yTop down to yBottom, one piece of a
// bucket's span of values (split where the standard's indices cross it), in a light tint of its
// verdict's colour, so that a few far values in a dense bucket do not outweigh the rest.
enum class MarkShape { Dot, Range };

struct ChartMark {
    int x = 0, yTop = 0, yBottom = 0;
    MarkShape shape = MarkShape::Dot;
    Verdict verdict = Verdict::None;
    Colour colour;
    size_t series = 0, sample = 0;  // into ChartModel::series and its samples
};

struct ChartPoint {
    int x = 0, y = 0;
};

// A standard's course: the mean of its values, a point every few pixels.
struct ChartTrend {
    Colour colour;
    std::vector<ChartPoint> points;
};

struct ChartSwatch {
    PixelRect rect;
    Colour colour;
};

struct ChartTimeTick : TimeTick {
    int x = 0;
};

struct ChartModel {
    int width = 0, height = 0, fontPx = 0;
    int markRadius = 3, rangeWidth = 1, trendWidth = 2;
    PixelRect plot;
    int64_t from = 0, to = 0;  // the period on the time axis
    ValueAxis axis = ValueAxis::Linear;
    // As drawn: each standard's samples within the period, merged per pixel column where there
    // are more than the plot can show one by one.
    std::vector<ChartSeries> series;
    std::vector<Colour> seriesColours;
    std::vector<ValueTick> valueTicks;
    std::vector<ChartTimeTick> timeTicks;
    std::vector<ChartSwatch> swatches;
    std::vector<ChartLine> lines;  // grid, axes and index lines, in drawing order
    std::vector<ChartMark> marks;
    std::vector<ChartTrend> trends;
    std::vector<ChartText> texts;
};

ChartModel BuildChart(std::vector<ChartSeries> series, const ChartOptions& options);

// The mark under the pixel (x, y) (the nearest, within a few pixels), for hovering; none if no
// mark is that close.
std::optional<ChartMark> HitTest(const ChartModel& model, int x, int y);
