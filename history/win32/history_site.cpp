#include "history/win32/history_site.h"

#include <algorithm>
#include <mutex>
#include <thread>

#include "app/win32/wide_text.h"
#include "archive/archive_cause_text.h"
#include "measurement/time_text.h"
#include "res/resource.h"
#include "site/site_cause_text.h"
#include "site/site_secret.h"
#include "site/site_setting.h"
#include "site/site_view.h"
#include "site/site_worker.h"
#include "text/text_inserts.h"

// What a copy's thread hands the window; it keeps the job alive while it runs, so that a window
// closed meanwhile costs nothing but the copy.
struct SiteCopyJob {
    int64_t firstDay = 0, lastDay = 0;
    std::mutex lock;
    bool done = false;
    // The copy's site while it is open, for the window to cancel a copy it no longer wants.
    SiteDatabase* database = nullptr;
    bool cancelled = false;
    SiteStatus site;
    ArchiveStatus archive;
    std::unique_ptr<Archive> rows;
};

namespace {

constexpr int kSourcePc = 0, kSourceSite = 1;

HWND Item(const HistoryState& state, int id) { return GetDlgItem(state.dialog, id); }

// The copy's site, or none once it is closing; false when the window has cancelled the copy.
bool SetCopysDatabase(SiteCopyJob& job, SiteDatabase* database) {
    std::lock_guard<std::mutex> guard(job.lock);
    job.database = database;
    return !job.cancelled;
}

// A copy the window has replaced: its query stopped on the server (SQLCancel), its rows dropped.
void CancelCopy(SiteCopyJob& job) {
    std::lock_guard<std::mutex> guard(job.lock);
    job.cancelled = true;
    if (job.database) job.database->Cancel();
}

void CopyOnThread(const std::shared_ptr<SiteCopyJob>& job, std::string connection, HWND window) {
    SiteStatus site;
    ArchiveStatus archive;
    std::unique_ptr<Archive> rows;
    if (const auto database = SiteDatabase::Open(connection, site)) {
        if (SetCopysDatabase(*job, database.get())) rows = OpenSiteViewArchive(archive);
        if (rows) {
            SiteFilter filter;
            filter.history.from = job->firstDay;
            filter.history.until = job->lastDay + SECONDS_PER_DAY;
            const SiteViewCopy copy = CopySiteRows(*database, filter, *rows);
            site = copy.site;
            archive = copy.archive;
        }
        SetCopysDatabase(*job, nullptr);
    }
    {
        std::lock_guard<std::mutex> guard(job->lock);
        job->site = std::move(site);
        job->archive = archive;
        job->rows = std::move(rows);
        job->done = true;
    }
    PostMessageW(window, WM_HISTORY_SITE_COPIED, 0, 0);
}

void SetReading(const HistoryState& state) {
    SetDlgItemTextW(state.dialog, IDC_HISTORY_SUMMARY, LoadText(IDS_HISTORY_SITE_READING).c_str());
}

// Everything but the period and the source waits while the site's rows are on their way.
void EnableFilters(const HistoryState& state, bool enable) {
    for (int id : {IDC_HISTORY_STANDARD, IDC_HISTORY_USER, IDC_HISTORY_SAFE, IDC_HISTORY_CAUTION,
                   IDC_HISTORY_DIRTY, IDC_HISTORY_CSV, IDC_HISTORY_REPORT})
        EnableWindow(Item(state, id), enable);
    EnableWindow(Item(state, IDC_HISTORY_IMPORT), enable && !state.showingSite);
}

void ShowArchive(HistoryState& state, Archive& archive) {
    state.model = std::make_unique<HistoryModel>(archive);
    state.model->SetRetestWindow(RetestWindowOfPc());
    EnableFilters(state, true);
    RefreshHistory(state);
}

void StartCopy(HistoryState& state) {
    if (state.siteCopy) CancelCopy(*state.siteCopy);
    auto job = std::make_shared<SiteCopyJob>();
    job->firstDay = std::min(state.choices.firstDay, state.choices.lastDay);
    job->lastDay = std::max(state.choices.firstDay, state.choices.lastDay);
    state.siteCopy = job;
    if (state.siteWorker) state.sitePushedAt = state.siteWorker->State().lastPushedAt;
    std::thread(CopyOnThread, job, state.siteConnection, state.dialog).detach();
    EnableFilters(state, false);
    SetReading(state);
}

void ChoosePc(HistoryState& state) {
    state.showingSite = false;
    if (state.siteCopy) CancelCopy(*state.siteCopy);
    state.siteCopy.reset();
    SendMessageW(Item(state, IDC_HISTORY_SOURCE), CB_SETCURSEL, kSourcePc, 0);
    ShowArchive(state, *state.archive);
}

// The site's own words, as `ombrix` says them; an archive in memory fails only when memory does.
void TellCopyFailure(HistoryState& state, const SiteCopyJob& job) {
    if (!job.site)
        state.boxes.TellWithPath(SiteFailureTextId(job.site), "", MaskSecrets(state.siteConnection),
                                 job.site.diagnostic, true);
    else
        state.boxes.TellWithPath(ArchiveCauseTextId(job.archive.cause), "", "", "", true);
}

std::wstring SiteLine(const SiteState& site) {
    if (!site.counted) return LoadText(IDS_HISTORY_SITE_CHECKING);
    if (site.waiting == 0 && site.refused == 0 && !site.failed)
        return InsertIntoText(LoadText(IDS_HISTORY_SITE_ALL_SENT),
                              WideFrom(site.lastPushedAt, CP_UTF8), std::wstring());
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
    if (!site) {
        ChoosePc(state);
        return;
    }
    state.showingSite = true;
    if (!CopySiteRowsIfNeeded(state)) ShowArchive(state, *state.siteRows);
}

bool CopySiteRowsIfNeeded(HistoryState& state) {
    if (!state.showingSite) return false;
    const int64_t first = std::min(state.choices.firstDay, state.choices.lastDay);
    const int64_t last = std::max(state.choices.firstDay, state.choices.lastDay);
    if (state.siteRows && !state.siteCopy && first >= state.siteFirstDay &&
        last <= state.siteLastDay)
        return false;
    StartCopy(state);
    return true;
}

void OnSiteRowsCopied(HistoryState& state) {
    const std::shared_ptr<SiteCopyJob> job = state.siteCopy;
    if (!job) return;
    std::unique_lock<std::mutex> guard(job->lock);
    if (!job->done) return;  // an earlier copy's, whose period is no longer shown
    state.siteCopy.reset();
    if (!job->rows || !job->site || !job->archive) {
        guard.unlock();
        ChoosePc(state);
        TellCopyFailure(state, *job);
        return;
    }
    state.model.reset();
    state.siteRows = std::move(job->rows);
    state.siteFirstDay = job->firstDay;
    state.siteLastDay = job->lastDay;
    guard.unlock();
    ShowArchive(state, *state.siteRows);
}

void OnSiteStateChanged(HistoryState& state) {
    if (!state.siteWorker) return;
    const SiteState site = state.siteWorker->State();
    SetDlgItemTextW(state.dialog, IDC_HISTORY_SITE_STATE, SiteLine(site).c_str());
    if (site.lastPushedAt == state.sitePushedAt) return;
    state.sitePushedAt = site.lastPushedAt;
    // This PC's new rows are on the site now: the site's rows as they are.
    state.siteLastDay = -1;
    if (state.showingSite && !state.siteCopy) StartCopy(state);
}
