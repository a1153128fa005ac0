// Numbers and paths for the status line.
#include <gtest/gtest.h>

#include <string>

#include "base/DisplayText.h"

TEST(DisplayText, NumbersGroupedByThousands) {
    // The test prefix's user locale is English: a comma.
    EXPECT_EQ(GroupedNumber(0), L"0");
    EXPECT_EQ(GroupedNumber(999), L"999");
    EXPECT_EQ(GroupedNumber(1204), L"1,204");
    EXPECT_EQ(GroupedNumber(1234567), L"1,234,567");
    EXPECT_EQ(GroupedNumber(-100000), L"-100,000");
}

TEST(DisplayText, PathsGiveWayInTheMiddle) {
    const std::wstring path = L"C:\\Projects\\Client\\2026\\Autumn release\\de-DE";
    EXPECT_EQ(ElidedPath(path, 100), path) << "whole when it fits";
    EXPECT_EQ(ElidedPath(path, path.size()), path);
    EXPECT_EQ(ElidedPath(path, 25), L"C:\\\x2026\\Autumn release\\de-DE");
    EXPECT_EQ(ElidedPath(path, 24), L"C:\\\x2026\\de-DE") << "from a folder's name on, never a part of one";
    EXPECT_EQ(ElidedPath(L"\\\\server\\share\\a\\very\\long\\folder\\name", 26), L"\\\\server\\share\\\x2026\\name");
    for (size_t room = 0; room < 12; ++room)
        EXPECT_LE(ElidedPath(path, room).size(), room) << room;
}
