// SPDX-License-Identifier: GPL-3.0-or-later
// The cubic resize against the same filter worked out in doubles, pixel by pixel: odd sizes that
// leave remainders after the vector chunks, one-pixel sides, enlarging; flat colours kept exactly;
// premultiplied alpha; bands; refused arguments.
#include "imaging/resample.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using morvane::imaging::PixelRows;
using morvane::imaging::resampleCubic;
using Bytes = std::vector<std::uint8_t>;

struct Picture
{
    int width = 0;
    int height = 0;
    Bytes bytes; // 4 per pixel, no padding

    PixelRows<const std::uint8_t> rows() const { return {bytes.data(), width, height, width * 4}; }
    PixelRows<std::uint8_t> rows() { return {bytes.data(), width, height, width * 4}; }
};

enum class Fill { Noise, Flat, Premultiplied };

Picture picture(int width, int height, Fill fill)
{
    Picture p {width, height, Bytes(std::size_t(width) * std::size_t(height) * 4)};
    unsigned seed = 12345;
    for (std::size_t i = 0; i < p.bytes.size(); i += 4) {
        for (int c = 0; c < 4; ++c) {
            seed = seed * 1103515245U + 12345U;
            p.bytes[i + std::size_t(c)] =
                fill == Fill::Flat ? std::uint8_t(40 + 60 * c) : std::uint8_t(seed >> 23);
        }
        if (fill == Fill::Premultiplied) {
            for (int c = 0; c < 3; ++c)
                p.bytes[i + std::size_t(c)] = std::min(p.bytes[i + std::size_t(c)], p.bytes[i + 3]);
        }
    }
    return p;
}

double catmullRom(double x)
{
    x = std::fabs(x);
    return x < 1 ? (1.5 * x - 2.5) * x * x + 1 : x < 2 ? ((-0.5 * x + 2.5) * x - 4) * x + 2 : 0;
}

// One side's weights for target index j: the cubic stretched by the reduction, beyond the edges
// folded onto the edge pixels, normalised.
std::vector<double> weights(int source, int target, int j)
{
    const double ratio = double(source) / target;
    const double stretch = std::max(ratio, 1.0);
    const double centre = (j + 0.5) * ratio - 0.5;
    std::vector<double> w(std::size_t(source), 0.0);
    double sum = 0;
    for (int i = int(std::floor(centre - 2 * stretch)); i <= int(std::ceil(centre + 2 * stretch));
         ++i) {
        const double k = catmullRom((i - centre) / stretch);
        w[std::size_t(std::clamp(i, 0, source - 1))] += k;
        sum += k;
    }
    for (double &v : w)
        v /= sum;
    return w;
}

Picture reference(const Picture &from, int width, int height)
{
    Picture to {width, height, Bytes(std::size_t(width) * std::size_t(height) * 4)};
    for (int y = 0; y < height; ++y) {
        const std::vector<double> wy = weights(from.height, height, y);
        for (int x = 0; x < width; ++x) {
            const std::vector<double> wx = weights(from.width, width, x);
            for (int c = 0; c < 4; ++c) {
                double v = 0;
                for (int sy = 0; sy < from.height; ++sy) {
                    for (int sx = 0; sx < from.width; ++sx) {
                        v += wy[std::size_t(sy)] * wx[std::size_t(sx)]
                            * from.bytes[(std::size_t(sy) * std::size_t(from.width)
                                             + std::size_t(sx))
                                    * 4
                                + std::size_t(c)];
                    }
                }
                to.bytes[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4
                    + std::size_t(c)] = std::uint8_t(std::clamp(std::lround(v), 0L, 255L));
            }
        }
    }
    return to;
}

TEST(ResampleCubic, MatchesTheFilterWorkedOutInDoubles)
{
    struct Row
    {
        const char *name;
        int width, height, toWidth, toHeight;
        Fill fill;
    };
    const Row rows[] = {
        {"odd sizes, about a third", 97, 61, 31, 17, Fill::Noise},
        {"wide row, chunk remainders", 1003, 5, 213, 3, Fill::Noise},
        {"one side kept", 40, 40, 40, 13, Fill::Noise},
        {"to a single pixel", 3, 2, 1, 1, Fill::Noise},
        {"one pixel stays", 1, 1, 1, 1, Fill::Noise},
        {"a column", 1, 50, 1, 7, Fill::Noise},
        {"enlarging", 5, 4, 17, 9, Fill::Noise},
        {"flat colour, shrinking", 130, 90, 37, 29, Fill::Flat},
        {"flat colour, enlarging", 6, 6, 25, 11, Fill::Flat},
        {"premultiplied alpha", 64, 48, 21, 16, Fill::Premultiplied},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const Picture from = picture(row.width, row.height, row.fill);
        Picture to {row.toWidth, row.toHeight, Bytes(std::size_t(row.toWidth * row.toHeight) * 4)};
        ASSERT_TRUE(
            resampleCubic(from.rows(), to.rows(), row.fill == Fill::Premultiplied ? 3 : -1));
        const Picture expected = reference(from, row.toWidth, row.toHeight);
        for (std::size_t i = 0; i < to.bytes.size(); ++i) {
            if (row.fill == Fill::Flat) {
                ASSERT_EQ(to.bytes[i], from.bytes[i % 4]) << "byte " << i;
            } else if (row.fill == Fill::Premultiplied) {
                ASSERT_LE(to.bytes[i], to.bytes[i / 4 * 4 + 3]) << "byte " << i;
            } else {
                ASSERT_NEAR(to.bytes[i], expected.bytes[i], 1) << "byte " << i;
            }
        }
    }
}

TEST(ResampleCubic, BandsMakeTheWholeAndBadArgumentsTouchNothing)
{
    const Picture from = picture(300, 200, Fill::Noise);
    Picture whole {70, 45, Bytes(70 * 45 * 4)};
    ASSERT_TRUE(resampleCubic(from.rows(), whole.rows()));
    Picture banded {70, 45, Bytes(70 * 45 * 4)};
    for (const auto &[first, end] : {std::pair {0, 10}, {10, 11}, {11, 45}})
        ASSERT_TRUE(resampleCubic(from.rows(), banded.rows(), -1, first, end));
    EXPECT_EQ(banded.bytes, whole.bytes);

    struct Bad
    {
        const char *name;
        PixelRows<const std::uint8_t> from;
        int alphaByte, firstRow, endRow;
    };
    const Bad bad[] = {
        {"rows shorter than the width", {from.bytes.data(), 300, 200, 1199}, -1, 0, -1},
        {"no source height", {from.bytes.data(), 300, 0, 1200}, -1, 0, -1},
        {"no source bytes", {nullptr, 300, 200, 1200}, -1, 0, -1},
        {"no such alpha byte", from.rows(), 4, 0, -1},
        {"band past the end", from.rows(), -1, 40, 46},
        {"band reversed", from.rows(), -1, 20, 10},
    };
    for (const Bad &b : bad) {
        SCOPED_TRACE(b.name);
        Picture to {70, 45, Bytes(70 * 45 * 4, 7)};
        EXPECT_FALSE(resampleCubic(b.from, to.rows(), b.alphaByte, b.firstRow, b.endRow));
        EXPECT_TRUE(std::all_of(to.bytes.begin(), to.bytes.end(), [](auto v) {
            return v == 7;
        }));
    }
}

} // namespace
