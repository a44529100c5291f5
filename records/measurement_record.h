// MeasurementRecord: one row of IDC_LIST_RECORD, every cell text, resolved against the user
// and standard lists when it is read. The record list has no check boxes.
#pragma once

struct MeasurementRecord {
    static constexpr int COL_EMPTY = 0;  // width 0, always empty
    static constexpr int COL_NUMBER = 1;
    static constexpr int COL_TIME = 2;
    static constexpr int COL_USER_NAME = 3;
    static constexpr int COL_USER_ID1 = 4;
    static constexpr int COL_USER_ID2 = 5;
    static constexpr int COL_STANDARD_NAME = 6;
    static constexpr int COL_SAFE = 7;
    static constexpr int COL_DANGER = 8;
    static constexpr int COL_VALUE = 9;
    static constexpr int COL_VERDICT = 10;
    static constexpr int COLUMNS = 11;

    // In a record reply.
    static constexpr int FRAME_USER = 8;      // 1-based user number, 0 for none
    static constexpr int FRAME_STANDARD = 9;  // 1-based standard number, 0 for none
    static constexpr int FRAME_VALUE = 10;    // unsigned 16-bit
    static constexpr int FRAME_TIME = 12;     // year, month, day, hour, minute, second
};
