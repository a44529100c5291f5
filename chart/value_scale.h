// The value axis: measured values (0 to 65535) onto pixel rows, linear from 0 or logarithmic by
// decades, with ticks on nice numbers. On a logarithmic axis a value of 0 has a row of its own
// below the lowest decade, so that zeros still show, apart from the rest.
#pragma once

#include <string>
#include <vector>

enum class ValueAxis { Linear, Logarithmic };

struct ValueTick {
    int value = 0;
    int y = 0;
    std::string label;  // "1,000"
};

class ValueScale {
public:
    // A scale that holds every value from `lowest` to `highest` (0 included on a linear axis),
    // drawn from the pixel row `bottom` up to `top`, with ticks at least `tickSpacingPx` apart.
    ValueScale(ValueAxis axis, int lowest, int highest, int top, int bottom, int tickSpacingPx);

    int Y(double value) const;
    const std::vector<ValueTick>& Ticks() const { return ticks_; }
    double Low() const { return low_; }
    double High() const { return high_; }

private:
    void MakeLinearTicks(int step);
    void MakeLogTicks(int tickSpacingPx);
    void AddTick(int value);

    ValueAxis axis_;
    double low_ = 0, high_ = 1;  // the domain; on a log axis powers of ten
    int top_, bottom_;
    int zeroRowPx_ = 0;  // log axis: the band below the decades that holds 0
    std::vector<ValueTick> ticks_;
};

// The smallest of 1, 2, 5, 10, 20, 50... that is at least `rough`.
int NiceStep(double rough);
