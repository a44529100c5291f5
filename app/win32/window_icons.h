// The main window's icons, drawn sharp at the sizes the system asks for at the window's DPI:
// the big one for Alt+Tab and the minimised window, the small one for the caption and the task
// bar. The icon resource holds 16 to 256 pixels, so neither is shrunk from another size.
#pragma once

#include <windows.h>

class WindowIcons {
public:
    ~WindowIcons() { Release(); }
    // Loads both at `dpi` and gives them to the window; again after a change of DPI.
    void Apply(HWND window, int dpi);
    HICON Big() const { return m_big; }

private:
    void Release();

    HICON m_big = nullptr;
    HICON m_small = nullptr;
};
