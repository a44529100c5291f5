// The small dialog "조치 기록" of the history window: a 주의 or 오염 row, its likely retest, and
// the action to record, a correction of the one recorded where there is one.
#pragma once

#include <windows.h>

#include "history/history_model.h"

// Asks, owned by `owner`, for the action on row `index` and records it when 저장 (or
// "재측정 안전 확인") is chosen; `recorded` says whether it was.
ArchiveStatus AskForAction(HWND owner, HistoryView& model, size_t index, bool& recorded);
