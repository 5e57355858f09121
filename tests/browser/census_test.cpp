// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/census.h"

#include <cstdint>
#include <gtest/gtest.h>

using morvane::browser::byteCountText;
using morvane::browser::ByteUnits;
using morvane::browser::censusText;
using morvane::browser::positionText;

namespace {

TEST(CensusTest, ByteCountTextCutsDigits)
{
    struct Case
    {
        std::int64_t bytes;
        const char *number;
        const char *unit; // "Byte", "KByte" or "MByte"
    };
    const Case cases[] = {
        {0, "0", "Byte"},
        {1, "1", "Byte"},
        {999, "999", "Byte"},
        {1000, "1000", "Byte"},
        {1001, "1.00", "KByte"},
        {1050, "1.05", "KByte"},
        {1999, "1.99", "KByte"},
        {9999, "9.99", "KByte"},
        {10000, "10.0", "KByte"},
        {10050, "10.0", "KByte"},
        {12345, "12.3", "KByte"},
        {99999, "99.9", "KByte"},
        {100000, "100", "KByte"},
        {100999, "100", "KByte"},
        {999999, "999", "KByte"},
        {1000000, "1000", "KByte"},
        {1000001, "1.00", "MByte"},
        {1009999, "1.00", "MByte"},
        {1090000, "1.09", "MByte"},
        {1500000, "1.50", "MByte"},
        {3450000, "3.45", "MByte"},
        {9999999, "9.99", "MByte"},
        {10000000, "10.0", "MByte"},
        {99999999, "99.9", "MByte"},
        {100000000, "100", "MByte"},
        {123456789, "123", "MByte"},
        {2147483647, "2147", "MByte"},
        {2147483648LL, "2147", "MByte"},
        {4294967295LL, "4294", "MByte"},
        {4294967296LL, "4294", "MByte"},
        {5000000000LL, "5000", "MByte"},
        {9223372036854775807LL, "9223372036854", "MByte"},
        {-1, "0", "Byte"},
        {-5000000000LL, "0", "Byte"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bytes);
        const std::string census = std::string(c.number) + " " + c.unit + " ) 中 ";
        const std::string selection = std::string(c.number) + " " + c.unit + " )";
        EXPECT_EQ(byteCountText(c.bytes, ByteUnits::Census), census);
        EXPECT_EQ(byteCountText(c.bytes, ByteUnits::Selection), selection);
    }
}

TEST(CensusTest, FirstPanelTexts)
{
    struct Case
    {
        const char *name;
        std::int64_t files;
        std::int64_t bytes;
        std::int64_t position;
        const char *expected;
    };
    const Case cases[] = {
        {"empty folder", 0, 0, 0, " 全 0 file ( 0 Byte ) 中 0 file目"},
        {"twelve files of 3,450,000 bytes",
            12,
            3450000,
            0,
            " 全 12 file ( 3.45 MByte ) 中 0 file目"},
        {"exactly 1,000,000 bytes", 3, 1000000, 0, " 全 3 file ( 1000 KByte ) 中 0 file目"},
        {"1,000,001 bytes", 3, 1000001, 0, " 全 3 file ( 1.00 MByte ) 中 0 file目"},
        {"total beyond 2 GB", 2, 3000000000LL, 0, " 全 2 file ( 3000 MByte ) 中 0 file目"},
        {"total beyond 4 GB", 5, 4500000123LL, 0, " 全 5 file ( 4500 MByte ) 中 0 file目"},
        {"third item selected", 7, 12345, 3, " 全 7 file ( 12.3 KByte ) 中 3 file目"},
        {"negative position counts as none", 1, 1, -4, " 全 1 file ( 1 Byte ) 中 0 file目"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(positionText(censusText(c.files, c.bytes), c.position), c.expected);
    }
}

} // namespace
