// The history window: the archive's measurements filtered by period, standard, user and verdict,
// as a table, a chart and a summary line, saved as the record CSV or the audit report, and old
// record CSV files imported. Modeless and one at a time; it lives on the main window's thread.
#pragma once

#include <windows.h>

#include <string>

// Once at start-up, before the window can open: its chart's window class, and the archive it
// shows (UTF-8 path).
void PrepareHistoryWindow(HINSTANCE instance, const std::string& archivePath);
// Opens the window over `owner`, or brings the open one to the front.
void OpenHistoryWindow(HWND owner);
// The open window, or null: the message loop hands it its dialog messages.
HWND HistoryWindowHandle();
// The archive has new rows (a read was kept): an open window shows them.
void RefreshHistoryWindow();
