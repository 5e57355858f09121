// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/quarterturn.h"

#include "browser/exifbytes.h"
#include "exif/exifcontainers.h"
#include "imaging/orientation.h"

namespace morvane::browser {

namespace {

    QByteArray bytesOf(const std::vector<std::uint8_t> &v)
    {
        return {reinterpret_cast<const char *>(v.data()), static_cast<qsizetype>(v.size())};
    }

} // namespace

std::optional<files::PatchRequest> quarterTurn(const QByteArray &path, bool clockwise)
{
    ExifBytes file(path);
    if (file.status() != ExifBytes::Status::Ok)
        return std::nullopt;
    const std::optional<exif::OrientationSlot> slot = exif::jpegOrientationSlot(file);
    if (!slot)
        return std::nullopt;
    const int turned = imaging::turnedQuarter(slot->value, clockwise);
    return files::PatchRequest {path,
        slot->pos,
        bytesOf(exif::slotBytes(*slot, slot->value)),
        bytesOf(exif::slotBytes(*slot, turned))};
}

} // namespace morvane::browser
