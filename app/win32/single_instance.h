// One program per session: a named mutex marks the running one, and a second start hands over
// to it. The installer and the uninstaller look for the same mutex.
#pragma once

#include <windows.h>

// Holds the mutex for the life of the process; false when another program already holds it.
bool ClaimSingleInstance();
// Marks the main window so that a second start can find it.
void MarkMainWindow(HWND window);
// Brings the running program's main window to the front, restored if it was minimised.
void ActivateRunningInstance();
