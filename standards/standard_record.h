// StandardRecord: one row of IDC_LIST_STANDARD, every cell text; row r is the device's
// standard number r + 1. StandardPayload: where a standard sits in a reply or an append.
#pragma once

#include <cstddef>

#include "link/frame.h"  // MAX_STANDARDS

struct StandardRecord {
    static constexpr int COL_NAME = 2;    // code page 949
    static constexpr int COL_SAFE = 3;    // safety index, decimal text
    static constexpr int COL_DANGER = 4;  // danger index, decimal text
};

struct StandardPayload {
    static constexpr int SAFE = 8;     // unsigned 16-bit
    static constexpr int DANGER = 10;  // unsigned 16-bit
    static constexpr int NAME = 12;    // 11 bytes of Johab; bytes 23-27 are not used
};

constexpr size_t STANDARD_INDEX_DIGITS = 4;
constexpr size_t STANDARD_NAME_BYTES = 11;
constexpr int STANDARD_SCROLL_DY = 2500;

// "No.,측정기준,안전지수,위험지수\n" in code page 949: the first line of a standard list file.
constexpr char STANDARD_FILE_HEADER[] =
    "No.,\xC3\xF8\xC1\xA4\xB1\xE2\xC1\xD8,\xBE\xC8\xC0\xFC\xC1\xF6\xBC\xF6,"
    "\xC0\xA7\xC7\xE8\xC1\xF6\xBC\xF6\n";
