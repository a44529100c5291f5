#include "app/win32/dpi.h"

namespace {

// GetDpiForWindow and GetSystemMetricsForDpi exist from Windows 10 1607 on; before it the
// system DPI is every window's, and the system metrics are those of the system DPI.
template <typename Function>
Function FromUser32(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);

}  // namespace

int WindowDpi(HWND window) {
    static const auto perWindow = FromUser32<GetDpiForWindowFn>("GetDpiForWindow");
    if (perWindow) {
        const UINT dpi = perWindow(window);
        if (dpi) return static_cast<int>(dpi);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : BASE_DPI;
}

int SystemMetricForDpi(int index, int dpi) {
    static const auto forDpi = FromUser32<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
    if (forDpi) return forDpi(index, static_cast<UINT>(dpi));
    return GetSystemMetrics(index);
}
