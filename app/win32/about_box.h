#pragma once

#include <windows.h>

class CAboutDlg {
public:
    static void DoModal(HWND owner);
};
