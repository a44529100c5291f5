// The main dialog's window: template IDD_MAIN, its columns, selector, menu, painting, and the
// routing of control notifications to COmbrix_TessalyDlg.
#pragma once

#include <windows.h>

// Creates the (modeless) main dialog; the caller runs the message loop.
HWND CreateMainWindow(HINSTANCE instance);
// While an operation waits for the device: the window shows what the operation has done so far.
void CatchUpMainWindow();
// True for a key that the main dialog and its controls never see: Enter and Escape.
bool IsSwallowedKey(HWND mainWindow, const MSG& message);
