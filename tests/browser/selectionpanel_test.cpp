// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/selectionpanel.h"

#include <cstdint>
#include <gtest/gtest.h>

using morvane::browser::pictureSizeText;
using morvane::browser::recordedSize;
using morvane::browser::selectionText;

namespace {

TEST(SelectionPanelTest, SelectionTextHasTwoSpacesAndTheSelectionWords)
{
    struct Case
    {
        std::int64_t count;
        std::int64_t bytes;
        const char *text;
    };
    // Worked out by hand from the byte-count rule: digits cut at 1000 and 1,000,000.
    const Case cases[] = {
        {0, 0, " 選択  0 file ( 0 Byte )"},
        {1, 5, " 選択  1 file ( 5 Byte )"},
        {1, 1000, " 選択  1 file ( 1000 Byte )"},
        {2, 1500, " 選択  2 file ( 1.50 KByte )"},
        {3, 4010, " 選択  3 file ( 4.01 KByte )"},
        {12, 1999999, " 選択  12 file ( 1.99 MByte )"},
        {70000, 5000000000LL, " 選択  70000 file ( 5000 MByte )"},
        {-1, -7, " 選択  0 file ( 0 Byte )"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(selectionText(c.count, c.bytes), c.text);
    }
}

TEST(SelectionPanelTest, PictureSizeTextKeepsTheRecordedTexts)
{
    EXPECT_EQ(pictureSizeText("640", "480"), " 640 x 480 Pixel");
    EXPECT_EQ(pictureSizeText("16", "16"), " 16 x 16 Pixel");
    EXPECT_EQ(pictureSizeText("", ""), "  x  Pixel");
}

TEST(SelectionPanelTest, RecordedSizeReadsPlainDecimalsOnly)
{
    struct Case
    {
        const char *text;
        std::int64_t value;
    };
    const Case cases[] = {
        {"0", 0},
        {"5", 5},
        {"0012", 12},
        {"2147483648", 2147483648LL},
        {"9223372036854775807", 9223372036854775807LL},
        {"9223372036854775808", 0}, // beyond 64 bits
        {"", 0},
        {"-5", 0},
        {"+5", 0},
        {" 5", 0},
        {"5 ", 0},
        {"12a", 0},
        {"1.5", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(recordedSize(c.text), c.value);
    }
}

} // namespace
