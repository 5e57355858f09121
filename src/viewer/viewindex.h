// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Index arithmetic over `PictureList`, the five strings per picture that the open command
// fills: full path, size in bytes, date-time text, width, height. A picture is addressed by the
// index of its first string, a multiple of 5. Pure logic, any thread, never throws.
namespace morvane::viewer {

inline constexpr std::int32_t kRecordStrings = 5;

// The five strings of one picture; views into the list, valid while the list is unchanged.
struct PictureRecord
{
    std::string_view path;
    std::string_view size;
    std::string_view dateTime;
    std::string_view width;
    std::string_view height;
};

// The record that starts at `PictureIndex`; nullopt when the index is negative, not a multiple of
// 5, or the record does not lie wholly inside the list (a stale index never reads past the end).
[[nodiscard]] std::optional<PictureRecord> pictureRecord(
    const std::vector<std::string> &PictureList, std::int32_t PictureIndex);

// Number of pictures: the list's count div 5.
[[nodiscard]] std::int64_t pictureCount(std::size_t listCount) noexcept;

// 1-based position of the picture at `PictureIndex`: PictureIndex div 5 + 1.
[[nodiscard]] std::int64_t picturePosition(std::int32_t PictureIndex) noexcept;

// Index of the record whose path equals `OpenPath` byte for byte (the first one from the top);
// nullopt when no record holds it. Only first strings of records are compared.
[[nodiscard]] std::optional<std::int32_t> findPicture(
    const std::vector<std::string> &PictureList, std::string_view OpenPath);

// The forward step: the index of the next picture, or nullopt when the current one is the last
// (PictureIndex >= count - 5): the caller then beeps and stops the slideshow. Never wraps.
[[nodiscard]] std::optional<std::int32_t> nextPictureIndex(
    std::int32_t PictureIndex, std::size_t listCount) noexcept;

// The backward step: the index of the previous picture, or nullopt on the first one
// (PictureIndex < 1) or with an empty list: the caller then beeps. Never wraps. A stale index
// beyond the list steps to the last record.
[[nodiscard]] std::optional<std::int32_t> previousPictureIndex(
    std::int32_t PictureIndex, std::size_t listCount) noexcept;

// A width or height string of a record as an integer. The list builder writes plain decimal
// digits; any other text, or a number above 2147483647, gives 0 (an empty picture).
[[nodiscard]] std::int32_t recordDimension(std::string_view text) noexcept;

} // namespace morvane::viewer
