// The history window and the site archive: the choice of "이 PC" or "사이트 전체", the site's rows
// of the period shown copied on a thread of their own into an archive in memory (which the window
// then filters, charts, saves and reports as it does this PC's; a copy the operator has replaced
// by another is cancelled on the server), and the line that tells how this PC's pushes stand.
// Without a site none of it shows.
#pragma once

#include <windows.h>

#include "history/win32/history_state.h"

// Posted to the history window by a copy's thread when it has ended.
constexpr UINT WM_HISTORY_SITE_COPIED = WM_APP + 20;

// Shows or hides the choice and the site's line; "이 PC" chosen.
void InitSiteSource(HistoryState& state);
// The choice changed.
void OnSourceChosen(HistoryState& state);
// True when the filters ask for site rows not copied yet: a copy has started, and the window
// shows the rows when it ends.
bool CopySiteRowsIfNeeded(HistoryState& state);
// A copy's thread has ended.
void OnSiteRowsCopied(HistoryState& state);
// The worker's state changed: the site's line anew, and the site's rows copied again after a push
// of this PC's while they are shown.
void OnSiteStateChanged(HistoryState& state);
