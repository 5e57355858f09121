// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace morvane::browser {

// Which unit words a byte-count text ends in: the census's (" Byte ) 中 " ...) or the selection
// panel's (" Byte )" ...).
enum class ByteUnits { Census, Selection };

// The byte-count text of `bytes` (UTF-8): number part cut, never rounded, at the thresholds
// 1000 and 1,000,000, followed by the unit word. Negative counts are treated as 0.
[[nodiscard]] std::string byteCountText(std::int64_t bytes, ByteUnits units);

// `CensusText` (UTF-8): " 全 " + files + " file ( " + byte-count text with the census words.
[[nodiscard]] std::string censusText(std::int64_t files, std::int64_t bytes);

// The first status panel's text: `census` + position (1-based, 0 for none) + " file目".
[[nodiscard]] std::string positionText(const std::string &census, std::int64_t position);

} // namespace morvane::browser
