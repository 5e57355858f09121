// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for TIFF-based files (TIFF and the RAW magics, walked from their own first
// directory) and RAF (the JPEG preview its header points at): the input's bytes go through the
// same choice by magic as any file, and the RAF parser is checked on its own.
#include "containerfuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return morvane::fuzz::fuzzContainer(std::span(data, size), [](morvane::exif::ByteSource &s) {
        return morvane::exif::findRafJpeg(s);
    });
}
