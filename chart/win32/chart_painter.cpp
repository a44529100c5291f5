#include "chart/win32/chart_painter.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <vector>

#include "text/win32/utf16.h"

namespace {

// The SVG's dash patterns, in pixels.
constexpr DWORD kShortDash[] = {4, 3};
constexpr DWORD kLongDash[] = {10, 4};
constexpr int kHaloPx = 1;
constexpr int kRingGapPx = 3;

COLORREF Rgb(const Colour& colour) { return RGB(colour.r, colour.g, colour.b); }

// GDI objects made once per paint, by their look, and deleted with it.
class GdiObjects {
public:
    GdiObjects() = default;
    GdiObjects(const GdiObjects&) = delete;
    GdiObjects& operator=(const GdiObjects&) = delete;
    ~GdiObjects() {
        for (auto& [key, pen] : pens_) DeleteObject(pen);
        for (auto& [key, brush] : brushes_) DeleteObject(brush);
    }

    HPEN Pen(const Colour& colour, int width, Dash dash) {
        const PenKey key{colour.r, colour.g, colour.b, width, dash};
        HPEN& pen = pens_[key];
        if (pen) return pen;
        LOGBRUSH brush{BS_SOLID, Rgb(colour), 0};
        const DWORD style = PS_GEOMETRIC | PS_ENDCAP_FLAT | PS_JOIN_ROUND;
        switch (dash) {
            case Dash::Short:
                pen = ExtCreatePen(style | PS_USERSTYLE, width, &brush, 2, kShortDash);
                break;
            case Dash::Long:
                pen = ExtCreatePen(style | PS_USERSTYLE, width, &brush, 2, kLongDash);
                break;
            case Dash::Solid:
                pen = ExtCreatePen(style | PS_SOLID, width, &brush, 0, nullptr);
                break;
        }
        return pen;
    }

    HBRUSH Brush(const Colour& colour) {
        HBRUSH& brush = brushes_[{colour.r, colour.g, colour.b}];
        if (!brush) brush = CreateSolidBrush(Rgb(colour));
        return brush;
    }

private:
    using PenKey = std::tuple<uint8_t, uint8_t, uint8_t, int, Dash>;
    std::map<PenKey, HPEN> pens_;
    std::map<std::tuple<uint8_t, uint8_t, uint8_t>, HBRUSH> brushes_;
};

void Fill(HDC dc, GdiObjects& gdi, const Colour& colour, int left, int top, int right, int bottom) {
    const RECT rect{left, top, right, bottom};
    FillRect(dc, &rect, gdi.Brush(colour));
}

void PaintLines(HDC dc, GdiObjects& gdi, const ChartModel& model) {
    for (const ChartLine& line : model.lines) {
        // A one-pixel solid line along a row or a column is a rectangle: exact, and no pen.
        if (line.dash == Dash::Solid && line.width == 1 &&
            (line.x1 == line.x2 || line.y1 == line.y2)) {
            Fill(dc, gdi, line.colour, std::min(line.x1, line.x2), std::min(line.y1, line.y2),
                 std::max(line.x1, line.x2) + 1, std::max(line.y1, line.y2) + 1);
            continue;
        }
        SelectObject(dc, gdi.Pen(line.colour, line.width, line.dash));
        MoveToEx(dc, line.x1, line.y1, nullptr);
        LineTo(dc, line.x2, line.y2);
    }
}

void PaintMarks(HDC dc, GdiObjects& gdi, const ChartModel& model) {
    const int r = model.markRadius;
    const int half = model.rangeWidth / 2;
    for (const ChartMark& mark : model.marks) {
        if (mark.shape == MarkShape::Range) {
            Fill(dc, gdi, mark.colour, mark.x - half, mark.yTop, mark.x - half + model.rangeWidth,
                 mark.yBottom + 1);
            continue;
        }
        SelectObject(dc, gdi.Pen(mark.colour, 1, Dash::Solid));
        SelectObject(dc, gdi.Brush(mark.colour));
        Ellipse(dc, mark.x - r, mark.yTop - r, mark.x + r + 1, mark.yTop + r + 1);
    }
}

void PaintTrends(HDC dc, GdiObjects& gdi, const ChartModel& model) {
    for (const ChartTrend& trend : model.trends) {
        std::vector<POINT> points;
        points.reserve(trend.points.size());
        for (const ChartPoint& p : trend.points) points.push_back({p.x, p.y});
        SelectObject(dc, gdi.Pen(trend.colour, model.trendWidth, Dash::Solid));
        Polyline(dc, points.data(), static_cast<int>(points.size()));
    }
}

UINT Alignment(TextAnchor anchor) {
    switch (anchor) {
        case TextAnchor::Middle:
            return TA_BASELINE | TA_CENTER;
        case TextAnchor::End:
            return TA_BASELINE | TA_RIGHT;
        case TextAnchor::Start:
            break;
    }
    return TA_BASELINE | TA_LEFT;
}

// Each text over a white halo, so that it stays readable where it crosses marks and lines.
void PaintTexts(HDC dc, const ChartModel& model, HFONT font) {
    SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    for (const ChartText& text : model.texts) {
        const std::wstring wide = WideFrom(text.text, CP_UTF8);
        const int length = static_cast<int>(wide.size());
        SetTextAlign(dc, Alignment(text.anchor));
        SetTextColor(dc, Rgb(COLOUR_BACKGROUND));
        for (const POINT offset :
             {POINT{-kHaloPx, 0}, POINT{kHaloPx, 0}, POINT{0, -kHaloPx}, POINT{0, kHaloPx}})
            TextOutW(dc, text.x + offset.x, text.y + offset.y, wide.c_str(), length);
        SetTextColor(dc, Rgb(text.colour));
        TextOutW(dc, text.x, text.y, wide.c_str(), length);
    }
}

}  // namespace

void PaintChart(HDC dc, const ChartModel& model, HFONT font) {
    GdiObjects gdi;
    const int saved = SaveDC(dc);
    Fill(dc, gdi, COLOUR_BACKGROUND, 0, 0, model.width, model.height);
    for (const ChartSwatch& swatch : model.swatches)
        Fill(dc, gdi, swatch.colour, swatch.rect.left, swatch.rect.top, swatch.rect.right,
             swatch.rect.bottom);
    PaintLines(dc, gdi, model);
    PaintMarks(dc, gdi, model);
    PaintTrends(dc, gdi, model);
    PaintTexts(dc, model, font);
    RestoreDC(dc, saved);  // the objects are deselected before they are deleted
}

void PaintMarkRing(HDC dc, const ChartModel& model, const ChartMark& mark) {
    GdiObjects gdi;
    const int saved = SaveDC(dc);
    SelectObject(dc, gdi.Pen(COLOUR_TEXT, 2, Dash::Solid));
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    const int r = model.markRadius + kRingGapPx;
    Ellipse(dc, mark.x - r, mark.yTop - r, mark.x + r + 1, mark.yBottom + r + 1);
    RestoreDC(dc, saved);
}
