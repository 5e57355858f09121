// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/viewindex.h"

#include <algorithm>
#include <limits>

namespace morvane::viewer {

std::optional<PictureRecord> pictureRecord(
    const std::vector<std::string> &PictureList, std::int32_t PictureIndex)
{
    if (PictureIndex < 0 || PictureIndex % kRecordStrings != 0)
        return std::nullopt;
    const auto first = static_cast<std::size_t>(PictureIndex);
    if (first + kRecordStrings > PictureList.size())
        return std::nullopt;
    return PictureRecord {PictureList[first],
        PictureList[first + 1],
        PictureList[first + 2],
        PictureList[first + 3],
        PictureList[first + 4]};
}

std::int64_t pictureCount(std::size_t listCount) noexcept
{
    return static_cast<std::int64_t>(listCount / kRecordStrings);
}

std::int64_t picturePosition(std::int32_t PictureIndex) noexcept
{
    return std::int64_t {PictureIndex} / kRecordStrings + 1;
}

std::optional<std::int32_t> findPicture(
    const std::vector<std::string> &PictureList, std::string_view OpenPath)
{
    const std::size_t limit = std::min<std::size_t>(
        PictureList.size(), std::size_t {std::numeric_limits<std::int32_t>::max()});
    for (std::size_t i = 0; i + kRecordStrings <= limit; i += kRecordStrings) {
        if (PictureList[i] == OpenPath)
            return static_cast<std::int32_t>(i);
    }
    return std::nullopt;
}

std::optional<std::int32_t> nextPictureIndex(
    std::int32_t PictureIndex, std::size_t listCount) noexcept
{
    const std::int64_t count = static_cast<std::int64_t>(
        std::min<std::size_t>(listCount, std::numeric_limits<std::int32_t>::max()));
    if (std::int64_t {PictureIndex} >= count - kRecordStrings)
        return std::nullopt;
    if (PictureIndex < 0)
        return 0;
    return PictureIndex + kRecordStrings;
}

std::optional<std::int32_t> previousPictureIndex(
    std::int32_t PictureIndex, std::size_t listCount) noexcept
{
    const std::int64_t pictures =
        pictureCount(std::min<std::size_t>(listCount, std::numeric_limits<std::int32_t>::max()));
    if (PictureIndex < 1 || pictures == 0)
        return std::nullopt;
    const std::int64_t last = (pictures - 1) * kRecordStrings;
    std::int64_t previous = std::int64_t {PictureIndex} - kRecordStrings;
    if (previous > last)
        previous = last;
    if (previous < 0)
        previous = 0;
    return static_cast<std::int32_t>(previous);
}

std::int32_t recordDimension(std::string_view text) noexcept
{
    if (text.empty())
        return 0;
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<std::int32_t>::max())
            return 0;
    }
    return static_cast<std::int32_t>(value);
}

} // namespace morvane::viewer
