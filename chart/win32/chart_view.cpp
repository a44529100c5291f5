#include "chart/win32/chart_view.h"

#include <cstdlib>

#include "chart/win32/chart_painter.h"
#include "res/resource.h"

namespace {

constexpr wchar_t kClassName[] = L"" HISTORY_CHART_CLASS;

bool SameMark(const std::optional<ChartMark>& a, const std::optional<ChartMark>& b) {
    if (!a || !b) return !a && !b;
    return a->series == b->series && a->sample == b->sample && a->yTop == b->yTop;
}

}  // namespace

void ChartView::Register(HINSTANCE instance) {
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = Proc;
    type.hInstance = instance;
    type.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    type.lpszClassName = kClassName;
    RegisterClassExW(&type);
}

ChartView* ChartView::Of(HWND control) {
    return reinterpret_cast<ChartView*>(GetWindowLongPtrW(control, GWLP_USERDATA));
}

ChartView::~ChartView() {
    if (m_buffer) DeleteObject(m_buffer);
    if (m_font) DeleteObject(m_font);
}

void ChartView::Show(std::vector<ChartSeries> series, int64_t from, int64_t to) {
    m_series = std::move(series);
    m_options.from = from;
    m_options.to = to;
    Stale();
}

void ChartView::SetAxis(ValueAxis axis) {
    if (m_options.axis == axis) return;
    m_options.axis = axis;
    Stale();
}

void ChartView::Stale() {
    m_modelStale = true;
    SetHovered(std::nullopt);
    InvalidateRect(m_window, nullptr, FALSE);
}

// The dialog's font at the chart's size: it follows the window's DPI as the dialog's does.
void ChartView::Font() {
    LOGFONTW font{};
    HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageW(GetParent(m_window), WM_GETFONT, 0, 0));
    if (!dialogFont || !GetObjectW(dialogFont, sizeof font, &font))
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    const int px = std::abs(font.lfHeight);
    if (m_font && px == m_fontPx) return;
    if (m_font) DeleteObject(m_font);
    font.lfHeight = -px;
    m_font = CreateFontIndirectW(&font);
    m_fontPx = px;
    m_modelStale = true;
}

// The model for the chart's present size and font, built again when either or the data changed.
void ChartView::UpdateModel() {
    RECT client;
    GetClientRect(m_window, &client);
    Font();
    if (!m_modelStale && m_model.width == client.right && m_model.height == client.bottom) return;
    m_options.width = client.right;
    m_options.height = client.bottom;
    m_options.fontPx = m_fontPx;
    m_model = BuildChart(m_series, m_options);
    m_modelStale = false;
    m_bufferStale = true;
}

void ChartView::Render(HDC screen) {
    if (m_buffer) DeleteObject(m_buffer);
    m_buffer = CreateCompatibleBitmap(screen, m_model.width, m_model.height);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ previous = SelectObject(memory, m_buffer);
    PaintChart(memory, m_model, m_font);
    SelectObject(memory, previous);
    DeleteDC(memory);
    m_bufferStale = false;
}

void ChartView::Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_window, &paint);
    UpdateModel();
    if (m_model.width > 0 && m_model.height > 0) {
        if (m_bufferStale || !m_buffer) Render(dc);
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ previous = SelectObject(memory, m_buffer);
        BitBlt(dc, 0, 0, m_model.width, m_model.height, memory, 0, 0, SRCCOPY);
        SelectObject(memory, previous);
        DeleteDC(memory);
        if (m_hovered) PaintMarkRing(dc, m_model, *m_hovered);
    }
    EndPaint(m_window, &paint);
}

void ChartView::Notify(WORD code) const {
    const int id = GetDlgCtrlID(m_window);
    SendMessageW(GetParent(m_window), WM_COMMAND, MAKEWPARAM(id, code),
                 reinterpret_cast<LPARAM>(m_window));
}

void ChartView::SetHovered(const std::optional<ChartMark>& mark) {
    if (SameMark(mark, m_hovered)) return;
    m_hovered = mark;
    InvalidateRect(m_window, nullptr, FALSE);
    Notify(CHART_HOVER_CHANGED);
}

void ChartView::OnMouseMove(int x, int y) {
    if (!m_tracking) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, m_window, 0};
        m_tracking = TrackMouseEvent(&track) != FALSE;
    }
    UpdateModel();  // what the next paint shows, when it has not come yet
    SetHovered(HitTest(m_model, x, y));
}

LRESULT CALLBACK ChartView::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new ChartView(window)));
    ChartView* view = Of(window);
    if (!view) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // the paint covers every pixel
        case WM_PAINT:
            view->Paint();
            return 0;
        case WM_SIZE:
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        case WM_MOUSEMOVE:
            view->OnMouseMove(static_cast<short>(LOWORD(lParam)),
                              static_cast<short>(HIWORD(lParam)));
            return 0;
        case WM_MOUSELEAVE:
            view->m_tracking = false;
            view->SetHovered(std::nullopt);
            return 0;
        case WM_LBUTTONDOWN:
            if (view->m_hovered) view->Notify(CHART_MARK_CLICKED);
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            delete view;
            return DefWindowProcW(window, message, wParam, lParam);
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}
