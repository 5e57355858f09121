// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/selectionpanel.h"

#include "browser/census.h"

#include <charconv>

namespace morvane::browser {

std::string selectionText(std::int64_t count, std::int64_t bytes)
{
    return " 選択  " + std::to_string(count < 0 ? 0 : count) + " file ( "
        + byteCountText(bytes, ByteUnits::Selection);
}

std::string pictureSizeText(std::string_view width, std::string_view height)
{
    std::string out = " ";
    out += width;
    out += " x ";
    out += height;
    out += " Pixel";
    return out;
}

std::int64_t recordedSize(std::string_view text)
{
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return 0;
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return 0;
    return value;
}

} // namespace morvane::browser
