// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/datetimetext.h"

#include <cstdlib>

namespace morvane::browser {
namespace {

    // `value` in decimal, zero-padded on the left to `width` digits (a "-" comes first).
    std::string padded(int value, std::size_t width)
    {
        const long long v = value;
        std::string digits = std::to_string(std::llabs(v));
        if (digits.size() < width)
            digits.insert(0, width - digits.size(), '0');
        return v < 0 ? "-" + digits : digits;
    }

} // namespace

std::string dateTimeText(int year, int month, int day, int hour, int minute, int second)
{
    // The file system's stamp counts seconds in steps of two; odd seconds are cut, not rounded.
    const int stamped = second - second % 2;
    std::string text = padded(year, 4) + '/' + padded(month, 2) + '/' + padded(day, 2);
    if (hour == 0 && minute == 0 && stamped == 0)
        return text;
    text += ' ';
    text += padded(hour, 1) + ':' + padded(minute, 2) + ':' + padded(stamped, 2);
    return text;
}

} // namespace morvane::browser
