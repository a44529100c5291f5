#include "app/win32/window_placement.h"

#include <algorithm>

namespace {

RECT WorkAreaOf(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(monitor, &info);
    return info.rcWork;
}

// A window larger than the work area keeps its caption on screen: it starts at the area's top
// left rather than above or left of it.
void CentreWindowOn(HWND window, const RECT& area) {
    RECT frame;
    GetWindowRect(window, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const RECT work = WorkAreaOf(MonitorFromRect(&area, MONITOR_DEFAULTTONEAREST));
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    x = std::max(static_cast<int>(work.left), std::min(x, static_cast<int>(work.right) - width));
    y = std::max(static_cast<int>(work.top), std::min(y, static_cast<int>(work.bottom) - height));
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void CentreOnWorkArea(HWND window) {
    CentreWindowOn(window, WorkAreaOf(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY)));
}

void CentreOnOwner(HWND window) {
    HWND owner = GetWindow(window, GW_OWNER);
    if (!owner) return CentreOnWorkArea(window);
    RECT area;
    GetWindowRect(owner, &area);
    CentreWindowOn(window, area);
}
