// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::platform {

// True for the bytes that open a double-byte character in code page 932 (0x81-0x9F, 0xE0-0xFC).
[[nodiscard]] constexpr bool isCp932LeadByte(unsigned char b) noexcept
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// True for the bytes that may follow a lead byte as the second byte of a double-byte character
// (0x40-0x7E, 0x80-0xFC).
[[nodiscard]] constexpr bool isCp932TrailByte(unsigned char b) noexcept
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// Code page 932 bytes of a UTF-8 text, plus what is needed to turn them back unchanged.
// Characters that CP932 cannot hold, and bytes that are not valid UTF-8, become two-byte
// placeholders from the user-defined area (lead bytes 0xF0-0xF9); `extras[k]` records what the
// k-th placeholder stands for. So every such character counts as one double-byte character and
// `fromCp932(bytes, extras)` gives back the original text exactly. At most 1880 placeholders fit;
// past that the rest are written as "?" (`lossless` turns false).
struct Cp932Text
{
    std::string bytes;
    std::vector<char32_t> extras; // a code point, or 0xDC00 + byte for an invalid UTF-8 byte
    bool lossless = true;
};

// Any thread. Never throws on bad input.
[[nodiscard]] Cp932Text toCp932(std::string_view utf8);

// Any thread. A placeholder whose index is in `extras` becomes what it stands for; every other
// byte sequence that is not CP932 becomes U+FFFD. A lead byte at the very end becomes U+FFFD.
[[nodiscard]] std::string fromCp932(
    std::string_view cp932, const std::vector<char32_t> &extras = {});

// The UTF-8 text of a file name whose bytes are not valid UTF-8 but are valid code page 932 text,
// every byte a character of the code page or a lead byte with a trail that forms one (names from
// archives made on Japanese Windows). nullopt for valid UTF-8 (which keeps its own reading) and
// for bytes that are neither. Any thread.
[[nodiscard]] std::optional<std::string> cp932Reading(std::string_view name);

// Strict conversion for stored text (the settings file): a character without a CP932 form is
// written as "?" and `ok` turns false. Any thread.
struct Cp932Strict
{
    std::string bytes;
    bool ok = true;
};
[[nodiscard]] Cp932Strict toCp932Strict(std::string_view utf8);

} // namespace morvane::platform
