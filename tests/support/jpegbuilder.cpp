// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/jpegbuilder.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace morvane::testsupport {

TiffBuilder::TiffBuilder(ByteOrder order)
    : m_order(order)
    , m_ifds(1)
    , m_mark(order == ByteOrder::Big ? std::array<std::uint8_t, 2> {'M', 'M'}
                                     : std::array<std::uint8_t, 2> {'I', 'I'})
{}

std::size_t TiffBuilder::addIfd()
{
    m_ifds.emplace_back();
    return m_ifds.size() - 1;
}

void TiffBuilder::put16(std::vector<std::uint8_t> &out, std::uint16_t v) const
{
    const auto lo = static_cast<std::uint8_t>(v & 0xFF);
    const auto hi = static_cast<std::uint8_t>(v >> 8);
    if (m_order == ByteOrder::Big) {
        out.push_back(hi);
        out.push_back(lo);
    } else {
        out.push_back(lo);
        out.push_back(hi);
    }
}

void TiffBuilder::put32(std::vector<std::uint8_t> &out, std::uint32_t v) const
{
    for (int i = 0; i < 4; ++i) {
        const int shift = m_order == ByteOrder::Big ? 24 - 8 * i : 8 * i;
        out.push_back(static_cast<std::uint8_t>((v >> shift) & 0xFF));
    }
}

std::vector<std::uint8_t> TiffBuilder::u16(std::uint16_t v) const
{
    std::vector<std::uint8_t> out;
    put16(out, v);
    return out;
}

std::vector<std::uint8_t> TiffBuilder::u32(std::uint32_t v) const
{
    std::vector<std::uint8_t> out;
    put32(out, v);
    return out;
}

TiffBuilder &TiffBuilder::add(std::size_t ifd, Entry e)
{
    if (ifd >= m_ifds.size())
        throw std::out_of_range("TiffBuilder: no such directory");
    m_ifds[ifd].entries.push_back(std::move(e));
    return *this;
}

TiffBuilder &TiffBuilder::entry(std::size_t ifd,
    std::uint16_t tag,
    std::uint16_t type,
    std::uint32_t count,
    std::vector<std::uint8_t> payload)
{
    Entry e;
    e.tag = tag;
    e.type = type;
    e.count = count;
    e.payload = std::move(payload);
    return add(ifd, std::move(e));
}

TiffBuilder &TiffBuilder::rawEntry(std::size_t ifd,
    std::uint16_t tag,
    std::uint16_t type,
    std::uint32_t count,
    std::uint32_t valueField)
{
    Entry e;
    e.tag = tag;
    e.type = type;
    e.count = count;
    e.raw = true;
    e.valueField = valueField;
    return add(ifd, std::move(e));
}

TiffBuilder &TiffBuilder::typed(std::size_t ifd,
    std::uint16_t tag,
    TiffType type,
    std::size_t count,
    std::vector<std::uint8_t> payload)
{
    return entry(ifd,
        tag,
        static_cast<std::uint16_t>(type),
        static_cast<std::uint32_t>(count),
        std::move(payload));
}

TiffBuilder &TiffBuilder::ascii(std::size_t ifd, std::uint16_t tag, std::string_view text)
{
    std::vector<std::uint8_t> payload(text.begin(), text.end());
    payload.push_back(0);
    const std::size_t count = payload.size();
    return typed(ifd, tag, TiffType::Ascii, count, std::move(payload));
}

TiffBuilder &TiffBuilder::bytes(
    std::size_t ifd, std::uint16_t tag, TiffType type, std::vector<std::uint8_t> values)
{
    const std::size_t count = values.size();
    return typed(ifd, tag, type, count, std::move(values));
}

TiffBuilder &TiffBuilder::shorts(
    std::size_t ifd, std::uint16_t tag, std::vector<std::uint16_t> values)
{
    std::vector<std::uint8_t> payload;
    for (const std::uint16_t v : values)
        put16(payload, v);
    return typed(ifd, tag, TiffType::Short, values.size(), std::move(payload));
}

TiffBuilder &TiffBuilder::sshorts(
    std::size_t ifd, std::uint16_t tag, std::vector<std::int16_t> values)
{
    std::vector<std::uint8_t> payload;
    for (const std::int16_t v : values)
        put16(payload, static_cast<std::uint16_t>(v));
    return typed(ifd, tag, TiffType::SShort, values.size(), std::move(payload));
}

TiffBuilder &TiffBuilder::longs(
    std::size_t ifd, std::uint16_t tag, std::vector<std::uint32_t> values)
{
    std::vector<std::uint8_t> payload;
    for (const std::uint32_t v : values)
        put32(payload, v);
    return typed(ifd, tag, TiffType::Long, values.size(), std::move(payload));
}

TiffBuilder &TiffBuilder::slongs(
    std::size_t ifd, std::uint16_t tag, std::vector<std::int32_t> values)
{
    std::vector<std::uint8_t> payload;
    for (const std::int32_t v : values)
        put32(payload, static_cast<std::uint32_t>(v));
    return typed(ifd, tag, TiffType::SLong, values.size(), std::move(payload));
}

TiffBuilder &TiffBuilder::rationals(
    std::size_t ifd, std::uint16_t tag, std::vector<std::pair<std::uint32_t, std::uint32_t>> values)
{
    std::vector<std::uint8_t> payload;
    for (const auto &[num, den] : values) {
        put32(payload, num);
        put32(payload, den);
    }
    return typed(ifd, tag, TiffType::Rational, values.size(), std::move(payload));
}

TiffBuilder &TiffBuilder::srationals(
    std::size_t ifd, std::uint16_t tag, std::vector<std::pair<std::int32_t, std::int32_t>> values)
{
    std::vector<std::uint8_t> payload;
    for (const auto &[num, den] : values) {
        put32(payload, static_cast<std::uint32_t>(num));
        put32(payload, static_cast<std::uint32_t>(den));
    }
    return typed(ifd, tag, TiffType::SRational, values.size(), std::move(payload));
}

TiffBuilder &TiffBuilder::floats(std::size_t ifd, std::uint16_t tag, std::vector<float> values)
{
    std::vector<std::uint8_t> payload;
    for (const float v : values)
        put32(payload, std::bit_cast<std::uint32_t>(v));
    return typed(ifd, tag, TiffType::Float, values.size(), std::move(payload));
}

TiffBuilder &TiffBuilder::doubles(std::size_t ifd, std::uint16_t tag, std::vector<double> values)
{
    std::vector<std::uint8_t> payload;
    for (const double v : values) {
        const auto bits = std::bit_cast<std::uint64_t>(v);
        const auto hi = static_cast<std::uint32_t>(bits >> 32);
        const auto lo = static_cast<std::uint32_t>(bits & 0xFFFFFFFFU);
        put32(payload, m_order == ByteOrder::Big ? hi : lo);
        put32(payload, m_order == ByteOrder::Big ? lo : hi);
    }
    return typed(ifd, tag, TiffType::Double, values.size(), std::move(payload));
}

TiffBuilder &TiffBuilder::pointer(std::size_t ifd, std::uint16_t tag, std::size_t target)
{
    Entry e;
    e.tag = tag;
    e.type = static_cast<std::uint16_t>(TiffType::Long);
    e.count = 1;
    e.isPointer = true;
    e.target = target;
    return add(ifd, std::move(e));
}

TiffBuilder &TiffBuilder::indirectPointer(
    std::size_t ifd, std::uint16_t tag, std::size_t target, std::uint32_t count)
{
    Entry e;
    e.tag = tag;
    e.type = static_cast<std::uint16_t>(TiffType::Long);
    e.count = count;
    e.isPointer = true;
    e.indirect = true;
    e.target = target;
    e.payload.assign(8, 0); // the target offset, then a zero long
    return add(ifd, std::move(e));
}

TiffBuilder &TiffBuilder::setNext(std::size_t ifd, std::size_t target)
{
    m_ifds.at(ifd).nextIsIfd = true;
    m_ifds.at(ifd).nextIfd = target;
    return *this;
}

TiffBuilder &TiffBuilder::setNextRaw(std::size_t ifd, std::uint32_t value)
{
    m_ifds.at(ifd).nextIsIfd = false;
    m_ifds.at(ifd).nextRaw = value;
    return *this;
}

TiffBuilder &TiffBuilder::trailer(std::size_t ifd, std::vector<std::uint8_t> bytes)
{
    m_ifds.at(ifd).trailer = std::move(bytes);
    return *this;
}

TiffBuilder &TiffBuilder::setIfd0Offset(std::uint32_t offset)
{
    m_ifd0Override = true;
    m_ifd0Offset = offset;
    return *this;
}

TiffBuilder &TiffBuilder::setOrderMark(std::array<std::uint8_t, 2> mark)
{
    m_mark = mark;
    return *this;
}

namespace {

    std::size_t outOfLine(std::size_t payload)
    {
        return payload > 4 ? (payload + 1) & ~std::size_t {1} : 0;
    }

} // namespace

BuiltTiff TiffBuilder::build() const
{
    // Pass 1: every directory's size is known without any offset, so the offsets follow.
    BuiltTiff out;
    std::uint32_t at = 8;
    for (const Ifd &d : m_ifds) {
        out.ifdOffsets.push_back(at);
        std::size_t size = 2 + 12 * d.entries.size() + 4 + d.trailer.size();
        size = (size + 1) & ~std::size_t {1};
        for (const Entry &e : d.entries) {
            if (!e.raw)
                size += outOfLine(e.payload.size());
        }
        at += static_cast<std::uint32_t>(size);
    }

    // Pass 2: write.
    std::vector<std::uint8_t> &b = out.bytes;
    b.push_back(m_mark[0]);
    b.push_back(m_mark[1]);
    put16(b, 42);
    put32(b, m_ifd0Override ? m_ifd0Offset : out.ifdOffsets[0]);
    for (std::size_t i = 0; i < m_ifds.size(); ++i) {
        const Ifd &d = m_ifds[i];
        b.resize(out.ifdOffsets[i], 0);
        std::size_t dataAt = out.ifdOffsets[i] + 2 + 12 * d.entries.size() + 4 + d.trailer.size();
        dataAt = (dataAt + 1) & ~std::size_t {1};
        std::vector<std::uint8_t> data;
        put16(b, static_cast<std::uint16_t>(d.entries.size()));
        for (const Entry &e : d.entries) {
            put16(b, e.tag);
            put16(b, e.type);
            put32(b, e.count);
            std::vector<std::uint8_t> payload = e.payload;
            if (e.isPointer) {
                const std::uint32_t target = out.ifdOffsets.at(e.target);
                if (!e.indirect) {
                    payload = u32(target);
                } else {
                    const std::vector<std::uint8_t> first = u32(target);
                    std::copy(first.begin(), first.end(), payload.begin());
                }
            }
            if (e.raw) {
                put32(b, e.valueField);
            } else if (payload.size() <= 4) {
                payload.resize(4, 0);
                b.insert(b.end(), payload.begin(), payload.end());
            } else {
                put32(b, static_cast<std::uint32_t>(dataAt + data.size()));
                data.insert(data.end(), payload.begin(), payload.end());
                data.resize(outOfLine(data.size()), 0);
            }
        }
        out.endOfEntries.push_back(static_cast<std::uint32_t>(b.size()));
        put32(b, d.nextIsIfd ? out.ifdOffsets.at(d.nextIfd) : d.nextRaw);
        b.insert(b.end(), d.trailer.begin(), d.trailer.end());
        b.resize(dataAt, 0);
        b.insert(b.end(), data.begin(), data.end());
    }
    return out;
}

std::vector<std::uint8_t> exifJpeg(
    const std::vector<std::uint8_t> &tiff, const JpegOptions &options)
{
    std::vector<std::uint8_t> b = options.prefix;
    b.insert(b.end(), {0xFF, 0xD8, options.marker[0], options.marker[1]});
    const std::size_t length = std::min<std::size_t>(2 + 6 + tiff.size(), 0xFFFF);
    b.push_back(static_cast<std::uint8_t>(length >> 8));
    b.push_back(static_cast<std::uint8_t>(length & 0xFF));
    b.insert(b.end(), {'E', 'x', 'i', 'f', 0, 0});
    b.insert(b.end(), tiff.begin(), tiff.end());
    if (options.endMarker)
        b.insert(b.end(), {0xFF, 0xD9});
    return b;
}

std::vector<std::uint8_t> jfifJpeg(const std::vector<std::uint8_t> &tiff)
{
    std::vector<std::uint8_t> b = {0xFF,
        0xD8,
        0xFF,
        0xE0,
        0x00,
        0x10,
        'J',
        'F',
        'I',
        'F',
        0x00,
        0x01,
        0x01,
        0x00,
        0x00,
        0x01,
        0x00,
        0x01,
        0x00,
        0x00};
    if (!tiff.empty()) {
        JpegOptions o;
        o.endMarker = false;
        std::vector<std::uint8_t> app1 = exifJpeg(tiff, o);
        b.insert(b.end(), app1.begin() + 2, app1.end()); // without its own SOI
    }
    b.insert(b.end(), {0xFF, 0xD9});
    return b;
}

} // namespace morvane::testsupport
