// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the entries of the thumbnail cache. Input: a key, a stamp, facts of any
// value and a payload for an entry to write; a header byte to change with the header's checksum
// made right again (so that the reader's later checks get inputs the fuzzer could not sign);
// a key and stamp to read with; then bytes read as an entry of their own. Besides the
// sanitizers' own checks it traps when:
// - an entry read as valid, stale or of another key has a payload that is not the rest of the
//   bytes, or facts out of the limits the reader promises;
// - a written entry with sensible facts does not read back the same facts and payload, with the
//   state its key and stamp call for;
// - a written entry cut short or with one byte changed reads as anything but damaged;
// - an entry name is not one isThumbEntryName() takes;
// - pixels do not survive the delta rows, or a delta of the wrong length writes pixels;
// - a cache limit is negative, above 1 TiB or no whole number of MiB.
#include "browser/thumbcacheformat.h"

#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <string_view>
#include <vector>

using namespace morvane::browser;

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

bool within(std::int64_t v, std::int64_t low, std::int64_t high)
{
    return v >= low && v <= high;
}

bool sensible(const ThumbFacts &f, std::int64_t box)
{
    return within(box, 1, 1 << 16) && within(f.drawnWidth, 0, box) && within(f.drawnHeight, 0, box)
        && within(f.pixelWidth, 1, box) && within(f.pixelHeight, 1, box) && f.fullWidth > 0
        && f.fullHeight > 0;
}

bool sameFacts(const ThumbFacts &a, const ThumbFacts &b)
{
    return a.fullWidth == b.fullWidth && a.fullHeight == b.fullHeight
        && a.drawnWidth == b.drawnWidth && a.drawnHeight == b.drawnHeight
        && a.pixelWidth == b.pixelWidth && a.pixelHeight == b.pixelHeight;
}

// What any read promises, whatever the bytes.
ParsedThumbEntry read(std::string_view bytes, const ThumbKey &key, const FileStamp &stamp)
{
    const ParsedThumbEntry p = parseThumbEntry(bytes, key, stamp);
    if (p.state != ThumbEntryState::Damaged) {
        check(p.payloadOffset <= bytes.size() && p.payloadSize == bytes.size() - p.payloadOffset);
        check(sensible(p.facts, key.boxSize) || p.state == ThumbEntryState::OtherKey);
    }
    if (p.state == ThumbEntryState::Valid || p.state == ThumbEntryState::Stale)
        check(sensible(p.facts, key.boxSize));
    return p;
}

ThumbKey makeKey(FuzzedDataProvider &in)
{
    ThumbKey k;
    k.nativePath = in.ConsumeRandomLengthString(4096);
    k.boxSize = in.ConsumeBool() ? in.ConsumeIntegralInRange(1, 512) : in.ConsumeIntegral<int>();
    k.jpegScale = in.ConsumeIntegralInRange(0, 3);
    return k;
}

FileStamp makeStamp(FuzzedDataProvider &in)
{
    FileStamp s;
    s.size = in.ConsumeIntegral<std::int64_t>();
    s.mtimeNs = in.ConsumeIntegral<std::int64_t>();
    s.ctimeNs = in.ConsumeIntegral<std::int64_t>();
    s.inode = in.ConsumeIntegral<std::uint64_t>();
    return s;
}

std::int32_t side(FuzzedDataProvider &in)
{
    return in.ConsumeBool() ? in.ConsumeIntegralInRange(-1, 600) : in.ConsumeIntegral<int>();
}

void checkDeltaRows(FuzzedDataProvider &in)
{
    const int width = in.ConsumeIntegralInRange(0, 16);
    const int height = in.ConsumeIntegralInRange(0, 16);
    const std::size_t stride = static_cast<std::size_t>(width) + in.ConsumeIntegralInRange(0, 3);
    const std::string delta = in.ConsumeRandomLengthString(1024);
    std::vector<std::uint32_t> pixels(stride * static_cast<std::size_t>(height), 0x12345678U);
    const bool fits = delta.size() == static_cast<std::size_t>(width * height * 3);
    check(fromDeltaRgb(delta, width, height, pixels.data(), stride) == fits);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const bool inRow = static_cast<int>(i % stride) < width;
        check(fits && inRow ? pixels[i] >> 24 == 0xFF : pixels[i] == 0x12345678U);
    }
    if (fits)
        check(toDeltaRgb(pixels.data(), width, height, stride) == delta);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const ThumbKey key = makeKey(in);
    const FileStamp stamp = makeStamp(in);
    ThumbFacts facts;
    for (std::int32_t *v : {&facts.fullWidth,
             &facts.fullHeight,
             &facts.drawnWidth,
             &facts.drawnHeight,
             &facts.pixelWidth,
             &facts.pixelHeight})
        *v = side(in);
    const std::string payload = in.ConsumeRandomLengthString(2048);
    const std::string entry = encodeThumbEntry(key, stamp, facts, payload);

    check(isThumbEntryName(thumbEntryName(key)));

    // Read back with its own key and stamp, then with another of either.
    const ParsedThumbEntry own = read(entry, key, stamp);
    const bool good = sensible(facts, key.boxSize);
    check((own.state == ThumbEntryState::Valid) == good);
    if (good) {
        check(sameFacts(own.facts, facts)
            && entry.compare(own.payloadOffset, own.payloadSize, payload) == 0);
    }
    ThumbKey otherKey = key;
    otherKey.nativePath += in.ConsumeBool() ? "x" : "";
    otherKey.jpegScale += in.ConsumeBool() ? 1 : 0;
    FileStamp otherStamp = stamp;
    otherStamp.inode += in.ConsumeBool() ? 1 : 0;
    const ParsedThumbEntry other = read(entry, otherKey, otherStamp);
    if (good) {
        const bool sameKey =
            otherKey.nativePath == key.nativePath && otherKey.jpegScale == key.jpegScale;
        check(other.state
            == (!sameKey                  ? ThumbEntryState::OtherKey
                    : otherStamp == stamp ? ThumbEntryState::Valid
                                          : ThumbEntryState::Stale));
    }

    // Cut short, or one byte changed: damaged.
    const std::size_t at = in.ConsumeIntegralInRange<std::size_t>(0, entry.size() - 1);
    const auto flip = static_cast<char>(in.ConsumeIntegralInRange(1, 255));
    check(
        read(std::string_view(entry).substr(0, at), key, stamp).state == ThumbEntryState::Damaged);
    std::string changed = entry;
    changed[at] = static_cast<char>(changed[at] ^ flip);
    check(read(changed, key, stamp).state == ThumbEntryState::Damaged);

    // A changed header byte with the header's checksum made right: whatever it reads as, it
    // keeps the promises. The header ends 8 bytes before the payload.
    const std::size_t headerEnd = entry.size() - payload.size() - 8;
    if (at < headerEnd) {
        const std::uint64_t sum =
            thumbChecksum(reinterpret_cast<const unsigned char *>(changed.data()), headerEnd);
        for (std::size_t i = 0; i < 8; ++i)
            changed[headerEnd + i] = static_cast<char>((sum >> (8 * i)) & 0xFFU);
        read(changed, key, stamp);
    }

    checkDeltaRows(in);
    const std::int64_t limit =
        cacheLimitBytes(in.ConsumeRandomLengthString(24), in.ConsumeIntegral<std::int64_t>());
    check(limit >= 0 && limit <= (std::int64_t(1) << 40) && limit % (1 << 20) == 0);

    // Any bytes as an entry of the key.
    read(in.ConsumeRemainingBytesAsString(), key, stamp);
    return 0;
}
