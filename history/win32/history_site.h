// The history window and the site archive: the choice of "이 PC" or "사이트 전체", the site's rows
// counted and paged on the server by a query thread of their own (history/site_history_model.h),
// which posts the window a message when results have come, and the line that tells how this PC's
// pushes stand. Without a site none of it shows.
#pragma once

#include <windows.h>

#include "history/win32/history_state.h"

// Posted to the history window by a site query's thread when results wait to be taken.
constexpr UINT WM_HISTORY_SITE_RESULTS = WM_APP + 20;

// Shows or hides the choice and the site's line; "이 PC" chosen.
void InitSiteSource(HistoryState& state);
// The choice changed.
void OnSourceChosen(HistoryState& state);
// True when the site's rows are shown: the filters' query has started on the server, and the
// window shows its rows when they are counted.
bool QuerySiteIfShown(HistoryState& state, int chartColumns);
// A site query's results have come.
void OnSiteResults(HistoryState& state);
// The site's own words for a failure, as `ombrix` says them, its password masked.
void TellSiteFailure(HistoryState& state, const SiteStatus& status);
// The worker's state changed: the site's line anew, and the site's rows counted again after a
// push of this PC's while they are shown.
void OnSiteStateChanged(HistoryState& state);
