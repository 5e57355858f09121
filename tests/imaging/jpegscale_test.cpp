// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/jpegscale.h"

#include <gtest/gtest.h>

using namespace morvane::imaging;

TEST(JpegShowEighths, TakesAFastScaleForThePreferredSizeElseTheFullSize)
{
    struct Row
    {
        const char *name;
        PixelSize full, atLeast, preferred;
        int eighths;
    };
    const Row rows[] = {
        {"12 MP drawn 594x446: 4/8 covers three times", {4000, 3000}, {594, 446}, {1782, 1338}, 4},
        {"24 MP drawn 1280x853: 4/8 short of three times, so 8/8",
            {6000, 4000},
            {1280, 853},
            {3840, 2559},
            8},
        {"24 MP drawn 1920x1280: 8/8, not 3/8", {6000, 4000}, {1920, 1280}, {5760, 3840}, 8},
        {"24 MP drawn 480x320: 2/8 covers three times", {6000, 4000}, {480, 320}, {1440, 960}, 2},
        {"tiny drawing: 1/8", {4000, 3000}, {100, 75}, {300, 225}, 1},
        {"rounded up: 1/8 of 17x9 is 3x2", {17, 9}, {1, 1}, {3, 2}, 1},
        {"no preferred size: the smallest M covering", {4000, 3000}, {2600, 1900}, {0, 0}, 6},
        {"preferred beyond 4/8: 8/8, not the 7/8 covering the drawing",
            {30, 20},
            {27, 3},
            {81, 9},
            8},
        {"drawing larger than the picture: full", {30, 20}, {60, 40}, {180, 120}, 8},
        {"sides beyond int when scaled: no overflow", {1 << 30, 2}, {1 << 28, 1}, {1 << 29, 1}, 4},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(jpegShowEighths(row.full, row.atLeast, row.preferred), row.eighths);
    }
}
