// A resizable dialog's layout: each control keeps its place in the template, and each of its
// edges moves by a share (percent) of the change in the window's width or height. A control not
// named keeps its place at the top left.
#pragma once

#include <windows.h>

#include <vector>

struct Anchor {
    int control;
    int left, top, right, bottom;  // percent of the change in width (left, right), height
};

class AnchorLayout {
public:
    // At WM_INITDIALOG: the template's places, as the dialog manager laid them out.
    void Capture(HWND dialog, const Anchor* anchors, size_t count);
    // At WM_SIZE (and after a change of DPI): every named control to its place.
    void Apply(HWND dialog) const;
    // The template's window size at the window's present DPI: the smallest it may be.
    SIZE MinimumWindowSize(HWND dialog) const;

private:
    struct Placed {
        Anchor anchor;
        RECT rect;  // at m_dpi
    };
    std::vector<Placed> m_placed;
    SIZE m_client{}, m_window{};
    int m_dpi = 96;
};
