// SPDX-License-Identifier: GPL-3.0-or-later
// The viewer window offscreen at its design client area of 632 × 446, over folders of
// one-colour pictures made in code: layout and drawing, texts, steps, mouse, wheel, keys,
// slideshow, the prepared next picture and the saved window state.
#include "frame/windowrefs.h"
#include "support/imagefixtures.h"
#include "support/tempfolder.h"
#include "viewer/fakemain.h"
#include "viewer/picturebox.h"
#include "viewer/tfview.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <memory>

using namespace morvane;
using morvane::test::inFolder;
using morvane::test::writeFile;

namespace {

using test::FakeMain;

const QByteArray kDate = "2004/05/12 9:05:30";

// Picture i's colour: far enough from its neighbours' to survive JPEG compression.
QColor colourOf(int i)
{
    return QColor::fromHsv((i * 47) % 360, 200, 220);
}

bool near(QRgb a, QColor b)
{
    return qAbs(qRed(a) - b.red()) < 12 && qAbs(qGreen(a) - b.green()) < 12
        && qAbs(qBlue(a) - b.blue()) < 12;
}

struct Sized
{
    int w;
    int h;
};
using Sizes = QList<Sized>;

} // namespace

Q_DECLARE_METATYPE(Sized)

class TestTfView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void layoutAndDrawing_data();
    void layoutAndDrawing();
    void captionAndLabels_data();
    void captionAndLabels();
    void switchesAndActivation();
    void raisingAShownViewerTakesTheRequest();
    void failedOpenIsNotRetriedByItsOwnMessage();
    void stepsAtTheEnds_data();
    void stepsAtTheEnds();
    void mouseClickDragAndRightClick_data();
    void mouseClickDragAndRightClick();
    void middleClickSwitchesTheWheel();
    void keys_data();
    void keys();
    void zoomAndFullScreen();
    void rotateItemsAndKeys();
    void intervalItems_data();
    void intervalItems();
    void fastStepsPrepareTheRightPicture();
    void decodeFollowsModeAndWindow_data();
    void decodeFollowsModeAndWindow();
    void stepDecodesIntoThePictureLetGo();
    void fileRemovedBehindTheProgram_data();
    void fileRemovedBehindTheProgram();
    void programChangesFollowed_data();
    void programChangesFollowed();
    void viewSectionRoundTrip();
    void radioGroupsFromTheFile_data();
    void radioGroupsFromTheFile();
    void animationPlays_data();
    void animationPlays();
    void frameDelays();

private:
    // Writes one JPEG per size (colour colourOf(i)) under `names` (default p00.jpg, ...) and
    // fills PictureList as the open command does; then makes the window and opens picture
    // `open` (none when negative).
    void start(const Sizes &sizes, int open = 0, const QList<QByteArray> &names = {});
    void makeView();
    void request(int i); // what the open command does before it shows the window
    void open(int i); // request, activation, and the prepared picture settled
    void settle();
    // Picture i as start() wrote it, wherever its record is in the list now.
    [[nodiscard]] QByteArray path(int i) const { return m_paths.value(i); }
    [[nodiscard]] bool shows(int i) const;
    [[nodiscard]] QList<bool> labelsHidden() const;
    void mouse(QWidget *w, QEvent::Type type, QPoint at, Qt::MouseButton b = Qt::LeftButton);
    void wheel(int delta);
    void key(Qt::Key k) { QTest::keyClick(m_view.get(), k); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakeMain> m_main;
    std::unique_ptr<TfView> m_view;
    QList<QByteArray> m_paths;
    QString m_settings;
    int m_beeps = 0;
    QStringList m_reports;
};

void TestTfView::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_settings = m_dir->filePath(QStringLiteral("morvane.ini"));
    m_main = std::make_unique<FakeMain>();
    fMain = m_main.get();
    m_beeps = 0;
    m_reports.clear();
    m_paths.clear();
}

void TestTfView::cleanup()
{
    m_view.reset();
    fView = nullptr;
    fMain = nullptr;
    m_main.reset();
    // By native names: a name that is not UTF-8 would stop the folder's own removal.
    QVERIFY(test::removeContents(test::nativeOf(*m_dir)));
    m_dir.reset();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestTfView::makeView()
{
    m_view = std::make_unique<TfView>(m_settings);
    fView = m_view.get();
    m_view->setBeeper([this] {
        ++m_beeps;
    });
    m_view->setErrorReporter([this](const QString &text) {
        m_reports << text;
    });
}

void TestTfView::start(const Sizes &sizes, int open, const QList<QByteArray> &names)
{
    const QByteArray folder = test::nativeOf(*m_dir);
    for (int i = 0; i < sizes.size(); ++i) {
        const QColor c = colourOf(i);
        const auto channel = [](int v) {
            return static_cast<unsigned char>(v);
        };
        const QByteArray bytes = testsupport::jpegBytes({.width = sizes[i].w,
            .height = sizes[i].h,
            .c0 = channel(c.red()),
            .c1 = channel(c.green()),
            .c2 = channel(c.blue())});
        const QByteArray name = i < names.size() ? names[i] : "p" + QByteArray::number(i) + ".jpg";
        QVERIFY(writeFile(inFolder(folder, name), bytes));
        m_paths << inFolder(folder, name);
        m_main->PictureList << inFolder(folder, name) << QByteArray::number(bytes.size()) << kDate
                            << QByteArray::number(sizes[i].w) << QByteArray::number(sizes[i].h);
    }
    makeView();
    if (open >= 0)
        this->open(open);
}

void TestTfView::request(int i)
{
    m_main->OpenRequested = true;
    m_view->OpenPath = path(i);
}

void TestTfView::settle()
{
    // The loader run is posted; its decode then runs on the worker.
    QCoreApplication::sendPostedEvents();
    QTRY_VERIFY(m_view->preparer().isIdle());
}

void TestTfView::open(int i)
{
    request(i);
    m_view->FormActivate();
    settle();
}

bool TestTfView::shows(int i) const
{
    const QImage &p = m_view->Image1->picture();
    return m_view->Image1->picturePath() == path(i) && !p.isNull()
        && near(p.pixel(p.width() / 2, p.height() / 2), colourOf(i));
}

QList<bool> TestTfView::labelsHidden() const
{
    return {m_view->Label1->isHidden(),
        m_view->Label2->isHidden(),
        m_view->Label3->isHidden(),
        m_view->Label4->isHidden()};
}

void TestTfView::mouse(QWidget *w, QEvent::Type type, QPoint at, Qt::MouseButton b)
{
    // A press holds the button through the moves that follow; a release lets it go.
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : b;
    QMouseEvent e(
        type, at, w->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : b, held, {});
    QApplication::sendEvent(w, &e);
}

void TestTfView::wheel(int delta)
{
    QWheelEvent e({10, 10}, {10, 10}, {}, {0, delta}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(m_view.get(), &e);
}

void TestTfView::layoutAndDrawing_data()
{
    QTest::addColumn<Sized>("picture");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QRect>("box");
    QTest::addColumn<QRect>("drawn"); // within the box
    QTest::addColumn<QString>("mark");
    // Decoded: a picture drawn smaller than its size at libjpeg's M/8 for it (1600x1200 drawn
    // 594x446: three times the drawing needs more than 4/8, so the full size); the labels and
    // layout keep the full size.
    QTest::addColumn<QSize>("decoded");
    // clang-format off
    QTest::newRow("320x240 as is")    << Sized {320, 240} << 0 << QRect(156, 103, 320, 240) << QRect(0, 0, 320, 240) << "   " << QSize(320, 240);
    QTest::newRow("320x240 fit")      << Sized {320, 240} << 1 << QRect(0, 0, 632, 446) << QRect(19, 0, 594, 446) << "   " << QSize(320, 240);
    QTest::newRow("320x240 shrink")   << Sized {320, 240} << 2 << QRect(156, 103, 320, 240) << QRect(0, 0, 320, 240) << "   " << QSize(320, 240);
    QTest::newRow("320x240 bonus")    << Sized {320, 240} << 3 << QRect(0, 0, 640, 640) << QRect(0, 80, 640, 480) << " * " << QSize(320, 240);
    QTest::newRow("1600x1200 as is")  << Sized {1600, 1200} << 0 << QRect(0, 0, 1600, 1200) << QRect(0, 0, 1600, 1200) << " * " << QSize(1600, 1200);
    QTest::newRow("1600x1200 fit")    << Sized {1600, 1200} << 1 << QRect(0, 0, 632, 446) << QRect(19, 0, 594, 446) << "   " << QSize(1600, 1200);
    QTest::newRow("1600x1200 shrink") << Sized {1600, 1200} << 2 << QRect(0, 0, 632, 446) << QRect(19, 0, 594, 446) << "   " << QSize(1600, 1200);
    QTest::newRow("1600x1200 bonus")  << Sized {1600, 1200} << 3 << QRect(0, 0, 632, 446) << QRect(19, 0, 594, 446) << "   " << QSize(1600, 1200);
    QTest::newRow("639x639 bonus")    << Sized {639, 639} << 3 << QRect(0, 0, 640, 640) << QRect(0, 0, 640, 640) << " * " << QSize(639, 639);
    QTest::newRow("640x100 bonus")    << Sized {640, 100} << 3 << QRect(0, 173, 632, 100) << QRect(0, 1, 632, 98) << "   " << QSize(640, 100);
    // clang-format on
}

void TestTfView::layoutAndDrawing()
{
    QFETCH(Sized, picture);
    QFETCH(int, mode);
    QFETCH(QRect, box);
    QFETCH(QRect, drawn);
    QFETCH(QString, mark);
    QFETCH(QSize, decoded);
    start({picture}, -1);
    m_view->SizeItems[static_cast<std::size_t>(mode)]->trigger();
    open(0);
    QCOMPARE(m_view->Image1->geometry(), box);
    QCOMPARE(m_view->Image1->drawnRect(), drawn);
    QCOMPARE(m_view->Image1->picture().size(), decoded);
    QCOMPARE(m_view->Label1->text(), QStringLiteral("%1x%2 Pixel").arg(picture.w).arg(picture.h));
    QVERIFY(m_view->windowTitle().startsWith(QStringLiteral("1 / 1") + mark));
    // What reaches the screen: the picture's colour inside the drawn rectangle, black beside it.
    const QImage shot = m_view->grab().toImage();
    const QRect onScreen = drawn.translated(box.topLeft()) & QRect(0, 0, 632, 446);
    QVERIFY(near(shot.pixel(onScreen.center()), colourOf(0)));
    for (const QPoint p : {QPoint(2, 440), QPoint(629, 2), QPoint(316, 443)}) {
        if (!onScreen.adjusted(-1, -1, 1, 1).contains(p))
            QCOMPARE(shot.pixel(p) & 0xFFFFFFu, 0u);
    }
}

void TestTfView::captionAndLabels_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("shown");
    QTest::newRow("UTF-8 name") << QByteArray("写真３.jpg") << QStringLiteral("写真３.jpg");
    QTest::newRow("name in code page 932")
        << QByteArray("\x8e\xca\x90\x5e.jpg") << QStringLiteral("写真.jpg");
    QTest::newRow("name in no known encoding")
        << QByteArray("caf\xe9.jpg") << QFile::decodeName("caf\xe9.jpg");
}

void TestTfView::captionAndLabels()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, shown);
    start(Sizes(12, Sized {40, 30}), 2, {"a.jpg", "b.jpg", name});
    QVERIFY(shows(2));
    QCOMPARE(m_view->windowTitle(), QStringLiteral("12 / 3   ") + shown);
    QCOMPARE(m_view->Label1->text(), QStringLiteral("40x30 Pixel"));
    QCOMPARE(m_view->Label2->text(), QString::fromUtf8(m_main->PictureList[11] + " Byte"));
    QCOMPARE(m_view->Label3->text(), QString::fromUtf8(kDate));
    QCOMPARE(m_view->Label4->text(), QStringLiteral("632x446 Pixel"));
    QVERIFY(!m_main->OpenRequested);
    // A resize of the shown window re-lays out and rewrites the display size.
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    m_view->resize(300, 200);
    QCOMPARE(m_view->Label4->text(), QStringLiteral("300x200 Pixel"));
    QCOMPARE(m_view->Image1->geometry(), QRect(130, 85, 40, 30));
}

void TestTfView::switchesAndActivation()
{
    start({{1600, 1200}, {40, 30}});
    m_view->ScrollForward();
    m_view->SizeItems[0]->trigger(); // already checked: no new layout, the scroll stays
    QVERIFY(m_view->SizeItems[0]->isChecked());
    QCOMPARE(m_view->Image1->y(), -20);
    m_view->SizeItems[2]->trigger();
    QCOMPARE(m_view->DisplayMode(), 2);
    QCOMPARE(m_view->Image1->geometry(), QRect(0, 0, 632, 446));
    // The information switch inverts each label's own state.
    m_view->Label3->hide();
    m_view->Label4->hide();
    m_view->N6->trigger();
    QVERIFY(!m_view->N6->isChecked());
    QCOMPARE(labelsHidden(), QList<bool>({true, true, false, false}));
    // An activation without a request changes nothing.
    const QString caption = m_view->windowTitle();
    m_main->OpenRequested = false;
    m_view->OpenPath = path(1);
    m_view->FormActivate();
    QVERIFY(shows(0));
    QCOMPARE(m_view->windowTitle(), caption);
}

void TestTfView::raisingAShownViewerTakesTheRequest()
{
    start({{40, 30}, {50, 30}});
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    request(1);
    m_view->raise(); // what the open command does to a window that is active already
    QTRY_VERIFY(shows(1));
    QVERIFY(!m_main->OpenRequested);
}

void TestTfView::failedOpenIsNotRetriedByItsOwnMessage()
{
    start({{40, 30}}, -1);
    QVERIFY(QFile::remove(QFile::decodeName(path(0))));
    request(0);
    auto send = [this](QEvent::Type type) {
        QEvent e(type);
        QApplication::sendEvent(m_view.get(), &e);
    };
    send(QEvent::WindowActivate);
    send(QEvent::WindowActivate); // the window gets the focus back from the message
    QCOMPARE(m_reports.size(), 1);
    send(QEvent::WindowDeactivate); // the user goes elsewhere and comes back
    send(QEvent::WindowActivate);
    QCOMPARE(m_reports.size(), 2);
    QVERIFY(m_main->OpenRequested);
}

void TestTfView::stepsAtTheEnds_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("slideshow");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("beeps");
    QTest::addColumn<bool>("running");
    // clang-format off
    QTest::newRow("right arrow on the last")       << 2 << "key" << true << 2 << 1 << false;
    QTest::newRow("wheel down on the last")        << 2 << "wheel" << false << 2 << 1 << false;
    QTest::newRow("click on the last")             << 2 << "click" << false << 2 << 1 << false;
    QTest::newRow("slideshow started on the last") << 2 << "tick" << true << 2 << 1 << false;
    QTest::newRow("slideshow tick in the middle")  << 1 << "tick" << true << 2 << 0 << true;
    QTest::newRow("left arrow on the first")       << 0 << "back" << true << 0 << 1 << true;
    QTest::newRow("wheel up on the first")         << 0 << "wheelup" << false << 0 << 1 << false;
    QTest::newRow("left arrow in the middle")      << 1 << "back" << false << 0 << 0 << false;
    // clang-format on
}

void TestTfView::stepsAtTheEnds()
{
    QFETCH(int, start);
    QFETCH(QString, how);
    QFETCH(bool, slideshow);
    QFETCH(int, shown);
    QFETCH(int, beeps);
    QFETCH(bool, running);
    this->start({{40, 30}, {30, 40}, {50, 50}}, start);
    if (slideshow)
        m_view->N2->trigger();
    if (how == "key" || how == "back")
        key(how == "key" ? Qt::Key_Right : Qt::Key_Left);
    else if (how == "tick") {
        QTest::qWait(300); // part of the interval has passed when the tick comes
        m_view->Timer1Timer();
    } else if (how == "click") {
        mouse(m_view->Image1, QEvent::MouseButtonPress, {5, 5});
        mouse(m_view->Image1, QEvent::MouseButtonRelease, {5, 5});
    } else
        wheel(how == "wheel" ? -120 : 120);
    QCOMPARE(m_view->PictureIndex, 5 * shown);
    QVERIFY(shows(shown));
    QCOMPARE(m_beeps, beeps);
    QCOMPARE(m_view->Timer1->isActive(), running);
    // The picture a tick shows gets the whole interval from when it is shown.
    if (running && how == "tick")
        QVERIFY(m_view->Timer1->remainingTime() > m_view->Timer1->interval() - 150);
}

void TestTfView::mouseClickDragAndRightClick_data()
{
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<int>("steps");
    QTest::addColumn<QPoint>("boxAt");
    // clang-format off
    QTest::newRow("left click")                          << "click" << 1 << QPoint(0, 0);
    QTest::newRow("double click")                        << "double" << 2 << QPoint(0, 0);
    QTest::newRow("drag up and left")                    << "drag" << 0 << QPoint(-30, -40);
    QTest::newRow("drag down and right: one move past the edge") << "dragback" << 0 << QPoint(30, 40);
    QTest::newRow("right click")                         << "right" << 0 << QPoint(0, 0);
    QTest::newRow("click through a label")               << "label" << 1 << QPoint(0, 0);
    // clang-format on
}

void TestTfView::mouseClickDragAndRightClick()
{
    QFETCH(QString, gesture);
    QFETCH(int, steps);
    QFETCH(QPoint, boxAt);
    start({{1600, 1200}, {40, 40}, {40, 40}});
    QWidget *box = m_view->Image1;
    QPoint at(100, 100);
    if (gesture == "label") {
        // The labels let the pointer through to the picture under them.
        at = m_view->Label1->geometry().center();
        box = m_view->centralWidget()->childAt(at);
        QCOMPARE(box, m_view->Image1);
    }
    const QPoint by = gesture == "drag" ? QPoint(-30, -40) : QPoint(30, 40);
    const Qt::MouseButton button = gesture == "right" ? Qt::RightButton : Qt::LeftButton;
    mouse(box, QEvent::MouseButtonPress, at, button);
    if (gesture == "right") {
        QContextMenuEvent menu(QContextMenuEvent::Mouse, at, box->mapToGlobal(at));
        QApplication::sendEvent(m_view.get(), &menu);
        QVERIFY(m_view->PopupMenu1->isVisible());
        m_view->PopupMenu1->close();
    }
    if (gesture.startsWith("drag") || gesture == "right")
        mouse(box, QEvent::MouseMove, at + by, button);
    mouse(box, QEvent::MouseButtonRelease, at, button);
    if (gesture == "double") {
        mouse(box, QEvent::MouseButtonDblClick, at);
        mouse(box, QEvent::MouseButtonRelease, at);
    }
    QCOMPARE(m_view->PictureIndex, 5 * steps);
    QVERIFY(shows(steps));
    if (steps == 0)
        QCOMPARE(m_view->Image1->pos(), boxAt);
}

void TestTfView::middleClickSwitchesTheWheel()
{
    start({{1600, 1200}, {40, 40}});
    QCOMPARE(m_view->cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(m_view->cursor().hotSpot(), QPoint(0, 0));
    mouse(m_view->Image1, QEvent::MouseButtonPress, {5, 5}, Qt::MiddleButton);
    mouse(m_view->Image1, QEvent::MouseButtonRelease, {5, 5}, Qt::MiddleButton);
    QVERIFY(!m_view->WheelStepMode);
    QCOMPARE(m_view->cursor().shape(), Qt::ArrowCursor);
    wheel(-60);
    wheel(-60); // half notches add up to one event
    QCOMPARE(m_view->PictureIndex, 0);
    QCOMPARE(m_view->Image1->pos(), QPoint(0, -20));
    mouse(m_view->centralWidget(), QEvent::MouseButtonPress, {5, 5}, Qt::MiddleButton);
    QVERIFY(m_view->WheelStepMode);
    QCOMPARE(m_view->cursor().shape(), Qt::BitmapCursor);
    wheel(-120);
    QCOMPARE(m_view->PictureIndex, 5);
}

void TestTfView::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("info");
    QTest::addColumn<bool>("running");
    const int none = Qt::NoModifier, shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier;
    // clang-format off
    QTest::newRow("F")              << int(Qt::Key_F) << none << 10 << 1500 << 0 << true << false;
    QTest::newRow("Shift+Right")    << int(Qt::Key_Right) << shift << 10 << 1500 << 0 << true << false;
    QTest::newRow("Ctrl+B")         << int(Qt::Key_B) << ctrl << 0 << 1500 << 0 << true << false;
    QTest::newRow("Shift+1")        << int(Qt::Key_1) << shift << 5 << 500 << 0 << true << false;
    QTest::newRow("7")              << int(Qt::Key_7) << none << 5 << 5000 << 0 << true << false;
    QTest::newRow("keypad 2")       << int(Qt::Key_2) << int(Qt::KeypadModifier) << 5 << 1500 << 0 << true << false;
    QTest::newRow("keypad Right")   << int(Qt::Key_Right) << int(Qt::KeypadModifier) << 10 << 1500 << 0 << true << false;
    QTest::newRow("keypad Left")    << int(Qt::Key_Left) << int(Qt::KeypadModifier) << 0 << 1500 << 0 << true << false;
    QTest::newRow("Ctrl+K")         << int(Qt::Key_K) << ctrl << 5 << 1500 << 2 << true << false;
    QTest::newRow("L")              << int(Qt::Key_L) << none << 5 << 1500 << 3 << true << false;
    QTest::newRow("Shift+I")        << int(Qt::Key_I) << shift << 5 << 1500 << 0 << false << false;
    QTest::newRow("G")              << int(Qt::Key_G) << none << 5 << 1500 << 0 << true << true;
    QTest::newRow("X does nothing") << int(Qt::Key_X) << none << 5 << 1500 << 0 << true << false;
    // clang-format on
}

void TestTfView::keys()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, index);
    QFETCH(int, interval);
    QFETCH(int, mode);
    QFETCH(bool, info);
    QFETCH(bool, running);
    start({{40, 30}, {30, 40}, {50, 50}}, 1);
    QTest::keyClick(m_view.get(), Qt::Key(key), Qt::KeyboardModifiers::fromInt(modifiers));
    QCOMPARE(m_view->PictureIndex, index);
    QVERIFY(shows(index / 5));
    QCOMPARE(m_view->Timer1->interval(), interval);
    QCOMPARE(m_view->DisplayMode(), mode);
    QCOMPARE(m_view->N6->isChecked(), info);
    QCOMPARE(m_view->Label1->isHidden(), !info);
    QCOMPARE(m_view->Timer1->isActive(), running);
}

void TestTfView::zoomAndFullScreen()
{
    start({{200, 100}}, 0); // as is: the box at (216, 173) in the 632 x 446 client area
    const QRect laid = m_view->Image1->geometry();
    QCOMPARE(laid.size(), QSize(200, 100));
    const auto size = [this] {
        return m_view->Image1->size();
    };
    key(Qt::Key_Plus);
    QCOMPARE(size(), QSize(300, 150));
    key(Qt::Key_Minus);
    key(Qt::Key_Minus);
    QCOMPARE(size(), QSize(133, 67));
    key(Qt::Key_0);
    QCOMPARE(m_view->Image1->geometry(), laid);
    // Ctrl with the wheel over the picture's point (150, 25): that point stays under the pointer.
    const QPoint at =
        m_view->Image1->parentWidget()->mapTo(m_view.get(), laid.topLeft()) + QPoint(150, 25);
    QWheelEvent e(at,
        m_view->mapToGlobal(at),
        {},
        {0, 240},
        Qt::NoButton,
        Qt::ControlModifier,
        Qt::NoScrollPhase,
        false);
    QApplication::sendEvent(m_view.get(), &e);
    QCOMPARE(size(), QSize(400, 200)); // two notches: 1.5, then 2
    const QPoint topLeft =
        m_view->Image1->parentWidget()->mapTo(m_view.get(), m_view->Image1->pos());
    QCOMPARE(at - topLeft, QPoint(300, 50));
    QCOMPARE(m_view->PictureIndex, 0); // the wheel with Ctrl does not step
    // F11 fills the screen, Esc leaves it, a second Esc closes the viewer.
    key(Qt::Key_F11);
    QTRY_VERIFY(m_view->isFullScreen());
    key(Qt::Key_Escape);
    QTRY_VERIFY(!m_view->isFullScreen());
    QVERIFY(m_view->isVisible());
    key(Qt::Key_Escape);
    QVERIFY(!m_view->isVisible());
    // The popup lists the keys.
    QStringList listed;
    for (const QAction *a : m_view->PopupMenu1->actions())
        listed << a->text().section(u'\t', 1);
    for (const char *k : {"+", "-", "0", "F11", "Esc"})
        QVERIFY2(listed.contains(QLatin1String(k)), k);
}

void TestTfView::rotateItemsAndKeys()
{
    start({{200, 100}, {30, 40}}, 0); // as is: the box takes the picture's size
    const auto popupShown = [this] {
        emit m_view->PopupMenu1->aboutToShow();
    };
    // Without a rotator the items stay disabled and R does nothing.
    popupShown();
    QVERIFY(!m_view->RotateRight->isEnabled() && !m_view->RotateLeft->isEnabled());
    key(Qt::Key_R);
    QList<std::pair<QByteArray, bool>> asked;
    m_view->setRotator(
        [this](const QByteArray &p) {
            return p == path(0);
        },
        [&asked](const QByteArray &p, bool clockwise) {
            asked.append({p, clockwise});
        });
    popupShown();
    QVERIFY(m_view->RotateRight->isEnabled() && m_view->RotateLeft->isEnabled());
    key(Qt::Key_R);
    QTest::keyClick(m_view.get(), Qt::Key_R, Qt::ShiftModifier);
    m_view->RotateLeft->trigger();
    const QList<std::pair<QByteArray, bool>> expected {
        {path(0), true}, {path(0), false}, {path(0), false}};
    QCOMPARE(asked, expected);
    key(Qt::Key_Right); // a picture whose orientation cannot be written: R does nothing
    key(Qt::Key_R);
    QCOMPARE(asked, expected);
    key(Qt::Key_Left);
    settle();
    QVERIFY(shows(0));
    QCOMPARE(m_view->PopupMenu1->actions().constLast(), m_view->RotateLeft);
    QCOMPARE(m_view->RotateRight->text().section(u'\t', 1), QStringLiteral("R"));
    // The file turned behind the list: its record's sides swap and the box follows at once.
    QVERIFY(test::writeFile(path(0), testsupport::jpegBytes({.width = 100, .height = 200})));
    m_view->pictureTurned(path(0));
    QCOMPARE(m_main->PictureList.at(3), QByteArray("100"));
    QCOMPARE(m_view->Image1->size(), QSize(100, 200));
    QVERIFY(m_reports.isEmpty());
}

void TestTfView::intervalItems_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("before"); // the timer's interval before the choice
    QTest::addColumn<int>("after");
    QTest::addColumn<int>("checked");
    QTest::newRow("another item") << 0 << 1500 << 500 << 0;
    QTest::newRow("the checked item changes nothing") << 3 << 2000 << 2000 << 3;
    QTest::newRow("five seconds") << 6 << 1500 << 5000 << 6;
}

void TestTfView::intervalItems()
{
    QFETCH(int, item);
    QFETCH(int, before);
    QFETCH(int, after);
    QFETCH(int, checked);
    makeView();
    m_view->Timer1->setInterval(before);
    m_view->N2->trigger();
    m_view->TimeItems[static_cast<std::size_t>(item)]->trigger();
    QCOMPARE(m_view->Timer1->interval(), after);
    QVERIFY(m_view->Timer1->isActive());
    for (std::size_t i = 0; i < m_view->TimeItems.size(); ++i)
        QCOMPARE(m_view->TimeItems[i]->isChecked(), int(i) == checked);
    m_view->N3->trigger();
    QVERIFY(!m_view->Timer1->isActive());
}

void TestTfView::fastStepsPrepareTheRightPicture()
{
    start(Sizes(8, Sized {600, 400}));
    QCOMPARE(m_view->Image2().path, path(1));
    // Steps in a burst, none waiting for the worker: each shows its own picture and caption.
    for (int i = 1; i <= 5; ++i) {
        key(Qt::Key_Right);
        QVERIFY(shows(i));
        QVERIFY(m_view->windowTitle().startsWith(QStringLiteral("8 / %1 ").arg(i + 1)));
    }
    key(Qt::Key_Left);
    QVERIFY(shows(4));
    QCOMPARE(m_view->Image2().path, path(5)); // the picture just left is kept as the prepared one
    key(Qt::Key_Right);
    key(Qt::Key_Right);
    settle();
    QVERIFY(shows(6));
    QCOMPARE(m_view->Image2().path, path(7));
    QVERIFY(near(m_view->Image2().image.pixel(3, 3), colourOf(7)));
    QVERIFY(m_reports.isEmpty());
}

void TestTfView::decodeFollowsModeAndWindow_data()
{
    QTest::addColumn<int>("mode"); // at the opening of picture 0
    QTest::addColumn<QString>("actions"); // after it: keys, "grow", "shrink", "remove" (picture 0)
    QTest::addColumn<int>("current");
    QTest::addColumn<QSize>("shown"); // decoded size of the shown and the prepared picture
    QTest::addColumn<QSize>("prepared");
    QTest::addColumn<int>("reports");
    // 4800x3600 drawn 594x446: 4/8 covers three times the drawing.
    const QSize full(4800, 3600), small(2400, 1800);
    // clang-format off
    QTest::newRow("fit: both decoded small")               << 1 << "" << 0 << small << small << 0;
    QTest::newRow("fit, then as is: both decoded in full") << 1 << "H" << 0 << full << full << 0;
    QTest::newRow("fit, as is, a step: in full")           << 1 << "H Right" << 1 << full << full << 0;
    QTest::newRow("as is, then fit: the full ones kept")   << 0 << "J" << 0 << full << full << 0;
    QTest::newRow("fit, the window grows past the decode") << 1 << "grow" << 0 << full << full << 0;
    QTest::newRow("fit, the window shrinks: no new decode") << 1 << "shrink" << 0 << small << small << 0;
    QTest::newRow("fit, file gone, as is: one message, picture kept") << 1 << "remove H grow" << 0 << small << full << 1;
    // clang-format on
}

void TestTfView::decodeFollowsModeAndWindow()
{
    QFETCH(int, mode);
    QFETCH(QString, actions);
    QFETCH(int, current);
    QFETCH(QSize, shown);
    QFETCH(QSize, prepared);
    QFETCH(int, reports);
    start(Sizes(3, Sized {4800, 3600}), -1);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    m_view->SizeItems[static_cast<std::size_t>(mode)]->trigger();
    open(0);
    const QMap<QString, Qt::Key> keys {
        {"H", Qt::Key_H}, {"J", Qt::Key_J}, {"Right", Qt::Key_Right}};
    for (const QString &action : actions.split(' ', Qt::SkipEmptyParts)) {
        if (action == "grow")
            m_view->resize(1000, 760); // 4:3 drawn 1000x750: three times is beyond 4/8
        else if (action == "shrink")
            m_view->resize(300, 200);
        else if (action == "remove")
            QVERIFY(QFile::remove(QFile::decodeName(path(0))));
        else
            key(keys.value(action));
        settle();
    }
    QVERIFY(shows(current));
    QCOMPARE(m_view->Image1->picture().size(), shown);
    QCOMPARE(m_view->Image1->naturalSize(), QSize(4800, 3600));
    QCOMPARE(m_view->Image2().path, path(current + 1));
    QCOMPARE(m_view->Image2().image.size(), prepared);
    QCOMPARE(m_reports.size(), reports);
    if (reports > 0)
        QVERIFY2(m_reports.first().contains(QStringLiteral("見つかりません")),
            qPrintable(m_reports.first()));
}

void TestTfView::stepDecodesIntoThePictureLetGo()
{
    start(Sizes(4, Sized {600, 400}));
    const uchar *first = m_view->Image1->picture().constBits();
    key(Qt::Key_Right);
    settle();
    // Picture 2 was prepared in the memory picture 0 held: no fresh allocation for it.
    QVERIFY(shows(1));
    QCOMPARE(m_view->Image2().path, path(2));
    QVERIFY(near(m_view->Image2().image.pixel(300, 200), colourOf(2)));
    QCOMPARE(m_view->Image2().image.constBits(), first);
}

void TestTfView::fileRemovedBehindTheProgram_data()
{
    QTest::addColumn<int>("open");
    QTest::addColumn<QList<int>>("removed");
    QTest::addColumn<bool>("prepared"); // the loader run for the next picture ran before
    QTest::addColumn<int>("key"); // pressed twice; 0: the open request itself
    QTest::addColumn<int>("reports");
    QTest::addColumn<int>("beeps");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("index");
    const int right = Qt::Key_Right, left = Qt::Key_Left;
    // clang-format off
    QTest::newRow("prepared picture removed: left out, the steps go on") << 0 << QList<int> {1} << true << right << 0 << 1 << 2 << 5;
    QTest::newRow("picture not prepared yet removed: left out, no box")  << 0 << QList<int> {1} << false << right << 0 << 1 << 2 << 5;
    QTest::newRow("every later picture removed: beeps, never a box")     << 0 << QList<int> {1, 2} << true << right << 0 << 2 << 0 << 0;
    QTest::newRow("previous picture removed: left out, beeps at the first") << 1 << QList<int> {0} << true << left << 0 << 2 << 1 << 0;
    QTest::newRow("picture to open removed: open reports, retries")      << -1 << QList<int> {1} << false << 0 << 1 << 0 << 1 << 5;
    // clang-format on
}

void TestTfView::fileRemovedBehindTheProgram()
{
    QFETCH(int, open);
    QFETCH(QList<int>, removed);
    QFETCH(bool, prepared);
    QFETCH(int, key);
    QFETCH(int, reports);
    QFETCH(int, beeps);
    QFETCH(int, shown);
    QFETCH(int, index);
    start({{40, 30}, {30, 40}, {50, 50}}, -1);
    QFile f(QFile::decodeName(path(removed.front())));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray saved = f.readAll();
    if (open >= 0) {
        request(open);
        m_view->FormActivate();
        if (prepared)
            settle();
    }
    for (int i : removed)
        QVERIFY(QFile::remove(QFile::decodeName(path(i))));
    if (key == 0) {
        request(1);
        m_view->FormActivate();
        QVERIFY(m_main->OpenRequested); // the next activation tries again
        QVERIFY(writeFile(path(1), saved));
        m_view->FormActivate();
        QVERIFY(!m_main->OpenRequested);
    } else {
        this->key(Qt::Key(key));
        this->key(Qt::Key(key));
    }
    QCOMPARE(m_reports.size(), reports);
    if (reports > 0)
        QVERIFY2(m_reports.first().contains(QStringLiteral("見つかりません")),
            qPrintable(m_reports.first()));
    QCOMPARE(m_beeps, beeps);
    QCOMPARE(m_view->PictureIndex, index);
    QVERIFY(shows(shown));
}

void TestTfView::programChangesFollowed_data()
{
    QTest::addColumn<int>("open");
    QTest::addColumn<int>("changed");
    QTest::addColumn<bool>("renamed"); // else deleted
    QTest::addColumn<QList<int>>("steps"); // +1 forward, -1 back
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("pictures"); // in the list afterwards
    // clang-format off
    QTest::newRow("next renamed: the step shows it by its new name") << 0 << 1 << true << QList<int> {1} << 1 << 3;
    QTest::newRow("next deleted: left out")                          << 0 << 1 << false << QList<int> {1} << 2 << 2;
    QTest::newRow("current renamed: the caption follows")            << 1 << 1 << true << QList<int> {} << 1 << 3;
    QTest::newRow("current deleted: shown until the user steps away") << 1 << 1 << false << QList<int> {} << 1 << 3;
    QTest::newRow("current deleted, away and back: left out")        << 1 << 1 << false << QList<int> {1, -1} << 0 << 2;
    // clang-format on
}

void TestTfView::programChangesFollowed()
{
    QFETCH(int, open);
    QFETCH(int, changed);
    QFETCH(bool, renamed);
    QFETCH(QList<int>, steps);
    QFETCH(int, shown);
    QFETCH(int, pictures);
    start({{40, 30}, {30, 40}, {50, 50}}, open);
    const QByteArray old = path(changed);
    if (renamed) {
        m_paths[changed] = old.left(old.lastIndexOf('/') + 1) + "renamed.jpg";
        QVERIFY(QFile::rename(QFile::decodeName(old), QFile::decodeName(path(changed))));
        m_view->pictureRenamed(old, path(changed));
    } else {
        QVERIFY(QFile::remove(QFile::decodeName(old)));
        m_view->pictureRemoved(old);
    }
    settle();
    for (int step : steps)
        key(step > 0 ? Qt::Key_Right : Qt::Key_Left);
    QVERIFY(shows(shown));
    QCOMPARE(m_main->PictureList.size(), 5 * pictures);
    QCOMPARE(m_view->windowTitle().endsWith(QStringLiteral("renamed.jpg")), renamed);
    QVERIFY(m_reports.isEmpty());
}

void TestTfView::viewSectionRoundTrip()
{
    makeView();
    m_view->move(40, 50);
    m_view->resize(500, 300);
    m_view->TimeItems[1]->trigger();
    m_view->Timer1->setInterval(2000); // stored apart from the checked item
    m_view->SizeItems[2]->trigger();
    m_view->N6->setChecked(false);
    m_view->Label2->hide();
    m_view->show();
    QVERIFY(m_view->close());
    QVERIFY(!m_view->isVisible());
    makeView(); // a fresh window reads what the first one wrote
    QCOMPARE(m_view->geometry(), QRect(40, 50, 500, 300));
    QVERIFY(m_view->TimeItems[1]->isChecked() && !m_view->TimeItems[3]->isChecked());
    QCOMPARE(m_view->Timer1->interval(), 2000);
    QCOMPARE(m_view->DisplayMode(), 2);
    QVERIFY(!m_view->N6->isChecked());
    QCOMPARE(labelsHidden(), QList<bool>({false, true, false, false}));
}

void TestTfView::radioGroupsFromTheFile_data()
{
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<int>("time");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("interval");
    // clang-format off
    QTest::newRow("no keys: design")                 << QByteArray() << 3 << 0 << 1500;
    QTest::newRow("several checked: the last wins")  << QByteArray("Time2=1\nTime6=1\nSize2=1\nSize4=1\n") << 5 << 3 << 1500;
    QTest::newRow("none checked: design default")    << QByteArray("Time4=0\nSize1=0\nTimer=700\n") << 3 << 0 << 700;
    QTest::newRow("a key checks, later defaults fall") << QByteArray("Time1=1\nSize3=1\n") << 0 << 2 << 1500;
    QTest::newRow("a zero interval is unreadable")   << QByteArray("Timer=0\n") << 3 << 0 << 1500;
    // clang-format on
}

void TestTfView::radioGroupsFromTheFile()
{
    QFETCH(QByteArray, section);
    QFETCH(int, time);
    QFETCH(int, mode);
    QFETCH(int, interval);
    QVERIFY(writeFile(QFile::encodeName(m_settings), "[view]\r\n" + section));
    makeView();
    for (std::size_t i = 0; i < m_view->TimeItems.size(); ++i)
        QCOMPARE(m_view->TimeItems[i]->isChecked(), int(i) == time);
    QCOMPARE(m_view->DisplayMode(), mode);
    QCOMPARE(m_view->Timer1->interval(), interval);
}

void TestTfView::animationPlays_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("frames"); // one-colour frames, colourOf(0), colourOf(1), ...
    QTest::addColumn<int>("centis"); // each frame's delay as the file says it
    QTest::addColumn<int>("keep"); // bytes of the file kept (-1: all)
    QTest::addColumn<int>("delay"); // the delay played (ms); 0: not played; -1: either
    QTest::addColumn<int>("mode"); // the display-mode item chosen first (-1: none)
    QTest::addColumn<int>("plays"); // how often the file says it plays (0: forever)
    QTest::newRow("gif, 100 ms") << QByteArray("a.gif") << 3 << 10 << -1 << 100 << -1 << 0;
    // Long enough that the viewer's own start never outlasts the first frame on a busy machine;
    // the delays from 20 ms up are checked without a clock in frameDelays().
    QTest::newRow("gif, 300 ms") << QByteArray("a.GIF") << 3 << 30 << -1 << 300 << -1 << 0;
    QTest::newRow("gif, 0 ms is 100 ms") << QByteArray("a.gif") << 3 << 0 << -1 << 100 << -1 << 0;
    QTest::newRow("gif, 10 ms is 100 ms") << QByteArray("a.gif") << 3 << 1 << -1 << 100 << -1 << 0;
    QTest::newRow("webp") << QByteArray("a.webp") << 3 << 10 << -1 << 100 << -1 << 0;
    QTest::newRow("gif, fit: frames scaled")
        << QByteArray("a.gif") << 3 << 10 << -1 << 100 << 1 << 0;
    QTest::newRow("still gif") << QByteArray("a.gif") << 1 << 10 << -1 << 0 << -1 << 0;
    // The whole file is 213 bytes.
    QTest::newRow("cut in frame 1") << QByteArray("a.gif") << 3 << 10 << 60 << -1 << -1 << 0;
    QTest::newRow("cut in frame 2") << QByteArray("a.gif") << 3 << 10 << 150 << -1 << -1 << 0;
    QTest::newRow("cut in frame 3") << QByteArray("a.gif") << 3 << 10 << 200 << -1 << -1 << 0;
    // The file's own count of plays: the animation stops on its last frame after them.
    QTest::newRow("gif played twice") << QByteArray("a.gif") << 3 << 10 << -1 << 100 << -1 << 2;
    QTest::newRow("gif without a loop: once")
        << QByteArray("a.gif") << 3 << 10 << -1 << 100 << -1 << 1;
    QTest::newRow("webp played twice") << QByteArray("a.webp") << 3 << 10 << -1 << 100 << -1 << 2;
}

void TestTfView::animationPlays()
{
    QFETCH(QByteArray, name);
    QFETCH(int, frames);
    QFETCH(int, centis);
    QFETCH(int, keep);
    QFETCH(int, delay);
    QFETCH(int, mode);
    QFETCH(int, plays);
    start(Sizes(2, Sized {40, 30}), -1, {name, "b.jpg"});
    // ImageMagick writes a GIF's count (as the plays after the first), not a WebP's: its ANIM
    // chunk's count of plays is set below.
    QStringList args {
        "-delay", QString::number(centis), "-loop", QString::number(plays), "-size", "40x30"};
    for (int i = 0; i < frames; ++i)
        args << "xc:" + colourOf(i).name();
    const QString file = QFile::decodeName(path(0));
    args << file;
    QCOMPARE(QProcess::execute(QStringLiteral("convert"), args), 0);
    if (keep >= 0)
        QVERIFY(QFile::resize(file, keep));
    if (plays > 0 && name.endsWith(".webp")) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        const qsizetype anim = f.readAll().indexOf("ANIM");
        QVERIFY(anim > 0);
        QVERIFY(f.seek(anim + 12) && f.write(QByteArray(1, char(plays))) == 1);
    }
    if (mode >= 0)
        m_view->SizeItems[static_cast<std::size_t>(mode)]->trigger();
    open(0);
    const auto frameIs = [this](int i) {
        const QImage p = m_view->Image1->grab().toImage();
        return m_view->Image1->picturePath() == path(0)
            && near(p.pixel(p.width() / 2, p.height() / 2), colourOf(i));
    };
    PictureAnimation &animation = m_view->animation();
    if (delay == -1) {
        // What of its first frame decodes, or a load error; what of it decodes plays, without a
        // crash.
        QVERIFY(m_view->Image1->picturePath() == path(0) || !m_reports.isEmpty());
        for (int i = 0; i < 7; ++i)
            animation.advance();
        QVERIFY(m_reports.isEmpty() ? !m_view->Image1->picture().isNull() : !animation.isPlaying());
        return;
    }
    QVERIFY(m_reports.isEmpty());
    QVERIFY(frameIs(0));
    QCOMPARE(animation.isPlaying(), delay > 0);
    if (delay == 0)
        return;
    QCOMPARE(animation.nextDelay(), delay);
    QTRY_VERIFY(frameIs(1)); // the frame timer's own tick
    animation.advance();
    // Each frame is drawn as the still picture is: scaled once to its drawing size, when it has
    // one, before any painting.
    const QImage scaled = m_view->Image1->scaledPicture();
    QCOMPARE(scaled.isNull() ? QSize(40, 30) : scaled.size(), m_view->Image1->drawnRect().size());
    QVERIFY(scaled.isNull() || near(scaled.pixel(scaled.width() / 2, 3), colourOf(2)));
    QVERIFY(frameIs(2));
    animation.advance();
    for (int play = 2; play <= plays; ++play) {
        QVERIFY(frameIs(0));
        animation.advance();
        animation.advance();
        QVERIFY(frameIs(2));
        animation.advance();
    }
    if (plays > 0) {
        // Played out: it stays on its last frame.
        QVERIFY(!animation.isPlaying());
        QVERIFY(frameIs(2));
        return;
    }
    QVERIFY(frameIs(0)); // from the start again
    QVERIFY(animation.isPlaying());
    key(Qt::Key_Right); // stepping away stops it
    QVERIFY(shows(1));
    QVERIFY(!animation.isPlaying());
    key(Qt::Key_Left);
    QVERIFY(animation.isPlaying());
    m_view->Timer1Timer(); // so does a slideshow step
    QVERIFY(!animation.isPlaying());
}

void TestTfView::frameDelays()
{
    // A file's own delay is played from 20 ms up; a shorter one (often 0) as 100 ms.
    const std::pair<int, int> rows[] = {
        {0, 100}, {10, 100}, {19, 100}, {20, 20}, {50, 50}, {900, 900}};
    for (const auto &[declared, played] : rows)
        QCOMPARE(PictureAnimation::frameDelay(declared), played);
}

QTEST_MAIN(TestTfView)
#include "tst_tfview.moc"
