// Drives the running Ombrix_Tessaly.exe for the end-to-end tests, from inside the same Wine
// prefix and desktop. Reads one command a line on standard input and answers one line:
// "ok ...", a value, or "error ...". Clicks and keys are posted, never sent: an operation
// blocks the dialog's thread until its message box. Every command that changes something waits
// for the state it leads to (a box closed, a dialog gone, the program's queue worked through),
// never for a fixed time, and answers "error" when the state does not come or the program does
// not respond.
#include <windows.h>
// windows.h first: the other system headers need its types.
#include <commctrl.h>

#include "res/resource.h"
#include "tests/e2e/process_figures.h"

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const wchar_t kMainTitle[] = L"Ombrix[Ombrix] Tessaly";
// How long one message may take the program: a loaded machine under Wine can take seconds.
constexpr UINT kTimeoutMs = 20000;
// How long a state may take to come: a box, a dialog, a window.
constexpr int kStateTimeoutMs = 30000;
const char kNoResponse[] = "error the program does not respond";

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

// Newlines inside a text are written as \n so that every answer is one line.
std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c != '\r')
            out += c;
    }
    return out;
}

HWND MainWindow() { return FindWindowW(L"#32770", kMainTitle); }

struct HistorySearch {
    HWND main;
    HWND found;
    int count;
};

BOOL CALLBACK FindHistory(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<HistorySearch*>(param);
    if (GetWindow(window, GW_OWNER) == search->main && GetDlgItem(window, IDC_LIST_HISTORY)) {
        if (!search->found) search->found = window;
        ++search->count;
    }
    return TRUE;
}

// The history window: the dialog owned by the main window that holds the history list.
HWND HistoryWindow(HWND main, int* count = nullptr) {
    HistorySearch search{main, nullptr, 0};
    EnumWindows(FindHistory, reinterpret_cast<LPARAM>(&search));
    if (count) *count = search.count;
    return search.found;
}

struct OwnedSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindOwned(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<OwnedSearch*>(param);
    if (GetWindow(window, GW_OWNER) != search->owner || !IsWindowVisible(window)) return TRUE;
    search->found = window;
    return FALSE;
}

// A control of the main window or, failing that, of a dialog the history window shows ("조치
// 기록"), or of the history window itself: their ids differ.
HWND ControlOf(HWND main, int id) {
    if (HWND control = GetDlgItem(main, id)) return control;
    HWND history = HistoryWindow(main);
    if (!history) return nullptr;
    OwnedSearch dialog{history, nullptr};
    EnumWindows(FindOwned, reinterpret_cast<LPARAM>(&dialog));
    if (HWND control = dialog.found ? GetDlgItem(dialog.found, id) : nullptr) return control;
    return GetDlgItem(history, id);
}

BOOL CALLBACK CountMainWindow(HWND window, LPARAM count) {
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    if (IsWindowVisible(window) && std::wstring(title) == kMainTitle)
        ++*reinterpret_cast<int*>(count);
    return TRUE;
}

struct Layout {
    HWND main;
    RECT client;
    std::string outside;
};

BOOL CALLBACK CheckInside(HWND child, LPARAM param) {
    auto* layout = reinterpret_cast<Layout*>(param);
    if (GetParent(child) != layout->main || !IsWindowVisible(child)) return TRUE;
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, layout->main, reinterpret_cast<POINT*>(&rect), 2);
    if (rect.left < 0 || rect.top < 0 || rect.right > layout->client.right ||
        rect.bottom > layout->client.bottom)
        layout->outside += " " + std::to_string(GetDlgCtrlID(child));
    return TRUE;
}

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    DWORD_PTR value = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kTimeoutMs, &value))
        return false;
    result = static_cast<LRESULT>(value);
    return true;
}

bool WindowText(HWND window, std::string& text) {
    wchar_t buffer[2048] = {};
    LRESULT n = 0;
    if (!Send(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer), n)) return false;
    text = Utf8(std::wstring(buffer, static_cast<size_t>(n)));
    return true;
}

DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

// Memory inside the program's process, for list-view messages that carry pointers.
class RemoteBuffer {
public:
    explicit RemoteBuffer(HWND window) {
        m_process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                                ProcessOf(window));
        if (m_process)
            m_address = VirtualAllocEx(m_process, nullptr, 8192, MEM_COMMIT, PAGE_READWRITE);
    }
    ~RemoteBuffer() {
        if (m_address) VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
        if (m_process) CloseHandle(m_process);
    }
    bool Ok() const { return m_address != nullptr; }
    char* At(size_t offset) const { return static_cast<char*>(m_address) + offset; }
    bool Write(size_t offset, const void* data, size_t size) {
        return WriteProcessMemory(m_process, At(offset), data, size, nullptr);
    }
    bool Read(size_t offset, void* data, size_t size) {
        return ReadProcessMemory(m_process, At(offset), data, size, nullptr);
    }

private:
    HANDLE m_process = nullptr;
    void* m_address = nullptr;
};

struct BoxSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindOwnedDialog(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<BoxSearch*>(param);
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    if (IsWindowVisible(window) && std::wstring(cls) == L"#32770" &&
        GetWindow(window, GW_OWNER) == search->owner && !GetDlgItem(window, IDC_LIST_HISTORY)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND OwnedBy(HWND owner) {
    BoxSearch search{owner, nullptr};
    EnumWindows(FindOwnedDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A dialog of the program over its windows: one over the history window (its boxes and file
// dialogs) first, then one over the main window.
HWND OwnedDialog(HWND main) {
    if (HWND history = HistoryWindow(main))
        if (HWND dialog = OwnedBy(history)) return dialog;
    return OwnedBy(main);
}

// A message box (or the About box): a dialog with static texts of id -1. The save dialog,
// which may still be closing, has none.
HWND OwnedBox(HWND main) {
    HWND dialog = OwnedDialog(main);
    return dialog && (GetDlgItem(dialog, 0xFFFF) || GetDlgItem(dialog, -1)) ? dialog : nullptr;
}

// Polls until `done` holds or the time is up; the clock is the wall clock, so a loaded machine
// gets the whole time however slowly each look runs.
template <typename Done>
bool WaitUntil(Done done, int timeoutMs) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    for (;;) {
        if (done()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(20);
    }
}

HWND WaitFor(HWND (*find)(HWND), HWND main, int timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = find(main)) != nullptr; }, timeoutMs);
    return found;
}

bool WaitGone(HWND window, int timeoutMs) {
    return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

// Waits until the program's thread has worked through everything posted to it so far: a marker
// posted behind it (the step of a progress bar, which the window never steps) is seen once the
// thread has dispatched it. While an operation runs the thread dispatches nothing; a box's or a
// dialog's own loop dispatches as the main loop does.
bool Barrier(HWND main, int timeoutMs) {
    static WPARAM token = 1000;
    HWND bar = GetDlgItem(main, IDC_PROGRESS_RECORD);
    if (!bar) return false;
    ++token;
    if (!PostMessageW(bar, PBM_SETSTEP, token, 0)) return false;
    return WaitUntil(
        [&] {
            DWORD_PTR step = 0;
            return SendMessageTimeoutW(bar, PBM_GETSTEP, 0, 0, SMTO_NORMAL, 1000, &step) &&
                   step == token;
        },
        timeoutMs);
}

BOOL CALLBACK CollectButtons(HWND child, LPARAM param) {
    wchar_t cls[32] = {};
    GetClassNameW(child, cls, 32);
    if (std::wstring(cls) == L"Button")
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
    return TRUE;
}

struct WindowList {
    DWORD process;
    std::string out;
};

BOOL CALLBACK ListWindow(HWND window, LPARAM param) {
    auto* list = reinterpret_cast<WindowList*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != list->process) return TRUE;
    wchar_t cls[64] = {}, title[128] = {};
    GetClassNameW(window, cls, 64);
    GetWindowTextW(window, title, 128);  // from the window manager's copy: never blocks
    if (!IsWindowVisible(window) && std::wstring(cls) != L"#32768") return TRUE;
    list->out += " [" + Utf8(cls) + " '" + Utf8(title) + "'";
    wchar_t text[256] = {};
    if (HWND message = GetDlgItem(window, 0xFFFF)) {
        InternalGetWindowText(message, text, 256);
        list->out += " '" + OneLine(Utf8(text)) + "'";
    }
    list->out += std::string(IsWindowVisible(window) ? "" : " hidden") + "]";
    return TRUE;
}

// The program's visible top-level windows, and any menu window, for an error's answer.
std::string ProgramWindows(HWND main) {
    WindowList list{0, " (windows:"};
    GetWindowThreadProcessId(main, &list.process);
    EnumWindows(ListWindow, reinterpret_cast<LPARAM>(&list));
    return list.out + ")";
}

std::string DescribeBox(HWND box) {
    std::string text, title;
    // A box is shown with its texts set; a text still empty is a box being built.
    WaitUntil([&] { return WindowText(GetDlgItem(box, 0xFFFF), text) && !text.empty(); }, 2000);
    if (!WindowText(box, title)) return kNoResponse;
    std::vector<HWND> buttons;
    EnumChildWindows(box, CollectButtons, reinterpret_cast<LPARAM>(&buttons));
    std::string names;
    for (HWND button : buttons) names += " " + std::to_string(GetDlgCtrlID(button));
    return "title=" + title + "|buttons=" + names.substr(names.empty() ? 0 : 1) +
           "|text=" + OneLine(text);
}

class Driver {
public:
    std::string Run(const std::string& line) {
        std::istringstream in(line);
        std::string verb;
        in >> verb;
        if (verb == "wait-window") return WaitWindow(in);
        if (verb == "reg-delete") return RegDelete();
        if (verb == "reg-get") return RegGet();
        if (verb == "reg-set") return RegSet(in);
        if (verb == "hold") return Hold(Rest(in));
        if (verb == "release") return Release();
        if (verb == "windows") return CountWindows();
        HWND main = MainWindow();
        if (verb == "alive") return main ? "yes" : "no";
        if (!main) return "error no main window";
        if (verb == "process") return ProcessFigures(ProcessOf(main));
        if (verb == "next-box") return NextBox(main, in);
        if (verb == "box") return Box(main, in);
        if (verb == "answer") return Answer(main, in);
        if (verb == "answer-nested") return AnswerNested(main, in);
        if (verb == "close") return Post(main, WM_CLOSE, 0, 0);
        if (verb == "about") return Post(main, WM_SYSCOMMAND, 0x0010, 0);
        if (verb == "minimise") return Post(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        if (verb == "restore") return Post(main, WM_SYSCOMMAND, SC_RESTORE, 0);
        if (verb == "save-as" || verb == "open-file") return SaveAs(main, in);
        if (verb == "menu") return OpenMenu(in) ? "open" : "none";
        if (verb == "menu-pick") return MenuPick(in);
        if (verb == "main-enabled") return IsWindowEnabled(main) ? "yes" : "no";
        if (verb == "pixel") return Pixel(main, in);
        if (verb == "layout") return LayoutOf(Rest(in) == "history" ? HistoryWindow(main) : main);
        if (verb == "sync") return Sync(main, in);
        if (verb == "iconic") return IsIconic(main) ? "yes" : "no";
        if (verb == "placement") return Placement(main);
        if (verb == "system-menu") return Post(main, WM_SYSCOMMAND, SC_KEYMENU, L' ');
        if (verb == "menu-key") return MenuKey(in);
        if (verb == "history") return HistoryState(main);
        if (verb == "history-size") return HistorySize(main, in);
        if (verb == "history-close") return CloseHistory(main);
        if (verb == "open-history") return OpenHistory(main);
        if (verb == "timed") return Timed(main, Rest(in));
        int id = 0;
        in >> id;
        HWND control = ControlOf(main, id);
        if (!control) return "error no control " + std::to_string(id);
        if (verb == "click")
            return Post(GetParent(control), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                        reinterpret_cast<LPARAM>(control));
        if (verb == "toggle") return Post(control, BM_CLICK, 0, 0);
        if (verb == "choose") return Choose(control, in);
        if (verb == "set-date") return SetDate(control, in);
        if (verb == "date") return DateOf(control);
        if (verb == "cell-ink") return CellInk(control, in);
        if (verb == "type") return Type(control, Rest(in));
        if (verb == "right-click") return RightClick(control);
        if (verb == "point") return Pointer(control, in, false);
        if (verb == "left-click") return Pointer(control, in, true);
        if (verb == "find-ink") return FindInk(control, in);
        if (verb == "context-key")
            return Post(control, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control), -1);
        if (verb == "key") return Key(control, in);
        if (verb == "set-text") return SetText(control, Rest(in));
        if (verb == "text") {
            std::string text;
            return WindowText(control, text) ? OneLine(text) : kNoResponse;
        }
        if (verb == "enabled") return IsWindowEnabled(control) ? "yes" : "no";
        if (verb == "focus")
            return Post(main, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
        if (verb == "progress") return Value(control, PBM_GETPOS, 0, 0);
        if (verb == "range") return Value(control, PBM_GETRANGE, FALSE, 0);
        if (verb == "rows") return Value(control, LVM_GETITEMCOUNT, 0, 0);
        if (verb == "selected") return Value(control, LVM_GETNEXTITEM, -1, LVNI_SELECTED);
        if (verb == "columns") return Columns(control);
        if (verb == "cell") return Cell(control, in);
        if (verb == "checked") return Checked(control, in);
        if (verb == "check") return Check(control, in);
        if (verb == "combo") return Combo(control);
        if (verb == "select") return SelectEntry(control, in);
        return "error unknown command " + verb;
    }

private:
    HANDLE m_held = INVALID_HANDLE_VALUE;

    static std::string Rest(std::istringstream& in) {
        std::string rest;
        std::getline(in, rest);
        if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
        return rest;
    }

    static std::string Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        return PostMessageW(window, message, wParam, lParam) ? "ok" : "error post failed";
    }

    static std::string Value(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
        LRESULT result = 0;
        if (!Send(control, message, wParam, lParam, result)) return kNoResponse;
        return std::to_string(result);
    }

    std::string WaitWindow(std::istringstream& in) {
        int seconds = 30;
        in >> seconds;
        HWND main = nullptr;
        if (!WaitUntil([&] { return (main = MainWindow()) && IsWindowVisible(main); },
                       seconds * 1000))
            return "error the main window did not appear";
        // Shown is not yet ready: the start-up's posted work comes first.
        return Barrier(main, kStateTimeoutMs) ? "ok" : "error the main window does not respond";
    }

    static std::string RegDelete() {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"SoftWare\\Kavenor\\Ombrix_Tessaly");
        return "ok";
    }

    static std::string RegGet() {
        DWORD value = 0, size = sizeof value, type = 0;
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, L"SoftWare\\Kavenor\\Ombrix_Tessaly", 0, KEY_READ,
                          &key) != ERROR_SUCCESS)
            return "none";
        const LONG status =
            RegQueryValueExW(key, L"Port", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(key);
        if (status != ERROR_SUCCESS) return "no value";
        return std::to_string(static_cast<int32_t>(value)) +
               (type == REG_DWORD ? "" : " (not a DWORD)");
    }

    static std::string RegSet(std::istringstream& in) {
        long value = 0;
        in >> value;
        HKEY key;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"SoftWare\\Kavenor\\Ombrix_Tessaly", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
            return "error cannot create the key";
        const DWORD word = static_cast<DWORD>(value);
        RegSetValueExW(key, L"Port", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&word),
                       sizeof word);
        RegCloseKey(key);
        return "ok";
    }

    // Waits until the program has handled what was posted to it: "busy" while an operation
    // still runs after the time given (milliseconds).
    static std::string Sync(HWND main, std::istringstream& in) {
        int timeoutMs = kStateTimeoutMs;
        in >> timeoutMs;
        return Barrier(main, timeoutMs) ? "ok" : "busy";
    }

    static std::string CountWindows() {
        int count = 0;
        EnumWindows(CountMainWindow, reinterpret_cast<LPARAM>(&count));
        return std::to_string(count);
    }

    // The client area's size and the controls that reach outside it: "W H outside: ids".
    static std::string LayoutOf(HWND main) {
        if (!main) return "error no such window";
        Layout layout{main, {}, {}};
        GetClientRect(main, &layout.client);
        EnumChildWindows(main, CheckInside, reinterpret_cast<LPARAM>(&layout));
        return std::to_string(layout.client.right) + " " + std::to_string(layout.client.bottom) +
               " outside:" + layout.outside;
    }

    // The colour at a point of the main window's client area, as "r,g,b".
    static std::string Pixel(HWND main, std::istringstream& in) {
        int x = 0, y = 0;
        in >> x >> y;
        // What is pending is painted first: the program's thread gets WM_PAINT sent.
        RedrawWindow(main, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        HDC dc = GetDC(main);
        const COLORREF color = GetPixel(dc, x, y);
        ReleaseDC(main, dc);
        return std::to_string(GetRValue(color)) + "," + std::to_string(GetGValue(color)) + "," +
               std::to_string(GetBValue(color));
    }

    // Keeps a file open without sharing, as another program might.
    std::string Hold(const std::string& path) {
        Release();
        m_held = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        return m_held == INVALID_HANDLE_VALUE ? "error cannot open " + path : "ok";
    }

    std::string Release() {
        if (m_held != INVALID_HANDLE_VALUE) CloseHandle(m_held);
        m_held = INVALID_HANDLE_VALUE;
        return "ok";
    }

    // A box owned by a dialog of the program, such as the save dialog's overwrite question.
    static std::string AnswerNested(HWND main, std::istringstream& in) {
        int button = IDOK;
        in >> button;
        HWND dialog = WaitFor(OwnedDialog, main, kStateTimeoutMs);
        if (!dialog) return "error no dialog";
        HWND box = WaitFor(OwnedDialog, dialog, kStateTimeoutMs);
        if (!box) return "error no box on the dialog";
        std::string text;
        if (!WindowText(GetDlgItem(box, 0xFFFF), text)) return kNoResponse;
        const std::string pressed = Press(box, button);
        return pressed == "ok" ? "text=" + OneLine(text) : pressed;
    }

    // Waits until the program is idle or shows a box (its window is disabled while one is up):
    // "idle", the box as `box` describes it, or "busy" while an operation still runs after the
    // time given (milliseconds).
    static std::string NextBox(HWND main, std::istringstream& in) {
        int timeoutMs = kStateTimeoutMs;
        in >> timeoutMs;
        if (!Barrier(main, timeoutMs)) return "busy";
        if (IsWindowEnabled(main)) return "idle";
        HWND box = WaitFor(OwnedBox, main, kStateTimeoutMs);
        return box ? DescribeBox(box) : "error the window is disabled and shows no box";
    }

    static std::string Box(HWND main, std::istringstream& in) {
        int timeoutMs = 3000;
        in >> timeoutMs;
        HWND box = WaitFor(OwnedBox, main, timeoutMs);
        if (!box) return "none";
        return DescribeBox(box);
    }

    // Presses a button of a box and waits until the box has closed.
    static std::string Press(HWND box, int button) {
        HWND control = GetDlgItem(box, button);
        if (!control) return "error the box has no button " + std::to_string(button);
        if (!PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                          reinterpret_cast<LPARAM>(control)))
            return "error post failed";
        return WaitGone(box, kStateTimeoutMs) ? "ok" : "error the box did not close";
    }

    static std::string Answer(HWND main, std::istringstream& in) {
        int button = IDOK;
        in >> button;
        HWND box = WaitFor(OwnedBox, main, kStateTimeoutMs);
        if (!box) return "error no box";
        return Press(box, button);
    }

    // The save-file or open-file dialog: the name goes into its file-name field and OK is
    // pressed; done when the dialog has closed, or asks a question of its own (a file to replace).
    static std::string SaveAs(HWND main, std::istringstream& in) {
        const std::wstring path = Wide(Rest(in));
        // A dialog that is still being built may not have its fields yet.
        HWND dialog = WaitFor(FileDialog, main, kStateTimeoutMs);
        if (!dialog) return "error no file dialog with a file-name field" + ProgramWindows(main);
        HWND field = FileNameField(dialog);
        LRESULT unused;
        wchar_t shown[1024] = {};
        if (!Send(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), unused) ||
            !Send(field, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(shown), unused))
            return kNoResponse;
        if (path != shown) return "error the file-name field did not take the name";
        if (!PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                          reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK))))
            return "error post failed";
        const bool done = WaitUntil(
            [&] { return !IsWindow(dialog) || !IsWindowVisible(dialog) || OwnedDialog(dialog); },
            kStateTimeoutMs);
        return done ? "ok" : "error the file dialog did not close" + ProgramWindows(main);
    }

    static HWND FileNameField(HWND dialog) {
        HWND name = GetDlgItem(dialog, 0x47C);           // cmb13, the file-name combo
        return name ? name : GetDlgItem(dialog, 0x480);  // edt1
    }

    static HWND FileDialog(HWND main) {
        HWND dialog = OwnedDialog(main);
        return dialog && FileNameField(dialog) ? dialog : nullptr;
    }

    // Moves the pointer to (x, y) of a control's client area, as a real mouse does (through the
    // input queue), and presses and releases a button there (`down` and `up`, or none). The
    // window comes to the front first, as a click would bring it, and settles.
    static std::string Mouse(HWND control, POINT at, DWORD down, DWORD up) {
        HWND main = GetAncestor(control, GA_ROOT);
        SetForegroundWindow(main);
        if (!Barrier(GetWindow(main, GW_OWNER) ? GetWindow(main, GW_OWNER) : main, kStateTimeoutMs))
            return kNoResponse;
        ClientToScreen(control, &at);
        // The pointer moves with the clicks themselves: a pointer warped apart may still stand
        // where the last click left it (over another list) when the buttons reach the program.
        const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
        INPUT clicks[3] = {};
        for (INPUT& click : clicks) {
            click.type = INPUT_MOUSE;
            click.mi.dx = MulDiv(at.x, 65535, width - 1);
            click.mi.dy = MulDiv(at.y, 65535, height - 1);
        }
        clicks[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        clicks[1].mi.dwFlags = down | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        clicks[2].mi.dwFlags = up | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        if (SendInput(1, clicks, sizeof(INPUT)) != 1) return "error no input";
        POINT now{};
        if (!WaitUntil([&] { return GetCursorPos(&now) && now.x == at.x && now.y == at.y; },
                       kStateTimeoutMs))
            return "error the pointer did not reach the control";
        if (!down) return "ok";
        return SendInput(2, clicks + 1, sizeof(INPUT)) == 2 ? "ok" : "error no input";
    }

    // A real right click near the top left of a control's client area.
    static std::string RightClick(HWND control) {
        return Mouse(control, {40, 30}, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
    }

    // The pointer to (x, y) of a control, with a left click there or without.
    static std::string Pointer(HWND control, std::istringstream& in, bool click) {
        POINT at{};
        in >> at.x >> at.y;
        return click ? Mouse(control, at, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP)
                     : Mouse(control, at, 0, 0);
    }

    // Where a control shows a mark of a colour ("r g b"): "x y" in its client area of a pixel of
    // that colour whose neighbours two pixels away on every side are of it too (a chart's dot,
    // not its lines or the strokes of its texts), the lowest such; "none" when it shows none.
    static std::string FindInk(HWND control, std::istringstream& in) {
        int r = 0, g = 0, b = 0;
        in >> r >> g >> b;
        HWND top = GetAncestor(control, GA_ROOT);
        RedrawWindow(top, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        RECT client;
        GetClientRect(control, &client);
        POINT origin{0, 0};
        MapWindowPoints(control, top, &origin, 1);
        HDC dc = GetDC(top);  // a child's own DC reads blank from another process under Wine
        const auto inked = [&](int x, int y) {
            return GetPixel(dc, origin.x + x, origin.y + y) == RGB(r, g, b);
        };
        std::string found = "none";
        for (int y = client.bottom - 3; y >= 2 && found == "none"; --y)
            for (int x = 0; x < client.right; ++x)
                if (inked(x, y) && inked(x, y - 2) && inked(x, y + 2) && inked(x - 2, y) &&
                    inked(x + 2, y) && inked(x - 1, y - 1) && inked(x + 1, y + 1)) {
                    found = std::to_string(x) + " " + std::to_string(y);
                    break;
                }
        ReleaseDC(top, dc);
        return found;
    }

    static HWND VisibleMenu(HWND = nullptr) {
        HWND menu = FindWindowW(L"#32768", nullptr);
        return menu && IsWindowVisible(menu) ? menu : nullptr;
    }

    // The open popup menu (a context menu), waited for up to the time given (milliseconds).
    static HWND OpenMenu(std::istringstream& in) {
        int timeoutMs = kStateTimeoutMs;
        in >> timeoutMs;
        return WaitFor(VisibleMenu, nullptr, timeoutMs);
    }

    // Picks the nth item (1-based) of the open menu with the keys; 0 closes it. Home first: the
    // pointer may rest on an item, which the menu then holds selected. Done when the menu has
    // closed.
    static std::string MenuPick(std::istringstream& in) {
        int item = 0;
        in >> item;
        HWND menu = WaitFor(VisibleMenu, nullptr, kStateTimeoutMs);
        if (!menu) return "error no menu" + ProgramWindows(MainWindow());
        if (item) {
            PostMessageW(menu, WM_KEYDOWN, VK_HOME, 0);
            for (int i = 1; i < item; ++i) PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
        }
        PostMessageW(menu, WM_KEYDOWN, item ? VK_RETURN : VK_ESCAPE, 0);
        return WaitGone(menu, kStateTimeoutMs)
                   ? "ok"
                   : "error the menu did not close" + ProgramWindows(MainWindow());
    }

    // Picks an item of the open menu by its underlined letter; done when the menu has closed.
    static std::string MenuKey(std::istringstream& in) {
        std::string key;
        in >> key;
        HWND menu = WaitFor(VisibleMenu, nullptr, kStateTimeoutMs);
        if (!menu) return "error no menu";
        if (key.empty()) return "error no key";
        PostMessageW(menu, WM_CHAR, static_cast<WPARAM>(key[0]), 1);
        return WaitGone(menu, kStateTimeoutMs) ? "ok" : "error the menu did not close";
    }

    // "none", or the history window's title, how many there are, its client size and whether it
    // is in front: "title=...|windows=N|client=W H|front=yes".
    static std::string HistoryState(HWND main) {
        int count = 0;
        HWND history = HistoryWindow(main, &count);
        if (!history || !IsWindowVisible(history)) return "none";
        std::string title;
        if (!WindowText(history, title)) return kNoResponse;
        RECT client;
        GetClientRect(history, &client);
        return "title=" + title + "|windows=" + std::to_string(count) +
               "|client=" + std::to_string(client.right) + " " + std::to_string(client.bottom) +
               "|front=" + (GetForegroundWindow() == history ? "yes" : "no");
    }

    // Resizes the history window's frame as a drag of its border would; answers its new size.
    static std::string HistorySize(HWND main, std::istringstream& in) {
        HWND history = HistoryWindow(main);
        if (!history) return "error no history window";
        int width = 0, height = 0;
        in >> width >> height;
        if (width > 0 && height > 0 &&
            !SetWindowPos(history, nullptr, 0, 0, width, height,
                          SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE))
            return "error cannot resize";
        if (!Barrier(main, kStateTimeoutMs)) return kNoResponse;
        RECT frame;
        GetWindowRect(history, &frame);
        return std::to_string(frame.right - frame.left) + " " +
               std::to_string(frame.bottom - frame.top);
    }

    // Sends the main window the history window's command; done when the window is shown.
    static std::string OpenHistory(HWND main) {
        if (!PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDM_HISTORY, 0), 0))
            return "error post failed";
        return WaitUntil(
                   [&] {
                       HWND history = HistoryWindow(main);
                       return history && IsWindowVisible(history);
                   },
                   kStateTimeoutMs)
                   ? "ok"
                   : "error the history window did not open";
    }

    // Runs a command and then waits until the program has handled all it led to and painted its
    // windows: "ms=<milliseconds>|<the command's answer>".
    std::string Timed(HWND main, const std::string& line) {
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        const std::string answer = Run(line);
        if (!Barrier(main, kStateTimeoutMs)) return kNoResponse;
        for (HWND window : {main, HistoryWindow(main)})
            if (window) RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        QueryPerformanceCounter(&end);
        const double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                          static_cast<double>(frequency.QuadPart);
        char text[32];
        std::snprintf(text, sizeof text, "ms=%.1f|", ms);
        return text + answer;
    }

    // Closes the history window as its close box does; done when it is gone.
    static std::string CloseHistory(HWND main) {
        HWND history = HistoryWindow(main);
        if (!history) return "error no history window";
        PostMessageW(history, WM_SYSCOMMAND, SC_CLOSE, 0);
        return WaitUntil([&] { return !IsWindow(history); }, kStateTimeoutMs)
                   ? "ok"
                   : "error the history window did not close";
    }

    // Selects an entry of a drop-down list as the operator does: the list tells its dialog.
    static std::string Choose(HWND combo, std::istringstream& in) {
        int index = 0;
        in >> index;
        LRESULT selected = 0;
        if (!Send(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0, selected)) return kNoResponse;
        if (selected != index) return "error no entry " + std::to_string(index);
        return Post(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                    reinterpret_cast<LPARAM>(combo));
    }

    // A date picker's date as "YYYY-MM-DD".
    static std::string DateOf(HWND picker) {
        RemoteBuffer remote(picker);
        if (!remote.Ok()) return "error no remote memory";
        LRESULT valid = 0;
        if (!Send(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(remote.At(0)), valid))
            return kNoResponse;
        SYSTEMTIME date{};
        remote.Read(0, &date, sizeof date);
        char text[16];
        std::snprintf(text, sizeof text, "%04u-%02u-%02u", date.wYear, date.wMonth, date.wDay);
        return text;
    }

    // Types a date into a date picker as the operator does: a click on its first field (the
    // year), then the year, the month and the day, each field left with the right arrow key, all
    // through the input queue, so that they come in that order. The picker takes a field as its
    // last digit comes, and tells its window at once. Done when it holds the date (the window
    // has then handled each field); answers that date, or another after the time is up.
    std::string SetDate(HWND picker, std::istringstream& in) {
        std::string date;
        in >> date;
        if (date.size() != 10) return "error not a date: " + date;
        RECT client;
        GetClientRect(picker, &client);
        const std::string clicked =
            Mouse(picker, {4, client.bottom / 2}, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
        if (clicked != "ok") return clicked;
        std::vector<INPUT> keys;
        const auto press = [&](WORD vk, wchar_t unicode) {
            for (const DWORD up : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
                INPUT key{};
                key.type = INPUT_KEYBOARD;
                key.ki.wVk = vk;
                key.ki.wScan = unicode;
                key.ki.dwFlags = up | (unicode ? KEYEVENTF_UNICODE : 0);
                keys.push_back(key);
            }
        };
        for (size_t i = 0; i < date.size(); ++i) {
            if (date[i] == '-')
                press(VK_RIGHT, 0);
            else
                press(0, static_cast<wchar_t>(date[i]));
        }
        if (SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT)) != keys.size())
            return "error no input";
        std::string shown;
        WaitUntil([&] { return (shown = DateOf(picker)) == date; }, kStateTimeoutMs);
        return shown;
    }

    // The ink of a list cell: the colour of its pixel farthest from the list's white, as "r,g,b".
    static std::string CellInk(HWND list, std::istringstream& in) {
        int row = 0, column = 0;
        in >> row >> column;
        RemoteBuffer remote(list);
        if (!remote.Ok()) return "error no remote memory";
        RECT cell{LVIR_LABEL, column, 0, 0};  // left: the part; top: the column
        remote.Write(0, &cell, sizeof cell);
        LRESULT found = 0;
        if (!Send(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
                  reinterpret_cast<LPARAM>(remote.At(0)), found) ||
            !found)
            return "error no such cell";
        remote.Read(0, &cell, sizeof cell);
        // Read through the top-level window's DC, as "pixel" does: under Wine another process
        // reads a child window's own DC as blank.
        HWND top = GetAncestor(list, GA_ROOT);
        MapWindowPoints(list, top, reinterpret_cast<POINT*>(&cell), 2);
        RedrawWindow(top, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        HDC dc = GetDC(top);
        COLORREF ink = RGB(255, 255, 255);
        int farthest = 0;
        for (int y = cell.top; y < cell.bottom; ++y) {
            for (int x = cell.left; x < cell.right; ++x) {
                const COLORREF c = GetPixel(dc, x, y);
                const int distance = 3 * 255 - GetRValue(c) - GetGValue(c) - GetBValue(c);
                if (c != CLR_INVALID && distance > farthest) {
                    farthest = distance;
                    ink = c;
                }
            }
        }
        ReleaseDC(top, dc);
        return std::to_string(GetRValue(ink)) + "," + std::to_string(GetGValue(ink)) + "," +
               std::to_string(GetBValue(ink));
    }

    // Character by character, so that every change notification fires. Into a combo box the
    // text replaces what its field shows, as when the operator selects it all and types.
    static std::string Type(HWND control, const std::string& text) {
        if (HWND field = FindWindowExW(control, nullptr, L"Edit", nullptr)) {
            PostMessageW(field, EM_SETSEL, 0, -1);
            control = field;
        }
        for (wchar_t c : Wide(text))
            if (!PostMessageW(control, WM_CHAR, c, 1)) return "error post failed";
        return "ok";
    }

    static std::string Key(HWND control, std::istringstream& in) {
        int vk = 0;
        in >> vk;
        const UINT scan = MapVirtualKeyW(static_cast<UINT>(vk), 0);
        PostMessageW(control, WM_KEYDOWN, static_cast<WPARAM>(vk), 1 | (scan << 16));
        PostMessageW(control, WM_CHAR, vk == VK_RETURN ? L'\r' : 0x1B, 1 | (scan << 16));
        PostMessageW(control, WM_KEYUP, static_cast<WPARAM>(vk), 1 | (scan << 16) | 0xC0000000);
        return "ok";
    }

    static std::string SetText(HWND control, const std::string& text) {
        const std::wstring wide = Wide(text);
        LRESULT unused;
        return Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), unused)
                   ? "ok"
                   : kNoResponse;
    }

    static std::string Columns(HWND list) {
        HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
        const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
        RemoteBuffer remote(list);
        if (!remote.Ok()) return "error no remote memory";
        std::string out;
        for (int i = 0; i < count; ++i) {
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
            column.pszText = reinterpret_cast<wchar_t*>(remote.At(1024));
            column.cchTextMax = 256;
            remote.Write(0, &column, sizeof column);
            LRESULT ok = 0;
            if (!Send(list, LVM_GETCOLUMNW, static_cast<WPARAM>(i),
                      reinterpret_cast<LPARAM>(remote.At(0)), ok))
                return kNoResponse;
            remote.Read(0, &column, sizeof column);
            wchar_t text[256] = {};
            remote.Read(1024, text, sizeof text - sizeof(wchar_t));
            out += (i ? "|" : "") + Utf8(text) + ":" + std::to_string(column.cx) + ":" +
                   ((column.fmt & LVCFMT_JUSTIFYMASK) == LVCFMT_CENTER ? "c" : "l");
        }
        return out;
    }

    static std::string Cell(HWND list, std::istringstream& in) {
        int row = 0, column = 0;
        in >> row >> column;
        RemoteBuffer remote(list);
        if (!remote.Ok()) return "error no remote memory";
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = reinterpret_cast<wchar_t*>(remote.At(1024));
        item.cchTextMax = 1024;
        remote.Write(0, &item, sizeof item);
        LRESULT length = 0;
        if (!Send(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                  reinterpret_cast<LPARAM>(remote.At(0)), length))
            return kNoResponse;
        std::wstring text(static_cast<size_t>(length), L'\0');
        remote.Read(1024, text.data(), text.size() * sizeof(wchar_t));
        return "=" + OneLine(Utf8(text));  // "=" so that an empty cell is still an answer
    }

    static std::string Checked(HWND list, std::istringstream& in) {
        int row = 0;
        in >> row;
        LRESULT state = 0;
        if (!Send(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK, state))
            return kNoResponse;
        return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2 ? "yes" : "no";
    }

    static std::string Check(HWND list, std::istringstream& in) {
        int row = 0, on = 1;
        in >> row >> on;
        RemoteBuffer remote(list);
        LVITEMW item{};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(on ? 2 : 1);
        remote.Write(0, &item, sizeof item);
        LRESULT unused;
        return Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                    reinterpret_cast<LPARAM>(remote.At(0)), unused)
                   ? "ok"
                   : kNoResponse;
    }

    static std::string Rect(const RECT& rect) {
        return std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
               std::to_string(rect.right) + " " + std::to_string(rect.bottom);
    }

    // "main L T R B|box L T R B|work L T R B": the main window, the box it owns ("none" without
    // one) and the work area of the main window's monitor, in screen pixels.
    static std::string Placement(HWND main) {
        RECT frame;
        GetWindowRect(main, &frame);
        std::string out = "main " + Rect(frame) + "|box ";
        if (HWND box = OwnedDialog(main)) {
            GetWindowRect(box, &frame);
            out += Rect(frame);
        } else {
            out += "none";
        }
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromWindow(main, MONITOR_DEFAULTTONEAREST), &monitor);
        return out + "|work " + Rect(monitor.rcWork);
    }

    static std::string Combo(HWND combo) {
        LRESULT count = 0, selected = 0;
        if (!Send(combo, CB_GETCOUNT, 0, 0, count) || !Send(combo, CB_GETCURSEL, 0, 0, selected))
            return kNoResponse;
        std::string out = "selected=" + std::to_string(selected) + "|entries=";
        for (int i = 0; i < count; ++i) {
            wchar_t text[64] = {};
            LRESULT n = 0;
            if (!Send(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text),
                      n))
                return kNoResponse;
            out += (i ? "," : "") + Utf8(std::wstring(text, static_cast<size_t>(n > 0 ? n : 0)));
        }
        return out;
    }

    static std::string SelectEntry(HWND combo, std::istringstream& in) {
        int index = 0;
        in >> index;
        LRESULT unused;
        return Send(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0, unused) ? "ok"
                                                                                : kNoResponse;
    }
};

}  // namespace

int main() {
    Driver driver;
    std::string line;
    std::printf("ready\n");
    std::fflush(stdout);
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "quit") break;
        std::printf("%s\n", driver.Run(line).c_str());
        std::fflush(stdout);
    }
    return 0;
}
