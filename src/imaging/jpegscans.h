// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The scan layout of progressive JPEG files (pure): which scans a reading at a reduced scale
// needs, so the decoder can skip the others.

#include <cstddef>
#include <optional>
#include <vector>

namespace morvane::imaging {

// One scan of a JPEG file as it lies in the bytes.
struct JpegScan
{
    std::size_t begin = 0; // offset of its SOS marker
    std::size_t end = 0; // one past its entropy-coded data: the marker that follows
    std::vector<int> components; // component identifiers, as the frame header names them
    int ss = 0; // first coefficient (zig-zag order); 0 for a DC scan
    int se = 0; // last coefficient
    int ah = 0; // bit position of the previous pass of these coefficients; 0 for a first pass
    int al = 0; // lowest bit position this scan carries
};

struct JpegScanLayout
{
    std::vector<JpegScan> scans; // in file order
    std::size_t eoi = 0; // offset of the end-of-image marker
};

// The scans of the JPEG in `data` (`size` bytes), found by walking its marker segments and
// stepping over each scan's entropy-coded data to the marker that ends it. Nothing is decoded.
// nullopt when the bytes do not hold a well-formed sequence from the start-of-image marker
// through at least one scan to an end-of-image marker (a truncated file, a segment length past
// the end, a marker where none may stand). Bytes after the end-of-image marker are ignored.
[[nodiscard]] std::optional<JpegScanLayout> findJpegScans(
    const unsigned char *data, std::size_t size);

// How many of one component's coefficients a decode needs.
enum class CoefficientNeed {
    DcOnly, // the DC coefficient, every bit: the mean of each block
    FirstPass, // the DC and the first pass of each AC band (their lowest bits may be missing)
    All, // every bit of every coefficient
};

struct ComponentNeed
{
    int id = 0; // component identifier
    CoefficientNeed need = CoefficientNeed::All;
};

// A byte range [begin, end) of the file.
struct ByteSpan
{
    std::size_t begin = 0;
    std::size_t end = 0;
};

// The bytes of a progressive JPEG that give a decoder the coefficients `needs` asks for, as
// ranges of the file in order: every marker segment (tables included) and the scans that carry
// needed coefficients, up to and with the end-of-image marker; scans that carry only
// coefficients no component needs are left out. A DC scan is always kept, and a refinement scan
// only with the first pass it refines. A component that `needs` does not name needs All. With
// `prefixOnly`, nothing is left out before the last needed scan and everything after it is: the
// work a decoder does that stops reading once it has what it needs.
[[nodiscard]] std::vector<ByteSpan> neededSpans(
    const JpegScanLayout &layout, const std::vector<ComponentNeed> &needs, bool prefixOnly = false);

} // namespace morvane::imaging
