// Reading a list from the device into a panel, and writing a panel's list back, for the two
// panels whose lists the PC edits (users and standards). What differs between them is here,
// side by side; the conversations themselves are COmbrix_TessalyDlg::ReadDeviceList and
// WriteDeviceList.
#pragma once

#include <cstdint>

#include "app/controls.h"
#include "link/frame.h"

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

    // Columns 2 to 4 of a new row from an item reply.
    void (*fillRow)(DialogControls& ui, int list, int row, const Frame& reply);
    // The payload of an append request from a row.
    void (*putRow)(DialogControls& ui, int list, int row, uint8_t* request);
};
