// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace morvane {

class ThumbSpill;
namespace browser {
    class TypeBoxes;
}

// The compact form of a list item's box: the pixels at the size they are held before the box
// stretches them, and the top-left rectangle of the white box they are stretched into. A picture
// that the box enlarges is held as decoded (a 320 x 240 JPEG at 1/8 is 40 x 30 pixels, whatever
// the box); one that the box shrinks is held as fitted. Every box is drawn from this form: a
// shrink by the same nearest-neighbour stretch, so the pixels are those of a box drawn straight
// from the decoded picture, an enlargement by interpolation, so it shows no repeated pixels. A form
// is made with its pixels as they are; stored() moves large ones out of memory. An other file's
// form holds only its name until its type's box is drawn (fromType). Copies share their data. Any
// thread (but box() and packed() of an other file's form on the UI thread); a form is not changed
// after it is made.
class ThumbForm
{
public:
    // Pixels up to this size (bytes at 4 per pixel) stay in memory as they are.
    static constexpr qsizetype kPlainBytes = qsizetype(16) * 1024;

    ThumbForm() = default;

    // The form of a decoded picture in a box of `boxSize` pixels: stretched into the rectangle
    // of thumbfit's fit, or, for an icon (`atOwnSize`), drawn at its own size at 0, 0 (parts
    // outside the box cut, transparent parts white). nullopt when the fit has no rectangle (a
    // side of 0) or memory runs out.
    [[nodiscard]] static std::optional<ThumbForm> fromPicture(
        const QImage &picture, bool atOwnSize, int boxSize);

    // A whole box as it is, shared by the items that hold it.
    [[nodiscard]] static ThumbForm fromBox(const QImage &box);

    // An other file's box: its type's box from `boxes`, looked up when the box is first drawn.
    [[nodiscard]] static ThumbForm fromType(
        std::shared_ptr<browser::TypeBoxes> boxes, const QString &fileName);

    // The form from what packed() gave: `pixelSize` pixels stretched into `drawn` of a box of
    // `boxSize`. nullopt when the payload does not unpack to that size.
    [[nodiscard]] static std::optional<ThumbForm> fromPacked(
        const QByteArray &payload, QSize pixelSize, QSize drawn, int boxSize);

    // The same form as a list keeps it: pixels of more than kPlainBytes moved to `spill` as they
    // are (reading them back is a copy, so a screen of boxes draws quickly), or, when `spill` is
    // null or cannot take them, compressed in memory (lossless). Small pixels stay as they are.
    [[nodiscard]] ThumbForm stored(const std::shared_ptr<ThumbSpill> &spill) const;

    // The pixels compressed, as fromPacked() takes them. Empty for a null form or without memory.
    [[nodiscard]] QByteArray packed() const;

    // The box, boxSize x boxSize, Format_RGB32. Null for a null form or without memory.
    [[nodiscard]] QImage box() const;

    [[nodiscard]] bool isNull() const { return m_boxSize == 0; }
    // True when stored() has pixels in memory to move or compress. A whole box is shared by many
    // items and held once, so it stays as it is.
    [[nodiscard]] bool isLarge() const
    {
        return !m_wholeBox && m_plain.sizeInBytes() > kPlainBytes;
    }
    [[nodiscard]] int boxSize() const { return m_boxSize; }
    [[nodiscard]] QSize drawnSize() const { return m_drawn; }
    [[nodiscard]] QSize pixelSize() const { return m_pixelSize; }
    // Bytes the form holds in memory (pixel data, compressed or not; 0 when spilled).
    [[nodiscard]] qsizetype bytes() const;
    // Equal for forms that share their pixel data; 0 for a stored form.
    [[nodiscard]] qint64 shareKey() const { return m_plain.isNull() ? 0 : m_plain.cacheKey(); }

private:
    [[nodiscard]] QImage pixels() const;
    [[nodiscard]] static ThumbForm plain(QImage pixels, QSize drawn, int boxSize);
    [[nodiscard]] static QByteArray packedOf(const QImage &pixels);

    QImage m_plain; // the pixels, Format_RGB32, when held as they are
    QByteArray m_packed; // else compressed
    std::shared_ptr<ThumbSpill> m_spill; // or as they are, rows packed, at m_spillOffset
    std::int64_t m_spillOffset = 0;
    std::shared_ptr<browser::TypeBoxes> m_typeBoxes; // or a type box, drawn for m_typeName
    QString m_typeName;
    QSize m_pixelSize;
    QSize m_drawn;
    int m_boxSize = 0;
    bool m_wholeBox = false; // made by fromBox() or fromType()
};

} // namespace morvane
