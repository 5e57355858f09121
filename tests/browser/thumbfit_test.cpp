// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/thumbfit.h"

#include <QSize>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>

using morvane::browser::DrawnSize;
using morvane::browser::fitToBox;

namespace {

constexpr std::int64_t kBoxSizes[] = {32, 48, 64, 96, 128, 256, 320};

} // namespace

TEST(ThumbFitTest, HandWorkedFits)
{
    struct Case
    {
        const char *name;
        std::int64_t w, h, box;
        std::int64_t dw, dh;
    };
    const Case cases[] = {
        // 150 * 1000 div (200 * 1000 div 48 = 4166) = 36
        {"eighth of a 1600x1200 JPEG", 200, 150, 48, 48, 36},
        // 1200 * 1000 div (1600 * 1000 div 48 = 33333) = 36
        {"upright 1200x1600 bitmap", 1200, 1600, 48, 36, 48},
        {"square picture", 100, 100, 48, 48, 48},
        {"small picture is enlarged", 16, 16, 320, 320, 320},
        // 1 * 1000 div (2 * 1000 div 320 = 6) = 166: the thousandths ratio, not 160
        {"thousandths ratio rounds the other side up", 2, 1, 320, 320, 166},
        {"the same upright", 1, 2, 320, 166, 320},
        // 3 * 1000 div (3000 div 320 = 9) = 333 would leave the box
        {"tiny square never leaves the box", 3, 3, 320, 320, 320},
        {"1x1 in the largest box", 1, 1, 320, 320, 320},
        // 1 * 1000 div (100000 * 1000 div 32 = 3125000) = 0
        {"hair-thin picture gets no width", 1, 100000, 32, 0, 32},
        {"panorama", 12000, 2000, 128, 128, 21},
        // longer * 1000 div box is 0 here: the plain proportion takes over
        {"box a thousand times the picture", 1, 2, 5000, 2500, 5000},
        {"square in a huge box", 1, 1, 2000, 2000, 2000},
        {"largest sides", 2147483647, 1, 320, 320, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<DrawnSize> d = fitToBox(c.w, c.h, c.box);
        ASSERT_TRUE(d.has_value());
        EXPECT_EQ(d->width, c.dw);
        EXPECT_EQ(d->height, c.dh);
    }
}

TEST(ThumbFitTest, NoFitForEmptyOrImpossibleSizes)
{
    struct Case
    {
        const char *name;
        std::int64_t w, h, box;
    };
    const Case cases[] = {
        {"zero width", 0, 100, 48},
        {"zero height", 100, 0, 48},
        {"both zero", 0, 0, 48},
        {"negative", -5, 10, 48},
        {"no box", 10, 10, 0},
        {"negative box", 10, 10, -48},
        {"beyond any decoder", 2147483648LL, 10, 48},
        {"beyond 64-bit products", INT64_MAX, INT64_MAX, INT64_MAX},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(fitToBox(c.w, c.h, c.box).has_value());
    }
}

TEST(ThumbFitTest, AgreesWithTheTrueProportionAndWithQt)
{
    // Two independent references: the exact proportion of the shorter side, rounded down, and
    // Qt's keep-aspect-ratio scaling (which for near-squares may give the box's full size). The
    // list's thousandths ratio never gives less than the exact proportion and never more than the
    // box; for pictures of 1000 pixels and more on the longer side it stays within one pixel of
    // both references.
    int checked = 0;
    for (const std::int64_t box : kBoxSizes) {
        for (std::int64_t w = 1; w <= 4000; w += 37) {
            for (std::int64_t h = 1; h <= 4000; h += 53) {
                const std::optional<DrawnSize> d = fitToBox(w, h, box);
                const QSize q =
                    QSize(static_cast<int>(w), static_cast<int>(h))
                        .scaled(static_cast<int>(box), static_cast<int>(box), Qt::KeepAspectRatio);
                SCOPED_TRACE(
                    std::to_string(w) + "x" + std::to_string(h) + " in " + std::to_string(box));
                ASSERT_TRUE(d.has_value());
                const bool wide = w >= h;
                const std::int64_t longSide = wide ? d->width : d->height;
                const std::int64_t shortSide = wide ? d->height : d->width;
                const std::int64_t exactShort = std::min(w, h) * box / std::max(w, h);
                const std::int64_t qtShort = wide ? q.height() : q.width();
                ASSERT_EQ(longSide, box);
                ASSERT_EQ(wide ? q.width() : q.height(), box);
                ASSERT_GE(shortSide, exactShort);
                ASSERT_LE(shortSide, box);
                if (std::max(w, h) >= 1000) {
                    ASSERT_LE(shortSide - exactShort, 1);
                    ASSERT_LE(std::abs(shortSide - qtShort), 1);
                }
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 7 * 109 * 76);
}
