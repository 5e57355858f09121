// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/filelistmodel.h"
#include "browser/tfmain.h"
#include "browser/tfmain_delegate.h"
#include "browser/tfmain_grid.h"
#include "support/imagecheck.h"
#include "tfmain_testing.h"

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <memory>
#include <sys/stat.h>

int runFileListModelTests(int argc, char **argv);
int runSortTests(int argc, char **argv);

using namespace morvane;
using namespace morvane::test;

namespace {

// A menu's items as text: an action's caption, "-" for a separator, ">" + title for a submenu.
QStringList menuItems(const QMenu *menu)
{
    QStringList out;
    for (const QAction *a : menu->actions()) {
        if (a->isSeparator())
            out << QStringLiteral("-");
        else if (a->menu() != nullptr)
            out << QStringLiteral(">") + a->text();
        else
            out << a->text();
    }
    return out;
}

const QMenu *subMenu(const QMenuBar *bar, const QString &title)
{
    for (const QAction *a : bar->actions()) {
        if (a->text() == title)
            return a->menu();
    }
    return nullptr;
}

QString censusLine(int files, const char *bytesPart)
{
    return QStringLiteral(" 全 ") + QString::number(files) + QStringLiteral(" file ( ")
        + QString::fromUtf8(bytesPart) + QStringLiteral("0 file目");
}

} // namespace

class TestTfMain : public test::DeskTest
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void designLayout();
    void layoutFollowsTheWindowSize();
    void menus_data();
    void menus();
    void actionsCarryTheirCategories();
    void toolBarAndPopupMenu();
    void designChecks();
    void settingsAreApplied_data();
    void settingsAreApplied();
    void savedWindowComesBackUnchanged();
    void folderSelectionSetsPathAndCensus();
    void listsFilesNotFolders();
    void folderThatCannotBeReadGivesEmptyCensus();
    void nameThatIsNotUtf8IsListedAndCounted();
    void folderThatIsNotUtf8IsListed();
    void listIsInCaptionOrder();
    void sizeItemRebuildsEvenWhenChecked();
    void boxSizeAndIconPlace_data();
    void boxSizeAndIconPlace();
    void qualityItemRebuilds_data();
    void qualityItemRebuilds();
    void upDateTogglesWithoutRebuild_data();
    void upDateTogglesWithoutRebuild();
    void folderRefreshKeepsTheFolder();
    void captionLines_data();
    void captionLines();
    void wholeCameraNameIsDrawnUnderItsBox();
    void nothingIsDrawnUnderAOneLineCaption_data();
    void nothingIsDrawnUnderAOneLineCaption();
    void panelsGrowToTheirText_data();
    void panelsGrowToTheirText();

private:
    std::unique_ptr<TfMain> makeMain();
    bool writeSettings(const QByteArray &bytes);
};

void TestTfMain::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
}

void TestTfMain::init()
{
    QVERIFY(makeDesk());
}

void TestTfMain::cleanup()
{
    clearDesk();
}

std::unique_ptr<TfMain> TestTfMain::makeMain()
{
    return std::make_unique<TfMain>(m_settings, QFile::decodeName(m_desk));
}

bool TestTfMain::writeSettings(const QByteArray &bytes)
{
    return writeFile(QFile::encodeName(m_settings), bytes);
}

void TestTfMain::designLayout()
{
    auto w = makeMain();
    QCOMPARE(w->windowTitle(), QStringLiteral("サクサク閲覧、ガシガシ整理\u3000「Morvane」"));
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QCOMPARE(w->pos(), QPoint(193, 114));
    QCOMPARE(w->width(), 632);
    QCOMPARE(w->clientHeight(), 426);
    QCOMPARE(w->minimumSize(), QSize(360, 240));

    QCOMPARE(w->ToolBar1->height(), 40);
    QCOMPARE(w->StatusBar1->height(), 18);
    QList<int> widths;
    for (const QLabel *l : w->StatusBar1->findChildren<QLabel *>(Qt::FindDirectChildrenOnly))
        widths << l->width();
    QCOMPARE(widths, (QList<int> {227, 200, 150, 100}));
    QCOMPARE(w->panelText(1), QStringLiteral(" 選択ファイル"));
    QCOMPARE(w->panelText(2), QStringLiteral(" 画像サイズ"));
    QCOMPARE(w->panelText(3), QString());

    QCOMPARE(w->PageControl1->width(), 225);
    QCOMPARE(w->PageControl1->count(), 2);
    QCOMPARE(w->PageControl1->tabText(0), QStringLiteral("フォルダー"));
    QCOMPARE(w->PageControl1->tabText(1), QStringLiteral("Exif"));
    QCOMPARE(w->PageControl1->currentIndex(), 0);
    QCOMPARE(w->Splitter1->handleWidth(), 4);
    // Panel2 is what is left: 632 - 225 - 4 wide, 426 - 40 - 18 high.
    QCOMPARE(w->Panel2->size(), QSize(403, 368));
    QCOMPARE(w->Edit2->geometry(), QRect(0, 3, 401, 20));
    QCOMPARE(w->ListView1->geometry(), QRect(1, 24, 401, 343));
    QVERIFY(w->Edit2->isReadOnly());
    QCOMPARE(w->ListView1->viewMode(), QListView::IconMode);
    QCOMPARE(w->ListView1->selectionMode(), QAbstractItemView::ExtendedSelection);

    QCOMPARE(w->StringGrid1->columnCount(), 2);
    QCOMPARE(w->StringGrid1->gridRowCount(), 5);
    QCOMPARE(w->StringGrid1->colWidth(0), 150);
    QCOMPARE(w->StringGrid1->rowHeight(0), 16);
    QCOMPARE(w->StringGrid1->selectionMode(), QAbstractItemView::ContiguousSelection);
    w->StringGrid1->setCell(1, 0, QStringLiteral("情報"));
    w->StringGrid1->setCell(0, 4, QStringLiteral("サイズ："));
    w->StringGrid1->setCell(0, 5, QStringLiteral("outside"));
    QCOMPARE(w->StringGrid1->cell(1, 0), QStringLiteral("情報"));
    QCOMPARE(w->StringGrid1->cell(0, 4), QStringLiteral("サイズ："));
    QCOMPARE(w->StringGrid1->cell(0, 5), QString());
    w->StringGrid1->setGridRowCount(6);
    QCOMPARE(w->StringGrid1->gridRowCount(), 6);
    QCOMPARE(w->StringGrid1->cell(0, 4), QStringLiteral("サイズ："));
}

void TestTfMain::layoutFollowsTheWindowSize()
{
    auto w = makeMain();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    w->resize(800, 500 + w->menuBarHeight());
    QTRY_COMPARE(w->Panel2->width(), 800 - 225 - 4);
    // The tree side keeps its width; the path field and the list stretch with the panel.
    QCOMPARE(w->PageControl1->width(), 225);
    QCOMPARE(w->Edit2->geometry(), QRect(0, 3, 800 - 225 - 4 - 2, 20));
    QCOMPARE(w->ListView1->geometry(), QRect(1, 24, 800 - 225 - 4 - 2, 500 - 40 - 18 - 25));
    w->resize(100, 100);
    QCOMPARE(w->size().expandedTo(QSize(360, 240)), w->size());
}

void TestTfMain::menus_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("file") << QStringLiteral("ファイル(&F)")
                          << QStringList {QStringLiteral("開く"),
                                 QStringLiteral("-"),
                                 QStringLiteral("終了")};
    QTest::newRow("edit") << QStringLiteral("編集(&E)")
                          << QStringList {QStringLiteral("元に戻す(&U)"),
                                 QStringLiteral("-"),
                                 QStringLiteral("すべて選択"),
                                 QStringLiteral("画像のみ選択(&A)"),
                                 QStringLiteral("画像以外選択"),
                                 QStringLiteral("-"),
                                 QStringLiteral("コピーと移動(&M)..."),
                                 QStringLiteral("削除"),
                                 QStringLiteral("-"),
                                 QStringLiteral("名前の変更(&R)...")};
    QTest::newRow("view") << QStringLiteral("表示(&V)")
                          << QStringList {QStringLiteral("更新(&N)"),
                                 QStringLiteral("フォルダ更新"),
                                 QStringLiteral("-"),
                                 QStringLiteral(">サイズ"),
                                 QStringLiteral(">クオリティ"),
                                 QStringLiteral("UpDate"),
                                 QStringLiteral("-"),
                                 QStringLiteral(">並べ替え")};
    QTest::newRow("tool") << QStringLiteral("ツール(&T)")
                          << QStringList {QStringLiteral("エクスプローラーを開く"),
                                 QStringLiteral("-"),
                                 QStringLiteral("フォルダの新規作成(&M)..."),
                                 QStringLiteral("-"),
                                 QStringLiteral("登録１"),
                                 QStringLiteral("登録２"),
                                 QStringLiteral("登録３"),
                                 QStringLiteral("-"),
                                 QStringLiteral("オプション...")};
    QTest::newRow("help") << QStringLiteral(
        "ヘルプ(&H)") << QStringList {QStringLiteral("ヘルプ"), QStringLiteral("バージョン情報")};
    QTest::newRow("size") << QStringLiteral("サイズ")
                          << QStringList {"32", "48", "64", "96", "128", "256", "320"};
    QTest::newRow("quality") << QStringLiteral("クオリティ")
                             << QStringList {"Full", "Half", "Quarter", "Eighth"};
    QTest::newRow("sort") << QStringLiteral("並べ替え")
                          << QStringList {QStringLiteral("名前"),
                                 QStringLiteral("名前 (数字順)"),
                                 QStringLiteral("更新日時"),
                                 QStringLiteral("撮影日時"),
                                 QStringLiteral("サイズ"),
                                 QStringLiteral("種類"),
                                 QStringLiteral("-"),
                                 QStringLiteral("昇順"),
                                 QStringLiteral("降順")};
}

void TestTfMain::menus()
{
    QFETCH(QString, title);
    QFETCH(QStringList, items);
    auto w = makeMain();
    QStringList titles;
    for (const QAction *a : w->menuBar()->actions())
        titles << a->text();
    QCOMPARE(titles,
        (QStringList {QStringLiteral("ファイル(&F)"),
            QStringLiteral("編集(&E)"),
            QStringLiteral("表示(&V)"),
            QStringLiteral("ツール(&T)"),
            QStringLiteral("ヘルプ(&H)")}));
    const QMenu *menu = subMenu(w->menuBar(), title);
    if (menu == nullptr) {
        // The submenus of "表示(&V)".
        for (const QAction *a : subMenu(w->menuBar(), QStringLiteral("表示(&V)"))->actions()) {
            if (a->menu() != nullptr && a->text() == title)
                menu = a->menu();
        }
    }
    QVERIFY(menu != nullptr);
    QCOMPARE(menuItems(menu), items);
    // No command has a keyboard shortcut but the added undo, Ctrl+Z.
    for (const QAction *a : menu->actions()) {
        QCOMPARE(
            a->shortcut(), a == w->actUndo ? QKeySequence(Qt::CTRL | Qt::Key_Z) : QKeySequence());
    }
}

void TestTfMain::actionsCarryTheirCategories()
{
    // Their captions are checked with the menus.
    auto w = makeMain();
    struct Row
    {
        QAction *action;
        const char *category;
        bool hasImage; // only the four commands of the tool bar have a tool image slot
    };
    const Row rows[] = {{w->actOpen, "file", false},
        {w->actClose, "file", false},
        {w->actAll, "edit", true},
        {w->actHMF, "edit", true},
        {w->actDel, "edit", false},
        {w->actRenew, "view", true},
        {w->actExp, "tool", false},
        {w->actOp, "tool", false},
        {w->actReName, "edit", true}};
    for (const Row &r : rows) {
        QCOMPARE(r.action->property("category").toString(), QLatin1String(r.category));
        if (!r.hasImage)
            QVERIFY2(r.action->icon().isNull(), qPrintable(r.action->text()));
    }
}

void TestTfMain::toolBarAndPopupMenu()
{
    auto w = makeMain();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QCOMPARE(w->ToolBar1->actions(),
        (QList<QAction *> {w->actRenew, w->actAll, w->actReName, w->actHMF}));
    QStringList shown;
    for (QAction *a : w->ToolBar1->actions()) {
        QWidget *button = w->ToolBar1->widgetForAction(a);
        QCOMPARE(button->size(), QSize(102, 35));
        shown << a->iconText();
    }
    // Whole captions, "..." included (the access key letter stays in its brackets).
    QCOMPARE(shown,
        (QStringList {QStringLiteral("更新(N)"),
            QStringLiteral("画像のみ選択(A)"),
            QStringLiteral("名前の変更(R)..."),
            QStringLiteral("コピーと移動(M)...")}));
    QCOMPARE(menuItems(w->PopupMenu1),
        (QStringList {QStringLiteral("名前の変更(&R)..."),
            QStringLiteral("コピーと移動(&M)..."),
            QStringLiteral("削除"),
            QStringLiteral("-"),
            QStringLiteral("登録１"),
            QStringLiteral("登録２"),
            QStringLiteral("登録３"),
            // added after the specified items, past a separator
            QStringLiteral("-"),
            QStringLiteral("右に回転"),
            QStringLiteral("左に回転")}));
    QCOMPARE(w->ListView1->contextMenuPolicy(), Qt::CustomContextMenu);
}

void TestTfMain::designChecks()
{
    auto w = makeMain();
    for (std::size_t i = 0; i < w->SizeItems.size(); ++i)
        QCOMPARE(w->SizeItems[i]->isChecked(), i == 1);
    for (std::size_t i = 0; i < w->QualityItems.size(); ++i)
        QCOMPARE(w->QualityItems[i]->isChecked(), i == 3);
    QVERIFY(w->UpDate1->isChecked());
    QCOMPARE(w->boxSize(), 48);
    QCOMPARE(w->jpegScale(), 3);
    // Choosing one item of a group unchecks the others.
    w->SizeItems[6]->trigger();
    for (std::size_t i = 0; i < w->SizeItems.size(); ++i)
        QCOMPARE(w->SizeItems[i]->isChecked(), i == 6);
}

void TestTfMain::settingsAreApplied_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QRect>("placement"); // left, top, client width, client height
    QTest::addColumn<int>("size"); // index of the checked Size item
    QTest::addColumn<int>("quality");
    QTest::addColumn<bool>("upDate");
    QTest::addColumn<QStringList>("tools"); // captions of N16..N18
    const QRect design(193, 114, 632, 426);
    const QStringList designTools {
        QStringLiteral("登録１"), QStringLiteral("登録２"), QStringLiteral("登録３")};
    QTest::newRow("no file") << QByteArray() << design << 1 << 3 << true << designTools;
    QTest::newRow("placement") << QByteArray(
        "[Main]\r\nTop=30\r\nLeft=20\r\nHeight=300\r\nWidth=500\r\n")
                               << QRect(20, 30, 500, 300) << 1 << 3 << true << designTools;
    QTest::newRow("too small keeps the minimum")
        << QByteArray("[Main]\r\nWidth=100\r\n") << QRect(193, 114, 360, 426) << 1 << 3 << true
        << designTools;
    QTest::newRow("Size1 alone leaves 32 checked")
        << QByteArray("[Main]\r\nSize1=1\r\n") << design << 0 << 3 << true << designTools;
    QTest::newRow("several sizes: the last wins")
        << QByteArray("[Main]\r\nSize5=1\r\nSize7=1\r\nSize2=1\r\n") << design << 6 << 3 << true
        << designTools;
    QTest::newRow("no size left checked: the design default")
        << QByteArray("[Main]\r\nSize1=0\r\nSize2=0\r\nSize3=0\r\n") << design << 1 << 3 << true
        << designTools;
    QTest::newRow("quality Full, UpDate off") << QByteArray("[Main]\r\nQuality1=1\r\nUpDate=0\r\n")
                                              << design << 1 << 0 << false << designTools;
    QTest::newRow("binary garbage gives the design")
        << QByteArray("\x00\xff[Main\x01]\r\n\x82=\x00\x00\r\n[\r\n=\r\nTop=\xff\r\n", 30) << design
        << 1 << 3 << true << designTools;
    QTest::newRow("tool captions in code page 932")
        << QByteArray("[Main]\r\nTN1=\x83\x79\x83\x43\x83\x93\x83\x67\r\nTN3=&Gimp\r\n") << design
        << 1 << 3 << true
        << QStringList {
               QStringLiteral("ペイント"), QStringLiteral("登録２"), QStringLiteral("&Gimp")};
}

void TestTfMain::settingsAreApplied()
{
    QFETCH(QByteArray, file);
    QFETCH(QRect, placement);
    QFETCH(int, size);
    QFETCH(int, quality);
    QFETCH(bool, upDate);
    QFETCH(QStringList, tools);
    if (!file.isEmpty())
        QVERIFY(writeSettings(file));
    auto w = makeMain();
    QCOMPARE(QRect(w->x(), w->y(), w->width(), w->clientHeight()), placement);
    for (int i = 0; i < 7; ++i)
        QCOMPARE(w->SizeItems[static_cast<std::size_t>(i)]->isChecked(), i == size);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(w->QualityItems[static_cast<std::size_t>(i)]->isChecked(), i == quality);
    QCOMPARE(w->UpDate1->isChecked(), upDate);
    // The list was built with what was read.
    const int boxes[] = {32, 48, 64, 96, 128, 256, 320};
    QCOMPARE(w->boxSize(), boxes[size]);
    QCOMPARE(w->jpegScale(), quality);
    QCOMPARE((QStringList {w->N16->text(), w->N17->text(), w->N18->text()}), tools);
    // The popup menu's tool items got the same captions.
    QCOMPARE((QStringList {w->N19->text(), w->N20->text(), w->N21->text()}), tools);
}

void TestTfMain::savedWindowComesBackUnchanged()
{
    QByteArray first;
    {
        auto w = makeMain();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->move(40, 50);
        w->resize(700, 400 + w->menuBarHeight());
        w->SizeItems[4]->trigger();
        w->UpDate1->trigger();
        w->close();
        QFile f(m_settings);
        QVERIFY(f.open(QIODevice::ReadOnly));
        first = f.readAll();
    }
    QVERIFY(first.contains("Left=40\r\n"));
    QVERIFY(first.contains("Top=50\r\n"));
    QVERIFY(first.contains("Width=700\r\n"));
    QVERIFY(first.contains("Height=400\r\n"));
    auto again = makeMain();
    QCOMPARE(QRect(again->x(), again->y(), again->width(), again->clientHeight()),
        QRect(40, 50, 700, 400));
    QVERIFY(again->SizeItems[4]->isChecked());
    QVERIFY(!again->UpDate1->isChecked());
    again->show();
    QVERIFY(QTest::qWaitForWindowExposed(again.get()));
    again->close();
    QFile f(m_settings);
    QVERIFY(f.open(QIODevice::ReadOnly));
    // A second start and close writes the very same file: nothing drifts.
    QCOMPARE(f.readAll(), first);
}

void TestTfMain::folderSelectionSetsPathAndCensus()
{
    const QByteArray photos = inFolder(m_desk, "photos");
    QVERIFY(makeFolder(photos));
    QVERIFY(writeFileOfSize(inFolder(photos, "one.txt"), 1000));
    QVERIFY(writeFileOfSize(inFolder(photos, "two.txt"), 234));
    QVERIFY(writeFileOfSize(inFolder(photos, "three.txt"), 50));
    auto w = makeMain();
    // At start the top node, the desktop folder, is the current folder.
    QCOMPARE(w->FolderPath, QFile::decodeName(m_desk));
    QCOMPARE(w->panelText(0), censusLine(0, "0 Byte ) 中 "));

    QSignalSpy built(w.get(), &TfMain::listBuilt);
    QVERIFY(w->ShellTreeView1->selectPath(photos));
    QCOMPARE(built.count(), 1);
    const QString path = QFile::decodeName(photos);
    QCOMPARE(w->FolderPath, path);
    QCOMPARE(w->Edit2->text(), path);
    QCOMPARE(w->Edit2->toolTip(), path);
    // 1284 bytes: 1 KByte and the first two digits of 284.
    QCOMPARE(w->panelText(0), censusLine(3, "1.28 KByte ) 中 "));
    QCOMPARE(w->censusText(), QStringLiteral(" 全 3 file ( 1.28 KByte ) 中 "));
}

void TestTfMain::listsFilesNotFolders()
{
    const QByteArray f = inFolder(m_desk, "f");
    QVERIFY(makeFolder(f));
    QVERIFY(writeFileOfSize(inFolder(f, ".hidden"), 10));
    QVERIFY(writeFileOfSize(inFolder(f, "a.txt"), 5));
    QVERIFY(test::setModified(inFolder(f, "a.txt"), 2004, 5, 12, 9, 5, 31));
    QVERIFY(makeFolder(inFolder(f, "sub")));
    QVERIFY(writeFileOfSize(inFolder(f, "sub/inner.txt"), 100));
    QVERIFY(::symlink("a.txt", inFolder(f, "ln.txt").constData()) == 0);
    QVERIFY(::symlink("missing", inFolder(f, "broken.txt").constData()) == 0);
    QVERIFY(::mkfifo(inFolder(f, "pipe").constData(), 0600) == 0);
    auto w = makeMain();
    QVERIFY(w->ShellTreeView1->selectPath(f));
    const FileListModel &m = *w->listModel();
    QCOMPARE(captions(m), (QStringList {".hidden", "a.txt", "ln.txt"}));
    const int a = m.findCaption(QStringLiteral("a.txt"));
    // Seconds cut to the two-second stamp.
    QCOMPARE(m.entry(a).record,
        (QStringList {QStringLiteral("1"),
            QStringLiteral("5"),
            QStringLiteral("2004/05/12 9:05:30"),
            QString(),
            QString()}));
    QCOMPARE(m.entry(a).nativeName, QByteArray("a.txt"));
    QCOMPARE(m.entry(m.findCaption(QStringLiteral("ln.txt"))).record.at(1), QStringLiteral("5"));
    QCOMPARE(w->panelText(0), censusLine(3, "20 Byte ) 中 "));
}

void TestTfMain::folderThatCannotBeReadGivesEmptyCensus()
{
    const QByteArray f = inFolder(m_desk, "f");
    QVERIFY(makeFolder(f));
    QVERIFY(writeFileOfSize(inFolder(f, "a.txt"), 5));
    auto w = makeMain();
    QVERIFY(w->ShellTreeView1->selectPath(f));
    QCOMPARE(w->listModel()->count(), 1);
    // The folder goes away behind the program's back; the next build cannot open it.
    QVERIFY(QDir(QFile::decodeName(f)).removeRecursively());
    w->actRenew->trigger();
    QCOMPARE(w->listModel()->count(), 0);
    QCOMPARE(w->panelText(0), censusLine(0, "0 Byte ) 中 "));
    QCOMPARE(w->FolderPath, QFile::decodeName(f));
}

void TestTfMain::nameThatIsNotUtf8IsListedAndCounted()
{
    const QByteArray f = inFolder(m_desk, "f");
    QVERIFY(makeFolder(f));
    QVERIFY(writeFileOfSize(inFolder(f, "caf\xe9.txt"), 7));
    QVERIFY(writeFileOfSize(inFolder(f, "\xff\xfe"), 1000));
    QVERIFY(writeFileOfSize(inFolder(f, "b.txt"), 3));
    auto w = makeMain();
    QVERIFY(w->ShellTreeView1->selectPath(f));
    const FileListModel &m = *w->listModel();
    QCOMPARE(m.count(), 3);
    QList<QByteArray> natives;
    for (int r = 0; r < m.count(); ++r)
        natives << m.entry(r).nativeName;
    std::sort(natives.begin(), natives.end());
    QCOMPARE(natives, (QList<QByteArray> {"b.txt", "caf\xe9.txt", "\xff\xfe"}));
    for (int r = 0; r < m.count(); ++r) {
        if (m.entry(r).nativeName != "b.txt")
            QVERIFY(m.entry(r).caption.contains(QChar(0xFFFD)));
    }
    // 1010 bytes: 1 KByte and "01".
    QCOMPARE(w->panelText(0), censusLine(3, "1.01 KByte ) 中 "));
}

void TestTfMain::folderThatIsNotUtf8IsListed()
{
    const QByteArray f = inFolder(m_desk, "d\xff");
    QVERIFY(makeFolder(f));
    QVERIFY(writeFileOfSize(inFolder(f, "x.txt"), 4));
    auto w = makeMain();
    QVERIFY(w->ShellTreeView1->selectPath(f));
    QCOMPARE(w->FolderNative, f);
    QVERIFY(w->FolderPath.contains(QChar(0xFFFD)));
    QCOMPARE(captions(*w->listModel()), QStringList {QStringLiteral("x.txt")});
    QCOMPARE(w->panelText(0), censusLine(1, "4 Byte ) 中 "));
}

void TestTfMain::listIsInCaptionOrder()
{
    const QByteArray f = inFolder(m_desk, "f");
    QVERIFY(makeFolder(f));
    for (const char *n :
        {"c2.txt", "写真.jpg", "b.txt", "a.txt", "_x.txt", "B2.txt", "A.txt", "c10.txt"})
        QVERIFY(writeFile(inFolder(f, n), "1"));
    auto w = makeMain();
    QVERIFY(w->ShellTreeView1->selectPath(f));
    // Worked out by hand: case ignored (a tie keeps the capital first), "." before digits, digits
    // one by one, "_" before letters, kanji last.
    QCOMPARE(captions(*w->listModel()),
        (QStringList {"_x.txt",
            "A.txt",
            "a.txt",
            "b.txt",
            "B2.txt",
            "c10.txt",
            "c2.txt",
            QStringLiteral("写真.jpg")}));
}

void TestTfMain::sizeItemRebuildsEvenWhenChecked()
{
    const QByteArray f = inFolder(m_desk, "f");
    QVERIFY(makeFolder(f));
    QVERIFY(writeFile(inFolder(f, "a.txt"), "1"));
    auto w = makeMain();
    QVERIFY(w->ShellTreeView1->selectPath(f));
    QVERIFY(writeFile(inFolder(f, "new.txt"), "22"));
    QSignalSpy built(w.get(), &TfMain::listBuilt);
    QVERIFY(w->SizeItems[1]->isChecked());
    w->SizeItems[1]->trigger();
    QCOMPARE(built.count(), 1);
    QVERIFY(w->SizeItems[1]->isChecked());
    QCOMPARE(captions(*w->listModel()), (QStringList {"a.txt", "new.txt"}));
    QCOMPARE(w->panelText(0), censusLine(2, "3 Byte ) 中 "));
}

void TestTfMain::boxSizeAndIconPlace_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("box");
    QTest::addColumn<int>("iconAt"); // box div 2 - 16
    QTest::newRow("32") << 0 << 32 << 0;
    QTest::newRow("48") << 1 << 48 << 8;
    QTest::newRow("64") << 2 << 64 << 16;
    QTest::newRow("96") << 3 << 96 << 32;
    QTest::newRow("128") << 4 << 128 << 48;
    QTest::newRow("256") << 5 << 256 << 112;
    QTest::newRow("320") << 6 << 320 << 144;
}

void TestTfMain::boxSizeAndIconPlace()
{
    QFETCH(int, item);
    QFETCH(int, box);
    QFETCH(int, iconAt);
    const QByteArray f = inFolder(m_desk, "f");
    QVERIFY(makeFolder(f));
    QVERIFY(writeFile(inFolder(f, "a.txt"), "1"));
    auto w = makeMain();
    QVERIFY(w->ShellTreeView1->selectPath(f));
    w->SizeItems[static_cast<std::size_t>(item)]->trigger();
    QCOMPARE(w->boxSize(), box);
    QCOMPARE(w->ListView1->iconSize(), QSize(box, box));
    // Every item gets its whole grid cell but a small gap, whatever its caption, so short first
    // captions do not make the others' room narrower.
    QVERIFY(writeFile(inFolder(f, "a_rather_long_caption.txt"), "1"));
    w->actRenew->trigger();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    const QSize cell = w->ListView1->gridSize();
    QVERIFY(cell.width() >= box + 28 && cell.width() >= 76);
    for (int r = 0; r < w->listModel()->count(); ++r)
        QCOMPARE(w->ListView1->visualRect(w->listModel()->index(r)).size(), cell - QSize(4, 4));
    const QImage image = w->listModel()->box(0).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(image.size(), QSize(box, box));
    const testsupport::Coverage c = testsupport::coverage(image, QRect(iconAt, iconAt, 32, 32));
    QCOMPARE(c.outsideColoured, 0);
    QVERIFY(c.insideColoured > 0);
}

void TestTfMain::qualityItemRebuilds_data()
{
    QTest::addColumn<int>("item");
    QTest::newRow("Full") << 0;
    QTest::newRow("Half") << 1;
    QTest::newRow("Quarter") << 2;
    QTest::newRow("Eighth, already checked") << 3;
}

void TestTfMain::qualityItemRebuilds()
{
    QFETCH(int, item);
    auto w = makeMain();
    QSignalSpy built(w.get(), &TfMain::listBuilt);
    w->QualityItems[static_cast<std::size_t>(item)]->trigger();
    QCOMPARE(built.count(), 1);
    QCOMPARE(w->jpegScale(), item);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(w->QualityItems[static_cast<std::size_t>(i)]->isChecked(), i == item);
}

void TestTfMain::upDateTogglesWithoutRebuild_data()
{
    QTest::addColumn<int>("toggles");
    QTest::addColumn<bool>("repaintEach");
    QTest::newRow("checked by design") << 0 << true;
    QTest::newRow("toggled off") << 1 << false;
    QTest::newRow("toggled off and on") << 2 << true;
}

void TestTfMain::upDateTogglesWithoutRebuild()
{
    QFETCH(int, toggles);
    QFETCH(bool, repaintEach);
    const QByteArray f = inFolder(m_desk, "f");
    QVERIFY(makeFolder(f));
    for (int i = 0; i < 5; ++i)
        QVERIFY(writeFile(inFolder(f, QByteArray::number(i) + ".txt"), "1"));
    auto w = makeMain();
    w->setLiveBuild(false); // the blocking build's freeze and wait cursor
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QVERIFY(w->ShellTreeView1->selectPath(f));
    QSignalSpy built(w.get(), &TfMain::listBuilt);
    for (int i = 0; i < toggles; ++i)
        w->UpDate1->trigger();
    QCOMPARE(built.count(), 0);
    QCOMPARE(w->UpDate1->isChecked(), repaintEach);

    // What the list looks like while the next build adds its items.
    QList<bool> updating;
    QList<bool> waiting;
    connect(w->listModel(), &QAbstractItemModel::rowsInserted, this, [&] {
        updating << w->ListView1->updatesEnabled();
        const QCursor *c = QApplication::overrideCursor();
        waiting << (c != nullptr && c->shape() == Qt::WaitCursor);
    });
    w->actRenew->trigger();
    QCOMPARE(built.count(), 1);
    QCOMPARE(updating, QList<bool>(5, repaintEach));
    QCOMPARE(waiting, QList<bool>(5, true));
    QVERIFY(w->ListView1->updatesEnabled());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestTfMain::folderRefreshKeepsTheFolder()
{
    const QByteArray a = inFolder(m_desk, "a");
    QVERIFY(makeFolder(a));
    QVERIFY(makeFolder(inFolder(a, "b")));
    QVERIFY(writeFile(inFolder(a, "b/x.txt"), "1"));
    auto w = makeMain();
    QVERIFY(w->ShellTreeView1->selectPath(inFolder(a, "b")));
    QVERIFY(makeFolder(inFolder(a, "c")));
    QVERIFY(writeFile(inFolder(a, "b/y.txt"), "1"));
    QSignalSpy built(w.get(), &TfMain::listBuilt);
    w->N11->trigger();
    QCOMPARE(built.count(), 1);
    QCOMPARE(w->FolderNative, inFolder(a, "b"));
    QCOMPARE(w->ShellTreeView1->selectedNativePath(), inFolder(a, "b"));
    QCOMPARE(captions(*w->listModel()), (QStringList {"x.txt", "y.txt"}));
    const QModelIndex aNode = w->ShellTreeView1->folderModel()->indexForPath(a);
    QVERIFY(w->ShellTreeView1->isExpanded(aNode));
    QVERIFY(w->ShellTreeView1->findChild(aNode, QStringLiteral("c")).isValid());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    int status = runFileListModelTests(argc, argv);
    status |= runSortTests(argc, argv);
    TestTfMain t;
    status |= QTest::qExec(&t, argc, argv);
    return status;
}

void TestTfMain::captionLines_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("widthPercent"); // of the caption's own width on one line
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<int>("lines");
    QTest::addColumn<bool>("whole"); // the lines put together give the caption back

    QTest::newRow("fits on one line") << "IMG_0001.JPG" << 110 << 2 << 1 << true;
    QTest::newRow("no word boundary breaks anywhere") << "IMG_0001.JPG" << 60 << 2 << 2 << true;
    QTest::newRow("kanji break anywhere")
        << QStringLiteral("写真の名前です.jpg") << 60 << 2 << 2 << true;
    QTest::newRow("too long for two lines is elided")
        << "DSC_20261208_123456_portrait.jpg" << 30 << 2 << 2 << false;
    QTest::newRow("one line allowed is elided") << "IMG_0001.JPG" << 60 << 1 << 1 << false;
    QTest::newRow("no line allowed") << "IMG_0001.JPG" << 60 << 0 << 0 << false;
    QTest::newRow("empty caption") << "" << 100 << 2 << 0 << false;
}

void TestTfMain::captionLines()
{
    QFETCH(QString, caption);
    QFETCH(int, widthPercent);
    QFETCH(int, maxLines);
    QFETCH(int, lines);
    QFETCH(bool, whole);
    const QFont font = QApplication::font();
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(caption) * widthPercent / 100 + 1;
    const QStringList got = morvane::captionLines(caption, font, width, maxLines);
    QCOMPARE(got.size(), lines);
    for (const QString &l : got)
        QVERIFY2(metrics.horizontalAdvance(l) <= width, qPrintable(l));
    if (whole)
        QCOMPARE(got.join(QString()), caption);
    else if (!got.isEmpty())
        QVERIFY(got.back().endsWith(QChar(0x2026)));
    if (lines == 2 && !whole) // the first line is the caption's own beginning
        QVERIFY(caption.startsWith(got.front()));
}

void TestTfMain::wholeCameraNameIsDrawnUnderItsBox()
{
    // At the design box of 48 a camera name is wider than its cell: it must come out on two
    // lines under the box, selected or not, not cut to "IMG_000...".
    const QByteArray f = inFolder(m_desk, "f");
    QVERIFY(makeFolder(f));
    QVERIFY(writeFile(inFolder(f, "IMG_0001.JPG"), "not a picture"));
    auto w = makeMain();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QVERIFY(w->ShellTreeView1->selectPath(f));
    QCOMPARE(w->listModel()->count(), 1);
    const QModelIndex index = w->listModel()->index(0);
    QCOMPARE(index.data(Qt::ToolTipRole).toString(), QStringLiteral("IMG_0001.JPG"));
    const QRect item = w->ListView1->visualRect(index);
    const int line = QFontMetrics(w->ListView1->font()).height();
    const QFont font = w->ListView1->font();
    QVERIFY(QFontMetrics(font).horizontalAdvance(QStringLiteral("IMG_0001.JPG")) > item.width());

    // Rows of the caption area holding ink: dark pixels when not selected, highlight when so.
    const auto rowsWith = [&](const QImage &image, auto &&isInk) {
        int rows = 0;
        for (int y = item.top() + w->boxSize(); y <= item.bottom() && y < image.height(); ++y) {
            for (int x = item.left(); x <= item.right() && x < image.width(); ++x) {
                if (isInk(image.pixelColor(x, y))) {
                    ++rows;
                    break;
                }
            }
        }
        return rows;
    };
    const QImage plain = w->ListView1->viewport()->grab().toImage();
    const int inkRows = rowsWith(plain, [](const QColor &c) {
        return c.lightness() < 128;
    });
    QVERIFY2(inkRows > line, qPrintable(QString::number(inkRows))); // more than one line of text

    w->ListView1->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
    const QColor highlight = w->ListView1->palette().color(QPalette::Active, QPalette::Highlight);
    const QImage selected = w->ListView1->viewport()->grab().toImage();
    const int highlightRows = rowsWith(selected, [&](const QColor &c) {
        return c == highlight;
    });
    QVERIFY2(highlightRows >= 2 * line - 2, qPrintable(QString::number(highlightRows)));
}

void TestTfMain::nothingIsDrawnUnderAOneLineCaption_data()
{
    QTest::addColumn<int>("item"); // of the Size menu
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("48, ASCII") << 1 << QByteArray("a.txt");
    QTest::newRow("48, Japanese") << 1 << QByteArray("写真.txt");
    QTest::newRow("128, ASCII") << 4 << QByteArray("a.txt");
    QTest::newRow("128, Japanese") << 4 << QByteArray("写真.txt");
}

void TestTfMain::nothingIsDrawnUnderAOneLineCaption()
{
    QFETCH(int, item);
    QFETCH(QByteArray, name);
    const QByteArray f = inFolder(m_desk, "f");
    QVERIFY(makeFolder(f));
    QVERIFY(writeFile(inFolder(f, name), "1"));
    auto w = makeMain();
    QVERIFY(w->ShellTreeView1->selectPath(f));
    w->SizeItems[static_cast<std::size_t>(item)]->trigger();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    // Selected and holding the focus, as after a click.
    w->ListView1->setFocus();
    clickItem(*w, 0);
    const QRect cell = w->ListView1->visualRect(w->listModel()->index(0));
    const int line = QFontMetrics(w->ListView1->font()).height();
    const QColor base = w->ListView1->palette().color(QPalette::Active, QPalette::Base);
    const QImage image = w->ListView1->viewport()->grab().toImage();
    QCOMPARE(image.size(), w->ListView1->viewport()->size()); // one image pixel per pixel
    // Below the one caption line (box, gap, line, and a pixel of slack) the item is blank.
    const int below = cell.top() + w->boxSize() + 3 + line + 1;
    QVERIFY(below < cell.bottom());
    for (int y = below; y <= cell.bottom(); ++y) {
        for (int x = cell.left(); x <= cell.right(); ++x)
            QVERIFY2(
                image.pixelColor(x, y) == base, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
    }
}

void TestTfMain::panelsGrowToTheirText_data()
{
    QTest::addColumn<int>("panel");
    QTest::addColumn<int>("designWidth");
    QTest::newRow("census") << 0 << 227;
    QTest::newRow("selection") << 1 << 200;
    QTest::newRow("picture size") << 2 << 150;
    QTest::newRow("fourth") << 3 << 100;
}

void TestTfMain::panelsGrowToTheirText()
{
    QFETCH(int, panel);
    QFETCH(int, designWidth);
    auto w = makeMain();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    const auto label = [&] {
        return w->StatusBar1->findChildren<QLabel *>(Qt::FindDirectChildrenOnly).at(panel);
    };
    const QString longText =
        QStringLiteral(" 全 2000000 file ( 24.5 MByte ) 中 2000000 file目 ほか");
    w->setPanelText(panel, longText);
    const int needed = label()->fontMetrics().horizontalAdvance(longText);
    QVERIFY(needed > designWidth);
    QTRY_VERIFY(label()->contentsRect().width() >= needed);
    w->setPanelText(panel, QStringLiteral("x"));
    QTRY_COMPARE(label()->width(), designWidth);
}

#include "tst_tfmain.moc"
