#include "app/list_editing.h"

#include "app/main_dialog.h"
#include "app/number_text.h"
#include "res/resource.h"

namespace {

bool AnyRowTicked(DialogControls& ui, int list) {
    for (int row = ui.RowCount(list) - 1; row >= 0; --row)
        if (ui.IsChecked(list, row)) return true;
    return false;
}

}  // namespace

void ToggleAllRows(DialogControls& ui, int list) {
    const bool tick = !AnyRowTicked(ui, list);
    for (int row = ui.RowCount(list) - 1; row >= 0; --row) ui.SetChecked(list, row, tick);
}

void DeleteTickedRows(DialogControls& ui, int list) {
    for (int row = ui.RowCount(list) - 1; row >= 0; --row)
        if (ui.IsChecked(list, row)) ui.DeleteRow(list, row);
    const int rows = ui.RowCount(list);
    for (int row = 0; row < rows; ++row) ui.SetCell(list, row, COL_NUMBER, DecimalText(row + 1));
}

// The fields stay as they are, so that the same row can be added again.
void COmbrix_TessalyDlg::AddRowOfEdits(const RowAddition& addition, const std::string& name,
                                       const std::string& first, const std::string& second) {
    if (m_ui.RowCount(addition.list) >= addition.maxRows) {
        m_ui.Tell(addition.limitText);
        return;
    }
    if (name.empty() || first.empty() || second.empty()) {
        m_ui.Tell(IDS_FIELDS_EMPTY);
        return;
    }
    AppendRow(m_ui, addition.list, name, first, second);
    m_ui.ScrollList(addition.list, addition.scrollDy);
    ShowEdits();
}

void AppendRow(DialogControls& ui, int list, const std::string& column2, const std::string& column3,
               const std::string& column4) {
    const int row = ui.RowCount(list);
    ui.InsertRow(list, row);
    ui.SetCell(list, row, COL_NUMBER, DecimalText(row + 1));
    ui.SetCell(list, row, 2, column2);
    ui.SetCell(list, row, 3, column3);
    ui.SetCell(list, row, 4, column4);
}
