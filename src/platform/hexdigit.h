// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace morvane::platform {

// The value of one hexadecimal digit (either case), or -1 for any other byte.
[[nodiscard]] constexpr int hexDigit(unsigned char c) noexcept
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace morvane::platform
