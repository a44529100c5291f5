// Reading a list from the device into a panel, and writing a panel's list back, for the two
// panels whose lists the PC edits (users and standards). What differs between them is here,
// side by side; the conversations themselves are COmbrix_TessalyDlg::ReadDeviceList and
// WriteDeviceList.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/controls.h"
#include "link/frame.h"

// The three cells after "No." of a user row (name, ID1, ID2) or a standard row (name, safety
// and danger index), in code page 949, as an item reply gives them.
struct ListRowCells {
    std::string name, first, second;
};
inline bool operator==(const ListRowCells& a, const ListRowCells& b) {
    return a.name == b.name && a.first == b.first && a.second == b.second;
}
// A list of the device, item 1 first, as one operation read it.
using DeviceRows = std::vector<ListRowCells>;
// Where a list row holds those cells.
constexpr int COL_ROW_NAME = 2, COL_ROW_FIRST = 3, COL_ROW_SECOND = 4;

struct DeviceListPanel {
    int list;         // IDC_LIST_*
    int progressBar;  // IDC_PROGRESS_*
    uint8_t command;  // CMD_USERS or CMD_STANDARDS
    int scrollDy;     // pixels scrolled after each row read
    // Standards: ShowEdits after each row read and CollectEdits before the completion message.
    bool mirrorEditsWhileReading;

    int readNotEmptyText;  // the list must be emptied before a read
    int noneOnDeviceText;
    int readDoneText;
    int writeAskText;
    int recordsInListText;  // also the answer to a refused delete
    int recordsOnDeviceText;
    int notDeletedText;
    int fullText;
    int writeDoneText;

    // Columns COL_ROW_NAME to COL_ROW_SECOND of a row from an item reply.
    ListRowCells (*cellsOf)(const Frame& reply);
    // The payload of an append request from a row.
    void (*putRow)(DialogControls& ui, int list, int row, uint8_t* request);
};

// How a panel's read of the device's list ended, and the rows it read: Read when the list was
// read whole (none on the device included), Refused when the panel's list held rows, Failed on
// a time-out.
struct DeviceListRead {
    enum Outcome { Read, Refused, Failed } outcome = Failed;
    const DeviceListPanel* panel = nullptr;
    DeviceRows rows;
};
