// The window's own pixel values (column widths, the logo, scroll distances) are given for
// 96 DPI and scaled to the DPI of the monitor the window is on.
#pragma once

#include <windows.h>

constexpr int BASE_DPI = 96;

int WindowDpi(HWND window);
// A system metric (GetSystemMetrics) as it stands at that DPI.
int SystemMetricForDpi(int index, int dpi);

inline int ScaleToDpi(int pixels, int dpi) { return MulDiv(pixels, dpi, BASE_DPI); }
