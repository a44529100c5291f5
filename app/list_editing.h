// List editing shared by the user and standard panels: rows with a check box in column 0 and
// their 1-based number in column 1.
#pragma once

#include <string>

#include "app/controls.h"

constexpr int COL_CHECK = 0;
constexpr int COL_NUMBER = 1;

// Ticks every row when none is ticked, otherwise unticks them all; rows are visited from the
// last to the first.
void ToggleAllRows(DialogControls& ui, int list);
// Deletes the ticked rows, from the last to the first, and numbers the rest anew.
void DeleteTickedRows(DialogControls& ui, int list);
// What the add button of a panel needs to know besides its three fields.
struct RowAddition {
    int list;       // IDC_LIST_*
    int maxRows;    // the most a hand may add
    int limitText;  // shown when the list holds that many
    int scrollDy;   // pixels scrolled to bring the new row into view
};

// Appends an unticked row numbered after the last, with the three texts in columns 2 to 4.
void AppendRow(DialogControls& ui, int list, const std::string& column2, const std::string& column3,
               const std::string& column4);
