// SPDX-License-Identifier: GPL-3.0-or-later
#include "exif/decompress.h"

#include "exif/exifcontainers.h"

#include <array>
#include <brotli/decode.h>
#include <zlib.h>

namespace morvane::exif {

// Inflates a zlib stream; nothing when it is damaged or inflates past kMaxDecodedBlock.
std::optional<std::vector<std::uint8_t>> inflateBounded(std::span<const std::uint8_t> in)
{
    z_stream z {};
    if (inflateInit(&z) != Z_OK)
        return std::nullopt;
    std::vector<std::uint8_t> out;
    std::array<std::uint8_t, 16384> buf {};
    z.next_in = const_cast<Bytef *>(
        in.data()); // NOLINT(cppcoreguidelines-pro-type-const-cast): zlib's API takes no const
    z.avail_in = static_cast<uInt>(in.size());
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = buf.data();
        z.avail_out = static_cast<uInt>(buf.size());
        rc = inflate(&z, Z_NO_FLUSH);
        const std::size_t n = buf.size() - z.avail_out;
        if (out.size() + n > kMaxDecodedBlock) {
            rc = Z_MEM_ERROR;
            break;
        }
        out.insert(out.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(n));
        if (rc == Z_BUF_ERROR && z.avail_in == 0)
            break; // the stream is cut: keep what came out
    }
    inflateEnd(&z);
    if (rc != Z_STREAM_END && rc != Z_BUF_ERROR)
        return std::nullopt;
    return out;
}

// Brotli-decompresses `in`; nothing when it is damaged, cut, or decompresses past
// kMaxDecodedBlock.
std::optional<std::vector<std::uint8_t>> unbrotliBounded(std::span<const std::uint8_t> in)
{
    if (in.empty())
        return std::nullopt;
    BrotliDecoderState *state = BrotliDecoderCreateInstance(nullptr, nullptr, nullptr);
    if (state == nullptr)
        return std::nullopt;
    std::vector<std::uint8_t> out;
    std::array<std::uint8_t, 16384> buf {};
    const std::uint8_t *nextIn = in.data();
    std::size_t availIn = in.size();
    BrotliDecoderResult rc = BROTLI_DECODER_RESULT_NEEDS_MORE_OUTPUT;
    while (rc == BROTLI_DECODER_RESULT_NEEDS_MORE_OUTPUT) {
        std::uint8_t *nextOut = buf.data();
        std::size_t availOut = buf.size();
        rc = BrotliDecoderDecompressStream(state, &availIn, &nextIn, &availOut, &nextOut, nullptr);
        const std::size_t n = buf.size() - availOut;
        if (out.size() + n > kMaxDecodedBlock) {
            rc = BROTLI_DECODER_RESULT_ERROR;
            break;
        }
        out.insert(out.end(), buf.data(), buf.data() + n);
    }
    BrotliDecoderDestroyInstance(state);
    if (rc != BROTLI_DECODER_RESULT_SUCCESS)
        return std::nullopt;
    return out;
}

} // namespace morvane::exif
