// The history window: the archive's measurements filtered by period, standard, user and verdict,
// as a table, a chart and a summary line, saved as the record CSV or the audit report, and old
// record CSV files imported. Modeless and one at a time; it lives on the main window's thread.
#pragma once

#include <windows.h>

#include <string>

class RecordArchive;
class SiteWorker;

// Once at start-up, before the window can open: its chart's window class.
void PrepareHistoryWindow(HINSTANCE instance);
// The archive the window shows and keeps imports in (the main window's, which pushes to the site
// after a write), and the site it offers when one is set: its connection string and this PC's
// pushes to it. Until this is called the window does not open.
void ConnectHistoryWindow(RecordArchive& keep, const std::string& siteConnection,
                          SiteWorker* siteWorker);
// Opens the window over `owner`, or brings the open one to the front.
void OpenHistoryWindow(HWND owner);
// The open window, or null: the message loop hands it its dialog messages.
HWND HistoryWindowHandle();
// The archive has new rows (a read was kept): an open window shows them.
void RefreshHistoryWindow();
// The site's worker has news: an open window shows it.
void SiteChangedInHistoryWindow();
