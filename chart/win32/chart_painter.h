// The chart model drawn with GDI: the history window's painter, as ChartSvg is the report's. It
// decides nothing: background, swatches, lines, marks, trends and texts, in the model's order.
#pragma once

#include <windows.h>

#include "chart/chart_model.h"

// Draws `model` into `dc` from its top left corner; texts in `font`, which is the model's
// fontPx high.
void PaintChart(HDC dc, const ChartModel& model, HFONT font);

// A ring around a mark, for the one under the pointer.
void PaintMarkRing(HDC dc, const ChartModel& model, const ChartMark& mark);
