#include "chart/time_ticks.h"

#include <algorithm>
#include <cstdio>

#include "chart/text_width.h"
#include "measurement/time_text.h"

namespace {

enum class Unit { Second, Minute, Hour, Day, Week, Month, Year };

struct Step {
    Unit unit;
    int64_t count;
};

// The label of each unit and what its context line holds.
enum class Label { Seconds, Minutes, MonthDay, YearMonth, YearOnly };

constexpr int64_t kSecondsPerWeek = 7 * SECONDS_PER_DAY;
constexpr int64_t kAverageSecondsPerMonth = 2629746;  // 365.2425 days / 12
constexpr int64_t kAverageSecondsPerYear = 12 * kAverageSecondsPerMonth;
// 1970-01-05, the first Monday of the count: weeks start on Mondays.
constexpr int64_t kFirstMonday = 4 * SECONDS_PER_DAY;
constexpr int kLabelGapPx = 16;

constexpr Step kSteps[] = {
    {Unit::Second, 1},  {Unit::Second, 2},  {Unit::Second, 5},  {Unit::Second, 10},
    {Unit::Second, 15}, {Unit::Second, 30}, {Unit::Minute, 1},  {Unit::Minute, 2},
    {Unit::Minute, 5},  {Unit::Minute, 10}, {Unit::Minute, 15}, {Unit::Minute, 30},
    {Unit::Hour, 1},    {Unit::Hour, 2},    {Unit::Hour, 3},    {Unit::Hour, 6},
    {Unit::Hour, 12},   {Unit::Day, 1},     {Unit::Day, 2},     {Unit::Week, 1},
    {Unit::Week, 2},    {Unit::Month, 1},   {Unit::Month, 2},   {Unit::Month, 3},
    {Unit::Month, 6},   {Unit::Year, 1},    {Unit::Year, 2},    {Unit::Year, 5},
};

// Fixed-length units in seconds; months and years on average, for choosing a step only.
int64_t UnitSeconds(Unit unit) {
    switch (unit) {
        case Unit::Second:
            return 1;
        case Unit::Minute:
            return SECONDS_PER_MINUTE;
        case Unit::Hour:
            return SECONDS_PER_HOUR;
        case Unit::Day:
            return SECONDS_PER_DAY;
        case Unit::Week:
            return kSecondsPerWeek;
        case Unit::Month:
            return kAverageSecondsPerMonth;
        case Unit::Year:
            break;
    }
    return kAverageSecondsPerYear;
}

Label LabelOf(const Step& step) {
    switch (step.unit) {
        case Unit::Second:
            return Label::Seconds;
        case Unit::Minute:
        case Unit::Hour:
            return Label::Minutes;
        case Unit::Day:
        case Unit::Week:
            return Label::MonthDay;
        case Unit::Month:
            return Label::YearMonth;
        case Unit::Year:
            break;
    }
    return Label::YearOnly;
}

std::string Format(const char* format, int a, int b = 0, int c = 0) {
    char text[32];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

std::string LabelText(Label label, const CivilTime& t) {
    switch (label) {
        case Label::Seconds:
            return Format("%02d:%02d:%02d", t.hour, t.minute, t.second);
        case Label::Minutes:
            return Format("%02d:%02d", t.hour, t.minute);
        case Label::MonthDay:
            return Format("%02d-%02d", t.month, t.day);
        case Label::YearMonth:
            return Format("%04d-%02d", t.year, t.month);
        case Label::YearOnly:
            break;
    }
    return Format("%04d", t.year);
}

std::string ContextText(Label label, const CivilTime& t) {
    switch (label) {
        case Label::Seconds:
        case Label::Minutes:
            return Format("%04d-%02d-%02d", t.year, t.month, t.day);
        case Label::MonthDay:
            return Format("%04d", t.year);
        case Label::YearMonth:
        case Label::YearOnly:
            break;
    }
    return {};
}

// Steps of many years go on by powers of ten beyond the table: 10, 20, 50, 100...
Step StepAfter(size_t index) {
    if (index < std::size(kSteps)) return kSteps[index];
    const size_t beyond = index - std::size(kSteps);
    static const int64_t kMantissas[] = {1, 2, 5};
    int64_t power = 10;
    for (size_t i = 0; i < beyond / 3; ++i) power *= 10;
    return {Unit::Year, kMantissas[beyond % 3] * power};
}

Step ChooseStep(int64_t span, int widthPx, int fontPx) {
    for (size_t i = 0;; ++i) {
        const Step step = StepAfter(i);
        const int labelPx = TextWidthPx(LabelText(LabelOf(step), CivilTime{}), fontPx);
        const int64_t fitting = std::max(1, widthPx / (labelPx + kLabelGapPx));
        if (span / (UnitSeconds(step.unit) * step.count) < fitting) return step;
    }
}

int64_t CeilToMultiple(int64_t value, int64_t multiple, int64_t origin) {
    const int64_t offset = value - origin;
    int64_t quotient = offset / multiple;
    if (quotient * multiple < offset) ++quotient;
    return origin + quotient * multiple;
}

// The first tick at or after `from`: fixed-length steps on multiples of themselves (weeks from a
// Monday), months and years on the first day of a month whose number the step divides.
int64_t FirstTick(int64_t from, const Step& step) {
    if (step.unit != Unit::Month && step.unit != Unit::Year) {
        const int64_t origin = step.unit == Unit::Week ? kFirstMonday : 0;
        return CeilToMultiple(from, UnitSeconds(step.unit) * step.count, origin);
    }
    CivilTime t = CivilFromSeconds(from);
    const bool onMonthStart = t.day == 1 && t.hour == 0 && t.minute == 0 && t.second == 0;
    CivilTime first{t.year, t.month, 1};
    if (!onMonthStart) ++first.month;
    int64_t months = int64_t{first.year} * 12 + (first.month - 1);
    const int64_t monthsPerStep = step.unit == Unit::Year ? 12 * step.count : step.count;
    months = CeilToMultiple(months, monthsPerStep, 0);
    return SecondsFromCivil(
        CivilTime{static_cast<int>(months / 12), static_cast<int>(months % 12) + 1, 1});
}

int64_t NextTick(int64_t tick, const Step& step) {
    if (step.unit != Unit::Month && step.unit != Unit::Year) {
        return tick + UnitSeconds(step.unit) * step.count;
    }
    CivilTime t = CivilFromSeconds(tick);
    const int64_t months = int64_t{t.year} * 12 + (t.month - 1) +
                           (step.unit == Unit::Year ? 12 * step.count : step.count);
    return SecondsFromCivil(
        CivilTime{static_cast<int>(months / 12), static_cast<int>(months % 12) + 1, 1});
}

}  // namespace

std::vector<TimeTick> TimeTicks(int64_t from, int64_t to, int widthPx, int fontPx) {
    std::vector<TimeTick> ticks;
    if (to < from) return ticks;
    const Step step = ChooseStep(to - from, widthPx, fontPx);
    const Label label = LabelOf(step);
    std::string lastContext;
    for (int64_t tick = FirstTick(from, step); tick <= to; tick = NextTick(tick, step)) {
        const CivilTime t = CivilFromSeconds(tick);
        std::string context = ContextText(label, t);
        TimeTick out{tick, LabelText(label, t), {}};
        if (context != lastContext) out.context = lastContext = std::move(context);
        ticks.push_back(std::move(out));
    }
    return ticks;
}
