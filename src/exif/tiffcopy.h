// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "exif/exifcontainers.h"

#include <optional>

namespace morvane::exif {

// The classic TIFF at `main` of the file (its first directory, with its GPS and interoperability
// directories), joined with the first directory of the classic TIFF at `exif` as its Exif
// directory, copied into one classic TIFF block (`decoded`) as findBigTiffExif() copies. A CR3
// keeps the two apart. `exif` is left out when it is not a TIFF of the same byte order.
[[nodiscard]] ExifBlock joinedTiffs(ByteSource &file, Extent main, std::optional<Extent> exif);

} // namespace morvane::exif
