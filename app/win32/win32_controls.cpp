#include "app/win32/win32_controls.h"

#include <commctrl.h>

#include <algorithm>

#include "app/win32/dpi.h"
#include "app/win32/file_dialog.h"
#include "app/win32/wide_text.h"
#include "res/resource.h"
#include "text/text_inserts.h"

// Under Wine every GetDlgItem asks the server for the dialog's children, which costs more than
// what a transfer does with the control; the dialog's controls live as long as it does.
HWND Win32Controls::Control(int id) {
    HWND& window = m_controls[id];
    if (!window) window = GetDlgItem(m_dialog, id);
    return window;
}

LRESULT Win32Controls::Send(int control, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageW(Control(control), message, wParam, lParam);
}

Win32Controls::ListState& Win32Controls::List(int list) {
    ListState& state = m_lists[list];
    if (!state.looked) {
        const LONG_PTR style = GetWindowLongPtrW(Control(list), GWL_STYLE);
        state.ownerData = (style & LVS_OWNERDATA) != 0;
        state.looked = true;
    }
    return state;
}

// Rows or cells changed: an ordinary list view stops redrawing until the next Flush, since
// under Wine its layout and scroll bars are updated on every insert and cell text otherwise.
void Win32Controls::Changed(int list, ListState& state, int from, int to) {
    state.staleFrom = state.staleFrom < 0 ? from : std::min(state.staleFrom, from);
    state.staleTo = std::max(state.staleTo, to);
    if (state.ownerData || state.suspended) return;
    Send(list, WM_SETREDRAW, FALSE);
    state.suspended = true;
}

void Win32Controls::FlushList(int list, ListState& state) {
    HWND view = Control(list);
    if (state.ownerData && Send(list, LVM_GETITEMCOUNT) != state.rows.Count())
        Send(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(state.rows.Count()),
             LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    if (state.suspended) Send(list, WM_SETREDRAW, TRUE);
    state.suspended = false;
    if (state.scroll != 0) {
        // Scrolling by the sum at once ends where scrolling after every row would have.
        const long long limit = 1 << 30;
        const long long dy = state.scroll > limit    ? limit
                             : state.scroll < -limit ? -limit
                                                     : state.scroll;
        Send(list, LVM_SCROLL, 0, static_cast<LPARAM>(dy));
        state.scroll = 0;
    }
    // Only the rows that changed are drawn again, and only where they are in view.
    if (state.shrunk)
        InvalidateRect(view, nullptr, TRUE);
    else if (state.staleFrom >= 0)
        Send(list, LVM_REDRAWITEMS, static_cast<WPARAM>(state.staleFrom),
             static_cast<LPARAM>(state.staleTo));
    state.staleFrom = state.staleTo = -1;
    state.shrunk = false;
}

void Win32Controls::FlushProgress() {
    const auto start = RepaintPace::Clock::now();
    for (const auto& [bar, position] : m_progress)
        Send(bar, PBM_SETPOS, static_cast<WPARAM>(position));
    m_progress.clear();
    RedrawWindow(m_dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    m_progressPace.Done(start, RepaintPace::Clock::now());
}

void Win32Controls::Flush() {
    const auto start = RepaintPace::Clock::now();
    for (auto& [list, state] : m_lists) FlushList(list, state);
    FlushProgress();
    m_listPace.Done(start, RepaintPace::Clock::now());
}

void Win32Controls::Paced() {
    const auto now = RepaintPace::Clock::now();
    if (m_listPace.Due(now))
        Flush();
    else if (m_progressPace.Due(now))
        FlushProgress();
}

void Win32Controls::FillDisplayInfo(NMLVDISPINFOW& info) {
    if (!(info.item.mask & LVIF_TEXT) || !info.item.pszText || info.item.cchTextMax <= 0) return;
    const std::wstring text = WideFrom(
        List(static_cast<int>(info.hdr.idFrom)).rows.Get(info.item.iItem, info.item.iSubItem));
    const size_t length = std::min(text.size(), static_cast<size_t>(info.item.cchTextMax - 1));
    text.copy(info.item.pszText, length);
    info.item.pszText[length] = L'\0';
}

int Win32Controls::RowCount(int list) {
    ListState& state = List(list);
    if (state.ownerData) return state.rows.Count();
    return static_cast<int>(Send(list, LVM_GETITEMCOUNT));
}

void Win32Controls::InsertRow(int list, int row) {
    ListState& state = List(list);
    Changed(list, state, row, RowCount(list));
    if (state.ownerData) {
        state.rows.Insert(row);
    } else {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = const_cast<wchar_t*>(L"");
        Send(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    Paced();  // seen as it grows, even mid-transfer
}

void Win32Controls::SetCell(int list, int row, int column, const std::string& text) {
    ListState& state = List(list);
    Changed(list, state, row, row);
    if (state.ownerData) {
        state.rows.Set(row, column, text);
        return;
    }
    const std::wstring wide = WideFrom(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(wide.c_str());
    Send(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

std::string Win32Controls::Cell(int list, int row, int column) {
    ListState& state = List(list);
    if (state.ownerData) return state.rows.Get(row, column);
    if (row < 0 || row >= RowCount(list)) return {};
    wchar_t buffer[512] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 512;
    Send(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return NarrowFrom(buffer);
}

void Win32Controls::DeleteRow(int list, int row) {
    ListState& state = List(list);
    Changed(list, state, row, RowCount(list));
    state.shrunk = true;
    if (state.ownerData)
        state.rows.Erase(row);
    else
        Send(list, LVM_DELETEITEM, static_cast<WPARAM>(row));
}

void Win32Controls::DeleteAllRows(int list) {
    ListState& state = List(list);
    Changed(list, state, 0, RowCount(list));
    state.shrunk = true;
    if (state.ownerData)
        state.rows.Clear();
    else
        Send(list, LVM_DELETEALLITEMS);
}

bool Win32Controls::IsChecked(int list, int row) {
    const LRESULT state =
        Send(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK);
    return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

void Win32Controls::SetChecked(int list, int row, bool checked) {
    LVITEMW item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void Win32Controls::ScrollList(int list, int dy) {
    List(list).scroll += ScaleToDpi(dy, WindowDpi(m_dialog));
    Paced();
}

// A character that code page 949 lacks is kept as '?', and the field is made to show it so,
// so that the operator sees what will be kept. The dialog ignores the change notification
// this causes, since it is collecting the edits.
std::string Win32Controls::EditText(int edit) {
    HWND control = Control(edit);
    const std::wstring text = WindowText(edit);
    const std::string narrow = NarrowFrom(text);
    const std::wstring kept = WideFrom(narrow);
    if (kept != text) {
        SetWindowTextW(control, kept.c_str());
        SendMessageW(control, EM_SETSEL, kept.size(), kept.size());
    }
    m_knownEdits[edit] = narrow;
    return narrow;
}

// Unchanged texts are left alone: a transfer shows the edits again after every item, and under
// Wine even reading an edit's text back costs more than the item's row.
void Win32Controls::SetEditText(int edit, const std::string& text) {
    const auto known = m_knownEdits.find(edit);
    if (known != m_knownEdits.end() && known->second == text) return;
    m_settingEdit = edit;
    SetWindowTextW(Control(edit), WideFrom(text).c_str());
    m_settingEdit = 0;
    m_knownEdits[edit] = text;
}

void Win32Controls::EditChanged(int edit) {
    if (edit != m_settingEdit) m_knownEdits.erase(edit);
}

void Win32Controls::SetControlText(int control, int textId) {
    SetWindowTextW(Control(control), LoadText(textId).c_str());
}

void Win32Controls::EnableControl(int control, bool enabled) {
    HWND window = Control(control);
    if ((IsWindowEnabled(window) != FALSE) != enabled) EnableWindow(window, enabled);
}

void Win32Controls::SetProgress(int bar, int position) {
    m_progress[bar] = position;
    Paced();
}

std::wstring Win32Controls::WindowText(int control) {
    HWND window = Control(control);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Typing into the field keeps the list's selection while the list is open, and even picks an
// entry that merely begins with the text ("COM1" picks "COM10"): an entry counts only while the
// field shows it.
int Win32Controls::SelectedPort() {
    const int index = static_cast<int>(Send(IDC_COMBO_PORT, CB_GETCURSEL));
    if (index < 0) return -1;
    const LRESULT length = Send(IDC_COMBO_PORT, CB_GETLBTEXTLEN, static_cast<WPARAM>(index));
    std::wstring entry(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    Send(IDC_COMBO_PORT, CB_GETLBTEXT, static_cast<WPARAM>(index),
         reinterpret_cast<LPARAM>(entry.data()));
    entry.resize(static_cast<size_t>(length > 0 ? length : 0));
    return entry == WindowText(IDC_COMBO_PORT) ? index : -1;
}

void Win32Controls::SelectPort(int index) {
    Send(IDC_COMBO_PORT, CB_SETCURSEL, static_cast<WPARAM>(index));
}

std::string Win32Controls::PortText() { return NarrowFrom(WindowText(IDC_COMBO_PORT)); }

void Win32Controls::SetPortText(const std::string& text) {
    SelectPort(-1);
    SetWindowTextW(Control(IDC_COMBO_PORT), WideFrom(text).c_str());
}

int Win32Controls::Box(int textId, const std::wstring& insert, UINT style,
                       const std::wstring& second) {
    Flush();
    const std::wstring text = InsertIntoText(LoadText(textId), insert, second);
    return MessageBoxW(m_dialog, text.c_str(), LoadText(IDS_APP_TITLE).c_str(), style);
}

void Win32Controls::Tell(int textId, const std::string& insert, const std::string& second) {
    Box(textId, WideFrom(insert), MB_OK | MB_ICONEXCLAMATION, WideFrom(second));
}

void Win32Controls::TellError(int textId, const std::string& insert) {
    Box(textId, WideFrom(insert, CP_UTF8), MB_OK | MB_ICONSTOP);
}

void Win32Controls::TellWithPath(int textId, const std::string& path, const std::string& first,
                                 const std::string& second, bool isError) {
    Flush();
    const std::wstring text =
        InsertPathIntoText(LoadText(textId), WideFrom(path, CP_UTF8), WideFrom(first, CP_UTF8),
                           WideFrom(second, CP_UTF8));
    MessageBoxW(m_dialog, text.c_str(), LoadText(IDS_APP_TITLE).c_str(),
                MB_OK | (isError ? MB_ICONSTOP : MB_ICONEXCLAMATION));
}

bool Win32Controls::Ask(int textId) {
    return Box(textId, L"", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool Win32Controls::AskNoByDefault(int textId, const std::string& insert) {
    return Box(textId, WideFrom(insert), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

bool Win32Controls::AskSavePath(const char* initialName, std::string& path) {
    Flush();
    return AskFilePath(m_dialog, CsvFileTypes(), WideFrom(initialName), true, path);
}

bool Win32Controls::AskOpenPath(std::string& path) {
    Flush();
    return AskFilePath(m_dialog, CsvFileTypes(), L"", false, path);
}
