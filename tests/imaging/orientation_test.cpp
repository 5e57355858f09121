// SPDX-License-Identifier: GPL-3.0-or-later
// The quarter turns of the Exif Orientation values, checked against the transforms they name.
#include "imaging/orientation.h"

#include <array>
#include <gtest/gtest.h>
#include <string>

namespace {

using morvane::imaging::turnedQuarter;

// Where each orientation sends the stored picture's axes, as a 2x2 matrix on (x, y) with y
// pointing down: {a, b, c, d} maps (x, y) to (a x + b y, c x + d y).
using Matrix = std::array<int, 4>;
constexpr std::array<Matrix, 9> kTransform = {{
    {},
    {1, 0, 0, 1}, // 1 as stored
    {-1, 0, 0, 1}, // 2 mirrored left-right
    {-1, 0, 0, -1}, // 3 turned 180 degrees
    {1, 0, 0, -1}, // 4 mirrored top-bottom
    {0, 1, 1, 0}, // 5 mirrored along the main diagonal
    {0, -1, 1, 0}, // 6 turned clockwise
    {0, -1, -1, 0}, // 7 mirrored along the other diagonal
    {0, 1, -1, 0}, // 8 turned anticlockwise
}};

Matrix times(const Matrix &m, const Matrix &n)
{
    return {m[0] * n[0] + m[1] * n[2],
        m[0] * n[1] + m[1] * n[3],
        m[2] * n[0] + m[3] * n[2],
        m[2] * n[1] + m[3] * n[3]};
}

TEST(OrientationTest, QuarterTurnsFollowTheTransforms)
{
    struct Case
    {
        int from;
        bool clockwise;
        int to;
    };
    const Case cases[] = {
        {1, true, 6},
        {2, true, 7},
        {3, true, 8},
        {4, true, 5},
        {5, true, 2},
        {6, true, 3},
        {7, true, 4},
        {8, true, 1},
        {1, false, 8},
        {2, false, 5},
        {3, false, 6},
        {4, false, 7},
        {5, false, 4},
        {6, false, 1},
        {7, false, 2},
        {8, false, 3},
        {0, true, 6}, // out of range is taken as upright
        {9, false, 8},
    };
    const Matrix clockwise = kTransform[6];
    const Matrix anticlockwise = kTransform[8];
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + (c.clockwise ? " clockwise" : " anticlockwise"));
        EXPECT_EQ(turnedQuarter(c.from, c.clockwise), c.to);
        const int from = c.from >= 1 && c.from <= 8 ? c.from : 1;
        EXPECT_EQ(
            times(c.clockwise ? clockwise : anticlockwise, kTransform[from]), kTransform[c.to]);
        EXPECT_EQ(turnedQuarter(c.to, !c.clockwise), from);
    }
}

} // namespace
