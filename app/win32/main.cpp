// The program's start: libraries from System32 only; then it hands over to a program already
// running, or initialises the common controls, shows the main window and runs a message loop of
// its own (so that Enter and Escape never reach the dialog) until the window closes.
#include <windows.h>
// windows.h first: the other system headers need its types.
#include <commctrl.h>

#include "app/win32/dll_search.h"
#include "app/win32/in_use_marker.h"
#include "app/win32/main_window.h"
#include "app/win32/single_instance.h"
#include "app/win32/wide_text.h"
#include "history/win32/history_window.h"
#include "link/comm_port.h"
#include "link/exchange.h"
#include "res/resource.h"

namespace {

// While an operation waits for the device the dialog takes no input, but a peek at the queue
// every few hundred milliseconds keeps Windows from calling the window "Not Responding". A
// wait is also the moment to show what the operation has done so far, at no cost to it.
void KeepAlive() {
    CatchUpMainWindow();
    static DWORD last = 0;
    const DWORD now = GetTickCount();
    if (now - last < 250) return;
    last = now;
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_NOYIELD);
}

// The link's watcher could not start watching its port; it tells so from its own thread. The
// box shows the watcher's own text; the cause stays with the port.
void ShowWatcherError(const std::string& text, const PortFailure&) {
    MessageBoxW(nullptr, WideFrom(text).c_str(), LoadText(IDS_APP_TITLE).c_str(),
                MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    LoadLibrariesFromSystemOnly();
    if (!ClaimSingleInstance()) {
        ActivateRunningInstance();
        return 0;
    }
    MarkProgramInUse();
    INITCOMMONCONTROLSEX classes{sizeof classes, 0xFF};
    InitCommonControlsEx(&classes);
    SetExchangeIdleHook(KeepAlive);
    SetWatcherErrorHandler(ShowWatcherError);

    HWND window = CreateMainWindow(instance);
    if (!window) return 1;
    ShowWindow(window, SW_SHOW);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsSwallowedKey(window, message)) continue;
        HWND history = HistoryWindowHandle();
        if (history && IsDialogMessageW(history, &message)) continue;
        if (IsDialogMessageW(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
