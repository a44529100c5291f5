// Where the programs' libraries come from: System32 only, never the program's folder or the
// current one, so that a DLL planted beside a downloaded program or in a shared folder is never
// loaded. Each program calls it first, before anything loads a library.
#pragma once

#include <windows.h>

inline void LoadLibrariesFromSystemOnly() {
    // Looked up rather than imported: Windows 7 has it only with its 2011 update (KB2533623),
    // and without it the program must still start.
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    const FARPROC found =
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    const auto setDirectories =
        reinterpret_cast<SetDirectories>(reinterpret_cast<void (*)()>(found));
    if (setDirectories) setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}
