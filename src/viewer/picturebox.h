// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "viewer/pictureloader.h"

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QWidget>

namespace morvane {

// The viewer's picture box `Image1`: holds one picture and draws it into its own rectangle by
// the viewer's drawing rule (proportional always on; scaled when stretch is on or the picture is
// larger than the box; moved to the middle when centre is on). The rest of the box is
// transparent. A scaled picture is drawn from a smoothly scaled copy kept for the box's current
// drawing size, so a paint never rescales a large picture; a new size scales once. It takes no
// mouse events of its own: the window watches them. UI thread only.
class PictureBox : public QWidget
{
    Q_OBJECT

public:
    explicit PictureBox(QWidget *parent = nullptr);

    void setSwitches(bool center, bool stretch, bool autoSize);
    [[nodiscard]] bool isCentered() const noexcept { return m_center; }
    [[nodiscard]] bool isStretched() const noexcept { return m_stretch; }
    [[nodiscard]] bool isAutoSized() const noexcept { return m_autoSize; }

    // Places the box. With auto-size on and a picture held, the size given is replaced by the
    // picture's natural size (in logical pixels: its pixels divided by the device pixel ratio).
    void setBounds(const QRect &bounds);

    // Holds `picture.image`, the picture of the file `path` (native bytes) as decoded, which may
    // be smaller than its natural size `picture.fullSize` (invalid: the image's size); the
    // drawing rule and auto-size go by the natural size. `picture.scaled`, when not null, is the
    // same picture already scaled for drawing (used when its size is the drawing size). With
    // auto-size on the box keeps its left and top and takes the picture's natural size.
    void setPicture(const QByteArray &path, const LoadedPicture &picture);

    [[nodiscard]] const QByteArray &picturePath() const noexcept { return m_path; }
    [[nodiscard]] const QImage &picture() const noexcept { return m_image; }
    [[nodiscard]] const QImage &scaledPicture() const noexcept { return m_scaled; }
    [[nodiscard]] QSize naturalSize() const noexcept { return m_natural; }

    // Where the picture is drawn, in the box's coordinates (empty when it holds none).
    [[nodiscard]] QRect drawnRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The natural size in logical pixels: one picture pixel per device pixel at 1:1.
    [[nodiscard]] QSize logicalNatural() const;

    QByteArray m_path;
    QImage m_image;
    QSize m_natural; // the picture's own size, which m_image may be a reduced copy of
    QImage m_scaled; // m_image scaled to the last drawing size (device pixels), or null
    bool m_center = true;
    bool m_stretch = false;
    bool m_autoSize = false;
};

} // namespace morvane
