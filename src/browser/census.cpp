// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/census.h"

namespace morvane::browser {
namespace {

    // Q "." followed by the first `digits` digits of the remainder written with `width` digits.
    std::string withFraction(std::int64_t q, std::int64_t remainder, std::size_t width)
    {
        std::string out = std::to_string(q);
        std::size_t digits = 0;
        if (q >= 1 && q <= 9)
            digits = 2;
        else if (q >= 10 && q <= 99)
            digits = 1;
        if (digits == 0)
            return out;
        std::string rem = std::to_string(remainder);
        if (rem.size() < width)
            rem.insert(0, width - rem.size(), '0');
        out += '.';
        out += rem.substr(0, digits);
        return out;
    }

} // namespace

std::string byteCountText(std::int64_t bytes, ByteUnits units)
{
    const bool census = units == ByteUnits::Census;
    if (bytes < 0)
        bytes = 0;
    if (bytes <= 1000)
        return std::to_string(bytes) + (census ? " Byte ) 中 " : " Byte )");
    if (bytes <= 1000000)
        return withFraction(bytes / 1000, bytes % 1000, 3) + (census ? " KByte ) 中 " : " KByte )");
    return withFraction(bytes / 1000000, bytes % 1000000, 6)
        + (census ? " MByte ) 中 " : " MByte )");
}

std::string censusText(std::int64_t files, std::int64_t bytes)
{
    return " 全 " + std::to_string(files < 0 ? 0 : files) + " file ( "
        + byteCountText(bytes, ByteUnits::Census);
}

std::string positionText(const std::string &census, std::int64_t position)
{
    return census + std::to_string(position < 0 ? 0 : position) + " file目";
}

} // namespace morvane::browser
