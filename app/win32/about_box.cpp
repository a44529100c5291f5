// CAboutDlg: the About box, opened from the system menu. Its template does everything but its
// place: over the middle of the main window, so that the window's caption stays in sight.
#include "app/win32/about_box.h"

#include "app/win32/window_placement.h"
#include "res/resource.h"

namespace {

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            CentreOnOwner(dialog);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

void CAboutDlg::DoModal(HWND owner) {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUTBOX), owner, AboutProc, 0);
}
