// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the Exif walk and its rows. Besides the sanitizers' own checks it traps
// when a result breaks what the callers rely on: rows that are not UTF-8, too many rows, an
// error without a message, or a shortened file whose rows are not a prefix of the whole file's
// rows (a read inside the shorter file sees the same bytes, so only the end can differ), or a
// walk through a cache of one block whose result differs from the usual walk's.
#include "exif/exifrows.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace {

bool validUtf8(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t len = 1;
        std::uint32_t cp = b;
        if (b >= 0x80) {
            if (b >= 0xC2 && b <= 0xDF) {
                len = 2;
                cp = b & 0x1FU;
            } else if (b >= 0xE0 && b <= 0xEF) {
                len = 3;
                cp = b & 0x0FU;
            } else if (b >= 0xF0 && b <= 0xF4) {
                len = 4;
                cp = b & 0x07U;
            } else {
                return false;
            }
            if (i + len > s.size())
                return false;
            for (std::size_t k = 1; k < len; ++k) {
                const auto c = static_cast<unsigned char>(s[i + k]);
                if ((c & 0xC0) != 0x80)
                    return false;
                cp = cp << 6 | (c & 0x3FU);
            }
            const std::uint32_t minimum = len == 2 ? 0x80 : len == 3 ? 0x800 : 0x10000;
            if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                return false;
        }
        i += len;
    }
    return true;
}

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

void checkResult(const morvane::exif::ExifResult &r)
{
    using morvane::exif::ExifErrorKind;
    check(r.rows.size() <= morvane::exif::kMaxRows);
    for (const auto &row : r.rows) {
        check(!row.label.empty() && !row.value.empty());
        check(validUtf8(row.label) && validUtf8(row.value));
    }
    if (r.error) {
        check(!r.error->message.empty());
        check(r.error->kind != ExifErrorKind::OpenFailed
            && r.error->kind != ExifErrorKind::OutOfMemory);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::span<const std::uint8_t> file(data, size);
    const morvane::exif::ExifResult whole = morvane::exif::summaryRows(file);
    checkResult(whole);
    // Through a cache of a single block, evicted at every jump, the walk reads the same bytes.
    morvane::exif::MemorySource source(file);
    const morvane::exif::ExifResult blockwise =
        morvane::exif::summaryRows(source, morvane::exif::kReadBlockBytes);
    check(blockwise.rows == whole.rows && blockwise.error == whole.error);
    if (size == 0)
        return 0;

    // The last byte chooses how far before the end (up to 256 bytes) the shorter copy ends.
    const std::size_t cut = size - 1 - data[size - 1] % size;
    const morvane::exif::ExifResult part = morvane::exif::summaryRows(file.first(cut));
    checkResult(part);
    check(part.rows.size() <= whole.rows.size());
    for (std::size_t i = 0; i < part.rows.size(); ++i)
        check(part.rows[i] == whole.rows[i]);
    return 0;
}
