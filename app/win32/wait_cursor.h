// The hourglass while the window works for a moment (a query of a million rows, a file written),
// the pointer as it was afterwards.
#pragma once

#include <windows.h>

class WaitCursor {
public:
    WaitCursor()
        : m_previous(SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)))) {}
    ~WaitCursor() { SetCursor(m_previous); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR m_previous;
};
