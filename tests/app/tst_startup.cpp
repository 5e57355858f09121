// SPDX-License-Identifier: GPL-3.0-or-later
// The start of the program from its command line: the parsing main() does, and the start on a
// folder or file that the window set then makes, on a folder tree made in a temporary folder.
#include "app/application.h"
#include "app/commandline.h"
#include "app/windowset.h"
#include "browser/filelistmodel.h"
#include "browser/tfmain.h"
#include "frame/windowrefs.h"
#include "platform/foldertree.h"
#include "support/imagefixtures.h"
#include "support/tempfolder.h"
#include "tools/tfop.h"

#include <QAbstractButton>
#include <QAbstractFileIconProvider>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>

#include <filesystem>
#include <set>
#include <string>
#include <unistd.h>

using namespace morvane;
using morvane::test::inFolder;

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void commandLine_data();
    void commandLine();
    void startPath_data();
    void startPath();
    void lastFolder_data();
    void lastFolder();
    void qtTextsAreJapanese_data();
    void qtTextsAreJapanese();

private:
    QTemporaryDir m_dir;
    QByteArray m_root; // the folder tree's top node
};

void TestStartup::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_root = inFolder(test::nativeOf(m_dir), "desk");
    for (const char *folder : {"", "/A", "/A/B", "/A/\xff", "/.hidden"})
        QVERIFY(test::makeFolder(m_root + folder));
    for (const char *file : {"/top.txt", "/A/B/one.txt", "/A/B/two.txt", "/A/\xff/f.txt"})
        QVERIFY(test::writeFile(m_root + file, "x"));
    QVERIFY(test::writeFile(m_root + "/A/B/pic.bmp", testsupport::bmpBytes(4, 3, 255, 0, 0)));
    QVERIFY(QFile::link(QStringLiteral("../A/B"), QFile::decodeName(m_root + "/.hidden/link")));
    QVERIFY(QDir::setCurrent(QFile::decodeName(m_root)));
}

void TestStartup::cleanupTestCase()
{
    QVERIFY(QDir::setCurrent(QDir::tempPath()));
    // By native names: the temporary folder's own removal misses a name that is not UTF-8.
    QVERIFY(test::removeContents(test::nativeOf(m_dir)));
}

void TestStartup::commandLine_data()
{
    QTest::addColumn<QList<QByteArray>>("arguments");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<int>("exitCode"); // -1: the program starts
    QTest::addColumn<QString>("output"); // what the output starts with
    QTest::addColumn<bool>("early"); // answered before the display is opened

    using Args = QList<QByteArray>;
    const QString usage =
        QStringLiteral("使い方: morvane [オプション] [フォルダー | 画像ファイル]\n");
    const QByteArray none;
    QTest::newRow("nothing") << Args {"m"} << none << -1 << QString() << false;
    QTest::newRow("a name that is not UTF-8 keeps its bytes")
        << Args {"m", "a\xff.jpg"} << QByteArray("a\xff.jpg") << -1 << QString() << false;
    QTest::newRow("after -- a dash is a name")
        << Args {"m", "--", "-x"} << QByteArray("-x") << -1 << QString() << false;
    QTest::newRow("-h after a path") << Args {"m", "/tmp", "-h"} << none << 0 << usage << true;
    QTest::newRow("--version among the toolkit's options")
        << Args {"m", "-platform", "offscreen", "--version"} << none << 0
        << QStringLiteral("Morvane 1.0\n") << true;
    // Once the application object has taken its own options, none is left to reach the parser.
    QTest::newRow("unknown option")
        << Args {"m", "-platform", "offscreen", "/tmp"} << none << 2
        << QStringLiteral("morvane: 不明なオプションです: platform\n") << false;
    QTest::newRow("two paths") << Args {"m", "/a", "/b"} << none << 2
                               << QStringLiteral("morvane: 開くフォルダーかファイルは一つだけ")
                               << false;
}

void TestStartup::commandLine()
{
    QFETCH(QList<QByteArray>, arguments);
    QFETCH(QByteArray, path);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(bool, early);
    const CommandLine line = parseCommandLine(arguments);
    QCOMPARE(line.exitCode.value_or(-1), exitCode);
    QCOMPARE(line.path, path);
    QVERIFY2(line.output.startsWith(output) && line.output.isEmpty() == output.isEmpty(),
        qPrintable(line.output));
    QCOMPARE(parseInfoOptions(arguments).has_value(), early);
}

void TestStartup::startPath_data()
{
    QTest::addColumn<QByteArray>("path"); // relative to the top folder, the working folder
    QTest::addColumn<bool>("absolute"); // given with the top folder's path in front
    QTest::addColumn<QByteArray>("folder"); // the folder started on, relative to the top
    QTest::addColumn<QList<QByteArray>>("selected");
    QTest::addColumn<QString>("message"); // part of the message, empty for none

    const QString notFound = QStringLiteral("が見つかりません");
    const QString notInTree = QStringLiteral("はフォルダーツリーに表示されないため開けません");
    const QByteArray top;
    QTest::newRow("a folder two levels down")
        << QByteArray("A/B") << true << QByteArray("A/B") << QList<QByteArray>() << QString();
    QTest::newRow("dot parts, doubled and trailing slashes")
        << QByteArray("./A//B/../B/") << false << QByteArray("A/B") << QList<QByteArray>()
        << QString();
    QTest::newRow("a folder whose name is not UTF-8")
        << QByteArray("A/\xff") << false << QByteArray("A/\xff") << QList<QByteArray>()
        << QString();
    QTest::newRow("a file") << QByteArray("A/B/two.txt") << false << QByteArray("A/B")
                            << QList<QByteArray> {"two.txt"} << QString();
    QTest::newRow("a picture, opened in the viewer")
        << QByteArray("A/B/pic.bmp") << false << QByteArray("A/B") << QList<QByteArray> {"pic.bmp"}
        << QString();
    QTest::newRow("missing") << QByteArray("A/none") << true << top << QList<QByteArray>()
                             << notFound;
    QTest::newRow("below a file") << QByteArray("top.txt/x") << false << top << QList<QByteArray>()
                                  << notFound;
    QTest::newRow("hidden folder")
        << QByteArray(".hidden") << false << top << QList<QByteArray>() << notInTree;
    QTest::newRow("link in a hidden folder to a shown one")
        << QByteArray(".hidden/link") << false << QByteArray("A/B") << QList<QByteArray>()
        << QString();
}

void TestStartup::startPath()
{
    QFETCH(QByteArray, path);
    QFETCH(bool, absolute);
    QFETCH(QByteArray, folder);
    QFETCH(QList<QByteArray>, selected);
    QFETCH(QString, message);
    const QTemporaryDir scratch;
    WindowSet set(scratch.filePath(QStringLiteral("morvane.ini")), QFile::decodeName(m_root));
    set.show();
    TfMain *w = set.main();

    const QString said = set.openStartPath(absolute ? inFolder(m_root, path) : path);
    QVERIFY2(message.isEmpty() ? said.isEmpty() : said.contains(message), qPrintable(said));
    const QByteArray expected = folder.isEmpty() ? m_root : inFolder(m_root, folder);
    QCOMPARE(w->FolderNative, expected);
    QCOMPARE(w->ShellTreeView1->selectedNativePath(), expected);
    for (QModelIndex p = w->ShellTreeView1->selectedNode().parent(); p.isValid(); p = p.parent())
        QVERIFY(w->ShellTreeView1->isExpanded(p));
    QCOMPARE(w->SelectedNames, selected);
    const bool picture = path.endsWith(".bmp");
    QCOMPARE(fView->isVisible(), picture);
    QCOMPARE(fView->OpenPath, picture ? inFolder(m_root, path) : QByteArray());
    // The list was built for that folder: its files, as the directory lists them.
    std::set<std::string> listed;
    std::set<std::string> files;
    for (int row = 0; row < w->listModel()->count(); ++row)
        listed.insert(w->listModel()->entry(row).nativeName.toStdString());
    for (const auto &e : std::filesystem::directory_iterator(expected.toStdString())) {
        if (e.is_regular_file())
            files.insert(e.path().filename().native());
    }
    QCOMPARE(listed, files);
}

void TestStartup::lastFolder_data()
{
    QTest::addColumn<bool>("optionOn"); // the options dialog's start option, set in the first run
    QTest::addColumn<QByteArray>("argument"); // relative to the top folder, empty for none
    QTest::addColumn<bool>("gone"); // the last folder removed between the runs
    QTest::addColumn<QByteArray>("folder"); // the second run's folder, empty for the top
    QTest::newRow("the last folder") << true << QByteArray() << false << QByteArray("A/last");
    QTest::newRow("an argument wins") << true << QByteArray("A/B") << false << QByteArray("A/B");
    QTest::newRow("option off") << false << QByteArray() << false << QByteArray();
    QTest::newRow("gone: the usual start") << true << QByteArray() << true << QByteArray();
}

void TestStartup::lastFolder()
{
    QFETCH(bool, optionOn);
    QFETCH(QByteArray, argument);
    QFETCH(bool, gone);
    QFETCH(QByteArray, folder);
    const QTemporaryDir scratch;
    const QString ini = scratch.filePath(QStringLiteral("morvane.ini"));
    const QByteArray last = inFolder(m_root, "A/last");
    QVERIFY(test::makeFolder(last));
    {
        WindowSet first(ini, QFile::decodeName(m_root));
        first.show();
        QVERIFY(first.openStart(last).isEmpty());
        first.options()->StartInLastFolder->setChecked(optionOn);
        first.options()->close();
        first.main()->close();
    }
    if (gone)
        QVERIFY(::rmdir(last.constData()) == 0);
    WindowSet second(ini, QFile::decodeName(m_root));
    second.show();
    QVERIFY(second.options()->StartInLastFolder->isChecked() == optionOn);
    const QString said =
        second.openStart(argument.isEmpty() ? argument : inFolder(m_root, argument));
    QCOMPARE(said, QString());
    QCOMPARE(second.main()->FolderNative, folder.isEmpty() ? m_root : inFolder(m_root, folder));
    if (!gone)
        QVERIFY(::rmdir(last.constData()) == 0);
}

void TestStartup::qtTextsAreJapanese_data()
{
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QStringList>("english"); // texts that must not show
    QTest::newRow("text box context menu") << QStringLiteral(
        "edit") << QStringList {"&Undo", "&Redo", "Cu&t", "&Copy", "&Paste", "Select All"};
    QTest::newRow("file dialog") << QStringLiteral("files")
                                 << QStringList {"Look in:", "File &name:", "&Open", "Cancel"};
    // Texts Qt's catalogue lacks, in the windows' spelling.
    QTest::newRow("file dialog's type column and places")
        << QStringLiteral("types") << QStringList {"Folder", "File", "Computer", "コンピュータ"};
}

void TestStartup::qtTextsAreJapanese()
{
    QFETCH(QString, widget);
    QFETCH(QStringList, english);
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_ja.qm"))
        QSKIP("Qt's Japanese catalogue (qt6-translations-l10n) is not installed");
    QStringList shown;
    if (widget == u"edit") {
        QLineEdit edit;
        const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        for (const QAction *a : menu->actions())
            shown << a->text().section(u'\t', 0, 0);
    } else if (widget == u"types") {
        const QAbstractFileIconProvider icons;
        shown << icons.type(QFileInfo(QDir::tempPath()))
              << QCoreApplication::translate("QFileSystemModel", "My Computer");
        QCOMPARE(shown, QStringList({"フォルダー", "コンピューター"}));
    } else {
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        for (const QLabel *l : dialog.findChildren<QLabel *>())
            shown << l->text();
        for (const QAbstractButton *b : dialog.findChildren<QAbstractButton *>())
            shown << b->text();
    }
    for (const QString &text : english)
        QVERIFY2(!shown.contains(text), qPrintable(text + " in " + shown.join(u'|')));
    QVERIFY(
        !shown
             .filter(QRegularExpression(QStringLiteral("[\\x{3040}-\\x{30ff}\\x{4e00}-\\x{9fff}]")))
             .isEmpty());
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    TestStartup t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_startup.moc"
