// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's list on a screen of scale 2 (QT_SCALE_FACTOR=2, set before the application
// starts): boxes decoded and drawn in device pixels, in the logical box of the chosen size.
#include "tfmain_testing.h"

#include <QIcon>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstdlib>

using namespace morvane;
using namespace morvane::test;

namespace {

// A picture with detail down to a few device pixels (a 256 x 192 pattern of soft waves, each of
// its pixels repeated 2 x 2), so that a box decoded at the logical size and enlarged loses what
// one decoded at device pixels keeps. Blue stays 40 and red or green above 70: the picture is
// told apart from the white box and the grey caption text.
QImage wavePicture()
{
    QImage detail(256, 192, QImage::Format_RGB32);
    for (int y = 0; y < detail.height(); ++y) {
        for (int x = 0; x < detail.width(); ++x) {
            const int r = 150 + static_cast<int>(std::lround(70 * std::sin(x * 2 * M_PI / 6)));
            const int g = 150 + static_cast<int>(std::lround(70 * std::sin(y * 2 * M_PI / 7)));
            detail.setPixel(x, y, qRgb(r, g, 40));
        }
    }
    return detail.scaled(512, 384); // each pixel twice in both directions
}

bool pictureColour(QRgb p)
{
    return qBlue(p) >= 30 && qBlue(p) <= 50 && std::max(qRed(p), qGreen(p)) > 70;
}

// The smallest rectangle of `shot` within `area` holding every pixel of the picture's colours.
QRect pictureBounds(const QImage &shot, const QRect &area)
{
    QRect found;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (pictureColour(shot.pixel(x, y)))
                found |= QRect(x, y, 1, 1);
        }
    }
    return found;
}

// Mean absolute difference per channel of two images of one size.
double meanDifference(const QImage &a, const QImage &b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q))
                + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * a.width() * a.height());
}

} // namespace

class TestTfMainHiDpi : public DeskTest
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(makeDesk()); }
    void cleanup() { clearDesk(); }
    void boxesInDevicePixels_data();
    void boxesInDevicePixels();
};

void TestTfMainHiDpi::boxesInDevicePixels_data()
{
    QTest::addColumn<bool>("live"); // the window's live build, or the blocking one
    QTest::newRow("live build") << true;
    QTest::newRow("blocking build") << false;
}

void TestTfMainHiDpi::boxesInDevicePixels()
{
    QFETCH(bool, live);
    const QImage picture = wavePicture();
    const QByteArray photos = inFolder(m_desk, "photos");
    QVERIFY(makeFolder(photos));
    QVERIFY(picture.save(QFile::decodeName(inFolder(photos, "wave.png")), "PNG"));
    QVERIFY(test::writeFile(inFolder(photos, "notes.txt"), "hello\n"));
    auto w = openOn(photos, true, [live](TfMain &m) {
        m.setLiveBuild(live);
    });
    QVERIFY(w);
    QCOMPARE(w->ListView1->devicePixelRatioF(), 2.0);
    w->SizeItems[4]->trigger(); // 128
    QVERIFY(waitFilled(*w));
    QCOMPARE(w->boxSize(), 128);
    QCOMPARE(w->ListView1->iconSize(), QSize(128, 128)); // the logical box as before

    const FileListModel &m = *w->listModel();
    const int row = m.findCaption(QStringLiteral("wave.png"));
    QVERIFY(row >= 0);
    const QImage box = m.box(row);
    QCOMPARE(box.size(), QSize(256, 256));
    QCOMPARE(box.deviceIndependentSize(), QSizeF(128, 128));
    // The type icon keeps its logical size: drawn over more than 32 device pixels, within the
    // 64 in the middle of the box.
    const QImage other = m.box(m.findCaption(QStringLiteral("notes.txt")));
    QCOMPARE(other.size(), QSize(256, 256));
    QRect icon;
    for (int y = 0; y < other.height(); ++y) {
        for (int x = 0; x < other.width(); ++x) {
            if (other.pixel(x, y) != qRgb(255, 255, 255))
                icon |= QRect(x, y, 1, 1);
        }
    }
    QVERIFY(QRect(96, 96, 64, 64).contains(icon));
    QVERIFY2(std::max(icon.width(), icon.height()) > 32, qPrintable(QString::number(icon.width())));
    // Crisp: the theme's own rendering at 64 device pixels (text/plain has the generic text icon),
    // not its 32-pixel one enlarged.
    QImage crisp(64, 64, QImage::Format_RGB32);
    crisp.fill(Qt::white);
    QPainter(&crisp).drawPixmap(
        0, 0, QIcon::fromTheme(QStringLiteral("text-x-generic")).pixmap(QSize(64, 64), 1.0));
    const double iconDifference = meanDifference(other.copy(96, 96, 64, 64), crisp);
    QVERIFY2(iconDifference < 0.5, qPrintable(QString::number(iconDifference)));

    // On screen: the picture fitted to 2 x 128 device pixels, as the picture resized to that.
    w->ListView1->clearSelection();
    w->ListView1->setCurrentIndex({});
    QCoreApplication::processEvents(); // the blocking build's list lays out when it is shown
    const QImage shot = w->ListView1->viewport()->grab().toImage();
    QCOMPARE(shot.devicePixelRatio(), 2.0);
    const QRect item = w->ListView1->visualRect(m.index(row));
    const QRect area(item.topLeft() * 2, item.size() * 2);
    const QRect drawn = pictureBounds(shot, area.intersected(shot.rect()));
    QCOMPARE(drawn.size(), QSize(256, 192));
    const QImage want = picture.scaled(256, 192, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const double difference = meanDifference(shot.copy(drawn), want);
    QVERIFY2(difference <= 3.0, qPrintable(QString::number(difference)));
}

int main(int argc, char **argv)
{
    // Before the application exists: the scale of every screen.
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestTfMainHiDpi test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tfmain_hidpi.moc"
