// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The compressed streams containers keep Exif in, each decompressed up to kMaxDecodedBlock.
namespace morvane::exif {

// Inflates a zlib stream; nothing when it is damaged or inflates past kMaxDecodedBlock (a cut
// stream gives what came out).
[[nodiscard]] std::optional<std::vector<std::uint8_t>> inflateBounded(
    std::span<const std::uint8_t> in);

// Brotli-decompresses `in`; nothing when it is damaged, cut, or decompresses past
// kMaxDecodedBlock.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> unbrotliBounded(
    std::span<const std::uint8_t> in);

} // namespace morvane::exif
