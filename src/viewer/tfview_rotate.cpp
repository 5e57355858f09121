// SPDX-License-Identifier: GPL-3.0-or-later
// The viewer's rotate items and keys, and how it follows a picture turned by the program.
#include "frame/errorreport.h"
#include "viewer/picturebox.h"
#include "viewer/tfview.h"

#include <QKeyEvent>
#include <QMenu>

namespace morvane {

void TfView::setRotator(std::function<bool(const QByteArray &)> canRotate,
    std::function<void(const QByteArray &, bool)> rotate)
{
    m_canRotate = std::move(canRotate);
    m_rotate = std::move(rotate);
}

void TfView::buildRotateMenu()
{
    PopupMenu1->addSeparator();
    RotateRight = PopupMenu1->addAction(QStringLiteral("右に回転\tR"));
    RotateLeft = PopupMenu1->addAction(QStringLiteral("左に回転\tShift+R"));
    for (const bool clockwise : {true, false}) {
        connect(clockwise ? RotateRight : RotateLeft, &QAction::triggered, this, [this, clockwise] {
            reportErrors([this, clockwise] {
                rotateShown(clockwise);
            });
        });
    }
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] {
        const QByteArray path = recordPath(PictureIndex);
        const bool can = m_canRotate && m_rotate && !path.isEmpty() && m_canRotate(path);
        RotateRight->setEnabled(can);
        RotateLeft->setEnabled(can);
    });
}

bool TfView::rotateKey(QKeyEvent *event)
{
    if (event->key() != Qt::Key_R)
        return false;
    rotateShown(!event->modifiers().testFlag(Qt::ShiftModifier));
    return true;
}

void TfView::rotateShown(bool clockwise)
{
    const QByteArray path = recordPath(PictureIndex);
    // A picture whose orientation cannot be written is left alone, as its disabled items say.
    if (path.isEmpty() || !m_rotate || !m_canRotate || !m_canRotate(path))
        return;
    m_rotate(path, clockwise);
}

void TfView::pictureTurned(const QByteArray &path)
{
    if (m_image2.path == path)
        setImage2({});
    const std::int32_t r = recordOf(path);
    if (r < 0)
        return;
    // Shown upright, the picture's sides swap with each quarter turn.
    if (picturesUpright())
        fMain->PictureList.swapItemsAt(r + 3, r + 4);
    if (r != PictureIndex || Image1->picturePath() != path)
        return;
    LayoutPicture();
    loadAndShow(path);
}

} // namespace morvane
