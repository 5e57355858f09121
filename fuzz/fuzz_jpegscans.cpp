// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the scan layout of progressive JPEGs. The whole input is the file (bytes
// after its end-of-image marker are ignored by the parser); the needs and the prefix flag are
// taken from the input's last bytes. Besides the sanitizers' own checks it traps when:
// - a scan or the end marker found lies outside the input, does not start with its marker, or
//   scans overlap or stand out of order;
// - the spans for a decode are not ordered, disjoint ranges from the start of the file to the end
//   of its end-of-image marker, or leave out other bytes than the scans no component needs
//   (with the prefix flag: other than everything from the scan after the last needed one);
// - a DC scan is left out, or a refinement scan is kept without the first pass it refines;
// - the bytes of the spans put together do not read as a file whose scans are the kept ones.
#include "imaging/jpegscans.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <vector>

using namespace morvane::platform;

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

CoefficientNeed needOf(const std::vector<ComponentNeed> &needs, int id)
{
    for (const ComponentNeed &n : needs) {
        if (n.id == id)
            return n.need;
    }
    return CoefficientNeed::All;
}

// Whether some component of the scan needs the coefficients it carries.
bool carriesNeeded(const JpegScan &s, const std::vector<ComponentNeed> &needs)
{
    if (s.ss == 0)
        return true;
    return std::any_of(s.components.begin(), s.components.end(), [&](int id) {
        const CoefficientNeed n = needOf(needs, id);
        return n == CoefficientNeed::All || (n == CoefficientNeed::FirstPass && s.ah == 0);
    });
}

void checkLayout(const unsigned char *data, std::size_t size, const JpegScanLayout &layout)
{
    check(!layout.scans.empty());
    std::size_t from = 2; // after the start-of-image marker
    for (const JpegScan &s : layout.scans) {
        check(s.begin >= from && s.begin < s.end && s.end + 1 < size);
        check(data[s.begin] == 0xFF && data[s.begin + 1] == 0xDA && data[s.end] == 0xFF);
        check(!s.components.empty() && s.components.size() <= 4);
        check(s.ss >= 0 && s.ss <= 255 && s.se >= 0 && s.se <= 255);
        check(s.ah >= 0 && s.ah <= 15 && s.al >= 0 && s.al <= 15);
        from = s.end;
    }
    check(layout.eoi >= from && layout.eoi + 2 <= size);
    check(data[layout.eoi] == 0xFF && data[layout.eoi + 1] == 0xD9);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::optional<JpegScanLayout> found = findJpegScans(data, size);
    if (!found)
        return 0;
    const JpegScanLayout &layout = *found;
    checkLayout(data, size, layout);

    FuzzedDataProvider in(data, size); // integers come from the end
    std::vector<ComponentNeed> needs(in.ConsumeIntegralInRange<std::size_t>(0, 4));
    for (ComponentNeed &n : needs) {
        n.id = in.ConsumeIntegral<std::uint8_t>();
        n.need = static_cast<CoefficientNeed>(in.ConsumeIntegralInRange(0, 2));
    }
    const bool prefixOnly = in.ConsumeBool();
    const std::vector<ByteSpan> spans = neededSpans(layout, needs, prefixOnly);

    // Which scans the spans must keep.
    const std::size_t count = layout.scans.size();
    std::vector<bool> keep(count);
    std::size_t lastNeeded = count;
    for (std::size_t i = 0; i < count; ++i) {
        keep[i] = carriesNeeded(layout.scans[i], needs);
        if (keep[i])
            lastNeeded = i;
    }
    if (prefixOnly && lastNeeded < count) {
        for (std::size_t i = 0; i < count; ++i)
            keep[i] = i <= lastNeeded;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const JpegScan &s = layout.scans[i];
        check(keep[i] || s.ss != 0);
        // A kept refinement of one component's band keeps that band's first passes.
        if (!keep[i] || s.ss == 0 || s.ah == 0 || s.components.size() != 1)
            continue;
        for (std::size_t j = 0; j < i; ++j) {
            const JpegScan &f = layout.scans[j];
            if (f.ah == 0 && f.ss != 0 && f.components == s.components && f.ss <= s.se
                && s.ss <= f.se)
                check(keep[j]);
        }
    }

    // The bytes left out: the dropped scans, or everything from the first dropped scan to the
    // end-of-image marker.
    std::vector<bool> out(layout.eoi + 2, false);
    for (std::size_t i = 0; i < count; ++i) {
        if (keep[i])
            continue;
        const std::size_t end = prefixOnly ? layout.eoi : layout.scans[i].end;
        std::fill(out.begin() + static_cast<long>(layout.scans[i].begin),
            out.begin() + static_cast<long>(end),
            true);
        if (prefixOnly)
            break;
    }
    std::vector<bool> covered(layout.eoi + 2, false);
    std::vector<unsigned char> joined;
    std::size_t previousEnd = 0;
    for (std::size_t k = 0; k < spans.size(); ++k) {
        const ByteSpan &span = spans[k];
        check(span.begin < span.end && span.end <= layout.eoi + 2);
        check(k == 0 || span.begin > previousEnd); // ordered, disjoint, adjacent ones merged
        previousEnd = span.end;
        std::fill(covered.begin() + static_cast<long>(span.begin),
            covered.begin() + static_cast<long>(span.end),
            true);
        joined.insert(joined.end(), data + span.begin, data + span.end);
    }
    for (std::size_t i = 0; i < covered.size(); ++i)
        check(covered[i] == !out[i]);

    // What the decoder is given is a file of its own whose scans are the kept ones.
    const std::optional<JpegScanLayout> again = findJpegScans(joined.data(), joined.size());
    const auto kept = static_cast<std::size_t>(std::count(keep.begin(), keep.end(), true));
    check(again.has_value() == (kept > 0));
    if (!again)
        return 0;
    check(again->scans.size() == kept && again->eoi + 2 == joined.size());
    std::size_t n = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!keep[i])
            continue;
        const JpegScan &a = layout.scans[i];
        const JpegScan &b = again->scans[n++];
        check(a.components == b.components && a.ss == b.ss && a.se == b.se && a.ah == b.ah
            && a.al == b.al && a.end - a.begin == b.end - b.begin);
        check(
            std::equal(data + a.begin, data + a.end, joined.begin() + static_cast<long>(b.begin)));
    }
    return 0;
}
