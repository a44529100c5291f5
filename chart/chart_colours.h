// The chart's colours, the same for every painter: verdicts as the operators know them (안전
// green, 주의 amber, 오염 red) and a palette for the standards that stays clear of those three.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "measurement/measurement.h"

struct Colour {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Colour& o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator!=(const Colour& o) const { return !(*this == o); }
};

constexpr Colour COLOUR_BACKGROUND{255, 255, 255};
constexpr Colour COLOUR_GRID{228, 228, 228};
constexpr Colour COLOUR_AXIS{117, 117, 117};
constexpr Colour COLOUR_TEXT{51, 51, 51};

Colour VerdictColour(Verdict verdict);

// A verdict as text on white (the lists' "결과" cells): the verdict's colour, but 주의 in a darker
// amber, readable where the chart's is not.
Colour VerdictTextColour(Verdict verdict);

// The colour of the `index`th standard of a chart; the palette repeats after its end.
Colour SeriesColour(size_t index);

// The colour mixed with white: `percentWhite` 0 keeps it, 100 gives white.
Colour Tinted(const Colour& colour, int percentWhite);

std::string HexColour(const Colour& colour);  // "#2e7d32"
