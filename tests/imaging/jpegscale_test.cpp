// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/jpegscale.h"

#include <gtest/gtest.h>

using namespace morvane::imaging;

TEST(JpegShowEighths, TakesAFastScaleForThePreferredSizeElseCoversTheDrawing)
{
    struct Row
    {
        const char *name;
        PixelSize full, atLeast, preferred;
        int eighths;
    };
    const Row rows[] = {
        {"12 MP drawn 594x446: 4/8 covers twice, not 3/8",
            {4000, 3000},
            {594, 446},
            {1188, 892},
            4},
        {"24 MP drawn 1280x853: 4/8 covers twice", {6000, 4000}, {1280, 853}, {2560, 1706}, 4},
        {"24 MP drawn 1920x1280: twice needs 6/8, so 3/8",
            {6000, 4000},
            {1920, 1280},
            {3840, 2560},
            3},
        {"24 MP drawn 632x421: 2/8 covers twice", {6000, 4000}, {632, 421}, {1264, 842}, 2},
        {"tiny drawing: 1/8", {4000, 3000}, {100, 75}, {200, 150}, 1},
        {"rounded up: 1/8 of 17x9 is 3x2", {17, 9}, {2, 1}, {3, 2}, 1},
        {"no preferred size: the smallest M covering", {4000, 3000}, {2600, 1900}, {0, 0}, 6},
        {"preferred beyond 4/8, drawing at 7/8", {30, 20}, {27, 3}, {54, 6}, 7},
        {"drawing larger than the picture: full", {30, 20}, {60, 40}, {120, 80}, 8},
        {"sides beyond int when scaled: no overflow", {1 << 30, 2}, {1 << 29, 1}, {1 << 30, 2}, 4},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(jpegShowEighths(row.full, row.atLeast, row.preferred), row.eighths);
    }
}
