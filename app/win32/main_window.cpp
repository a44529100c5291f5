#include "app/win32/main_window.h"

#include <commctrl.h>

#include <memory>

#include "app/main_dialog.h"
#include "app/win32/about_box.h"
#include "app/win32/backup_status.h"
#include "app/win32/dpi.h"
#include "app/win32/list_columns.h"
#include "app/win32/list_menu.h"
#include "app/win32/list_view.h"
#include "app/win32/registry_settings.h"
#include "app/win32/single_instance.h"
#include "app/win32/site_status.h"
#include "app/win32/verdict_cells.h"
#include "app/win32/wide_text.h"
#include "app/win32/win32_controls.h"
#include "app/win32/window_icons.h"
#include "app/win32/window_placement.h"
#include "archive/archive_file.h"
#include "archive/archive_path.h"
#include "history/win32/history_window.h"
#include "measurement/record_words.h"
#include "records/measurement_record.h"
#include "res/resource.h"

namespace {

struct MainWindow {
    Win32Controls controls;
    RegistrySettings settings;
    COmbrix_TessalyDlg dialog{controls, settings};
    ArchiveFile archive{DefaultArchivePath()};
    DailyBackupLine backup;  // before the site: the site's pushing archive writes through it
    SiteStatusLine site;
    WindowIcons icons;
    int dpi = BASE_DPI;
};

MainWindow* g_window = nullptr;

void ExtendSystemMenu(HWND window) {
    const std::wstring history = LoadText(IDS_MENU_HISTORY_SYSTEM);
    const std::wstring about = LoadText(IDS_ABOUTBOX);
    HMENU menu = GetSystemMenu(window, FALSE);
    if (!menu || about.empty()) return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IDM_HISTORY, history.c_str());
    AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, about.c_str());
}

// The status line at the foot: the site's rows waiting, and a daily copy that failed.
void ShowFootLine(HWND window, const MainWindow& state) {
    std::wstring text = state.site.Text();
    const std::wstring backup = state.backup.Text();
    if (!text.empty() && !backup.empty()) text += L"  \u00B7  ";
    text += backup;
    SetDlgItemTextW(window, IDC_STATIC_SITE, text.c_str());
}

void FillPortSelector(HWND window) {
    static const wchar_t* const kPorts[PORT_COUNT] = {L" COM1", L" COM2", L" COM3", L" COM4",
                                                      L" COM5", L" COM6", L" COM7", L" COM8",
                                                      L" COM9", L"COM10", L"COM11", L"COM12"};
    for (const wchar_t* port : kPorts)
        SendDlgItemMessageW(window, IDC_COMBO_PORT, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(port));
}

void ForceReportView(HWND list) {
    const LONG_PTR style = GetWindowLongPtrW(list, GWL_STYLE);
    SetWindowLongPtrW(list, GWL_STYLE, (style & ~LVS_TYPEMASK) | LVS_REPORT);
}

void AddCheckBoxes(HWND list) {
    const LRESULT styles = SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, styles | LVS_EX_CHECKBOXES);
}

void InitListColumns(HWND window, int dpi) {
    HWND users = GetDlgItem(window, IDC_LIST_USER);
    HWND standards = GetDlgItem(window, IDC_LIST_STANDARD);
    HWND records = GetDlgItem(window, IDC_LIST_RECORD);
    AddCheckBoxes(users);
    InsertColumns(users, USER_COLUMNS, dpi);
    ForceReportView(users);
    AddCheckBoxes(standards);
    InsertColumns(standards, STANDARD_COLUMNS, dpi);
    ForceReportView(standards);
    InsertColumns(records, RECORD_COLUMNS, dpi);
    ForceReportView(records);
}

void InitMainWindow(HWND window, MainWindow& state) {
    state.controls.Attach(window);
    state.dpi = WindowDpi(window);
    MarkMainWindow(window);
    ExtendSystemMenu(window);
    state.icons.Apply(window, state.dpi);
    FillPortSelector(window);
    InitListColumns(window, state.dpi);
    for (int bar : {IDC_PROGRESS_USER, IDC_PROGRESS_STANDARD, IDC_PROGRESS_RECORD})
        SendDlgItemMessageW(window, bar, PBM_SETRANGE, 0, MAKELPARAM(0, PROGRESS_MAX));
    RecordArchive& backedUp = state.backup.Start(window, state.archive);
    state.site.Start(window, backedUp);
    state.dialog.SetArchive(&state.site.ArchiveFor(backedUp));
    ConnectHistoryWindow(state.site.ArchiveFor(backedUp), state.site.Connection(),
                         state.site.Worker());
    state.dialog.InitMainDialog();
    CentreOnWorkArea(window);
}

Verdict RecordVerdict(Win32Controls& controls, int row) {
    const std::string text = controls.Cell(IDC_LIST_RECORD, row, MeasurementRecord::COL_VERDICT);
    if (text == VERDICT_DIRTY) return Verdict::Contaminated;
    if (text == VERDICT_CAUTION) return Verdict::Caution;
    return text == VERDICT_SAFE ? Verdict::Safe : Verdict::None;
}

LRESULT DrawRecordList(NMLVCUSTOMDRAW& draw, Win32Controls& controls) {
    return DrawVerdictCells(draw, MeasurementRecord::COL_VERDICT,
                            [&](int row) { return RecordVerdict(controls, row); });
}

void PaintMinimised(HWND window, HDC dc, HICON icon) {
    SendMessageW(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(window, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon);
}

void RescaleListColumns(HWND window, int fromDpi, int toDpi) {
    for (int id : {IDC_LIST_USER, IDC_LIST_STANDARD, IDC_LIST_RECORD})
        RescaleColumns(GetDlgItem(window, id), fromDpi, toDpi);
}

// The window moved to a monitor of another DPI: the dialog manager rescales the controls and
// fonts; the columns and the logo are the window's own.
void OnDpiChanged(HWND window, MainWindow& state, int dpi, const RECT& suggested) {
    RescaleListColumns(window, state.dpi, dpi);
    state.dpi = dpi;
    state.icons.Apply(window, dpi);
    SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window, nullptr, TRUE);
}

void PaintLogo(HDC dc, int dpi) {
    HBITMAP logo = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_LOGO));
    if (!logo) return;
    HDC memory = CreateCompatibleDC(dc);
    BITMAP info{};
    GetObjectW(logo, sizeof info, &info);
    HGDIOBJ previous = SelectObject(memory, logo);
    SetStretchBltMode(dc, HALFTONE);
    StretchBlt(dc, ScaleToDpi(687, dpi), ScaleToDpi(581, dpi), ScaleToDpi(info.bmWidth, dpi),
               ScaleToDpi(info.bmHeight, dpi), memory, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(logo);
}

void Paint(HWND window, HICON icon, int dpi) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (IsIconic(window))
        PaintMinimised(window, dc, icon);
    else
        PaintLogo(dc, dpi);
    EndPaint(window, &paint);
}

// A button's click and a menu item both come as 0 (BN_CLICKED).
ControlEvent EventOf(WORD notification) {
    if (notification == BN_CLICKED) return ControlEvent::Clicked;
    return notification == EN_CHANGE ? ControlEvent::TextChanged : ControlEvent::Other;
}

INT_PTR CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!g_window) return FALSE;
    MainWindow& state = *g_window;
    switch (message) {
        case WM_INITDIALOG:
            InitMainWindow(window, state);
            return TRUE;
        case WM_SYSCOMMAND:
            // The menu's own items come as they are; the system's have their low four bits taken.
            if (wParam == IDM_HISTORY) {
                OpenHistoryWindow(window);
                return TRUE;
            }
            if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
                CAboutDlg::DoModal(window);
                return TRUE;
            }
            return FALSE;
        case WM_PAINT:
            Paint(window, state.icons.Big(), state.dpi);
            return TRUE;
        case WM_DPICHANGED:
            OnDpiChanged(window, state, HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return FALSE;  // the dialog manager scales the controls
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(state.icons.Big());
        case WM_COMMAND:
            if (LOWORD(wParam) == IDM_HISTORY) {
                OpenHistoryWindow(window);
                return TRUE;
            }
            if (HIWORD(wParam) == EN_CHANGE) state.controls.EditChanged(LOWORD(wParam));
            state.dialog.OnCommand(LOWORD(wParam), EventOf(HIWORD(wParam)));
            state.controls.Flush();
            if (LOWORD(wParam) == IDC_BTN_RECORD_READ) RefreshHistoryWindow();  // a read is kept
            return TRUE;
        case WM_CONTEXTMENU:
            return ShowListMenu(window, reinterpret_cast<HWND>(wParam), lParam);
        case WM_NOTIFY: {
            const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->code == LVN_GETDISPINFOW) {
                state.controls.FillDisplayInfo(*reinterpret_cast<NMLVDISPINFOW*>(lParam));
                return TRUE;
            }
            if (header->idFrom != IDC_LIST_RECORD) return FALSE;
            if (header->code == NM_CUSTOMDRAW) {
                SetWindowLongPtrW(
                    window, DWLP_MSGRESULT,
                    DrawRecordList(*reinterpret_cast<NMLVCUSTOMDRAW*>(lParam), state.controls));
                return TRUE;
            }
            if (header->code != LVN_ITEMCHANGED) return FALSE;
            long result = 0;
            state.dialog.OnRecordItemChanged(result);
            SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
            return TRUE;
        }
        case WM_SITE_CHANGED:
            ShowFootLine(window, state);
            SiteChangedInHistoryWindow();
            return TRUE;
        case WM_BACKUP_CHANGED:
            ShowFootLine(window, state);
            return TRUE;
        case WM_CLOSE:
            state.dialog.OnClose();
            DestroyWindow(window);
            return TRUE;
        case WM_DESTROY:
            PostQuitMessage(0);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

HWND CreateMainWindow(HINSTANCE instance) {
    static MainWindow window;
    g_window = &window;
    PrepareHistoryWindow(instance);
    return CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainProc, 0);
}

void CatchUpMainWindow() {
    if (g_window) g_window->controls.Flush();
}

bool IsSwallowedKey(HWND mainWindow, const MSG& message) {
    if (message.message != WM_KEYDOWN && message.message != WM_KEYUP && message.message != WM_CHAR)
        return false;
    if (message.hwnd != mainWindow && !IsChild(mainWindow, message.hwnd)) return false;
    if (message.message == WM_CHAR) return message.wParam == L'\r' || message.wParam == 0x1B;
    return message.wParam == VK_RETURN || message.wParam == VK_ESCAPE;
}
