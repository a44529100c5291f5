// UserRecord: one row of IDC_LIST_USER, every cell text. The rows are the only copy of the
// user list; row r is the device's user number r + 1.
#pragma once

#include <cstddef>

#include "link/frame.h"  // MAX_USERS

struct UserRecord {
    static constexpr int COL_NAME = 2;  // code page 949
    static constexpr int COL_ID1 = 3;   // decimal text
    static constexpr int COL_ID2 = 4;   // decimal text

    // In a user reply and an append request.
    static constexpr int FRAME_ID1 = 8;    // signed 32-bit
    static constexpr int FRAME_ID2 = 12;   // signed 32-bit
    static constexpr int FRAME_NAME = 16;  // 11 bytes of Johab
};

constexpr size_t USER_ID1_BYTES = 6;
constexpr size_t USER_ID2_BYTES = 7;
constexpr size_t USER_NAME_BYTES = 11;

// "No.,이름,ID1,ID2\n" in code page 949: the first line of a user list file.
constexpr char USER_FILE_HEADER[] = "No.,\xC0\xCC\xB8\xA7,ID1,ID2\n";
