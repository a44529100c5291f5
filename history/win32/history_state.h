// The open history window's state, shared by its parts: the window (history_window.cpp) and its
// files (history_files.cpp).
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "app/win32/win32_controls.h"
#include "history/archive.h"
#include "history/history_model.h"
#include "history/win32/anchor_layout.h"

struct HistoryState {
    HWND dialog = nullptr;
    std::string archivePath;  // UTF-8
    std::unique_ptr<Archive> archive;
    std::unique_ptr<HistoryModel> model;
    HistoryChoices choices;
    AnchorLayout layout;
    int dpi = 96;
    Win32Controls boxes;  // the window's message boxes
};

// The buttons: the filtered rows as the record CSV, the audit report, and old CSV files imported
// (after which the window shows the archive anew).
void SaveHistoryCsvAs(HistoryState& state);
void SaveHistoryReportAs(HistoryState& state);
void ImportRecordFiles(HistoryState& state);
// The archive read anew: the names the filters offer (the choices kept where they still exist),
// then the rows, the summary and the chart.
void RefreshHistory(HistoryState& state);
