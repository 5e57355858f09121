// SPDX-License-Identifier: GPL-3.0-or-later
// exif-bigfile OUT MEGABYTES same|scattered|camera
// Writes a JPEG-like file of the given size for timing the Exif walk:
//   same       IFD0 is one run of ExposureTime entries up to the end of the file, all pointing at
//              one rational: the walk steps through the whole file and formats every entry;
//   scattered  the same run, each entry pointing at another place spread over the whole file
//              (the worst case for reading on demand);
//   camera     a small camera-like Exif block, then data up to the size: the walk reads the start.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void put16(std::vector<std::uint8_t> &out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t> &out, std::uint32_t v)
{
    put16(out, static_cast<std::uint16_t>(v));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}

void entry(std::vector<std::uint8_t> &out,
    std::uint16_t tag,
    std::uint16_t type,
    std::uint32_t count,
    std::uint32_t value)
{
    put16(out, tag);
    put16(out, type);
    put32(out, count);
    put32(out, value);
}

// SOI, APP1 with a nominal length, "Exif\0\0", then a little-endian TIFF header whose IFD0
// stands at `ifd0` (offsets count from the "II").
std::vector<std::uint8_t> header(std::uint32_t ifd0)
{
    std::vector<std::uint8_t> out = {
        0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xFF, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0};
    put32(out, ifd0);
    return out;
}

constexpr std::size_t kTiffStart = 12;
constexpr std::uint16_t kExposureTime = 0x829A;
constexpr std::uint16_t kRationalType = 5;

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fputs("usage: exif-bigfile OUT MEGABYTES same|scattered|camera\n", stderr);
        return 2;
    }
    const std::string mode = argv[3];
    const std::size_t size = static_cast<std::size_t>(std::strtoull(argv[2], nullptr, 10)) << 20;
    std::vector<std::uint8_t> out;
    if (mode == "same" || mode == "scattered") {
        // The one rational (1/125) stands between the header and IFD0.
        out = header(16);
        put32(out, 1);
        put32(out, 125);
        put16(out, 0xFFFF); // IFD0's entry count, which the walk skips
        const std::size_t first = out.size();
        const std::size_t entries = (size - first) / 12;
        out.reserve(first + entries * 12);
        std::uint64_t state = 88172645463325252ULL;
        for (std::size_t i = 0; i < entries; ++i) {
            std::uint32_t offset = 8;
            if (mode == "scattered") {
                // xorshift: any entry's first byte; read as a rational, an entry gives
                // 0x0005829A / 1.
                state ^= state << 13;
                state ^= state >> 7;
                state ^= state << 17;
                offset = static_cast<std::uint32_t>(first - kTiffStart + (state % entries) * 12);
            }
            entry(out, kExposureTime, kRationalType, 1, offset);
        }
    } else if (mode == "camera") {
        out = header(8);
        put16(out, 3);
        entry(out, 0x010F, 2, 4, 'A' | 'B' << 8 | 'C' << 16);
        entry(out, 0x0110, 2, 4, 'X' | 'Y' << 8 | 'Z' << 16);
        entry(out, 0x8827, 3, 1, 200);
        put32(out, 0);
        out.resize(size, 0x5A);
    } else {
        std::fputs("exif-bigfile: mode is same, scattered or camera\n", stderr);
        return 2;
    }
    std::FILE *f = std::fopen(argv[1], "wb");
    if (f == nullptr || std::fwrite(out.data(), 1, out.size(), f) != out.size()
        || std::fclose(f) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
