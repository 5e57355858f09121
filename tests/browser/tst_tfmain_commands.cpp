// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's commands: open (menu and double click) to the viewer or the desktop, the
// picture list handed to the viewer, Explorer, help, the three dialog commands, rename with
// nothing selected, the tool images and the menus' access keys.
#include "browser/filelistmodel.h"
#include "browser/tfmain.h"
#include "browser/toolbarimages.h"
#include "frame/helpmanual.h"
#include "frame/windowrefs.h"
#include "platform/desktop.h"
#include "platform/foldertree.h"
#include "support/tempfolder.h"
#include "tfmain_testing.h"

#include <QApplication>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <memory>

using namespace morvane;
using namespace morvane::test;

namespace {

// Records what would have been handed to the desktop.
class RecordingDesktop : public platform::Desktop
{
public:
    bool openUrl(const QUrl &url) override
    {
        urls << url;
        return starts;
    }
    QList<QUrl> urls;
    bool starts = true;
};

// Stands in for the options dialog; starts no tool.
class StubOptions : public OptionsBase
{
public:
    QString launchTool(int, const QByteArray &) override { return {}; }
};

bool drawsSomething(const QImage &image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(argb.pixel(x, y)) != 0)
                return true;
        }
    }
    return false;
}

} // namespace

class TestTfMainCommands : public test::DeskTest
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void open_data();
    void open();
    void openWithNothingSelectedDoesNothing();
    void parentFolderKeys_data();
    void parentFolderKeys();
    void typedPath_data();
    void typedPath();
    void doubleClick_data();
    void doubleClick();
    void otherFileWithANameThatIsNotUtf8();
    void namesThatShowAlikeReachTheirOwnFiles_data();
    void namesThatShowAlikeReachTheirOwnFiles();
    void desktopThatStartsNothingIsReported();
    void explorer();
    void explorerOnTheRoot();
    void help();
    void renameWithNothingSelected();
    void renameWithASelection();
    void dialogCommandsShowTheirWindows_data();
    void dialogCommandsShowTheirWindows();
    void toolImagesDraw();
    void menuAccessKeys_data();
    void menuAccessKeys();

private:
    std::unique_ptr<TfMain> openOn(const QByteArray &folder, bool show = true);
    [[nodiscard]] QString shown(const char *name) const
    {
        return QFile::decodeName(m_mixed) + u'/' + QString::fromLatin1(name);
    }
    void select(TfMain &w, const QList<int> &rows);

    QByteArray m_mixed; // a.txt b.jpg c.txt d.bmp e.bin f.jpg g.txt
    QList<QByteArray> m_pictureList; // what opening a picture of m_mixed gives, worked out here
    RecordingDesktop *m_desktop = nullptr; // owned by the window under test
    std::unique_ptr<RecordingViewer> m_viewer;
    std::unique_ptr<QWidget> m_moco;
    std::unique_ptr<QWidget> m_rene;
    std::unique_ptr<StubOptions> m_op;
};

void TestTfMainCommands::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
}

void TestTfMainCommands::init()
{
    QVERIFY(makeDesk());
    m_mixed = inFolder(m_desk, "mixed");
    QVERIFY(makeFolder(m_mixed));
    const QByteArray b = plainJpeg(40, 30);
    const QByteArray d = testsupport::bmpBytes(20, 10, 0, 0, 255);
    const QByteArray f = plainJpeg(16, 16);
    QVERIFY(writeDated(inFolder(m_mixed, "a.txt"), "a"));
    QVERIFY(writeDated(inFolder(m_mixed, "b.jpg"), b));
    QVERIFY(writeDated(inFolder(m_mixed, "c.txt"), "cc"));
    QVERIFY(writeDated(inFolder(m_mixed, "d.bmp"), d));
    QVERIFY(writeDated(inFolder(m_mixed, "e.bin"), "eee"));
    QVERIFY(writeDated(inFolder(m_mixed, "f.jpg"), f));
    QVERIFY(writeDated(inFolder(m_mixed, "g.txt"), "gggg"));
    const QByteArray date = kDate.toUtf8();
    m_pictureList = QList<QByteArray> {inFolder(m_mixed, "b.jpg"),
        QByteArray::number(b.size()),
        date,
        "40",
        "30",
        inFolder(m_mixed, "d.bmp"),
        QByteArray::number(d.size()),
        date,
        "20",
        "10",
        inFolder(m_mixed, "f.jpg"),
        QByteArray::number(f.size()),
        date,
        "16",
        "16"};

    m_viewer = std::make_unique<RecordingViewer>();
    m_moco = std::make_unique<QWidget>();
    m_rene = std::make_unique<QWidget>();
    m_op = std::make_unique<StubOptions>();
    fView = m_viewer.get();
    fMoco = m_moco.get();
    fRene = m_rene.get();
    fOp = m_op.get();
}

void TestTfMainCommands::cleanup()
{
    fMain = nullptr;
    fView = nullptr;
    fMoco = nullptr;
    fRene = nullptr;
    fOp = nullptr;
    m_viewer.reset();
    m_moco.reset();
    m_rene.reset();
    m_op.reset();
    m_desktop = nullptr;
    clearDesk();
}

std::unique_ptr<TfMain> TestTfMainCommands::openOn(const QByteArray &folder, bool show)
{
    return DeskTest::openOn(folder, show, [this](TfMain &w) {
        auto desktop = std::make_unique<RecordingDesktop>();
        m_desktop = desktop.get();
        w.setDesktop(std::move(desktop));
        fMain = &w;
    });
}

void TestTfMainCommands::select(TfMain &w, const QList<int> &rows)
{
    QItemSelection selection;
    for (int row : rows)
        selection.select(w.listModel()->index(row), w.listModel()->index(row));
    w.ListView1->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TestTfMainCommands::open_data()
{
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QString>("viewerFile"); // empty: the viewer is not shown
    QTest::addColumn<QString>("desktopFile"); // empty: nothing goes to the desktop
    QTest::addColumn<bool>("enterKey"); // opened by Enter in the list instead of the command
    QTest::newRow("a picture and two other files: the picture, first in list order")
        << QList<int> {4, 1, 2} << "b.jpg" << QString() << false;
    QTest::newRow("an other file before a picture: the other file")
        << QList<int> {3, 0} << QString() << "a.txt" << false;
    QTest::newRow("the last picture alone") << QList<int> {5} << "f.jpg" << QString() << false;
    QTest::newRow("a bitmap") << QList<int> {3, 6} << "d.bmp" << QString() << false;
    QTest::newRow("Enter on a picture") << QList<int> {5} << "f.jpg" << QString() << true;
    QTest::newRow("Enter on an other file") << QList<int> {2} << QString() << "c.txt" << true;
}

void TestTfMainCommands::open()
{
    QFETCH(QList<int>, rows);
    QFETCH(QString, viewerFile);
    QFETCH(QString, desktopFile);
    QFETCH(bool, enterKey);
    const QByteArray viewerPath =
        viewerFile.isEmpty() ? QByteArray() : inFolder(m_mixed, viewerFile.toUtf8());
    if (!desktopFile.isEmpty())
        desktopFile = shown(qPrintable(desktopFile));
    const ModalCatcher catcher;
    auto w = openOn(m_mixed);
    QVERIFY(w);
    QCOMPARE(w->listModel()->entry(3).caption, QStringLiteral("d.bmp"));
    const QList<QByteArray> earlier {"earlier"};
    w->PictureList = earlier;
    select(*w, rows);
    if (enterKey)
        QTest::keyClick(w->ListView1, Qt::Key_Return);
    else
        w->actOpen->trigger();
    if (viewerPath.isEmpty()) {
        QVERIFY(!m_viewer->isVisible());
        QCOMPARE(w->PictureList, earlier);
        QVERIFY(!w->OpenRequested);
    } else {
        QCOMPARE(w->PictureList, m_pictureList);
        QVERIFY(w->OpenRequested);
        QCOMPARE(m_viewer->OpenPath, viewerPath);
        QVERIFY(m_viewer->isVisible());
        QCOMPARE(m_viewer->shownPath, viewerPath);
        QVERIFY(m_viewer->requestedWhenShown);
    }
    if (desktopFile.isEmpty()) {
        QCOMPARE(m_desktop->urls, QList<QUrl> {});
    } else {
        QCOMPARE(m_desktop->urls, QList<QUrl> {QUrl::fromLocalFile(desktopFile)});
    }
    QCOMPARE(catcher.texts(), QStringList {});
}

void TestTfMainCommands::openWithNothingSelectedDoesNothing()
{
    auto w = openOn(m_mixed);
    QVERIFY(w);
    w->actOpen->trigger();
    QVERIFY(!m_viewer->isVisible());
    QVERIFY(!w->OpenRequested);
    QCOMPARE(w->PictureList, QList<QByteArray> {});
    QCOMPARE(m_desktop->urls, QList<QUrl> {});
}

void TestTfMainCommands::parentFolderKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("Backspace") << int(Qt::Key_Backspace) << int(Qt::NoModifier);
    QTest::newRow("Alt+Up") << int(Qt::Key_Up) << int(Qt::AltModifier);
}

void TestTfMainCommands::parentFolderKeys()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    auto w = openOn(m_mixed);
    QVERIFY(w);
    QTest::keyClick(w->ListView1, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(w->FolderNative, m_desk);
    QCOMPARE(w->Edit2->text(), QFile::decodeName(m_desk));
    QCOMPARE(captions(*w->listModel()), QStringList {});
}

void TestTfMainCommands::typedPath_data()
{
    QTest::addColumn<QString>("typed"); // "<mixed>" and "<desk>" stand for the folders
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("folder"); // the folder shown afterwards
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("Enter goes to the typed folder")
        << "<mixed>/" << int(Qt::Key_Return) << "<mixed>" << QStringList {};
    QTest::newRow("a relative path from the folder shown")
        << "mixed/../mixed" << int(Qt::Key_Return) << "<mixed>" << QStringList {};
    QTest::newRow("Esc gives the field back")
        << "<mixed>" << int(Qt::Key_Escape) << "<desk>" << QStringList {};
    QTest::newRow("a folder that is not there")
        << "<desk>/gone" << int(Qt::Key_Return) << "<desk>"
        << QStringList {QStringLiteral("フォルダー「<desk>/gone」を開けません.")};
}

void TestTfMainCommands::typedPath()
{
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(QString, folder);
    QFETCH(QStringList, messages);
    const auto expand = [this](QString text) {
        return text.replace(QStringLiteral("<mixed>"), QFile::decodeName(m_mixed))
            .replace(QStringLiteral("<desk>"), QFile::decodeName(m_desk));
    };
    auto w = openOn(m_desk);
    QVERIFY(w);
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QVERIFY(w->Edit2->isReadOnly());
    QTest::keyClick(w->ListView1, Qt::Key_L, Qt::ControlModifier);
    QVERIFY(!w->Edit2->isReadOnly());
    QVERIFY(w->Edit2->hasFocus());
    QTest::keyClick(w->Edit2, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(w->Edit2, expand(typed));
    const ModalCatcher catcher;
    QTest::keyClick(w->Edit2, Qt::Key(key));
    QVERIFY(w->Edit2->isReadOnly());
    QCOMPARE(w->FolderPath, expand(folder));
    QCOMPARE(w->Edit2->text(), expand(folder));
    QStringList expected;
    for (const QString &m : messages)
        expected << expand(m);
    QCOMPARE(catcher.texts(), expected);
}

void TestTfMainCommands::doubleClick_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("viewerFile");
    QTest::addColumn<QString>("desktopFile");
    QTest::newRow("other file") << 2 << QString() << "c.txt";
    QTest::newRow("picture") << 5 << "f.jpg" << QString();
}

void TestTfMainCommands::doubleClick()
{
    QFETCH(int, row);
    QFETCH(QString, viewerFile);
    QFETCH(QString, desktopFile);
    const QByteArray viewerPath =
        viewerFile.isEmpty() ? QByteArray() : inFolder(m_mixed, viewerFile.toUtf8());
    if (!desktopFile.isEmpty())
        desktopFile = shown(qPrintable(desktopFile));
    auto w = openOn(m_mixed);
    QVERIFY(w);
    const QModelIndex index = w->listModel()->index(row);
    // A double click as the platform delivers it: press, release, then the double click and its
    // release (QTest's double click alone has no press for the view to start from).
    QWidget *viewport = w->ListView1->viewport();
    const QPoint at = w->ListView1->visualRect(index).center();
    QTest::mousePress(viewport, Qt::LeftButton, {}, at);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
    if (desktopFile.isEmpty())
        QCOMPARE(m_desktop->urls, QList<QUrl> {});
    else
        QCOMPARE(m_desktop->urls, QList<QUrl> {QUrl::fromLocalFile(desktopFile)});
    QCOMPARE(m_viewer->isVisible(), !viewerPath.isEmpty());
    if (!viewerPath.isEmpty()) {
        QCOMPARE(m_viewer->shownPath, viewerPath);
        QCOMPARE(w->PictureList, m_pictureList);
    }
}

void TestTfMainCommands::otherFileWithANameThatIsNotUtf8()
{
    const QByteArray folder = inFolder(m_desk, "odd");
    QVERIFY(makeFolder(folder));
    QVERIFY(test::writeFile(inFolder(folder, "caf\xe9 1.txt"), "x"));
    auto w = openOn(folder);
    QVERIFY(w);
    clickItem(*w, 0);
    w->actOpen->trigger();
    QCOMPARE(m_desktop->urls.size(), 1);
    const QUrl url = m_desktop->urls.front();
    QCOMPARE(url.scheme(), QStringLiteral("file"));
    // The exact bytes of the name reach the desktop.
    QCOMPARE(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()),
        inFolder(folder, "caf\xe9 1.txt"));
}

void TestTfMainCommands::namesThatShowAlikeReachTheirOwnFiles_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("model"); // the Exif model of a picture, which only its file holds
    QTest::addColumn<int>("width"); // of a picture; 0: an other file
    QTest::newRow("text, FF") << QByteArray("a\xff.txt") << QByteArray() << 0;
    QTest::newRow("text, FE") << QByteArray("a\xfe.txt") << QByteArray() << 0;
    QTest::newRow("picture, FF") << QByteArray("a\xff.jpg") << QByteArray("FF") << 40;
    QTest::newRow("picture, FE") << QByteArray("a\xfe.jpg") << QByteArray("FE") << 16;
}

void TestTfMainCommands::namesThatShowAlikeReachTheirOwnFiles()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, model);
    QFETCH(int, width);
    // A folder whose own name is not UTF-8 either, holding pairs of names that show the same
    // caption.
    const QByteArray folder = inFolder(m_desk, "twins\xfe");
    QVERIFY(makeFolder(folder));
    QVERIFY(writeDated(inFolder(folder, "a\xff.txt"), "one"));
    QVERIFY(writeDated(inFolder(folder, "a\xfe.txt"), "two!"));
    auto picture = [](int w, const char *m) {
        testsupport::TiffBuilder b(testsupport::ByteOrder::Little);
        b.ascii(0, exif::tag::Model, m);
        return cameraJpeg(w, 30, b.build().bytes);
    };
    QVERIFY(writeDated(inFolder(folder, "a\xff.jpg"), picture(40, "FF")));
    QVERIFY(writeDated(inFolder(folder, "a\xfe.jpg"), picture(16, "FE")));
    const QByteArray path = inFolder(folder, name);

    const ModalCatcher catcher;
    auto w = openOn(folder);
    QVERIFY(w);
    int row = -1;
    for (int r = 0; r < w->listModel()->count(); ++r) {
        if (w->listModel()->entry(r).nativeName == name)
            row = r;
    }
    QVERIFY(row >= 0);
    clickItem(*w, row);
    QCOMPARE(w->SelectedNames, QList<QByteArray> {name});
    if (width > 0) {
        const QList<QStringList> rows = gridRows(*w->StringGrid1, 6);
        QVERIFY(
            rows.contains(QStringList {QStringLiteral("製品名："), QString::fromLatin1(model)}));
    }
    w->actOpen->trigger();
    if (width == 0) {
        QCOMPARE(m_desktop->urls.size(), 1);
        QCOMPARE(QByteArray::fromPercentEncoding(
                     m_desktop->urls.front().path(QUrl::FullyEncoded).toLatin1()),
            path);
    } else {
        QCOMPARE(m_viewer->OpenPath, path);
        QCOMPARE(w->PictureList.size(), 10);
        const qsizetype at = w->PictureList.indexOf(path);
        QCOMPARE(at % 5, 0);
        QCOMPARE(w->PictureList.value(at + 3), QByteArray::number(width));
        QCOMPARE(m_desktop->urls, QList<QUrl> {});
    }
    // Explorer reaches the folder of these files.
    m_desktop->urls.clear();
    w->actExp->trigger();
    QCOMPARE(QByteArray::fromPercentEncoding(
                 m_desktop->urls.value(0).path(QUrl::FullyEncoded).toLatin1()),
        folder + '/');
    QCOMPARE(catcher.texts(), QStringList {});
}

void TestTfMainCommands::desktopThatStartsNothingIsReported()
{
    const ModalCatcher catcher;
    auto w = openOn(m_mixed);
    QVERIFY(w);
    m_desktop->starts = false;
    select(*w, {0});
    w->actOpen->trigger();
    QCOMPARE(catcher.texts(),
        QStringList {shown("a.txt") + QStringLiteral(" を開くプログラムを起動できませんでした.")});
    QCOMPARE(catcher.seen().front().icon, QMessageBox::Critical);
}

void TestTfMainCommands::explorer()
{
    auto w = openOn(m_mixed);
    QVERIFY(w);
    w->actExp->trigger();
    QCOMPARE(m_desktop->urls, QList<QUrl> {QUrl::fromLocalFile(QFile::decodeName(m_mixed) + u'/')});
    QCOMPARE(m_desktop->urls.front().toLocalFile(), QFile::decodeName(m_mixed) + u'/');
}

void TestTfMainCommands::explorerOnTheRoot()
{
    auto w = openOn(m_mixed, false);
    QVERIFY(w);
    QVERIFY(w->ShellTreeView1->selectPath("/"));
    QCOMPARE(w->FolderPath, QStringLiteral("/"));
    w->actExp->trigger();
    // One separator: "//" is not the same path to every program.
    QCOMPARE(m_desktop->urls, QList<QUrl> {QUrl(QStringLiteral("file:///"))});
}

void TestTfMainCommands::help()
{
    const QString manual = QCoreApplication::applicationDirPath() + QStringLiteral("/morvane.html");
    const bool existed = QFileInfo::exists(manual);
    QFile::remove(manual + QStringLiteral(".kept"));
    if (existed)
        QVERIFY(QFile::rename(manual, manual + QStringLiteral(".kept")));
    auto restore = qScopeGuard([&] {
        QFile::remove(manual);
        if (existed)
            QFile::rename(manual + QStringLiteral(".kept"), manual);
    });

    const ModalCatcher catcher;
    auto w = openOn(m_mixed, false);
    QVERIFY(w);
    w->Help2->trigger();
    // Neither beside the program nor installed: the message names where an installation puts it.
    const QString installed = helpManualPath(QCoreApplication::applicationDirPath());
    QVERIFY(installed != manual);
    QCOMPARE(catcher.texts(),
        QStringList {QStringLiteral("ヘルプファイル %1 が見つかりません.").arg(installed)});
    QCOMPARE(m_desktop->urls, QList<QUrl> {});

    QVERIFY(test::writeFile(QFile::encodeName(manual), "<html></html>"));
    w->Help2->trigger();
    QCOMPARE(m_desktop->urls, QList<QUrl> {QUrl::fromLocalFile(manual)});
    QCOMPARE(catcher.texts().size(), 1);
}

void TestTfMainCommands::renameWithNothingSelected()
{
    auto w = openOn(m_mixed);
    QVERIFY(w);
    QString text;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::Critical;
    QList<QAbstractButton *> buttons;
    bool okIsThere = false;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        text = box->text();
        caption = box->windowTitle();
        icon = box->icon();
        buttons = box->buttons();
        okIsThere = box->button(QMessageBox::Ok) != nullptr;
        box->button(QMessageBox::Ok)->click();
    });
    w->actReName->trigger();
    QCOMPARE(text, QStringLiteral("ファイルを選択してください。"));
    QCOMPARE(caption, QApplication::applicationDisplayName());
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(buttons.size(), 1);
    QVERIFY(okIsThere);
    QVERIFY(!m_rene->isVisible());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void TestTfMainCommands::renameWithASelection()
{
    const ModalCatcher catcher;
    auto w = openOn(m_mixed);
    QVERIFY(w);
    clickItem(*w, 2);
    w->actReName->trigger();
    QVERIFY(m_rene->isVisible());
    QCOMPARE(catcher.texts(), QStringList {});
}

void TestTfMainCommands::dialogCommandsShowTheirWindows_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("window");
    QTest::newRow("コピーと移動") << "actHMF"
                                  << "moco";
    QTest::newRow("フォルダの新規作成") << "NewFolder1"
                                        << "moco";
    QTest::newRow("オプション") << "actOp"
                                << "op";
}

void TestTfMainCommands::dialogCommandsShowTheirWindows()
{
    QFETCH(QString, command);
    QFETCH(QString, window);
    auto w = openOn(m_mixed);
    QVERIFY(w);
    QAction *action = command == u"actHMF" ? w->actHMF
        : command == u"NewFolder1"         ? w->NewFolder1
                                           : w->actOp;
    QWidget *target = window == u"moco" ? m_moco.get() : m_op.get();
    QWidget *other = window == u"moco" ? m_op.get() : m_moco.get();
    // No precondition: nothing need be selected.
    action->trigger();
    QVERIFY(target->isVisible());
    QVERIFY(!other->isVisible());
    QVERIFY(!m_rene->isVisible());
    // A second command keeps the one window.
    action->trigger();
    QVERIFY(target->isVisible());
}

void TestTfMainCommands::toolImagesDraw()
{
    QList<QImage> drawn;
    for (int i = 0; i < 4; ++i) {
        for (const int size : {16, 32}) {
            const QImage image = drawnToolImage(i, size);
            QCOMPARE(image.size(), QSize(size, size));
            QVERIFY2(drawsSomething(image), qPrintable(QStringLiteral("image %1").arg(i)));
        }
        drawn << drawnToolImage(i, 16);
        QVERIFY(drawsSomething(toolImage(i).pixmap(QSize(16, 16), 1.0).toImage()));
    }
    for (int i = 0; i < 4; ++i) {
        for (int j = i + 1; j < 4; ++j)
            QVERIFY(drawn[i] != drawn[j]);
    }
    QVERIFY(drawnToolImage(4, 16).isNull());
    QVERIFY(toolImage(-1).isNull());
    // At each usual screen scale a 16-pixel button gets a drawing of its device size, not one
    // resized to it.
    for (const qreal ratio : {1.0, 1.5, 2.0, 3.0}) {
        for (int i = 0; i < 4; ++i) {
            const auto side = static_cast<int>(16 * ratio);
            const QPixmap shown = drawnToolIcon(i).pixmap(QSize(16, 16), ratio);
            QCOMPARE(shown.devicePixelRatio(), ratio);
            QImage image = shown.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(1.0);
            QCOMPARE(image, drawnToolImage(i, side));
        }
    }

    // What the buttons show.
    auto w = openOn(m_mixed, false);
    QVERIFY(w);
    for (QAction *a : w->ToolBar1->actions())
        QVERIFY2(
            drawsSomething(a->icon().pixmap(QSize(16, 16), 1.0).toImage()), qPrintable(a->text()));
}

void TestTfMainCommands::menuAccessKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("title");
    QTest::newRow("F") << int(Qt::Key_F) << QStringLiteral("ファイル(&F)");
    QTest::newRow("E") << int(Qt::Key_E) << QStringLiteral("編集(&E)");
    QTest::newRow("V") << int(Qt::Key_V) << QStringLiteral("表示(&V)");
    QTest::newRow("T") << int(Qt::Key_T) << QStringLiteral("ツール(&T)");
    QTest::newRow("H") << int(Qt::Key_H) << QStringLiteral("ヘルプ(&H)");
}

void TestTfMainCommands::menuAccessKeys()
{
    QFETCH(int, key);
    QFETCH(QString, title);
    auto w = openOn(m_mixed);
    QVERIFY(w);
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QMenu *menu = nullptr;
    for (QAction *a : w->menuBar()->actions()) {
        if (a->text() == title)
            menu = a->menu();
    }
    QVERIFY(menu != nullptr);
    QTest::keyClick(w.get(), static_cast<Qt::Key>(key), Qt::AltModifier);
    QTRY_VERIFY(menu->isVisible());
    // Inside the menus only the letters written in the captions are access keys.
    for (QMenu *m : w->menuBar()->findChildren<QMenu *>()) {
        for (const QAction *a : m->actions()) {
            const QString text = a->text();
            QVERIFY2(text.count(u'&') <= 1, qPrintable(text));
        }
    }
    menu->hide();
}

QTEST_MAIN(TestTfMainCommands)
#include "tst_tfmain_commands.moc"
