// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/jpegscans.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace morvane::imaging;

namespace {

using Bytes = std::vector<unsigned char>;

void add(Bytes &out, std::initializer_list<int> bytes)
{
    for (int b : bytes)
        out.push_back(static_cast<unsigned char>(b));
}

// A marker segment: FF code, length, payload.
void segment(Bytes &out, int code, const Bytes &payload)
{
    const auto length = static_cast<int>(payload.size() + 2);
    add(out, {0xFF, code, length >> 8, length & 0xFF});
    out.insert(out.end(), payload.begin(), payload.end());
}

// A one-component scan header followed by its entropy-coded data.
void scan(Bytes &out, int component, int ss, int se, int ah, int al, const Bytes &data)
{
    segment(out,
        0xDA,
        {1,
            static_cast<unsigned char>(component),
            0,
            static_cast<unsigned char>(ss),
            static_cast<unsigned char>(se),
            static_cast<unsigned char>(ah << 4 | al)});
    out.insert(out.end(), data.begin(), data.end());
}

// Start of image, a table, a frame header: what precedes the first scan.
Bytes header()
{
    Bytes out;
    add(out, {0xFF, 0xD8});
    segment(out, 0xDB, Bytes(65, 1));
    segment(out, 0xC2, {8, 0, 16, 0, 16, 1, 1, 0x11, 0});
    return out;
}

std::optional<JpegScanLayout> find(const Bytes &b)
{
    return findJpegScans(b.data(), b.size());
}

TEST(JpegScansTest, RefusesWhatIsNoWholeSequenceOfScans)
{
    struct Case
    {
        const char *name;
        Bytes bytes;
    };
    Bytes good = header();
    scan(good, 1, 0, 0, 0, 0, {0x12, 0x34});
    add(good, {0xFF, 0xD9});
    const auto cut = [&](std::size_t drop) {
        return Bytes(good.begin(), good.end() - static_cast<long>(drop));
    };
    Bytes noScan = header();
    add(noScan, {0xFF, 0xD9});
    Bytes restartOutside = header();
    add(restartOutside, {0xFF, 0xD0});
    Bytes longSegment = header();
    add(longSegment, {0xFF, 0xE1, 0x40, 0x00, 1, 2});
    Bytes badScanHeader = header();
    segment(badScanHeader, 0xDA, {2, 1, 0, 0, 0});
    add(badScanHeader, {0xFF, 0xD9});
    Bytes endsOnFF = header();
    scan(endsOnFF, 1, 0, 0, 0, 0, {0x12, 0xFF});
    Bytes junkBetween = header();
    add(junkBetween, {0x00, 0xFF, 0xD9});
    const Case cases[] = {
        {"empty", {}},
        {"no start of image", {0xFF, 0xD9, 0xFF, 0xD9}},
        {"start of image only", {0xFF, 0xD8}},
        {"no scan before the end", noScan},
        {"end marker missing", cut(2)},
        {"cut inside the entropy data", cut(3)},
        {"cut right after the scan header", cut(4)},
        {"ends on an 0xFF of the entropy data", endsOnFF},
        {"restart marker outside a scan", restartOutside},
        {"segment longer than the file", longSegment},
        {"scan header of the wrong length", badScanHeader},
        {"bytes where a marker belongs", junkBetween},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(find(c.bytes).has_value());
    }
}

TEST(JpegScansTest, StepsOverEntropyDataToTheMarkerThatEndsIt)
{
    Bytes b = header();
    const std::size_t first = b.size();
    // Stuffed 0xFF 0x00 and a restart marker belong to the data; fill bytes may precede a marker.
    scan(b, 1, 0, 0, 0, 1, {0x12, 0xFF, 0x00, 0x34, 0xFF, 0xD3, 0x56, 0xFF, 0xFF});
    const std::size_t firstEnd = b.size() - 2;
    segment(b, 0xC4, Bytes(20, 2)); // a table between scans
    const std::size_t second = b.size();
    scan(b, 1, 1, 63, 0, 0, {0x77});
    const std::size_t eoi = b.size();
    add(b, {0xFF, 0xD9, 0x00, 0x11}); // bytes after the end are not the file's concern

    const std::optional<JpegScanLayout> layout = find(b);
    ASSERT_TRUE(layout.has_value());
    ASSERT_EQ(layout->scans.size(), 2U);
    const JpegScan &dc = layout->scans[0];
    EXPECT_EQ(dc.begin, first);
    EXPECT_EQ(dc.end, firstEnd);
    EXPECT_EQ(dc.components, std::vector<int> {1});
    EXPECT_EQ(dc.al, 1);
    const JpegScan &ac = layout->scans[1];
    EXPECT_EQ(ac.begin, second);
    EXPECT_EQ(ac.end, eoi);
    EXPECT_EQ(ac.ss, 1);
    EXPECT_EQ(ac.se, 63);
    EXPECT_EQ(layout->eoi, eoi);
}

TEST(JpegScansTest, KeepsTheScansTheComponentsNeed)
{
    // The usual progression for Y (1), Cb (2), Cr (3), as 10-byte scans from offset 100 with 10
    // bytes of tables between them: scan k spans [100 + 20k, 110 + 20k).
    JpegScanLayout layout;
    layout.scans = {
        {100, 110, {1, 2, 3}, 0, 0, 0, 1}, // 0: DC first pass
        {120, 130, {1}, 1, 5, 0, 2}, // 1: Y low AC
        {140, 150, {3}, 1, 63, 0, 1}, // 2: Cr AC
        {160, 170, {2}, 1, 63, 0, 1}, // 3: Cb AC
        {180, 190, {1}, 6, 63, 0, 2}, // 4: Y high AC
        {200, 210, {1}, 1, 63, 2, 1}, // 5: Y AC refinement
        {220, 230, {1, 2, 3}, 0, 0, 1, 0}, // 6: DC refinement
        {240, 250, {3}, 1, 63, 1, 0}, // 7: Cr AC refinement
        {260, 270, {2}, 1, 63, 1, 0}, // 8: Cb AC refinement
        {280, 290, {1}, 1, 63, 1, 0}, // 9: Y AC refinement
    };
    layout.eoi = 300;
    using N = CoefficientNeed;
    struct Case
    {
        const char *name;
        std::vector<ComponentNeed> needs;
        bool prefixOnly;
        std::vector<std::size_t> kept; // scan numbers
        std::vector<std::size_t> scans = {}; // the scans the file holds; empty: all ten
    };
    const Case cases[] = {
        {"everything", {}, false, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"Y DC only", {{1, N::DcOnly}}, false, {0, 2, 3, 6, 7, 8}},
        {"Y DC, chroma first passes",
            {{1, N::DcOnly}, {2, N::FirstPass}, {3, N::FirstPass}},
            false,
            {0, 2, 3, 6}},
        {"first passes everywhere",
            {{1, N::FirstPass}, {2, N::FirstPass}, {3, N::FirstPass}},
            false,
            {0, 1, 2, 3, 4, 6}},
        {"DC only everywhere", {{1, N::DcOnly}, {2, N::DcOnly}, {3, N::DcOnly}}, false, {0, 6}},
        {"Y DC only, stopping after the last needed",
            {{1, N::DcOnly}},
            true,
            {0, 1, 2, 3, 4, 5, 6, 7, 8}},
        {"DC only, stopping after the DC refinement",
            {{1, N::DcOnly}, {2, N::DcOnly}, {3, N::DcOnly}},
            true,
            {0, 1, 2, 3, 4, 5, 6}},
        {"no scan needed, stopping before the first",
            {{1, N::DcOnly}, {2, N::DcOnly}, {3, N::DcOnly}},
            true,
            {},
            {1, 2, 3, 4, 5}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        JpegScanLayout file = layout;
        if (!c.scans.empty()) {
            file.scans.clear();
            for (const std::size_t k : c.scans)
                file.scans.push_back(layout.scans[k]);
        }
        const std::vector<ByteSpan> spans = neededSpans(file, c.needs, c.prefixOnly);
        const auto covered = [&spans](std::size_t at) {
            return std::any_of(spans.begin(), spans.end(), [at](const ByteSpan &s) {
                return s.begin <= at && at < s.end;
            });
        };
        std::vector<std::size_t> kept;
        for (const JpegScan &s : file.scans) {
            const std::size_t k = (s.begin - 100) / 20;
            if (covered(100 + 20 * k) && covered(109 + 20 * k))
                kept.push_back(k);
            // The tables after a scan stay, unless nothing is read after the last needed scan.
            if (!c.prefixOnly && k < 9) {
                EXPECT_TRUE(covered(115 + 20 * k)) << k;
            }
        }
        EXPECT_EQ(kept, c.kept);
        EXPECT_TRUE(covered(0) && covered(99) && covered(301) && !covered(302));
    }
}

} // namespace
