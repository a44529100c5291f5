#include "app/list_file.h"

#include "app/list_csv.h"
#include "app/list_editing.h"
#include "app/main_dialog.h"
#include "app/number_text.h"
#include "res/resource.h"

void COmbrix_TessalyDlg::SaveListAs(const ListCsvLayout& layout, int emptyTextId,
                                    const char* fileName) {
    if (m_ui.RowCount(layout.list) == 0) {
        m_ui.Tell(emptyTextId);
        return;
    }
    std::string path;
    if (!m_ui.AskSavePath(fileName, path)) return;
    if (layout.progressBar) m_ui.SetProgress(layout.progressBar, 0);
    const FileError error = SaveListCsv(m_ui, *m_makeFile(), path, layout);
    if (error != FileError::None) m_ui.TellError(FileErrorTextId(error), path);
}

void COmbrix_TessalyDlg::ExportList(const ListFilePanel& panel) {
    const ListCsvLayout layout{panel.list, panel.format.header, COL_NUMBER,
                               COL_NUMBER + LIST_FILE_COLUMNS, 0};
    SaveListAs(layout, IDS_LIST_FILE_NOTHING, panel.fileName);
}

void COmbrix_TessalyDlg::ImportList(const ListFilePanel& panel) {
    if (m_ui.RowCount(panel.list) > 0) {
        m_ui.Tell(IDS_LIST_FILE_NOT_EMPTY);
        return;
    }
    std::string path;
    if (!m_ui.AskOpenPath(path)) return;
    std::string bytes;
    // One byte over the limit tells a file that is too large.
    if (FileError error = ReadFileUpTo(path, LIST_FILE_MAX_BYTES + 1, bytes);
        error != FileError::None) {
        m_ui.TellError(FileErrorTextId(error), path);
        return;
    }
    const ListFileRead read = ReadListFile(bytes, panel.format);
    switch (read.outcome) {
        case ListFileRead::NotAListFile:
            m_ui.Tell(IDS_LIST_FILE_NOT_A_LIST);
            return;
        case ListFileRead::TooManyRows:
            m_ui.Tell(panel.limitText);
            return;
        case ListFileRead::BadCell:
            m_ui.Tell(IDS_LIST_FILE_BAD_CELL, DecimalText(read.line), read.column);
            return;
        case ListFileRead::Rows:
            break;
    }
    for (const ListFileRow& row : read.rows) AppendRow(m_ui, panel.list, row[0], row[1], row[2]);
    m_ui.ScrollList(panel.list, panel.scrollDy);
    m_ui.Tell(IDS_LIST_FILE_LOADED, DecimalText(static_cast<long long>(read.rows.size())));
}
