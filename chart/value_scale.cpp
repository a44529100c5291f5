#include "chart/value_scale.h"

#include <algorithm>
#include <cmath>

#include "chart/number_format.h"

namespace {

// Decades taller than this get ticks at 2 and 5 times the power of ten as well.
constexpr int kSubdividedDecadePx = 60;

int PowerOfTenAtMost(int value) {
    int power = 1;
    while (power <= value / 10) power *= 10;
    return power;
}

int PowerOfTenAtLeast(int value) {
    int power = 1;
    while (power < value) power *= 10;
    return power;
}

}  // namespace

int NiceStep(double rough) {
    if (rough <= 1) return 1;
    for (int power = 1;; power *= 10) {
        for (const int mantissa : {1, 2, 5}) {
            if (mantissa * power >= rough) return mantissa * power;
        }
    }
}

ValueScale::ValueScale(ValueAxis axis, int lowest, int highest, int top, int bottom,
                       int tickSpacingPx)
    : axis_(axis), top_(top), bottom_(bottom) {
    highest = std::max(highest, 1);
    if (axis_ == ValueAxis::Linear) {
        const int fitting = std::max(1, (bottom - top) / std::max(tickSpacingPx, 1));
        const int step = NiceStep(static_cast<double>(highest) / fitting);
        low_ = 0;
        high_ = static_cast<double>((highest + step - 1) / step) * step;
        MakeLinearTicks(step);
        return;
    }
    if (lowest <= 0) zeroRowPx_ = tickSpacingPx / 2;
    low_ = PowerOfTenAtMost(std::max(lowest, 1));
    high_ = PowerOfTenAtLeast(highest);
    if (high_ <= low_) high_ = low_ * 10;
    MakeLogTicks(tickSpacingPx);
}

int ValueScale::Y(double value) const {
    double fraction;
    int zeroRow = 0;
    if (axis_ == ValueAxis::Linear) {
        fraction = (value - low_) / (high_ - low_);
    } else {
        if (value < low_) return bottom_;  // 0: the row below the decades
        zeroRow = zeroRowPx_;
        fraction = std::log10(value / low_) / std::log10(high_ / low_);
    }
    const int rowsUp = static_cast<int>(std::lround(fraction * (bottom_ - zeroRow - top_)));
    return bottom_ - zeroRow - rowsUp;
}

void ValueScale::AddTick(int value) { ticks_.push_back({value, Y(value), GroupedNumber(value)}); }

void ValueScale::MakeLinearTicks(int step) {
    for (int value = 0; value <= high_; value += step) AddTick(value);
}

void ValueScale::MakeLogTicks(int tickSpacingPx) {
    if (zeroRowPx_ > 0) AddTick(0);
    const int decades = static_cast<int>(std::lround(std::log10(high_ / low_)));
    const int decadePx = std::max(1, (bottom_ - zeroRowPx_ - top_) / decades);
    const bool subdivided = decadePx >= std::max(kSubdividedDecadePx, 3 * tickSpacingPx);
    // Decades too flat for a label each get every second or third power.
    const int every = decadePx >= tickSpacingPx ? 1 : (tickSpacingPx + decadePx - 1) / decadePx;
    int index = 0;
    for (double power = low_; power <= high_; power *= 10, ++index) {
        if (index % every == 0) AddTick(static_cast<int>(power));
        if (!subdivided || power == high_) continue;
        AddTick(static_cast<int>(2 * power));
        AddTick(static_cast<int>(5 * power));
    }
}
