// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "exif/exifreader.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The Exif summary rows: the labelled rows that `ExifList` appends to the "Exif" tab's grid
// from row 6 on (rows 0 to 5 belong to the file information panel), one per accepted entry in
// the order the reader meets them.
namespace morvane::exif {

// One grid row: column 0 (a Japanese label ending in "：") and column 1. Both UTF-8.
struct ExifRow
{
    std::string label;
    std::string value;

    friend bool operator==(const ExifRow &, const ExifRow &) = default;
};

// What one `ExifList` call appends: the rows in order and, when the walk ended early, the error
// that ended it (its message goes to the general error report; the rows before it stay).
// A file without a start-of-image marker in its first 256 bytes gives no rows and no error.
struct ExifResult
{
    std::vector<ExifRow> rows;
    std::optional<ExifError> error;
};

// At most this many rows are kept for one file (a camera file has about 20). A hostile file
// could otherwise produce millions; rows past the limit are dropped, but the walk and its
// failures go on exactly as without the limit.
inline constexpr std::size_t kMaxRows = 1000;

// The rows of the file `file`, read as walkExif reads it: only the blocks the walk reaches, each
// at most once for a file up to kReadCacheBytes. Keeps nothing and never throws on bad input; a
// 50 MB file costs one pass over it at most. A file that shrinks or fails while it is read gives
// the read error after the rows met before. The caller turns `error` into the user error (and
// reports OpenFailed itself when the file cannot be opened). Text values from the file are passed
// on when they are UTF-8 and otherwise decoded as code page 932, so every row is valid UTF-8.
// `cacheBytes` as for walkExif. Any thread.
[[nodiscard]] ExifResult summaryRows(ByteSource &file, std::size_t cacheBytes = kReadCacheBytes);
// The same over the whole content of a file in memory.
[[nodiscard]] ExifResult summaryRows(std::span<const std::uint8_t> file);
[[nodiscard]] ExifResult summaryRows(std::string_view file);

// The rules by which the rows turn numbers into text; exposed for their own tests.

// Shortest decimal form with at most 15 significant digits, "." as the decimal point whatever
// the locale, no trailing zeros or point; scientific notation ("1e+15", "1e-05") only below
// 0.0001 or from 15 integer digits on. `value` must be finite.
[[nodiscard]] std::string generalFloat(double value);

// A rounding or truncation to a 64-bit integer: the value, or the fault that stops the walk
// (InvalidOperation for NaN, infinities and results outside the 64-bit range).
struct IntegerResult
{
    std::int64_t value = 0;
    std::optional<ExifErrorKind> fault;
};

// Nearest integer, a half going to the even neighbour (2.5 gives 2, 7.5 gives 8, -2.5 gives -2).
[[nodiscard]] IntegerResult roundHalfEven(double value);
// Toward zero (2.9 gives 2, -2.9 gives -2).
[[nodiscard]] IntegerResult truncateTowardZero(double value);

} // namespace morvane::exif
