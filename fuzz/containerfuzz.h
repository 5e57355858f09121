// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What every container fuzz target checks: the parser's block lies inside the file and within
// the bounds it promises, and the walk over it, the whole file's rows and its orientation end
// without a sanitizer report and with results the callers can use.
#include "exif/exifcontainers.h"
#include "exif/exifrows.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace morvane::fuzz {

inline void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

inline void checkRows(const exif::ExifResult &r)
{
    check(r.rows.size() <= exif::kMaxRows);
    for (const auto &row : r.rows)
        check(!row.label.empty() && !row.value.empty());
    if (r.error)
        check(!r.error->message.empty() && r.error->kind != exif::ExifErrorKind::OpenFailed
            && r.error->kind != exif::ExifErrorKind::OutOfMemory);
}

template <class Find> int fuzzContainer(std::span<const std::uint8_t> file, Find find)
{
    exif::MemorySource source(file);
    const exif::ExifBlock block = find(source);
    using Status = exif::ExifBlock::Status;
    // Bytes in memory never fail to read.
    check(block.status != Status::ReadError);
    if (block.status == Status::Found) {
        check(block.decoded.size() <= exif::kMaxDecodedBlock);
        check(block.extents.size() <= exif::kMaxExtents);
        check(block.decoded.empty() != block.extents.empty());
        for (const exif::Extent &e : block.extents)
            check(e.size > 0 && e.pos < file.size() && e.size <= file.size() - e.pos);
        exif::BlockSource inner(source, block);
        checkRows(exif::summaryRows(inner));
        const auto o = exif::orientation(inner);
        check(!o || (*o >= 1 && *o <= 8));
    } else {
        check(block.extents.empty() && block.decoded.empty());
    }
    checkRows(exif::summaryRows(file));
    const auto o = exif::orientation(file);
    check(!o || (*o >= 1 && *o <= 8));
    return 0;
}

} // namespace morvane::fuzz
