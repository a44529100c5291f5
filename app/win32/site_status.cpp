#include "app/win32/site_status.h"

#include "app/win32/wide_text.h"
#include "res/resource.h"
#include "site/site_cause_text.h"
#include "site/site_setting.h"
#include "text/text_inserts.h"

void SiteStatusLine::Start(HWND window, RecordArchive& archive) {
    const SiteSource site = ChosenSite("", "");
    m_connection = site.connection;
    // A site file others may read, or a protected value this account cannot decrypt: pushes
    // are off, and the line says so (ombrix site show gives the reason).
    if (!site.refusal.empty())
        SetDlgItemTextW(window, IDC_STATIC_SITE, LoadText(IDS_SITE_SETTING_REFUSED).c_str());
    if (m_connection.empty()) return;
    m_worker = std::make_unique<SiteWorker>(
        archive.Path(), m_connection, [window] { PostMessageW(window, WM_SITE_CHANGED, 0, 0); });
    m_pushing = std::make_unique<PushingArchive>(archive, *m_worker);
    m_worker->Push();
}

RecordArchive& SiteStatusLine::ArchiveFor(RecordArchive& archive) {
    return m_pushing ? *m_pushing : archive;
}

std::wstring SiteStatusLine::Text() const {
    if (!m_worker) return {};
    const SiteState state = m_worker->State();
    if (state.waiting > 0 || state.refused > 0)
        return InsertIntoText(LoadText(SiteWaitingTextId(state.refused)),
                              std::to_wstring(state.waiting), std::to_wstring(state.refused));
    return SiteActionsText(state);
}

std::wstring SiteActionsText(const SiteState& state) {
    const std::wstring actions = std::to_wstring(state.actionsWaiting);
    if (!state.actionsError.empty()) {
        std::wstring cause = WideFrom(state.actionsError, CP_UTF8);
        for (wchar_t& c : cause)
            if (c == L'\r' || c == L'\n') c = L' ';
        return InsertIntoText(LoadText(IDS_SITE_ACTIONS_HELD), actions, cause);
    }
    if (state.actionsRefused == 0) return {};
    return InsertIntoText(LoadText(IDS_SITE_ACTIONS_WAITING_REFUSED), actions,
                          std::to_wstring(state.actionsRefused));
}
