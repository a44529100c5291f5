// Where the program's windows open: where the operator looks, and never out of reach.
#pragma once

#include <windows.h>

// Centres the main window on the work area (the screen less the task bar) of the monitor it
// opens on.
void CentreOnWorkArea(HWND window);
// Centres a box on the window that owns it.
void CentreOnOwner(HWND window);
