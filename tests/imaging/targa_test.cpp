// SPDX-License-Identifier: GPL-3.0-or-later
// The TGA decoder on files built byte by byte: pixel order for each origin, the pixel layouts
// ImageMagick does not write, and hostile headers and data.
#include "imaging/targa.h"

#include <array>
#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using morvane::imaging::decodeTarga;
using morvane::imaging::readTargaHeader;
using morvane::imaging::TargaStatus;
using Bytes = std::vector<std::uint8_t>;

// A header of `type` for a `width` x `height` picture of `bits` bits; `map` is {first, length,
// entry bits} of a colour map (length 0: none).
Bytes header(int type, int width, int height, int bits, int descriptor, std::array<int, 3> map = {})
{
    return {0,
        std::uint8_t(map[1] > 0 ? 1 : 0),
        std::uint8_t(type),
        std::uint8_t(map[0]),
        std::uint8_t(map[0] >> 8),
        std::uint8_t(map[1]),
        std::uint8_t(map[1] >> 8),
        std::uint8_t(map[2]),
        0,
        0,
        0,
        0,
        std::uint8_t(width),
        std::uint8_t(width >> 8),
        std::uint8_t(height),
        std::uint8_t(height >> 8),
        std::uint8_t(bits),
        std::uint8_t(descriptor)};
}

Bytes withId(Bytes file, int idLength)
{
    file[0] = std::uint8_t(idLength);
    return file;
}

Bytes operator+(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

constexpr std::int64_t kLimit = std::int64_t(16384) * 16384;

TEST(TargaTest, DecodesOrRefuses)
{
    struct Case
    {
        const char *name;
        Bytes file;
        TargaStatus status;
        std::vector<std::uint32_t> pixels; // top row first; empty: not compared
    };
    const Case cases[] = {
        {"24 bits from the bottom left",
            header(2, 2, 2, 24, 0) + Bytes {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
            TargaStatus::Decoded,
            {0xFF090807, 0xFF0C0B0A, 0xFF030201, 0xFF060504}},
        {"16 bits from the top right, one alpha bit",
            header(2, 2, 1, 16, 0x31) + Bytes {0x1F, 0x80, 0x00, 0x7C},
            TargaStatus::Decoded,
            {0x00FF0000, 0xFF0000FF}},
        {"grey with alpha",
            header(3, 1, 1, 16, 0x28) + Bytes {0x40, 0x80},
            TargaStatus::Decoded,
            {0x80404040}},
        {"alpha clear everywhere shows opaque",
            header(2, 1, 1, 32, 0x28) + Bytes {1, 2, 3, 0},
            TargaStatus::Decoded,
            {0xFF030201}},
        {"colour map from index 5",
            header(1, 2, 1, 8, 0x20, {5, 2, 24}) + Bytes {1, 2, 3, 4, 5, 6, 6, 5},
            TargaStatus::Decoded,
            {0xFF060504, 0xFF030201}},
        {"index outside the colour map",
            header(1, 1, 1, 8, 0, {0, 2, 24}) + Bytes {1, 2, 3, 4, 5, 6, 2},
            TargaStatus::NotTarga,
            {}},
        {"run across rows",
            header(10, 2, 2, 24, 0x20) + Bytes {0x82, 1, 2, 3, 0x00, 4, 5, 6},
            TargaStatus::Decoded,
            {0xFF030201, 0xFF030201, 0xFF030201, 0xFF060504}},
        {"run past the picture's end is cut",
            header(10, 2, 1, 24, 0x20) + Bytes {0xFF, 1, 2, 3},
            TargaStatus::Decoded,
            {0xFF030201, 0xFF030201}},
        {"raw packet past the data's end",
            header(10, 3, 1, 8 * 3, 0) + Bytes {0x02, 1, 2, 3, 4, 5, 6},
            TargaStatus::NotTarga,
            {}},
        {"runs end before the picture",
            header(11, 300, 1, 8, 0) + Bytes {0xFF, 1, 0xFF, 2, 0x81, 3},
            TargaStatus::NotTarga,
            {}},
        {"cut data", header(2, 2, 2, 24, 0) + Bytes {1, 2, 3}, TargaStatus::NotTarga, {}},
        {"cut header", Bytes {0, 0, 2, 0, 0}, TargaStatus::NotTarga, {}},
        {"width 0", header(2, 0, 5, 24, 0) + Bytes(30), TargaStatus::NotTarga, {}},
        {"65535 x 65535", header(2, 65535, 65535, 24, 0) + Bytes(30), TargaStatus::TooLarge, {}},
        {"65535 x 65535 in runs",
            header(10, 65535, 65535, 24, 0) + Bytes(30),
            TargaStatus::TooLarge,
            {}},
        {"colour-mapped without a map",
            header(1, 1, 1, 8, 0) + Bytes {0},
            TargaStatus::NotTarga,
            {}},
        {"colour map of 12-bit entries",
            header(1, 1, 1, 8, 0, {0, 1, 12}) + Bytes {0, 0, 0},
            TargaStatus::NotTarga,
            {}},
        {"Huffman-coded type", header(32, 1, 1, 8, 0) + Bytes {0}, TargaStatus::NotTarga, {}},
        {"true colour of 8 bits", header(2, 1, 1, 8, 0) + Bytes {0}, TargaStatus::NotTarga, {}},
        {"reserved descriptor bits",
            header(2, 1, 1, 24, 0xC0) + Bytes {1, 2, 3},
            TargaStatus::NotTarga,
            {}},
        {"identification past the end",
            withId(header(2, 1, 1, 24, 0), 200) + Bytes {1, 2, 3},
            TargaStatus::NotTarga,
            {}},
        {"text",
            Bytes {'n',
                'o',
                't',
                ' ',
                'a',
                ' ',
                'p',
                'i',
                'c',
                't',
                'u',
                'r',
                'e',
                '\n',
                'x',
                'x',
                'x',
                'x'},
            TargaStatus::NotTarga,
            {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto parsed = readTargaHeader(c.file, kLimit);
        if (parsed.status != TargaStatus::Decoded) {
            EXPECT_EQ(parsed.status, c.status);
            continue;
        }
        // Exactly the picture's pixels: a write past them shows under the address sanitizer.
        std::vector<std::uint32_t> out(std::size_t(parsed.info.width * parsed.info.height));
        EXPECT_EQ(decodeTarga(c.file, parsed.info, out.data(), parsed.info.width), c.status);
        if (!c.pixels.empty()) {
            EXPECT_EQ(out, c.pixels);
        }
    }
}

} // namespace
