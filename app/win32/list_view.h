// What the program's list views share: their columns, given at 96 DPI and scaled to the
// window's, and their widths kept in proportion when the window moves to another DPI.
#pragma once

#include <windows.h>

#include <cstddef>

#include "app/win32/list_columns.h"

void InsertColumns(HWND list, const ListColumn* columns, size_t count, int dpi);

template <size_t N>
void InsertColumns(HWND list, const ListColumn (&columns)[N], int dpi) {
    InsertColumns(list, columns, N, dpi);
}

// Widths as they stand, the operator's own included, keep their share of the list.
void RescaleColumns(HWND list, int fromDpi, int toDpi);
