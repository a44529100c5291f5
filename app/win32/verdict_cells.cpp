#include "app/win32/verdict_cells.h"

#include "chart/chart_colours.h"

namespace {

COLORREF Rgb(const Colour& colour) { return RGB(colour.r, colour.g, colour.b); }

bool IsSelected(const NMLVCUSTOMDRAW& draw) {
    const auto row = static_cast<WPARAM>(draw.nmcd.dwItemSpec);
    return SendMessageW(draw.nmcd.hdr.hwndFrom, LVM_GETITEMSTATE, row, LVIS_SELECTED) != 0;
}

}  // namespace

LRESULT DrawVerdictCells(NMLVCUSTOMDRAW& draw, int column,
                         const std::function<Verdict(int row)>& verdictOf) {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            return CDRF_NOTIFYSUBITEMDRAW;
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
            break;
        default:
            return CDRF_DODEFAULT;
    }
    if (IsSelected(draw)) return CDRF_DODEFAULT;  // the highlight's own colours
    // A colour set for one cell would stay for the cells drawn after it: every cell gets its own.
    draw.clrText = GetSysColor(COLOR_WINDOWTEXT);
    if (draw.iSubItem == column) {
        const Verdict verdict = verdictOf(static_cast<int>(draw.nmcd.dwItemSpec));
        if (verdict == Verdict::Caution || verdict == Verdict::Contaminated)
            draw.clrText = VerdictTextRgb(verdict);
    }
    return CDRF_NEWFONT;
}

COLORREF VerdictTextRgb(Verdict verdict) { return Rgb(VerdictTextColour(verdict)); }
