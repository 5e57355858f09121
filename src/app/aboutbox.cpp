// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/aboutbox.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadialGradient>
#include <QScreen>

namespace morvane {

namespace {

    constexpr int kWidth = 160;
    constexpr int kHeight = 240;

    // One instant photo: a white card with a little landscape in it. `hue` varies the sky.
    void drawPhoto(QPainter &p, QPointF centre, qreal angle, int hue)
    {
        constexpr qreal w = 78;
        constexpr qreal h = 64;
        p.save();
        p.translate(centre);
        p.rotate(angle);
        const QRectF card(-w / 2, -h / 2, w, h);

        // Soft shadow under the card.
        for (int i = 4; i > 0; --i) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0, 0, 0, 18));
            p.drawRoundedRect(card.translated(1.5, 2.5).adjusted(-i, -i, i, i), 3 + i, 3 + i);
        }
        p.setBrush(QColor(250, 248, 242));
        p.drawRoundedRect(card, 2.5, 2.5);

        const QRectF photo = card.adjusted(5, 5, -5, -13);
        p.setClipRect(photo);
        QLinearGradient sky(photo.topLeft(), photo.bottomLeft());
        sky.setColorAt(0, QColor::fromHsv(hue, 120, 255));
        sky.setColorAt(1, QColor::fromHsv((hue + 25) % 360, 60, 255));
        p.fillRect(photo, sky);

        p.setBrush(QColor(255, 214, 102));
        p.drawEllipse(QPointF(photo.right() - 14, photo.top() + 11), 6, 6);

        QPainterPath far;
        far.moveTo(photo.left(), photo.bottom());
        far.lineTo(photo.left(), photo.bottom() - 16);
        far.lineTo(photo.left() + 20, photo.top() + 14);
        far.lineTo(photo.left() + 38, photo.bottom() - 18);
        far.lineTo(photo.left() + 50, photo.bottom() - 24);
        far.lineTo(photo.right(), photo.bottom() - 12);
        far.lineTo(photo.right(), photo.bottom());
        far.closeSubpath();
        p.setBrush(QColor(86, 130, 160));
        p.drawPath(far);

        QPainterPath near;
        near.moveTo(photo.left(), photo.bottom());
        near.lineTo(photo.left(), photo.bottom() - 8);
        near.cubicTo(photo.left() + 20,
            photo.bottom() - 18,
            photo.left() + 40,
            photo.bottom() - 2,
            photo.right(),
            photo.bottom() - 12);
        near.lineTo(photo.right(), photo.bottom());
        near.closeSubpath();
        p.setBrush(QColor(72, 150, 96));
        p.drawPath(near);
        p.setClipping(false);
        p.restore();
    }

} // namespace

QPixmap TAboutBox::picture()
{
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient background(0, 0, 0, kHeight);
    background.setColorAt(0.0, QColor(38, 60, 104));
    background.setColorAt(0.55, QColor(28, 40, 74));
    background.setColorAt(1.0, QColor(14, 20, 38));
    p.fillRect(image.rect(), background);

    QRadialGradient glow(QPointF(80, 84), 90);
    glow.setColorAt(0, QColor(120, 170, 255, 90));
    glow.setColorAt(1, QColor(120, 170, 255, 0));
    p.fillRect(image.rect(), glow);

    // A few sparkles of light in the sky.
    p.setPen(Qt::NoPen);
    const QPointF stars[] = {{18, 20}, {140, 16}, {128, 44}, {24, 120}, {146, 118}, {60, 12}};
    for (const QPointF &s : stars) {
        p.setBrush(QColor(255, 255, 255, 150));
        p.drawEllipse(s, 1.1, 1.1);
    }

    drawPhoto(p, {66, 84}, -13, 200);
    drawPhoto(p, {96, 80}, 10, 30);
    drawPhoto(p, {80, 92}, -2, 170);

    QFont title(QStringLiteral("ＭＳ Ｐゴシック"));
    title.setPixelSize(25);
    title.setBold(true);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    p.setFont(title);
    const QRectF titleRect(0, 138, kWidth, 32);
    p.setPen(QColor(0, 0, 0, 110));
    p.drawText(titleRect.translated(1, 1.5), Qt::AlignCenter, QStringLiteral("Morvane"));
    p.setPen(Qt::white);
    p.drawText(titleRect, Qt::AlignCenter, QStringLiteral("Morvane"));

    QLinearGradient rule(20, 0, 140, 0);
    rule.setColorAt(0, QColor(255, 255, 255, 0));
    rule.setColorAt(0.5, QColor(255, 214, 102, 220));
    rule.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(QRectF(20, 172, 120, 1.2), rule);

    QFont motto(QStringLiteral("ＭＳ Ｐゴシック"));
    motto.setPixelSize(10);
    p.setFont(motto);
    p.setPen(QColor(214, 224, 245));
    p.drawText(
        QRectF(0, 178, kWidth, 14), Qt::AlignCenter, QStringLiteral("サクサク閲覧、ガシガシ整理"));

    // A darker band at the foot, under the version text and the button.
    QLinearGradient foot(0, 200, 0, kHeight);
    foot.setColorAt(0, QColor(0, 0, 0, 0));
    foot.setColorAt(1, QColor(0, 0, 0, 90));
    p.fillRect(QRectF(0, 200, kWidth, 40), foot);
    p.end();
    return QPixmap::fromImage(image);
}

TAboutBox::TAboutBox(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("バージョン"));
    setFixedSize(kWidth, kHeight);
    setSizeGripEnabled(false);

    Image1 = new QLabel(this);
    Image1->setGeometry(0, 0, kWidth, kHeight);
    Image1->setPixmap(picture());

    Label1 = new QLabel(QStringLiteral("Ver 1.0"), this);
    Label1->setAttribute(Qt::WA_TranslucentBackground);
    Label1->setAutoFillBackground(false);
    QPalette white = Label1->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    Label1->setPalette(white);
    Label1->move(8, 224);
    Label1->adjustSize();

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setGeometry(79, 212, 75, 25);
    OKButton->setDefault(true);
    OKButton->setAutoDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutBox::showEvent(QShowEvent *event)
{
    QScreen *screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    QDialog::showEvent(event);
}

} // namespace morvane
