// SPDX-License-Identifier: GPL-3.0-or-later
// The viewer on a screen of scale 2 (QT_SCALE_FACTOR=2, set before the application starts): the
// 1:1 modes show one picture pixel per device pixel.
#include "frame/windowrefs.h"
#include "support/tempfolder.h"
#include "viewer/fakemain.h"
#include "viewer/picturebox.h"
#include "viewer/tfview.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <memory>

using namespace morvane;

namespace {

using test::FakeMain;

// Detail at single pixels (a checkerboard over a gradient): any resampling shows.
QImage finePicture(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int on = (x + y) % 2 == 0 ? 90 : 0;
            image.setPixel(x, y, qRgb(40 + on + x % 100, 60 + on, 200 - on));
        }
    }
    return image;
}

} // namespace

class TestTfViewHiDpi : public QObject
{
    Q_OBJECT

private slots:
    void actualSizeInDevicePixels_data();
    void actualSizeInDevicePixels();
};

void TestTfViewHiDpi::actualSizeInDevicePixels_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("box"); // logical
    QTest::newRow("as is 300x200") << 0 << QSize(300, 200) << QSize(150, 100);
    QTest::newRow("shrink only 300x200") << 2 << QSize(300, 200) << QSize(150, 100);
    QTest::newRow("as is, odd sides 301x201") << 0 << QSize(301, 201) << QSize(151, 101);
}

void TestTfViewHiDpi::actualSizeInDevicePixels()
{
    QFETCH(int, mode);
    QFETCH(QSize, picture);
    QFETCH(QSize, box);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QImage image = finePicture(picture.width(), picture.height());
    const QString file = dir.filePath(QStringLiteral("fine.png"));
    QVERIFY(image.save(file, "PNG"));
    FakeMain main;
    fMain = &main;
    const QByteArray path = QFile::encodeName(file);
    main.PictureList << path << QByteArray::number(QFileInfo(file).size()) << "2004/05/12 9:05:30"
                     << QByteArray::number(picture.width()) << QByteArray::number(picture.height());
    {
        TfView view(dir.filePath(QStringLiteral("morvane.ini")));
        fView = &view;
        QCOMPARE(view.devicePixelRatioF(), 2.0);
        view.SizeItems[static_cast<std::size_t>(mode)]->trigger();
        main.OpenRequested = true;
        view.OpenPath = path;
        view.FormActivate();
        QCoreApplication::sendPostedEvents();
        QTRY_VERIFY(view.preparer().isIdle());
        QCOMPARE(view.Image1->picture().size(), picture);
        QCOMPARE(view.Image1->size(), box);
        QCOMPARE(view.Label1->text(),
            QStringLiteral("%1x%2 Pixel").arg(picture.width()).arg(picture.height()));

        const QImage shot = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shot.devicePixelRatio(), 2.0);
        const QPoint at = view.Image1->geometry().topLeft() * 2;
        QVERIFY(shot.rect().contains(QRect(at, picture)));
        const QImage drawn = shot.copy(QRect(at, picture));
        int differing = 0;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x)
                differing += drawn.pixel(x, y) != image.pixel(x, y) ? 1 : 0;
        }
        QCOMPARE(differing, 0);
        fView = nullptr;
    }
    fMain = nullptr;
}

int main(int argc, char **argv)
{
    // Before the application exists: the scale of every screen.
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestTfViewHiDpi test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tfview_hidpi.moc"
