// SPDX-License-Identifier: GPL-3.0-or-later
// The undo journal on disk and undo of each kind of action, on real folders: the folder before
// the action and after its undo are compared byte for byte.
#include "files/journaledops.h"
#include "files/renamerun.h"
#include "files/undo.h"
#include "files/undojournal.h"
#include "support/fakeprompter.h"
#include "support/tempfolder.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace morvane;
using namespace morvane::test;
namespace journal = files::journal;

class TestUndo : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void undoesEachKind_data();
    void undoesEachKind();
    void journalKeepsTheLastHundredAndSkipsATornTail();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_f; // the folder acted on
    QByteArray m_g; // another folder
};

void TestUndo::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    const QByteArray base = nativeOf(*m_dir);
    qputenv("XDG_STATE_HOME", base + "/state");
    qputenv("XDG_DATA_HOME", base + "/data");
    m_f = base + "/f";
    m_g = base + "/g";
    QVERIFY(makeFolder(m_f) && makeFolder(m_g));
    for (const char *name : {"a", "b", "c写真"})
        QVERIFY(writeFile(inFolder(m_f, name), QByteArray("content ") + name));
}

void TestUndo::undoesEachKind_data()
{
    QTest::addColumn<QByteArray>("action"); // what is done to the folder f
    QTest::addColumn<QByteArray>("meanwhile"); // what happens before the undo
    QTest::addColumn<QByteArray>("refused"); // part of the one message expected, or empty
    QTest::addColumn<QByteArrayList>("changed"); // names in f not restored (old state expected)
    QTest::newRow("rename") << QByteArray("rename a z") << QByteArray() << QByteArray()
                            << QByteArrayList();
    QTest::newRow("swap run") << QByteArray("run") << QByteArray() << QByteArray()
                              << QByteArrayList();
    QTest::newRow("move to another folder")
        << QByteArray("move") << QByteArray() << QByteArray() << QByteArrayList();
    QTest::newRow("copy goes to the trash")
        << QByteArray("copy") << QByteArray() << QByteArray() << QByteArrayList();
    QTest::newRow("trash comes back")
        << QByteArray("trash") << QByteArray() << QByteArray() << QByteArrayList();
    QTest::newRow("new empty folder removed")
        << QByteArray("newfolder") << QByteArray() << QByteArray() << QByteArrayList();
    QTest::newRow("old name taken since: refused, the rest goes on")
        << QByteArray("move") << QByteArray("new f/a") << QByteArray("別のファイル")
        << QByteArrayList {"a"};
    QTest::newRow("trashed file's old name taken since")
        << QByteArray("trash") << QByteArray("new f/b") << QByteArray("別のファイル")
        << QByteArrayList {"b"};
    QTest::newRow("renamed file changed since: refused")
        << QByteArray("rename a z") << QByteArray("change f/z") << QByteArray("変更")
        << QByteArrayList {"a", "z"};
    QTest::newRow("new folder no longer empty: kept")
        << QByteArray("newfolder") << QByteArray("new f/n/x") << QByteArray("空ではない")
        << QByteArrayList {"n"};
}

void TestUndo::undoesEachKind()
{
    QFETCH(QByteArray, action);
    QFETCH(QByteArray, meanwhile);
    QFETCH(QByteArray, refused);
    QFETCH(QByteArrayList, changed);
    const QMap<QByteArray, QByteArray> before = folderContents(m_f);
    const QList<QByteArray> all {inFolder(m_f, "a"), inFolder(m_f, "b"), inFolder(m_f, "c写真")};
    FakePrompter prompter;
    const QByteArrayList words = action.split(' ');
    files::RequestResult result;
    if (words[0] == "rename") {
        result = files::journaledRename(prompter, inFolder(m_f, words[1]), words[2]);
    } else if (words[0] == "run") {
        files::UndoJournal journal(files::UndoJournal::defaultFolder());
        result.ok = files::renameRun(prompter, journal, m_f, {{"a", "b"}, {"b", "a"}})
            == std::vector<bool> {true, true};
    } else if (words[0] == "move") {
        result =
            files::journaledMove(prompter, "move", all, files::FileOperations::targetsIn(m_g, all));
    } else if (words[0] == "copy") {
        result =
            files::journaledCopy(prompter, "copy", all, files::FileOperations::targetsIn(m_g, all));
    } else if (words[0] == "trash") {
        result = files::journaledRemove(prompter, all);
    } else if (words[0] == "newfolder") {
        QVERIFY(makeFolder(inFolder(m_f, "n")));
        files::journalNewFolder(prompter, inFolder(m_f, "n"));
        result.ok = true;
    }
    QVERIFY2(result.ok && prompter.errors.isEmpty(), qPrintable(prompter.errors.join('\n')));
    QVERIFY(folderContents(m_f) != before || words[0] == "copy");

    const QByteArrayList what = meanwhile.split(' ');
    const QByteArray path = nativeOf(*m_dir) + '/' + what.value(1);
    if (what[0] == "new")
        QVERIFY(writeFile(path, "someone else's"));
    else if (what[0] == "change")
        QVERIFY(writeFile(path, "changed since"));

    // A journal object of its own: as after a restart of the program.
    files::UndoJournal journal(files::UndoJournal::defaultFolder());
    const files::UndoReport report = files::undoLast(prompter, journal);
    QVERIFY(report.found);
    QCOMPARE(report.refused.size(), refused.isEmpty() ? 0 : 1);
    if (!refused.isEmpty())
        QVERIFY2(report.refused.front().contains(QString::fromUtf8(refused)),
            qPrintable(report.refused.front()));
    QMap<QByteArray, QByteArray> after = folderContents(m_f);
    QMap<QByteArray, QByteArray> expected = before;
    for (const QByteArray &name : changed) {
        expected.remove(name);
        after.remove(name);
    }
    QCOMPARE(after, expected);
    if (words[0] == "copy" || words[0] == "move")
        QCOMPARE(folderContents(m_g).size(), changed.size());
    QVERIFY(journal.entries().empty());
}

void TestUndo::journalKeepsTheLastHundredAndSkipsATornTail()
{
    const QByteArray folder = nativeOf(*m_dir) + "/state/morvane";
    files::UndoJournal journal(folder);
    for (int i = 0; i < 105; ++i)
        QVERIFY(journal.append({i, "rename", {{journal::Op::Move, "/x", "/y", "", {}}}}));
    std::vector<journal::Entry> entries = journal.entries();
    QCOMPARE(entries.size(), files::UndoJournal::kMaxEntries);
    QCOMPARE(entries.front().time, 5);
    // A crash in the middle of a line: the line is ignored, the next append starts afresh.
    QFile file(QFile::decodeName(folder + "/journal"));
    QVERIFY(file.open(QIODevice::Append));
    file.write(journal::encodeEntry({999, "copy", {}}).substr(0, 20).c_str());
    file.close();
    QCOMPARE(journal.entries().size(), files::UndoJournal::kMaxEntries);
    QVERIFY(journal.takeLast().has_value());
    QVERIFY(journal.append({1000, "trash", {}}));
    entries = files::UndoJournal(folder).entries();
    QCOMPARE(entries.size(), files::UndoJournal::kMaxEntries);
    QCOMPARE(entries.back().time, 1000);
    QCOMPARE(entries[entries.size() - 2].time, 103);
}

QTEST_GUILESS_MAIN(TestUndo)
#include "tst_undo.moc"
