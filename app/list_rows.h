// The rows of a list whose list view asks for its cells as it draws them (an owner-data list
// view): the cell texts are kept here, packed, so that a list of 65535 records stays small and
// a new row costs the list view nothing but its count.
#pragma once

#include <string>
#include <vector>

class ListRows {
public:
    int Count() const { return static_cast<int>(m_rows.size()); }
    void Insert(int row);  // a row of empty cells
    void Erase(int row);
    void Clear();
    void Set(int row, int column, const std::string& text);
    std::string Get(int row, int column) const;  // empty for a missing row or cell

private:
    // One string a row: its cells in column order, each ended by a zero byte. A cell text holds
    // no zero byte: the lists' texts are code page 949 strings.
    std::vector<std::string> m_rows;
};
