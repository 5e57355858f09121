// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's file operations on a folder of real files: the removal of the selected items,
// delete, in-place rename, the drags onto the tree and from outside, shift-click and the drag
// cursors. Questions are answered by a FakePrompter; the trash is the test's own
// (XDG_DATA_HOME points into the temporary folder).
#include "browser/filelistmodel.h"
#include "browser/selectionpanel.h"
#include "browser/tfmain.h"
#include "exif/exifcontainers.h"
#include "files/journaledops.h"
#include "platform/foldertree.h"
#include "platform/foldertreemodel.h"
#include "support/fakeprompter.h"
#include "support/tempfolder.h"
#include "tfmain_testing.h"

#include <QCursor>
#include <QDrag>
#include <QDropEvent>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace morvane;
using namespace morvane::test;

namespace {

// Whether something stands at the native path `path` (QFileInfo would need a QString, which cannot
// hold every byte of a name that is not UTF-8).
bool existsNative(const QByteArray &path)
{
    return ::access(path.constData(), F_OK) == 0;
}

QByteArray readFile(const QByteArray &path)
{
    QFile f(QFile::decodeName(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

namespace {

// Captions in code-point order: "B.txt" and "b.txt" are equal to the list's order, so which comes
// first depends on the folder's enumeration.
QStringList sorted(QStringList list)
{
    std::sort(list.begin(), list.end());
    return list;
}

} // namespace

class TestTfMainFileOps : public test::DeskTest
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void removeSelectedItems_data();
    void removeSelectedItems();
    void deleteSelected_data();
    void deleteSelected();
    void shiftClick_data();
    void shiftClick();
    void dropOnTree_data();
    void dropOnTree();
    void dropFromOutside_data();
    void dropFromOutside();
    void dragOutOfTheList_data();
    void dragOutOfTheList();
    void renameInPlace_data();
    void renameInPlace();
    void undoUpdatesTheTree();
    void undoSaysWhatBlocksIt_data();
    void undoSaysWhatBlocksIt();
    void rotateThenUndo_data();
    void rotateThenUndo();
    void renameInPlaceKeepsUntouchedBytes_data();
    void renameInPlaceKeepsUntouchedBytes();

private:
    // Selects exactly the rows `rows` of the list.
    static void selectRows(TfMain &w, const QList<int> &rows);
    static void selectNames(TfMain &w, const QStringList &names);
    // The window on the photos folder, shown, asking `prompter` (owned by the window).
    [[nodiscard]] std::unique_ptr<TfMain> openWithPrompter(FakePrompter *&prompter) const;

    QByteArray m_photos; // a.txt, B.txt, b.txt, c.jpg, d.txt
};

void TestTfMainFileOps::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
}

void TestTfMainFileOps::init()
{
    QVERIFY(makeDesk());
    m_photos = inFolder(m_desk, "photos");
    QVERIFY(makeFolder(m_photos));
    qputenv("XDG_DATA_HOME", inFolder(nativeOf(*m_dir), "data"));
    qputenv("XDG_STATE_HOME", inFolder(nativeOf(*m_dir), "state"));
    for (const char *name : {"a.txt", "B.txt", "b.txt", "d.txt"})
        QVERIFY(writeDated(inFolder(m_photos, name), name));
    QVERIFY(writeDated(inFolder(m_photos, "c.jpg"), plainJpeg(32, 24)));
}

void TestTfMainFileOps::cleanup()
{
    clearDesk();
}

void TestTfMainFileOps::selectRows(TfMain &w, const QList<int> &rows)
{
    QItemSelection selection;
    for (int row : rows)
        selection.select(w.listModel()->index(row), w.listModel()->index(row));
    w.ListView1->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TestTfMainFileOps::selectNames(TfMain &w, const QStringList &names)
{
    QList<int> rows;
    for (const QString &name : names)
        rows << w.listModel()->findCaption(name);
    selectRows(w, rows);
}

std::unique_ptr<TfMain> TestTfMainFileOps::openWithPrompter(FakePrompter *&prompter) const
{
    return openOn(m_photos, true, [&prompter](TfMain &w) {
        auto fake = std::make_unique<FakePrompter>();
        prompter = fake.get();
        w.setPrompter(std::move(fake));
    });
}

void TestTfMainFileOps::removeSelectedItems_data()
{
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("three of five, exactly those, not the other case")
        << QStringList {"a.txt", "b.txt", "d.txt"} << QStringList {"B.txt", "c.jpg"};
    QTest::newRow("one file whose name differs from another in case only")
        << QStringList {"B.txt"} << QStringList {"a.txt", "b.txt", "c.jpg", "d.txt"};
}

void TestTfMainFileOps::removeSelectedItems()
{
    QFETCH(QStringList, selected);
    QFETCH(QStringList, left);
    const auto w = openOn(m_photos, false);
    QVERIFY(w);
    selectNames(*w, selected);
    QCOMPARE(w->SelectedNames, nativeNames(selected));
    w->RemoveSelectedItems();
    QCOMPARE(sorted(captions(*w->listModel())), sorted(left));
    QCOMPARE(w->censusText(), listCensus(*w->listModel()));
    QVERIFY(w->panelText(0).startsWith(w->censusText()));
    QCOMPARE(w->panelText(1), QString::fromStdString(browser::selectionText(0, 0)));
    QVERIFY(w->SelectedNames.isEmpty());
}

void TestTfMainFileOps::deleteSelected_data()
{
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QByteArray>("vanished"); // removed behind the window's back first
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<QStringList>("trashed");
    QTest::addColumn<QStringList>("boxes");
    // The status bar after the delete and after the undo, and the undo item's caption between.
    QTest::addColumn<QStringList>("statuses");
    QTest::addColumn<QString>("undoCaption");
    QTest::addColumn<bool>("deleteKey"); // the Delete key in the list instead of the command
    QTest::newRow("three of five go to the trash and leave the list")
        << QStringList {"a.txt", "b.txt", "d.txt"} << QByteArray() << QStringList {"B.txt", "c.jpg"}
        << QStringList {"a.txt", "b.txt", "d.txt"} << QStringList {}
        << QStringList {"3 個のファイルをごみ箱に移動しました", "元に戻しました: 削除 (3 個)"}
        << "元に戻す: 削除 (3 個)(&U)" << false;
    QTest::newRow("a file gone meanwhile stays listed, the others leave")
        << QStringList {"a.txt", "b.txt"} << QByteArray("a.txt")
        << QStringList {"a.txt", "B.txt", "c.jpg", "d.txt"} << QStringList {"b.txt"}
        << QStringList {}
        << QStringList {"1 個のファイルをごみ箱に移動しました", "元に戻しました: 削除 (1 個)"}
        << "元に戻す: 削除 (1 個)(&U)" << false;
    QTest::newRow("nothing selected")
        << QStringList {} << QByteArray()
        << QStringList {"a.txt", "B.txt", "b.txt", "c.jpg", "d.txt"} << QStringList {}
        << QStringList {"ファイルが選択されていません。"} << QStringList {"", ""} << "元に戻す(&U)"
        << false;
    QTest::newRow("the Delete key")
        << QStringList {"c.jpg"} << QByteArray() << QStringList {"a.txt", "B.txt", "b.txt", "d.txt"}
        << QStringList {"c.jpg"} << QStringList {}
        << QStringList {"1 個のファイルをごみ箱に移動しました", "元に戻しました: 削除 (1 個)"}
        << "元に戻す: 削除 (1 個)(&U)" << true;
    QTest::newRow("the Delete key with nothing selected")
        << QStringList {} << QByteArray()
        << QStringList {"a.txt", "B.txt", "b.txt", "c.jpg", "d.txt"} << QStringList {}
        << QStringList {"ファイルが選択されていません。"} << QStringList {"", ""} << "元に戻す(&U)"
        << true;
}

void TestTfMainFileOps::deleteSelected()
{
    QFETCH(QStringList, selected);
    QFETCH(QByteArray, vanished);
    QFETCH(QStringList, left);
    QFETCH(QStringList, trashed);
    QFETCH(QStringList, boxes);
    QFETCH(QStringList, statuses);
    QFETCH(QString, undoCaption);
    QFETCH(bool, deleteKey);
    FakePrompter *prompter = nullptr;
    const auto w = openWithPrompter(prompter);
    QVERIFY(w);
    selectNames(*w, selected);
    if (!vanished.isEmpty())
        QVERIFY(::unlink(inFolder(m_photos, vanished).constData()) == 0);
    const QMap<QByteArray, QByteArray> before = folderContents(m_photos);
    const ModalCatcher catcher;
    RecordingViewer viewer;
    fView = &viewer;
    if (deleteKey)
        QTest::keyClick(w->ListView1, Qt::Key_Delete);
    else
        w->actDel->trigger();
    fView = nullptr;
    QList<QByteArray> told; // the viewer's picture list leaves out exactly the trashed files
    for (const QString &name : trashed)
        told << inFolder(m_photos, QFile::encodeName(name));
    QCOMPARE(viewer.removed, told);
    QCOMPARE(catcher.texts(), boxes);
    QCOMPARE(sorted(captions(*w->listModel())), sorted(left));
    QCOMPARE(w->censusText(), listCensus(*w->listModel())); // at once, without 更新
    QVERIFY(w->panelText(0).startsWith(w->censusText()));
    QStringList stillSelected; // what the delete did not take stays selected
    for (const QString &name : selected) {
        if (!trashed.contains(name))
            stillSelected << name;
    }
    QCOMPARE(w->SelectedNames, nativeNames(stillSelected));
    QCOMPARE(prompter->errors.isEmpty(), vanished.isEmpty());
    for (const QString &name : trashed) {
        QVERIFY(!existsNative(inFolder(m_photos, QFile::encodeName(name))));
        QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("data/Trash/files/") + name)));
    }
    QCOMPARE(w->StatusBar1->currentMessage(), statuses[0]);
    // The undo item names what it will undo; with nothing to undo it is disabled.
    w->updateUndoAction();
    QCOMPARE(w->actUndo->text(), undoCaption);
    QCOMPARE(w->actUndo->isEnabled(), undoCaption != u"元に戻す(&U)");
    w->actUndo->setEnabled(true); // as when the menu closes
    // 元に戻す brings the trashed files back byte for byte, and into the list.
    w->actUndo->trigger();
    QCOMPARE(w->StatusBar1->currentMessage(), statuses[1]);
    QCOMPARE(folderContents(m_photos), before);
    QTRY_COMPARE(w->listModel()->count(), before.size());
}

void TestTfMainFileOps::shiftClick_data()
{
    QTest::addColumn<int>("anchor");
    QTest::addColumn<int>("extra"); // added with Ctrl before the shift-click, -1 none
    QTest::addColumn<int>("clicked");
    QTest::addColumn<QList<int>>("selected");
    QTest::newRow("before the anchor") << 3 << 4 << 1 << QList<int> {1, 2, 3};
    QTest::newRow("after the anchor") << 1 << 0 << 3 << QList<int> {1, 2, 3};
    QTest::newRow("the anchor itself") << 2 << 4 << 2 << QList<int> {2};
}

void TestTfMainFileOps::shiftClick()
{
    QFETCH(int, anchor);
    QFETCH(int, extra);
    QFETCH(int, clicked);
    QFETCH(QList<int>, selected);
    FakePrompter *prompter = nullptr;
    const auto w = openWithPrompter(prompter);
    QVERIFY(w);
    clickItem(*w, anchor);
    if (extra >= 0)
        clickItem(*w, extra, Qt::ControlModifier);
    clickItem(*w, clicked, Qt::ShiftModifier);
    QList<QByteArray> expected;
    for (int row : selected)
        expected << w->listModel()->entry(row).nativeName;
    QCOMPARE(w->SelectedNames, expected);
    QCOMPARE(w->SelectedIndex, selected.size() == 1 ? selected.front() : anchor);
}

void TestTfMainFileOps::dropOnTree_data()
{
    QTest::addColumn<QByteArray>("folder"); // under the desk; empty: the list's own folder
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<bool>("reported");
    QTest::addColumn<QString>("status");
    QTest::newRow("onto the current folder's own node: refused, list unchanged")
        << QByteArray() << QStringList {"a.txt", "B.txt", "b.txt", "c.jpg", "d.txt"} << true << "";
    QTest::newRow("onto another folder: moved, the items leave")
        << QByteArray("other") << QStringList {"B.txt", "c.jpg", "d.txt"} << false
        << "2 個のファイルを「other」に移動しました";
}

void TestTfMainFileOps::dropOnTree()
{
    QFETCH(QByteArray, folder);
    QFETCH(QStringList, left);
    QFETCH(bool, reported);
    QFETCH(QString, status);
    const QByteArray target = folder.isEmpty() ? m_photos : inFolder(m_desk, folder);
    QVERIFY(makeFolder(inFolder(m_desk, "other")));
    FakePrompter *prompter = nullptr;
    const auto w = openWithPrompter(prompter);
    QVERIFY(w);
    selectNames(*w, {"a.txt", "b.txt"});
    QSignalSpy moved(w.get(), &TfMain::filesMovedByDrop);
    std::unique_ptr<QDrag> drag(w->makeListDrag());
    QVERIFY(drag);

    const QModelIndex node = w->ShellTreeView1->folderModel()->indexForPath(target);
    QVERIFY(node.isValid());
    w->ShellTreeView1->scrollTo(node);
    // The user puts the arrow's point on the folder; the drop comes at the cursor's hot spot,
    // which Qt takes from the drag cursor's picture.
    const QPixmap cursor = drag->dragCursor(Qt::CopyAction);
    const QImage image = cursor.toImage();
    QPoint tip(-1, -1);
    for (int y = 0; y < image.height() && tip.y() < 0; ++y) {
        for (int x = 0; x < image.width() && tip.y() < 0; ++x) {
            if (qAlpha(image.pixel(x, y)) > 0)
                tip = {x, y};
        }
    }
    const QPoint at =
        w->ShellTreeView1->visualRect(node).center() + QCursor(cursor).hotSpot() - tip;
    QWidget *viewport = w->ShellTreeView1->viewport();
    // Qt delivers a drop only to the widget that accepted the drag's entry.
    QDragEnterEvent enter(
        at, Qt::CopyAction | Qt::MoveAction, drag->mimeData(), Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &enter);
    QVERIFY(enter.isAccepted());
    QCOMPARE(w->ShellTreeView1->dropTarget(), node); // highlighted while the drag is over it
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, drag->mimeData(), Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &drop);
    QVERIFY(!w->ShellTreeView1->dropTarget().isValid());

    QCOMPARE(sorted(captions(*w->listModel())), sorted(left));
    QCOMPARE(w->censusText(), listCensus(*w->listModel()));
    QVERIFY(w->panelText(0).startsWith(w->censusText()));
    QCOMPARE(!prompter->errors.isEmpty(), reported);
    QCOMPARE(w->StatusBar1->currentMessage(), status);
    QCOMPARE(moved.count(), 1);
    QCOMPARE(moved.at(0).at(0).toByteArray(), target);
    for (const char *name : {"a.txt", "b.txt"})
        QVERIFY(existsNative(inFolder(target, name)));
}

void TestTfMainFileOps::dropFromOutside_data()
{
    QTest::addColumn<bool>("folderChosen");
    QTest::newRow("two files moved into the current folder") << true;
    QTest::newRow("no folder chosen: nothing moves") << false;
}

void TestTfMainFileOps::dropFromOutside()
{
    QFETCH(bool, folderChosen);
    const QByteArray outside = inFolder(nativeOf(*m_dir), "outside");
    QVERIFY(makeFolder(outside));
    const QList<QByteArray> names {"e.txt", QByteArray("f\xe9.txt")};
    QList<QUrl> urls;
    for (const QByteArray &name : names) {
        QVERIFY(writeDated(inFolder(outside, name), name));
        urls << platform::fileUrl(inFolder(outside, name));
    }
    FakePrompter *prompter = nullptr;
    const auto w = openWithPrompter(prompter);
    QVERIFY(w);
    if (!folderChosen) {
        w->FolderPath.clear();
        w->FolderNative.clear();
    }
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(w.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(w.get(), &drop);
    // The source is told "copied": the move is done here, and a source told "moved" could remove
    // its originals itself.
    QCOMPARE(drop.dropAction(), Qt::CopyAction);

    for (const QByteArray &name : names) {
        QCOMPARE(existsNative(inFolder(m_photos, name)), folderChosen);
        QCOMPARE(existsNative(inFolder(outside, name)), !folderChosen);
        QCOMPARE(w->listModel()->findNative(name) >= 0, folderChosen);
    }
    QCOMPARE(w->censusText(), listCensus(*w->listModel()));
    QVERIFY(prompter->errors.isEmpty());
    QCOMPARE(w->StatusBar1->currentMessage(),
        folderChosen ? QStringLiteral("2 個のファイルを「photos」に移動しました") : QString());
}

void TestTfMainFileOps::dragOutOfTheList_data()
{
    QTest::addColumn<QList<QByteArray>>("names");
    QTest::addColumn<bool>("several");
    QTest::newRow("one file: the single-item cursor") << QList<QByteArray> {"c.jpg"} << false;
    QTest::newRow("two files, one not UTF-8: the several-items cursor")
        << QList<QByteArray> {"a.txt", QByteArray("x\xe9.txt")} << true;
}

void TestTfMainFileOps::dragOutOfTheList()
{
    QFETCH(QList<QByteArray>, names);
    QFETCH(bool, several);
    QVERIFY(writeDated(inFolder(m_photos, QByteArray("x\xe9.txt")), "latin-1 name"));
    FakePrompter *prompter = nullptr;
    const auto w = openWithPrompter(prompter);
    QVERIFY(w);
    QItemSelection selection;
    for (const QByteArray &name : names) {
        const int row = w->listModel()->findNative(name);
        QVERIFY(row >= 0);
        selection.select(w->listModel()->index(row), w->listModel()->index(row));
    }
    w->ListView1->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    std::unique_ptr<QDrag> drag(w->makeListDrag());
    QVERIFY(drag);
    QCOMPARE(drag->dragCursor(Qt::CopyAction).toImage(), TfMain::dragCursor(several).toImage());
    QVERIFY(TfMain::dragCursor(true).toImage() != TfMain::dragCursor(false).toImage());
    QList<QByteArray> paths;
    for (const QUrl &url : drag->mimeData()->urls())
        paths << QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    QList<QByteArray> expected;
    for (const QByteArray &name : std::as_const(w->SelectedNames))
        expected << inFolder(m_photos, name);
    QCOMPARE(paths, expected);
    QCOMPARE(paths.size(), names.size());
}

void TestTfMainFileOps::renameInPlace_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QByteArray>("file"); // the file that holds a.txt's bytes afterwards
    QTest::newRow("refused: an existing name")
        << QStringLiteral("b.txt") << QStringList {"a.txt", "B.txt", "b.txt", "c.jpg", "d.txt"}
        << QByteArray("a.txt");
    QTest::newRow("refused: a slash")
        << QStringLiteral("x/y.txt") << QStringList {"a.txt", "B.txt", "b.txt", "c.jpg", "d.txt"}
        << QByteArray("a.txt");
    QTest::newRow("done: the item moves to its sorted place")
        << QStringLiteral("z.txt") << QStringList {"B.txt", "b.txt", "c.jpg", "d.txt", "z.txt"}
        << QByteArray("z.txt");
}

void TestTfMainFileOps::renameInPlace()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, list);
    QFETCH(QByteArray, file);
    FakePrompter *prompter = nullptr;
    const auto w = openWithPrompter(prompter);
    QVERIFY(w);
    const int row = w->listModel()->findCaption(QStringLiteral("a.txt"));
    const QStringList record = w->listModel()->entry(row).record;
    clickItem(*w, row);
    w->ListView1->edit(w->listModel()->index(row));
    const QPointer<QLineEdit> editor = w->ListView1->viewport()->findChild<QLineEdit *>();
    QVERIFY(editor);
    editor->setText(typed);
    RecordingViewer viewer;
    fView = &viewer;
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(editor.isNull()); // the view commits and closes its editor later
    fView = nullptr;
    // The viewer's picture list follows a rename that was done.
    const QList<QByteArray> told {inFolder(m_photos, "a.txt"), inFolder(m_photos, file)};
    QCOMPARE(viewer.renamed, file == "a.txt" ? QList<QByteArray>() : told);

    QCOMPARE(sorted(captions(*w->listModel())), sorted(list));
    QCOMPARE(w->listModel()->entry(w->listModel()->count() - 1).caption,
        file == "z.txt" ? QStringLiteral("z.txt") : QStringLiteral("d.txt"));
    QCOMPARE(readFile(inFolder(m_photos, file)), QByteArray("a.txt"));
    QCOMPARE(prompter->errors.size(), file == "a.txt" ? 1 : 0);
    const int now = w->listModel()->findNative(file);
    QCOMPARE(w->listModel()->entry(now).record, record);
    QCOMPARE(w->SelectedNames, QList<QByteArray> {file});
    QCOMPARE(w->censusText(), listCensus(*w->listModel()));
}

void TestTfMainFileOps::renameInPlaceKeepsUntouchedBytes_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("insert"); // typed before the extension
    QTest::addColumn<bool>("answer"); // to the question, when asked
    QTest::addColumn<QByteArray>("file"); // the name afterwards
    QTest::addColumn<int>("asked");
    const QByteArray sha("\x8e\xca\x90\x5e"); // 写真 in CP932
    QTest::newRow("Latin-1 byte kept")
        << QByteArray("caf\xe9.bmp") << "_y" << false << QByteArray("caf\xe9_y.bmp") << 0;
    QTest::newRow("CP932 edited in CP932") << sha + ".bmp"
                                           << "_y" << false << sha + "_y.bmp" << 0;
    QTest::newRow("CP932 cannot hold it: asked, no") << sha + ".bmp"
                                                     << "☃" << false << sha + ".bmp" << 1;
    QTest::newRow("CP932 cannot hold it: asked, yes")
        << sha + ".bmp"
        << "☃" << true << QByteArray("写真☃.bmp") << 1;
}

void TestTfMainFileOps::renameInPlaceKeepsUntouchedBytes()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, insert);
    QFETCH(bool, answer);
    QFETCH(QByteArray, file);
    QFETCH(int, asked);
    QVERIFY(writeDated(inFolder(m_photos, name), "unread bytes"));
    FakePrompter *prompter = nullptr;
    const auto w = openWithPrompter(prompter);
    QVERIFY(w);
    prompter->confirmAnswers << answer;
    const int row = w->listModel()->findNative(name);
    QVERIFY(row >= 0);
    clickItem(*w, row);
    w->ListView1->edit(w->listModel()->index(row)); // F2
    const QPointer<QLineEdit> editor = w->ListView1->viewport()->findChild<QLineEdit *>();
    QVERIFY(editor);
    QString text = editor->text();
    editor->setText(text.insert(text.lastIndexOf(QLatin1Char('.')), insert));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(editor.isNull());
    QCOMPARE(prompter->questions.size(), asked);
    QVERIFY(existsNative(inFolder(m_photos, file)));
    QCOMPARE(folderContents(m_photos).value(file), QByteArray("unread bytes"));
    QVERIFY(w->listModel()->findNative(file) >= 0);
}

QTEST_MAIN(TestTfMainFileOps)
void TestTfMainFileOps::undoUpdatesTheTree()
{
    // Undoing a new folder takes it out of the tree as well, and the list stays on its folder.
    FakePrompter *prompter = nullptr;
    const auto w = openWithPrompter(prompter);
    QVERIFY(w);
    const QByteArray made = inFolder(m_photos, "made");
    QVERIFY(::mkdir(made.constData(), 0777) == 0);
    files::journalNewFolder(*prompter, made);
    w->ShellTreeView1->reloadTree();
    platform::FolderTreeModel *tree = w->ShellTreeView1->folderModel();
    QVERIFY(tree->indexForPath(made).isValid());
    w->actUndo->trigger();
    QVERIFY(!existsNative(made));
    QVERIFY(!tree->indexForPath(made).isValid());
    QCOMPARE(w->FolderNative, m_photos);
    QCOMPARE(w->listModel()->count(), 5);
}

void TestTfMainFileOps::undoSaysWhatBlocksIt_data()
{
    QTest::addColumn<QByteArray>("taken"); // written at a trashed file's name before the undo
    QTest::addColumn<QString>("tip"); // part of the undo item's status tip; empty: none
    QTest::newRow("a trashed file's name taken since")
        << QByteArray("a.txt") << QStringLiteral("a.txt」には別のファイルがあるため");
    QTest::newRow("nothing blocks it") << QByteArray() << QString();
}

void TestTfMainFileOps::undoSaysWhatBlocksIt()
{
    QFETCH(QByteArray, taken);
    QFETCH(QString, tip);
    FakePrompter *prompter = nullptr;
    const auto w = openWithPrompter(prompter);
    QVERIFY(w);
    const QMap<QByteArray, QByteArray> before = folderContents(m_photos);
    selectNames(*w, {"a.txt", "b.txt"});
    w->actDel->trigger();
    if (!taken.isEmpty())
        QVERIFY(writeFile(inFolder(m_photos, taken), "someone else's"));
    for (const char *caption : {"元に戻す: 削除 (2 個)(&U)", "元に戻す: 削除 (1 個)(&U)"}) {
        // The caption keeps its form; the status tip and tooltip name what blocks the entry.
        w->updateUndoAction();
        QCOMPARE(w->actUndo->text(), QString::fromUtf8(caption));
        QVERIFY2(tip.isEmpty() ? w->actUndo->statusTip().isEmpty()
                               : w->actUndo->statusTip().contains(tip),
            qPrintable(w->actUndo->statusTip()));
        QVERIFY(tip.isEmpty() || w->actUndo->toolTip() == w->actUndo->statusTip());
        w->actUndo->trigger(); // what it can undo it does; the message names the rest
        QCOMPARE(prompter->errors.size(), tip.isEmpty() ? 0 : 1);
        if (tip.isEmpty())
            break;
        QVERIFY(prompter->errors.takeFirst().contains(tip));
    }
    if (!taken.isEmpty()) { // once the name is free, the same undo brings the file back
        QVERIFY(::unlink(inFolder(m_photos, taken).constData()) == 0);
        w->actUndo->trigger();
    }
    QCOMPARE(folderContents(m_photos), before);
}

void TestTfMainFileOps::rotateThenUndo_data()
{
    // turned.jpg holds an Exif Orientation of 1, plain.jpg Exif without it, c.jpg no Exif.
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("clockwise");
    QTest::addColumn<bool>("bigEndian");
    QTest::newRow("right, little-endian Exif") << "turned.jpg" << true << false;
    QTest::newRow("left, big-endian Exif") << "turned.jpg" << false << true;
    QTest::newRow("Exif without Orientation: entry added") << "plain.jpg" << true << true;
    QTest::newRow("JPEG without Exif: Exif added") << "c.jpg" << false << false;
    QTest::newRow("not a picture: disabled") << "a.txt" << true << false;
}

void TestTfMainFileOps::rotateThenUndo()
{
    QFETCH(QString, name);
    QFETCH(bool, clockwise);
    QFETCH(bool, bigEndian);
    testsupport::TiffBuilder b(
        bigEndian ? testsupport::ByteOrder::Big : testsupport::ByteOrder::Little);
    b.ascii(0, exif::tag::Make, "Canon");
    b.shortValue(0, 0x0112, 1);
    const QByteArray path = inFolder(m_photos, QFile::encodeName(name));
    QVERIFY(writeDated(inFolder(m_photos, "turned.jpg"), cameraJpeg(32, 24, b.build().bytes)));
    testsupport::TiffBuilder plain(
        bigEndian ? testsupport::ByteOrder::Big : testsupport::ByteOrder::Little);
    plain.ascii(0, exif::tag::Make, "Canon");
    QVERIFY(writeDated(inFolder(m_photos, "plain.jpg"), cameraJpeg(32, 24, plain.build().bytes)));
    FakePrompter *prompter = nullptr;
    const auto w = openWithPrompter(prompter);
    QVERIFY(w);
    selectNames(*w, {name});
    w->updateRotateActions();
    const bool rotatable = name.endsWith(QStringLiteral(".jpg"));
    QCOMPARE(w->RotateRight->isEnabled(), rotatable);
    QCOMPARE(w->RotateLeft->isEnabled(), rotatable);
    QCOMPARE(w->PopupMenu1->actions().constLast(), w->RotateLeft);
    if (!rotatable)
        return;

    const auto readFile = [](const QByteArray &p) {
        QFile f(QFile::decodeName(p));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray before = readFile(path);
    struct stat old
    {
    };
    QVERIFY(::stat(path.constData(), &old) == 0);
    auto sides = [&w, &name] {
        const ListEntry &e = w->listModel()->entry(w->listModel()->findCaption(name));
        return e.record.value(WidthField) + u'x' + e.record.value(HeightField);
    };
    QCOMPARE(sides(), QStringLiteral("32x24"));
    (clockwise ? w->RotateRight : w->RotateLeft)->trigger();
    QVERIFY2(prompter->errors.isEmpty(), qPrintable(prompter->errors.join('\n')));
    QVERIFY(waitFilled(*w));
    // The list shows it turned at once: its sides swap; the file keeps its time.
    QCOMPARE(sides(), QStringLiteral("24x32"));
    const QByteArray after = readFile(path);
    const auto bytes = [](const QByteArray &a) {
        return std::span(reinterpret_cast<const std::uint8_t *>(a.constData()), a.size());
    };
    QCOMPARE(exif::orientation(bytes(after)), std::optional<int>(clockwise ? 6 : 8));
    // A value rewritten keeps the size; an added entry grows the file.
    QCOMPARE(after.size() == before.size(), name == QStringLiteral("turned.jpg"));
    struct stat now
    {
    };
    QVERIFY(::stat(path.constData(), &now) == 0);
    QCOMPARE(now.st_mtim.tv_sec, old.st_mtim.tv_sec);

    w->actUndo->trigger();
    QVERIFY2(prompter->errors.isEmpty(), qPrintable(prompter->errors.join('\n')));
    QVERIFY(waitFilled(*w));
    QCOMPARE(readFile(path), before);
    QCOMPARE(sides(), QStringLiteral("32x24"));
}

#include "tst_tfmain_fileops.moc"
