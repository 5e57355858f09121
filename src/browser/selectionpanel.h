// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The texts the selection handling writes into the status panels, and the reading of a recorded
// size. All texts UTF-8.
namespace morvane::browser {

// The second status panel: " 選択 " + " " + `count` + " file ( " + the byte-count text of
// `bytes` with the selection unit words (" Byte )", " KByte )", " MByte )"). Negative values
// count as 0.
[[nodiscard]] std::string selectionText(std::int64_t count, std::int64_t bytes);

// The third status panel for one selected picture: " " + width + " x " + height + " Pixel", the
// two texts as the list records them.
[[nodiscard]] std::string pictureSizeText(std::string_view width, std::string_view height);

// The third status panel for one selected file that is not a picture.
inline constexpr std::string_view kNoPictureSizeText = " 画像サイズ";

// A recorded size (decimal digits) as a byte count. Text that is not a plain non-negative
// decimal number, or one beyond the 64-bit range, counts as 0: the sum of a selection must never
// fail over one odd record.
[[nodiscard]] std::int64_t recordedSize(std::string_view text);

} // namespace morvane::browser
