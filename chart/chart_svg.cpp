#include "chart/chart_svg.h"

#include <map>
#include <tuple>

#include "text/html_text.h"

namespace {

constexpr const char* kFontFamily =
    "'Malgun Gothic','Apple SD Gothic Neo','Noto Sans CJK KR','NanumGothic',sans-serif";

std::string Num(int value) { return std::to_string(value); }

const char* DashArray(Dash dash) {
    switch (dash) {
        case Dash::Short:
            return "4 3";
        case Dash::Long:
            return "10 4";
        case Dash::Solid:
            break;
    }
    return nullptr;
}

const char* Anchor(TextAnchor anchor) {
    switch (anchor) {
        case TextAnchor::Middle:
            return "middle";
        case TextAnchor::End:
            return "end";
        case TextAnchor::Start:
            break;
    }
    return "start";
}

// One path element, its subpaths appended one by one.
struct Path {
    std::string attributes, d;
};

// Paths keyed by their style, written in the order their first subpath came.
template <typename Key>
class PathGroups {
public:
    Path& For(const Key& key, const std::string& attributes) {
        auto found = index_.find(key);
        if (found != index_.end()) return paths_[found->second];
        index_.emplace(key, paths_.size());
        paths_.push_back({attributes, {}});
        return paths_.back();
    }

    void WriteTo(std::string& out) const {
        for (const Path& path : paths_) {
            out += "<path fill=\"none\"" + path.attributes + " d=\"" + path.d + "\"/>\n";
        }
    }

private:
    std::map<Key, size_t> index_;
    std::vector<Path> paths_;
};

std::string StrokeAttributes(const Colour& colour, int width) {
    return " stroke=\"" + HexColour(colour) + "\" stroke-width=\"" + Num(width) + "\"";
}

void AppendSegment(std::string& d, int x1, int y1, int x2, int y2) {
    d += "M" + Num(x1) + " " + Num(y1);
    if (y1 == y2) {
        d += "H" + Num(x2);
    } else if (x1 == x2) {
        d += "V" + Num(y2);
    } else {
        d += "L" + Num(x2) + " " + Num(y2);
    }
}

void WriteLines(std::string& out, const ChartModel& model) {
    using Style = std::tuple<uint8_t, uint8_t, uint8_t, int, Dash>;
    PathGroups<Style> groups;
    for (const ChartLine& line : model.lines) {
        std::string attributes = StrokeAttributes(line.colour, line.width);
        if (const char* dashes = DashArray(line.dash)) {
            attributes += " stroke-dasharray=\"" + std::string(dashes) + "\"";
        } else {
            attributes += " shape-rendering=\"crispEdges\"";
        }
        const Style style{line.colour.r, line.colour.g, line.colour.b, line.width, line.dash};
        AppendSegment(groups.For(style, attributes).d, line.x1, line.y1, line.x2, line.y2);
    }
    groups.WriteTo(out);
}

void WriteMarks(std::string& out, const ChartModel& model) {
    using Style = std::tuple<MarkShape, uint8_t, uint8_t, uint8_t>;
    PathGroups<Style> groups;
    for (const ChartMark& mark : model.marks) {
        const Colour& colour = mark.colour;
        const Style style{mark.shape, colour.r, colour.g, colour.b};
        if (mark.shape == MarkShape::Dot) {
            Path& path = groups.For(style, StrokeAttributes(colour, 2 * model.markRadius) +
                                               " stroke-linecap=\"round\"");
            path.d += "M" + Num(mark.x) + " " + Num(mark.yTop) + "h0";
        } else {
            Path& path = groups.For(style, StrokeAttributes(colour, model.rangeWidth) +
                                               " shape-rendering=\"crispEdges\"");
            AppendSegment(path.d, mark.x, mark.yTop, mark.x, mark.yBottom);
        }
    }
    groups.WriteTo(out);
}

void WriteTrends(std::string& out, const ChartModel& model) {
    for (const ChartTrend& trend : model.trends) {
        out += "<polyline fill=\"none\" stroke-linejoin=\"round\" stroke-opacity=\"0.8\"" +
               StrokeAttributes(trend.colour, model.trendWidth) + " points=\"";
        for (const ChartPoint& p : trend.points) out += Num(p.x) + "," + Num(p.y) + " ";
        out.back() = '"';
        out += "/>\n";
    }
}

void WriteTexts(std::string& out, const ChartModel& model) {
    // A white halo keeps a label readable where it crosses marks and lines.
    out += "<g fill=\"" + HexColour(COLOUR_TEXT) + "\" stroke=\"" + HexColour(COLOUR_BACKGROUND) +
           "\" stroke-width=\"3\" stroke-linejoin=\"round\" paint-order=\"stroke\">\n";
    for (const ChartText& text : model.texts) {
        out += "<text x=\"" + Num(text.x) + "\" y=\"" + Num(text.y) + "\"";
        if (text.anchor != TextAnchor::Start)
            out += " text-anchor=\"" + std::string(Anchor(text.anchor)) + "\"";
        if (text.colour != COLOUR_TEXT) out += " fill=\"" + HexColour(text.colour) + "\"";
        out += ">";
        AppendEscapedHtml(out, text.text);
        out += "</text>\n";
    }
    out += "</g>\n";
}

}  // namespace

std::string ChartSvg(const ChartModel& model) {
    const std::string width = Num(model.width), height = Num(model.height);
    std::string out = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + width +
                      "\" height=\"" + height + "\" viewBox=\"0 0 " + width + " " + height +
                      "\" font-family=\"" + kFontFamily + "\" font-size=\"" + Num(model.fontPx) +
                      "\">\n";
    out += "<rect width=\"" + width + "\" height=\"" + height + "\" fill=\"" +
           HexColour(COLOUR_BACKGROUND) + "\"/>\n";
    for (const ChartSwatch& swatch : model.swatches) {
        const PixelRect& r = swatch.rect;
        out += "<rect x=\"" + Num(r.left) + "\" y=\"" + Num(r.top) + "\" width=\"" +
               Num(r.right - r.left) + "\" height=\"" + Num(r.bottom - r.top) + "\" fill=\"" +
               HexColour(swatch.colour) + "\"/>\n";
    }
    WriteLines(out, model);
    WriteMarks(out, model);
    WriteTrends(out, model);
    WriteTexts(out, model);
    out += "</svg>\n";
    return out;
}
