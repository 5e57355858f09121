// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/datetimetext.h"

#include <climits>
#include <gtest/gtest.h>

using morvane::browser::dateTimeText;

namespace {

TEST(DateTimeTextTest, FormatsTheTwoSecondStamp)
{
    struct Case
    {
        const char *name;
        int year, month, day, hour, minute, second;
        const char *expected;
    };
    const Case cases[] = {
        {"even second", 2004, 5, 12, 9, 5, 30, "2004/05/12 9:05:30"},
        {"odd second is cut", 2004, 5, 12, 9, 5, 31, "2004/05/12 9:05:30"},
        {"two-digit hour", 2004, 12, 1, 23, 59, 59, "2004/12/01 23:59:58"},
        {"midnight is the date alone", 2004, 5, 12, 0, 0, 0, "2004/05/12"},
        {"one second past midnight cuts to midnight", 2004, 5, 12, 0, 0, 1, "2004/05/12"},
        {"two seconds past midnight", 2004, 5, 12, 0, 0, 2, "2004/05/12 0:00:02"},
        {"one minute past midnight", 2020, 1, 1, 0, 1, 0, "2020/01/01 0:01:00"},
        {"noon", 2020, 1, 1, 12, 0, 0, "2020/01/01 12:00:00"},
        {"before 1980 written as it is", 1970, 1, 1, 9, 0, 0, "1970/01/01 9:00:00"},
        {"after 2107 written as it is", 2200, 6, 30, 1, 2, 3, "2200/06/30 1:02:02"},
        {"small year padded", 5, 1, 2, 3, 4, 5, "0005/01/02 3:04:04"},
        {"out-of-range fields written as they are",
            2004,
            13,
            32,
            25,
            61,
            61,
            "2004/13/32 25:61:60"},
        {"no time known", 0, 0, 0, 0, 0, 0, "0000/00/00"},
        {"negative fields do not crash", -1, -1, -1, -1, -1, -1, "-0001/-01/-01 -1:-01:00"},
        {"extreme fields do not crash",
            INT_MIN,
            INT_MAX,
            1,
            INT_MAX,
            INT_MIN,
            INT_MIN,
            "-2147483648/2147483647/01 2147483647:-2147483648:-2147483648"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(dateTimeText(c.year, c.month, c.day, c.hour, c.minute, c.second), c.expected);
    }
}

} // namespace
