// The open history window's state, shared by its parts: the window (history_window.cpp) and its
// files (history_files.cpp).
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "app/win32/win32_controls.h"
#include "archive/archive.h"
#include "archive/archive_file.h"
#include "history/history_model.h"
#include "history/site_history_model.h"
#include "history/win32/anchor_layout.h"
#include "res/resource.h"

class SiteWorker;

struct HistoryState {
    HWND dialog = nullptr;
    std::string archivePath;              // UTF-8
    std::unique_ptr<Archive> archive;     // this PC's
    RecordArchive* keep = nullptr;        // where imports go: the main window's, which pushes
    std::unique_ptr<HistoryModel> model;  // over this PC's archive
    HistoryChoices choices;
    FilterChoices shownNames;  // the names the standard and user lists hold
    AnchorLayout layout;
    int dpi = 96;
    Win32Controls boxes;  // the window's message boxes

    // The site, when one is set: its connection string, this PC's pushes to it, and the site's
    // rows counted and paged on the server while "사이트 전체" is shown.
    std::string siteConnection;
    SiteWorker* siteWorker = nullptr;
    bool showingSite = false;
    std::unique_ptr<SiteHistoryModel> siteModel;
    std::string sitePushedAt;  // the worker's last push the site's rows shown have seen

    HistoryView& View() {
        if (showingSite && siteModel) return *siteModel;
        return *model;
    }
    // "고유번호 전체 표시" ticked: the report's ID2, and the site's rows', in full.
    bool ShowsIds() const {
        return IsDlgButtonChecked(dialog, IDC_HISTORY_SHOW_IDS) == BST_CHECKED;
    }
    // The site's rows are every PC's: their ID2 hidden but its first character unless ticked.
    bool HidesId2() const { return showingSite && !ShowsIds(); }
};

// The buttons: the filtered rows as the record CSV, the audit report, and old CSV files imported
// (after which the window shows the archive anew, its period widened to the file's rows).
void SaveHistoryCsvAs(HistoryState& state);
void SaveHistoryReportAs(HistoryState& state);
void ImportRecordFiles(HistoryState& state);
void BackUpArchiveAs(HistoryState& state);
// The date pickers set to the period of state.choices.
void ShowPeriod(HistoryState& state);
// The archive read anew: the names the filters offer (the choices kept where they still exist),
// then the rows, the summary and the chart.
void RefreshHistory(HistoryState& state);
// The filters shown read and queried: this PC's rows shown at once, the site's when counted.
void ShowHistoryRows(HistoryState& state);
// The rows, the summary and the chart of the view's last query.
void ShowHistoryView(HistoryState& state);
// The view's names in the standard and user lists, the chosen ones kept where they still exist.
void FillHistoryNames(HistoryState& state);
