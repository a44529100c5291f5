#include "chart/chart_colours.h"

#include <cstdio>
#include <iterator>

namespace {

constexpr Colour kSeriesPalette[] = {
    {31, 95, 191}, {106, 63, 160}, {0, 131, 143},  {141, 85, 36},
    {194, 24, 91}, {55, 71, 79},   {130, 119, 23}, {40, 53, 147},
};

}  // namespace

Colour VerdictColour(Verdict verdict) {
    switch (verdict) {
        case Verdict::Safe:
            return {46, 125, 50};
        case Verdict::Caution:
            return {232, 154, 0};
        case Verdict::Contaminated:
            return {198, 40, 40};
        case Verdict::None:
            break;
    }
    return {158, 158, 158};
}

Colour VerdictTextColour(Verdict verdict) {
    return verdict == Verdict::Caution ? Colour{168, 104, 0} : VerdictColour(verdict);
}

Colour SeriesColour(size_t index) { return kSeriesPalette[index % std::size(kSeriesPalette)]; }

Colour Tinted(const Colour& colour, int percentWhite) {
    const auto mix = [&](uint8_t c) {
        return static_cast<uint8_t>(c + (255 - c) * percentWhite / 100);
    };
    return {mix(colour.r), mix(colour.g), mix(colour.b)};
}

std::string HexColour(const Colour& colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.r, colour.g, colour.b);
    return text;
}
