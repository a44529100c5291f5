// The history window's chart (IDC_HISTORY_CHART): a child window that lays the chart model out in
// its own size, paints it double-buffered (no flicker when the window is resized) and tells its
// parent, by a WM_COMMAND with its id, when the mark under the pointer changes or is clicked.
#pragma once

#include <windows.h>

#include <optional>
#include <vector>

#include "chart/chart_model.h"

// Notification codes of the chart's WM_COMMAND.
constexpr WORD CHART_HOVER_CHANGED = 1;
constexpr WORD CHART_MARK_CLICKED = 2;

class ChartView {
public:
    // The window class of the dialog template's chart control; once, before the dialog.
    static void Register(HINSTANCE instance);
    // The chart of a control of that class.
    static ChartView* Of(HWND control);

    // What to show: the series (one per standard) over the period [from, to).
    void Show(std::vector<ChartSeries> series, int64_t from, int64_t to);
    void SetAxis(ValueAxis axis);

    const ChartModel& Model() const { return m_model; }
    const std::optional<ChartMark>& Hovered() const { return m_hovered; }

private:
    explicit ChartView(HWND window) : m_window(window) {}
    ~ChartView();
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    void UpdateModel();
    void Paint();
    void Render(HDC screen);
    void Stale();
    void OnMouseMove(int x, int y);
    void SetHovered(const std::optional<ChartMark>& mark);
    void Notify(WORD code) const;
    void Font();

    HWND m_window;
    std::vector<ChartSeries> m_series;
    ChartOptions m_options;
    ChartModel m_model;
    bool m_modelStale = true;    // the data, the axis or the font changed
    bool m_bufferStale = true;   // the model changed since it was rendered
    HBITMAP m_buffer = nullptr;  // the rendered model
    HFONT m_font = nullptr;
    int m_fontPx = 0;
    bool m_tracking = false;  // the pointer's leaving is being watched
    std::optional<ChartMark> m_hovered;
};
