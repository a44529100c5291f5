// Reading the device's standards into IDC_LIST_STANDARD and writing the list back.
#include "app/device_list.h"
#include "app/main_dialog.h"
#include "app/number_text.h"
#include "link/device_names.h"
#include "res/resource.h"
#include "standards/standard_record.h"

namespace {

ListRowCells StandardCells(const Frame& reply) {
    return {NameFromFrame(reply, StandardPayload::NAME),
            DecimalText(GetWord(reply, StandardPayload::SAFE)),
            DecimalText(GetWord(reply, StandardPayload::DANGER))};
}

// The indices travel as their low 16 bits.
void PutStandardRow(DialogControls& ui, int list, int row, uint8_t* request) {
    PutNameInFrame(request, StandardPayload::NAME, ui.Cell(list, row, StandardRecord::COL_NAME));
    PutWord(request, StandardPayload::SAFE,
            static_cast<uint16_t>(LeadingNumber(ui.Cell(list, row, StandardRecord::COL_SAFE))));
    PutWord(request, StandardPayload::DANGER,
            static_cast<uint16_t>(LeadingNumber(ui.Cell(list, row, StandardRecord::COL_DANGER))));
}

const DeviceListPanel kStandards = {
    IDC_LIST_STANDARD,
    IDC_PROGRESS_STANDARD,
    CMD_STANDARDS,
    STANDARD_SCROLL_DY,
    true,
    IDS_STANDARD_READ_NOT_EMPTY,
    IDS_STANDARD_NONE,
    IDS_STANDARD_READ_DONE,
    IDS_STANDARD_WRITE_ASK,
    IDS_STANDARD_WRITE_RECORDS_IN_LIST,
    IDS_STANDARD_WRITE_RECORDS_ON_DEVICE,
    IDS_STANDARD_NOT_DELETED,
    IDS_STANDARD_FULL,
    IDS_STANDARD_WRITE_DONE,
    StandardCells,
    PutStandardRow,
};

}  // namespace

void COmbrix_TessalyDlg::OnReadStandards() { ReadDeviceList(kStandards); }

void COmbrix_TessalyDlg::OnWriteStandards() { WriteDeviceList(kStandards); }
