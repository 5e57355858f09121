// SPDX-License-Identifier: GPL-3.0-or-later
#include "jpegscale.h"

#include <cstdint>
#include <initializer_list>

namespace morvane::imaging {

namespace {

    int scaledSide(int full, int eighths)
    {
        return static_cast<int>((std::int64_t(full) * eighths + 7) / 8);
    }

    bool covers(PixelSize full, int eighths, PixelSize wanted)
    {
        return scaledSide(full.width, eighths) >= wanted.width
            && scaledSide(full.height, eighths) >= wanted.height;
    }

} // namespace

PixelSize jpegScaledSize(PixelSize full, int eighths)
{
    return {scaledSide(full.width, eighths), scaledSide(full.height, eighths)};
}

int jpegShowEighths(PixelSize full, PixelSize atLeast, PixelSize preferred)
{
    if (preferred.width > 0 && preferred.height > 0) {
        for (int eighths : {1, 2, 4}) {
            if (covers(full, eighths, preferred))
                return eighths;
        }
        return 8;
    }
    for (int eighths = 1; eighths < 8; ++eighths) {
        if (covers(full, eighths, atLeast))
            return eighths;
    }
    return 8;
}

} // namespace morvane::imaging
