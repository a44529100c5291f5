#include "app/win32/list_menu.h"

#include <commctrl.h>
#include <windowsx.h>

#include "app/win32/wide_text.h"
#include "res/resource.h"

namespace {

struct MenuItem {
    int command;  // 0 ends the menu
    int textId;
};

struct ListMenu {
    int list;
    MenuItem items[2];
};

constexpr ListMenu kListMenus[] = {
    {IDC_LIST_USER,
     {{IDM_USER_EXPORT, IDS_MENU_LIST_EXPORT}, {IDM_USER_IMPORT, IDS_MENU_LIST_IMPORT}}},
    {IDC_LIST_STANDARD,
     {{IDM_STANDARD_EXPORT, IDS_MENU_LIST_EXPORT}, {IDM_STANDARD_IMPORT, IDS_MENU_LIST_IMPORT}}},
    {IDC_LIST_RECORD, {{IDM_HISTORY, IDS_MENU_HISTORY}, {0, 0}}},
};

// From the keyboard: below the focused row when it is in view, else the list's top left corner.

}  // namespace

bool ShowListMenu(HWND dialog, HWND target, LPARAM position) {
    for (const ListMenu& entry : kListMenus) {
        if (GetDlgItem(dialog, entry.list) != target) continue;
        POINT at{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
        if (at.x == -1 && at.y == -1) at = KeyboardMenuPosition(target);
        HMENU menu = CreatePopupMenu();
        for (const MenuItem& item : entry.items)
            if (item.command)
                AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(item.command),
                            LoadText(item.textId).c_str());
        SetForegroundWindow(dialog);  // or the menu may not close when clicked beside
        TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, dialog,
                       nullptr);
        DestroyMenu(menu);
        return true;
    }
    return false;
}

POINT KeyboardMenuPosition(HWND list) {
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
