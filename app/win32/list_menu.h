// The lists' context menus: the user and standard lists are saved to a file and loaded from
// one; the record list opens the history window.
#pragma once

#include <windows.h>

// Shows the menu when `target` is one of the lists; its command goes to `dialog` as a
// WM_COMMAND. `position` is WM_CONTEXTMENU's: screen coordinates, or -1,-1 from the keyboard,
// which puts the menu at the focused row. False when `target` has no such menu.
bool ShowListMenu(HWND dialog, HWND target, LPARAM position);

// Where a context menu opened from the keyboard goes: below the focused row of `list`, or its
// top left corner; screen coordinates.
POINT KeyboardMenuPosition(HWND list);
