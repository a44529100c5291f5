// The history window's size, remembered beside the port setting: the values "HistoryWidth" and
// "HistoryHeight" (pixels at 96 DPI, so that a window keeps its size on any monitor) under the
// current user's key "SoftWare\Kavenor\Ombrix_Tessaly".
#pragma once

#include <windows.h>

// False when no size is stored, or one that is not two numbers.
bool ReadHistoryWindowSize(SIZE& size);
void WriteHistoryWindowSize(const SIZE& size);
