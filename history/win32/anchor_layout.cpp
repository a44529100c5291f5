#include "history/win32/anchor_layout.h"

#include "app/win32/dpi.h"

namespace {

int Scaled(int pixels, int toDpi, int fromDpi) { return MulDiv(pixels, toDpi, fromDpi); }

int Moved(int edge, int percent, int change) { return edge + change * percent / 100; }

}  // namespace

void AnchorLayout::Capture(HWND dialog, const Anchor* anchors, size_t count) {
    m_dpi = WindowDpi(dialog);
    RECT client, window;
    GetClientRect(dialog, &client);
    GetWindowRect(dialog, &window);
    m_client = {client.right, client.bottom};
    m_window = {window.right - window.left, window.bottom - window.top};
    m_placed.clear();
    for (size_t i = 0; i < count; ++i) {
        RECT rect;
        GetWindowRect(GetDlgItem(dialog, anchors[i].control), &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        m_placed.push_back({anchors[i], rect});
    }
}

void AnchorLayout::Apply(HWND dialog) const {
    const int dpi = WindowDpi(dialog);
    RECT client;
    GetClientRect(dialog, &client);
    const int dx = client.right - Scaled(m_client.cx, dpi, m_dpi);
    const int dy = client.bottom - Scaled(m_client.cy, dpi, m_dpi);
    HDWP moves = BeginDeferWindowPos(static_cast<int>(m_placed.size()));
    for (const Placed& placed : m_placed) {
        const Anchor& a = placed.anchor;
        const RECT& r = placed.rect;
        const int left = Moved(Scaled(r.left, dpi, m_dpi), a.left, dx);
        const int top = Moved(Scaled(r.top, dpi, m_dpi), a.top, dy);
        const int right = Moved(Scaled(r.right, dpi, m_dpi), a.right, dx);
        const int bottom = Moved(Scaled(r.bottom, dpi, m_dpi), a.bottom, dy);
        HWND control = GetDlgItem(dialog, a.control);
        if (moves)
            moves = DeferWindowPos(moves, control, nullptr, left, top, right - left, bottom - top,
                                   SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (moves) EndDeferWindowPos(moves);
    // Statics that moved leave their old texts behind unless drawn anew.
    InvalidateRect(dialog, nullptr, TRUE);
}

SIZE AnchorLayout::MinimumWindowSize(HWND dialog) const {
    const int dpi = WindowDpi(dialog);
    return {Scaled(m_window.cx, dpi, m_dpi), Scaled(m_window.cy, dpi, m_dpi)};
}
