// SPDX-License-Identifier: GPL-3.0-or-later
// The options dialog and the registered tools on the whole window set: a stand-in tool records
// the arguments it receives; the dialog's fields are read back from the settings file.
#include "app/application.h"
#include "app/windowset.h"
#include "browser/filelistmodel.h"
#include "browser/tfmain.h"
#include "support/tempfolder.h"
#include "tools/tfop.h"
#include "viewer/pictureloader.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QWindow>

using namespace morvane;
using namespace morvane::test;
using Bytes = QList<QByteArray>;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestTfOp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The stand-in tool: writes its working directory and then each argument after the
        // first, each ended by a NUL, to the file its first argument names. It is on PATH too.
        m_probe = m_bin.filePath(QStringLiteral("argv-probe"));
        const char *script =
            "#!/bin/sh\nout=$1; shift\n"
            "printf '%s\\0' \"$(pwd -P)\" \"$@\" > \"$out.part\" && mv \"$out.part\" \"$out\"\n";
        QVERIFY(writeFile(QFile::encodeName(m_probe), script));
        QVERIFY(QFile::setPermissions(m_probe, QFile::ReadOwner | QFile::ExeOwner));
        qputenv("PATH", QFile::encodeName(m_bin.path()) + ':' + qgetenv("PATH"));
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_desk = inFolder(nativeOf(*m_dir), "desk");
        m_settings = m_dir->filePath(QStringLiteral("morvane.ini"));
        QVERIFY(makeFolder(m_desk));
    }
    void cleanup()
    {
        QVERIFY(removeContents(nativeOf(*m_dir)));
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }
    void toolReceivesExactlyTheFirstSelectedFile_data();
    void toolReceivesExactlyTheFirstSelectedFile();
    void launchTellsWhetherTheToolStarted();
    void dialogOfTheMainWindow_data();
    void dialogOfTheMainWindow();
    void closingSavesAndOnlyTheButtonSetsCaptions_data();
    void closingSavesAndOnlyTheButtonSetsCaptions();
    void pickedProgramFillsItsCommand_data();
    void pickedProgramFillsItsCommand();
    void autoRotateBoxReadsSwitchesAndSaves_data();
    void autoRotateBoxReadsSwitchesAndSaves();

private:
    // `text` with {probe} (the stand-in tool), {out} (its record) and {dir} filled in.
    QString expand(QString text) const
    {
        return text.replace(QLatin1String("{probe}"), m_probe)
            .replace(QLatin1String("{out}"), m_dir->filePath(QStringLiteral("out")))
            .replace(QLatin1String("{dir}"), m_dir->path());
    }

    QTemporaryDir m_bin;
    QString m_probe;
    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_desk;
    QString m_settings;
};

void TestTfOp::toolReceivesExactlyTheFirstSelectedFile_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<Bytes>("files");
    QTest::addColumn<QList<int>>("select"); // rows, in the order they are selected
    QTest::addColumn<int>("item"); // 0 to 5: N16, N17, N18, N19, N20, N21
    QTest::addColumn<Bytes>("args"); // before the file
    const Bytes one {"photo.jpg"};
    QTest::newRow("tools menu, tool 1") << "{probe} {out}" << one << QList {0} << 0 << Bytes {};
    QTest::newRow("arguments and quotes, popup tool 2")
        << R"({probe} {out} -x "two words" '$HOME;*' back\ slash)" << one << QList {0} << 4
        << Bytes {"-x", "two words", "$HOME;*", "back slash"};
    QTest::newRow("blanks, quotes, $(), ;, newline and bytes that are not UTF-8")
        << "{probe} {out}" << Bytes {"a b 'c' \"d\" $(touch x); e\n\xff\xfe.jpg"} << QList {0} << 2
        << Bytes {};
    QTest::newRow("three selected, first in list order")
        << "{probe} {out}" << Bytes {"c.txt", "a.txt", "b.txt"} << QList {2, 0, 1} << 3 << Bytes {};
    QTest::newRow("bare name on PATH") << "argv-probe {out}" << one << QList {0} << 1 << Bytes {};
    QTest::newRow("quoted program path with blanks, popup tool 3")
        << R"("{dir}/my tools/probe" {out})" << one << QList {0} << 5 << Bytes {};
}

void TestTfOp::toolReceivesExactlyTheFirstSelectedFile()
{
    QFETCH(QString, command);
    QFETCH(Bytes, files);
    QFETCH(QList<int>, select);
    QFETCH(int, item);
    QFETCH(Bytes, args);
    for (const QByteArray &name : files)
        QVERIFY(writeFile(inFolder(m_desk, name), "x"));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("my tools")));
    QVERIFY(QFile::copy(m_probe, m_dir->filePath(QStringLiteral("my tools/probe"))));
    WindowSet set(m_settings, QFile::decodeName(m_desk));
    TfMain &w = *set.main();
    QLineEdit *const commands[] = {
        set.options()->Edit2, set.options()->Edit5, set.options()->Edit8};
    commands[item % 3]->setText(expand(command));
    QCOMPARE(w.listModel()->count(), files.size());
    for (int row : select)
        w.ListView1->selectionModel()->select(
            w.listModel()->index(row), QItemSelectionModel::Select);
    QAction *const items[] = {w.N16, w.N17, w.N18, w.N19, w.N20, w.N21};
    items[item]->trigger();

    const QString out = expand(QStringLiteral("{out}"));
    QTRY_VERIFY(QFile::exists(out));
    std::sort(files.begin(), files.end());
    const Bytes expected = Bytes {QFile::encodeName(QDir::currentPath())} + args
        + Bytes {inFolder(m_desk, files.first()), QByteArray()};
    QCOMPARE(readAll(out).split('\0'), expected);
}

void TestTfOp::launchTellsWhetherTheToolStarted()
{
    QVERIFY(writeFile(QFile::encodeName(m_settings), "")); // a file without the executable bit
    TfOp op(m_settings);
    // The message names the command as typed ({dir} expanded); empty when the tool started.
    const std::pair<const char *, const char *> cases[] = {
        {"", "ツールのコマンドが登録されていません。オプションで登録してください。"},
        {"{dir}/none {out}", "コマンド「{dir}/none」が見つかりません。"},
        {"no-such-tool-here {out}", "コマンド「no-such-tool-here」が見つかりません。"},
        {"{dir}/morvane.ini {out}",
            "コマンド「{dir}/morvane.ini」は実行できません（実行の許可がありません）。"},
        {"'{probe} {out}", "コマンド「'{probe} {out}」の引用符が閉じていません。"},
        {"{probe} {out}", ""}};
    for (const auto &[command, why] : cases) {
        op.Edit2->setText(expand(QString::fromUtf8(command)));
        QCOMPARE(op.launchTool(1, "/file"), expand(QString::fromUtf8(why)));
    }
    QTRY_COMPARE(readAll(expand("{out}")).split('\0').value(1), QByteArray("/file"));
}

void TestTfOp::dialogOfTheMainWindow_data()
{
    QTest::addColumn<QPoint>("mainAt");
    QTest::addColumn<bool>("centred"); // else pushed onto the screen
    QTest::newRow("over the window") << QPoint(50, 40) << true;
    QTest::newRow("window half off the screen's left") << QPoint(-500, 100) << false;
    QTest::newRow("window below the screen's bottom") << QPoint(100, 900) << false;
}

void TestTfOp::dialogOfTheMainWindow()
{
    QFETCH(QPoint, mainAt);
    QFETCH(bool, centred);
    WindowSet set(m_settings, QFile::decodeName(m_desk));
    TfMain &w = *set.main();
    w.move(mainAt);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.actOp->trigger();
    TfOp &op = *set.options();
    QVERIFY(QTest::qWaitForWindowExposed(&op));
    QCOMPARE(op.windowHandle()->transientParent(), w.windowHandle());
    const QRect screen = w.screen()->availableGeometry();
    QVERIFY2(screen.contains(op.frameGeometry()),
        qPrintable(QStringLiteral("%1,%2").arg(op.x()).arg(op.y())));
    // The offscreen screen is 800 x 600: the window fits there only in the first row.
    if (centred)
        QVERIFY((op.frameGeometry().center() - w.frameGeometry().center()).manhattanLength() <= 2);
    op.close();
}

void TestTfOp::closingSavesAndOnlyTheButtonSetsCaptions_data()
{
    QTest::addColumn<bool>("byButton");
    QTest::newRow("close box") << false;
    QTest::newRow("閉じる") << true;
}

void TestTfOp::closingSavesAndOnlyTheButtonSetsCaptions()
{
    QFETCH(bool, byButton);
    // A current-directory key of a hand-edited file is neither read nor written.
    QVERIFY(writeFile(QFile::encodeName(m_settings), "[Option]\r\nT6=/old\r\n"));
    const QString tool2 = byButton ? QStringLiteral("Viewer") : QStringLiteral("登録２");
    {
        WindowSet set(m_settings, QFile::decodeName(m_desk));
        TfOp &op = *set.options();
        QCOMPARE(op.Edit6->text(), QString());
        op.show();
        QVERIFY(QTest::qWaitForWindowExposed(&op));
        for (QWidget *row : std::initializer_list<QWidget *> {
                 op.Label10, op.Label11, op.Label12, op.Edit3, op.Edit6, op.Edit9})
            QVERIFY(!row->isVisible());
        op.Edit4->setText(QStringLiteral("Viewer"));
        op.Edit5->setText(QStringLiteral("/usr/bin/eog"));
        op.Edit6->setText(QStringLiteral("/cwd"));
        if (byButton)
            QTest::mouseClick(op.Button4, Qt::LeftButton);
        else
            QVERIFY(op.close());
        QVERIFY(!op.isVisible());
        TfMain &w = *set.main();
        QStringList captions;
        for (const QAction *item : {w.N16, w.N17, w.N18, w.N19, w.N20, w.N21})
            captions << item->text();
        const QString t1 = QStringLiteral("登録１"), t3 = QStringLiteral("登録３");
        QCOMPARE(captions, (QStringList {t1, tool2, t3, t1, tool2, t3}));
        // Code page 932: "登録１" is 93 6F 98 5E 82 50, "登録３" ends in 82 52.
        QVERIFY(readAll(m_settings)
                    .startsWith("[Option]\r\nT6=/old\r\nT1=\x93\x6F\x98\x5E\x82\x50\r\n"
                                "T2=\r\nT4=Viewer\r\nT5=/usr/bin/eog\r\n"
                                "T7=\x93\x6F\x98\x5E\x82\x52\r\nT8=\r\n\r\n"));
        w.close();
    }
    // The next start: the dialog shows what it saved, the menus the captions they closed with.
    WindowSet set(m_settings, QFile::decodeName(m_desk));
    QCOMPARE(set.options()->Edit4->text(), QStringLiteral("Viewer"));
    QCOMPARE(set.options()->Edit5->text(), QStringLiteral("/usr/bin/eog"));
    QCOMPARE(set.main()->N20->text(), tool2);
}

void TestTfOp::autoRotateBoxReadsSwitchesAndSaves_data()
{
    QTest::addColumn<QByteArray>("file"); // the settings file before the start
    QTest::addColumn<bool>("checked"); // the check box after the start
    QTest::addColumn<bool>("toggle"); // switched before closing
    QTest::addColumn<QByteArray>("saved"); // the key's line after closing; empty: no key
    QTest::newRow("no key: on, none written") << QByteArray() << true << false << QByteArray();
    QTest::newRow("no key, switched off")
        << QByteArray() << true << true << QByteArray("AutoRotate=0\r\n");
    QTest::newRow("off") << QByteArray("[Option]\r\nAutoRotate=0\r\n") << false << false
                         << QByteArray("AutoRotate=0\r\n");
    QTest::newRow("off, switched on") << QByteArray("[Option]\r\nAutoRotate=0\r\n") << false << true
                                      << QByteArray("AutoRotate=1\r\n");
}

void TestTfOp::autoRotateBoxReadsSwitchesAndSaves()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, checked);
    QFETCH(bool, toggle);
    QFETCH(QByteArray, saved);
    if (!file.isEmpty())
        QVERIFY(writeFile(QFile::encodeName(m_settings), file));
    WindowSet set(m_settings, QFile::decodeName(m_desk));
    TfOp &op = *set.options();
    QCOMPARE(op.autoRotate(), checked);
    QSignalSpy switched(&op, &TfOp::autoRotateChanged);
    if (toggle)
        op.AutoRotateBox->click();
    QCOMPARE(switched.count(), toggle ? 1 : 0);
    QCOMPARE(op.autoRotate(), checked != toggle);
    QCOMPARE(morvane::fOp->autoRotate(), checked != toggle); // what the viewer asks at each load
    QVERIFY(op.close());
    const QByteArray written = readAll(m_settings);
    QCOMPARE(written.contains("AutoRotate="), !saved.isEmpty());
    if (!saved.isEmpty())
        QVERIFY2(written.contains(saved), written.constData());
    set.main()->close();
}

void TestTfOp::pickedProgramFillsItsCommand_data()
{
    QTest::addColumn<int>("button"); // 0 to 2: Button1, Button3, Button2
    QTest::addColumn<QString>("pick"); // empty: cancel
    QTest::addColumn<QString>("expected");
    QTest::newRow("cancel keeps the command") << 0 << ""
                                              << "old";
    QTest::newRow("plain path") << 1 << "run"
                                << "{dir}/desk/run";
    QTest::newRow("blanks and a quote, quoted") << 2 << "my tool's"
                                                << R"('{dir}/desk/my tool'\''s')";
}

void TestTfOp::pickedProgramFillsItsCommand()
{
    QFETCH(int, button);
    QFETCH(QString, pick);
    QFETCH(QString, expected);
    for (const char *name : {"run", "my tool's", "notes.txt"})
        QVERIFY(writeFile(inFolder(m_desk, name), "#!/bin/true\n"));
    for (const char *name : {"/run", "/my tool's"})
        QVERIFY(QFile::setPermissions(
            QFile::decodeName(m_desk + name), QFile::ReadOwner | QFile::ExeOwner));
    TfOp op(m_settings);
    QLineEdit *const edits[] = {op.Edit2, op.Edit5, op.Edit8};
    QPushButton *const buttons[] = {op.Button1, op.Button3, op.Button2};
    edits[button]->setText(QStringLiteral("old"));
    op.show();
    QStringList listed;
    QString opened;
    bool fitted = true;
    // Answers the file dialog inside its modal loop.
    QTimer answer;
    connect(&answer, &QTimer::timeout, &op, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        answer.stop();
        // The first time it opens where programs live.
        opened = dialog->directory().path();
        dialog->setDirectory(QFile::decodeName(m_desk));
        const auto *view = dialog->findChild<QListView *>(QStringLiteral("listView"));
        // The folder is read in the background: wait until the view shows it, filtered.
        const auto shown = [view] {
            return view->rootIndex().data(QFileSystemModel::FilePathRole).toString();
        };
        static_cast<void>(QTest::qWaitFor([&] {
            return shown() == dialog->directory().path()
                && view->model()->rowCount(view->rootIndex()) == 2;
        }));
        for (int r = 0; r < view->model()->rowCount(view->rootIndex()); ++r)
            listed << view->model()->index(r, 0, view->rootIndex()).data().toString();
        // No detail column and no place of the side bar is cut off.
        const auto *tree = dialog->findChild<QTreeView *>(QStringLiteral("treeView"));
        const QAbstractItemView *cells = tree; // its size hints are public there
        for (int c = 1; c < tree->header()->count(); ++c)
            fitted = fitted && tree->header()->sectionSize(c) >= cells->sizeHintForColumn(c);
        const auto *side = dialog->findChild<QListView *>(QStringLiteral("sidebar"));
        fitted = fitted && side->viewport()->width() >= side->sizeHintForColumn(0);
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(pick);
        pick.isEmpty() ? dialog->reject() : static_cast<QDialog *>(dialog)->accept();
    });
    answer.start(10);
    QTest::mouseClick(buttons[button], Qt::LeftButton);
    listed.sort();
    QCOMPARE(listed, (QStringList {QStringLiteral("my tool's"), QStringLiteral("run")}));
    QCOMPARE(edits[button]->text(), expand(expected));
    QVERIFY(fitted);
    QCOMPARE(opened, QStringLiteral("/usr/bin"));
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    TestTfOp t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_tfop.moc"
