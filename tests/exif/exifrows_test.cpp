// SPDX-License-Identifier: GPL-3.0-or-later
#include "exif/exifcases.h"
#include "exif/exifrows.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

using morvane::exif::ExifErrorKind;
using morvane::testsupport::ByteOrder;

std::string show(const std::vector<morvane::exif::ExifRow> &rows)
{
    std::string s;
    for (const auto &r : rows)
        s += r.label + "\t" + r.value + "\n";
    return s;
}

TEST(ExifRowsTest, HandWorkedCasesInBothByteOrders)
{
    for (const auto &c : morvane::exiftest::rowCases()) {
        for (const ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
            SCOPED_TRACE(c.name + (order == ByteOrder::Big ? " (MM)" : " (II)"));
            const auto file = morvane::exiftest::cameraFile(order, c.fill);
            const auto result = morvane::exif::summaryRows(file);
            EXPECT_EQ(show(result.rows), show(c.rows));
            EXPECT_EQ(morvane::exiftest::errorText(
                          result.error ? std::optional(result.error->kind) : std::nullopt),
                morvane::exiftest::errorText(c.error));
        }
    }
}

TEST(ExifRowsTest, HandWorkedCasesThroughACacheOfOneBlock)
{
    // The directory's values pushed past two blocks, starting up to 6 bytes before the boundary
    // (values stand at even offsets), so the one cached block is evicted back and forth and
    // rationals and texts straddle blocks.
    namespace tag = morvane::exif::tag;
    constexpr std::size_t kBlock = morvane::exif::kReadBlockBytes;
    for (const auto &c : morvane::exiftest::rowCases()) {
        for (std::size_t before = 0; before < 8; before += 2) {
            SCOPED_TRACE(c.name + " " + std::to_string(before));
            morvane::testsupport::TiffBuilder b(ByteOrder::Big);
            const std::size_t d = b.addIfd();
            b.pointer(0, tag::ExifPointer, d);
            c.fill(b, d);
            const std::size_t values =
                morvane::testsupport::kTiffStart + b.build().endOfEntries[d] + 4;
            b.trailer(d, std::vector<std::uint8_t>(2 * kBlock - before - values, 0));
            const auto file = morvane::testsupport::exifJpeg(b.build().bytes);
            morvane::exif::MemorySource source(file);
            const auto result = morvane::exif::summaryRows(source, kBlock);
            EXPECT_EQ(show(result.rows), show(c.rows));
            EXPECT_EQ(morvane::exiftest::errorText(
                          result.error ? std::optional(result.error->kind) : std::nullopt),
                morvane::exiftest::errorText(c.error));
        }
    }
}

TEST(ExifRowsTest, ErrorsCarryTheirMessages)
{
    struct Case
    {
        ExifErrorKind kind;
        const char *path;
        const char *message;
    };
    const Case cases[] = {
        {ExifErrorKind::OpenFailed, "/tmp/a b.jpg", "ファイル /tmp/a b.jpg は開けません"},
        {ExifErrorKind::OutOfMemory, "", "メモリストリームの拡大中にメモリが足りなくなりました"},
        {ExifErrorKind::ReadPastEnd, "", "ストリームからの読み込みエラー"},
        {ExifErrorKind::DivisionByZero, "", "0 による浮動小数点数除算"},
        {ExifErrorKind::InvalidOperation, "", "不正な浮動小数点数演算命令"},
        {ExifErrorKind::Overflow, "", "浮動小数点数のオーバーフロー"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        const auto e = morvane::exif::makeError(c.kind, c.path);
        EXPECT_EQ(e.kind, c.kind);
        EXPECT_EQ(e.message, c.message);
    }
}

TEST(ExifRowsTest, GeneralFloatIsShortestWithFifteenDigits)
{
    struct Case
    {
        double value;
        const char *text;
    };
    const Case cases[] = {
        {125, "125"},
        {2.8, "2.8"},
        {10.0 / 3, "3.33333333333333"},
        {2.0 / 3, "0.666666666666667"},
        {1.0 / 3, "0.333333333333333"},
        {0, "0"},
        {-0.7, "-0.7"},
        {0.1, "0.1"},
        {3.0 / 10, "0.3"},
        {4294967295.0, "4294967295"},
        {123456789012345.6, "123456789012346"},
        {1.0000000000000002, "1"},
        {0.0001, "0.0001"},
        {1e15, "1e+15"},
        {0.00001, "1e-05"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(morvane::exif::generalFloat(c.value), c.text);
    }
}

TEST(ExifRowsTest, RoundingGoesHalfToEvenWithinSixtyFourBits)
{
    struct Case
    {
        double value;
        std::int64_t rounded;
        bool fails;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {2.5, 2, false},
        {7.5, 8, false},
        {3.5, 4, false},
        {0.5, 0, false},
        {-2.5, -2, false},
        {-3.5, -4, false},
        {2.4, 2, false},
        {2.6, 3, false},
        {-0.4, 0, false},
        {0.49999999999999994, 0, false},
        {9.2e18, 9200000000000000000, false},
        {-9223372036854775808.0, std::numeric_limits<std::int64_t>::min(), false},
        {9223372036854775808.0, 0, true},
        {9.3e18, 0, true},
        {-9.3e18, 0, true},
        {nan, 0, true},
        {inf, 0, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        const auto r = morvane::exif::roundHalfEven(c.value);
        EXPECT_EQ(r.fault.has_value(), c.fails);
        if (c.fails) {
            EXPECT_EQ(r.fault, ExifErrorKind::InvalidOperation);
        } else {
            EXPECT_EQ(r.value, c.rounded);
        }
    }
}

TEST(ExifRowsTest, TruncationGoesTowardZero)
{
    struct Case
    {
        double value;
        std::int64_t truncated;
        bool fails;
    };
    const Case cases[] = {
        {2.9, 2, false},
        {-2.9, -2, false},
        {0.99, 0, false},
        {4294967295.0, 4294967295, false},
        {1e19, 0, true},
        {-1e19, 0, true},
        {std::numeric_limits<double>::infinity(), 0, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        const auto r = morvane::exif::truncateTowardZero(c.value);
        EXPECT_EQ(r.fault.has_value(), c.fails);
        if (!c.fails) {
            EXPECT_EQ(r.value, c.truncated);
        }
    }
}

} // namespace
