// SPDX-License-Identifier: GPL-3.0-or-later
#include "exif/orientationwrite.h"

#include <cstring>

namespace morvane::exif {

namespace {

    using Bytes = std::vector<std::uint8_t>;
    constexpr std::uint16_t kOrientationTag = 0x0112;

    struct Order
    {
        bool big = false;

        [[nodiscard]] std::uint32_t get(std::span<const std::uint8_t> at, std::size_t n) const
        {
            std::uint32_t v = 0;
            for (std::size_t i = 0; i < n; ++i)
                v |= std::uint32_t {at[big ? n - 1 - i : i]} << (8 * i);
            return v;
        }
        void put(Bytes &out, std::uint32_t v, std::size_t n) const
        {
            for (std::size_t i = 0; i < n; ++i)
                out.push_back(static_cast<std::uint8_t>(v >> (8 * (big ? n - 1 - i : i))));
        }
    };

    // The Orientation entry, SHORT count 1, its value in the first two bytes of the field.
    void putOrientationEntry(Bytes &out, Order order, int value)
    {
        order.put(out, kOrientationTag, 2);
        order.put(out, 3, 2);
        order.put(out, 1, 4);
        order.put(out, static_cast<std::uint32_t>(value), 2);
        order.put(out, 0, 2);
    }

    // Where the leading segments stand: after SOI and its APP0 segments, and the first Exif APP1.
    struct Leading
    {
        std::size_t afterApp0 = 2;
        std::optional<std::size_t> exif;
        bool firstIsOtherApp1 = false; // an APP1 right after SOI without the Exif identifier
    };

    // Walks the leading segments as the Exif reader does (application segments and comments, fill
    // bytes allowed); nothing when they do not end within `head`.
    std::optional<Leading> leadingSegments(std::span<const std::uint8_t> head)
    {
        Leading found;
        bool app0Run = true;
        std::size_t pos = 2;
        while (pos + 4 <= head.size()) {
            if (head[pos] != 0xFF)
                return found;
            const std::uint8_t marker = head[pos + 1];
            if (marker == 0xFF) {
                ++pos;
                app0Run = false;
                continue;
            }
            if ((marker < 0xE0 || marker > 0xEF) && marker != 0xFE)
                return found;
            const std::size_t length = std::size_t {head[pos + 2]} << 8 | head[pos + 3];
            if (length < 2)
                return std::nullopt;
            const bool exif = marker == 0xE1 && pos + 10 <= head.size()
                && std::memcmp(head.data() + pos + 4, "Exif\0", 5) == 0;
            if (marker == 0xE1 && pos == 2 && !exif)
                found.firstIsOtherApp1 = true;
            if (exif && !found.exif)
                found.exif = pos;
            app0Run = app0Run && marker == 0xE0;
            pos += 2 + length;
            if (app0Run)
                found.afterApp0 = pos;
        }
        return std::nullopt;
    }

    // The edit that puts `inserted` at `pos`, carried by the two bytes found there.
    std::optional<ByteEdit> insertion(
        std::span<const std::uint8_t> head, std::size_t pos, const Bytes &inserted)
    {
        if (pos + 2 > head.size())
            return std::nullopt;
        ByteEdit edit {pos, Bytes(head.begin() + pos, head.begin() + pos + 2), inserted};
        edit.after.insert(edit.after.end(), edit.before.begin(), edit.before.end());
        return edit;
    }

    std::optional<std::vector<ByteEdit>> newSegment(
        std::span<const std::uint8_t> head, std::size_t pos, int value)
    {
        const Order order {false};
        Bytes segment {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0};
        order.put(segment, 8, 4);
        order.put(segment, 1, 2);
        putOrientationEntry(segment, order, value);
        order.put(segment, 0, 4);
        segment[3] = static_cast<std::uint8_t>(segment.size() - 2);
        auto edit = insertion(head, pos, segment);
        if (!edit)
            return std::nullopt;
        return std::vector<ByteEdit> {*edit};
    }

    std::optional<std::vector<ByteEdit>> grownDirectory(
        std::span<const std::uint8_t> head, std::size_t app1, int value)
    {
        const std::size_t length = std::size_t {head[app1 + 2]} << 8 | head[app1 + 3];
        const std::size_t end = app1 + 2 + length;
        const std::size_t tiff = app1 + 10;
        if (length < 16 || end + 2 > head.size())
            return std::nullopt;
        const std::span<const std::uint8_t> block = head.subspan(tiff, end - tiff);
        Order order;
        if (std::memcmp(block.data(), "MM\0*", 4) == 0)
            order.big = true;
        else if (std::memcmp(block.data(), "II*\0", 4) != 0)
            return std::nullopt;
        const std::uint32_t ifd = order.get(block.subspan(4), 4);
        if (ifd < 8 || std::uint64_t {ifd} + 2 > block.size())
            return std::nullopt;
        const std::uint32_t count = order.get(block.subspan(ifd), 2);
        const std::uint64_t entriesEnd = std::uint64_t {ifd} + 2 + 12 * std::uint64_t {count};
        if (entriesEnd + 4 > block.size())
            return std::nullopt;
        // The new directory: the old entries with Orientation in tag order, then the old link.
        Bytes directory;
        order.put(directory, count + 1, 2);
        bool placed = false;
        for (std::uint32_t i = 0; i < count; ++i) {
            const auto entry = block.subspan(ifd + 2 + 12 * std::size_t {i}, 12);
            const std::uint32_t tag = order.get(entry, 2);
            if (tag == kOrientationTag)
                return std::nullopt;
            if (!placed && tag > kOrientationTag) {
                putOrientationEntry(directory, order, value);
                placed = true;
            }
            directory.insert(directory.end(), entry.begin(), entry.end());
        }
        if (!placed)
            putOrientationEntry(directory, order, value);
        const auto link = block.subspan(static_cast<std::size_t>(entriesEnd), 4);
        directory.insert(directory.end(), link.begin(), link.end());
        // TIFF directories start on a word boundary.
        const std::size_t pad = block.size() % 2;
        const std::size_t grown = length + pad + directory.size();
        if (grown > 0xFFFF)
            return std::nullopt;
        directory.insert(directory.begin(), pad, 0);

        ByteEdit size {app1 + 2, {head[app1 + 2], head[app1 + 3]}, {}};
        size.after = {static_cast<std::uint8_t>(grown >> 8), static_cast<std::uint8_t>(grown)};
        ByteEdit pointer {tiff + 4, Bytes(block.begin() + 4, block.begin() + 8), {}};
        order.put(pointer.after, static_cast<std::uint32_t>(block.size() + pad), 4);
        auto appended = insertion(head, end, directory);
        if (!appended)
            return std::nullopt;
        return std::vector<ByteEdit> {size, pointer, *appended};
    }

} // namespace

std::optional<std::vector<ByteEdit>> jpegOrientationInsert(
    std::span<const std::uint8_t> head, int value)
{
    if (value < 1 || value > 8 || head.size() < 4 || head[0] != 0xFF || head[1] != 0xD8)
        return std::nullopt;
    const std::optional<Leading> leading = leadingSegments(head);
    if (!leading)
        return std::nullopt;
    if (!leading->exif)
        return newSegment(head, leading->afterApp0, value);
    if (leading->firstIsOtherApp1)
        return std::nullopt;
    return grownDirectory(head, *leading->exif, value);
}

} // namespace morvane::exif
