// The columns of the three lists: header text (string table) and width in pixels at 96 DPI.
#pragma once

#include "res/resource.h"

struct ListColumn {
    int headerId;
    int width;
};

constexpr ListColumn USER_COLUMNS[] = {{IDS_COL_USER, 20},
                                       {IDS_COL_USER + 1, 40},
                                       {IDS_COL_USER + 2, 100},
                                       {IDS_COL_USER + 3, 100},
                                       {IDS_COL_USER + 4, 100}};

constexpr ListColumn STANDARD_COLUMNS[] = {{IDS_COL_STANDARD, 20},
                                           {IDS_COL_STANDARD + 1, 40},
                                           {IDS_COL_STANDARD + 2, 100},
                                           {IDS_COL_STANDARD + 3, 100},
                                           {IDS_COL_STANDARD + 4, 100}};

constexpr ListColumn RECORD_COLUMNS[] = {
    {IDS_COL_RECORD, 0},       {IDS_COL_RECORD + 1, 45}, {IDS_COL_RECORD + 2, 160},
    {IDS_COL_RECORD + 3, 100}, {IDS_COL_RECORD + 4, 70}, {IDS_COL_RECORD + 5, 70},
    {IDS_COL_RECORD + 6, 100}, {IDS_COL_RECORD + 7, 65}, {IDS_COL_RECORD + 8, 65},
    {IDS_COL_RECORD + 9, 60},  {IDS_COL_RECORD + 10, 50}};
