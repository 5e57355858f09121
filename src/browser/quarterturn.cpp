// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/quarterturn.h"

#include "browser/exifbytes.h"
#include "exif/exifcontainers.h"
#include "exif/orientationwrite.h"
#include "imaging/orientation.h"

#include <algorithm>

namespace morvane::browser {

namespace {

    std::string textOf(const std::vector<std::uint8_t> &v)
    {
        return {v.begin(), v.end()};
    }

} // namespace

std::optional<files::PatchRequest> quarterTurn(const QByteArray &path, bool clockwise)
{
    ExifBytes file(path);
    if (file.status() != ExifBytes::Status::Ok)
        return std::nullopt;
    if (const std::optional<exif::OrientationSlot> slot = exif::jpegOrientationSlot(file)) {
        const int turned = imaging::turnedQuarter(slot->value, clockwise);
        return files::PatchRequest {path,
            {{slot->pos,
                textOf(exif::slotBytes(*slot, slot->value)),
                textOf(exif::slotBytes(*slot, turned))}}};
    }
    // Without the entry the picture is shown as it is stored (value 1): the entry is added. The
    // leading segments mostly end within the first 64 KiB; a large colour profile may need more.
    std::optional<std::vector<exif::ByteEdit>> edits;
    for (const std::uint64_t most :
        {std::uint64_t {64} << 10, std::uint64_t {exif::kOrientationHeadBytes}}) {
        std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min(file.size(), most)));
        if (file.read(0, head) != head.size())
            return std::nullopt;
        edits = exif::jpegOrientationInsert(head, imaging::turnedQuarter(1, clockwise));
        if (edits || head.size() == file.size())
            break;
    }
    if (!edits)
        return std::nullopt;
    files::PatchRequest request {path, {}};
    for (const exif::ByteEdit &e : *edits)
        request.patches.push_back({e.pos, textOf(e.before), textOf(e.after)});
    return request;
}

} // namespace morvane::browser
