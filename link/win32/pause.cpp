#include "link/pause.h"

#include <windows.h>

// MinGW's sleep_for adds a whole millisecond; Sleep is exact once the port has raised the
// timer resolution.
void PauseMs(int ms) { Sleep(static_cast<DWORD>(ms)); }
