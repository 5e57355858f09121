// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/filepatch.h"

#include <QByteArray>

#include <optional>

namespace morvane::browser {

// The rewrite of the file `path` that shows its picture turned a quarter clockwise or
// anticlockwise, without re-encoding anything: the new value of its Exif Orientation written over
// the old one, or, for a JPEG without the entry, the entry added (see
// exif::jpegOrientationInsert). Nothing for a file whose orientation cannot be written so: not a
// JPEG, or one whose Exif segment cannot take the entry. Reads only the file's first segments.
// Any thread.
[[nodiscard]] std::optional<files::PatchRequest> quarterTurn(
    const QByteArray &path, bool clockwise);

} // namespace morvane::browser
