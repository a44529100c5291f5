// The "결과" column of the record lists coloured by verdict (오염 red, 주의 amber) by custom draw:
// the cells keep their texts, the list its selection colours.
#pragma once

#include <windows.h>
// windows.h first: commctrl.h needs its types.
#include <commctrl.h>

#include <functional>

#include "measurement/measurement.h"

// The answer to the list's NM_CUSTOMDRAW: `verdictOf` tells the verdict of a row, asked only for
// the cells of `column`.
LRESULT DrawVerdictCells(NMLVCUSTOMDRAW& draw, int column,
                         const std::function<Verdict(int row)>& verdictOf);

// A verdict's text colour in the lists (오염 red, 주의 amber).
COLORREF VerdictTextRgb(Verdict verdict);
