// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace morvane::browser {

// The date-time text of a last-write time given as local civil time: seconds cut to the file
// system's two-second stamp, then "yyyy/MM/dd H:mm:ss"; at exactly midnight (after the cut) the
// date alone. Out-of-range fields are written as they are, never crash.
[[nodiscard]] std::string dateTimeText(
    int year, int month, int day, int hour, int minute, int second);

} // namespace morvane::browser
