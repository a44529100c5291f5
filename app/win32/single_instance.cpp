#include "app/win32/single_instance.h"

#include "product.h"

namespace {

const wchar_t kInstanceName[] = L"" OMBRIX_INSTANCE_NAME;

BOOL CALLBACK FindMarkedWindow(HWND window, LPARAM found) {
    if (!GetPropW(window, kInstanceName)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

}  // namespace

bool ClaimSingleInstance() {
    // Never closed: the mutex goes when the process does, however it ends.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, kInstanceName);
    return mutex && GetLastError() != ERROR_ALREADY_EXISTS;
}

void MarkMainWindow(HWND window) { SetPropW(window, kInstanceName, reinterpret_cast<HANDLE>(1)); }

void ActivateRunningInstance() {
    // The first program may still be creating its window.
    for (int attempt = 0; attempt < 50; ++attempt) {
        HWND found = nullptr;
        EnumWindows(FindMarkedWindow, reinterpret_cast<LPARAM>(&found));
        if (found) {
            if (IsIconic(found)) ShowWindow(found, SW_RESTORE);
            SetForegroundWindow(found);
            return;
        }
        Sleep(100);
    }
}
