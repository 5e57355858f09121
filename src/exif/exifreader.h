// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The Exif reader: walks the directory entries of a picture file's Exif block and hands each
// entry with a recognised tag, in the order met, to a sink. In a JPEG the block is the APP1
// segment right after the start-of-image marker or, failing that, the first APP1 segment with
// the Exif identifier among the leading segments (after a JFIF APP0, say); other containers
// (TIFF and RAW, PNG, WebP, HEIF/AVIF, JPEG XL: exifcontainers.h) locate it by their own
// structure. The reader is narrow on purpose: 18 tags recognised by number, a value width fixed
// per tag, entry types and directory entry counts ignored. See exifrows.h for the rows.
namespace morvane::exif {

// Why a walk (or the reading of the file before it) ended early.
enum class ExifErrorKind {
    OpenFailed, // the file cannot be opened (reported by the caller that reads the file)
    OutOfMemory, // no memory for the bytes the walk reads
    ReadPastEnd, // a read would run past the end of the file
    DivisionByZero, // a rational with denominator 0 (and a non-zero numerator)
    InvalidOperation, // 0/0, or a result too large to round to a 64-bit integer
    Overflow, // 2 raised to a power beyond the floating-point range
};

// An error with the Japanese message the user sees (UTF-8).
struct ExifError
{
    ExifErrorKind kind = ExifErrorKind::ReadPastEnd;
    std::string message;

    friend bool operator==(const ExifError &, const ExifError &) = default;
};

// The error of `kind` with its message. `path` (UTF-8) is used only by OpenFailed, whose message
// names the file. Any thread.
[[nodiscard]] ExifError makeError(ExifErrorKind kind, std::string_view path = {});

// Tag numbers the reader recognises (TIFF and Exif numbering).
namespace tag {
    inline constexpr std::uint16_t End = 0x0000;
    inline constexpr std::uint16_t Make = 0x010F;
    inline constexpr std::uint16_t Model = 0x0110;
    inline constexpr std::uint16_t ExposureTime = 0x829A;
    inline constexpr std::uint16_t FNumber = 0x829D;
    inline constexpr std::uint16_t ExifPointer = 0x8769;
    inline constexpr std::uint16_t ExposureProgram = 0x8822;
    inline constexpr std::uint16_t IsoSpeedRatings = 0x8827;
    inline constexpr std::uint16_t DateTimeOriginal = 0x9003;
    inline constexpr std::uint16_t CompressedBitsPerPixel = 0x9102;
    inline constexpr std::uint16_t ShutterSpeedValue = 0x9201;
    inline constexpr std::uint16_t ApertureValue = 0x9202;
    inline constexpr std::uint16_t ExposureBiasValue = 0x9204;
    inline constexpr std::uint16_t MaxApertureValue = 0x9205;
    inline constexpr std::uint16_t MeteringMode = 0x9207;
    inline constexpr std::uint16_t Flash = 0x9209;
    inline constexpr std::uint16_t FocalLength = 0x920A;
    inline constexpr std::uint16_t PixelXDimension = 0xA002;
    inline constexpr std::uint16_t PixelYDimension = 0xA003;
} // namespace tag

// The four bytes of `value` in reverse order. Total.
[[nodiscard]] constexpr std::uint32_t swapLong(std::uint32_t value) noexcept
{
    return (value >> 24) | ((value >> 8) & 0x0000FF00U) | ((value << 8) & 0x00FF0000U)
        | (value << 24);
}

// What kind of value a recognised tag carries.
enum class ValueKind { Text, Short, Rational };

// The kind of `t`, or nothing for tags the reader steps over (and for End and ExifPointer,
// which steer the walk instead of carrying a value).
[[nodiscard]] std::optional<ValueKind> valueKindOf(std::uint16_t t) noexcept;

// At most this many bytes of a text are examined and kept; the rest of a longer text is checked
// to lie inside the file but not read, and the entry says that it was cut.
inline constexpr std::size_t kMaxTextBytes = 1024;

// One decoded entry. Only the fields of the tag's kind are meaningful.
struct ExifEntry
{
    std::uint16_t tag = 0;
    // Text: the stored bytes with every byte below 0x14 (NUL included) dropped wherever it
    // stands; the encoding is whatever the file used (normally ASCII).
    std::string text;
    bool textCut = false; // the text was longer than kMaxTextBytes
    // Short: 0-65535; PixelX/YDimension stored as 32-bit values carry the full 32-bit value.
    std::uint32_t number = 0;
    // Rational: the two 32-bit terms as stored (byte order applied). Whether the numerator is
    // signed is the sink's business.
    std::uint32_t numerator = 0;
    std::uint32_t denominator = 0;
};

// How much of an entry's value the sink wants.
enum class ValueRequest {
    Decode, // read the value and hand the entry to entry()
    CheckOnly, // perform the reads' bounds checks (a value past the end still fails) only
    Skip, // read nothing; the entry cannot fail
};

// Receives what the walk finds, in walk order.
class ExifEntrySink
{
public:
    virtual ~ExifEntrySink() = default;
    // The file has no Exif block: a JPEG without an Exif segment among its leading segments,
    // or a container without one; the walk does not start. Called at most once.
    virtual void noExif() = 0;
    // Asked before the value of a recognised tag is read.
    [[nodiscard]] virtual ValueRequest request(std::uint16_t t) const = 0;
    // A decoded entry; returning an error ends the walk with it.
    [[nodiscard]] virtual std::optional<ExifError> entry(const ExifEntry &e) = 0;
};

// Where the walk reads a file: positioned reads on demand, so a file need be neither held in
// memory nor mapped (a mapping's pages fault when the file shrinks while it is read).
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    // The file's size in bytes when it was opened: the walk's end of the file.
    [[nodiscard]] virtual std::uint64_t size() const = 0;
    // Reads the `out.size()` bytes at `pos` (the walk asks only inside size()) and returns how many
    // were read: fewer when the file has shrunk since it was opened or a read failed, which ends
    // the walk with the read error. Never throws.
    [[nodiscard]] virtual std::size_t read(std::uint64_t pos, std::span<std::uint8_t> out) = 0;
    // Told once, before the first read, of the memory the walk keeps the file's blocks in (not
    // initialised): a source may advise the system about it, for instance to back it with large
    // pages. Block k of a file up to kReadCacheBytes stands at k * kReadBlockBytes.
    virtual void cacheReserved(std::span<std::uint8_t> cache) noexcept { (void)cache; }
};

// Bytes in memory as a source (not copied; they must outlive it).
class MemorySource final : public ByteSource
{
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) noexcept
        : m_bytes(bytes)
    {}
    [[nodiscard]] std::uint64_t size() const override { return m_bytes.size(); }
    [[nodiscard]] std::size_t read(std::uint64_t pos, std::span<std::uint8_t> out) override;

private:
    std::span<const std::uint8_t> m_bytes;
};

// The walk keeps what it has read in blocks of this many bytes, at most kReadCacheBytes of them
// (less for a smaller file): a file up to that size is read at most once, however its offsets
// jump, and a larger one costs no more memory.
inline constexpr std::size_t kReadBlockBytes = 16384;
inline constexpr std::size_t kReadCacheBytes = std::size_t {64} << 20;

// Walks `file` and feeds `sink`. The container is chosen by the first bytes (containerOf); the
// walk of a block a container parser found ends at the block's end, the walk of a JPEG at the
// file's end. Returns the error that ended the walk, or nothing after a normal end: no
// start-of-image marker in the first 256 bytes (or in a shorter file) of a file no parser claims,
// the no-Exif report, a zero tag, or the walk reaching the end of the file or block. Every read is
// bounds-checked against file.size(); a read the source cannot complete is the read error, like a
// read past the end. The Exif pointer is followed at most once, so the walk makes at most about
// size / 6 steps whatever the bytes. `cacheBytes` bounds the memory held (rounded down to a power
// of two of whole blocks, at least one block); OutOfMemory when not even one block can be had. Any
// thread.
[[nodiscard]] std::optional<ExifError> walkExif(
    ByteSource &file, ExifEntrySink &sink, std::size_t cacheBytes = kReadCacheBytes);
// The same over a whole file in memory (not kept).
[[nodiscard]] std::optional<ExifError> walkExif(
    std::span<const std::uint8_t> file, ExifEntrySink &sink);

} // namespace morvane::exif
