// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::browser {

// What identifies one entry of the thumbnail cache: the file's native path (its bytes, which need
// not be UTF-8), the box size in pixels, the JPEG scale shift (0..3) and whether the picture was
// turned upright by its Exif Orientation.
struct ThumbKey
{
    std::string nativePath;
    int boxSize = 0;
    int jpegScale = 0;
    bool upright = false;
};

// What the file was when its entry was written; the entry is valid only while all four are
// unchanged. Times in nanoseconds since the epoch.
struct FileStamp
{
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::int64_t ctimeNs = 0;
    std::uint64_t inode = 0;

    friend bool operator==(const FileStamp &, const FileStamp &) = default;
};

// The facts of one cached picture beside its pixels: the picture's own size, the rectangle of the
// box its pixels are stretched into, and the size of the stored pixels. All in pixels.
struct ThumbFacts
{
    std::int32_t fullWidth = 0;
    std::int32_t fullHeight = 0;
    std::int32_t drawnWidth = 0;
    std::int32_t drawnHeight = 0;
    std::int32_t pixelWidth = 0;
    std::int32_t pixelHeight = 0;
};

// The file name of the entry for `key` (no folder): 16 hexadecimal digits of a hash of the key
// and the extension ".mvt". Two keys may share a name; the entry holds its whole key, so the
// other one reads as a miss and is rewritten.
[[nodiscard]] std::string thumbEntryName(const ThumbKey &key);

// True for a name thumbEntryName() can give.
[[nodiscard]] bool isThumbEntryName(std::string_view name);

// True when `head`, the first bytes of a file with an entry's name, may be an entry this cache
// wrote: it starts with the entry magic, or is empty or zeros (an entry a crash cut short).
[[nodiscard]] bool isThumbEntryHead(std::string_view head);

// True for the name of a temporary file a writer of the cache makes (".tmp-" and six letters or
// digits).
[[nodiscard]] bool isThumbTempName(std::string_view name);

// A 64-bit checksum (FNV-1a) of `size` bytes at `data`.
[[nodiscard]] std::uint64_t thumbChecksum(const unsigned char *data, std::size_t size);

// The bytes of an entry: a header (magic, version, key, stamp, facts, payload length and
// checksum, and a checksum of the header itself) followed by `payload`.
[[nodiscard]] std::string encodeThumbEntry(
    const ThumbKey &key, const FileStamp &stamp, const ThumbFacts &facts, std::string_view payload);

// Why an entry was not used.
enum class ThumbEntryState {
    Valid,
    Damaged, // truncated, wrong magic or version, a checksum that does not match, absurd facts
    OtherKey, // another key that shares the file name
    Stale, // the file changed since the entry was written
};

// The entry read back: its facts and where its payload lies in the bytes parsed.
struct ParsedThumbEntry
{
    ThumbEntryState state = ThumbEntryState::Damaged;
    ThumbFacts facts;
    std::size_t payloadOffset = 0;
    std::size_t payloadSize = 0;
};

// Checks the bytes of an entry against the key and stamp it must have, and the payload against
// its checksum. Facts are checked for sense: drawn sides 0..boxSize, stored sides 1..boxSize
// (pixels are never held larger than the box shows them), full sides positive. Never throws.
[[nodiscard]] ParsedThumbEntry parseThumbEntry(
    std::string_view bytes, const ThumbKey &key, const FileStamp &stamp);

// One file of the cache folder, as the eviction sees it.
struct CacheFile
{
    std::string name;
    std::int64_t bytes = 0;
    std::int64_t lastUseNs = 0; // the entry's modification time: set when written or read
};

// The files to remove so that what stays takes at most `limitBytes`: the least recently used
// first (ties by name, so the choice is the same on every run). Indexes into `files`, in the
// order of removal. A negative limit counts as 0.
[[nodiscard]] std::vector<std::size_t> pickEvictions(
    const std::vector<CacheFile> &files, std::int64_t limitBytes);

// The cache size limit in bytes from the settings text (a whole number of MiB, 0 turns the cache
// off); `fallbackMiB` for text that is no such number or is negative. At most 1 TiB.
[[nodiscard]] std::int64_t cacheLimitBytes(std::string_view text, std::int64_t fallbackMiB);

// Default size limit of the cache, in MiB.
inline constexpr std::int64_t kDefaultCacheLimitMiB = 512;

// Pixels kept as rows of 3-byte RGB where each byte holds the difference to the same byte of the
// pixel on its left (the first pixel of a row as it is): photo rows change slowly, so the
// differences compress far better than the pixels. `pixels` is `width` * `height` 32-bit
// 0xAARRGGBB values, rows `stride` values apart; alpha is dropped. Inverse: fromDeltaRgb, which
// writes opaque pixels (alpha 0xFF), or returns false and writes nothing when `delta` is not
// width * height * 3 bytes.
[[nodiscard]] std::string toDeltaRgb(
    const std::uint32_t *pixels, int width, int height, std::size_t stride);
[[nodiscard]] bool fromDeltaRgb(
    std::string_view delta, int width, int height, std::uint32_t *pixels, std::size_t stride);

} // namespace morvane::browser
