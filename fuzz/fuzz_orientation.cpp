// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the readers of the Exif Orientation in JPEG, PNG, WebP and TIFF files.
// The whole input is the file, given to each reader. Besides the sanitizers' own checks it traps
// when a reader gives a value outside 0..8, or when the TIFF reader's answer for a JPEG's Exif
// block differs from the JPEG reader's.
#include "imaging/orientation.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

using namespace morvane::imaging;

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::span<const unsigned char> file(data, size);
    for (const int o :
        {tiffOrientation(file), jpegOrientation(file), pngOrientation(file), webpOrientation(file)})
        check(o >= 0 && o <= 8);
    // A JPEG whose first segment is the Exif block: both readers see the same TIFF bytes.
    if (size >= 12 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF && data[3] == 0xE1
        && std::memcmp(data + 6, "Exif\0\0", 6) == 0) {
        const std::size_t length = (std::size_t(data[4]) << 8) | data[5];
        if (length >= 8 && 4 + length <= size)
            check(jpegOrientation(file) == tiffOrientation(file.subspan(12, length - 8)));
    }
    return 0;
}
