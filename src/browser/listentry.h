// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "browser/thumbform.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace morvane {

// Indexes of the five sub-items of a list item (`FileRecord`).
enum FileRecordField {
    KindFlag = 0,
    SizeField = 1,
    DateTimeField = 2,
    WidthField = 3,
    HeightField = 4
};

// One item of the file list as the list builder hands it over: the caption, the file's native
// name (to reach the file even when its name is not UTF-8), the compact form of its `BoxSize` x
// `BoxSize` box (drawn on demand: thumb.box()), and the five sub-items ("0"/"1", size, date-time
// text, width, height).
struct ListEntry
{
    QString caption;
    QByteArray nativeName;
    ThumbForm thumb;
    QStringList record;
    // What the sort orders other than by name compare: the last-write time, the size, and the
    // Exif date taken, looked up only when the list is first sorted by it (takenKnown).
    std::int64_t modifiedNs = 0;
    std::int64_t sizeBytes = 0;
    std::optional<std::int64_t> taken;
    bool takenKnown = false;
    // The live build's handle on the item while its box is being filled (unique per item); 0
    // when no build fills it.
    quint64 liveId = 0;

    // The kind flag: "0" a picture, "1" any other file.
    [[nodiscard]] bool isPicture() const { return record.value(KindFlag) == u"0"; }
    [[nodiscard]] bool isOtherFile() const { return record.value(KindFlag) == u"1"; }
};

} // namespace morvane
