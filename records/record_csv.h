// The record list's CSV file: the name that the save dialog offers and the first line.
#pragma once

#include "app/list_csv.h"

constexpr char CSV_FILE_NAME[] = "Ombrix";  // what the save dialog offers

// "No.,시간,이름,ID1,ID2,측정기준,안전지수,위험지수,측정값,결과\n" in code page 949.
constexpr char CSV_HEADER[] =
    "No.,\xBD\xC3\xB0\xA3,\xC0\xCC\xB8\xA7,ID1,ID2,\xC3\xF8\xC1\xA4\xB1\xE2\xC1\xD8,"
    "\xBE\xC8\xC0\xFC\xC1\xF6\xBC\xF6,\xC0\xA7\xC7\xE8\xC1\xF6\xBC\xF6,"
    "\xC3\xF8\xC1\xA4\xB0\xAA,\xB0\xE1\xB0\xFA\n";
