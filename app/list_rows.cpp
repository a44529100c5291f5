#include "app/list_rows.h"

#include <algorithm>

namespace {

// Where a cell starts in a packed row; the row's length when it has fewer cells.
size_t CellStart(const std::string& row, int column) {
    size_t at = 0;
    for (int i = 0; i < column && at < row.size(); ++i) at = row.find('\0', at) + 1;
    return at;
}

}  // namespace

void ListRows::Insert(int row) {
    if (row < 0 || row > Count()) row = Count();
    m_rows.insert(m_rows.begin() + row, std::string());
}

void ListRows::Erase(int row) {
    if (row >= 0 && row < Count()) m_rows.erase(m_rows.begin() + row);
}

void ListRows::Clear() { std::vector<std::string>().swap(m_rows); }

void ListRows::Set(int row, int column, const std::string& text) {
    if (row < 0 || row >= Count() || column < 0) return;
    std::string& packed = m_rows[static_cast<size_t>(row)];
    const std::string cell = text.substr(0, text.find('\0'));
    size_t at = CellStart(packed, column);
    if (at >= packed.size()) {
        for (int i = static_cast<int>(std::count(packed.begin(), packed.end(), '\0')); i < column;
             ++i)
            packed += '\0';
        packed += cell;
        packed += '\0';
    } else {
        const size_t end = packed.find('\0', at);
        packed.replace(at, end - at, cell);
    }
    packed.shrink_to_fit();
}

std::string ListRows::Get(int row, int column) const {
    if (row < 0 || row >= Count() || column < 0) return {};
    const std::string& packed = m_rows[static_cast<size_t>(row)];
    const size_t at = CellStart(packed, column);
    if (at >= packed.size()) return {};
    return packed.substr(at, packed.find('\0', at) - at);
}
