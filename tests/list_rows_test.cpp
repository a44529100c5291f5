// The packed rows behind an owner-data list view.
#include "app/list_rows.h"

#include <gtest/gtest.h>

namespace {

TEST(ListRows, CellsSetInAnyOrderReadBackAndMissingOnesAreEmpty) {
    ListRows rows;
    rows.Insert(0);
    rows.Insert(1);
    rows.Set(1, 10, "\xC1\xD6\xC0\xC7");  // 주의, the last column first
    rows.Set(1, 2, "2011-03-07 12:05:09");
    rows.Set(1, 1, "2");
    rows.Set(1, 2, "t");     // shorter than before
    rows.Set(0, 3, "a\0b");  // a zero byte ends a code page 949 text
    EXPECT_EQ(rows.Get(1, 1), "2");
    EXPECT_EQ(rows.Get(1, 2), "t");
    EXPECT_EQ(rows.Get(1, 10), "\xC1\xD6\xC0\xC7");
    EXPECT_EQ(rows.Get(1, 5), "");
    EXPECT_EQ(rows.Get(1, 11), "");
    EXPECT_EQ(rows.Get(0, 3), "a");
    EXPECT_EQ(rows.Get(2, 1), "");
    EXPECT_EQ(rows.Get(-1, 1), "");

    rows.Insert(0);  // rows after it move down
    EXPECT_EQ(rows.Count(), 3);
    EXPECT_EQ(rows.Get(2, 10), "\xC1\xD6\xC0\xC7");
    rows.Erase(0);
    EXPECT_EQ(rows.Get(1, 1), "2");
    rows.Clear();
    EXPECT_EQ(rows.Count(), 0);
}

}  // namespace
