// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Truevision TGA pictures (pure): colour-mapped, true-colour and grey, plain or run-length
// encoded, with or without the footer of the format's later revision. TGA has no signature, so
// a file is taken as TGA only when every header field is sound and the picture's data fits the
// file.

#include <cstddef>
#include <cstdint>
#include <span>

namespace morvane::imaging {

// What the header says, once checked.
struct TargaInfo
{
    int width = 0;
    int height = 0;
    // The picture may carry transparency: the header gives it alpha bits (32-bit true colour,
    // 16-bit true colour or map entries with one attribute bit, grey with alpha).
    bool alpha = false;
};

enum class TargaStatus {
    Decoded,
    NotTarga, // a header field out of range, an unsupported type, cut or malformed data
    TooLarge, // more pixels than the caller's limit
};

struct TargaHeaderResult
{
    TargaStatus status = TargaStatus::NotTarga;
    TargaInfo info;
};

// Reads and checks the header of the TGA file `file`: image type 1, 2, 3, 9, 10 or 11, a pixel
// depth its type allows (colour-mapped: 8 or 16-bit indices into 15/16/24/32-bit entries; true
// colour: 15, 16, 24 or 32 bits; grey: 8 bits, or 16 with alpha), both sides at least 1, the
// identification field and colour map inside the file, and at least the bytes its data needs
// (every pixel for plain data, one packet per 128 pixels for run-length data). More than
// `maxPixels` pixels is TooLarge. Nothing is allocated.
[[nodiscard]] TargaHeaderResult readTargaHeader(
    std::span<const std::uint8_t> file, std::int64_t maxPixels);

// Decodes the picture whose header readTargaHeader() accepted as `info` into `out`: `info.height`
// rows of `info.width` pixels, top row first, `stride` pixels apart, each 0xAARRGGBB (not
// premultiplied; 0xFF alpha when the picture has none). Both origins and both directions are
// turned into that order. A run-length packet that reaches past the picture's end is cut there.
// NotTarga when the data ends early or an index lies outside the colour map; `out` then holds
// the rows decoded so far. A picture whose alpha is zero everywhere is shown opaque: writers
// that leave the alpha bits unused write zeros there.
[[nodiscard]] TargaStatus decodeTarga(std::span<const std::uint8_t> file,
    const TargaInfo &info,
    std::uint32_t *out,
    std::ptrdiff_t stride);

} // namespace morvane::imaging
