// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/jpegdecode.h"

#include "imaging/jpegscale.h"

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <new>
#include <vector>
// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

namespace morvane::imaging {
namespace {

    // A progressive file with hundreds of scans costs a full pass over the coefficients for each;
    // real files have about ten.
    constexpr int kMaxScans = 500;

    struct ErrorManager
    {
        jpeg_error_mgr pub; // first member: libjpeg hands back a pointer to it
        std::jmp_buf jump;
    };

    // libjpeg must not return from error_exit; we jump back to decodeInto, which returns failure
    // and lets the caller destroy the decompressor (which frees every pool libjpeg allocated).
    [[noreturn]] void onError(j_common_ptr cinfo)
    {
        auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
        std::longjmp(err->jump, 1);
    }

    // The default writes to stderr; a list build must stay silent.
    void onOutputMessage(j_common_ptr) {}

    // Warnings that mean the picture data is damaged or missing (libjpeg would fill the rest of
    // the picture with grey and carry on) fail the decode, so such a file is listed as an other
    // file. Harmless ones (an unknown JFIF revision, junk between markers, a bad ICC chunk) are
    // ignored.
    void onEmitMessage(j_common_ptr cinfo, int level)
    {
        if (level >= 0)
            return; // trace messages
        switch (cinfo->err->msg_code) {
        case JWRN_JPEG_EOF:
        case JWRN_HIT_MARKER:
        case JWRN_HUFF_BAD_CODE:
        case JWRN_MUST_RESYNC:
        case JWRN_NOT_SEQUENTIAL:
        case JWRN_BOGUS_PROGRESSION:
            onError(cinfo);
        default:
            break;
        }
    }

    void onProgress(j_common_ptr cinfo)
    {
        if (cinfo->is_decompressor) {
            auto *dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
            if (dinfo->input_scan_number > kMaxScans)
                onError(cinfo);
        }
    }

    // Inverted CMYK (the Adobe convention) stores 255 - ink, so white paper is 255 in every
    // channel; plain CMYK stores the ink itself.
    inline unsigned char mixInk(unsigned value, unsigned key, bool inverted)
    {
        if (!inverted) {
            value = 255 - value;
            key = 255 - key;
        }
        return static_cast<unsigned char>((value * key + 127) / 255);
    }

    // jpeg_create_decompress itself can fail (no memory for the first pool); it reports through
    // error_exit like everything else, and jpeg_destroy_decompress copes with what it left.
    bool create(jpeg_decompress_struct &cinfo, ErrorManager &err, jpeg_progress_mgr &progress)
    {
        if (setjmp(err.jump) != 0)
            return false;
        jpeg_create_decompress(&cinfo);
        cinfo.mem->max_memory_to_use = static_cast<long>(kMaxPictureBytes);
        cinfo.progress = &progress;
        return true;
    }

    // The bytes libjpeg keeps for the whole decode besides its row buffers: a file read in more
    // than one scan (progressive, or components in separate scans) holds every coefficient block
    // of the full picture, 64 coefficients of 2 bytes each, as libjpeg's coefficient controller
    // allocates them.
    std::int64_t coefficientBytes(const jpeg_decompress_struct &cinfo)
    {
        if (!cinfo.progressive_mode && cinfo.comps_in_scan >= cinfo.num_components)
            return 0;
        std::int64_t blocks = 0;
        for (int ci = 0; ci < cinfo.num_components; ++ci) {
            const jpeg_component_info &c = cinfo.comp_info[ci];
            const auto roundUp = [](std::int64_t n, std::int64_t to) {
                return (n + to - 1) / to * to;
            };
            blocks += roundUp(c.width_in_blocks, c.h_samp_factor)
                * roundUp(c.height_in_blocks, c.v_samp_factor);
        }
        return blocks * static_cast<std::int64_t>(sizeof(JBLOCK));
    }

    // A source that hands libjpeg chosen ranges of the file in turn, as if they were one file.
    struct SpanSource
    {
        jpeg_source_mgr pub; // first member: libjpeg sees only this
        const unsigned char *data;
        const ByteSpan *spans;
        std::size_t count;
        std::size_t next;
    };

    void spanInit(j_decompress_ptr) {}
    void spanTerm(j_decompress_ptr) {}

    boolean spanFill(j_decompress_ptr cinfo)
    {
        auto *src = reinterpret_cast<SpanSource *>(cinfo->src);
        if (src->next < src->count) {
            const ByteSpan &span = src->spans[src->next++];
            src->pub.next_input_byte = src->data + span.begin;
            src->pub.bytes_in_buffer = span.end - span.begin;
            return TRUE;
        }
        // Past the last range, as libjpeg's memory source does at the end of its buffer: a
        // warning (which fails the decode) and an end-of-image marker.
        static const JOCTET eoi[2] = {0xFF, JPEG_EOI};
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->pub.next_input_byte = eoi;
        src->pub.bytes_in_buffer = 2;
        return TRUE;
    }

    void spanSkip(j_decompress_ptr cinfo, long count)
    {
        jpeg_source_mgr *src = cinfo->src;
        while (count > static_cast<long>(src->bytes_in_buffer)) {
            count -= static_cast<long>(src->bytes_in_buffer);
            (void)spanFill(cinfo);
        }
        if (count > 0) {
            src->next_input_byte += count;
            src->bytes_in_buffer -= static_cast<std::size_t>(count);
        }
    }

    // Which scans of a progressive file the decode reads; owned by decodeJpeg, whose frame no
    // longjmp skips.
    struct ScanPlan
    {
        ProgressiveReading reading;
        std::vector<ByteSpan> spans;
        SpanSource source;
    };

    // Fills plan.spans with the ranges of the file still to read, from where libjpeg stands
    // (at the first scan's data, after jpeg_read_header) to the end-of-image marker, leaving out
    // the scans the output at the scale set in `cinfo` does not need. False when every scan is
    // to be read: nothing to leave out, or the file's scans cannot be laid out.
    bool planScans(const jpeg_decompress_struct &cinfo,
        const unsigned char *data,
        std::size_t size,
        ScanPlan &plan) noexcept
    {
        try {
            std::vector<ComponentNeed> needs;
            bool fewer = false;
            for (int ci = 0; ci < cinfo.num_components; ++ci) {
                // The side of the component's blocks in the output: its inverse transform reads
                // only the coefficients that side can show.
                const int side = cinfo.comp_info[ci].DCT_scaled_size;
                const CoefficientNeed need = side >= DCTSIZE ? CoefficientNeed::All
                    : side == 1                              ? CoefficientNeed::DcOnly
                                                             : plan.reading.partialBlocks;
                fewer = fewer || need != CoefficientNeed::All;
                needs.push_back({cinfo.comp_info[ci].component_id, need});
            }
            if (!fewer)
                return false;
            const std::optional<JpegScanLayout> layout = findJpegScans(data, size);
            if (!layout)
                return false;
            const auto at = static_cast<std::size_t>(cinfo.src->next_input_byte - data);
            plan.spans.clear();
            for (const ByteSpan &span : neededSpans(*layout, needs, plan.reading.prefixOnly)) {
                if (span.end > at)
                    plan.spans.push_back({std::max(span.begin, at), span.end});
            }
            return !plan.spans.empty() && plan.spans.front().begin == at;
        } catch (const std::bad_alloc &) {
            return false; // read every scan: it costs time, not memory
        }
    }

    // The scale asked for: 1/2^shift, or with a valid `atLeast` the M/8 jpegShowEighths picks.
    struct ScaleAsked
    {
        int shift = 0;
        QSize atLeast;
        QSize preferred;
    };

    // Sets the scale asked for. Leaves the output dimensions computed.
    void chooseScale(jpeg_decompress_struct &cinfo, const ScaleAsked &scale)
    {
        cinfo.scale_num = 1;
        cinfo.scale_denom = 1U << scale.shift;
        if (scale.atLeast.isValid()) {
            cinfo.scale_denom = 8;
            cinfo.scale_num =
                unsigned(jpegShowEighths({int(cinfo.image_width), int(cinfo.image_height)},
                    {scale.atLeast.width(), scale.atLeast.height()},
                    {scale.preferred.width(), scale.preferred.height()}));
        }
        jpeg_calc_output_dimensions(&cinfo);
    }

    // Only plain C data lives in this frame: a longjmp out of libjpeg lands here and skips no
    // destructor. `out` belongs to the caller; it is assigned before any call that can jump.
    // `status` is what a return without a jump means; after a jump the caller reads libjpeg's
    // message code.
    bool decodeInto(jpeg_decompress_struct &cinfo,
        ErrorManager &err,
        const unsigned char *data,
        std::size_t size,
        const ScaleAsked &scale,
        const MemoryGate &gate,
        ScanPlan &plan,
        QImage &out,
        int &fullWidth,
        int &fullHeight,
        DecodeStatus &status)
    {
        if (setjmp(err.jump) != 0)
            return false;

        jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
        if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK)
            return false;
        fullWidth = static_cast<int>(cinfo.image_width);
        fullHeight = static_cast<int>(cinfo.image_height);
        if (std::int64_t(cinfo.image_width) * cinfo.image_height > kMaxPicturePixels) {
            status = DecodeStatus::TooLarge;
            return false;
        }

        cinfo.dct_method = JDCT_IFAST;

        bool cmyk = false;
        switch (cinfo.jpeg_color_space) {
        case JCS_GRAYSCALE:
        case JCS_YCbCr:
        case JCS_RGB:
            // Straight into QImage's 32-bit layout, 0xAARRGGBB in native byte order.
            cinfo.out_color_space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRA : JCS_EXT_ARGB;
            break;
        case JCS_CMYK:
        case JCS_YCCK:
            cinfo.out_color_space = JCS_CMYK; // libjpeg turns YCCK into CMYK
            cmyk = true;
            break;
        default:
            return false;
        }

        chooseScale(cinfo, scale);
        const bool reusable = out.width() == int(cinfo.output_width)
            && out.height() == int(cinfo.output_height) && out.format() == QImage::Format_RGB32
            && out.isDetached();
        if (!reusable)
            out = QImage();
        const std::int64_t imageBytes = std::int64_t(cinfo.output_width) * cinfo.output_height * 4;
        if (gate && !gate(static_cast<std::int64_t>(size) + imageBytes + coefficientBytes(cinfo))) {
            return false;
        }
        // At full scale every block keeps its size and planScans() leaves nothing out.
        if (cinfo.progressive_mode && plan.reading.skipScans
            && planScans(cinfo, data, size, plan)) {
            const ByteSpan first = plan.spans.front();
            plan.source = {};
            plan.source.pub.init_source = spanInit;
            plan.source.pub.fill_input_buffer = spanFill;
            plan.source.pub.skip_input_data = spanSkip;
            plan.source.pub.resync_to_restart = jpeg_resync_to_restart;
            plan.source.pub.term_source = spanTerm;
            plan.source.pub.next_input_byte = data + first.begin;
            plan.source.pub.bytes_in_buffer = first.end - first.begin;
            plan.source.data = data;
            plan.source.spans = plan.spans.data();
            plan.source.count = plan.spans.size();
            plan.source.next = 1;
            cinfo.src = &plan.source.pub;
            // Smoothing would guess the missing AC coefficients from the neighbours' DC and
            // change the DC-only blocks; without it they are exactly those of the full decode.
            cinfo.do_block_smoothing = FALSE;
        }
        jpeg_start_decompress(&cinfo);
        if (!reusable) {
            out = QImage(static_cast<int>(cinfo.output_width),
                static_cast<int>(cinfo.output_height),
                QImage::Format_RGB32);
        }
        if (out.isNull()) {
            // Its size is within the limit, so only the memory can be missing.
            status = DecodeStatus::NoMemory;
            return false; // the caller destroys cinfo
        }

        if (!cmyk) {
            JSAMPROW rows[16];
            const int maxRows = static_cast<int>(std::min<unsigned>(16, cinfo.rec_outbuf_height));
            while (cinfo.output_scanline < cinfo.output_height) {
                const auto first = static_cast<int>(cinfo.output_scanline);
                const int count = std::min(maxRows, static_cast<int>(cinfo.output_height) - first);
                for (int i = 0; i < count; ++i)
                    rows[i] = out.scanLine(first + i);
                // A source in memory never suspends; no progress would mean a stuck decoder.
                if (jpeg_read_scanlines(&cinfo, rows, static_cast<JDIMENSION>(count)) == 0)
                    return false;
            }
        } else {
            const bool inverted = cinfo.saw_Adobe_marker != 0;
            JSAMPARRAY buffer = (*cinfo.mem->alloc_sarray)(
                reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, cinfo.output_width * 4, 1);
            while (cinfo.output_scanline < cinfo.output_height) {
                const auto y = static_cast<int>(cinfo.output_scanline);
                if (jpeg_read_scanlines(&cinfo, buffer, 1) != 1)
                    return false;
                const JSAMPLE *in = buffer[0];
                auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
                for (JDIMENSION x = 0; x < cinfo.output_width; ++x, in += 4) {
                    line[x] = qRgb(mixInk(in[0], in[3], inverted),
                        mixInk(in[1], in[3], inverted),
                        mixInk(in[2], in[3], inverted));
                }
            }
        }
        // Reads to the end marker, so a file cut after its last scan line is noticed as well.
        jpeg_finish_decompress(&cinfo);
        status = DecodeStatus::Decoded;
        return true;
    }

} // namespace

ProgressiveReading thumbnailReading(int scaleShift)
{
    ProgressiveReading reading;
    reading.skipScans = scaleShift == 3;
    return reading;
}

// `reuse` becomes the output image when it fits (see JpegShowOptions).
static DecodeResult decode(const unsigned char *data,
    std::size_t size,
    const ScaleAsked &scale,
    const MemoryGate &gate,
    QImage reuse,
    const ProgressiveReading &reading)
{
    DecodeResult result;
    if (data == nullptr || size == 0)
        return result;
    result.picture.image = std::move(reuse);

    jpeg_decompress_struct cinfo {};
    ErrorManager err {};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.output_message = onOutputMessage;
    err.pub.emit_message = onEmitMessage;
    jpeg_progress_mgr progress {};
    progress.progress_monitor = onProgress;

    ScanPlan plan;
    plan.reading = reading;
    DecodeStatus status = DecodeStatus::NotPicture;
    const bool ok = create(cinfo, err, progress)
        && decodeInto(cinfo,
            err,
            data,
            size,
            scale,
            gate,
            plan,
            result.picture.image,
            result.picture.fullWidth,
            result.picture.fullHeight,
            status);
    jpeg_destroy_decompress(&cinfo);
    if (ok) {
        result.status = DecodeStatus::Decoded;
        return result;
    }
    result.picture = {};
    if (status != DecodeStatus::NotPicture)
        result.status = status;
    else if (err.pub.msg_code == JERR_OUT_OF_MEMORY)
        result.status = DecodeStatus::NoMemory;
    else if (err.pub.msg_code == JERR_NO_BACKING_STORE)
        result.status = DecodeStatus::TooLarge; // its working memory would pass the limit
    return result;
}

DecodeResult decodeJpeg(
    const unsigned char *data, std::size_t size, int scaleShift, const MemoryGate &gate)
{
    return decodeJpeg(data, size, scaleShift, gate, thumbnailReading(scaleShift));
}

DecodeResult decodeJpeg(const unsigned char *data,
    std::size_t size,
    int scaleShift,
    const MemoryGate &gate,
    const ProgressiveReading &reading)
{
    if (scaleShift < 0 || scaleShift > 3)
        return {};
    return decode(data, size, {scaleShift, {}, {}}, gate, QImage(), reading);
}

DecodeResult decodeJpeg(const unsigned char *data, std::size_t size, JpegShowOptions options)
{
    // A progressive file leaves out only the scans whose coefficients its scaled blocks cannot
    // show (at 1/8, the AC scans of every component): exactly the pixels of reading them all.
    ProgressiveReading exact;
    exact.skipScans = true;
    return decode(data,
        size,
        {0, options.atLeast, options.preferAtLeast},
        options.gate,
        std::move(options.reuse),
        exact);
}

} // namespace morvane::imaging
