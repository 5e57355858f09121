// SPDX-License-Identifier: GPL-3.0-or-later
#include "exif/containerfiles.h"

#include <brotli/encode.h>
#include <cstdio>
#include <zlib.h>

namespace morvane::exiftest {

namespace {

    void putBe32(Bytes &b, std::uint32_t v)
    {
        for (int shift = 24; shift >= 0; shift -= 8)
            b.push_back(static_cast<std::uint8_t>(v >> shift));
    }
    void putBe16(Bytes &b, std::uint16_t v)
    {
        b.push_back(static_cast<std::uint8_t>(v >> 8));
        b.push_back(static_cast<std::uint8_t>(v));
    }
    void putLe32(Bytes &b, std::uint32_t v)
    {
        for (int shift = 0; shift < 32; shift += 8)
            b.push_back(static_cast<std::uint8_t>(v >> shift));
    }

} // namespace

Bytes sampleTiff(testsupport::ByteOrder order)
{
    testsupport::TiffBuilder b(order);
    const std::size_t exifIfd = b.addIfd();
    b.ascii(0, exif::tag::Make, "Canon");
    b.shortValue(0, 0x0112, 6);
    b.pointer(0, exif::tag::ExifPointer, exifIfd);
    b.shortValue(exifIfd, exif::tag::IsoSpeedRatings, 100);
    return b.build().bytes;
}

std::vector<exif::ExifRow> sampleRows()
{
    return {{"メーカー名：", "Canon"}, {"ＩＳＯ感度：", "100"}};
}

Bytes bytesOf(std::string_view s)
{
    return Bytes(s.begin(), s.end());
}

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes pngChunk(std::string_view type, const Bytes &data)
{
    Bytes c;
    putBe32(c, static_cast<std::uint32_t>(data.size()));
    const Bytes body = concat({bytesOf(type), data});
    c.insert(c.end(), body.begin(), body.end());
    putBe32(c, static_cast<std::uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
    return c;
}

Bytes png(std::initializer_list<Bytes> chunks)
{
    Bytes out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    const Bytes ihdr = {0, 0, 0, 1, 0, 0, 0, 1, 8, 0, 0, 0, 0};
    out = concat({out, pngChunk("IHDR", ihdr)});
    for (const Bytes &c : chunks)
        out.insert(out.end(), c.begin(), c.end());
    return concat({out, pngChunk("IEND", {})});
}

Bytes rawProfile(const Bytes &block)
{
    char head[32];
    std::snprintf(head, sizeof head, "\nexif\n%8zu\n", block.size());
    std::string text = head;
    for (std::size_t i = 0; i < block.size(); ++i) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", block[i]);
        text += hex;
        if (i % 36 == 35)
            text += '\n';
    }
    return bytesOf(text + "\n");
}

Bytes zlibCompressed(const Bytes &data)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes out(size);
    if (compress(out.data(), &size, data.data(), static_cast<uLong>(data.size())) != Z_OK)
        return {};
    out.resize(size);
    return out;
}

Bytes brotliCompressed(const Bytes &data)
{
    std::size_t size = BrotliEncoderMaxCompressedSize(data.size());
    Bytes out(size);
    if (BrotliEncoderCompress(BROTLI_DEFAULT_QUALITY,
            BROTLI_DEFAULT_WINDOW,
            BROTLI_MODE_GENERIC,
            data.size(),
            data.data(),
            &size,
            out.data())
        == BROTLI_FALSE)
        return {};
    out.resize(size);
    return out;
}

Bytes riffChunk(std::string_view type, const Bytes &data)
{
    Bytes c = bytesOf(type);
    putLe32(c, static_cast<std::uint32_t>(data.size()));
    c.insert(c.end(), data.begin(), data.end());
    if (data.size() % 2 != 0)
        c.push_back(0);
    return c;
}

Bytes webp(std::initializer_list<Bytes> chunks)
{
    Bytes body = bytesOf("WEBP");
    body = concat({body, riffChunk("VP8X", Bytes(10, 0))});
    for (const Bytes &c : chunks)
        body.insert(body.end(), c.begin(), c.end());
    Bytes out = bytesOf("RIFF");
    putLe32(out, static_cast<std::uint32_t>(body.size()));
    return concat({out, body});
}

Bytes box(std::string_view type, const Bytes &payload)
{
    Bytes b;
    putBe32(b, static_cast<std::uint32_t>(payload.size() + 8));
    return concat({b, bytesOf(type), payload});
}

Bytes fullBox(std::string_view type, std::uint8_t version, const Bytes &payload)
{
    return box(type, concat({{version, 0, 0, 0}, payload}));
}

namespace {

    // infe version 2: item ID, protection index, item type.
    Bytes infe(std::uint16_t id, std::string_view type)
    {
        Bytes p;
        putBe16(p, id);
        putBe16(p, 0);
        return fullBox("infe", 2, concat({p, bytesOf(type)}));
    }

    // iloc with 4-byte offsets and lengths and no base offset; `extents` for item 2.
    Bytes iloc(int version, const std::vector<std::pair<std::uint32_t, std::uint32_t>> &extents)
    {
        Bytes p = {0x44, 0x00};
        putBe16(p, 1); // one item
        putBe16(p, 2);
        if (version == 1)
            putBe16(p, 1); // construction method 1: idat
        putBe16(p, 0); // data reference index
        putBe16(p, static_cast<std::uint16_t>(extents.size()));
        for (const auto &[offset, length] : extents) {
            putBe32(p, offset);
            putBe32(p, length);
        }
        return fullBox("iloc", static_cast<std::uint8_t>(version), p);
    }

} // namespace

Bytes heif(const Bytes &item, const HeifOptions &options)
{
    const Bytes ftyp = box("ftyp", bytesOf(std::string_view("heic\0\0\0\0mif1heic", 16)));
    Bytes iinfPayload;
    putBe16(iinfPayload, 2);
    const Bytes iinf = fullBox("iinf", 0, concat({iinfPayload, infe(1, "hvc1"), infe(2, "Exif")}));
    const Bytes hdlr = fullBox("hdlr", 0, concat({Bytes(4, 0), bytesOf("pict"), Bytes(13, 0)}));
    // Extents: the item cut into `pieces` runs of about equal size.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> extents;
    const std::size_t pieces = static_cast<std::size_t>(options.pieces);
    const std::size_t step = (item.size() + pieces - 1) / pieces;
    for (std::size_t at = 0; at < item.size(); at += step)
        extents.emplace_back(static_cast<std::uint32_t>(at),
            static_cast<std::uint32_t>(std::min(step, item.size() - at)));
    if (options.inIdat) {
        for (auto &e : extents)
            e.first += options.extraOffset;
        return concat(
            {ftyp, fullBox("meta", 0, concat({hdlr, iinf, iloc(1, extents), box("idat", item)}))});
    }
    // The mdat follows the meta box, whose size does not depend on the offsets' values.
    const std::size_t metaSize = fullBox("meta", 0, concat({hdlr, iinf, iloc(0, extents)})).size();
    const auto dataStart = static_cast<std::uint32_t>(ftyp.size() + metaSize + 8);
    for (auto &e : extents)
        e.first += dataStart + options.extraOffset;
    const Bytes meta = fullBox("meta", 0, concat({hdlr, iinf, iloc(0, extents)}));
    return concat({ftyp, meta, box("mdat", item)});
}

Bytes jxl(std::initializer_list<Bytes> boxes)
{
    Bytes out = {0, 0, 0, 0x0C, 'J', 'X', 'L', ' ', 0x0D, 0x0A, 0x87, 0x0A};
    out = concat({out,
        box("ftyp", bytesOf(std::string_view("jxl \0\0\0\0jxl ", 12))),
        box("jxlc", {0xFF, 0x0A, 0x00})});
    for (const Bytes &b : boxes)
        out.insert(out.end(), b.begin(), b.end());
    return out;
}

Bytes withOffsetField(const Bytes &block, std::uint32_t offset)
{
    Bytes out;
    putBe32(out, offset);
    return concat({out, block});
}

Bytes bigTiff(const BigTiffOptions &options)
{
    const bool big = options.order == testsupport::ByteOrder::Big;
    Bytes b;
    const auto put = [&](std::uint64_t v, int n) {
        for (int i = 0; i < n; ++i)
            b.push_back(static_cast<std::uint8_t>(v >> (8 * (big ? n - 1 - i : i))));
    };
    const auto entry = [&](std::uint16_t tag, std::uint16_t type, std::uint64_t count) {
        put(tag, 2);
        put(type, 2);
        put(count, 8);
    };
    b = big ? Bytes {'M', 'M'} : Bytes {'I', 'I'};
    put(43, 2);
    put(8, 2);
    put(0, 2);
    put(16, 8);
    // IFD0 at 16: 8 + 3 * 20 + 8 bytes, so the Exif directory stands at 92.
    put(options.ifd0Count != 0 ? options.ifd0Count : 3, 8);
    entry(exif::tag::Make, 2, 6);
    b.insert(b.end(), {'C', 'a', 'n', 'o', 'n', 0, 0, 0});
    entry(0x0112, 3, 1);
    put(6, 2);
    put(0, 6);
    entry(exif::tag::ExifPointer, options.pointerType, 1);
    const std::uint64_t exifAt = options.exifAt != 0 ? options.exifAt : 92;
    if (options.pointerType == 4) {
        put(exifAt, 4);
        put(0, 4);
    } else {
        put(exifAt, 8);
    }
    put(0, 8);
    put(1, 8);
    entry(exif::tag::IsoSpeedRatings, 3, 1);
    put(100, 2);
    put(0, 6);
    put(0, 8);
    return b;
}

} // namespace morvane::exiftest
