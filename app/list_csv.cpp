#include "app/list_csv.h"

#include <cstdint>
#include <cstring>

#include "app/progress.h"

std::string CsvCell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string CsvLine(DialogControls& ui, const ListCsvLayout& layout, int row) {
    std::string line;
    for (int column = layout.firstColumn; column < layout.endColumn; ++column) {
        line += CsvCell(ui.Cell(layout.list, row, column));
        line += column + 1 < layout.endColumn ? ',' : '\n';
    }
    return line;
}

FileError WriteListCsv(DialogControls& ui, OutputFile& file, const ListCsvLayout& layout) {
    if (FileError error = file.Write(layout.header, std::strlen(layout.header));
        error != FileError::None)
        return error;
    const int rows = ui.RowCount(layout.list);
    std::string line;
    for (int row = 0; row < rows; ++row) {
        line = CsvLine(ui, layout, row);
        if (FileError error = file.Write(line.data(), line.size()); error != FileError::None)
            return error;
        if (!layout.progressBar) continue;
        ui.SetProgress(layout.progressBar, ProgressAfter(row + 1, rows));
    }
    return FileError::None;
}

FileError SaveListCsv(DialogControls& ui, OutputFile& file, const std::string& path,
                      const ListCsvLayout& layout) {
    FileError error = file.Create(path);
    if (error == FileError::None) error = WriteListCsv(ui, file, layout);
    file.Close();
    return error;
}
