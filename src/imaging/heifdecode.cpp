// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/formatdecoders.h"

#include <libheif/heif.h>
#include <memory>
#include <vector>

namespace morvane::imaging {
namespace {

    struct ContextFree
    {
        void operator()(heif_context *c) const { heif_context_free(c); }
    };
    struct HandleFree
    {
        void operator()(heif_image_handle *h) const { heif_image_handle_release(h); }
    };
    struct ImageFree
    {
        void operator()(heif_image *i) const { heif_image_release(i); }
    };
    struct OptionsFree
    {
        void operator()(heif_decoding_options *o) const { heif_decoding_options_free(o); }
    };
    using Handle = std::unique_ptr<heif_image_handle, HandleFree>;

    // libheif refuses pictures of more than this side squared: kMaxPicturePixels.
    constexpr int kMaxSide = 16384;

    // The smallest thumbnail of `primary` whose longer side reaches `boxSize`; null when none.
    Handle thumbnailFor(heif_image_handle *primary, int boxSize)
    {
        const int count = heif_image_handle_get_number_of_thumbnails(primary);
        if (count <= 0 || count > 64)
            return {};
        std::vector<heif_item_id> ids(static_cast<std::size_t>(count));
        const int listed = heif_image_handle_get_list_of_thumbnail_IDs(primary, ids.data(), count);
        Handle best;
        long long bestPixels = 0;
        for (int i = 0; i < listed; ++i) {
            heif_image_handle *raw = nullptr;
            if (heif_image_handle_get_thumbnail(primary, ids[std::size_t(i)], &raw).code
                != heif_error_Ok)
                continue;
            Handle thumb(raw);
            const int w = heif_image_handle_get_width(thumb.get());
            const int h = heif_image_handle_get_height(thumb.get());
            const long long pixels = (long long)w * h;
            if (std::max(w, h) >= boxSize && w > 0 && h > 0 && (!best || pixels < bestPixels)) {
                best = std::move(thumb);
                bestPixels = pixels;
            }
        }
        return best;
    }

} // namespace

DecodeResult decodeHeif(const QByteArray &bytes, int boxSize, const MemoryGate &gate)
{
    DecodeResult result;
    const std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
    if (!context)
        return {DecodeStatus::NoMemory, {}};
    heif_context_set_maximum_image_size_limit(context.get(), kMaxSide);
    if (heif_context_read_from_memory_without_copy(
            context.get(), bytes.constData(), static_cast<std::size_t>(bytes.size()), nullptr)
            .code
        != heif_error_Ok)
        return result;
    heif_image_handle *rawPrimary = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &rawPrimary).code != heif_error_Ok)
        return result;
    const Handle primary(rawPrimary);
    // The handle's size is the picture's after the container's turns and crops.
    const int fullWidth = heif_image_handle_get_width(primary.get());
    const int fullHeight = heif_image_handle_get_height(primary.get());
    if (fullWidth <= 0 || fullHeight <= 0)
        return result;
    if (static_cast<std::int64_t>(fullWidth) * fullHeight > kMaxPicturePixels)
        return {DecodeStatus::TooLarge, {}};

    Handle thumb = boxSize > 0 ? thumbnailFor(primary.get(), boxSize) : Handle();
    heif_image_handle *source = thumb ? thumb.get() : primary.get();
    const int width = heif_image_handle_get_width(source);
    const int height = heif_image_handle_get_height(source);
    const std::int64_t pixels = static_cast<std::int64_t>(width) * height;
    // The file, the decoder's planes (up to 16 bits in three full planes), its RGBA output and
    // our copy of it.
    if (gate && !gate(bytes.size() + pixels * (6 + 4 + 4)))
        return result;

    const bool alpha = heif_image_handle_has_alpha_channel(source) != 0;
    const std::unique_ptr<heif_decoding_options, OptionsFree> options(
        heif_decoding_options_alloc());
    if (!options)
        return {DecodeStatus::NoMemory, {}};
    options->ignore_transformations = 0;
    heif_image *rawImage = nullptr;
    const heif_error decoded = heif_decode_image(source,
        &rawImage,
        heif_colorspace_RGB,
        alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
        options.get());
    const std::unique_ptr<heif_image, ImageFree> image(rawImage);
    if (decoded.code == heif_error_Memory_allocation_error)
        return {DecodeStatus::NoMemory, {}};
    if (decoded.code != heif_error_Ok || !image)
        return result;
    int stride = 0;
    const uint8_t *plane =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int w = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int h = heif_image_get_height(image.get(), heif_channel_interleaved);
    const int rowBytes = w * (alpha ? 4 : 3);
    if (plane == nullptr || w <= 0 || h <= 0 || stride < rowBytes
        || static_cast<std::int64_t>(w) * h > kMaxPicturePixels)
        return result;
    const QImage wrapped(
        plane, w, h, stride, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    result.picture.image = ownedPicture(wrapped, alpha);
    if (result.picture.image.isNull())
        return {DecodeStatus::NoMemory, {}};
    result.picture.fullWidth = fullWidth;
    result.picture.fullHeight = fullHeight;
    result.status = DecodeStatus::Decoded;
    return result;
}

} // namespace morvane::imaging
