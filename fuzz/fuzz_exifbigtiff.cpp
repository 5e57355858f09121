// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the BigTIFF parser that locates the Exif block, then the walk
// over it.
#include "containerfuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return morvane::fuzz::fuzzContainer(std::span(data, size), [](morvane::exif::ByteSource &s) {
        return morvane::exif::findBigTiffExif(s);
    });
}
