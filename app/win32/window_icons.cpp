#include "app/win32/window_icons.h"

#include "app/win32/dpi.h"
#include "res/resource.h"

namespace {

HICON LoadMainIcon(int width, int height) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAIN),
                                         IMAGE_ICON, width, height, LR_DEFAULTCOLOR));
}

}  // namespace

void WindowIcons::Apply(HWND window, int dpi) {
    HICON big =
        LoadMainIcon(SystemMetricForDpi(SM_CXICON, dpi), SystemMetricForDpi(SM_CYICON, dpi));
    HICON small =
        LoadMainIcon(SystemMetricForDpi(SM_CXSMICON, dpi), SystemMetricForDpi(SM_CYSMICON, dpi));
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    Release();  // the window no longer shows the old ones
    m_big = big;
    m_small = small;
}

void WindowIcons::Release() {
    if (m_big) DestroyIcon(m_big);
    if (m_small) DestroyIcon(m_small);
    m_big = m_small = nullptr;
}
