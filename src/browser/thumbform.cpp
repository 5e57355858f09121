// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/thumbform.h"

#include "browser/thumbcacheformat.h"
#include "browser/thumbfit.h"
#include "browser/thumbspill.h"
#include "browser/typeboxes.h"

#include <QPainter>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace morvane {
namespace {

    // Fast rather than small: the build packs every large box, and delta rows of a photo gain
    // little from the slower levels.
    constexpr int kCompressionLevel = 1;

    QImage whiteBox(int boxSize)
    {
        QImage box(boxSize, boxSize, QImage::Format_RGB32);
        if (!box.isNull())
            box.fill(0xFFFFFFFFu);
        return box;
    }

    // Nearest-neighbour stretch of an opaque RGB32 picture into the top-left w x h rectangle of
    // `box`, sampling each target pixel's centre. Stretching a picture to its own size copies it,
    // so a box drawn from fitted pixels equals one drawn from the decoded picture.
    void stretchOpaque(const QImage &src, QImage &box, int w, int h)
    {
        const int sw = src.width();
        const int sh = src.height();
        std::vector<int> columns(static_cast<std::size_t>(std::max(w, 0)));
        for (int x = 0; x < w; ++x) {
            columns[static_cast<std::size_t>(x)] = static_cast<int>(
                ((2 * static_cast<std::int64_t>(x) + 1) * sw) / (2 * static_cast<std::int64_t>(w)));
        }
        for (int y = 0; y < h; ++y) {
            const auto sy = static_cast<int>(
                ((2 * static_cast<std::int64_t>(y) + 1) * sh) / (2 * static_cast<std::int64_t>(h)));
            const auto *in = reinterpret_cast<const QRgb *>(src.constScanLine(sy));
            auto *out = reinterpret_cast<QRgb *>(box.scanLine(y));
            for (int x = 0; x < w; ++x)
                out[x] = in[columns[static_cast<std::size_t>(x)]];
        }
    }

    // The top-left w x h of `box` (at least one pixel, which the stretch of a zero side never
    // reads).
    QImage topLeft(const QImage &box, int w, int h)
    {
        return box.copy(0, 0, std::max(w, 1), std::max(h, 1));
    }

} // namespace

ThumbForm ThumbForm::plain(QImage pixels, QSize drawn, int boxSize)
{
    ThumbForm form;
    if (pixels.isNull())
        return form;
    form.m_pixelSize = pixels.size();
    form.m_drawn = drawn;
    form.m_boxSize = boxSize;
    form.m_plain = std::move(pixels);
    return form;
}

std::optional<ThumbForm> ThumbForm::fromPicture(const QImage &picture, bool atOwnSize, int boxSize)
{
    const std::optional<browser::DrawnSize> fit =
        browser::fitToBox(picture.width(), picture.height(), boxSize);
    if (!fit)
        return std::nullopt;
    const auto w = static_cast<int>(fit->width);
    const auto h = static_cast<int>(fit->height);
    ThumbForm form;
    if (atOwnSize || picture.format() != QImage::Format_RGB32) {
        // Drawn by a painter over white; only the part it can have touched is kept.
        QImage box = whiteBox(boxSize);
        if (box.isNull())
            return std::nullopt;
        QPainter painter(&box);
        QSize drawn(w, h);
        if (atOwnSize) {
            // Icons keep their own size, whatever the fit says; transparent parts show white.
            painter.drawImage(0, 0, picture);
            drawn = picture.size().boundedTo(QSize(boxSize, boxSize));
        } else {
            painter.drawImage(QRect(0, 0, w, h), picture);
        }
        painter.end();
        form = plain(topLeft(box, drawn.width(), drawn.height()), drawn, boxSize);
    } else if (static_cast<std::int64_t>(picture.width()) * picture.height()
        <= static_cast<std::int64_t>(w) * h) {
        form = plain(picture, QSize(w, h), boxSize); // the box enlarges it: keep it as decoded
    } else {
        QImage fitted(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32);
        if (fitted.isNull())
            return std::nullopt;
        fitted.fill(0xFFFFFFFFu);
        stretchOpaque(picture, fitted, w, h);
        form = plain(std::move(fitted), QSize(w, h), boxSize);
    }
    if (form.isNull())
        return std::nullopt;
    return form;
}

ThumbForm ThumbForm::fromBox(const QImage &box)
{
    ThumbForm form;
    if (box.isNull())
        return form;
    form.m_plain = box;
    form.m_pixelSize = box.size();
    form.m_drawn = box.size();
    form.m_boxSize = box.width();
    form.m_wholeBox = true;
    return form;
}

ThumbForm ThumbForm::fromType(std::shared_ptr<browser::TypeBoxes> boxes, const QString &fileName)
{
    ThumbForm form;
    const int side = boxes->boxSize();
    form.m_typeBoxes = std::move(boxes);
    form.m_typeName = fileName;
    form.m_pixelSize = QSize(side, side);
    form.m_drawn = form.m_pixelSize;
    form.m_boxSize = side;
    form.m_wholeBox = true;
    return form;
}

std::optional<ThumbForm> ThumbForm::fromPacked(
    const QByteArray &payload, QSize pixelSize, QSize drawn, int boxSize)
{
    ThumbForm packed;
    packed.m_pixelSize = pixelSize;
    packed.m_drawn = drawn;
    packed.m_boxSize = boxSize;
    packed.m_packed = payload;
    ThumbForm form = plain(packed.pixels(), drawn, boxSize);
    if (form.isNull())
        return std::nullopt;
    return form;
}

QByteArray ThumbForm::packedOf(const QImage &pixels)
{
    const std::string delta =
        browser::toDeltaRgb(reinterpret_cast<const std::uint32_t *>(pixels.constBits()),
            pixels.width(),
            pixels.height(),
            static_cast<std::size_t>(pixels.bytesPerLine() / 4));
    return qCompress(reinterpret_cast<const uchar *>(delta.data()),
        static_cast<qsizetype>(delta.size()),
        kCompressionLevel);
}

ThumbForm ThumbForm::stored(const std::shared_ptr<ThumbSpill> &spill) const
{
    if (!isLarge())
        return *this;
    ThumbForm form = *this;
    form.m_plain = QImage();
    const qsizetype rowBytes = qsizetype(m_pixelSize.width()) * 4;
    if (spill != nullptr && m_plain.bytesPerLine() == rowBytes) {
        const QByteArray bytes = QByteArray::fromRawData(
            reinterpret_cast<const char *>(m_plain.constBits()), m_plain.sizeInBytes());
        if (const std::optional<std::int64_t> at = spill->append(bytes)) {
            form.m_spill = spill;
            form.m_spillOffset = *at;
            return form;
        }
    }
    form.m_packed = packedOf(m_plain);
    return form.m_packed.isEmpty() ? *this : form;
}

QByteArray ThumbForm::packed() const
{
    if (isNull())
        return {};
    if (!m_packed.isEmpty())
        return m_packed;
    const QImage image = pixels();
    return image.isNull() ? QByteArray() : packedOf(image);
}

QImage ThumbForm::pixels() const
{
    if (!m_plain.isNull())
        return m_plain;
    if (m_typeBoxes != nullptr)
        return m_typeBoxes->box(m_typeName);
    QImage image(m_pixelSize, QImage::Format_RGB32);
    if (image.isNull() || m_pixelSize.isEmpty())
        return {};
    if (m_spill != nullptr) {
        if (!m_spill->read(m_spillOffset, image.bits(), image.sizeInBytes()))
            return {};
        return image;
    }
    const QByteArray delta = qUncompress(m_packed);
    if (!browser::fromDeltaRgb(
            std::string_view(delta.constData(), static_cast<std::size_t>(delta.size())),
            image.width(),
            image.height(),
            reinterpret_cast<std::uint32_t *>(image.bits()),
            static_cast<std::size_t>(image.bytesPerLine() / 4)))
        return {};
    return image;
}

QImage ThumbForm::box() const
{
    if (isNull())
        return {};
    if (m_pixelSize == QSize(m_boxSize, m_boxSize) && m_drawn == m_pixelSize
        && (!m_plain.isNull() || m_typeBoxes != nullptr))
        return pixels();
    const QImage src = pixels();
    QImage box = whiteBox(m_boxSize);
    if (src.isNull() || box.isNull())
        return {};
    if (!m_drawn.isEmpty() && (m_drawn.width() > src.width() || m_drawn.height() > src.height())) {
        // Enlarged: interpolated, so a small decode (a photo at 1/8 in a large box) shows no
        // blocks of repeated pixels. The rectangle and the white around it stay the fit's.
        const QImage smooth = src.scaled(m_drawn, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                  .convertToFormat(QImage::Format_RGB32);
        if (smooth.isNull())
            return {};
        const auto rowBytes = static_cast<std::size_t>(smooth.width()) * 4;
        for (int y = 0; y < smooth.height(); ++y)
            std::memcpy(box.scanLine(y), smooth.constScanLine(y), rowBytes);
        return box;
    }
    stretchOpaque(src, box, m_drawn.width(), m_drawn.height());
    return box;
}

qsizetype ThumbForm::bytes() const
{
    return m_plain.isNull() ? m_packed.size() : m_plain.sizeInBytes();
}

} // namespace morvane
