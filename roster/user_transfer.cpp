// Reading the device's users into IDC_LIST_USER and writing the list back.
#include "app/device_list.h"
#include "app/main_dialog.h"
#include "app/number_text.h"
#include "link/device_names.h"
#include "res/resource.h"
#include "roster/user_record.h"

namespace {

ListRowCells UserCells(const Frame& reply) {
    return {NameFromFrame(reply, UserRecord::FRAME_NAME),
            DecimalText(GetLong(reply, UserRecord::FRAME_ID1)),
            DecimalText(GetLong(reply, UserRecord::FRAME_ID2))};
}

void PutUserRow(DialogControls& ui, int list, int row, uint8_t* request) {
    PutNameInFrame(request, UserRecord::FRAME_NAME, ui.Cell(list, row, UserRecord::COL_NAME));
    PutLong(request, UserRecord::FRAME_ID1, LeadingNumber(ui.Cell(list, row, UserRecord::COL_ID1)));
    PutLong(request, UserRecord::FRAME_ID2, LeadingNumber(ui.Cell(list, row, UserRecord::COL_ID2)));
}

const DeviceListPanel kUsers = {
    IDC_LIST_USER,
    IDC_PROGRESS_USER,
    CMD_USERS,
    USER_SCROLL_DY,
    false,
    IDS_USER_READ_NOT_EMPTY,
    IDS_USER_NONE,
    IDS_USER_READ_DONE,
    IDS_USER_WRITE_ASK,
    IDS_USER_WRITE_RECORDS_IN_LIST,
    IDS_USER_WRITE_RECORDS_ON_DEVICE,
    IDS_USER_NOT_DELETED,
    IDS_USER_FULL,
    IDS_USER_WRITE_DONE,
    UserCells,
    PutUserRow,
};

}  // namespace

void COmbrix_TessalyDlg::OnReadUsers() { ReadDeviceList(kUsers); }

void COmbrix_TessalyDlg::OnWriteUsers() { WriteDeviceList(kUsers); }
