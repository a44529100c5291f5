#include "history/win32/history_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include "app/win32/dpi.h"
#include "app/win32/list_columns.h"
#include "app/win32/list_menu.h"
#include "app/win32/list_view.h"
#include "app/win32/verdict_cells.h"
#include "app/win32/wait_cursor.h"
#include "app/win32/wide_text.h"
#include "archive/archive_cause_text.h"
#include "archive/archive_file.h"
#include "chart/win32/chart_view.h"
#include "history/win32/action_dialog.h"
#include "history/win32/history_site.h"
#include "history/win32/history_state.h"
#include "history/win32/window_size_setting.h"
#include "measurement/local_clock.h"
#include "measurement/personal_number.h"
#include "measurement/time_text.h"
#include "records/measurement_record.h"
#include "res/resource.h"
#include "site/site_setting.h"
#include "site/site_worker.h"

namespace {

// How the controls follow the window's size: the chart and the table share the height.
constexpr Anchor kAnchors[] = {
    {IDC_HISTORY_SUMMARY, 0, 0, 100, 0},    {IDC_HISTORY_OPEN_ONLY, 100, 0, 100, 0},
    {IDC_HISTORY_AXIS, 100, 0, 100, 0},     {IDC_HISTORY_LINEAR, 100, 0, 100, 0},
    {IDC_HISTORY_LOG, 100, 0, 100, 0},      {IDC_HISTORY_CHART, 0, 0, 100, 50},
    {IDC_HISTORY_HOVER, 0, 50, 100, 50},    {IDC_LIST_HISTORY, 0, 50, 100, 100},
    {IDC_HISTORY_CSV, 0, 100, 0, 100},      {IDC_HISTORY_REPORT, 0, 100, 0, 100},
    {IDC_HISTORY_SHOW_IDS, 0, 100, 0, 100}, {IDC_HISTORY_IMPORT, 0, 100, 0, 100},
    {IDC_HISTORY_BACKUP, 0, 100, 0, 100},   {IDC_HISTORY_SOURCE_LABEL, 0, 100, 0, 100},
    {IDC_HISTORY_SOURCE, 0, 100, 0, 100},   {IDC_HISTORY_SITE_STATE, 0, 100, 100, 100},
    {IDCANCEL, 100, 100, 100, 100},
};

constexpr int kVerdictBoxes[] = {IDC_HISTORY_SAFE, IDC_HISTORY_CAUTION, IDC_HISTORY_DIRTY};

// The column "조치" after the record list's own, and its width at 96 DPI.
constexpr int kActionColumn = static_cast<int>(std::size(RECORD_COLUMNS));
constexpr int kActionColumnWidth = 240;

// A reader waits this long for a writer (a read being archived) before it says so.
constexpr int kReadBusyTimeoutMs = 3000;

RecordArchive* g_keep = nullptr;  // the archive shown, and where imports go
std::string g_siteConnection;
SiteWorker* g_siteWorker = nullptr;
HistoryState* g_state = nullptr;

HWND Item(const HistoryState& state, int id) { return GetDlgItem(state.dialog, id); }

ChartView& Chart(const HistoryState& state) {
    return *ChartView::Of(Item(state, IDC_HISTORY_CHART));
}

void SetText(const HistoryState& state, int id, const std::string& utf8) {
    SetWindowTextW(Item(state, id), WideFrom(utf8, CP_UTF8).c_str());
}

std::string Utf8Text(int textId) { return NarrowFrom(LoadText(textId), CP_UTF8); }

HistoryTexts WindowTexts() {
    return {Utf8Text(IDS_HISTORY_SUMMARY),      Utf8Text(IDS_HISTORY_SUMMARY_NONE),
            Utf8Text(IDS_HISTORY_NOTHING),      Utf8Text(IDS_HISTORY_HOVER_ROW),
            Utf8Text(IDS_HISTORY_HOVER_BUCKET), Utf8Text(IDS_HISTORY_SUMMARY_OPEN),
            Utf8Text(IDS_HISTORY_ACTION_OPEN),  Utf8Text(IDS_HISTORY_RETEST)};
}

// Loaded once: the table asks for a cell of the 조치 column on every row it draws.
const HistoryTexts& Texts() {
    static const HistoryTexts texts = WindowTexts();
    return texts;
}

void TellArchiveFailure(HistoryState& state, const ArchiveStatus& status) {
    state.boxes.TellError(ArchiveCauseTextId(status.cause), state.archivePath);
}

// The date pickers hold days; the period runs from the first day's start to the last day's end.
int64_t PickedDay(const HistoryState& state, int picker) {
    SYSTEMTIME date{};
    SendMessageW(Item(state, picker), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&date));
    return SecondsFromCivil({date.wYear, date.wMonth, date.wDay});
}

void ShowDay(const HistoryState& state, int picker, int64_t day) {
    const CivilTime civil = CivilFromSeconds(day);
    SYSTEMTIME date{};
    date.wYear = static_cast<WORD>(civil.year);
    date.wMonth = static_cast<WORD>(civil.month);
    date.wDay = static_cast<WORD>(civil.day);
    SendMessageW(Item(state, picker), DTM_SETSYSTEMTIME, GDT_VALID,
                 reinterpret_cast<LPARAM>(&date));
}

std::optional<std::string> PickedName(const HistoryState& state, int combo,
                                      const std::vector<std::string>& names) {
    const LRESULT index = SendMessageW(Item(state, combo), CB_GETCURSEL, 0, 0);
    if (index <= 0 || static_cast<size_t>(index) > names.size()) return std::nullopt;
    return names[static_cast<size_t>(index - 1)];
}

void ReadChoices(HistoryState& state) {
    HistoryChoices& choices = state.choices;
    choices.firstDay = PickedDay(state, IDC_HISTORY_FROM);
    choices.lastDay = PickedDay(state, IDC_HISTORY_TO);
    const FilterChoices& names = state.shownNames;
    choices.standard = PickedName(state, IDC_HISTORY_STANDARD, names.standards);
    choices.user = PickedName(state, IDC_HISTORY_USER, names.users);
    for (size_t i = 0; i < std::size(kVerdictBoxes); ++i)
        choices.verdicts[i] = IsDlgButtonChecked(state.dialog, kVerdictBoxes[i]) == BST_CHECKED;
    choices.openOnly = IsDlgButtonChecked(state.dialog, IDC_HISTORY_OPEN_ONLY) == BST_CHECKED;
}

// "전체" and the names, the one chosen (by name) selected again.
void FillNames(const HistoryState& state, int combo, const std::vector<std::string>& names,
               const std::optional<std::string>& chosen) {
    HWND list = Item(state, combo);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    SendMessageW(list, CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(LoadText(IDS_HISTORY_ALL).c_str()));
    size_t selected = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        SendMessageW(list, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(WideFrom(names[i], CP_UTF8).c_str()));
        if (chosen && *chosen == names[i]) selected = i + 1;
    }
    SendMessageW(list, CB_SETCURSEL, selected, 0);
}

// The selected and the focused row, one by one: "all rows" would be a message per row to a list
// of a million under Wine.
void Unselect(HWND list) {
    for (const UINT which : {LVNI_SELECTED, LVNI_FOCUSED}) {
        const LRESULT row = SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), which);
        if (row < 0) continue;
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&item));
    }
}

int ChartColumns(const HistoryState& state) {
    RECT client;
    GetClientRect(Item(state, IDC_HISTORY_CHART), &client);
    return std::max<int>(1, client.right);
}

// The filters shown queried: this PC's archive at once, the site's server on its own thread.
void ShowRows(HistoryState& state) {
    ReadChoices(state);
    if (QuerySiteIfShown(state, ChartColumns(state))) return;
    ArchiveStatus status;
    {
        WaitCursor busy;
        status = state.model->Query(state.choices, ChartColumns(state));
    }
    ShowHistoryView(state);
    if (!status) TellArchiveFailure(state, status);
}

void ShowHover(HistoryState& state) {
    const ChartView& chart = Chart(state);
    SetText(state, IDC_HISTORY_HOVER,
            chart.Hovered() ? state.View().HoverText(WindowTexts(), chart.Model(), *chart.Hovered())
                            : Utf8Text(IDS_HISTORY_HOVER_HINT));
}

// A point that is one row: its row is selected and shown in the table.
void SelectHoveredRow(HistoryState& state) {
    const ChartView& chart = Chart(state);
    if (!chart.Hovered()) return;
    const std::optional<size_t> row = RowOfMark(chart.Model(), *chart.Hovered());
    if (!row) return;
    HWND list = Item(state, IDC_LIST_HISTORY);
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, *row, reinterpret_cast<LPARAM>(&item));
    SendMessageW(list, LVM_ENSUREVISIBLE, *row, FALSE);
}

void FillCell(HistoryState& state, NMLVDISPINFOW& info) {
    if (!(info.item.mask & LVIF_TEXT) || !info.item.pszText || info.item.cchTextMax <= 0) return;
    const size_t row = static_cast<size_t>(info.item.iItem);
    std::string cell = info.item.iSubItem == kActionColumn
                           ? state.View().ActionCell(Texts(), row)
                           : state.View().Cell(row, info.item.iSubItem);
    if (info.item.iSubItem == MeasurementRecord::COL_USER_ID2 && state.HidesId2())
        cell = MaskedPersonalNumber(cell);
    const std::wstring text = WideFrom(cell, CP_UTF8);
    const size_t length = std::min(text.size(), static_cast<size_t>(info.item.cchTextMax - 1));
    text.copy(info.item.pszText, length);
    info.item.pszText[length] = L'\0';
}

// The verdict in its colour, and "미조치" in red.
LRESULT DrawCells(HistoryState& state, NMLVCUSTOMDRAW& draw) {
    const LRESULT result = DrawVerdictCells(draw, MeasurementRecord::COL_VERDICT, [&](int row) {
        const Measurement* m = state.View().Row(static_cast<size_t>(row));
        return m ? m->verdict : Verdict::None;
    });
    if (result == CDRF_NEWFONT && draw.iSubItem == kActionColumn) {
        const ActionState* action = state.View().ActionOf(draw.nmcd.dwItemSpec);
        if (action && action->open) draw.clrText = VerdictTextRgb(Verdict::Contaminated);
    }
    return result;
}

// The selected row of the table shown, when it is a 주의 or 오염 result.
std::optional<size_t> RowAskingForAction(HistoryState& state) {
    const LRESULT row = SendMessageW(Item(state, IDC_LIST_HISTORY), LVM_GETNEXTITEM,
                                     static_cast<WPARAM>(-1), LVNI_SELECTED);
    if (row < 0) return std::nullopt;
    const Measurement* m = state.View().Row(static_cast<size_t>(row));
    if (!m || !NeedsAction(m->verdict)) return std::nullopt;
    return static_cast<size_t>(row);
}

// A site row's action is kept in this PC's archive too, and pushed from here: another PC's
// measurement is on the site already, so its action goes at the next push.
void AskForSelectedAction(HistoryState& state) {
    const std::optional<size_t> row = RowAskingForAction(state);
    if (!row) return;
    bool recorded = false;
    const ArchiveStatus status = AskForAction(state.dialog, state.View(), *row, recorded);
    if (!status) TellArchiveFailure(state, status);
    if (!recorded) return;
    if (state.siteWorker) state.siteWorker->Push();  // the action goes to the site too
    ListView_RedrawItems(Item(state, IDC_LIST_HISTORY), static_cast<int>(*row),
                         static_cast<int>(*row));
    SetText(state, IDC_HISTORY_SUMMARY, state.View().Summary(Texts()));
}

// The list's context menu: "조치 기록...", for a 주의 or 오염 row.
void ShowActionMenu(HistoryState& state, LPARAM position) {
    HWND list = Item(state, IDC_LIST_HISTORY);
    POINT at{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    if (at.x == -1 && at.y == -1) at = KeyboardMenuPosition(list);
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING | (RowAskingForAction(state) ? 0 : MF_GRAYED), IDM_HISTORY_ACTION,
                LoadText(IDS_HISTORY_MENU_ACTION).c_str());
    SetForegroundWindow(state.dialog);  // or the menu may not close when clicked beside
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0,
                   state.dialog, nullptr);
    DestroyMenu(menu);
}

LRESULT OnNotify(HistoryState& state, NMHDR& header) {
    switch (header.code) {
        case LVN_GETDISPINFOW:
            FillCell(state, reinterpret_cast<NMLVDISPINFOW&>(header));
            return 0;
        case LVN_ODCACHEHINT: {
            const auto& hint = reinterpret_cast<const NMLVCACHEHINT&>(header);
            state.View().Hint(static_cast<size_t>(hint.iFrom), static_cast<size_t>(hint.iTo));
            return 0;
        }
        case NM_CUSTOMDRAW:
            if (header.idFrom != IDC_LIST_HISTORY) return CDRF_DODEFAULT;
            return DrawCells(state, reinterpret_cast<NMLVCUSTOMDRAW&>(header));
        case NM_DBLCLK:
            if (header.idFrom == IDC_LIST_HISTORY) AskForSelectedAction(state);
            return 0;
        case DTN_DATETIMECHANGE:
            ShowRows(state);
            return 0;
        default:
            return 0;
    }
}

void OnCommand(HistoryState& state, int id, int code) {
    switch (id) {
        case IDC_HISTORY_SAFE:
        case IDC_HISTORY_CAUTION:
        case IDC_HISTORY_DIRTY:
        case IDC_HISTORY_OPEN_ONLY:
            if (code == BN_CLICKED) ShowRows(state);
            break;
        case IDM_HISTORY_ACTION:
            AskForSelectedAction(state);
            break;
        case IDC_HISTORY_STANDARD:
        case IDC_HISTORY_USER:
            if (code == CBN_SELCHANGE) ShowRows(state);
            break;
        case IDC_HISTORY_LINEAR:
        case IDC_HISTORY_LOG:
            if (code == BN_CLICKED)
                Chart(state).SetAxis(id == IDC_HISTORY_LOG ? ValueAxis::Logarithmic
                                                           : ValueAxis::Linear);
            break;
        case IDC_HISTORY_CHART:
            if (code == CHART_HOVER_CHANGED) ShowHover(state);
            if (code == CHART_MARK_CLICKED) SelectHoveredRow(state);
            break;
        case IDC_HISTORY_CSV:
            SaveHistoryCsvAs(state);
            break;
        case IDC_HISTORY_REPORT:
            SaveHistoryReportAs(state);
            break;
        case IDC_HISTORY_SHOW_IDS:
            if (code == BN_CLICKED) InvalidateRect(Item(state, IDC_LIST_HISTORY), nullptr, FALSE);
            break;
        case IDC_HISTORY_IMPORT:
            ImportRecordFiles(state);
            break;
        case IDC_HISTORY_BACKUP:
            BackUpArchiveAs(state);
            break;
        case IDC_HISTORY_SOURCE:
            if (code == CBN_SELCHANGE) OnSourceChosen(state);
            break;
        case IDCANCEL:  // the close box, Escape and "닫기"
            DestroyWindow(state.dialog);
            break;
        default:
            break;
    }
}

void InitList(HistoryState& state) {
    HWND list = Item(state, IDC_LIST_HISTORY);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP);
    std::vector<ListColumn> columns(std::begin(RECORD_COLUMNS), std::end(RECORD_COLUMNS));
    columns.push_back({IDS_HISTORY_COL_ACTION, kActionColumnWidth});
    InsertColumns(list, columns.data(), columns.size(), state.dpi);
    // A text of its own length, read from its start.
    LVCOLUMNW left{};
    left.mask = LVCF_FMT;
    left.fmt = LVCFMT_LEFT;
    SendMessageW(list, LVM_SETCOLUMNW, kActionColumn, reinterpret_cast<LPARAM>(&left));
}

void InitFilters(HistoryState& state) {
    for (int picker : {IDC_HISTORY_FROM, IDC_HISTORY_TO})
        SendMessageW(Item(state, picker), DTM_SETFORMATW, 0,
                     reinterpret_cast<LPARAM>(L"yyyy-MM-dd"));
    ShowPeriod(state);
    for (int box : kVerdictBoxes) CheckDlgButton(state.dialog, box, BST_CHECKED);
    CheckRadioButton(state.dialog, IDC_HISTORY_LINEAR, IDC_HISTORY_LOG, IDC_HISTORY_LINEAR);
}

RECT WorkAreaOf(HWND window) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    return monitor.rcWork;
}

// The template's size, or less on a monitor too small for it.
SIZE SmallestSize(const HistoryState& state, HWND window) {
    const SIZE smallest = state.layout.MinimumWindowSize(state.dialog);
    const RECT work = WorkAreaOf(window);
    return {std::min<LONG>(smallest.cx, work.right - work.left),
            std::min<LONG>(smallest.cy, work.bottom - work.top)};
}

// The size the operator gave it last time (never below the template's), centred on the main
// window and kept on its monitor.
void PlaceWindow(HistoryState& state, HWND owner) {
    SIZE size = SmallestSize(state, owner);
    SIZE saved{};
    if (ReadHistoryWindowSize(saved)) {
        size.cx = std::max<LONG>(size.cx, ScaleToDpi(saved.cx, state.dpi));
        size.cy = std::max<LONG>(size.cy, ScaleToDpi(saved.cy, state.dpi));
    }
    const RECT work = WorkAreaOf(owner);
    size.cx = std::min<LONG>(size.cx, work.right - work.left);
    size.cy = std::min<LONG>(size.cy, work.bottom - work.top);
    RECT over;
    GetWindowRect(owner, &over);
    const LONG x =
        std::clamp<LONG>((over.left + over.right - size.cx) / 2, work.left, work.right - size.cx);
    const LONG y =
        std::clamp<LONG>((over.top + over.bottom - size.cy) / 2, work.top, work.bottom - size.cy);
    SetWindowPos(state.dialog, nullptr, x, y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Its size when neither minimised nor maximised, at 96 DPI.
void RememberSize(const HistoryState& state) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(state.dialog, &placement);
    const RECT& normal = placement.rcNormalPosition;
    WriteHistoryWindowSize({MulDiv(normal.right - normal.left, BASE_DPI, state.dpi),
                            MulDiv(normal.bottom - normal.top, BASE_DPI, state.dpi)});
}

void OnInit(HistoryState& state, HWND dialog) {
    state.dialog = dialog;
    state.boxes.Attach(dialog);
    state.dpi = WindowDpi(dialog);
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAIN));
    SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    InitList(state);
    InitFilters(state);
    InitSiteSource(state);
    state.layout.Capture(dialog, kAnchors, std::size(kAnchors));
    PlaceWindow(state, GetWindow(dialog, GW_OWNER));
}

void OnDpiChanged(HistoryState& state, int dpi, const RECT& suggested) {
    RescaleColumns(Item(state, IDC_LIST_HISTORY), state.dpi, dpi);
    state.dpi = dpi;
    SetWindowPos(state.dialog, nullptr, suggested.left, suggested.top,
                 suggested.right - suggested.left, suggested.bottom - suggested.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK HistoryProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    HistoryState* state = g_state;
    if (!state) return FALSE;
    switch (message) {
        case WM_INITDIALOG:
            OnInit(*state, dialog);
            RefreshHistory(*state);
            return TRUE;
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED) state->layout.Apply(dialog);
            return TRUE;
        case WM_GETMINMAXINFO: {
            auto& limits = *reinterpret_cast<MINMAXINFO*>(lParam);
            const SIZE smallest = SmallestSize(*state, dialog);
            limits.ptMinTrackSize = {smallest.cx, smallest.cy};
            return TRUE;
        }
        case WM_DPICHANGED:
            OnDpiChanged(*state, HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return FALSE;  // the dialog manager scales the controls
        case WM_COMMAND:
            OnCommand(*state, LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_CONTEXTMENU:
            if (reinterpret_cast<HWND>(wParam) != Item(*state, IDC_LIST_HISTORY)) return FALSE;
            ShowActionMenu(*state, lParam);
            return TRUE;
        case WM_HISTORY_SITE_RESULTS:
            OnSiteResults(*state);
            return TRUE;
        case WM_NOTIFY:
            SetWindowLongPtrW(dialog, DWLP_MSGRESULT,
                              OnNotify(*state, *reinterpret_cast<NMHDR*>(lParam)));
            return TRUE;
        case WM_DESTROY:
            RememberSize(*state);
            return TRUE;
        case WM_NCDESTROY:
            g_state = nullptr;
            delete state;
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void ShowPeriod(HistoryState& state) {
    ShowDay(state, IDC_HISTORY_FROM, state.choices.firstDay);
    ShowDay(state, IDC_HISTORY_TO, state.choices.lastDay);
}

void RefreshHistory(HistoryState& state) {
    // The site's names come with its counts.
    const ArchiveStatus status = state.showingSite ? ArchiveStatus{} : state.model->LoadNames();
    FillHistoryNames(state);
    if (!status) {
        TellArchiveFailure(state, status);
        return;
    }
    ShowRows(state);
}

void ShowHistoryRows(HistoryState& state) { ShowRows(state); }

void ShowHistoryView(HistoryState& state) {
    HistoryView& view = state.View();
    // Other rows now stand at every index: none stays selected, and the newest is in view.
    HWND list = Item(state, IDC_LIST_HISTORY);
    Unselect(list);
    SendMessageW(list, LVM_SETITEMCOUNT, view.RowCount(), 0);
    if (view.RowCount() > 0) SendMessageW(list, LVM_ENSUREVISIBLE, 0, FALSE);
    InvalidateRect(list, nullptr, FALSE);
    SetText(state, IDC_HISTORY_SUMMARY, view.Summary(WindowTexts()));
    SetText(state, IDC_HISTORY_HOVER, Utf8Text(IDS_HISTORY_HOVER_HINT));
    Chart(state).Show(view.Chart(), view.ChartFrom(), view.ChartTo());
}

void FillHistoryNames(HistoryState& state) {
    state.shownNames = state.View().Names();
    FillNames(state, IDC_HISTORY_STANDARD, state.shownNames.standards, state.choices.standard);
    FillNames(state, IDC_HISTORY_USER, state.shownNames.users, state.choices.user);
}

void PrepareHistoryWindow(HINSTANCE instance) { ChartView::Register(instance); }

void ConnectHistoryWindow(RecordArchive& keep, const std::string& siteConnection,
                          SiteWorker* siteWorker) {
    g_keep = &keep;
    g_siteConnection = siteConnection;
    g_siteWorker = siteWorker;
}

void OpenHistoryWindow(HWND owner) {
    if (g_state) {
        HWND dialog = g_state->dialog;
        if (IsIconic(dialog)) ShowWindow(dialog, SW_RESTORE);
        SetForegroundWindow(dialog);
        return;
    }
    ArchiveStatus status;
    if (!g_keep) return;  // before the main window has started
    const std::string& path = g_keep->Path();
    std::unique_ptr<Archive> archive = Archive::Open(path, status, kReadBusyTimeoutMs);
    if (!archive) {
        Win32Controls(owner).TellError(ArchiveCauseTextId(status.cause), path);
        return;
    }
    g_state = new HistoryState;
    g_state->archivePath = path;
    g_state->keep = g_keep;
    g_state->siteConnection = g_siteConnection;
    g_state->siteWorker = g_siteWorker;
    g_state->model = std::make_unique<HistoryModel>(*archive);
    g_state->model->SetRetestWindow(RetestWindowOfPc());
    g_state->archive = std::move(archive);
    g_state->choices = DefaultChoices(LocalNowSeconds());
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_HISTORY),
                                     owner, HistoryProc, 0);
    if (dialog) {
        ShowWindow(dialog, SW_SHOW);
        return;
    }
    delete g_state;  // none when the dialog was destroyed as it was made: WM_NCDESTROY took it
    g_state = nullptr;
}

HWND HistoryWindowHandle() { return g_state ? g_state->dialog : nullptr; }

void RefreshHistoryWindow() {
    if (g_state) RefreshHistory(*g_state);
}

void SiteChangedInHistoryWindow() {
    if (g_state) OnSiteStateChanged(*g_state);
}
