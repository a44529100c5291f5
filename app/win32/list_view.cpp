#include "app/win32/list_view.h"

#include <commctrl.h>

#include <string>

#include "app/win32/dpi.h"
#include "app/win32/wide_text.h"

void InsertColumns(HWND list, const ListColumn* columns, size_t count, int dpi) {
    for (size_t i = 0; i < count; ++i) {
        std::wstring header = LoadText(columns[i].headerId);
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_CENTER;
        column.cx = ScaleToDpi(columns[i].width, dpi);
        column.pszText = header.data();
        column.iSubItem = static_cast<int>(i);
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
}

void RescaleColumns(HWND list, int fromDpi, int toDpi) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    for (int column = 0; column < count; ++column) {
        const int width = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0));
        SendMessageW(list, LVM_SETCOLUMNWIDTH, column, MulDiv(width, toDpi, fromDpi));
    }
}
