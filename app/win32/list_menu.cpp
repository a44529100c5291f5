#include "app/win32/list_menu.h"

#include <commctrl.h>
#include <windowsx.h>

#include "app/win32/wide_text.h"
#include "res/resource.h"

namespace {

struct ListMenu {
    int list;
    int exportCommand;
    int importCommand;
};

constexpr ListMenu kListMenus[] = {
    {IDC_LIST_USER, IDM_USER_EXPORT, IDM_USER_IMPORT},
    {IDC_LIST_STANDARD, IDM_STANDARD_EXPORT, IDM_STANDARD_IMPORT},
};

// From the keyboard: below the focused row when it is in view, else the list's top left corner.
POINT KeyboardPosition(HWND list) {
    POINT at{0, 0};
    const int focused = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_FOCUSED));
    RECT row{};
    row.left = LVIR_LABEL;
    RECT client;
    GetClientRect(list, &client);
    if (focused >= 0 &&
        SendMessageW(list, LVM_GETITEMRECT, focused, reinterpret_cast<LPARAM>(&row))) {
        const POINT below{row.left, row.bottom};
        if (PtInRect(&client, below)) at = below;
    }
    ClientToScreen(list, &at);
    return at;
}

}  // namespace

bool ShowListMenu(HWND dialog, HWND target, LPARAM position) {
    for (const ListMenu& entry : kListMenus) {
        if (GetDlgItem(dialog, entry.list) != target) continue;
        POINT at{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
        if (at.x == -1 && at.y == -1) at = KeyboardPosition(target);
        HMENU menu = CreatePopupMenu();
        AppendMenuW(menu, MF_STRING, entry.exportCommand, LoadText(IDS_MENU_LIST_EXPORT).c_str());
        AppendMenuW(menu, MF_STRING, entry.importCommand, LoadText(IDS_MENU_LIST_IMPORT).c_str());
        SetForegroundWindow(dialog);  // or the menu may not close when clicked beside
        TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, dialog,
                       nullptr);
        DestroyMenu(menu);
        return true;
    }
    return false;
}
