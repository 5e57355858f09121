// SPDX-License-Identifier: GPL-3.0-or-later
#include "exif/exifcases.h"

#include <string_view>

namespace morvane::exiftest {

using exif::ExifErrorKind;
using testsupport::ByteOrder;
using testsupport::TiffBuilder;
namespace tag = exif::tag;

std::vector<std::uint8_t> cameraFile(ByteOrder order, const Fill &fill)
{
    TiffBuilder b(order);
    const std::size_t exifIfd = b.addIfd();
    b.pointer(0, tag::ExifPointer, exifIfd);
    fill(b, exifIfd);
    return testsupport::exifJpeg(b.build().bytes);
}

std::string errorText(const std::optional<ExifErrorKind> &kind)
{
    return kind ? exif::makeError(*kind).message : std::string("(none)");
}

namespace {

    constexpr const char *kShutter = "シャッター速度：";
    constexpr const char *kAperture = "絞り値：";
    constexpr const char *kMaxAperture = "開放Ｆ値：";
    constexpr const char *kBias = "露出補正：";
    constexpr const char *kBits = "ＪＰＥＧ圧縮率：";
    constexpr const char *kFocal = "焦点距離：";
    constexpr const char *kIso = "ＩＳＯ感度：";
    constexpr const char *kSize = "画像サイズ：";
    constexpr const char *kMake = "メーカー名：";
    constexpr const char *kModel = "製品名：";
    constexpr const char *kDate = "撮影日時：";
    constexpr const char *kProgram = "露出モード：";
    constexpr const char *kMetering = "測光モード：";
    constexpr const char *kFlash = "フラッシュ発光：";

    // A value field that points far past the end of any test file.
    constexpr std::uint32_t kFarAway = 0xFFFFFF00;

    constexpr std::uint16_t kAscii = 2;
    constexpr std::uint16_t kShort = 3;
    constexpr std::uint16_t kRational = 5;
    constexpr std::uint16_t kSRational = 10;

    Fill rational(std::uint16_t t, std::uint32_t num, std::uint32_t den)
    {
        return [=](TiffBuilder &b, std::size_t d) {
            b.rational(d, t, num, den);
        };
    }
    Fill srational(std::uint16_t t, std::int32_t num, std::int32_t den)
    {
        return [=](TiffBuilder &b, std::size_t d) {
            b.srational(d, t, num, den);
        };
    }
    Fill shortValue(std::uint16_t t, std::uint16_t v)
    {
        return [=](TiffBuilder &b, std::size_t d) {
            b.shortValue(d, t, v);
        };
    }
    Fill textBytes(std::uint16_t t, std::string_view bytes)
    {
        return [=](TiffBuilder &b, std::size_t d) {
            b.bytes(d,
                t,
                testsupport::TiffType::Ascii,
                std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
        };
    }
    // Several fills in a row, in this order in the directory.
    Fill seq(std::vector<Fill> fills)
    {
        return [fills = std::move(fills)](TiffBuilder &b, std::size_t d) {
            for (const Fill &f : fills)
                f(b, d);
        };
    }

    std::vector<RowCase> makeCases()
    {
        using R = std::vector<exif::ExifRow>;
        const std::string longAscii(3000, 'x');
        std::string longUtf8 = "ab";
        for (int i = 0; i < 400; ++i)
            longUtf8 += "あ";
        std::string cutUtf8 = "ab";
        for (int i = 0; i < 340; ++i) // 2 + 3 * 340 = 1022 of the 1024 examined bytes
            cutUtf8 += "あ";
        // `head` then `n` times `unit`.
        const auto repeat = [](std::string head, std::string_view unit, int n) {
            for (int i = 0; i < n; ++i)
                head += unit;
            return head;
        };
        // textBytes for a text built here (the fill keeps its own copy).
        const auto text = [](std::uint16_t t, std::string bytes) -> Fill {
            return [t, bytes](TiffBuilder &b, std::size_t d) {
                textBytes(t, bytes)(b, d);
            };
        };

        return {
            // Exposure time: a reciprocal when the denominator is larger.
            {"exposure 1/125", rational(tag::ExposureTime, 1, 125), R {{kShutter, "1/125(s)"}}, {}},
            {"exposure 10/1250",
                rational(tag::ExposureTime, 10, 1250),
                R {{kShutter, "1/125(s)"}},
                {}},
            {"exposure 1/1", rational(tag::ExposureTime, 1, 1), R {{kShutter, "1(s)"}}, {}},
            {"exposure 2/1", rational(tag::ExposureTime, 2, 1), R {{kShutter, "2(s)"}}, {}},
            {"exposure 3/10",
                rational(tag::ExposureTime, 3, 10),
                R {{kShutter, "1/3.33333333333333(s)"}},
                {}},
            {"exposure 15/10", rational(tag::ExposureTime, 15, 10), R {{kShutter, "1.5(s)"}}, {}},
            {"exposure largest numerator",
                rational(tag::ExposureTime, 4294967295U, 1),
                R {{kShutter, "4294967295(s)"}},
                {}},
            {"exposure 0/1 divides by zero",
                rational(tag::ExposureTime, 0, 1),
                R {},
                ExifErrorKind::DivisionByZero},
            {"exposure 0/0 is invalid",
                rational(tag::ExposureTime, 0, 0),
                R {},
                ExifErrorKind::InvalidOperation},
            {"exposure 5/0 divides by zero",
                rational(tag::ExposureTime, 5, 0),
                R {},
                ExifErrorKind::DivisionByZero},
            {"exposure with count 0 reads nothing",
                seq({[](TiffBuilder &b, std::size_t d) {
                         b.rawEntry(d, tag::ExposureTime, kRational, 0, kFarAway);
                     },
                    shortValue(tag::IsoSpeedRatings, 100)}),
                R {{kIso, "100"}},
                {}},

            // Shutter speed value (APEX) and its interplay with the exposure time.
            {"exposure time before shutter speed shows one row",
                seq({rational(tag::ExposureTime, 1, 125), srational(tag::ShutterSpeedValue, 7, 1)}),
                R {{kShutter, "1/125(s)"}},
                {}},
            {"shutter speed 7 alone",
                srational(tag::ShutterSpeedValue, 7, 1),
                R {{kShutter, "1/128"}},
                {}},
            {"shutter speed before exposure time shows both",
                seq({srational(tag::ShutterSpeedValue, 7, 1), rational(tag::ExposureTime, 1, 125)}),
                R {{kShutter, "1/128"}, {kShutter, "1/125(s)"}},
                {}},
            {"shutter speed after exposure time is not read",
                seq({rational(tag::ExposureTime, 1, 125),
                    [](TiffBuilder &b, std::size_t d) {
                        b.rawEntry(d, tag::ShutterSpeedValue, kSRational, 1, kFarAway);
                    }}),
                R {{kShutter, "1/125(s)"}},
                {}},
            {"shutter speed value past the end fails when it is read",
                [](TiffBuilder &b, std::size_t d) {
                    b.rawEntry(d, tag::ShutterSpeedValue, kSRational, 1, kFarAway);
                },
                R {},
                ExifErrorKind::ReadPastEnd},
            {"shutter speed 0", srational(tag::ShutterSpeedValue, 0, 1), R {{kShutter, "1/1"}}, {}},
            {"shutter speed 1/2 rounds to 1",
                srational(tag::ShutterSpeedValue, 1, 2),
                R {{kShutter, "1/1"}},
                {}},
            {"shutter speed 9.97",
                srational(tag::ShutterSpeedValue, 997, 100),
                R {{kShutter, "1/1003"}},
                {}},
            {"shutter speed -1 is two seconds",
                srational(tag::ShutterSpeedValue, -1, 1),
                R {{kShutter, "2"}},
                {}},
            {"shutter speed -1.5 is about three seconds",
                srational(tag::ShutterSpeedValue, -3, 2),
                R {{kShutter, "3"}},
                {}},
            {"shutter speed 62",
                srational(tag::ShutterSpeedValue, 62, 1),
                R {{kShutter, "1/4611686018427387904"}},
                {}},
            {"shutter speed 63 is beyond 64-bit rounding",
                srational(tag::ShutterSpeedValue, 63, 1),
                R {},
                ExifErrorKind::InvalidOperation},
            {"shutter speed 1100 overflows",
                srational(tag::ShutterSpeedValue, 1100, 1),
                R {},
                ExifErrorKind::Overflow},
            {"shutter speed with denominator 0",
                srational(tag::ShutterSpeedValue, 7, 0),
                R {},
                ExifErrorKind::DivisionByZero},

            // F-number and the APEX aperture values.
            {"f-number 28/10 hides the aperture value",
                seq({rational(tag::FNumber, 28, 10), rational(tag::ApertureValue, 3, 1)}),
                R {{kAperture, "2.8"}},
                {}},
            {"aperture value 3 alone",
                rational(tag::ApertureValue, 3, 1),
                R {{kAperture, "2.8"}},
                {}},
            {"aperture value before f-number shows both",
                seq({rational(tag::ApertureValue, 4, 1), rational(tag::FNumber, 56, 10)}),
                R {{kAperture, "4"}, {kAperture, "5.6"}},
                {}},
            {"aperture value after f-number is not read",
                seq({rational(tag::FNumber, 28, 10),
                    [](TiffBuilder &b, std::size_t d) {
                        b.rawEntry(d, tag::ApertureValue, kRational, 1, kFarAway);
                    }}),
                R {{kAperture, "2.8"}},
                {}},
            {"f-number with count 0 is still read",
                [](TiffBuilder &b, std::size_t d) {
                    std::vector<std::uint8_t> pair = b.u32(28);
                    const std::vector<std::uint8_t> den = b.u32(10);
                    pair.insert(pair.end(), den.begin(), den.end());
                    b.entry(d, tag::FNumber, kRational, 0, pair);
                },
                R {{kAperture, "2.8"}},
                {}},
            {"f-number 0/0", rational(tag::FNumber, 0, 0), R {}, ExifErrorKind::InvalidOperation},
            {"f-number 1/0", rational(tag::FNumber, 1, 0), R {}, ExifErrorKind::DivisionByZero},
            {"aperture value 0, 2 and 5",
                seq({rational(tag::MaxApertureValue, 0, 1),
                    rational(tag::MaxApertureValue, 2, 1),
                    rational(tag::MaxApertureValue, 5, 1)}),
                R {{kMaxAperture, "1"}, {kMaxAperture, "2"}, {kMaxAperture, "5.7"}},
                {}},
            {"aperture value 200 is beyond 64-bit rounding",
                rational(tag::ApertureValue, 200, 1),
                R {},
                ExifErrorKind::InvalidOperation},
            {"aperture value 5000 overflows",
                rational(tag::ApertureValue, 5000, 1),
                R {},
                ExifErrorKind::Overflow},
            {"max aperture is shown after an f-number",
                seq({rational(tag::FNumber, 28, 10), rational(tag::MaxApertureValue, 3, 1)}),
                R {{kAperture, "2.8"}, {kMaxAperture, "2.8"}},
                {}},

            // Exposure bias: tenths rounded half to even, "+" only above zero.
            {"bias values",
                seq({srational(tag::ExposureBiasValue, 0, 3),
                    srational(tag::ExposureBiasValue, 1, 3),
                    srational(tag::ExposureBiasValue, -2, 3),
                    srational(tag::ExposureBiasValue, 1, 4),
                    srational(tag::ExposureBiasValue, 3, 4),
                    srational(tag::ExposureBiasValue, 1, 30),
                    srational(tag::ExposureBiasValue, -1, 30),
                    srational(tag::ExposureBiasValue, -1, 4),
                    srational(tag::ExposureBiasValue, -5, 4),
                    srational(tag::ExposureBiasValue, 5, 4)}),
                R {{kBias, "0(EV)"},
                    {kBias, "+0.3(EV)"},
                    {kBias, "-0.7(EV)"},
                    {kBias, "+0.2(EV)"},
                    {kBias, "+0.8(EV)"},
                    {kBias, "0(EV)"},
                    {kBias, "0(EV)"},
                    {kBias, "-0.2(EV)"},
                    {kBias, "-1.2(EV)"},
                    {kBias, "+1.2(EV)"}},
                {}},
            {"bias with the smallest numerator",
                srational(tag::ExposureBiasValue, -2147483647 - 1, 1),
                R {{kBias, "-2147483648(EV)"}},
                {}},
            {"bias denominator is unsigned",
                srational(tag::ExposureBiasValue, 1, -1),
                R {{kBias, "0(EV)"}},
                {}},
            {"bias 1/0",
                srational(tag::ExposureBiasValue, 1, 0),
                R {},
                ExifErrorKind::DivisionByZero},
            {"bias 0/0",
                srational(tag::ExposureBiasValue, 0, 0),
                R {},
                ExifErrorKind::InvalidOperation},

            // Compressed bits per pixel: truncated.
            {"compression values",
                seq({rational(tag::CompressedBitsPerPixel, 5, 2),
                    rational(tag::CompressedBitsPerPixel, 8, 1),
                    rational(tag::CompressedBitsPerPixel, 1, 3),
                    rational(tag::CompressedBitsPerPixel, 4294967295U, 1)}),
                R {{kBits, "2/1"}, {kBits, "8/1"}, {kBits, "0/1"}, {kBits, "4294967295/1"}},
                {}},
            {"compression 0/0",
                rational(tag::CompressedBitsPerPixel, 0, 0),
                R {},
                ExifErrorKind::InvalidOperation},
            {"compression 7/0",
                rational(tag::CompressedBitsPerPixel, 7, 0),
                R {},
                ExifErrorKind::DivisionByZero},

            // Focal length.
            {"focal lengths",
                seq({rational(tag::FocalLength, 74, 10),
                    rational(tag::FocalLength, 50, 1),
                    rational(tag::FocalLength, 1, 3)}),
                R {{kFocal, "7.4mm"}, {kFocal, "50mm"}, {kFocal, "0.333333333333333mm"}},
                {}},
            {"focal length 0/0",
                rational(tag::FocalLength, 0, 0),
                R {},
                ExifErrorKind::InvalidOperation},

            // Tables of names.
            {"exposure programs",
                seq({shortValue(tag::ExposureProgram, 0),
                    shortValue(tag::ExposureProgram, 1),
                    shortValue(tag::ExposureProgram, 2),
                    shortValue(tag::ExposureProgram, 3),
                    shortValue(tag::ExposureProgram, 4),
                    shortValue(tag::ExposureProgram, 5),
                    shortValue(tag::ExposureProgram, 6),
                    shortValue(tag::ExposureProgram, 7),
                    shortValue(tag::ExposureProgram, 8),
                    shortValue(tag::ExposureProgram, 65535)}),
                R {{kProgram, "不明"},
                    {kProgram, "マニュアル"},
                    {kProgram, "プログラム"},
                    {kProgram, "絞り優先AE"},
                    {kProgram, "シャッター速度優先AE"},
                    {kProgram, "低速プログラムAE"},
                    {kProgram, "高速プログラムAE"},
                    {kProgram, "ポートレイト"},
                    {kProgram, "不明"},
                    {kProgram, "不明"}},
                {}},
            {"metering modes",
                seq({shortValue(tag::MeteringMode, 0),
                    shortValue(tag::MeteringMode, 1),
                    shortValue(tag::MeteringMode, 2),
                    shortValue(tag::MeteringMode, 3),
                    shortValue(tag::MeteringMode, 4),
                    shortValue(tag::MeteringMode, 5),
                    shortValue(tag::MeteringMode, 6),
                    shortValue(tag::MeteringMode, 255)}),
                R {{kMetering, "不明"},
                    {kMetering, "平均測光"},
                    {kMetering, "中央部重点測光"},
                    {kMetering, "スポット測光"},
                    {kMetering, "多点スポット測光"},
                    {kMetering, "マルチパターン測光"},
                    {kMetering, "不明"},
                    {kMetering, "不明"}},
                {}},
            {"flash",
                seq({shortValue(tag::Flash, 0),
                    shortValue(tag::Flash, 1),
                    shortValue(tag::Flash, 0x19),
                    shortValue(tag::Flash, 0x10)}),
                R {{kFlash, "OFF"}, {kFlash, "ON"}, {kFlash, "不明"}, {kFlash, "不明"}},
                {}},

            // ISO speed.
            {"iso values",
                seq({shortValue(tag::IsoSpeedRatings, 100),
                    shortValue(tag::IsoSpeedRatings, 65535)}),
                R {{kIso, "100"}, {kIso, "65535"}},
                {}},
            {"iso with two values inline",
                [](TiffBuilder &b, std::size_t d) {
                    b.shorts(d, tag::IsoSpeedRatings, {200, 0});
                },
                R {{kIso, "200"}},
                {}},
            {"iso with three values at an offset",
                [](TiffBuilder &b, std::size_t d) {
                    b.shorts(d, tag::IsoSpeedRatings, {400, 1, 2});
                },
                R {{kIso, "400"}},
                {}},
            {"iso values at an offset past the end",
                [](TiffBuilder &b, std::size_t d) {
                    b.rawEntry(d, tag::IsoSpeedRatings, kShort, 3, kFarAway);
                },
                R {},
                ExifErrorKind::ReadPastEnd},

            // Picture size: one row once both dimensions are known, again at each later one.
            {"size 640x480",
                seq({shortValue(tag::PixelXDimension, 640), shortValue(tag::PixelYDimension, 480)}),
                R {{kSize, "640×480"}},
                {}},
            {"size with only a width", shortValue(tag::PixelXDimension, 640), R {}, {}},
            {"size height first",
                seq({shortValue(tag::PixelYDimension, 480), shortValue(tag::PixelXDimension, 640)}),
                R {{kSize, "640×480"}},
                {}},
            {"size width met again",
                seq({shortValue(tag::PixelXDimension, 640),
                    shortValue(tag::PixelYDimension, 480),
                    shortValue(tag::PixelXDimension, 800)}),
                R {{kSize, "640×480"}, {kSize, "800×480"}},
                {}},
            {"size stored as 32-bit values",
                [](TiffBuilder &b, std::size_t d) {
                    b.longValue(d, tag::PixelXDimension, 70000);
                    b.longValue(d, tag::PixelYDimension, 480);
                },
                R {{kSize, "70000×480"}},
                {}},
            {"size mixing 32-bit and 16-bit values",
                [](TiffBuilder &b, std::size_t d) {
                    b.longValue(d, tag::PixelXDimension, 4000);
                    b.shortValue(d, tag::PixelYDimension, 3000);
                },
                R {{kSize, "4000×3000"}},
                {}},
            {"size with two 32-bit values at an offset",
                [](TiffBuilder &b, std::size_t d) {
                    b.longs(d, tag::PixelXDimension, {5000, 1});
                    b.shortValue(d, tag::PixelYDimension, 10);
                },
                R {{kSize, "5000×10"}},
                {}},
            {"size with three 16-bit values at an offset",
                [](TiffBuilder &b, std::size_t d) {
                    b.shorts(d, tag::PixelXDimension, {320, 7, 7});
                    b.shortValue(d, tag::PixelYDimension, 240);
                },
                R {{kSize, "320×240"}},
                {}},

            // Texts.
            {"make",
                [](TiffBuilder &b, std::size_t d) {
                    b.ascii(d, tag::Make, "Canon");
                },
                R {{kMake, "Canon"}},
                {}},
            {"make keeps its spaces",
                [](TiffBuilder &b, std::size_t d) {
                    b.ascii(d, tag::Make, " Nikon  ");
                },
                R {{kMake, " Nikon  "}},
                {}},
            {"blank model gives no row",
                [](TiffBuilder &b, std::size_t d) {
                    b.ascii(d, tag::Model, "    ");
                },
                R {},
                {}},
            {"three letters and a NUL stand inline",
                [](TiffBuilder &b, std::size_t d) {
                    b.ascii(d, tag::Make, "ABC");
                },
                R {{kMake, "ABC"}},
                {}},
            {"one letter inline",
                [](TiffBuilder &b, std::size_t d) {
                    b.ascii(d, tag::Model, "Q");
                },
                R {{kModel, "Q"}},
                {}},
            {"date as stored",
                [](TiffBuilder &b, std::size_t d) {
                    b.ascii(d, tag::DateTimeOriginal, "2004:05:12 10:20:30");
                },
                R {{kDate, "2004:05:12 10:20:30"}},
                {}},
            {"a NUL in the middle is dropped",
                textBytes(tag::Make, std::string_view("AB\0CD\0", 6)),
                R {{kMake, "ABCD"}},
                {}},
            {"bytes below 0x14 are dropped",
                textBytes(tag::Model,
                    std::string_view("\x01\x13"
                                     "A\x14"
                                     "B\x1F\0",
                        7)),
                R {{kModel,
                    "A\x14"
                    "B\x1F"}},
                {}},
            {"a text of control bytes only gives no row",
                textBytes(tag::Model, std::string_view("\x01\x02\x13\x10\0", 5)),
                R {},
                {}},
            {"a text of bytes 0x14 to 0x20 is blank",
                textBytes(tag::Model, std::string_view("\x14\x20\x1F\x20\x15", 5)),
                R {},
                {}},
            {"text count 0 reads nothing",
                [](TiffBuilder &b, std::size_t d) {
                    b.rawEntry(d, tag::Make, kAscii, 0, kFarAway);
                },
                R {},
                {}},
            {"text count with its top bit set reads nothing",
                [](TiffBuilder &b, std::size_t d) {
                    b.rawEntry(d, tag::Make, kAscii, 0x80000005U, kFarAway);
                },
                R {},
                {}},
            {"text at an offset past the end fails after the rows so far",
                [](TiffBuilder &b, std::size_t d) {
                    b.ascii(d, tag::Make, "Canon");
                    b.rawEntry(d, tag::Model, kAscii, 10, kFarAway);
                },
                R {{kMake, "Canon"}},
                ExifErrorKind::ReadPastEnd},
            {"text whose count runs past the end fails",
                [](TiffBuilder &b, std::size_t d) {
                    b.entry(d, tag::Model, kAscii, 0x7FFFFFFF, {'S', 'o', 'n', 'y', 0, 0});
                },
                R {},
                ExifErrorKind::ReadPastEnd},
            {"utf-8 text passes",
                [](TiffBuilder &b, std::size_t d) {
                    b.ascii(d, tag::Make, "キヤノン");
                },
                R {{kMake, "キヤノン"}},
                {}},
            {"code page 932 text is decoded",
                textBytes(tag::Make, std::string_view("\x83\x4C\x83\x84\x83\x6D\x83\x93\0", 9)),
                R {{kMake, "キヤノン"}},
                {}},
            {"a long text is cut",
                [longAscii](TiffBuilder &b, std::size_t d) {
                    b.ascii(d, tag::Model, longAscii);
                },
                R {{kModel, std::string(1024, 'x') + "…"}},
                {}},
            {"a long utf-8 text is cut between characters",
                [longUtf8](TiffBuilder &b, std::size_t d) {
                    b.ascii(d, tag::Model, longUtf8);
                },
                R {{kModel, cutUtf8 + "…"}},
                {}},
            // 1023 bytes of whole characters, then the first byte of the next.
            {"a long utf-8 text cut after the first byte of a character",
                text(tag::Model, repeat("abc", "あ", 400)),
                R {{kModel, repeat("abc", "あ", 340) + "…"}},
                {}},
            {"a long utf-8 text cut after three bytes of a four-byte character",
                text(tag::Model, repeat("a", "😀", 300)),
                R {{kModel, repeat("a", "😀", 255) + "…"}},
                {}},
            {"a long utf-8 text cut between two characters",
                text(tag::Model, repeat("a", "あ", 400)),
                R {{kModel, repeat("a", "あ", 341) + "…"}},
                {}},
            {"a long code page 932 text cut inside a character",
                text(tag::Model, repeat("\xB1", "\x83\x4C", 600)),
                R {{kModel, repeat("ｱ", "キ", 511) + "…"}},
                {}},
            // The last byte, 0x81, could open a character but closes one here.
            {"a long code page 932 text cut between two characters",
                text(tag::Model, repeat("", "\x83\x81", 600)),
                R {{kModel, repeat("", "メ", 512) + "…"}},
                {}},
            {"a text whose last character is cut in the file is read as code page 932",
                text(tag::Make, "\xE3\x82\xAD\xE3\x83\xA4\xE3\x83"),
                R {{kMake, "繧ｭ繝､繝"}},
                {}},
            // Overlong forms are not UTF-8.
            {"an overlong three-byte form is read as code page 932",
                text(tag::Make, "A\xE0\x9F\xBF"),
                R {{kMake, "A燹ｿ"}},
                {}},
            {"an overlong four-byte form is read as code page 932",
                text(tag::Make, "\xF0\x8F\xBF\xBF"),
                R {{kMake, "\uE04Eｿｿ"}},
                {}},

            // A failure keeps the rows before it and stops the rest.
            {"rows before a failure stay",
                [](TiffBuilder &b, std::size_t d) {
                    b.ascii(d, tag::Make, "Canon");
                    b.rational(d, tag::ExposureTime, 1, 125);
                    b.rational(d, tag::FocalLength, 1, 0);
                    b.shortValue(d, tag::IsoSpeedRatings, 100);
                },
                R {{kMake, "Canon"}, {kShutter, "1/125(s)"}},
                ExifErrorKind::DivisionByZero},

            // A typical camera directory, in ascending tag order.
            {"camera directory",
                [](TiffBuilder &b, std::size_t d) {
                    b.rational(d, tag::ExposureTime, 1, 60);
                    b.rational(d, tag::FNumber, 35, 10);
                    b.shortValue(d, tag::ExposureProgram, 2);
                    b.shortValue(d, tag::IsoSpeedRatings, 200);
                    b.ascii(d, tag::DateTimeOriginal, "2004:05:12 10:20:30");
                    b.rational(d, tag::CompressedBitsPerPixel, 5, 2);
                    b.srational(d, tag::ShutterSpeedValue, 59, 10);
                    b.rational(d, tag::ApertureValue, 36, 10);
                    b.srational(d, tag::ExposureBiasValue, -1, 3);
                    b.rational(d, tag::MaxApertureValue, 3, 1);
                    b.shortValue(d, tag::MeteringMode, 5);
                    b.shortValue(d, tag::Flash, 1);
                    b.rational(d, tag::FocalLength, 74, 10);
                    b.shortValue(d, tag::PixelXDimension, 640);
                    b.shortValue(d, tag::PixelYDimension, 480);
                },
                R {{kShutter, "1/60(s)"},
                    {kAperture, "3.5"},
                    {kProgram, "プログラム"},
                    {kIso, "200"},
                    {kDate, "2004:05:12 10:20:30"},
                    {kBits, "2/1"},
                    {kBias, "-0.3(EV)"},
                    {kMaxAperture, "2.8"},
                    {kMetering, "マルチパターン測光"},
                    {kFlash, "ON"},
                    {kFocal, "7.4mm"},
                    {kSize, "640×480"}},
                {}},
        };
    }

} // namespace

const std::vector<RowCase> &rowCases()
{
    static const std::vector<RowCase> cases = makeCases();
    return cases;
}

std::string show(const std::vector<exif::ExifRow> &rows)
{
    std::string s;
    for (const auto &r : rows)
        s += r.label + "\t" + r.value + "\n";
    return s;
}

} // namespace morvane::exiftest
