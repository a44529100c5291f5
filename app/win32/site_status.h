// The site archive in the main window: when a site is set, a worker pushes after every archive
// write, and the status line at the window's foot says "사이트 보관: N건 대기" while rows wait. No
// site: nothing.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "site/site_worker.h"

// Posted to the main window by the worker's thread when its state changed.
constexpr UINT WM_SITE_CHANGED = WM_APP + 18;

// The actions' part of the site's state, once its rows are all there: those waiting while the
// site refuses them (its words), or some refused; empty when neither.
std::wstring SiteActionsText(const SiteState& state);

class SiteStatusLine {
public:
    // Starts the worker when a site is set (ChosenSite: the environment, a site file, the
    // registry's SiteArchive) and asks for a first push, which counts what waits; `archive` is
    // where reads are kept. A setting that was refused shows "사이트 보관: 설정 오류".
    void Start(HWND window, RecordArchive& archive);
    // The archive the dialog should keep its reads in: the pushing one, or `archive` itself.
    RecordArchive& ArchiveFor(RecordArchive& archive);
    // The status text: the rows waiting or refused; empty without a site or when none wait.
    std::wstring Text() const;
    // The worker and the site's connection string, for the history window; null and empty
    // without a site.
    SiteWorker* Worker() const { return m_worker.get(); }
    const std::string& Connection() const { return m_connection; }

private:
    std::string m_connection;
    std::unique_ptr<SiteWorker> m_worker;
    std::unique_ptr<PushingArchive> m_pushing;
};
