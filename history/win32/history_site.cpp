#include "history/win32/history_site.h"

#include <commctrl.h>

#include "app/win32/site_status.h"
#include "app/win32/wide_text.h"
#include "archive/archive_actions.h"
#include "res/resource.h"
#include "site/site_cause_text.h"
#include "site/site_secret.h"
#include "site/site_worker.h"
#include "text/text_inserts.h"

namespace {

constexpr int kSourcePc = 0, kSourceSite = 1;

HWND Item(const HistoryState& state, int id) { return GetDlgItem(state.dialog, id); }

// Importing goes into this PC's archive, and the site's list has no 미조치 filter: both wait
// for "이 PC".
void EnableForSource(const HistoryState& state) {
    for (int id : {IDC_HISTORY_IMPORT, IDC_HISTORY_OPEN_ONLY})
        EnableWindow(Item(state, id), !state.showingSite);
}

void ChoosePc(HistoryState& state) {
    state.showingSite = false;
    state.siteModel.reset();  // its query cancelled on the server
    SendMessageW(Item(state, IDC_HISTORY_SOURCE), CB_SETCURSEL, kSourcePc, 0);
    EnableForSource(state);
    RefreshHistory(state);
}

// The 조치 column of a site row: this PC's action on it, where this PC's archive holds one.
SiteActionLookup LocalActions(Archive& archive) {
    return [&archive](const Measurement& row, ActionState& shown) {
        std::optional<CorrectiveAction> action;
        if (!LatestAction(archive, row, action) || !action) return false;
        shown.action = std::move(action);
        return true;
    };
}

// An action recorded on a site row: kept in this PC's archive, which pushes it.
SiteActionRecorder LocalRecorder(Archive& archive) {
    return [&archive](const Measurement& row, const CorrectiveAction& action) {
        return RecordAction(archive, row, action);
    };
}

void ChooseSite(HistoryState& state) {
    state.showingSite = true;
    HWND window = state.dialog;
    state.siteModel = std::make_unique<SiteHistoryModel>(
        state.siteConnection, [window] { PostMessageW(window, WM_HISTORY_SITE_RESULTS, 0, 0); },
        LocalActions(*state.archive), LocalRecorder(*state.archive));
    if (state.siteWorker) state.sitePushedAt = state.siteWorker->State().lastPushedAt;
    EnableForSource(state);
    ShowHistoryRows(state);
}

std::wstring SiteLine(const SiteState& site) {
    if (!site.counted) return LoadText(IDS_HISTORY_SITE_CHECKING);
    if (site.waiting == 0 && site.refused == 0 && !site.failed) {
        // The rows all there, the actions recorded here may not be: this window shows them.
        if (std::wstring actions = SiteActionsText(site); !actions.empty()) return actions;
        if (site.actionsWaiting > 0)
            return InsertIntoText(LoadText(IDS_SITE_ACTIONS_WAITING),
                                  std::to_wstring(site.actionsWaiting), std::wstring());
        return InsertIntoText(LoadText(IDS_HISTORY_SITE_ALL_SENT),
                              WideFrom(site.lastPushedAt, CP_UTF8), std::wstring());
    }
    const std::wstring count = std::to_wstring(site.waiting);
    if (!site.failed)
        return InsertIntoText(LoadText(SiteWaitingTextId(site.refused)), count,
                              std::to_wstring(site.refused));
    std::wstring cause = WideFrom(site.lastError, CP_UTF8);
    for (wchar_t& c : cause)
        if (c == L'\r' || c == L'\n') c = L' ';
    return InsertIntoText(LoadText(IDS_HISTORY_SITE_FAILED), count, cause);
}

}  // namespace

void InitSiteSource(HistoryState& state) {
    const int show = state.siteConnection.empty() ? SW_HIDE : SW_SHOW;
    for (int id : {IDC_HISTORY_SOURCE_LABEL, IDC_HISTORY_SOURCE, IDC_HISTORY_SITE_STATE})
        ShowWindow(Item(state, id), show);
    HWND source = Item(state, IDC_HISTORY_SOURCE);
    for (int text : {IDS_HISTORY_SOURCE_PC, IDS_HISTORY_SOURCE_SITE})
        SendMessageW(source, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(LoadText(text).c_str()));
    SendMessageW(source, CB_SETCURSEL, kSourcePc, 0);
    OnSiteStateChanged(state);
}

void OnSourceChosen(HistoryState& state) {
    const bool site =
        SendMessageW(Item(state, IDC_HISTORY_SOURCE), CB_GETCURSEL, 0, 0) == kSourceSite;
    if (site == state.showingSite) return;
    if (site)
        ChooseSite(state);
    else
        ChoosePc(state);
}

bool QuerySiteIfShown(HistoryState& state, int chartColumns) {
    if (!state.showingSite || !state.siteModel) return false;
    state.siteModel->Query(state.choices, chartColumns);
    ShowHistoryView(state);  // empty until counted
    SetDlgItemTextW(state.dialog, IDC_HISTORY_SUMMARY, LoadText(IDS_HISTORY_SITE_READING).c_str());
    return true;
}

void OnSiteResults(HistoryState& state) {
    if (!state.showingSite || !state.siteModel) return;
    const SiteHistoryModel::Taken taken = state.siteModel->Take();
    if (taken.failed) {
        ChoosePc(state);
        TellSiteFailure(state, *taken.failed);
        return;
    }
    if (taken.names) FillHistoryNames(state);
    if (taken.counted) {
        ShowHistoryView(state);
    } else if (taken.rows) {
        InvalidateRect(Item(state, IDC_LIST_HISTORY), nullptr, FALSE);
    }
}

void TellSiteFailure(HistoryState& state, const SiteStatus& status) {
    state.boxes.TellWithPath(SiteFailureTextId(status), "", MaskSecrets(state.siteConnection),
                             status.diagnostic, true);
}

void OnSiteStateChanged(HistoryState& state) {
    if (!state.siteWorker) return;
    const SiteState site = state.siteWorker->State();
    SetDlgItemTextW(state.dialog, IDC_HISTORY_SITE_STATE, SiteLine(site).c_str());
    if (site.lastPushedAt == state.sitePushedAt) return;
    state.sitePushedAt = site.lastPushedAt;
    // This PC's new rows are on the site now: the site's rows as they are.
    if (state.showingSite) ShowHistoryRows(state);
}
