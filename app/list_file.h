// Saving the user or standard list to a file and filling an empty list from one. What differs
// between the two panels is here, side by side; the operations themselves are
// COmbrix_TessalyDlg::ExportList and ImportList. Nothing is sent to the device.
#pragma once

#include "app/list_file_reader.h"

struct ListFilePanel {
    int list;               // IDC_LIST_*
    const char* fileName;   // what the save dialog offers
    ListFileFormat format;  // the header is also the export's first line
    int limitText;          // more rows in the file than can be added by hand
    int scrollDy;           // pixels scrolled after an import
};
