// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/jpegscans.h"

#include <algorithm>
#include <cstring>

namespace morvane::imaging {
namespace {

    constexpr unsigned char kSoi = 0xD8;
    constexpr unsigned char kEoi = 0xD9;
    constexpr unsigned char kSos = 0xDA;

    bool isRestart(unsigned char m)
    {
        return m >= 0xD0 && m <= 0xD7;
    }

    std::size_t readLength(const unsigned char *p)
    {
        return (static_cast<std::size_t>(p[0]) << 8) | p[1];
    }

    // The offset of the marker that ends the entropy-coded data starting at `from`: an 0xFF that
    // is neither a stuffed 0x00 nor a restart marker (fill bytes 0xFF may precede a marker).
    std::optional<std::size_t> endOfEntropyData(
        const unsigned char *data, std::size_t size, std::size_t from)
    {
        std::size_t i = from;
        while (i < size) {
            const void *ff = std::memchr(data + i, 0xFF, size - i);
            if (ff == nullptr)
                return std::nullopt;
            const auto at = static_cast<std::size_t>(static_cast<const unsigned char *>(ff) - data);
            std::size_t next = at + 1;
            while (next < size && data[next] == 0xFF)
                ++next;
            if (next >= size)
                return std::nullopt;
            if (data[next] != 0x00 && !isRestart(data[next]))
                return at;
            i = next + 1;
        }
        return std::nullopt;
    }

    // The SOS segment at `at` (its 0xFF) into `scan`; false when malformed.
    bool readScanHeader(const unsigned char *data, std::size_t size, std::size_t at, JpegScan &scan)
    {
        if (size - at < 4)
            return false;
        const std::size_t length = readLength(data + at + 2);
        if (length < 6 || size - at - 2 < length)
            return false;
        const unsigned char *p = data + at + 4;
        const int count = p[0];
        if (count < 1 || count > 4 || length != 6 + 2 * static_cast<std::size_t>(count))
            return false;
        scan.begin = at;
        for (int c = 0; c < count; ++c)
            scan.components.push_back(p[1 + 2 * c]);
        const unsigned char *q = p + 1 + 2 * count;
        scan.ss = q[0];
        scan.se = q[1];
        scan.ah = q[2] >> 4;
        scan.al = q[2] & 0x0F;
        return true;
    }

    CoefficientNeed needOf(const std::vector<ComponentNeed> &needs, int id)
    {
        const auto found = std::find_if(needs.begin(), needs.end(), [id](const ComponentNeed &c) {
            return c.id == id;
        });
        return found == needs.end() ? CoefficientNeed::All : found->need;
    }

    bool scanNeeded(const JpegScan &scan, const std::vector<ComponentNeed> &needs)
    {
        if (scan.ss == 0)
            return true; // DC: every component needs it, and AC passes build on it
        return std::any_of(scan.components.begin(), scan.components.end(), [&](int id) {
            const CoefficientNeed need = needOf(needs, id);
            return need == CoefficientNeed::All
                || (need == CoefficientNeed::FirstPass && scan.ah == 0);
        });
    }

    void append(std::vector<ByteSpan> &spans, std::size_t begin, std::size_t end)
    {
        if (begin >= end)
            return;
        if (!spans.empty() && spans.back().end == begin)
            spans.back().end = end;
        else
            spans.push_back({begin, end});
    }

} // namespace

std::optional<JpegScanLayout> findJpegScans(const unsigned char *data, std::size_t size)
{
    if (data == nullptr || size < 4 || data[0] != 0xFF || data[1] != kSoi)
        return std::nullopt;
    JpegScanLayout layout;
    std::size_t at = 2;
    for (;;) {
        if (at >= size || data[at] != 0xFF)
            return std::nullopt;
        std::size_t codeAt = at + 1;
        while (codeAt < size && data[codeAt] == 0xFF)
            ++codeAt; // fill bytes
        if (codeAt >= size)
            return std::nullopt;
        const unsigned char code = data[codeAt];
        at = codeAt - 1; // the marker proper: its last 0xFF and its code
        if (code == kEoi) {
            if (layout.scans.empty())
                return std::nullopt;
            layout.eoi = at;
            return layout;
        }
        if (code == 0x00 || code == 0x01 || code == kSoi || isRestart(code))
            return std::nullopt; // no segment of a file begins with these
        if (code == kSos) {
            JpegScan scan;
            if (!readScanHeader(data, size, at, scan))
                return std::nullopt;
            const std::optional<std::size_t> end =
                endOfEntropyData(data, size, at + 2 + readLength(data + at + 2));
            if (!end)
                return std::nullopt;
            scan.end = *end;
            at = *end;
            layout.scans.push_back(std::move(scan));
            continue;
        }
        if (size - at < 4)
            return std::nullopt;
        const std::size_t length = readLength(data + at + 2);
        if (length < 2 || size - at - 2 < length)
            return std::nullopt;
        at += 2 + length;
    }
}

std::vector<ByteSpan> neededSpans(
    const JpegScanLayout &layout, const std::vector<ComponentNeed> &needs, bool prefixOnly)
{
    std::vector<ByteSpan> spans;
    // One past the last needed scan: 0 when no scan is needed, so that the prefix then keeps no
    // scan either.
    std::size_t neededEnd = 0;
    for (std::size_t i = 0; i < layout.scans.size(); ++i) {
        if (scanNeeded(layout.scans[i], needs))
            neededEnd = i + 1;
    }
    std::size_t from = 0;
    for (std::size_t i = 0; i < layout.scans.size(); ++i) {
        const JpegScan &scan = layout.scans[i];
        const bool keep = prefixOnly ? i < neededEnd : scanNeeded(scan, needs);
        if (keep)
            continue;
        append(spans, from, scan.begin);
        if (prefixOnly) {
            from = layout.eoi; // what follows the last needed scan is not read at all
            break;
        }
        from = scan.end;
    }
    append(spans, from, layout.eoi + 2);
    return spans;
}

} // namespace morvane::imaging
