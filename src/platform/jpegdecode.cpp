// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/jpegdecode.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

namespace morvane::platform {
namespace {

    // Progressive files need the whole coefficient buffer in memory (about 3 bytes per pixel of
    // the full picture); a header that claims more than this is refused instead of exhausting
    // memory. 1 GiB holds a progressive picture of some 350 megapixels.
    constexpr long kMemoryLimit = 1L << 30;
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

    // Only plain C data lives in this frame: a longjmp out of libjpeg lands here and skips no
    // destructor. `out` belongs to the caller; it is assigned before any call that can jump.
    bool decodeInto(jpeg_decompress_struct &cinfo,
        ErrorManager &err,
        const unsigned char *data,
        std::size_t size,
        int scaleShift,
        QImage &out,
        int &fullWidth,
        int &fullHeight)
    {
        if (setjmp(err.jump) != 0)
            return false;

        jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
        if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK)
            return false;
        fullWidth = static_cast<int>(cinfo.image_width);
        fullHeight = static_cast<int>(cinfo.image_height);

        cinfo.scale_num = 1;
        cinfo.scale_denom = 1U << scaleShift;
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

        jpeg_start_decompress(&cinfo);
        out = QImage(static_cast<int>(cinfo.output_width),
            static_cast<int>(cinfo.output_height),
            QImage::Format_RGB32);
        if (out.isNull())
            return false; // too large for QImage or no memory; the caller destroys cinfo

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
        return true;
    }

} // namespace

std::optional<DecodedPicture> decodeJpeg(
    const unsigned char *data, std::size_t size, int scaleShift)
{
    if (data == nullptr || size == 0 || scaleShift < 0 || scaleShift > 3)
        return std::nullopt;

    jpeg_decompress_struct cinfo {};
    ErrorManager err {};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.output_message = onOutputMessage;
    err.pub.emit_message = onEmitMessage;
    jpeg_progress_mgr progress {};
    progress.progress_monitor = onProgress;

    DecodedPicture result;
    bool ok = false;
    // jpeg_create_decompress itself can fail (no memory for the first pool); it reports through
    // error_exit like everything else.
    if (setjmp(err.jump) == 0) {
        jpeg_create_decompress(&cinfo);
        cinfo.mem->max_memory_to_use = kMemoryLimit;
        cinfo.progress = &progress;
        ok = decodeInto(
            cinfo, err, data, size, scaleShift, result.image, result.fullWidth, result.fullHeight);
    }
    jpeg_destroy_decompress(&cinfo);
    if (!ok)
        return std::nullopt;
    return result;
}

} // namespace morvane::platform
