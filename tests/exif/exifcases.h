// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "exif/exifrows.h"
#include "support/jpegbuilder.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Hand-worked cases of the Exif rows, shared by the in-process tests and the CLI tests. Each
// case fills the Exif directory of a camera-like file (IFD0 holds only the Exif pointer); the
// expected rows and error were worked out by hand from the row rules, not by running the code.
namespace morvane::exiftest {

using Fill = std::function<void(testsupport::TiffBuilder &b, std::size_t exifIfd)>;

struct RowCase
{
    std::string name;
    Fill fill;
    std::vector<exif::ExifRow> rows;
    std::optional<exif::ExifErrorKind> error;
};

// SOI, APP1 Exif, IFD0 = { Exif pointer -> directory 1 }, directory 1 filled by `fill`.
[[nodiscard]] std::vector<std::uint8_t> cameraFile(testsupport::ByteOrder order, const Fill &fill);

[[nodiscard]] const std::vector<RowCase> &rowCases();

[[nodiscard]] std::string errorText(const std::optional<exif::ExifErrorKind> &kind);

// The one row of a file without Exif.
inline const exif::ExifRow kNoExif {"Exif情報：", "なし"};

// The rows as "label<TAB>value" lines, so that a failed comparison prints them whole.
[[nodiscard]] std::string show(const std::vector<exif::ExifRow> &rows);

} // namespace morvane::exiftest
