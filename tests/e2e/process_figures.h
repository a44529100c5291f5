// What another process holds, as the soaks and benches report it: its handles, threads, GDI and
// USER objects and memory. Where Wine 8 answers a count with 0 (GetProcessHandleCount,
// GetGuiResources) another way is taken, and the answer says which. Not its CPU: Wine 8's
// GetProcessTimes of another process falls far short of what Linux counts for it.
#pragma once

#include <windows.h>

#include <string>

// "pid=P handles=H handles-by=... threads=T gdi=G gdi-by=... user=U user-by=...
// memory-kib=M peak-kib=K", or "error ..." when the process cannot be opened.
std::string ProcessFigures(DWORD pid);
